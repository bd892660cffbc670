#pragma once

#include <QImage>
#include <QSize>

typedef struct tiff TIFF;

// Reads the first image of a TIFF file reduced by a whole factor: every
// output pixel is the mean of a factor x factor cell of page pixels (the
// cells of the last column and the last row may be narrower). The page is
// read one scan line at a time, so it is never held whole. 1-bit pages are
// reduced by counting the set bits of each cell's span of a line, a machine
// word at a time, which makes a reduced black-and-white page about as cheap
// as reading its file.
//
// Supported: stripped images in one plane of 1-bit grey, 8- or 16-bit grey
// (min-is-black or min-is-white) and 8- or 16-bit RGB, in any compression
// libtiff decodes line by line. Anything else (palettes, tiles, alpha, CMYK,
// YCbCr) is left to Qt's reader.
class TiffReducer {
public:
    // `tiff` stays owned by the caller and must outlive the reducer.
    explicit TiffReducer(TIFF* tiff);

    bool IsSupported() const { return m_supported; }
    bool IsBilevel() const { return m_supported && m_bits == 1; }
    QSize Size() const { return QSize(m_width, m_height); }
    // Bytes of pixel data per page (what a full read has to go through).
    qint64 RawBytes() const;

    // The page reduced by `factor` (>= 1): ceil(width / factor) x
    // ceil(height / factor) pixels, Format_Grayscale8 for grey pages and
    // Format_RGB32 for colour ones. Null when the page is not supported or
    // its data does not decode.
    QImage Read(int factor);

private:
    void AddBilevelLine(const uchar* line, int factor, quint64* sums) const;
    void AddSampleLine(const uchar* line, int factor, quint64* sums) const;
    void StoreLine(const quint64* sums, int factor, int cellHeight, uchar* out) const;

    TIFF* m_tiff = nullptr;
    bool m_supported = false;
    int m_width = 0;
    int m_height = 0;
    int m_bits = 0;
    int m_samples = 0;
    bool m_inverted = false; // min-is-white: 0 is white
};
