#include "ofdprocess.h"

#include "checkedfile.h"
#include "jpeginfo.h"
#include "pageimage.h"
#include "pagepng.h"
#include "targetfile.h"
#include "temppath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

const char kNamespace[] = "http://www.ofdspec.org/2016";
const int kFallbackDpi = 200;
const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

struct Font {
    const char* name;
    int id;
};
// The five fonts of the public resources take the first five IDs.
const Font kFonts[] = {{"黑体", 1}, {"楷体", 2}, {"新宋体", 3}, {"微软雅黑", 4}, {"宋体", 5}};
// Recognised text is set, unpainted, in 宋体, which every reader has.
const int kTextFont = 5;
const int kFirstFreeId = 6;
const double kDefaultWidthMm = 210;
const double kDefaultHeightMm = 297;

QString Num(double value)
{
    return QString::number(value, 'g', 6);
}

// Pixel size and horizontal resolution of a page file; 0 dpi when the file
// states none. JPEG files are answered from their headers (as the decoder
// would set them); everything else is decoded. `readable` tells whether
// that worked.
int PageDpi(const QString& path, QSize* size, bool* readable)
{
    JpegInfo info;
    *readable = true;
    if (info.Read(path)) {
        *size = QSize(info.width, info.height);
        // Dots per metre as the decoder computes them from the density.
        if (info.densityUnit == JpegInfo::DotsPerInch)
            return DotsPerInch(int(100.0 * info.densityX / kCentimetresPerInch));
        if (info.densityUnit == JpegInfo::DotsPerCentimetre)
            return DotsPerInch(100 * info.densityX);
        return 0;
    }
    const QImage image = LoadPageImage(path);
    if (image.isNull()) {
        *readable = false;
        return 0;
    }
    *size = image.size();
    return DotsPerInch(image.dotsPerMeterX());
}

// Creates `file` for writing, readable by the user only; never through a
// link and never over an existing file.
bool OpenPrivate(QFile* file)
{
    const int fd = ::open(QFile::encodeName(file->fileName()).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

// The CTM that draws the image's unit square onto a page of w x h mm,
// turned clockwise by `angle`: a point (u, v) of the image (right and down
// from its top left corner) goes to (a u + c v + e, b u + d v + f) of the
// page.
QString ImageMatrix(int angle, double w, double h)
{
    switch (angle) {
    case 90: // the image's top left corner at the page's top right
        return "0 " + Num(h) + " " + Num(-w) + " 0 " + Num(w) + " 0";
    case 180:
        return Num(-w) + " 0 0 " + Num(-h) + " " + Num(w) + " " + Num(h);
    case 270: // the image's top left corner at the page's bottom left
        return "0 " + Num(-h) + " " + Num(w) + " 0 0 " + Num(h);
    default:
        return Num(w) + " 0 0 " + Num(h) + " 0 0";
    }
}

SaveFailure PageFailure(int index, const QString& path)
{
    return SaveFailure::Page(QFileInfo(path).isFile() ? SaveFailure::PageDamaged : SaveFailure::PageMissing,
                             index, path);
}

} // namespace

OFDProcess::OFDProcess(const QString& dst) : m_dst(dst)
{
    // A folder of this package alone, inside the program's private folder.
    const QString base = GetTempDir();
    if (!base.isEmpty()) {
        QByteArray pattern = QFile::encodeName(base + "/ofd-XXXXXX");
        if (::mkdtemp(pattern.data()))
            m_stagingDir = QFile::decodeName(pattern) + "/";
    }
    m_docInfo.DocID = QUuid::createUuid().toString(QUuid::Id128);
}

OFDProcess::~OFDProcess()
{
    if (m_stagingDir.isEmpty())
        return;
    // Only the real folder made by the constructor; links inside are removed,
    // never followed.
    struct stat st {};
    const QByteArray path = QFile::encodeName(m_stagingDir.chopped(1));
    if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid())
        QDir(m_stagingDir).removeRecursively();
}

QVector<PageInfo> OFDProcess::AddImages(const QList<QString>& paths)
{
    return AddImages(UnturnedPages(paths));
}

