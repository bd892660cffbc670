#pragma once

#include <QImage>
#include <QString>

class QIODevice;

// Binary PNM files as the scan layer writes them: P4 (a set bit is black),
// P5 and P6 with a maximum sample value of 255 or (16-bit samples, most
// significant byte first) up to 65535; the second line "#dpi:<dpi>".

// The header of a binary PNM file.
struct PnmHeader {
    char kind = 0; // '4' bilevel, '5' grey, '6' RGB
    qint64 width = 0;
    qint64 height = 0;
    qint64 maximum = 1; // 1 for P4
};

// Reads the header from the start of `in` and leaves `in` at the first byte
// of the pixels. False for anything but a binary PNM header with a size of
// 1 to 0xFFFFFF each way and a maximum of 1 to 65535.
bool ReadPnmHeader(QIODevice* in, PnmHeader* header);

// The P5 or P6 file `path` whose samples are 16 bits wide (a maximum above
// 255) at its full depth: QImage::Format_Grayscale16 or Format_RGBX64, the
// samples scaled to 65535, the image's default resolution (see
// PnmResolution). Null for any other file, and for one whose pixels are
// short.
QImage ReadWidePnm(const QString& path);

// Writes `image` to `out` as a PNM file that keeps its kind and depth: P4
// for 1-bit images (a pixel darker than mid-grey black), P5 for 8-bit and
// 16-bit grey, P6 for the others (16-bit samples for the formats of 16 bits
// a channel, else 8-bit), with its horizontal resolution as "#dpi:".
bool WritePnm(const QImage& image, QIODevice* out);
