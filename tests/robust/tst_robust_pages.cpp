// Page files that are damaged, empty, gone or in the way, and save folders
// that disappear or fill up in the middle of a save: the writers fail
// cleanly, never leave a partial file, and never touch the pages.
#include "imageproc.h"
#include "imageviewwidget.h"
#include "pagefiles.h"
#include "rawpagewriter.h"
#include "tiffheader.h"
#include "workspace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// Fingerprint of a path: contents of a file, or a marker for a folder or nothing.
QByteArray stateOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return "<dir>";
    if (!info.exists())
        return "<missing>";
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
}

// Makes a page file of `kind` with extension `ext` in `dir`.
QString badPage(const QString& dir, const QString& kind, const QString& ext)
{
    const QString path = dir + "/" + kind + "." + ext;
    if (kind == "missing")
        return path;
    if (kind == "directory") {
        QDir().mkpath(path);
        return path;
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    if (kind == "garbage") {
        QRandomGenerator rng(7);
        QByteArray b(3000, '\0');
        for (char& c : b)
            c = char(rng.bounded(256));
        f.write(b);
    } else if (kind == "truncated" && ext == "tiff") {
        // As the scanner writes it: header first, then the rows, cut short.
        f.write(TiffHeader::Build(false, 8, 300, 400, 200));
        f.write(QByteArray(300 * 200, '\x80'));
    } else if (kind == "truncated") {
        f.close();
        const QString good = PageFiles::Write(dir, "whole." + ext, QSize(300, 400), Qt::darkGreen);
        QFile in(good);
        if (!in.open(QIODevice::ReadOnly) || !f.open(QIODevice::WriteOnly))
            return QString();
        const QByteArray all = in.readAll();
        f.write(all.left(qMax(64, all.size() / 3)));
        in.close();
        QFile::remove(good);
    }
    return path;
}

QStringList folderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void setFileSizeLimit(rlim_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

// One save call of ImageProc, by the target's kind.
bool saveOne(ImageProc& proc, const QString& src, const QString& dst)
{
    const QString ext = QFileInfo(dst).suffix();
    if (ext == "pdf")
        return proc.SavePDF(src, dst);
    if (ext == "ofd")
        return proc.SaveOFD(src, dst);
    return proc.SaveAs(src, dst, 0, true);
}

bool saveMulti(ImageProc& proc, const QStringList& pages, const QString& dst)
{
    const QString ext = QFileInfo(dst).suffix();
    if (ext == "pdf")
        return proc.SaveMultiPDF(pages, dst);
    if (ext == "ofd")
        return proc.SaveMultiOFD(pages, dst);
    return proc.SaveMultiTiff(pages, dst);
}

const QStringList kKinds{"empty", "garbage", "truncated", "missing", "directory"};

// A 16-bit page of 120 x 90 pixels at 200 dpi with a gradient: "tiff" and
// "pnm" as the scanner writes them, "png" through Qt.
QString sixteenBitPage(const QString& dir, const QString& ext, bool rgb)
{
    const int w = 120, h = 90, samples = rgb ? 3 : 1;
    const QString path = dir + QStringLiteral("/deep%1.%2").arg(rgb ? "rgb" : "grey", ext);
    if (ext == "png") {
        QImage image(w, h, rgb ? QImage::Format_RGBX64 : QImage::Format_Grayscale16);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixelColor(x, y, QColor::fromRgba64(quint16(x * 500), quint16(y * 700), 30000));
        image.setDotsPerMeterX(qRound(200 / 0.0254));
        image.setDotsPerMeterY(qRound(200 / 0.0254));
        return image.save(path, "PNG") ? path : QString();
    }
    QByteArray data;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w * samples; ++x) {
            const quint16 v = quint16((x * 211 + y * 503) & 0xFFFF);
            // TIFF pages keep the scanner's little-endian samples, PNM is big-endian.
            const char hi = char(v >> 8), lo = char(v & 0xFF);
            data += ext == "tiff" ? QByteArray{lo, hi} : QByteArray{hi, lo};
        }
    }
    PageGeometry g;
    g.rgb = rgb;
    g.depth = 16;
    g.pixelsPerLine = w;
    g.bytesPerLine = w * samples * 2;
    g.lines = h;
    g.resolution = 200;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(ext == "tiff" ? TiffHeader::Build(rgb, 16, w, h, 200) : RawPageWriter::PnmHeader(g));
    f.write(data);
    return path;
}