QVector<PageInfo> OFDProcess::AddImages(const QList<SavePage>& pages)
{
    QVector<PageInfo> infos;
    infos.reserve(pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        infos.append(CreateImagePageInfo(pages.at(i).path, i + 1, pages.at(i).angle));
        if (!pages.at(i).text.IsEmpty())
            infos.last().text = TurnPageText(pages.at(i).text, pages.at(i).angle);
    }
    return infos;
}

PageInfo OFDProcess::CreateImagePageInfo(const QString& path, int n, int angle)
{
    QSize size;
    bool readable = false;
    int dpi = PageDpi(path, &size, &readable);
    if (dpi <= 0)
        dpi = kFallbackDpi;
    PageInfo page;
    page.pixelHeight = qMax(size.height(), 0);
    page.pixelWidth = qMax(size.width(), 0);
    page.heightMm = double(page.pixelHeight) / dpi * 25.4;
    page.widthMm = double(page.pixelWidth) / dpi * 25.4;
    if (page.pixelHeight == 0 || page.pixelWidth == 0) {
        // Nothing tells the image's size: use the document's default page area.
        page.widthMm = kDefaultWidthMm;
        page.heightMm = kDefaultHeightMm;
    }
    FragmentInfo fragment;
    fragment.isImage = true;
    fragment.path = path;
    fragment.imageNumber = n;
    fragment.pixelHeight = page.pixelHeight;
    fragment.pixelWidth = page.pixelWidth;
    fragment.readable = readable;
    page.angle = NormalTurn(angle);
    if (TurnSwapsSides(angle)) {
        std::swap(page.pixelWidth, page.pixelHeight);
        std::swap(page.widthMm, page.heightMm);
    }
    BlockInfo block;
    block.fragments.append(fragment);
    page.blocks.append(block);
    return page;
}

bool OFDProcess::TransformPage(const PageInfo& page, const StagedImage& staged, OFDPageInfo* out)
{
    const QString w = Num(page.widthMm);
    const QString h = Num(page.heightMm);
    out->PhysicalBox = "0 0 " + w + " " + h;
    out->Boundary = out->PhysicalBox;
    out->CTM = ImageMatrix(page.angle, page.widthMm, page.heightMm);
    out->textLines = LayOutOfdText(page.text, page.widthMm, page.heightMm);
    const FragmentInfo* fragment = ImageOf(page);
    if (page.angle < 0 || !fragment) {
        // A page shows exactly one image.
        m_failure.reason = SaveFailure::WriteFailed;
        m_failure.path = m_dst;
        return false;
    }
    if (staged.failure.Failed()) {
        m_failure = staged.failure;
        return false;
    }
    TextInfo text;
    text.isImage = true;
    text.imageNumber = fragment->imageNumber;
    text.path = fragment->path;
    OFDLineInfo line;
    line.texts.append(text);
    out->lines.append(line);
    m_mediaFiles.append(staged.name);
    m_mediaFormats.append(staged.format);
    return true;
}

const FragmentInfo* OFDProcess::ImageOf(const PageInfo& page)
{
    const FragmentInfo* image = nullptr;
    for (const BlockInfo& block : page.blocks) {
        for (const FragmentInfo& fragment : block.fragments) {
            if (!fragment.isImage)
                continue;
            if (image)
                return nullptr;
            image = &fragment;
        }
    }
    return image;
}

