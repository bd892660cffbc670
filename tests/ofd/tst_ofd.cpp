// OFD packages: structure checked with unzip and xmllint, IDs, references,
// media files, page sizes and failure paths.
#include "imageproc.h"
#include "ofdprocess.h"
#include "pagemaker.h"
#include "temppath.h"

#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace PageMaker;

namespace {

const QString kNs = "http://www.ofdspec.org/2016";

QString xpath(const QString& file, const QString& expr)
{
    return run("xmllint", {"--xpath", expr, file}).trimmed();
}

QList<int> numbersOf(const QString& text, const QString& attribute)
{
    QList<int> out;
    auto it = QRegularExpression("\\b" + attribute + "=\"([^\"]*)\"").globalMatch(text);
    while (it.hasNext())
        out << it.next().captured(1).toInt();
    return out;
}

} // namespace

class TestOfd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void packageStructure();
    void pageSizes_data();
    void pageSizes();
    void secondSaveReplacesFirst();
    void mediaEntries_data();
    void mediaEntries();
    void bilevelPagesCompact();
    void privateStaging();
    void failures_data();
    void failures();
    void fullDiskKeepsOldTarget();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // Unzips `ofd` into a fresh folder and returns it.
    QString unpack(const QString& ofd);
    QScopedPointer<QTemporaryDir> m_dir;
    int m_unpacked = 0;
};

void TestOfd::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestOfd::unpack(const QString& ofd)
{
    const QString dir = path(QString("unpacked%1").arg(++m_unpacked));
    bool ok = false;
    run("unzip", {"-q", ofd, "-d", dir}, &ok);
    return ok ? dir : QString();
}

