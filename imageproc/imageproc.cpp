#include "imageproc.h"

#include "checkedfile.h"
#include "jpeginfo.h"
#include "jpegturn.h"
#include "ofdprocess.h"
#include "outputlog.h"
#include "pagecheck.h"
#include "pageimage.h"
#include "pdfconvert.h"
#include "pdfdocument.h"
#include "pnmfile.h"
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
#include <cerrno>
#include <future>
#include <limits>

namespace {

bool IsBilevel(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
}

// The writer for a target extension; "PNM" is our own (see WritePnm), which
// keeps a page's depth and resolution where Qt's writes 8 bits and no
// resolution.
QByteArray WriterFormat(const QString& ext)
{
    if (ext == "pnm")
        return "PNM";
    if (ext == "png")
        return "PNG";
    if (ext == "jpg")
        return "JPEG";
    if (ext == "tiff")
        return "TIFF";
    return QByteArray();
}

// Writes `image` to a fresh file beside `dst` and renames it over `dst`.
bool WriteImage(const QImage& image, const QString& dst, const QByteArray& format)
{
    TargetFile target(dst);
    if (!target.IsValid())
        return false;
    CheckedFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        NoteWriteError(errno);
        return false;
    }
    if (format == "PNM") {
        if (!WritePnm(image, &file))
            return false;
    } else {
        QImageWriter writer(&file, format);
        writer.setQuality(80);
        if (!writer.write(image)) {
            qCWarning(lcOutput) << "Failed to write" << dst << ":" << writer.errorString();
            return false;
        }
    }
    // The writer does not see a failure of the last buffered bytes.
    if (!file.flush())
        return false;
    file.close();
    return file.error() == QFileDevice::NoError && !file.WriteFailed() && target.Commit();
}

QList<QString> PathsOf(const QList<SavePage>& pages)
{
    QList<QString> paths;
    paths.reserve(pages.size());
    for (const SavePage& page : pages)
        paths.append(page.path);
    return paths;
}

// Writes `data` to a fresh file beside `dst` and renames it over `dst`.
bool WriteBytes(const QByteArray& data, const QString& dst)
{
    TargetFile target(dst);
    if (!target.IsValid())
        return false;
    CheckedFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        NoteWriteError(errno);
        return false;
    }
    if (file.write(data) != data.size() || !file.flush())
        return false;
    file.close();
    return file.error() == QFileDevice::NoError && !file.WriteFailed() && target.Commit();
}

// The JPEG file `src` turned by `turn` without decoding, written to `dst`:
// 1 when written, 0 when that failed, -1 when `src` is no JPEG file that can
// be turned so (nothing written).
int WriteTurnedJpeg(const QString& src, const QString& dst, int turn)
{
    QFile file(src);
    if (!file.open(QIODevice::ReadOnly) || file.peek(2) != QByteArray("\xFF\xD8", 2))
        return -1;
    const QByteArray data = file.readAll();
    QByteArray turned;
    if (file.error() != QFileDevice::NoError || !TurnJpegLosslessly(data, turn, &turned))
        return -1;
    return WriteBytes(turned, dst) ? 1 : 0;
}

} // namespace

ImageProc::ImageProc() : m_scanDir(GetTempDir() + "/" + kScanFolderName)
{
    InstallTiffHandlers();
}

bool ImageProc::CopyFile(const QString& src, const QString& dst)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    TargetFile target(dst);
    if (!target.IsValid())
        return false;
    CheckedFile out(target.tempPath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        NoteWriteError(errno);
        return false;
    }
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size())
            return false;
    }
    if (in.error() != QFileDevice::NoError || !out.flush())
        return false;
    out.close();
    return out.error() == QFileDevice::NoError && target.Commit();
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
        return FailTemp();
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

bool ImageProc::Begin(const QList<QString>& pages)
{
    m_failure = SaveFailure();
    TakeWriteError();
    for (int i = 0; i < pages.size(); ++i) {
        const SaveFailure::Reason reason = PageCheck::Quick(pages.at(i));
        if (reason != SaveFailure::None) {
            m_failure = SaveFailure::Page(reason, i, pages.at(i));
            return false;
        }
    }
    return true;
}

