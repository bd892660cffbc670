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
template <int N> constexpr QLatin1String of(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}
} // namespace SaneText

namespace SaneOption {
constexpr QLatin1String kSource = SaneText::of("source");
constexpr QLatin1String kMode = SaneText::of("mode");
constexpr QLatin1String kResolution = SaneText::of("resolution");
constexpr QLatin1String kPaperSize = SaneText::of("paper-size");
constexpr QLatin1String kPageWidth = SaneText::of("page-width");
constexpr QLatin1String kPageHeight = SaneText::of("page-height");
constexpr QLatin1String kTlX = SaneText::of("tl-x");
constexpr QLatin1String kTlY = SaneText::of("tl-y");
constexpr QLatin1String kBrX = SaneText::of("br-x");
constexpr QLatin1String kBrY = SaneText::of("br-y");
constexpr QLatin1String kCustomLongPage = SaneText::of("custom-longpage");
constexpr QLatin1String kCropping = SaneText::of("cropping");
constexpr QLatin1String kCleanupSharpness = SaneText::of("cleanup-sharpness");
constexpr QLatin1String kHolePunchRemovalMode = SaneText::of("hole-punch-removal-mode");
constexpr QLatin1String kPageAutoPriority = SaneText::of("page-auto-priority");
constexpr QLatin1String kMultifeedDetection = SaneText::of("multifeed-detection");
constexpr QLatin1String kMfOverlapping = SaneText::of("mf-overlapping");
constexpr QLatin1String kMfLength = SaneText::of("mf-length");
constexpr QLatin1String kAutofeed = SaneText::of("autofeed");
constexpr QLatin1String kPrepick = SaneText::of("prepick");
// Read after a failed scan: the scanner's own error code.
constexpr QLatin1String kScannerError = SaneText::of("get-sc-error");
} // namespace SaneOption

namespace SaneValue {
// Booleans into the scanner layer; out of it they read "1" and "0".
constexpr QLatin1String kYes = SaneText::of("yes");
constexpr QLatin1String kNo = SaneText::of("no");
constexpr QLatin1String kTrue = SaneText::of("1");

// "source"
constexpr QLatin1String kFlatbed = SaneText::of("Flatbed");
constexpr QLatin1String kAdfFront = SaneText::of("Adf-front");
constexpr QLatin1String kAdfDuplex = SaneText::of("Adf-duplex");
constexpr QLatin1String kSimplexScan = SaneText::of("Simplex-scan"); // the overhead scanner's only source

// "mode"
constexpr QLatin1String kLineart = SaneText::of("Lineart");
constexpr QLatin1String kColor = SaneText::of("Color");
constexpr QLatin1String kAutoColorDetect = SaneText::of("Auto-color-detect");
constexpr QLatin1String kMultiImageOutput = SaneText::of("Multi-image-output");

// "paper-size" and "tone-adjustment"
constexpr QLatin1String kCustom = SaneText::of("Custom");

// "multifeed-detection"
constexpr QLatin1String kStop = SaneText::of("Stop");
constexpr QLatin1String kDoNotDetect = SaneText::of("Do-not-detect");

// "bw-mode"
constexpr QLatin1String kIdtc = SaneText::of("iDTC");
constexpr QLatin1String kSdtc = SaneText::of("SDTC");
constexpr QLatin1String kThreshold = SaneText::of("Threshold");

// "bgcolor"
constexpr QLatin1String kBlack = SaneText::of("Black");
constexpr QLatin1String kWhite = SaneText::of("White");

// "page-auto-priority"
constexpr QLatin1String kSpeed = SaneText::of("Speed");
constexpr QLatin1String kAccuracy = SaneText::of("Accuracy");

// "cropping"
constexpr QLatin1String kOverscan = SaneText::of("Overscan");

// "color-cleanup" and "cleanup-sharpness"; "tone-adjustment" takes kCustom
constexpr QLatin1String kNone = SaneText::of("None");
} // namespace SaneValue

// The SANE device names of the scanner families start with their backend's
// name; the overhead scanner has one device name.
namespace SaneDevice {
constexpr QLatin1String kKxBackend = SaneText::of("zylkx");
constexpr QLatin1String kWyBackend = SaneText::of("zylwy");
constexpr QLatin1String kJnBackend = SaneText::of("zyljn");
constexpr QLatin1String kRV920 = SaneText::of("zyljn:RV920");
} // namespace SaneDevice
