#pragma once

#include <QByteArray>

// Builds the header of a single-strip, uncompressed TIFF page: byte order,
// one image directory and its out-of-line values. The pixel data is meant to
// follow the header directly (StripOffsets = header size).
//
// Byte order is big-endian ("MM") up to 8 bits per sample and little-endian
// ("II") for 16-bit samples, which are then expected in little-endian order.
class TiffHeader {
public:
    // rgb: three samples per pixel; otherwise one. depth: 1, 8 or 16.
    // Resolution entries are written only when resolution >= 1.
    static QByteArray Build(bool rgb, int depth, int pixelsPerLine, int lines, int resolution);
};