// Whether `path` is a sound file of its kind, judged by a reader for it.
bool readable(const QString& path)
{
    const QString ext = QFileInfo(path).suffix();
    QProcess p;
    if (ext == "pdf")
        p.start("qpdf", {"--check", path});
    else if (ext == "ofd")
        p.start("unzip", {"-tq", path});
    else
        return !QImage(path).isNull();
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestRobustPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void singleSave_data();
    void singleSave();
    void multiSave_data();
    void multiSave();
    void sixteenBitPages_data();
    void sixteenBitPages();
    void saveFolderFault_data();
    void saveFolderFault();
    void pageListWithBadPages_data();
    void pageListWithBadPages();
    void pageDeletedBehindTheList();
    void pnmResolutionComment_data();
    void pnmResolutionComment();

private:
    std::unique_ptr<QTemporaryDir> m_pages;
    std::unique_ptr<QTemporaryDir> m_out;
    rlimit m_fsize{};
};

void TestRobustPages::initTestCase()
{
    std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(getrlimit(RLIMIT_FSIZE, &m_fsize) == 0);
}

void TestRobustPages::init()
{
    m_pages.reset(new QTemporaryDir);
    m_out.reset(new QTemporaryDir);
    QVERIFY(m_pages->isValid() && m_out->isValid());
}

void TestRobustPages::cleanup()
{
    setrlimit(RLIMIT_FSIZE, &m_fsize);
}

void TestRobustPages::singleSave_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("srcExt");
    QTest::addColumn<QString>("dstExt");
    for (const QString& kind : kKinds)
        for (const char* src : {"jpg", "tiff", "pnm", "png"})
            for (const char* dst : {"jpg", "png", "pnm", "tiff", "pdf", "ofd"})
                QTest::addRow("%s %s to %s", qPrintable(kind), src, dst) << kind << src << dst;
}

void TestRobustPages::singleSave()
{
    QFETCH(QString, kind);
    QFETCH(QString, srcExt);
    QFETCH(QString, dstExt);
    const QString src = badPage(m_pages->path(), kind, srcExt);
    QVERIFY(!src.isEmpty());
    const QByteArray before = stateOf(src);
    const QString dst = m_out->filePath("out." + dstExt);

    ImageProc proc;
    QVERIFY(!saveOne(proc, src, dst));
    QCOMPARE(stateOf(src), before);
    QCOMPARE(folderEntries(m_out->path()), QStringList());
    const SaveFailure& failure = proc.LastFailure();
    QCOMPARE(failure.reason,
             kind == "missing" || kind == "directory" ? SaveFailure::PageMissing : SaveFailure::PageDamaged);
    QCOMPARE(failure.page, 0);
    QCOMPARE(failure.path, src);
}

void TestRobustPages::multiSave_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("srcExt");
    QTest::addColumn<QString>("dstExt");
    for (const QString& kind : kKinds)
        for (const char* src : {"jpg", "tiff", "png", "pnm"})
            for (const char* dst : {"tiff", "pdf", "ofd"})
                QTest::addRow("%s %s page in %s", qPrintable(kind), src, dst) << kind << src << dst;
}

// A bad page among good ones: the document is refused, naming that page,
// and the old document stays as it was.
void TestRobustPages::multiSave()
{
    QFETCH(QString, kind);
    QFETCH(QString, srcExt);
    QFETCH(QString, dstExt);
    const QString dir = m_pages->path();
    const QStringList pages{PageFiles::Write(dir, "p1.jpg", QSize(200, 300), Qt::red),
                            badPage(dir, kind, srcExt),
                            PageFiles::Write(dir, "p3.tiff", QSize(200, 300), Qt::blue)};
    QList<QByteArray> before;
    for (const QString& p : pages)
        before << stateOf(p);
    const QString dst = m_out->filePath("doc." + dstExt);
    {
        QFile old(dst);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous document");
    }
    ImageProc proc;
    QVERIFY(!saveMulti(proc, pages, dst));
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(stateOf(pages[i]), before[i]);
    QCOMPARE(folderEntries(m_out->path()), QStringList{"doc." + dstExt});
    QCOMPARE(stateOf(dst), QCryptographicHash::hash("previous document", QCryptographicHash::Sha1).toHex());
    QCOMPARE(proc.LastFailure().page, 1);
    QCOMPARE(proc.LastFailure().path, pages[1]);
    QVERIFY(proc.LastFailure().IsPage());
}

void TestRobustPages::sixteenBitPages_data()
{
    QTest::addColumn<QString>("srcExt");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<QString>("dstExt");
    QTest::addColumn<bool>("multi");
    for (const char* src : {"tiff", "pnm", "png"})
        for (bool rgb : {false, true})
            for (const char* dst : {"jpg", "png", "pnm", "tiff", "pdf", "ofd"})
                for (bool multi : {false, true})
                    if (!multi || QByteArray("tiff pdf ofd").contains(dst))
                        QTest::addRow("%s %s to %s%s", rgb ? "RGB" : "grey", src, multi ? "multi-page " : "",
                                      dst)
                            << src << rgb << dst << multi;
}

