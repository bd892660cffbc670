#include "tiffreducer.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace {

// Larger pages are refused rather than risking absurd line buffers.
const int kMaxSide = 1 << 17;

// Number of set bits among `count` bits of `line` starting at bit `bit`
// (bit 0 is the most significant bit of the first byte). `line` must have
// 8 readable bytes past the last byte touched.
quint32 CountSetBits(const uchar* line, qint64 bit, int count)
{
    quint32 set = 0;
    while (count > 0) {
        // A word loaded at the span's first byte holds at least 57 of its bits.
        const int take = std::min(count, 56);
        quint64 word = qFromBigEndian<quint64>(line + (bit >> 3));
        word <<= (bit & 7);
        word >>= (64 - take);
        set += quint32(qPopulationCount(word));
        bit += take;
        count -= take;
    }
    return set;
}

} // namespace

TiffReducer::TiffReducer(TIFF* tiff) : m_tiff(tiff)
{
    if (tiff == nullptr || TIFFIsTiled(tiff)) {
        return;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t photometric = 0;
    uint16_t planar = 0;
    uint16_t format = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) ||
        !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format)) {
        return;
    }
    if (width == 0 || height == 0 || width > uint32_t(kMaxSide) || height > uint32_t(kMaxSide) ||
        format != SAMPLEFORMAT_UINT) {
        return;
    }
    const bool grey = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
                      samples == 1 && (bits == 1 || bits == 8 || bits == 16);
    const bool rgb = photometric == PHOTOMETRIC_RGB && samples == 3 && planar == PLANARCONFIG_CONTIG &&
                     (bits == 8 || bits == 16);
    if (!grey && !rgb) {
        return;
    }
    m_width = int(width);
    m_height = int(height);
    m_bits = bits;
    m_samples = samples;
    m_inverted = photometric == PHOTOMETRIC_MINISWHITE;
    m_supported = true;
}

qint64 TiffReducer::RawBytes() const
{
    const qint64 lineBits = qint64(m_width) * m_samples * m_bits;
    return (lineBits + 7) / 8 * m_height;
}

QImage TiffReducer::Read(int factor)
{
    if (!m_supported || factor < 1) {
        return QImage();
    }
    const int outWidth = (m_width + factor - 1) / factor;
    const int outHeight = (m_height + factor - 1) / factor;
    QImage out(outWidth, outHeight, m_samples == 3 ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    const tmsize_t lineSize = TIFFScanlineSize(m_tiff);
    const qint64 needed = (qint64(m_width) * m_samples * m_bits + 7) / 8;
    if (out.isNull() || lineSize < needed) {
        return QImage();
    }
    // Zeroed padding behind the line for the bit counter's word loads.
    std::vector<uchar> line(size_t(lineSize) + 8, 0);
    std::vector<quint64> sums(size_t(outWidth) * size_t(m_samples), 0);
    int cellTop = 0;
    for (int y = 0; y < m_height; ++y) {
        if (TIFFReadScanline(m_tiff, line.data(), uint32_t(y), 0) < 0) {
            return QImage();
        }
        if (m_bits == 1) {
            AddBilevelLine(line.data(), factor, sums.data());
        } else {
            AddSampleLine(line.data(), factor, sums.data());
        }
        if ((y + 1) % factor == 0 || y + 1 == m_height) {
            StoreLine(sums.data(), factor, y - cellTop + 1, out.scanLine(y / factor));
            std::fill(sums.begin(), sums.end(), 0);
            cellTop = y + 1;
        }
    }
    return out;
}

void TiffReducer::AddBilevelLine(const uchar* line, int factor, quint64* sums) const
{
    const int outWidth = (m_width + factor - 1) / factor;
    for (int x = 0; x < outWidth; ++x) {
        const int left = x * factor;
        sums[x] += CountSetBits(line, left, std::min(factor, m_width - left));
    }
}

namespace {

// Adds every sample of one line into the sums of its output cell; `read`
// gives sample c of a pixel, `bytes` is the size of one sample.
template <typename Read>
void AddCells(const uchar* line, int width, int samples, int factor, int bytes, quint64* sums, Read read)
{
    const int outWidth = (width + factor - 1) / factor;
    const uchar* p = line;
    for (int x = 0; x < outWidth; ++x) {
        const int cell = std::min(factor, width - x * factor);
        quint64* sum = sums + x * samples;
        for (int i = 0; i < cell; ++i) {
            for (int c = 0; c < samples; ++c) {
                sum[c] += read(p, c);
            }
            p += bytes * samples;
        }
    }
}

} // namespace

void TiffReducer::AddSampleLine(const uchar* line, int factor, quint64* sums) const
{
    if (m_bits == 8) {
        AddCells(line, m_width, m_samples, factor, 1, sums,
                 [](const uchar* p, int c) { return quint64(p[c]); });
        return;
    }
    // libtiff hands 16-bit samples over in the machine's byte order.
    AddCells(line, m_width, m_samples, factor, 2, sums, [](const uchar* p, int c) {
        quint16 value;
        std::memcpy(&value, p + 2 * c, sizeof value);
        return quint64(value);
    });
}

void TiffReducer::StoreLine(const quint64* sums, int factor, int cellHeight, uchar* out) const
{
    const int outWidth = (m_width + factor - 1) / factor;
    // Every sum becomes an 8-bit mean, rounded: bilevel sums count set bits
    // (0 or 1 per pixel), others add samples of 0..255 or 0..65535.
    const quint64 top = m_bits == 1 ? 1 : (m_bits == 8 ? 255 : 65535);
    const quint64 scale = m_bits == 1 ? 255 : 1;
    const quint64 unit = m_bits == 16 ? 257 : 1;
    for (int x = 0; x < outWidth; ++x) {
        const quint64 pixels = quint64(std::min(factor, m_width - x * factor)) * quint64(cellHeight);
        const quint64 divisor = pixels * unit;
        uchar value[3];
        for (int c = 0; c < m_samples; ++c) {
            quint64 sum = sums[x * m_samples + c];
            if (m_inverted) {
                sum = top * pixels - sum;
            }
            value[c] = uchar((sum * scale + divisor / 2) / divisor);
        }
        if (m_samples == 3) {
            reinterpret_cast<QRgb*>(out)[x] = qRgb(value[0], value[1], value[2]);
        } else {
            out[x] = value[0];
        }
    }
}
