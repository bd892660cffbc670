#include "pnmfile.h"

#include "ownfile.h"
#include "pageimage.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cctype>

namespace {

constexpr qint64 kMaxSide = 0xFFFFFF;

// The next decimal number of a PNM header, after white space and comments.
bool Number(QIODevice* in, qint64* value)
{
    char c = 0;
    for (;;) {
        if (!in->getChar(&c))
            return false;
        if (c == '#') {
            in->readLine();
            continue;
        }
        if (!std::isspace(uchar(c)))
            break;
    }
    if (c < '0' || c > '9')
        return false;
    *value = 0;
    while (c >= '0' && c <= '9') {
        *value = *value * 10 + (c - '0');
        if (*value > 0x7FFFFFFF || !in->getChar(&c))
            return false;
    }
    in->ungetChar(c);
    return true;
}

bool IsWide(QImage::Format format)
{
    return format == QImage::Format_Grayscale16 || format == QImage::Format_RGBX64 ||
           format == QImage::Format_RGBA64 || format == QImage::Format_RGBA64_Premultiplied;
}

bool IsBlack(const QImage& image, int index, bool fallback)
{
    return image.colorCount() == 2 ? qGray(image.color(index)) < 128 : fallback;
}

// One row of `body` (Mono, Grayscale8, Grayscale16, RGB888 or RGBX64) as PNM
// stores it.
void PnmRow(const QImage& body, int y, bool black0, bool black1, QByteArray* row)
{
    const uchar* src = body.constScanLine(y);
    const int width = body.width();
    switch (body.format()) {
    case QImage::Format_Mono: {
        const int bytes = (width + 7) / 8;
        for (int i = 0; i < bytes; ++i)
            (*row)[i] = char((black1 ? src[i] : 0) | (black0 ? ~src[i] : 0));
        // The bits after the last pixel are clear.
        (*row)[bytes - 1] = char(uchar((*row)[bytes - 1]) & uchar(0xff << (bytes * 8 - width)));
        break;
    }
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64: {
        const auto* samples = reinterpret_cast<const quint16*>(src);
        const int channels = body.format() == QImage::Format_Grayscale16 ? 1 : 3;
        const int stride = channels == 1 ? 1 : 4; // RGBX64 leaves out X
        uchar* out = reinterpret_cast<uchar*>(row->data());
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c)
                qToBigEndian(samples[x * stride + c], out + 2 * (x * channels + c));
        }
        break;
    }
    default:
        std::copy_n(src, row->size(), row->data());
        break;
    }
}

} // namespace

bool ReadPnmHeader(QIODevice* in, PnmHeader* header)
{
    const QByteArray magic = in->read(2);
    if (magic.size() != 2 || magic[0] != 'P' || magic[1] < '4' || magic[1] > '6')
        return false;
    header->kind = magic[1];
    header->maximum = 1;
    if (!Number(in, &header->width) || !Number(in, &header->height) ||
        (header->kind != '4' && !Number(in, &header->maximum)))
        return false;
    // Exactly one white-space character ends the header.
    char c = 0;
    return in->getChar(&c) && std::isspace(uchar(c)) && header->width > 0 && header->height > 0 &&
           header->width <= kMaxSide && header->height <= kMaxSide && header->maximum >= 1 &&
           header->maximum <= 65535;
}

QImage ReadWidePnm(const QString& path)
{
    QFile file;
    PnmHeader h;
    if (!OwnFile::OpenFile(path, &file) || !ReadPnmHeader(&file, &h) || h.kind == '4' || h.maximum <= 255)
        return QImage();
    const int channels = h.kind == '6' ? 3 : 1;
    const qint64 rowBytes = h.width * channels * 2;
    if (rowBytes * h.height > file.size() - file.pos())
        return QImage();
    QImage image(int(h.width), int(h.height),
                 channels == 1 ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
    if (image.isNull())
        return QImage();
    const quint32 maximum = quint32(h.maximum);
    QByteArray row(int(rowBytes), 0);
    const auto* in = reinterpret_cast<const uchar*>(row.constData());
    for (int y = 0; y < image.height(); ++y) {
        if (file.read(row.data(), rowBytes) != rowBytes)
            return QImage();
        auto* out = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < channels; ++c) {
                const quint32 v =
                    std::min(quint32(qFromBigEndian<quint16>(in + 2 * (x * channels + c))), maximum);
                out[x * (channels == 1 ? 1 : 4) + c] = quint16((v * 65535 + maximum / 2) / maximum);
            }
            if (channels == 3)
                out[x * 4 + 3] = 0xFFFF;
        }
    }
    return image;
}

bool WritePnm(const QImage& image, QIODevice* out)
{
    if (image.isNull())
        return false;
    const QImage::Format format = image.format();
    const bool bilevel = image.depth() == 1;
    const bool grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16;
    const bool wide = IsWide(format);
    const QImage body = bilevel ? image.convertToFormat(QImage::Format_Mono)
                        : grey  ? image
                                : image.convertToFormat(wide ? QImage::Format_RGBX64 : QImage::Format_RGB888);
    if (body.isNull())
        return false;
    const char* kind = bilevel ? "P4" : grey ? "P5" : "P6";
    QByteArray header = QByteArray(kind) +
                        "\n#dpi:" + QByteArray::number(DotsPerInch(image.dotsPerMeterX())) + "\n" +
                        QByteArray::number(body.width()) + " " + QByteArray::number(body.height()) + "\n";
    if (!bilevel)
        header += QByteArray(wide ? "65535" : "255") + "\n";
    if (out->write(header) != header.size())
        return false;
    const int channels = bilevel || grey ? 1 : 3;
    const qint64 rowBytes =
        bilevel ? (body.width() + 7) / 8 : qint64(body.width()) * channels * (wide ? 2 : 1);
    const bool black0 = bilevel && IsBlack(body, 0, false);
    const bool black1 = bilevel && IsBlack(body, 1, true);
    QByteArray row(int(rowBytes), 0);
    for (int y = 0; y < body.height(); ++y) {
        PnmRow(body, y, black0, black1, &row);
        if (out->write(row) != row.size())
            return false;
    }
    return true;
}