bool ImageProc::Fail(const QList<QString>& pages, int page, const QString& dst)
{
    if (m_failure.Failed())
        return false;
    const int error = TakeWriteError();
    if (page >= 0 && page < pages.size()) {
        const SaveFailure::Reason reason = PageCheck::Full(pages.at(page));
        if (reason != SaveFailure::None) {
            m_failure = SaveFailure::Page(reason, page, pages.at(page));
            return false;
        }
    }
    m_failure = SaveFailure::Target(dst, error);
    return false;
}

bool ImageProc::FailTemp()
{
    if (!m_failure.Failed()) {
        m_failure.reason = SaveFailure::TempFailed;
        m_failure.path = GetTempDir();
    }
    return false;
}

bool ImageProc::Begin(const QList<SavePage>& pages, const QString& dst)
{
    const QList<QString> paths = PathsOf(pages);
    if (!Begin(paths))
        return false;
    for (const SavePage& page : pages) {
        if (NormalTurn(page.angle) < 0)
            return Fail(paths, -1, dst);
    }
    return true;
}

bool ImageProc::SaveAs(const QString& src, const QString& dst, double angle, bool jpegInTiff)
{
    const int quarter = int(angle);
    if (double(quarter) == angle && NormalTurn(quarter) >= 0)
        return SaveTurned(SavePage{src, quarter}, dst, jpegInTiff, TurnedTiff::Uncompressed);

    // Any other angle: the page smoothly resampled.
    const QList<QString> pages{src};
    if (!Begin(pages))
        return false;
    if (dst.isEmpty())
        return Fail(pages, -1, dst);
    QImage image = LoadPageImage(src);
    if (image.isNull())
        return Fail(pages, 0, dst);
    const QByteArray writer = WriterFormat(QFileInfo(dst).suffix().toLower());
    if (writer.isEmpty())
        return Fail(pages, -1, dst);
    const QImage::Format format = image.format();
    image = image.transformed(QTransform().rotate(angle, Qt::ZAxis), Qt::SmoothTransformation);
    // Smoothing gives a page grey or colour pixels; a PNM file keeps the
    // page's kind.
    if (writer == "PNM" &&
        (IsBilevel(format) || format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16))
        image = image.convertToFormat(format);
    if (image.isNull())
        return Fail(pages, -1, dst);
    return WriteImage(image, dst, writer) || Fail(pages, -1, dst);
}

bool ImageProc::SaveAs(const SavePage& page, const QString& dst, bool jpegInTiff)
{
    return SaveTurned(page, dst, jpegInTiff, TurnedTiff::AsUnturned);
}

bool ImageProc::SaveTurned(const SavePage& page, const QString& dst, bool jpegInTiff, TurnedTiff tiff)
{
    const QString& src = page.path;
    const QList<QString> pages{src};
    if (!Begin(QList<SavePage>{page}, dst))
        return false;
    if (dst.isEmpty())
        return Fail(pages, -1, dst);
    const int turn = NormalTurn(page.angle);
    const QString srcExt = QFileInfo(src).suffix().toLower();
    const QString dstExt = QFileInfo(dst).suffix().toLower();
    if (turn == 0 && srcExt == dstExt && dstExt != "tiff") {
        // Taken as it is, so it must be a whole image.
        if (PageCheck::AsIs(src) != SaveFailure::None)
            return Fail(pages, 0, dst);
        return CopyFile(src, dst) || Fail(pages, -1, dst);
    }
    if (turn != 0 && dstExt == "jpg") {
        // A JPEG page is turned without decoding where its size allows.
        const int turned = WriteTurnedJpeg(src, dst, turn);
        if (turned >= 0)
            return turned == 1 || Fail(pages, 0, dst);
    }

    QImage image = ReadWidePnm(src);
    if (image.isNull()) {
        QImageReader reader(src);
        reader.setDecideFormatFromContent(true);
        image = reader.canRead() ? reader.read() : QImage();
    }
    if (image.isNull())
        return Fail(pages, 0, dst);
    const bool bilevel = IsBilevel(image.format());
    const QByteArray writer = WriterFormat(dstExt);
    if (writer.isEmpty())
        return Fail(pages, -1, dst);

    int dpiX = DotsPerInch(image.dotsPerMeterX());
    int dpiY = DotsPerInch(image.dotsPerMeterY());
    if (srcExt == "pnm") {
        const int r = PnmResolution(src);
        if (r > 0)
            dpiX = dpiY = r;
    }
    image.setDotsPerMeterX(DotsPerMetre(dpiX));
    image.setDotsPerMeterY(DotsPerMetre(dpiY));
    if (turn != 0) {
        image = TurnImage(image, turn);
        if (image.isNull())
            return Fail(pages, -1, dst);
    }

    const bool compressed = dstExt == "tiff" && (turn == 0 || tiff == TurnedTiff::AsUnturned);
    const bool written =
        compressed ? SaveCompressedTiff(image, dst, bilevel, jpegInTiff) : WriteImage(image, dst, writer);
    return written || Fail(pages, -1, dst);
}