OFDProcess::StagedImage OFDProcess::StageImage(const FragmentInfo& fragment, const QString& stagingDir)
{
    StagedImage result;
    const int index = fragment.imageNumber - 1;
    if (!fragment.readable) {
        result.failure = PageFailure(index, fragment.path);
        return result;
    }
    // Readers of the format show JPEG and PNG: those go in as they are, every
    // other page (TIFF, PNM) as a PNG of the same pixels at its own depth.
    QByteArray data;
    QFile in(fragment.path);
    if (in.open(QIODevice::ReadOnly))
        data = in.read(sizeof kPngSignature);
    const bool jpeg = data.startsWith(QByteArray("\xFF\xD8", 2));
    const bool png = data == QByteArray(kPngSignature, sizeof kPngSignature);
    if (jpeg || png)
        data += in.readAll();
    if (in.error() != QFileDevice::NoError || data.isEmpty() || (jpeg && !JpegInfo::IsComplete(data))) {
        // A JPEG page goes in as it is, so it must be whole.
        result.failure = PageFailure(index, fragment.path);
        return result;
    }
    in.close();
    result.name = QString("image_%1.%2").arg(fragment.imageNumber).arg(jpeg ? "jpg" : "png");
    result.format = jpeg ? "JPEG" : "PNG";
    const QString staged = stagingDir + "Doc_0/Res/" + result.name;
    bool ok = true;
    if (jpeg || png) {
        QFile out(staged);
        ok = OpenPrivate(&out) && out.write(data) == data.size() && out.flush();
        out.close();
        ok = ok && out.error() == QFileDevice::NoError;
    } else if (!PagePng::Write(fragment.path, staged)) {
        // The page, when it does not decode; else the staging folder.
        ok = LoadPageImage(fragment.path).isNull();
        if (ok)
            result.failure = PageFailure(index, fragment.path);
        ok = false;
    }
    if (!ok && !result.failure.Failed()) {
        result.failure.reason = SaveFailure::TempFailed;
        result.failure.path = stagingDir;
    }
    return result;
}

bool OFDProcess::WriteXml(const QString& relPath, const std::function<void(QXmlStreamWriter&)>& body)
{
    QFile file(m_stagingDir + relPath);
    if (!OpenPrivate(&file))
        return false;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeNamespace(kNamespace, "ofd");
    body(xml);
    xml.writeEndDocument();
    file.close();
    return !xml.hasError() && file.error() == QFileDevice::NoError;
}

bool OFDProcess::WriteEntry()
{
    return WriteXml("OFD.xml", [this](QXmlStreamWriter& x) {
        x.writeStartElement(kNamespace, "OFD");
        x.writeAttribute("Version", "1.0");
        x.writeAttribute("DocType", "OFD");
        x.writeStartElement(kNamespace, "DocBody");
        x.writeStartElement(kNamespace, "DocInfo");
        x.writeTextElement(kNamespace, "DocID", m_docInfo.DocID);
        if (m_docInfo.Title.isEmpty())
            x.writeEmptyElement(kNamespace, "Title");
        else
            x.writeTextElement(kNamespace, "Title", m_docInfo.Title);
        x.writeTextElement(kNamespace, "Author", m_docInfo.Author);
        x.writeTextElement(kNamespace, "Creator", m_docInfo.Creator);
        x.writeTextElement(kNamespace, "CreatorVersion", m_docInfo.CreatorVersion);
        x.writeEndElement();
        x.writeTextElement(kNamespace, "DocRoot", "Doc_0/Document.xml");
        x.writeEndElement();
        x.writeEndElement();
    });
}

bool OFDProcess::WriteDocument()
{
    return WriteXml("Doc_0/Document.xml", [this](QXmlStreamWriter& x) {
        x.writeStartElement(kNamespace, "Document");
        x.writeStartElement(kNamespace, "CommonData");
        x.writeTextElement(kNamespace, "MaxUnitID", QString::number(m_maxUnitId));
        x.writeStartElement(kNamespace, "PageArea");
        x.writeTextElement(kNamespace, "PhysicalBox",
                           "0 0 " + Num(kDefaultWidthMm) + " " + Num(kDefaultHeightMm));
        x.writeEndElement();
        x.writeTextElement(kNamespace, "PublicRes", "PublicRes.xml");
        x.writeTextElement(kNamespace, "DocumentRes", "DocumentRes.xml");
        x.writeEndElement();
        x.writeStartElement(kNamespace, "Pages");
        for (int i = 0; i < m_ids.size(); ++i) {
            x.writeEmptyElement(kNamespace, "Page");
            x.writeAttribute("BaseLoc", QString("Pages/Page_%1/Content.xml").arg(i));
            x.writeAttribute("ID", QString::number(m_ids[i].page));
        }
        x.writeEndElement();
        x.writeEndElement();
    });
}