// 16-bit grey and RGB pages are saved by every writer, narrowed to 8 bits
// where the format needs it.
void TestRobustPages::sixteenBitPages()
{
    QFETCH(QString, srcExt);
    QFETCH(bool, rgb);
    QFETCH(QString, dstExt);
    QFETCH(bool, multi);
    const QString page = sixteenBitPage(m_pages->path(), srcExt, rgb);
    QVERIFY(!page.isEmpty());
    QVERIFY(!ImageProc::LoadPage(page).isNull());
    const QString dst = m_out->filePath("out." + dstExt);
    ImageProc proc;
    const QStringList pages{page, PageFiles::Write(m_pages->path(), "plain.jpg", QSize(60, 80), Qt::blue)};
    QVERIFY(multi ? saveMulti(proc, pages, dst) : saveOne(proc, page, dst));
    QVERIFY(!proc.LastFailure().Failed());
    QVERIFY(readable(dst));
    if (dstExt != "pdf" && dstExt != "ofd") {
        QCOMPARE(QImage(dst).size(), QSize(120, 90));
        if (multi)
            QCOMPARE(QImageReader(dst).imageCount(), 2);
    }
}

void TestRobustPages::saveFolderFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("dstExt");
    for (const char* fault : {"removed", "file in the way", "full"})
        for (const char* ext : {"jpg", "png", "pnm", "tiff", "pdf", "ofd"})
            QTest::addRow("%s, %s", fault, ext) << fault << ext;
}

// One file per page into the save folder; the fault strikes after the
// second page. Saved files stay whole, the rest fail, pages are untouched.
void TestRobustPages::saveFolderFault()
{
    QFETCH(QString, fault);
    QFETCH(QString, dstExt);
    const QString dir = m_pages->path();
    QStringList pages;
    for (int i = 1; i <= 4; ++i)
        pages << PageFiles::Write(dir, QStringLiteral("p%1.%2").arg(i).arg(i % 2 ? "jpg" : "tiff"),
                                  QSize(400, 600), PageFiles::ColorFor(i));
    QList<QByteArray> before;
    for (const QString& p : pages)
        before << stateOf(p);
    const QString folder = m_out->filePath("save");
    QVERIFY(QDir().mkpath(folder));

    ImageProc proc;
    QList<QByteArray> saved;
    for (int i = 0; i < pages.size(); ++i) {
        if (i == 2) {
            if (fault == "removed") {
                QVERIFY(QDir(folder).removeRecursively());
            } else if (fault == "file in the way") {
                QVERIFY(QDir(folder).removeRecursively());
                QFile blocker(folder);
                QVERIFY(blocker.open(QIODevice::WriteOnly));
            } else {
                setFileSizeLimit(1024);
            }
        }
        const QString dst =
            QStringLiteral("%1/img%2.%3").arg(folder).arg(i + 1, 4, 10, QLatin1Char('0')).arg(dstExt);
        const bool ok = saveOne(proc, pages[i], dst);
        QCOMPARE(ok, i < 2);
        if (ok)
            saved << stateOf(dst);
    }
    setrlimit(RLIMIT_FSIZE, &m_fsize);
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(stateOf(pages[i]), before[i]);
    if (fault == "full") {
        // The first two files are whole and nothing else is in the folder.
        QStringList expected;
        for (int i = 0; i < 2; ++i) {
            const QString name = QStringLiteral("img%1.%2").arg(i + 1, 4, 10, QLatin1Char('0')).arg(dstExt);
            expected << name;
            QCOMPARE(stateOf(folder + "/" + name), saved[i]);
            QVERIFY(!ImageProc::LoadPage(folder + "/" + name).isNull() || dstExt == "pdf" || dstExt == "ofd");
        }
        QCOMPARE(folderEntries(folder), expected);
    } else if (fault == "file in the way") {
        QVERIFY(QFileInfo(folder).isFile());
        QCOMPARE(QFileInfo(folder).size(), qint64(0));
    }
}

void TestRobustPages::pageListWithBadPages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("ext");
    for (const QString& kind : kKinds)
        for (const char* ext : {"jpg", "tiff", "pnm"})
            QTest::addRow("%s %s", qPrintable(kind), ext) << kind << ext;
}