void TestOfd::packageStructure()
{
    QVERIFY(write(pattern(160, 120, QImage::Format_RGB32, 300), path("p1.jpg")));
    QVERIFY(write(pattern(100, 140, QImage::Format_RGB32, 200), path("p2.png")));
    QVERIFY(write(pattern(120, 90, QImage::Format_Mono, 300), path("p3.tiff")));
    const QStringList pages{path("p1.jpg"), path("p2.png"), path("p3.tiff")};
    ImageProc proc;
    QVERIFY(proc.SaveMultiOFD(pages, path("doc.ofd")));
    bool tested = false;
    run("unzip", {"-tq", path("doc.ofd")}, &tested);
    QVERIFY(tested);
    QCOMPARE(run("unzip", {"-Z1", path("doc.ofd")}).section('\n', 0, 0), QString("OFD.xml"));
    const QString root = unpack(path("doc.ofd"));
    QVERIFY(!root.isEmpty());

    QStringList xmlFiles;
    QDirIterator it(root, {"*.xml"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        xmlFiles << it.next();
    QCOMPARE(xmlFiles.size(), 4 + 3);
    QString allIds;
    for (const QString& file : xmlFiles) {
        bool ok = false;
        run("xmllint", {"--noout", file}, &ok);
        QVERIFY2(ok, qPrintable(file));
        QCOMPARE(xpath(file, "string(namespace-uri(/*))"), kNs);
        QCOMPARE(xpath(file, "count(//*[namespace-uri()!='" + kNs + "'])"), QString("0"));
        QCOMPARE(xpath(file, "count(//@*[namespace-uri()!=''])"), QString("0"));
        const QString text = QString::fromUtf8(bytes(file));
        QVERIFY2(!text.contains(QRegularExpression("<(?!ofd:|/ofd:|\\?xml)")), qPrintable(file));
        allIds += xpath(file, "//@ID") + " ";
    }
    const QList<int> ids = numbersOf(allIds, "ID");
    QCOMPARE(ids.size(), 5 + 3 * 4);
    QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
    QVERIFY(!ids.contains(0));
    const QString doc = root + "/Doc_0/Document.xml";
    QCOMPARE(xpath(doc, "string(/*/*[1]/*[1])").toInt(), *std::max_element(ids.begin(), ids.end()));
    QCOMPARE(xpath(doc, "local-name(/*/*[1]/*[1])"), QString("MaxUnitID"));
    QCOMPARE(
        xpath(doc,
              "concat(local-name(/*/*[1]/*[2]),' ',local-name(/*/*[1]/*[3]),' ',local-name(/*/*[1]/*[4]))"),
        QString("PageArea PublicRes DocumentRes"));

    const QString entry = root + "/OFD.xml";
    QCOMPARE(xpath(entry, "concat(local-name(//*[local-name()='DocInfo']/*[1]),' ',"
                          "local-name(//*[local-name()='DocInfo']/*[2]),' ',"
                          "local-name(//*[local-name()='DocInfo']/*[3]),' ',"
                          "local-name(//*[local-name()='DocInfo']/*[4]),' ',"
                          "local-name(//*[local-name()='DocInfo']/*[5]))"),
             QString("DocID Title Author Creator CreatorVersion"));
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$")
                .match(xpath(entry, "string(//*[local-name()='DocID'])"))
                .hasMatch());
    QCOMPARE(xpath(entry, "string(//*[local-name()='DocRoot'])"), QString("Doc_0/Document.xml"));
    QVERIFY(bytes(entry).contains("<ofd:Title/>"));
    QVERIFY(bytes(entry).contains("<ofd:Author>scanvy</ofd:Author>"));

    // Each page's image object names the multimedia entry that holds a copy
    // of that page's file, under the page's own extension.
    const QString res = root + "/Doc_0/DocumentRes.xml";
    for (int i = 0; i < pages.size(); ++i) {
        const QString baseLoc =
            xpath(doc, QString("string(//*[local-name()='Page'][%1]/@BaseLoc)").arg(i + 1));
        QCOMPARE(baseLoc, QString("Pages/Page_%1/Content.xml").arg(i));
        const QString content = root + "/Doc_0/" + baseLoc;
        QCOMPARE(xpath(content, "string(//*[local-name()='Layer']/@Type)"), QString("Body"));
        QVERIFY(!xpath(content, "string(//*[local-name()='Layer']/@ID)").isEmpty());
        QVERIFY(!xpath(content, "string(//*[local-name()='ImageObject']/@ID)").isEmpty());
        const QString rid = xpath(content, "string(//*[local-name()='ImageObject']/@ResourceID)");
        const QString media = xpath(
            res,
            QString("string(//*[local-name()='MultiMedia'][@ID='%1']/*[local-name()='MediaFile'])").arg(rid));
        QCOMPARE(media, QString("image_%1.%2").arg(i + 1).arg(QFileInfo(pages[i]).suffix()));
        QCOMPARE(xpath(res, QString("string(//*[local-name()='MultiMedia'][@ID='%1']/@Type)").arg(rid)),
                 QString("Image"));
        QCOMPARE(bytes(root + "/Doc_0/Res/" + media), bytes(pages[i]));
    }
    const QString pub = root + "/Doc_0/PublicRes.xml";
    QCOMPARE(xpath(pub, "count(//*[local-name()='Font'])"), QString("5"));
    QCOMPARE(xpath(pub, "string(//*[local-name()='Font'][@ID='3']/@FontName)"), QString("新宋体"));
}

void TestOfd::pageSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<QString>("box");
    // A JPEG's JFIF density as stored in the file (unit, x, y), when not as
    // Qt writes it.
    QTest::addColumn<QByteArray>("jfif");
    QTest::newRow("A4 at 200 dpi") << "a4.jpg" << QSize(1654, 2339) << 200 << 200 << "210.058 297.053"
                                   << QByteArray();
    QTest::newRow("300 x 150 dpi uses 300")
        << "wide.png" << QSize(600, 300) << 300 << 150 << "50.8 25.4" << QByteArray();
    QTest::newRow("pnm 300 dpi comment")
        << "scan.pnm" << QSize(300, 600) << 300 << 300 << "25.4 50.8" << QByteArray();
    QTest::newRow("zero resolution uses 200")
        << "zero.jpg" << QSize(400, 200) << 0 << 0 << "50.8 25.4" << QByteArray("\x01\0\0\0\0", 5);
    // 118 dots per centimetre is 299.72 dpi, taken as a whole 300 dpi.
    QTest::newRow("118 dots per centimetre")
        << "cm.jpg" << QSize(590, 295) << 72 << 72 << "49.9533 24.9767" << QByteArray("\x02\0\x76\0\x76", 5);
}

void TestOfd::pageSizes()
{
    QFETCH(QString, name);
    QFETCH(QSize, pixels);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(QString, box);
    QFETCH(QByteArray, jfif);
    const QString file = path(name);
    QImage image = pattern(pixels.width(), pixels.height(), QImage::Format_RGB32, 72);
    image.setDotsPerMeterX(qRound(dpiX / 0.0254));
    image.setDotsPerMeterY(qRound(dpiY / 0.0254));
    QVERIFY(write(image, file, dpiX));
    if (!jfif.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray data = f.readAll();
        QVERIFY(data.mid(6, 5) == QByteArray("JFIF\0", 5));
        data.replace(13, 5, jfif);
        f.seek(0);
        f.write(data);
    }
    ImageProc proc;
    QVERIFY(proc.SaveOFD(file, path("one.ofd")));
    const QString root = unpack(path("one.ofd"));
    const QString content = root + "/Doc_0/Pages/Page_0/Content.xml";
    const QStringList wh = box.split(' ');
    QCOMPARE(xpath(content, "string(//*[local-name()='Area']/*[local-name()='PhysicalBox'])"), "0 0 " + box);
    QCOMPARE(xpath(content, "string(//*[local-name()='ImageObject']/@Boundary)"), "0 0 " + box);
    QCOMPARE(xpath(content, "string(//*[local-name()='ImageObject']/@CTM)"),
             wh[0] + " 0 0 " + wh[1] + " 0 0");
    if (name.endsWith(".pnm")) // packaged as PNG: see mediaEntries
        QVERIFY(QFileInfo::exists(root + "/Doc_0/Res/image_1.png"));
    else
        QCOMPARE(bytes(root + "/Doc_0/Res/image_1." + QFileInfo(name).suffix()), bytes(file));
}

