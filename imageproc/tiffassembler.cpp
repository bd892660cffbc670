#include "tiffassembler.h"

#include "jpeginfo.h"
#include "pageimage.h"
#include "targetfile.h"
#include "tifflayout.h"
#include "tifflog.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVector>

#include <cstring>
#include <tiffio.h>
#include <vector>

namespace {

// Strips of this many rows, as libtiff's copy tool writes them.
constexpr uint32_t kRowsPerStrip = 16;

uint32_t RowsPerStrip(uint32_t length)
{
    return length < kRowsPerStrip ? length : kRowsPerStrip;
}

struct CompressOptions {
    uint16_t compression = COMPRESSION_NONE;
    int predictor = -1; // -1: keep the input's predictor
    int quality = 75;   // libtiff's JPEG default
    int zipLevel = -1;
    bool jpegRaw = false;
};

bool ParseNumber(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

bool ParseCompression(const QString& text, CompressOptions* opt)
{
    const QStringList parts = text.split(':');
    const QString name = parts.first();
    if (name == "none") {
        opt->compression = COMPRESSION_NONE;
    } else if (name == "packbits") {
        opt->compression = COMPRESSION_PACKBITS;
    } else if (name == "lzw" || name == "zip") {
        opt->compression = name == "lzw" ? COMPRESSION_LZW : COMPRESSION_ADOBE_DEFLATE;
        for (int i = 1; i < parts.size(); ++i) {
            const QString& p = parts.at(i);
            int value = 0;
            if (name == "zip" && p.startsWith('p') && ParseNumber(p.mid(1), &value))
                opt->zipLevel = value;
            else if (ParseNumber(p, &value) && value >= 1 && value <= 3)
                opt->predictor = value;
            else
                return false;
        }
    } else if (name == "jpeg") {
        opt->compression = COMPRESSION_JPEG;
        for (int i = 1; i < parts.size(); ++i) {
            const QString& p = parts.at(i);
            int value = 0;
            if (p == "r")
                opt->jpegRaw = true;
            else if (ParseNumber(p, &value) && value >= 1 && value <= 100)
                opt->quality = value;
            else
                return false;
        }
    } else {
        return false;
    }
    return true;
}

// One input: a file and the directories to take from it (empty: all).
struct Source {
    QString path;
    QVector<tdir_t> dirs;
};

// A path that exists is always taken as written. Otherwise a trailing
// ",<n>[,<n>...]" selects directories of the file named before it.
bool ResolveSource(const QString& input, Source* src)
{
    if (QFileInfo::exists(input)) {
        src->path = input;
        return true;
    }
    static const QRegularExpression selector("^(.+?)((?:,\\d+)+)$");
    const QRegularExpressionMatch m = selector.match(input);
    if (!m.hasMatch() || !QFileInfo::exists(m.captured(1)))
        return false;
    src->path = m.captured(1);
    const QStringList numbers = m.captured(2).split(',', Qt::SkipEmptyParts);
    for (const QString& n : numbers)
        src->dirs.append(tdir_t(n.toUInt()));
    return true;
}

template <typename T> void CopyField(TIFF* in, TIFF* out, ttag_t tag)
{
    T value;
    if (TIFFGetField(in, tag, &value))
        TIFFSetField(out, tag, value);
}

void CopyDescriptiveFields(TIFF* in, TIFF* out)
{
    CopyField<uint32_t>(in, out, TIFFTAG_SUBFILETYPE);
    CopyField<uint16_t>(in, out, TIFFTAG_FILLORDER);
    CopyField<uint16_t>(in, out, TIFFTAG_ORIENTATION);
    CopyField<uint16_t>(in, out, TIFFTAG_SAMPLEFORMAT);
    CopyField<uint16_t>(in, out, TIFFTAG_MINSAMPLEVALUE);
    CopyField<uint16_t>(in, out, TIFFTAG_MAXSAMPLEVALUE);
    CopyField<float>(in, out, TIFFTAG_XRESOLUTION);
    CopyField<float>(in, out, TIFFTAG_YRESOLUTION);
    CopyField<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
    const ttag_t texts[] = {TIFFTAG_DOCUMENTNAME, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE,
                            TIFFTAG_MODEL,        TIFFTAG_SOFTWARE,         TIFFTAG_DATETIME,
                            TIFFTAG_ARTIST,       TIFFTAG_HOSTCOMPUTER,     TIFFTAG_COPYRIGHT};
    for (ttag_t tag : texts)
        CopyField<const char*>(in, out, tag);
    uint16_t count = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &count, &extra))
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, count, extra);
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue))
        TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
}

