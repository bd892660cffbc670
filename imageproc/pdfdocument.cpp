#include "pdfdocument.h"

#include "jpegencoder.h"
#include "jpeginfo.h"
#include "pageimage.h"
#include "pagetext.h"
#include "pageturn.h"
#include "pdfwriter.h"
#include "targetfile.h"
#include "temppath.h"
#include "tifflayout.h"
#include "tifflog.h"

#include <QFile>
#include <QImage>

#include <tiffio.h>
#include <vector>

namespace {

const char kModule[] = "tiff2pdf";
const int kJpegQuality = 75;
const double kDefaultDpi = 300.0;
const double kPointsPerInch = 72.0;

// Page size in points from the image size and the directory's resolution.
void PageSize(TIFF* in, uint32_t width, uint32_t length, PdfImage* img)
{
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetField(in, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(in, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(in, TIFFTAG_RESOLUTIONUNIT, &unit);
    double dpiX = xres, dpiY = yres;
    if (unit == RESUNIT_CENTIMETER) {
        dpiX *= kCentimetresPerInch;
        dpiY *= kCentimetresPerInch;
    }
    // Unitless resolution only gives the aspect ratio: read it as dots per
    // inch rather than producing pages of a fraction of a point.
    if (!(dpiX > 0))
        dpiX = kDefaultDpi;
    if (!(dpiY > 0))
        dpiY = kDefaultDpi;
    img->widthPt = width * kPointsPerInch / dpiX;
    img->heightPt = length * kPointsPerInch / dpiY;
}

// Bilevel rows (1 = black) into a CCITT G4 stream, through libtiff's codec,
// which may change the rows in place.
bool EncodeG4(std::vector<unsigned char>& rows, uint32_t width, uint32_t length, QByteArray* out)
{
    const QString tmp = GetTempFilePath("tiff");
    if (tmp.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(tmp);
    bool ok = false;
    if (TIFF* t = TIFFOpen(name.constData(), "w")) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, length);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, length);
        const tmsize_t size = tmsize_t((width + 7) / 8) * length;
        ok = TIFFWriteEncodedStrip(t, 0, rows.data(), size) >= 0 && TIFFWriteDirectory(t);
        TIFFClose(t);
    }
    if (ok) {
        ok = false;
        if (TIFF* t = TIFFOpen(name.constData(), "r")) {
            uint64_t* counts = nullptr;
            if (TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts[0] > 0) {
                out->resize(int(counts[0]));
                ok = TIFFReadRawStrip(t, 0, out->data(), tmsize_t(counts[0])) == tmsize_t(counts[0]);
            }
            TIFFClose(t);
        }
    }
    QFile::remove(tmp);
    return ok;
}

bool ReadBilevel(TIFF* in, uint32_t width, uint32_t length, uint16_t photometric, PdfImage* img)
{
    const size_t lineBytes = (width + 7) / 8;
    if (TIFFScanlineSize(in) != tmsize_t(lineBytes))
        return false;
    std::vector<unsigned char> rows(lineBytes * length);
    for (uint32_t y = 0; y < length; ++y) {
        unsigned char* row = rows.data() + y * lineBytes;
        if (TIFFReadScanline(in, row, y, 0) < 0)
            return false;
        if (photometric == PHOTOMETRIC_MINISBLACK) {
            for (size_t i = 0; i < lineBytes; ++i)
                row[i] = ~row[i];
        }
    }
    img->filter = PdfImage::CCITTG4;
    img->components = 1;
    return EncodeG4(rows, width, length, &img->data);
}

// 8-bit grey or RGB scanlines straight into the JPEG encoder.
bool ReadDirect(TIFF* in, uint32_t width, uint32_t length, int components, uint16_t spp, bool invert,
                PdfImage* img)
{
    const tmsize_t lineSize = TIFFScanlineSize(in);
    if (lineSize < tmsize_t(width) * spp)
        return false;
    std::vector<unsigned char> line(static_cast<size_t>(lineSize));
    std::vector<unsigned char> packed(size_t(width) * components);
    JpegEncoder encoder;
    if (!encoder.Begin(int(width), int(length), components, kJpegQuality))
        return false;
    for (uint32_t y = 0; y < length; ++y) {
        if (TIFFReadScanline(in, line.data(), y, 0) < 0)
            return false;
        const unsigned char* row = line.data();
        if (spp != components || invert) {
            for (uint32_t x = 0; x < width; ++x) {
                for (int c = 0; c < components; ++c) {
                    const unsigned char v = line[size_t(x) * spp + c];
                    packed[size_t(x) * components + c] = invert ? 255 - v : v;
                }
            }
            row = packed.data();
        }
        if (!encoder.WriteRow(row))
            return false;
    }
    img->filter = PdfImage::DCT;
    img->components = components;
    return encoder.Finish(&img->data);
}

// Anything else libtiff can decode (palette, 16-bit, CMYK, separate planes).
bool ReadViaRgba(TIFF* in, uint32_t width, uint32_t length, PdfImage* img)
{
    std::vector<uint32_t> raster(size_t(width) * length);
    if (!TIFFReadRGBAImageOriented(in, width, length, raster.data(), ORIENTATION_TOPLEFT, 0))
        return false;
    std::vector<unsigned char> row(size_t(width) * 3);
    JpegEncoder encoder;
    if (!encoder.Begin(int(width), int(length), 3, kJpegQuality))
        return false;
    for (uint32_t y = 0; y < length; ++y) {
        const uint32_t* src = raster.data() + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = TIFFGetR(src[x]);
            row[x * 3 + 1] = TIFFGetG(src[x]);
            row[x * 3 + 2] = TIFFGetB(src[x]);
        }
        if (!encoder.WriteRow(row.data()))
            return false;
    }
    img->filter = PdfImage::DCT;
    img->components = 3;
    return encoder.Finish(&img->data);
}