void TestOfd::secondSaveReplacesFirst()
{
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("b.png")));
    ImageProc proc;
    QVERIFY(proc.SaveMultiOFD({path("a.jpg"), path("b.png"), path("a.jpg")}, path("doc.ofd")));
    QVERIFY(proc.SaveMultiOFD({path("b.png")}, path("doc.ofd")));
    const QString listing = run("unzip", {"-Z1", path("doc.ofd")});
    QVERIFY(listing.contains("Doc_0/Res/image_1.png"));
    QVERIFY(!listing.contains("image_2"));
    QVERIFY(!listing.contains("image_1.jpg"));
    QVERIFY(!listing.contains("Page_1"));
    const QString root = unpack(path("doc.ofd"));
    QCOMPARE(xpath(root + "/Doc_0/Document.xml", "count(//*[local-name()='Page'])"), QString("1"));
    QCOMPARE(xpath(root + "/Doc_0/Document.xml", "string(//*[local-name()='MaxUnitID'])"), QString("9"));
}

void TestOfd::mediaEntries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("media");  // file name in the package
    QTest::addColumn<QString>("method"); // zip method of that entry
    QTest::newRow("colour JPEG") << "p.jpg" << int(QImage::Format_RGB32) << "image_1.jpg"
                                 << "stor";
    QTest::newRow("bilevel TIFF") << "p.tiff" << int(QImage::Format_Mono) << "image_1.tiff"
                                  << "defN";
    QTest::newRow("colour TIFF") << "p.tiff" << int(QImage::Format_RGB32) << "image_1.tiff"
                                 << "defN";
    QTest::newRow("PNG") << "p.png" << int(QImage::Format_RGB32) << "image_1.png"
                         << "stor";
    QTest::newRow("grey PNM") << "p.pnm" << int(QImage::Format_Grayscale8) << "image_1.png"
                              << "stor";
    QTest::newRow("colour PNM") << "p.pnm" << int(QImage::Format_RGB32) << "image_1.png"
                                << "stor";
    QTest::newRow("bilevel PNM") << "p.pnm" << int(QImage::Format_Mono) << "image_1.png"
                                 << "stor";
}

// Every standard image format goes in byte for byte; PNM pages, which no
// reader shows, go in as PNG of the same pixels and resolution. Entries that
// are not compressed already are deflated.
void TestOfd::mediaEntries()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QString, media);
    QFETCH(QString, method);
    const QImage image = document(300, 420, QImage::Format(format), 100);
    QVERIFY(write(image, path(name), 100));
    ImageProc proc;
    QVERIFY(proc.SaveOFD(path(name), path("doc.ofd")));
    const QString root = unpack(path("doc.ofd"));
    QCOMPARE(xpath(root + "/Doc_0/DocumentRes.xml", "string(//*[local-name()='MediaFile'])"), media);
    const QString packaged = root + "/Doc_0/Res/" + media;
    if (!name.endsWith(".pnm")) {
        QCOMPARE(bytes(packaged), bytes(path(name)));
    } else {
        QCOMPARE(QImageReader(packaged).format(), QByteArray("png"));
        const QImage png(packaged);
        const QImage page = ImageProc::LoadPage(path(name));
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32), page.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(png.dotsPerMeterX(), page.dotsPerMeterX());
    }
    // zipinfo: permissions, version, system, size, type, method, date, time, name.
    QMap<QString, QString> methods;
    for (const QString& line : run("zipinfo", {path("doc.ofd")}).split('\n')) {
        const QStringList c = line.simplified().split(' ');
        if (c.size() == 9)
            methods[c[8]] = c[5];
    }
    QCOMPARE(methods.value("Doc_0/Res/" + media), method);
    for (auto it = methods.cbegin(); it != methods.cend(); ++it) {
        if (it.key().endsWith(".xml"))
            QVERIFY2(it.value() == "defN", qPrintable(it.key()));
    }
}

