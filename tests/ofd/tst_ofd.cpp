// OFD packages: page sizes from every kind of resolution, the private
// staging folder the package is put together in, and a cut-off JPEG page
// refused by the package writer itself.
#include "imageproc.h"
#include "ofdprocess.h"
#include "pagemaker.h"
#include "sessioncheck.h"
#include "temppath.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace PageMaker;

namespace {

QString xpath(const QString& file, const QString& expr)
{
    return SessionCheck::Run("xmllint", {"--xpath", expr, file}).trimmed();
}

} // namespace

class TestOfd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pageSizes_data();
    void pageSizes();
    void privateStaging();
    void truncatedJpegRefused();

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
    SessionCheck::Run("unzip", {"-q", ofd, "-d", dir}, &ok);
    return ok ? dir : QString();
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
    if (name.endsWith(".pnm")) // packaged as PNG
        QVERIFY(QFileInfo::exists(root + "/Doc_0/Res/image_1.png"));
    else
        QCOMPARE(bytes(root + "/Doc_0/Res/image_1." + QFileInfo(name).suffix()), bytes(file));
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

// JPEG pages go into the package as they are: one whose end is missing (cut
// off after the checks of the save began) must fail the package, naming it.
void TestOfd::truncatedJpegRefused()
{
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("b.jpg")));
    QFile cut(path("b.jpg"));
    QVERIFY(cut.resize(cut.size() - 40));
    OFDProcess ofd(path("doc.ofd"));
    QVERIFY(!ofd.createOFD(ofd.AddImages({path("a.jpg"), path("b.jpg")})));
    QCOMPARE(ofd.Failure().page, 1);
    QCOMPARE(ofd.Failure().path, path("b.jpg"));
    QVERIFY(!QFileInfo::exists(path("doc.ofd")));
}

QTEST_MAIN(TestOfd)
#include "tst_ofd.moc"