bool ReadDirectory(TIFF* in, PdfImage* img)
{
    TiffLayout layout;
    if (!layout.Read(in, PHOTOMETRIC_MINISWHITE) || layout.width == 0 || layout.length == 0)
        return false;
    const uint32_t width = layout.width;
    const uint32_t length = layout.length;
    const uint16_t spp = layout.samplesPerPixel;
    img->width = int(width);
    img->height = int(length);
    PageSize(in, width, length, img);

    const bool grey =
        layout.photometric == PHOTOMETRIC_MINISBLACK || layout.photometric == PHOTOMETRIC_MINISWHITE;
    if (layout.bitsPerSample == 1 && spp == 1 && grey)
        return ReadBilevel(in, width, length, layout.photometric, img);
    layout.DecodeAsRgb(in);
    if (layout.bitsPerSample == 8 && layout.planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(in)) {
        if (grey)
            return ReadDirect(in, width, length, 1, spp, layout.photometric == PHOTOMETRIC_MINISWHITE, img);
        if (layout.photometric == PHOTOMETRIC_RGB && spp >= 3)
            return ReadDirect(in, width, length, 3, spp, false, img);
    }
    return ReadViaRgba(in, width, length, img);
}

bool AddTiffPages(const QString& path, int rotate, const PageText& text, PdfWriter* writer)
{
    TIFF* in = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!in)
        return false;
    bool ok = true;
    bool first = true;
    do {
        PdfImage img;
        img.rotate = rotate;
        // The text belongs to the page file's first page.
        ok = ReadDirectory(in, &img) && writer->AddPage(img, first ? text : PageText());
        first = false;
    } while (ok && TIFFReadDirectory(in));
    TIFFClose(in);
    return ok;
}

// A JPEG page as it is, sized as it would be after a round trip through a
// QImage and a TIFF file. False (nothing added) when `data` is no JPEG the
// PDF can show unchanged, or is incomplete.
bool AddJpegPage(const QByteArray& data, int rotate, const PageText& text, PdfWriter* writer)
{
    JpegInfo info;
    if (!info.Parse(data) || !info.Embeddable() || !JpegInfo::IsComplete(data))
        return false;
    double dpiX = 0, dpiY = 0;
    if (info.densityUnit == JpegInfo::DotsPerInch) {
        dpiX = info.densityX;
        dpiY = info.densityY;
    } else if (info.densityUnit == JpegInfo::DotsPerCentimetre) {
        dpiX = info.densityX * kCentimetresPerInch;
        dpiY = info.densityY * kCentimetresPerInch;
    } else {
        const QImage blank(1, 1, QImage::Format_RGB32);
        dpiX = DotsPerInch(blank.dotsPerMeterX());
        dpiY = DotsPerInch(blank.dotsPerMeterY());
    }
    PdfImage img;
    img.rotate = rotate;
    img.data = data;
    img.width = info.width;
    img.height = info.height;
    img.components = info.components;
    img.widthPt = info.width * kPointsPerInch / (dpiX > 0 ? dpiX : kDefaultDpi);
    img.heightPt = info.height * kPointsPerInch / (dpiY > 0 ? dpiY : kDefaultDpi);
    return writer->AddPage(img, text);
}

// Adds a JPEG page unchanged or all directories of a TIFF file, every page
// turned by `rotate`.
bool AddFileTo(const QString& path, int rotate, const PageText& text, PdfWriter* writer)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.peek(2) == QByteArray("\xFF\xD8", 2)) {
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        return AddJpegPage(data, rotate, text, writer);
    }
    file.close();
    return AddTiffPages(path, rotate, text, writer);
}

} // namespace

PdfDocument::PdfDocument() : m_writer(new PdfWriter)
{
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::Open(const QString& pdfPath)
{
    InstallTiffHandlers();
    m_path = pdfPath;
    m_target.reset(new TargetFile(pdfPath));
    if (!m_target->IsValid() || !m_writer->Open(m_target->tempPath())) {
        TIFFError(kModule, "Can't open output file %s for writing", QFile::encodeName(pdfPath).constData());
        m_failed = true;
        return false;
    }
    return true;
}

bool PdfDocument::AddFile(const QString& path, int angle)
{
    return AddFile(path, angle, PageText());
}

bool PdfDocument::AddFile(const QString& path, int angle, const PageText& text)
{
    if (!m_target || m_failed)
        return false;
    const int rotate = NormalTurn(angle);
    if (rotate < 0 || !AddFileTo(path, rotate, text, m_writer.get()))
        return Fail();
    ++m_pages;
    return true;
}

bool PdfDocument::Commit()
{
    if (!m_target || m_failed)
        return false;
    if (!m_writer->Finish() || m_pages == 0)
        return Fail();
    return m_target->Commit();
}

bool PdfDocument::Fail()
{
    if (!m_failed)
        TIFFError(kModule, "An error occurred creating output PDF file");
    m_failed = true;
    return false;
}