// Black-and-white pages as the scanner delivers them (uncompressed TIFF)
// make an OFD within three times the size of the PDF of the same pages,
// whose pages are CCITT G4 coded.
void TestOfd::bilevelPagesCompact()
{
    QList<QString> pages;
    for (int i = 0; i < 6; ++i) {
        pages << path(QString("bw%1.tiff").arg(i));
        QVERIFY(write(document(2480, 3508, QImage::Format_Mono, 300, quint32(i + 1)), pages.last()));
    }
    ImageProc proc;
    QVERIFY(proc.SaveMultiOFD(pages, path("bw.ofd")));
    QVERIFY(proc.SaveMultiPDF(pages, path("bw.pdf")));
    const qint64 ofd = QFileInfo(path("bw.ofd")).size();
    const qint64 pdf = QFileInfo(path("bw.pdf")).size();
    qint64 raw = 0;
    for (const QString& p : pages)
        raw += QFileInfo(p).size();
    QVERIFY2(ofd <= 3 * pdf,
             qPrintable(QString("OFD %1, PDF %2, pages %3 bytes").arg(ofd).arg(pdf).arg(raw)));
}

// The package is staged in a folder of its own inside the program's private
// folder, its files readable by the user only, and the folder is gone when
// the writer is.
void TestOfd::privateStaging()
{
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(write(pattern(80, 60, QImage::Format_Grayscale8, 200), path("b.pnm"), 200));
    // The staging folders are the "ofd-*" folders that appear in the
    // program's private folder while the writers live.
    const auto stagingFolders = [] {
        return QDir(GetTempDir()).entryList({QStringLiteral("ofd-*")}, QDir::Dirs | QDir::Hidden);
    };
    const QStringList before = stagingFolders();
    QString first;
    {
        OFDProcess ofd(path("doc.ofd"));
        QStringList made = stagingFolders();
        for (const QString& name : before)
            made.removeAll(name);
        QCOMPARE(made.size(), 1);
        first = QDir(GetTempDir()).filePath(made.first());
        OFDProcess other(path("other.ofd"));
        QCOMPARE(stagingFolders().size(), before.size() + 2);
        QVERIFY(ofd.createOFD(ofd.AddImages({path("a.jpg"), path("b.pnm")})));
        QCOMPARE(int(QFileInfo(first).permissions() & 0x0777), 0x0700);
        int files = 0;
        QDirIterator it(first, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo f(it.next());
            ++files;
            QVERIFY2((f.permissions() & 0x0777) == 0x0600, qPrintable(f.filePath()));
        }
        QCOMPARE(files, 4 + 2 + 2);
    }
    QVERIFY(!QFileInfo::exists(first));
    QCOMPARE(stagingFolders(), before);
}

void TestOfd::failures_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("target");
    QTest::newRow("missing page") << QStringList{"a.jpg", "gone.jpg"} << "out.ofd";
    QTest::newRow("no pages") << QStringList{} << "out.ofd";
    QTest::newRow("target folder missing") << QStringList{"a.jpg"} << "no/such/out.ofd";
    QTest::newRow("target is a folder") << QStringList{"a.jpg"} << "folder.ofd";
}

void TestOfd::failures()
{
    QFETCH(QStringList, pages);
    QFETCH(QString, target);
    QVERIFY(write(pattern(40, 30, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(QDir().mkpath(path("folder.ofd/inside")));
    QList<QString> files;
    for (const QString& p : pages)
        files << path(p);
    const QStringList before =
        QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ImageProc proc;
    QVERIFY(!proc.SaveMultiOFD(files, path(target)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QVERIFY(QFileInfo(path("folder.ofd/inside")).isDir());
}

void TestOfd::fullDiskKeepsOldTarget()
{
    const QImage noise = PageMaker::noise(300, 300, 3);
    QVERIFY(write(noise, path("big.png")));
    ImageProc proc;
    // The disk fills up just before the package is complete. The document id
    // and date make each package's compressed size vary by a few bytes, so
    // stop short by more than that; the zip's closing directory is longer.
    QVERIFY(proc.SaveOFD(path("big.png"), path("probe.ofd")));
    const qint64 size = QFileInfo(path("probe.ofd")).size();
    QFile old(path("out.ofd"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older package");
    old.close();
    bool saved = true;
    {
        FileSizeLimit limit(quint64(size - 64));
        saved = proc.SaveOFD(path("big.png"), path("out.ofd"));
    }
    QVERIFY(!saved);
    QCOMPARE(bytes(path("out.ofd")), QByteArray("older package"));
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).filter(".part").isEmpty());
}

QTEST_MAIN(TestOfd)
#include "tst_ofd.moc"
