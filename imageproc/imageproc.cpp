#include "imageproc.h"

#include "ofdprocess.h"
#include "outputlog.h"
#include "pdfconvert.h"
#include "pdfdocument.h"
#include "targetfile.h"
#include "temppath.h"
#include "tiffassembler.h"
#include "tiffcombine.h"
#include "tifflog.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTextStream>
#include <QTransform>

#include <algorithm>
#include <future>
#include <limits>

namespace {

const double kMetresPerInch = 0.0254;
// The largest resolution whose dots per metre still fit in an int; a page
// file may claim any number.
const int kMaxDpi = int(std::numeric_limits<int>::max() * kMetresPerInch);

int dotsPerMetre(int dpi)
{
    return qRound(std::min(dpi, kMaxDpi) / kMetresPerInch);
}

bool isBilevel(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
}

QByteArray writerFormat(const QString& ext, bool bilevel, QImage::Format format)
{
    if (ext == "pnm") {
        if (bilevel)
            return "PBM";
        return format == QImage::Format_Grayscale8 ? "PGM" : "PPM";
    }
    if (ext == "png")
        return "PNG";
    if (ext == "jpg")
        return "JPEG";
    if (ext == "tiff")
        return "TIFF";
    return QByteArray();
}

// Writes `image` to a fresh file beside `dst` and renames it over `dst`.
bool writeImage(const QImage& image, const QString& dst, const QByteArray& format)
{
    TargetFile target(dst);
    if (!target.isValid())
        return false;
    QFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QImageWriter writer(&file, format);
    writer.setQuality(80);
    if (!writer.write(image)) {
        qCWarning(lcOutput) << "Failed to write" << dst << ":" << writer.errorString();
        return false;
    }
    // The writer does not see a failure of the last buffered bytes.
    if (!file.flush())
        return false;
    file.close();
    return file.error() == QFileDevice::NoError && target.commit();
}

} // namespace

ImageProc::ImageProc() : m_scanDir(GetTempDir() + "/scanimages"), m_thumbDir(GetTempDir() + "/thumbimages")
{
    InstallTiffHandlers();
}

int ImageProc::GetPNMResolution(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 200;
    // Only the comment line matters; never read a whole binary raster.
    file.readLine(256);
    QString second = QString::fromLatin1(file.readLine(256)).trimmed();
    file.close();
    if (second.isEmpty() || !second.startsWith("#dpi:"))
        return 200;
    return second.remove("#dpi:").toInt();
}

QImage ImageProc::LoadPage(const QString& path)
{
    QImage image(path);
    if (!image.isNull() && QFileInfo(path).suffix().toLower() == "pnm") {
        const int dpi = GetPNMResolution(path);
        if (dpi > 0) {
            image.setDotsPerMeterX(dotsPerMetre(dpi));
            image.setDotsPerMeterY(dotsPerMetre(dpi));
        }
    }
    return image;
}

bool ImageProc::CopyFile(const QString& src, const QString& dst)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    TargetFile target(dst);
    if (!target.isValid())
        return false;
    QFile out(target.tempPath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size())
            return false;
    }
    if (in.error() != QFileDevice::NoError || !out.flush())
        return false;
    out.close();
    return out.error() == QFileDevice::NoError && target.commit();
}