// Photometric and codec settings of an output directory whose samples are
// `photometric`; `inPredictor` is the input's predictor (0: none).
void ApplyCompression(TIFF* out, const CompressOptions& opt, uint16_t photometric, uint16_t inPredictor)
{
    const bool ycbcr = opt.compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_RGB && !opt.jpegRaw;
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, ycbcr ? PHOTOMETRIC_YCBCR : photometric);
    if (opt.compression == COMPRESSION_JPEG) {
        TIFFSetField(out, TIFFTAG_JPEGQUALITY, opt.quality);
        if (ycbcr)
            TIFFSetField(out, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else if (opt.compression == COMPRESSION_LZW || opt.compression == COMPRESSION_ADOBE_DEFLATE) {
        if (opt.predictor > 0)
            TIFFSetField(out, TIFFTAG_PREDICTOR, uint16_t(opt.predictor));
        else if (inPredictor > 0)
            TIFFSetField(out, TIFFTAG_PREDICTOR, inPredictor);
        if (opt.compression == COMPRESSION_ADOBE_DEFLATE && opt.zipLevel >= 0)
            TIFFSetField(out, TIFFTAG_ZIPQUALITY, opt.zipLevel);
    }
}

// Writes the output directory's structure fields. Returns false for input the
// copy cannot represent.
bool SetupDirectory(TIFF* in, TIFF* out, const CompressOptions& opt)
{
    TiffLayout layout;
    if (!layout.Read(in, PHOTOMETRIC_MINISBLACK))
        return false;
    // Let the codec hand out RGB; the copy then treats the input as RGB.
    layout.DecodeAsRgb(in);

    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, layout.length);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, layout.planar);
    TIFFSetField(out, TIFFTAG_COMPRESSION, opt.compression);
    CopyDescriptiveFields(in, out);

    uint16_t predictor = 0;
    ApplyCompression(out, opt, layout.photometric,
                     TIFFGetField(in, TIFFTAG_PREDICTOR, &predictor) ? predictor : 0);

    if (TIFFIsTiled(in)) {
        uint32_t tw = 0, tl = 0;
        TIFFGetField(in, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(in, TIFFTAG_TILELENGTH, &tl);
        TIFFSetField(out, TIFFTAG_TILEWIDTH, tw);
        TIFFSetField(out, TIFFTAG_TILELENGTH, tl);
    } else {
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, RowsPerStrip(layout.length));
    }
    return true;
}

bool CopyScanlines(TIFF* in, TIFF* out)
{
    uint32_t length = 0;
    uint16_t spp = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &planar);
    const tmsize_t size = TIFFScanlineSize(in);
    if (size <= 0 || size != TIFFScanlineSize(out))
        return false;
    std::vector<unsigned char> buf(static_cast<size_t>(size));
    const uint16_t planes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
    // The bits after a row's last sample carry nothing, but writers leave
    // whatever was in their memory there (Qt's TIFF writer does for bilevel
    // pages): clear them, so that no stray memory reaches a saved file and a
    // page always saves to the same bytes.
    uint32_t width = 0;
    uint16_t bits = 1;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bits);
    const uint64_t rowBits = uint64_t(width) * bits * (planes == 1 ? spp : 1);
    const int spare = int(uint64_t(size) * 8 - rowBits);
    const unsigned char keep = spare > 0 && spare < 8 ? static_cast<unsigned char>(0xff << spare) : 0xff;
    for (uint16_t s = 0; s < planes; ++s) {
        for (uint32_t row = 0; row < length; ++row) {
            if (TIFFReadScanline(in, buf.data(), row, s) < 0)
                return false;
            buf.back() &= keep;
            if (TIFFWriteScanline(out, buf.data(), row, s) < 0)
                return false;
        }
    }
    return true;
}

bool CopyTiles(TIFF* in, TIFF* out)
{
    const tmsize_t size = TIFFTileSize(in);
    if (size <= 0)
        return false;
    std::vector<unsigned char> buf(static_cast<size_t>(size));
    const uint32_t count = TIFFNumberOfTiles(in);
    for (uint32_t t = 0; t < count; ++t) {
        const tmsize_t n = TIFFReadEncodedTile(in, t, buf.data(), size);
        if (n < 0 || TIFFWriteEncodedTile(out, t, buf.data(), n) < 0)
            return false;
    }
    return true;
}