bool OFDProcess::WritePublicRes()
{
    return WriteXml("Doc_0/PublicRes.xml", [](QXmlStreamWriter& x) {
        x.writeStartElement(kNamespace, "Res");
        x.writeAttribute("BaseLoc", "Res");
        x.writeStartElement(kNamespace, "Fonts");
        for (const Font& font : kFonts) {
            x.writeEmptyElement(kNamespace, "Font");
            x.writeAttribute("FontName", QString::fromUtf8(font.name));
            x.writeAttribute("ID", QString::number(font.id));
        }
        x.writeEndElement();
        x.writeEndElement();
    });
}

bool OFDProcess::WriteDocumentRes()
{
    return WriteXml("Doc_0/DocumentRes.xml", [this](QXmlStreamWriter& x) {
        x.writeStartElement(kNamespace, "Res");
        x.writeAttribute("BaseLoc", "Res");
        x.writeStartElement(kNamespace, "MultiMedias");
        for (int i = 0; i < m_ids.size(); ++i) {
            x.writeStartElement(kNamespace, "MultiMedia");
            x.writeAttribute("ID", QString::number(m_ids[i].media));
            x.writeAttribute("Type", "Image");
            x.writeAttribute("Format", m_mediaFormats[i]);
            x.writeTextElement(kNamespace, "MediaFile", m_mediaFiles[i]);
            x.writeEndElement();
        }
        x.writeEndElement();
        x.writeEndElement();
    });
}

bool OFDProcess::WritePage(int index)
{
    const QString folder = QString("Doc_0/Pages/Page_%1").arg(index);
    if (!QDir().mkpath(m_stagingDir + folder))
        return false;
    const OFDPageInfo& page = m_pages[index];
    const PageIds& ids = m_ids[index];
    return WriteXml(folder + "/Content.xml", [&](QXmlStreamWriter& x) {
        x.writeStartElement(kNamespace, "Page");
        x.writeStartElement(kNamespace, "Area");
        x.writeTextElement(kNamespace, "PhysicalBox", page.PhysicalBox);
        x.writeEndElement();
        x.writeStartElement(kNamespace, "Content");
        x.writeStartElement(kNamespace, "Layer");
        x.writeAttribute("ID", QString::number(ids.layer));
        x.writeAttribute("Type", "Body");
        x.writeEmptyElement(kNamespace, "ImageObject");
        x.writeAttribute("ID", QString::number(ids.image));
        x.writeAttribute("ResourceID", QString::number(ids.media));
        x.writeAttribute("Boundary", page.Boundary);
        x.writeAttribute("CTM", page.CTM);
        for (int i = 0; i < page.textLines.size(); ++i)
            WriteTextLine(x, page.textLines[i], ids.firstText + i);
        x.writeEndElement();
        x.writeEndElement();
        x.writeEndElement();
    });
}

void OFDProcess::WriteTextLine(QXmlStreamWriter& x, const OfdTextLine& line, int id)
{
    const QRectF& b = line.boundary;
    x.writeStartElement(kNamespace, "TextObject");
    x.writeAttribute("ID", QString::number(id));
    x.writeAttribute("Boundary",
                     Num(b.x()) + " " + Num(b.y()) + " " + Num(b.width()) + " " + Num(b.height()));
    if (!line.ctm.isEmpty()) {
        QStringList matrix;
        for (double value : line.ctm)
            matrix << Num(value);
        x.writeAttribute("CTM", matrix.join(' '));
    }
    x.writeAttribute("Font", QString::number(kTextFont));
    x.writeAttribute("Size", Num(line.size));
    // Not painted: readers that take Fill find it off, those that paint
    // text whatever it says use a fill that lets everything through.
    x.writeAttribute("Fill", "false");
    x.writeEmptyElement(kNamespace, "FillColor");
    x.writeAttribute("Value", "0 0 0");
    x.writeAttribute("Alpha", "0");
    x.writeStartElement(kNamespace, "TextCode");
    x.writeAttribute("X", Num(line.x));
    x.writeAttribute("Y", Num(line.y));
    if (!line.deltaX.isEmpty()) {
        QStringList steps;
        for (double step : line.deltaX)
            steps << Num(step);
        x.writeAttribute("DeltaX", steps.join(' '));
    }
    x.writeCharacters(line.text);
    x.writeEndElement();
    x.writeEndElement();
}

