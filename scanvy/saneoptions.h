#pragma once

#include <QLatin1String>

// The SANE option names and option values the program refers to by name,
// and the device names of the scanner families, in one place. Values cross
// every boundary as text, so these are texts; compare a QString with them
// directly, or make a QString of one where a string is needed.
//
// The panels' binding tables list their options with their names written
// out, one row per option; the names here are those the code acts on.

namespace SaneText {
// A QLatin1String of a string literal, sized at compile time.
template <int N> constexpr QLatin1String Of(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}
} // namespace SaneText

namespace SaneOption {
constexpr QLatin1String kSource = SaneText::Of("source");
constexpr QLatin1String kMode = SaneText::Of("mode");
constexpr QLatin1String kResolution = SaneText::Of("resolution");
constexpr QLatin1String kPaperSize = SaneText::Of("paper-size");
constexpr QLatin1String kPageWidth = SaneText::Of("page-width");
constexpr QLatin1String kPageHeight = SaneText::Of("page-height");
constexpr QLatin1String kTlX = SaneText::Of("tl-x");
constexpr QLatin1String kTlY = SaneText::Of("tl-y");
constexpr QLatin1String kBrX = SaneText::Of("br-x");
constexpr QLatin1String kBrY = SaneText::Of("br-y");
constexpr QLatin1String kCustomLongPage = SaneText::Of("custom-longpage");
constexpr QLatin1String kCropping = SaneText::Of("cropping");
constexpr QLatin1String kCleanupSharpness = SaneText::Of("cleanup-sharpness");
constexpr QLatin1String kHolePunchRemovalMode = SaneText::Of("hole-punch-removal-mode");
constexpr QLatin1String kPageAutoPriority = SaneText::Of("page-auto-priority");
constexpr QLatin1String kMultifeedDetection = SaneText::Of("multifeed-detection");
constexpr QLatin1String kMfOverlapping = SaneText::Of("mf-overlapping");
constexpr QLatin1String kMfLength = SaneText::Of("mf-length");
constexpr QLatin1String kAutofeed = SaneText::Of("autofeed");
constexpr QLatin1String kPrepick = SaneText::Of("prepick");
// Read after a failed scan: the scanner's own error code.
constexpr QLatin1String kScannerError = SaneText::Of("get-sc-error");
} // namespace SaneOption

namespace SaneValue {
// Booleans into the scanner layer; out of it they read "1" and "0".
constexpr QLatin1String kYes = SaneText::Of("yes");
constexpr QLatin1String kNo = SaneText::Of("no");
constexpr QLatin1String kTrue = SaneText::Of("1");

// "source"
constexpr QLatin1String kFlatbed = SaneText::Of("Flatbed");
constexpr QLatin1String kAdfFront = SaneText::Of("Adf-front");
constexpr QLatin1String kAdfDuplex = SaneText::Of("Adf-duplex");
constexpr QLatin1String kSimplexScan = SaneText::Of("Simplex-scan"); // the overhead scanner's only source

// "mode"
constexpr QLatin1String kLineart = SaneText::Of("Lineart");
constexpr QLatin1String kColor = SaneText::Of("Color");
constexpr QLatin1String kAutoColorDetect = SaneText::Of("Auto-color-detect");
constexpr QLatin1String kMultiImageOutput = SaneText::Of("Multi-image-output");

// "paper-size" and "tone-adjustment"
constexpr QLatin1String kCustom = SaneText::Of("Custom");

// "multifeed-detection"
constexpr QLatin1String kStop = SaneText::Of("Stop");
constexpr QLatin1String kDoNotDetect = SaneText::Of("Do-not-detect");

// "bw-mode"
constexpr QLatin1String kIdtc = SaneText::Of("iDTC");
constexpr QLatin1String kSdtc = SaneText::Of("SDTC");
constexpr QLatin1String kThreshold = SaneText::Of("Threshold");

// "bgcolor"
constexpr QLatin1String kBlack = SaneText::Of("Black");
constexpr QLatin1String kWhite = SaneText::Of("White");

// "page-auto-priority"
constexpr QLatin1String kSpeed = SaneText::Of("Speed");
constexpr QLatin1String kAccuracy = SaneText::Of("Accuracy");

// "cropping"
constexpr QLatin1String kOverscan = SaneText::Of("Overscan");

// "color-cleanup" and "cleanup-sharpness"; "tone-adjustment" takes kCustom
constexpr QLatin1String kNone = SaneText::Of("None");
} // namespace SaneValue

// The SANE device names of the scanner families start with their backend's
// name; the overhead scanner has one device name.
namespace SaneDevice {
constexpr QLatin1String kKxBackend = SaneText::Of("zylkx");
constexpr QLatin1String kWyBackend = SaneText::Of("zylwy");
constexpr QLatin1String kJnBackend = SaneText::Of("zyljn");
constexpr QLatin1String kRV920 = SaneText::Of("zyljn:RV920");
} // namespace SaneDevice