bool ImageProc::SaveCompressedTiff(const QImage& image, const QString& dst, bool bilevel, bool jpegInTiff)
{
    const bool jpeg = !bilevel && jpegInTiff;
    const QString compression = jpeg ? "jpeg" : "zip";
    // JPEG carries neither alpha nor a palette: such pages become 8-bit RGB
    // or grey rather than a file the codec refuses.
    const QImage pixels =
        !jpeg || TiffAssembler::CanAddImage(image)
            ? image
            : image.convertToFormat(image.allGray() ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (TiffAssembler::CanAddImage(pixels)) {
        TiffAssembler tiff;
        return tiff.Open(dst, compression) && tiff.AddImage(pixels) && tiff.Commit();
    }
    // Other formats take the way through Qt's TIFF writer.
    const QString plain = GetTempFilePath("tiff");
    if (plain.isEmpty())
        return false;
    QImageWriter writer(plain, "TIFF");
    writer.setQuality(80);
    bool ok = writer.write(image);
    if (ok)
        ok = compresstiff(plain, dst, compression) == 0;
    if (!ok)
        qCWarning(lcOutput) << "Failed to copy compressed TIFF file:" << plain << "to" << dst;
    QFile::remove(plain);
    return ok;
}

bool ImageProc::SaveAs(const QString& src, const QString& dst, double angle, bool jpegInTiff)
{
    if (src.isEmpty() || dst.isEmpty())
        return false;
    const QString srcExt = QFileInfo(src).suffix().toLower();
    const QString dstExt = QFileInfo(dst).suffix().toLower();
    if (angle == 0.0 && srcExt == dstExt && dstExt != "tiff")
        return CopyFile(src, dst);

    QImageReader reader(src);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return false;
    QImage image = reader.read();
    if (image.isNull())
        return false;
    const QImage::Format format = image.format();
    const bool bilevel = isBilevel(format);
    const QByteArray writer = writerFormat(dstExt, bilevel, format);
    if (writer.isEmpty())
        return false;

    if (angle != 0.0) {
        image = image.transformed(QTransform().rotate(angle, Qt::ZAxis), Qt::SmoothTransformation);
        if (image.isNull())
            return false;
    }
    int dpiX = qRound(image.dotsPerMeterX() * kMetresPerInch);
    int dpiY = qRound(image.dotsPerMeterY() * kMetresPerInch);
    if (srcExt == "pnm") {
        const int r = GetPNMResolution(src);
        if (r > 0)
            dpiX = dpiY = r;
    }
    image.setDotsPerMeterX(dotsPerMetre(dpiX));
    image.setDotsPerMeterY(dotsPerMetre(dpiY));

    if (angle == 0.0 && dstExt == "tiff")
        return SaveCompressedTiff(image, dst, bilevel, jpegInTiff);
    return writeImage(image, dst, writer);
}

namespace {

// One page of a multi-page TIFF, prepared off the writing thread: either the
// page file itself or its image widened to 32-bit RGB.
struct TiffPage {
    bool ok = false;
    bool useFile = false;
    QImage image;
};

TiffPage prepareTiffPage(const QString& page)
{
    TiffPage result;
    const QImage image = ImageProc::LoadPage(page);
    if (image.isNull())
        return result;
    const QImage::Format format = image.format();
    result.ok = true;
    if (QFileInfo(page).suffix().toLower() == "tiff" && !isBilevel(format) &&
        format != QImage::Format_Grayscale8) {
        result.useFile = true;
        return result;
    }
    // JPEG in TIFF needs 8-bit samples: widen bilevel and grey pages.
    result.image = image.convertToFormat(QImage::Format_RGB32);
    return result;
}

} // namespace

bool ImageProc::SaveMultiTiff(const QList<QString>& pages, const QString& dst)
{
    for (const QString& page : pages) {
        if (!QFileInfo::exists(page))
            return false;
    }
    TiffAssembler tiff;
    if (!tiff.Open(dst, "jpeg"))
        return false;
    // Decode the next page on a second thread while this one is compressed;
    // the file is written in page order by this thread alone, so the output
    // does not depend on the timing.
    std::future<TiffPage> next;
    if (!pages.isEmpty())
        next = std::async(std::launch::async | std::launch::deferred, prepareTiffPage, pages.first());
    for (int i = 0; i < pages.size(); ++i) {
        TiffPage page = next.get();
        if (i + 1 < pages.size())
            next = std::async(std::launch::async | std::launch::deferred, prepareTiffPage, pages.at(i + 1));
        const bool added = page.ok && (page.useFile ? tiff.AddFile(pages.at(i)) : tiff.AddImage(page.image));
        if (!added) {
            if (next.valid())
                next.wait();
            return false;
        }
    }
    return tiff.Commit();
}

QString ImageProc::PdfSource(const QString& page, QList<QString>* temps)
{
    if (QFileInfo(page).suffix().toLower() == "tiff" || IsEmbeddableJpeg(page))
        return page;
    const QImage image = LoadPage(page);
    const QString tmp = GetTempFilePath("tiff");
    if (image.isNull() || tmp.isEmpty())
        return QString();
    temps->append(tmp);
    return image.save(tmp, "tiff", -1) ? tmp : QString();
}

bool ImageProc::SavePDF(const QString& src, const QString& dst)
{
    return SaveMultiPDF(QList<QString>{src}, dst);
}

bool ImageProc::SaveMultiPDF(const QList<QString>& pages, const QString& dst)
{
    if (pages.isEmpty())
        return false;
    for (const QString& page : pages) {
        if (!QFileInfo::exists(page))
            return false;
    }
    PdfDocument pdf;
    if (!pdf.Open(dst))
        return false;
    // One page at a time: a temporary TIFF lives only while its page is added.
    for (const QString& page : pages) {
        QList<QString> temps;
        const QString file = PdfSource(page, &temps);
        const bool added = !file.isEmpty() && pdf.AddFile(file);
        for (const QString& tmp : temps)
            QFile::remove(tmp);
        if (!added)
            return false;
    }
    return pdf.Commit();
}

bool ImageProc::SaveOFD(const QString& src, const QString& dst)
{
    return SaveMultiOFD(QList<QString>{src}, dst);
}

bool ImageProc::SaveMultiOFD(const QList<QString>& srcs, const QString& dst)
{
    if (srcs.isEmpty())
        return false;
    for (const QString& src : srcs) {
        if (!QFileInfo::exists(src))
            return false;
    }
    OFDProcess ofd(dst);
    return ofd.createOFD(ofd.AddImages(srcs));
}
