#include "pagepng.h"

#include "pageimage.h"
#include "pnmfile.h"

#include <QFile>
#include <QImage>
#include <QLoggingCategory>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcPagePng, "scanvy.ofd.png", QtWarningMsg)

// The pixels of a page as PNG stores them.
struct Raster {
    quint32 width = 0;
    quint32 height = 0;
    int depth = 8;    // bits per sample: 1, 8 or 16
    int channels = 1; // 1 grey, 3 RGB
    int dpi = 0;      // 0: unknown

    size_t RowBytes() const { return (size_t(width) * size_t(channels) * size_t(depth) + 7) / 8; }
};

// Hands out a page's rows from top to bottom in PNG's layout: a 1-bit 0 is
// black, 16-bit samples are most significant byte first.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual bool Next(uchar* row) = 0;
    Raster raster;
};

// Makes 16-bit samples in host order most significant byte first.
void SamplesToBigEndian(uchar* row, size_t bytes)
{
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        return;
    for (size_t i = 0; i + 1 < bytes; i += 2)
        std::swap(row[i], row[i + 1]);
}

void Invert(uchar* row, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i)
        row[i] = uchar(~row[i]);
}

// TIFF (strips or tiles) of 1-bit grey, 8/16-bit grey or RGB (also JPEG in
// YCbCr, which the codec hands out as RGB). Anything else is left to Qt.
class TiffRows : public RowSource {
public:
    ~TiffRows() override
    {
        if (m_tif)
            TIFFClose(m_tif);
    }

    bool Open(const QString& path)
    {
        m_tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
        if (!m_tif)
            return false;
        uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
        uint16_t compression = COMPRESSION_NONE, photometric = 0;
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_COMPRESSION, &compression);
        if (!TIFFGetField(m_tif, TIFFTAG_IMAGEWIDTH, &raster.width) ||
            !TIFFGetField(m_tif, TIFFTAG_IMAGELENGTH, &raster.height) ||
            !TIFFGetField(m_tif, TIFFTAG_PHOTOMETRIC, &photometric) || format != SAMPLEFORMAT_UINT ||
            (planar != PLANARCONFIG_CONTIG && samples > 1))
            return false;
        if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG && bits == 8) {
            TIFFSetField(m_tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            photometric = PHOTOMETRIC_RGB;
        }
        const bool grey =
            samples == 1 && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
        const bool rgb = samples == 3 && photometric == PHOTOMETRIC_RGB && bits != 1;
        if (!(grey || rgb) || !(bits == 1 || bits == 8 || bits == 16))
            return false;
        raster.depth = bits;
        raster.channels = samples;
        m_invert = photometric == PHOTOMETRIC_MINISWHITE;
        raster.dpi = Resolution();
        return TIFFScanlineSize(m_tif) == tmsize_t(raster.RowBytes()) &&
               (!TIFFIsTiled(m_tif) || SetUpTiles());
    }

    bool Next(uchar* row) override
    {
        if (m_row >= raster.height)
            return false;
        if (m_tileLength > 0) {
            const quint32 inBand = m_row % m_tileLength;
            if (inBand == 0 && !ReadBand())
                return false;
            const size_t n = raster.RowBytes();
            std::copy_n(m_band.data() + inBand * n, n, row);
            ++m_row;
        } else if (TIFFReadScanline(m_tif, row, m_row++, 0) < 0) {
            return false;
        }
        if (m_invert)
            Invert(row, raster.RowBytes());
        if (raster.depth == 16)
            SamplesToBigEndian(row, raster.RowBytes());
        return true;
    }