bool OFDProcess::Zip()
{
    TargetFile target(m_dst);
    if (!target.IsValid())
        return false;
    // The staging folder's contents become the package root, entry file
    // first.
    QStringList entries;
    QDirIterator it(m_stagingDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(m_stagingDir).relativeFilePath(it.next());
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return (a == "OFD.xml") != (b == "OFD.xml") ? a == "OFD.xml" : a < b;
    });
    // The zip writer does not notice a write the system took only in part.
    CheckedFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    QuaZip zip(&file);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    bool ok = true;
    for (const QString& entry : entries) {
        if (!(ok = AddZipEntry(&zip, entry)))
            break;
    }
    zip.close();
    ok = ok && zip.getZipError() == ZIP_OK && !file.WriteFailed() && file.error() == QFileDevice::NoError;
    file.close();
    return ok && target.Commit();
}

bool OFDProcess::AddZipEntry(QuaZip* zip, const QString& entry)
{
    const QString source = m_stagingDir + entry;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // JPEG and PNG images are compressed already: deflating them costs time
    // and gains nothing. The XML files are deflated.
    const QString suffix = QFileInfo(entry).suffix();
    const bool stored = suffix == "jpg" || suffix == "png";
    QuaZipFile out(zip);
    if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(entry, source), nullptr, 0, stored ? 0 : Z_DEFLATED,
                  stored ? 0 : Z_DEFAULT_COMPRESSION))
        return false;
    QByteArray block;
    bool ok = true;
    while (ok && !(block = in.read(1 << 20)).isEmpty())
        ok = out.write(block) == block.size();
    ok = ok && in.error() == QFileDevice::NoError;
    out.close();
    return ok && out.getZipError() == ZIP_OK;
}

bool OFDProcess::createOFD(const QVector<PageInfo>& pages)
{
    m_failure = SaveFailure();
    if (pages.isEmpty()) {
        m_failure.reason = SaveFailure::WriteFailed;
        m_failure.path = m_dst;
        return false;
    }
    if (m_stagingDir.isEmpty() || !QDir().mkpath(m_stagingDir + "Doc_0/Res"))
        return StagingFailed();
    m_pages.clear();
    m_ids.clear();
    m_mediaFiles.clear();
    m_mediaFormats.clear();
    // Each page's image is staged (converted to PNG where needed) on a second
    // thread while the page before it is taken in; the package is put
    // together in page order by this thread alone.
    const auto stage = [this, &pages](int i) {
        const FragmentInfo* image = ImageOf(pages.at(i));
        return std::async(std::launch::async | std::launch::deferred, [image, dir = m_stagingDir] {
            return image ? StageImage(*image, dir) : StagedImage();
        });
    };
    std::future<StagedImage> ahead = stage(0);
    int next = kFirstFreeId;
    for (int i = 0; i < pages.size(); ++i) {
        const StagedImage staged = ahead.get();
        if (i + 1 < pages.size())
            ahead = stage(i + 1);
        OFDPageInfo out;
        if (!TransformPage(pages.at(i), staged, &out)) {
            if (ahead.valid())
                ahead.wait();
            return false;
        }
        m_pages.append(out);
        PageIds ids;
        ids.page = next++;
        ids.media = next++;
        ids.layer = next++;
        ids.image = next++;
        ids.firstText = next;
        next += out.textLines.size();
        m_ids.append(ids);
    }
    m_maxUnitId = next - 1;
    if (!WriteEntry() || !WriteDocument() || !WritePublicRes() || !WriteDocumentRes())
        return StagingFailed();
    if (!QDir().mkpath(m_stagingDir + "Doc_0/Pages"))
        return StagingFailed();
    for (int i = 0; i < m_pages.size(); ++i) {
        if (!WritePage(i))
            return StagingFailed();
    }
    TakeWriteError();
    if (!Zip()) {
        m_failure = SaveFailure::Target(m_dst, TakeWriteError());
        return false;
    }
    return true;
}

bool OFDProcess::StagingFailed()
{
    m_failure.reason = SaveFailure::TempFailed;
    m_failure.path = m_stagingDir.isEmpty() ? GetTempDir() : m_stagingDir;
    return false;
}