bool CopyDirectory(TIFF* in, TIFF* out, const CompressOptions& opt)
{
    if (!SetupDirectory(in, out, opt))
        return false;
    const bool copied = TIFFIsTiled(in) ? CopyTiles(in, out) : CopyScanlines(in, out);
    return copied && TIFFWriteDirectory(out);
}

bool CopySource(const Source& src, TIFF* out, const CompressOptions& opt)
{
    TIFF* in = TIFFOpen(QFile::encodeName(src.path).constData(), "r");
    if (!in)
        return false;
    bool ok = true;
    if (src.dirs.isEmpty()) {
        do {
            ok = CopyDirectory(in, out, opt);
        } while (ok && TIFFReadDirectory(in));
    } else {
        for (tdir_t dir : src.dirs) {
            ok = TIFFSetDirectory(in, dir) && CopyDirectory(in, out, opt);
            if (!ok)
                break;
        }
    }
    TIFFClose(in);
    return ok;
}

// The size, sample layout, orientation and resolution of a directory for
// `image`, with `bits` x `spp` samples.
void SetImageFields(TIFF* out, const QImage& image, uint16_t bits, uint16_t spp, uint16_t compression)
{
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // Qt's writer states whole dots per centimetre as such, else dots per inch.
    const int dpmX = image.dotsPerMeterX(), dpmY = image.dotsPerMeterY();
    if (dpmX % 100 == 0 && dpmY % 100 == 0) {
        TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
        TIFFSetField(out, TIFFTAG_XRESOLUTION, float(dpmX / 100.0));
        TIFFSetField(out, TIFFTAG_YRESOLUTION, float(dpmY / 100.0));
    } else {
        TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(out, TIFFTAG_XRESOLUTION, float(DotsPerInch(dpmX)));
        TIFFSetField(out, TIFFTAG_YRESOLUTION, float(DotsPerInch(dpmY)));
    }
}

bool WriteImage(TIFF* out, const QImage& image, const CompressOptions& opt)
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const uint16_t spp = grey ? 1 : 3;
    const uint32_t width = uint32_t(image.width()), length = uint32_t(image.height());
    SetImageFields(out, image, 8, spp, opt.compression);
    ApplyCompression(out, opt, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB, 0);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, RowsPerStrip(length));
    if (TIFFScanlineSize(out) != tmsize_t(width) * spp)
        return false;
    // libtiff may change a row it is given, so every row goes through a
    // buffer of ours rather than from the image's own pixels.
    std::vector<unsigned char> line(size_t(width) * spp);
    for (uint32_t y = 0; y < length; ++y) {
        const uchar* src = image.constScanLine(int(y));
        if (grey) {
            std::memcpy(line.data(), src, width);
        } else {
            const QRgb* px = reinterpret_cast<const QRgb*>(src);
            for (uint32_t x = 0; x < width; ++x) {
                line[x * 3] = uchar(qRed(px[x]));
                line[x * 3 + 1] = uchar(qGreen(px[x]));
                line[x * 3 + 2] = uchar(qBlue(px[x]));
            }
        }
        if (TIFFWriteScanline(out, line.data(), y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(out);
}

// A black and white image as CCITT Group 4 in one strip (0 white, as fax
// pages are), the bits after each row's last pixel clear.
bool WriteBilevel(TIFF* out, const QImage& image)
{
    const QImage mono = image.convertToFormat(QImage::Format_Mono);
    // A set bit of the file is black: the image's index of black.
    const bool invert = qGray(mono.color(1)) > qGray(mono.color(0));
    const uint32_t length = uint32_t(mono.height());
    SetImageFields(out, mono, 1, 1, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, length);
    const size_t bytes = size_t(mono.width() + 7) / 8;
    if (TIFFScanlineSize(out) != tmsize_t(bytes))
        return false;
    const int spare = int(bytes * 8) - mono.width();
    const uchar keep = uchar(0xff << spare);
    std::vector<unsigned char> line(bytes);
    for (uint32_t y = 0; y < length; ++y) {
        const uchar* src = mono.constScanLine(int(y));
        for (size_t i = 0; i < bytes; ++i)
            line[i] = invert ? uchar(~src[i]) : src[i];
        line.back() &= keep;
        if (TIFFWriteScanline(out, line.data(), y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(out);
}

bool WriteJpeg(TIFF* out, const QByteArray& data, const JpegInfo& info)
{
    const bool colour = info.components == 3;
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(info.width));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(info.height));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, uint16_t(info.components));
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    // The strip carries its own tables: no JPEGTables field.
    TIFFSetField(out, TIFFTAG_JPEGTABLESMODE, 0);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_MINISBLACK);
    if (colour) {
        TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, uint16_t(info.hSampling[0]), uint16_t(info.vSampling[0]));
        float refBlackWhite[6] = {0, 255, 128, 255, 128, 255};
        TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, refBlackWhite);
    }
    TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(info.height));
    if (info.densityX > 0 && info.densityY > 0 &&
        (info.densityUnit == JpegInfo::DotsPerInch || info.densityUnit == JpegInfo::DotsPerCentimetre)) {
        TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT,
                     info.densityUnit == JpegInfo::DotsPerInch ? RESUNIT_INCH : RESUNIT_CENTIMETER);
        TIFFSetField(out, TIFFTAG_XRESOLUTION, float(info.densityX));
        TIFFSetField(out, TIFFTAG_YRESOLUTION, float(info.densityY));
    }
    // libtiff does not change raw data it is given.
    void* raw = const_cast<char*>(data.constData());
    return TIFFWriteRawStrip(out, 0, raw, tmsize_t(data.size())) == tmsize_t(data.size()) &&
           TIFFWriteDirectory(out);
}

} // namespace