private:
    // Tiles are read a band (one tile high, the image wide) at a time.
    bool SetUpTiles()
    {
        uint32_t width = 0;
        TIFFGetField(m_tif, TIFFTAG_TILEWIDTH, &width);
        TIFFGetField(m_tif, TIFFTAG_TILELENGTH, &m_tileLength);
        m_tileWidth = width;
        const tmsize_t tileRow = TIFFTileRowSize(m_tif);
        // Each tile's rows must start on a byte of the image's row.
        if (width == 0 || m_tileLength == 0 || tileRow <= 0 ||
            (quint64(width) * quint64(raster.depth * raster.channels)) % 8 != 0 || TIFFTileSize(m_tif) <= 0)
            return false;
        m_tileRowBytes = size_t(tileRow);
        m_tile.resize(size_t(TIFFTileSize(m_tif)));
        m_band.resize(raster.RowBytes() * m_tileLength);
        return true;
    }

    bool ReadBand()
    {
        const size_t rowBytes = raster.RowBytes();
        const quint32 rows = qMin(m_tileLength, raster.height - m_row);
        size_t offset = 0;
        for (quint32 x = 0; x < raster.width; x += m_tileWidth, offset += m_tileRowBytes) {
            if (TIFFReadTile(m_tif, m_tile.data(), x, m_row, 0, 0) < 0)
                return false;
            const size_t n = qMin(m_tileRowBytes, rowBytes - offset);
            for (quint32 r = 0; r < rows; ++r)
                std::copy_n(m_tile.data() + r * m_tileRowBytes, n, m_band.data() + r * rowBytes + offset);
        }
        return true;
    }

    int Resolution()
    {
        float x = 0;
        uint16_t unit = RESUNIT_INCH;
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        if (!TIFFGetField(m_tif, TIFFTAG_XRESOLUTION, &x) || !(x > 0) || x > 1e6f)
            return 0;
        if (unit == RESUNIT_CENTIMETER)
            return qRound(x * kCentimetresPerInch);
        return unit == RESUNIT_INCH ? qRound(x) : 0;
    }

    TIFF* m_tif = nullptr;
    quint32 m_row = 0;
    bool m_invert = false;
    quint32 m_tileWidth = 0;
    quint32 m_tileLength = 0; // 0: strips
    size_t m_tileRowBytes = 0;
    std::vector<uchar> m_tile;
    std::vector<uchar> m_band;
};

// Binary PNM as the scan layer writes it: P4 (a set bit is black), P5 and
// P6 with a maximum of 255 or 65535 (samples most significant byte first).
class PnmRows : public RowSource {
public:
    bool Open(const QString& path)
    {
        m_file.setFileName(path);
        PnmHeader header;
        if (!m_file.open(QIODevice::ReadOnly) || !ReadPnmHeader(&m_file, &header) ||
            (header.kind != '4' && header.maximum != 255 && header.maximum != 65535))
            return false;
        raster.width = quint32(header.width);
        raster.height = quint32(header.height);
        raster.channels = header.kind == '6' ? 3 : 1;
        raster.depth = header.kind == '4' ? 1 : header.maximum == 255 ? 8 : 16;
        raster.dpi = PnmResolution(path);
        return true;
    }

    bool Next(uchar* row) override
    {
        const qint64 n = qint64(raster.RowBytes());
        if (m_file.read(reinterpret_cast<char*>(row), n) != n)
            return false;
        if (raster.depth == 1)
            Invert(row, size_t(n));
        return true;
    }

private:
    QFile m_file;
};