namespace {

// One page of a multi-page TIFF, prepared off the writing thread: a JPEG
// file to go in as it is, the page file itself, a black and white image, or
// an image of 8-bit grey or RGB samples.
struct TiffPage {
    bool ok = false;
    bool useFile = false;
    QByteArray jpeg;
    JpegInfo jpegInfo;
    QImage image;
};

// The samples a page's image goes into a JPEG-compressed directory with:
// grey pages (8 or 16 bit, or a grey colour table) as 8-bit grey, others as
// 8-bit RGB. JPEG in TIFF takes 8-bit samples only.
QImage JpegSamples(const QImage& image)
{
    const QImage::Format format = image.format();
    const bool grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16 ||
                      (format == QImage::Format_Indexed8 && image.allGray());
    return image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
}

// A whole JPEG page a TIFF reader decodes from one strip: its bytes, else
// empty.
QByteArray StrippableJpeg(const QString& page, JpegInfo* info)
{
    QFile file(page);
    if (!file.open(QIODevice::ReadOnly) || file.peek(2) != QByteArray("\xFF\xD8", 2))
        return QByteArray();
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || !info->Parse(data) || !info->TiffStrippable() ||
        !JpegInfo::IsComplete(data))
        return QByteArray();
    return data;
}

TiffPage PrepareTiffPage(const SavePage& savePage)
{
    const QString& page = savePage.path;
    const int turn = NormalTurn(savePage.angle);
    TiffPage result;
    // JPEG pages go in undecoded: no time spent, no generation lost; a
    // turned one too where it can be turned so.
    result.jpeg = StrippableJpeg(page, &result.jpegInfo);
    if (!result.jpeg.isEmpty() && turn != 0) {
        QByteArray turned;
        if (TurnJpegLosslessly(result.jpeg, turn, &turned) && result.jpegInfo.Parse(turned) &&
            result.jpegInfo.TiffStrippable())
            result.jpeg = turned;
        else
            result.jpeg.clear();
    }
    if (!result.jpeg.isEmpty()) {
        result.ok = true;
        return result;
    }
    QImage image = LoadPageImage(page);
    if (image.isNull())
        return result;
    if (turn != 0) {
        image = TurnImage(image, turn);
        if (image.isNull())
            return result;
    }
    result.ok = true;
    if (turn == 0 && QFileInfo(page).suffix().toLower() == "tiff" && TiffAssembler::JpegCopyable(page)) {
        result.useFile = true;
        return result;
    }
    // Black and white pages stay so (CCITT Group 4); the others keep grey or
    // colour.
    result.image = TiffAssembler::IsBilevel(image) ? image : JpegSamples(image);
    return result;
}

} // namespace

bool ImageProc::SaveMultiTiff(const QList<QString>& pages, const QString& dst)
{
    return SaveMultiTiff(UnturnedPages(pages), dst);
}

