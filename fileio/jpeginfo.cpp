#include "jpeginfo.h"

#include <QBuffer>
#include <QFile>

#include <cstring>

namespace {

// Markers (the byte after 0xFF) the readers look at.
constexpr int kMarkerPrefix = 0xFF;
constexpr int kStartOfImage = 0xD8;
constexpr int kEndOfImage = 0xD9;
constexpr int kStartOfScan = 0xDA;
constexpr int kApp0 = 0xE0;  // JFIF
constexpr int kApp14 = 0xEE; // Adobe
constexpr int kDefineRestartInterval = 0xDD;
constexpr int kTem = 0x01;
constexpr int kFirstRestart = 0xD0;
constexpr int kLastRestart = 0xD7;
constexpr int kStuffedZero = 0x00;

// The fields of a JFIF header: the density unit at 7, the densities at 8 and 10.
constexpr int kJfifMinSize = 12;

int Be16(const QByteArray& b, int at)
{
    return (uchar(b.at(at)) << 8) | uchar(b.at(at + 1));
}

bool IsFrameMarker(int m)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool IsRestart(int m)
{
    return m >= kFirstRestart && m <= kLastRestart;
}

bool StartsJpeg(const QByteArray& head)
{
    return head.size() == 2 && uchar(head.at(0)) == kMarkerPrefix && uchar(head.at(1)) == kStartOfImage;
}

// Reads the next marker segment of `file`: its marker (fill bytes before it
// skipped) and its body. False when the file ends first or holds no marker
// there.
bool ReadSegment(QIODevice* file, int* marker, QByteArray* body)
{
    QByteArray head = file->read(4);
    if (head.size() < 4 || uchar(head.at(0)) != kMarkerPrefix)
        return false;
    int m = uchar(head.at(1));
    while (m == kMarkerPrefix) { // fill bytes
        head = head.mid(1) + file->read(1);
        if (head.size() < 4)
            return false;
        m = uchar(head.at(1));
    }
    const int length = Be16(head, 2);
    if (length < 2)
        return false;
    *marker = m;
    *body = file->read(length - 2);
    return body->size() == length - 2;
}

} // namespace

bool JpegInfo::Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ReadFrom(&file);
}

bool JpegInfo::Parse(const QByteArray& data)
{
    QBuffer buffer; // shares the bytes: QByteArray is implicitly shared
    buffer.setData(data);
    return buffer.open(QIODevice::ReadOnly) && ReadFrom(&buffer);
}

bool JpegInfo::ReadFrom(QIODevice* file)
{
    if (!StartsJpeg(file->read(2)))
        return false;
    int marker = 0;
    QByteArray body;
    bool frame = false;
    while (ReadSegment(file, &marker, &body)) {
        if (marker == kApp0 && body.startsWith(QByteArray("JFIF\0", 5)) && body.size() >= kJfifMinSize) {
            densityUnit = uchar(body.at(7));
            densityX = Be16(body, 8);
            densityY = Be16(body, 10);
        } else if (marker == kApp14 && body.startsWith("Adobe")) {
            adobe = true;
        } else if (marker == kDefineRestartInterval && body.size() >= 2) {
            restartInterval = Be16(body, 0);
        } else if (IsFrameMarker(marker) && !frame) {
            if (body.size() < 6)
                return false;
            frameMarker = marker;
            precision = uchar(body.at(0));
            height = Be16(body, 1);
            width = Be16(body, 3);
            components = uchar(body.at(5));
            for (int c = 0; c < qMin(components, 4) && body.size() >= 9 + 3 * c; ++c) {
                componentId[c] = uchar(body.at(6 + 3 * c));
                hSampling[c] = uchar(body.at(7 + 3 * c)) >> 4;
                vSampling[c] = uchar(body.at(7 + 3 * c)) & 0x0F;
            }
            if (width <= 0 || height <= 0)
                return false;
            frame = true;
        } else if (marker == kStartOfScan || marker == kEndOfImage) {
            return frame;
        }
    }
    return frame;
}

bool JpegInfo::Embeddable() const
{
    return precision == 8 && !adobe && (components == 1 || components == 3);
}

bool JpegInfo::TiffStrippable() const
{
    // Baseline and extended sequential Huffman frames.
    if ((frameMarker != 0xC0 && frameMarker != 0xC1) || precision != 8 || adobe || restartInterval != 0)
        return false;
    if (components == 1)
        return hSampling[0] == 1 && vSampling[0] == 1;
    if (components != 3)
        return false;
    // An "R", "G", "B" naming marks RGB samples, which libjpeg keeps as RGB.
    if (componentId[0] == 'R' && componentId[1] == 'G' && componentId[2] == 'B')
        return false;
    const int h = hSampling[0], v = vSampling[0];
    const bool subsampling = (h == 1 || h == 2 || h == 4) && (v == 1 || v == 2 || v == 4) && v <= h;
    return subsampling && hSampling[1] == 1 && vSampling[1] == 1 && hSampling[2] == 1 && vSampling[2] == 1;
}

namespace {

// Position just after the entropy-coded data that starts at `i`: at the
// 0xFF of the next marker other than a stuffed zero or a restart; -1 when
// the data ends first.
qsizetype SkipScanData(const uchar* p, qsizetype n, qsizetype i)
{
    for (;;) {
        const void* ff = i < n ? std::memchr(p + i, kMarkerPrefix, size_t(n - i)) : nullptr;
        if (!ff)
            return -1;
        i = static_cast<const uchar*>(ff) - p;
        if (i + 1 >= n)
            return -1;
        const uchar next = p[i + 1];
        if (next == kStuffedZero || IsRestart(next))
            i += 2;
        else if (next == kMarkerPrefix)
            i += 1; // fill byte before a marker
        else
            return i;
    }
}

// Reads the marker at `i` (after any fill bytes): the position after it, or
// -1 when there is none.
qsizetype ReadMarker(const uchar* p, qsizetype n, qsizetype i, int* marker)
{
    if (p[i] != kMarkerPrefix)
        return -1;
    while (i < n && p[i] == kMarkerPrefix)
        ++i;
    if (i >= n)
        return -1;
    *marker = p[i];
    return i + 1;
}

// The position after the segment of `marker` whose length starts at `i`
// (after its scan data for a scan); -1 when it is cut off or no segment
// can start there.
qsizetype SkipSegment(const uchar* p, qsizetype n, qsizetype i, int marker)
{
    if (marker == kStuffedZero || marker == kStartOfImage || i + 2 > n)
        return -1;
    const int length = (p[i] << 8) | p[i + 1];
    if (length < 2 || i + length > n)
        return -1;
    i += length;
    return marker == kStartOfScan ? SkipScanData(p, n, i) : i;
}

} // namespace

bool JpegInfo::IsComplete(const QByteArray& data)
{
    const uchar* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    if (n < 4 || p[0] != kMarkerPrefix || p[1] != kStartOfImage)
        return false;
    qsizetype i = 2;
    bool frame = false;
    bool scan = false;
    while (i < n) {
        int marker = 0;
        i = ReadMarker(p, n, i, &marker);
        if (i < 0)
            return false;
        if (marker == kEndOfImage)
            return frame && scan;
        if (marker == kTem || IsRestart(marker))
            continue; // markers without a length
        if (marker == kStartOfScan && !frame)
            return false;
        i = SkipSegment(p, n, i, marker);
        if (i < 0)
            return false;
        frame = frame || IsFrameMarker(marker);
        scan = scan || marker == kStartOfScan;
    }
    return false;
}