struct TiffAssembler::Options : CompressOptions {};

TiffAssembler::TiffAssembler() : m_opt(new Options)
{
}

TiffAssembler::~TiffAssembler()
{
    if (m_out)
        TIFFClose(m_out);
}

bool TiffAssembler::Open(const QString& output, const QString& compression)
{
    InstallTiffHandlers();
    if (m_out || !ParseCompression(compression, m_opt.get()))
        return false;
    m_target.reset(new TargetFile(output));
    if (!m_target->IsValid())
        return false;
    m_out = TIFFOpen(QFile::encodeName(m_target->tempPath()).constData(), "wb");
    return m_out != nullptr;
}

bool TiffAssembler::Resolvable(const QString& input)
{
    Source src;
    return ResolveSource(input, &src);
}

bool TiffAssembler::AddFile(const QString& input)
{
    Source src;
    if (!m_out || m_failed || !ResolveSource(input, &src))
        return false;
    m_failed = !CopySource(src, m_out, *m_opt);
    return !m_failed;
}

bool TiffAssembler::JpegCopyable(const QString& path)
{
    InstallTiffHandlers();
    TIFF* in = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!in)
        return false;
    bool ok = true;
    do {
        TiffLayout layout;
        layout.Read(in, PHOTOMETRIC_MINISBLACK);
        const bool rgb = layout.hasPhotometric &&
                         (layout.photometric == PHOTOMETRIC_RGB || layout.photometric == PHOTOMETRIC_YCBCR);
        ok = layout.bitsPerSample == 8 && layout.samplesPerPixel == 3 &&
             layout.planar == PLANARCONFIG_CONTIG && rgb;
    } while (ok && TIFFReadDirectory(in));
    TIFFClose(in);
    return ok;
}

bool TiffAssembler::CanAddImage(const QImage& image)
{
    return !image.isNull() &&
           (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_Grayscale8);
}

bool TiffAssembler::AddImage(const QImage& image)
{
    if (!m_out || m_failed || !CanAddImage(image))
        return false;
    m_failed = !WriteImage(m_out, image, *m_opt);
    return !m_failed;
}

bool TiffAssembler::IsBilevel(const QImage& image)
{
    if (image.depth() != 1 || image.colorCount() != 2)
        return false;
    const QRgb a = image.color(0), b = image.color(1);
    return qIsGray(a) && qIsGray(b) && qMin(qGray(a), qGray(b)) == 0 && qMax(qGray(a), qGray(b)) == 255;
}

bool TiffAssembler::AddBilevel(const QImage& image)
{
    if (!m_out || m_failed || !IsBilevel(image))
        return false;
    m_failed = !WriteBilevel(m_out, image);
    return !m_failed;
}

bool TiffAssembler::AddJpeg(const QByteArray& data, const JpegInfo& info)
{
    if (!m_out || m_failed || !info.TiffStrippable())
        return false;
    m_failed = !WriteJpeg(m_out, data, info);
    return !m_failed;
}

bool TiffAssembler::Commit()
{
    if (!m_out)
        return false;
    TIFFClose(m_out);
    m_out = nullptr;
    return !m_failed && m_target->Commit();
}