bool ImageProc::SaveMultiTiff(const QList<SavePage>& savePages, const QString& dst)
{
    if (!Begin(savePages, dst))
        return false;
    const QList<QString> pages = PathsOf(savePages);
    TiffAssembler tiff;
    if (!tiff.Open(dst, "jpeg"))
        return Fail(pages, -1, dst);
    // Decode the next page on a second thread while this one is compressed;
    // the file is written in page order by this thread alone, so the output
    // does not depend on the timing.
    std::future<TiffPage> next;
    if (!pages.isEmpty())
        next = std::async(std::launch::async | std::launch::deferred, PrepareTiffPage, savePages.first());
    for (int i = 0; i < pages.size(); ++i) {
        TiffPage page = next.get();
        if (i + 1 < pages.size())
            next =
                std::async(std::launch::async | std::launch::deferred, PrepareTiffPage, savePages.at(i + 1));
        const bool added = page.ok && (!page.jpeg.isEmpty() ? tiff.AddJpeg(page.jpeg, page.jpegInfo)
                                       : page.useFile       ? tiff.AddFile(pages.at(i))
                                       : TiffAssembler::IsBilevel(page.image) ? tiff.AddBilevel(page.image)
                                                                              : tiff.AddImage(page.image));
        if (!added) {
            if (next.valid())
                next.wait();
            return Fail(pages, i, dst);
        }
    }
    return tiff.Commit() || Fail(pages, -1, dst);
}

QString ImageProc::PdfSource(const QList<QString>& pages, int index, QList<QString>* temps,
                             const QString& dst)
{
    const QString& page = pages.at(index);
    if (QFileInfo(page).suffix().toLower() == "tiff" || IsEmbeddableJpeg(page))
        return page;
    QImage image = LoadPageImage(page);
    if (image.isNull()) {
        Fail(pages, index, dst);
        return QString();
    }
    // The document's JPEG data has 8 bits a sample; 16-bit grey pages would
    // come out as colour.
    if (image.format() == QImage::Format_Grayscale16)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    const QString tmp = GetTempFilePath("tiff");
    if (tmp.isEmpty()) {
        FailTemp();
        return QString();
    }
    temps->append(tmp);
    if (!image.save(tmp, "tiff", -1)) {
        FailTemp();
        return QString();
    }
    return tmp;
}

bool ImageProc::SavePDF(const QString& src, const QString& dst)
{
    return SavePDF(SavePage{src, 0}, dst);
}

bool ImageProc::SavePDF(const SavePage& page, const QString& dst)
{
    return SaveMultiPDF(QList<SavePage>{page}, dst);
}

bool ImageProc::SaveMultiPDF(const QList<QString>& pages, const QString& dst)
{
    return SaveMultiPDF(UnturnedPages(pages), dst);
}

bool ImageProc::SaveMultiPDF(const QList<SavePage>& savePages, const QString& dst)
{
    if (!Begin(savePages, dst))
        return false;
    const QList<QString> pages = PathsOf(savePages);
    if (pages.isEmpty())
        return Fail(pages, -1, dst);
    PdfDocument pdf;
    if (!pdf.Open(dst))
        return Fail(pages, -1, dst);
    // One page at a time: a temporary TIFF lives only while its page is added.
    for (int i = 0; i < pages.size(); ++i) {
        QList<QString> temps;
        const QString file = PdfSource(pages, i, &temps, dst);
        const bool added = !file.isEmpty() && pdf.AddFile(file, savePages.at(i).angle, savePages.at(i).text);
        for (const QString& tmp : temps)
            QFile::remove(tmp);
        if (!added)
            return Fail(pages, i, dst);
    }
    return pdf.Commit() || Fail(pages, -1, dst);
}

bool ImageProc::SaveOFD(const QString& src, const QString& dst)
{
    return SaveOFD(SavePage{src, 0}, dst);
}

bool ImageProc::SaveOFD(const SavePage& page, const QString& dst)
{
    return SaveMultiOFD(QList<SavePage>{page}, dst);
}

bool ImageProc::SaveMultiOFD(const QList<QString>& srcs, const QString& dst)
{
    return SaveMultiOFD(UnturnedPages(srcs), dst);
}

bool ImageProc::SaveMultiOFD(const QList<SavePage>& pages, const QString& dst)
{
    if (!Begin(pages, dst))
        return false;
    const QList<QString> srcs = PathsOf(pages);
    if (srcs.isEmpty())
        return Fail(srcs, -1, dst);
    OFDProcess ofd(dst);
    if (ofd.createOFD(ofd.AddImages(pages)))
        return true;
    m_failure = ofd.Failure();
    return Fail(srcs, -1, dst);
}
