#include "pagemaker.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <tiffio.h>
#include <vector>

namespace PageMaker {

QImage pattern(int width, int height, QImage::Format format, int dpi)
{
    QImage rgb(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(rgb.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, y * 255 / height, 128);
    }
    QPainter p(&rgb);
    p.fillRect(0, 0, width / 4, height / 4, Qt::black);
    p.end();
    QImage image = rgb.convertToFormat(format, Qt::ThresholdDither);
    const int dpm = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return image;
}

QImage document(int width, int height, QImage::Format format, int dpi, quint32 seed)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(qRgb(246, 244, 238));
    QPainter p(&page);
    p.setPen(QPen(QColor(30, 30, 40), qMax(1, dpi / 100)));
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    const int lineStep = qMax(4, dpi / 7);
    for (int y = height / 10; y < height * 8 / 10; y += lineStep) {
        for (int x = width / 10; x < width * 9 / 10;) {
            const int w = dpi / 15 + int(next() % quint32(dpi / 3 + 1));
            p.drawLine(x, y, qMin(x + w, width * 9 / 10), y + int(next() % quint32(dpi / 15 + 1)) - dpi / 30);
            x += w + dpi / 16 + 1;
        }
    }
    QLinearGradient g(0, 0, width / 3.0, height / 6.0);
    g.setColorAt(0, QColor(40 + int(seed % 60), 90, 160));
    g.setColorAt(1, QColor(220, 120, 60));
    p.fillRect(width * 6 / 10, height / 12, width / 3, height / 6, g);
    p.end();
    QImage image = page.convertToFormat(format, Qt::ThresholdDither);
    const int dpm = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return image;
}

QImage noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
    return image;
}

bool write(const QImage& image, const QString& path, int pnmDpi)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "pnm" && (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB))
        return image.save(path, "PBM");
    if (ext != "pnm")
        return image.save(path, ext == "jpg" ? "JPEG" : ext.toUpper().toLatin1().constData(), 90);
    QByteArray raw;
    const bool grey =
        image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16;
    const bool wide = image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_RGBX64;
    const QImage body =
        grey ? image : image.convertToFormat(wide ? QImage::Format_RGBX64 : QImage::Format_RGB888);
    raw = grey ? "P5\n" : "P6\n";
    if (pnmDpi > 0)
        raw += "#dpi:" + QByteArray::number(pnmDpi) + "\n";
    raw += QByteArray::number(body.width()) + " " + QByteArray::number(body.height()) +
           (wide ? "\n65535\n" : "\n255\n");
    for (int y = 0; y < body.height(); ++y) {
        const uchar* row = body.constScanLine(y);
        for (int x = 0; x < body.width() * (grey ? 1 : 3) * (wide ? 2 : 1); ++x) {
            // 16-bit samples most significant byte first; RGBX64 leaves out X.
            const int at = wide ? (grey ? x / 2 : x / 6 * 4 + x % 6 / 2) * 2 + 1 - x % 2 : x;
            raw.append(char(row[at]));
        }
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(raw) == raw.size();
}

QVector<TiffDir> readTiff(const QString& path)
{
    QVector<TiffDir> dirs;
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return dirs;
    do {
        TiffDir d;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.height);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &d.rowsPerStrip);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &d.bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &d.samples);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &d.photometric);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &d.compression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &d.unit);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &d.xres);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &d.yres);
        TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &d.subH, &d.subV);
        const tmsize_t rawSize = TIFFRawStripSize(tif, 0);
        if (rawSize > 0) {
            d.rawStrip.resize(int(rawSize));
            TIFFReadRawStrip(tif, 0, d.rawStrip.data(), rawSize);
        }
        if (d.compression == COMPRESSION_JPEG && d.photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        const int rowSize = int(TIFFScanlineSize(tif));
        d.rows.resize(rowSize * int(d.height));
        for (quint32 y = 0; y < d.height; ++y) {
            if (TIFFReadScanline(tif, d.rows.data() + rowSize * int(y), y, 0) < 0) {
                d.rows.clear();
                break;
            }
        }
        d.rgba.resize(int(d.width * d.height));
        if (!TIFFReadRGBAImageOriented(tif, d.width, d.height, d.rgba.data(), ORIENTATION_TOPLEFT, 0))
            d.rgba.clear();
        dirs.append(d);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return dirs;
}

bool writeRawTiff(const QString& path, int width, int height, int depth, int channels,
                  const QVector<quint16>& samples, bool minIsWhite, int dpiX, int dpiY)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), depth == 16 ? "wl" : "wb");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, quint32(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, quint32(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, quint16(depth));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, quint16(channels));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 channels == 3 ? PHOTOMETRIC_RGB
                 : minIsWhite  ? PHOTOMETRIC_MINISWHITE
                               : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, quint32(height));
    if (dpiX > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpiX));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(dpiY > 0 ? dpiY : dpiX));
    }
    QByteArray row((width * channels * depth + 7) / 8, 0);
    bool ok = true;
    for (int y = 0; ok && y < height; ++y) {
        row.fill(0);
        auto* p = reinterpret_cast<uchar*>(row.data());
        for (int i = 0; i < width * channels; ++i) {
            const quint16 v = samples[y * width * channels + i];
            if (depth == 1)
                p[i / 8] |= uchar(((v == 0) == minIsWhite ? 1 : 0) << (7 - i % 8));
            else if (depth == 8)
                p[i] = uchar(v);
            else
                reinterpret_cast<quint16*>(p)[i] = v; // libtiff writes host order
        }
        ok = TIFFWriteScanline(tif, p, quint32(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

FileSizeLimit::FileSizeLimit(quint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    m_oldSoft = lim.rlim_cur;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = m_oldSoft;
    setrlimit(RLIMIT_FSIZE, &lim);
}

QByteArray pnmPixels(const QByteArray& file, int* width, int* height, int* maxval)
{
    int values[4] = {0, 0, 0, 1};
    const int wanted = file.startsWith("P4") ? 3 : 4;
    int fields = 0;
    int i = 0;
    while (i < file.size() && fields < wanted) {
        if (file[i] == '#') {
            while (i < file.size() && file[i] != '\n')
                ++i;
        } else if (QChar(file[i]).isSpace()) {
            ++i;
        } else {
            const int start = i;
            while (i < file.size() && !QChar(file[i]).isSpace())
                ++i;
            values[fields++] = file.mid(start, i - start).toInt();
        }
    }
    if (width)
        *width = values[1];
    if (height)
        *height = values[2];
    if (maxval)
        *maxval = values[3];
    return file.mid(i + 1); // exactly one white-space byte after the last field
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace PageMaker