// A bad page in the list is shown as far as possible, can be selected,
// rotated and zoomed without harm, and never drops out of the list.
void TestRobustPages::pageListWithBadPages()
{
    QFETCH(QString, kind);
    QFETCH(QString, ext);
    const QString dir = m_pages->path();
    const QString bad = badPage(dir, kind, ext);
    const QStringList paths{PageFiles::Write(dir, "a.jpg", QSize(120, 160), PageFiles::ColorFor(1)), bad,
                            PageFiles::Write(dir, "c.jpg", QSize(120, 160), PageFiles::ColorFor(3))};
    const QByteArray badBefore = stateOf(bad);
    const bool decodable = !QImage(bad).isNull();
    Workspace ws;
    for (const QString& p : paths)
        ws.view->AddImage(p);
    ws.view->JumpTo(1);
    QCoreApplication::processEvents();
    ws.view->RotateRight();
    ws.view->ZoomIn();
    ws.view->FitToWindow();
    ws.view->SelectAll();
    ws.view->Rotate180();
    ws.view->NextPage();
    ws.view->PrevPage();
    QCoreApplication::processEvents();
    QCOMPARE(ws.RowPaths(), paths);
    QCOMPARE(QStringList(ws.view->GetPagePaths().toList()), paths);
    if (decodable) // a page that shows (if partly) is rotated like any other
        QVERIFY(!QImage(bad).isNull());
    else
        QCOMPARE(stateOf(bad), badBefore);
    // The good pages were turned by the 180° rotation of the whole selection.
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(QImage(paths[0])), PageFiles::ColorFor(1)));
}

void TestRobustPages::pageDeletedBehindTheList()
{
    const QString dir = m_pages->path();
    QStringList paths;
    for (int i = 1; i <= 3; ++i)
        paths << PageFiles::Write(dir, QStringLiteral("p%1.jpg").arg(i), QSize(120, 160),
                                  PageFiles::ColorFor(i));
    Workspace ws;
    for (const QString& p : paths)
        ws.view->AddImage(p);
    QVERIFY(QFile::remove(paths[1]));
    QVERIFY(QDir().mkpath(paths[2] + ".d") && QFile::remove(paths[2]) &&
            QDir().rename(paths[2] + ".d", paths[2]));
    for (int row : {1, 2, 0, 1}) {
        ws.view->JumpTo(row);
        ws.view->RotateLeft();
        ws.view->ZoomOut();
    }
    QCoreApplication::processEvents();
    QCOMPARE(ws.RowPaths(), paths);
    QVERIFY(!QFile::exists(paths[1]));
    QVERIFY(QFileInfo(paths[2]).isDir());
    // Deleting the vanished page removes it from the list like any other.
    ws.view->JumpTo(1);
    ws.view->Delete();
    QCOMPARE(ws.RowPaths(), (QStringList{paths[0], paths[2]}));
}

void TestRobustPages::pnmResolutionComment_data()
{
    QTest::addColumn<QByteArray>("comment");
    // Resolution the saved PNG carries; 0: any positive one (a comment that
    // is not a positive number leaves the decoder's own).
    QTest::addColumn<int>("dpi");
    QTest::newRow("ordinary") << QByteArray("#dpi:300") << 300;
    QTest::newRow("largest int") << QByteArray("#dpi:2147483647") << 0;
    QTest::newRow("beyond dots per metre") << QByteArray("#dpi:60000000") << 0;
    QTest::newRow("beyond int") << QByteArray("#dpi:99999999999") << 0;
    QTest::newRow("negative") << QByteArray("#dpi:-300") << 0;
    QTest::newRow("not a number") << QByteArray("#dpi:abc") << 0;
    QTest::newRow("repeated marker") << QByteArray("#dpi:#dpi:150") << 150;
    QTest::newRow("no comment") << QByteArray("# made by hand") << 200;
}

// Whatever resolution a PNM page claims, loading and saving it give a
// positive resolution (the file's own where it can be represented).
void TestRobustPages::pnmResolutionComment()
{
    QFETCH(QByteArray, comment);
    QFETCH(int, dpi);
    const QString page = m_pages->filePath("page.pnm");
    QFile f(page);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("P5\n" + comment + "\n4 2\n255\n" + QByteArray(8, '\x40'));
    f.close();
    const QImage loaded = ImageProc::LoadPage(page);
    QVERIFY(!loaded.isNull());
    QVERIFY(loaded.dotsPerMeterX() > 0 && loaded.dotsPerMeterY() > 0);
    ImageProc proc;
    const QString png = m_out->filePath("page.png");
    QVERIFY(proc.SaveAs(page, png, 0, true));
    const QImage saved(png);
    QVERIFY(saved.dotsPerMeterX() > 0);
    if (dpi > 0)
        QCOMPARE(qRound(saved.dotsPerMeterX() * 0.0254), dpi);
}

QTEST_MAIN(TestRobustPages)
#include "tst_robust_pages.moc"
