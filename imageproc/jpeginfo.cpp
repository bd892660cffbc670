#include "jpeginfo.h"

#include <QBuffer>
#include <QFile>

#include <cstring>

namespace {

int be16(const QByteArray& b, int at)
{
    return (uchar(b.at(at)) << 8) | uchar(b.at(at + 1));
}

bool isFrameMarker(int m)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

} // namespace

bool JpegInfo::Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ReadFrom(&file);
}

bool JpegInfo::Parse(const QByteArray& data)
{
    QBuffer buffer(const_cast<QByteArray*>(&data));
    return buffer.open(QIODevice::ReadOnly) && ReadFrom(&buffer);
}

bool JpegInfo::ReadFrom(QIODevice* file)
{
    if (file->read(2) != QByteArray("\xFF\xD8", 2))
        return false;
    for (;;) {
        QByteArray head = file->read(4);
        if (head.size() < 4 || uchar(head.at(0)) != 0xFF)
            return false;
        int marker = uchar(head.at(1));
        while (marker == 0xFF) { // fill bytes
            head = head.mid(1) + file->read(1);
            if (head.size() < 4)
                return false;
            marker = uchar(head.at(1));
        }
        const int length = be16(head, 2);
        if (length < 2)
            return false;
        const QByteArray body = file->read(length - 2);
        if (body.size() != length - 2)
            return false;
        if (marker == 0xE0 && body.startsWith(QByteArray("JFIF\0", 5)) && body.size() >= 12) {
            densityUnit = uchar(body.at(7));
            densityX = be16(body, 8);
            densityY = be16(body, 10);
        } else if (marker == 0xEE && body.startsWith("Adobe")) {
            adobe = true;
        } else if (isFrameMarker(marker)) {
            if (body.size() < 6)
                return false;
            precision = uchar(body.at(0));
            height = be16(body, 1);
            width = be16(body, 3);
            components = uchar(body.at(5));
            return width > 0 && height > 0;
        } else if (marker == 0xDA || marker == 0xD9) {
            return false;
        }
    }
}

bool JpegInfo::Embeddable() const
{
    return precision == 8 && !adobe && (components == 1 || components == 3);
}

namespace {

// Position just after the entropy-coded data that starts at `i`: at the
// 0xFF of the next marker other than a stuffed zero or a restart; -1 when
// the data ends first.
qsizetype skipScanData(const uchar* p, qsizetype n, qsizetype i)
{
    for (;;) {
        const void* ff = i < n ? std::memchr(p + i, 0xFF, size_t(n - i)) : nullptr;
        if (!ff)
            return -1;
        i = static_cast<const uchar*>(ff) - p;
        if (i + 1 >= n)
            return -1;
        const uchar next = p[i + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            i += 2;
        else if (next == 0xFF)
            i += 1; // fill byte before a marker
        else
            return i;
    }
}

} // namespace

bool JpegInfo::IsComplete(const QByteArray& data)
{
    const uchar* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    qsizetype i = 2;
    bool frame = false;
    bool scan = false;
    while (i < n) {
        if (p[i] != 0xFF)
            return false;
        while (i < n && p[i] == 0xFF)
            ++i;
        if (i >= n)
            return false;
        const int marker = p[i++];
        if (marker == 0xD9)
            return frame && scan;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (marker == 0x00 || marker == 0xD8 || i + 2 > n)
            return false;
        const int length = (p[i] << 8) | p[i + 1];
        if (length < 2 || i + length > n)
            return false;
        i += length;
        if (isFrameMarker(marker)) {
            frame = true;
        } else if (marker == 0xDA) {
            if (!frame)
                return false;
            scan = true;
            i = skipScanData(p, n, i);
            if (i < 0)
                return false;
        }
    }
    return false;
}