// Any other page, decoded whole by Qt.
class ImageRows : public RowSource {
public:
    bool Open(const QString& path)
    {
        const QImage image = LoadPageImage(path);
        if (image.isNull())
            return false;
        switch (image.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB: {
            // Qt calls no 1-bit image grey: a black and white one stays 1-bit.
            const QVector<QRgb> table = image.colorTable();
            const bool bilevel = table.size() == 2 && std::all_of(table.begin(), table.end(), [](QRgb c) {
                                     return qIsGray(c) && (qGray(c) == 0 || qGray(c) == 255);
                                 });
            raster.depth = bilevel ? 1 : 8;
            m_image = image.convertToFormat(bilevel ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
            raster.channels = bilevel ? 1 : 3;
            break;
        }
        case QImage::Format_Grayscale16:
            raster.depth = 16;
            m_image = image;
            break;
        case QImage::Format_RGBX64:
        case QImage::Format_RGBA64:
        case QImage::Format_RGBA64_Premultiplied:
            raster.depth = 16;
            raster.channels = 3;
            m_image = image.convertToFormat(QImage::Format_RGBX64);
            break;
        default:
            raster.channels = image.allGray() ? 1 : 3;
            m_image = image.convertToFormat(raster.channels == 1 ? QImage::Format_Grayscale8
                                                                 : QImage::Format_RGB888);
            break;
        }
        raster.width = quint32(m_image.width());
        raster.height = quint32(m_image.height());
        raster.dpi = DotsPerInch(m_image.dotsPerMeterX());
        return !m_image.isNull();
    }

    bool Next(uchar* row) override
    {
        if (m_row >= raster.height)
            return false;
        const uchar* src = m_image.constScanLine(int(m_row++));
        const size_t width = raster.width;
        if (raster.depth == 1) {
            // Set bits are white, as in PNG.
            std::fill(row, row + raster.RowBytes(), uchar(0));
            for (size_t x = 0; x < width; ++x) {
                if (src[x] >= 128)
                    row[x / 8] |= uchar(0x80 >> (x % 8));
            }
        } else if (raster.depth == 16) {
            const auto* s = reinterpret_cast<const quint16*>(src);
            const size_t stride = raster.channels == 1 ? 1 : 4;
            for (size_t x = 0; x < width; ++x) {
                for (int c = 0; c < raster.channels; ++c)
                    qToBigEndian(s[x * stride + size_t(c)],
                                 row + (x * size_t(raster.channels) + size_t(c)) * 2);
            }
        } else {
            std::copy(src, src + raster.RowBytes(), row);
        }
        return true;
    }

private:
    QImage m_image;
    quint32 m_row = 0;
};

std::unique_ptr<RowSource> OpenPage(const QString& path)
{
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray head = probe.read(4);
    probe.close();
    if (head.startsWith("II*") || head.startsWith("MM\0*")) {
        auto tiff = std::make_unique<TiffRows>();
        if (tiff->Open(path))
            return tiff;
    } else if (head.startsWith("P4") || head.startsWith("P5") || head.startsWith("P6")) {
        auto pnm = std::make_unique<PnmRows>();
        if (pnm->Open(path))
            return pnm;
    }
    auto image = std::make_unique<ImageRows>();
    if (image->Open(path))
        return image;
    return nullptr;
}

void OnPngError(png_structp, png_const_charp message)
{
    // libpng jumps back to the setjmp of the running call on return.
    qCWarning(lcPagePng) << "libpng:" << message;
}

void OnPngWarning(png_structp, png_const_charp)
{
}

// Everything that touches libpng, without objects whose destructors a
// longjmp would skip.
bool Encode(png_structp png, png_infop info, FILE* file, RowSource* rows, uchar* row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const Raster& r = rows->raster;
    png_init_io(png, file);
    png_set_IHDR(png, info, r.width, r.height, r.depth,
                 r.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (r.depth == 1) {
        // Bilevel pages are mostly long runs: unfiltered rows come out
        // smallest. Level 8 is within 2 % of level 9's size on scanned text
        // pages at less than half its time.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_compression_level(png, 8);
    }
    if (r.dpi > 0) {
        const png_uint_32 ppm = png_uint_32(qRound(r.dpi / kMetresPerInch));
        png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    for (quint32 y = 0; y < r.height; ++y) {
        if (!rows->Next(row))
            png_error(png, "page ends early");
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

} // namespace

namespace PagePng {

bool Write(const QString& page, const QString& out)
{
    const std::unique_ptr<RowSource> rows = OpenPage(page);
    if (!rows || rows->raster.width == 0 || rows->raster.height == 0 ||
        rows->raster.width > PNG_UINT_31_MAX || rows->raster.height > PNG_UINT_31_MAX)
        return false;
    std::vector<uchar> row(rows->raster.RowBytes());
    const int fd = ::open(QFile::encodeName(out).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && Encode(png, info, file, rows.get(), row.data());
    if (png)
        png_destroy_write_struct(&png, info ? &info : nullptr);
    ok = std::fflush(file) == 0 && !std::ferror(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace PagePng
