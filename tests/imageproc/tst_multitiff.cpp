// Multi-page TIFF: the directory copier against libtiff's tiffcp, and
// ImageProc::SaveMultiTiff.
#include "imageproc.h"
#include "pagemaker.h"
#include "tiffassembler.h"
#include "tiffcombine.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

using namespace PageMaker;

class TestMultiTiff : public QObject {
    Q_OBJECT
private slots:
    void init();
    void matchesTiffcp_data();
    void matchesTiffcp();
    void rejectedInputs_data();
    void rejectedInputs();
    void emptyList();
    void commaInPath();
    void directorySelector();
    void imageMatchesQtFileCopy_data();
    void imageMatchesQtFileCopy();
    void saveMissingPage();
    void saveEqualsCopyOfQtFiles();
    void saveFailureKeepsOldTarget_data();
    void saveFailureKeepsOldTarget();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void makeInputs();
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestMultiTiff::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    makeInputs();
}

void TestMultiTiff::makeInputs()
{
    QVERIFY(writeTiff(path("rgb.tif"), 70, 37, 3, 8, 1, 300, 300));
    QVERIFY(writeTiff(path("grey.tif"), 64, 40, 1, 8, 1, 200, 200));
    QVERIFY(writeTiff(path("mono.tif"), 90, 33, 1, 1, 1, 600, 600));
    QVERIFY(writeTiff(path("three.tif"), 48, 20, 3, 8, 3, 150, 150));
    QVERIFY(writeTiff(path("nores.tif"), 40, 10, 3, 8, 1, 0, 0));
    QVERIFY(writeTiff(path("cm.tif"), 40, 30, 1, 8, 1, 80, 40, true));
}

void TestMultiTiff::matchesTiffcp_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("compression");
    QTest::addColumn<int>("tolerance");
    for (const char* c : {"jpeg", "zip", "lzw"}) {
        const int tol = QByteArray(c) == "jpeg" ? 2 : 0;
        QTest::addRow("rgb %s", c) << QStringList{"rgb.tif"} << c << tol;
        QTest::addRow("grey %s", c) << QStringList{"grey.tif"} << c << tol;
        QTest::addRow("three directories %s", c) << QStringList{"three.tif"} << c << tol;
        QTest::addRow("mixed list %s", c)
            << QStringList{"rgb.tif", "three.tif", "grey.tif", "cm.tif"} << c << tol;
        QTest::addRow("no resolution %s", c) << QStringList{"nores.tif"} << c << tol;
    }
    QTest::newRow("bilevel zip") << QStringList{"mono.tif"} << "zip" << 0;
    QTest::newRow("bilevel lzw") << QStringList{"mono.tif", "rgb.tif"} << "lzw" << 0;
    QTest::newRow("jpeg of jpeg") << QStringList{"ref-jpeg-rgb.tif"} << "jpeg" << 4;
    QTest::newRow("zip of jpeg") << QStringList{"ref-jpeg-rgb.tif"} << "zip" << 0;
    QTest::newRow("jpeg quality 30") << QStringList{"rgb.tif"} << "jpeg:30" << 2;
    QTest::newRow("lzw predictor") << QStringList{"rgb.tif"} << "lzw:2" << 0;
}

void TestMultiTiff::matchesTiffcp()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, compression);
    QFETCH(int, tolerance);
    bool ok = false;
    // An already JPEG-compressed input, made by the reference tool itself.
    run("tiffcp", {"-c", "jpeg", "-r", "16", path("rgb.tif"), path("ref-jpeg-rgb.tif")}, &ok);
    QVERIFY(ok);
    QList<QString> files;
    for (const QString& in : inputs)
        files << path(in);
    const QString ours = path("ours.tif");
    const QString ref = path("ref.tif");
    run("tiffcp", QStringList{"-c", compression, "-r", "16"} + files + QStringList{ref}, &ok);
    QVERIFY(ok);
    QCOMPARE(combine2multiff(files, ours, compression), 0);

    QVERIFY(bytes(ours).startsWith("MM\0*"));
    const QVector<TiffDir> a = readTiff(ours);
    const QVector<TiffDir> b = readTiff(ref);
    QCOMPARE(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i) {
        QCOMPARE(a[i].width, b[i].width);
        QCOMPARE(a[i].height, b[i].height);
        QCOMPARE(a[i].bits, b[i].bits);
        QCOMPARE(a[i].samples, b[i].samples);
        QCOMPARE(a[i].photometric, b[i].photometric);
        QCOMPARE(a[i].compression, b[i].compression);
        QCOMPARE(a[i].rowsPerStrip, qMin<quint32>(16, a[i].height));
        QCOMPARE(a[i].unit, b[i].unit);
        QCOMPARE(a[i].xres, b[i].xres);
        QCOMPARE(a[i].yres, b[i].yres);
        QVERIFY2(maxDifference(a[i], b[i]) <= tolerance,
                 qPrintable(QString::number(maxDifference(a[i], b[i]))));
    }
}

void TestMultiTiff::rejectedInputs_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("compression");
    QTest::newRow("unknown compression") << QStringList{"rgb.tif"} << "lzma-ish";
    QTest::newRow("bad jpeg option") << QStringList{"rgb.tif"} << "jpeg:x";
    QTest::newRow("missing input") << QStringList{"rgb.tif", "missing.tif"} << "lzw";
    QTest::newRow("not a tiff") << QStringList{"rgb.tif", "text.tif"} << "lzw";
    QTest::newRow("bilevel as jpeg") << QStringList{"rgb.tif", "mono.tif"} << "jpeg";
    QTest::newRow("selector beyond last directory") << QStringList{"three.tif,7"} << "lzw";
}

void TestMultiTiff::rejectedInputs()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, compression);
    QFile text(path("text.tif"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("plain text");
    text.close();
    QList<QString> files;
    for (const QString& in : inputs)
        files << path(in);
    const QString out = path("out.tif");
    QFile old(out);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier document");
    old.close();
    const QStringList before = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(combine2multiff(files, out, compression), 1);
    QCOMPARE(bytes(out), QByteArray("earlier document"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), before);
}

void TestMultiTiff::emptyList()
{
    QCOMPARE(combine2multiff({}, path("empty.tif"), "jpeg"), 0);
    QCOMPARE(bytes(path("empty.tif")).left(4), QByteArray("MM\0*", 4));
    QVERIFY(readTiff(path("empty.tif")).isEmpty());
}

void TestMultiTiff::commaInPath()
{
    QVERIFY(QFile::copy(path("three.tif"), path("scan,1.tif")));
    QCOMPARE(compresstiff(path("scan,1.tif"), path("out.tif"), "lzw"), 0);
    QCOMPARE(readTiff(path("out.tif")).size(), 3);
}

void TestMultiTiff::directorySelector()
{
    QVERIFY(writeTiff(path("sizes.tif"), 30, 10, 1, 8, 1));
    QList<QString> files{path("three.tif") + ",2", path("sizes.tif")};
    QCOMPARE(combine2multiff(files, path("out.tif"), "zip"), 0);
    const QVector<TiffDir> dirs = readTiff(path("out.tif"));
    QCOMPARE(dirs.size(), 2);
    const QVector<TiffDir> three = readTiff(path("three.tif"));
    QCOMPARE(maxDifference(dirs[0], three[2]), 0);
    QVERIFY(maxDifference(dirs[0], three[0]) > 0);
    QCOMPARE(dirs[1].width, 30u);
}

void TestMultiTiff::imageMatchesQtFileCopy_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("compression");
    QTest::newRow("rgb 300 dpi jpeg") << int(QImage::Format_RGB32) << 300 << "jpeg";
    QTest::newRow("grey 200 dpi jpeg") << int(QImage::Format_Grayscale8) << 200 << "jpeg";
    QTest::newRow("rgb 254 dpi (whole dots per cm) zip") << int(QImage::Format_RGB32) << 254 << "zip";
    QTest::newRow("grey 600 dpi lzw") << int(QImage::Format_Grayscale8) << 600 << "lzw";
}

// Writing a decoded page straight into the TIFF must give the very file that
// copying Qt's own TIFF of that page gives.
void TestMultiTiff::imageMatchesQtFileCopy()
{
    QFETCH(int, format);
    QFETCH(int, dpi);
    QFETCH(QString, compression);
    const QImage image = pattern(101, 67, QImage::Format(format), dpi);
    QVERIFY(image.save(path("qt.tiff"), "tiff"));
    QCOMPARE(compresstiff(path("qt.tiff"), path("copied.tiff"), compression), 0);
    TiffAssembler tiff;
    QVERIFY(tiff.Open(path("direct.tiff"), compression));
    QVERIFY(tiff.AddImage(image));
    QVERIFY(tiff.Commit());
    QCOMPARE(bytes(path("direct.tiff")), bytes(path("copied.tiff")));
}

void TestMultiTiff::saveMissingPage()
{
    QVERIFY(write(pattern(40, 40, QImage::Format_RGB32, 300), path("a.jpg")));
    ImageProc proc;
    const QStringList scanBefore = QDir(proc.ScanDir()).entryList(QDir::Files);
    QVERIFY(!proc.SaveMultiTiff({path("a.jpg"), path("gone.jpg")}, path("all.tiff")));
    QVERIFY(!QFileInfo::exists(path("all.tiff")));
    QCOMPARE(QDir(proc.ScanDir()).entryList(QDir::Files), scanBefore);
}

// The pages written straight (the next one decoded on another thread) give
// the very file that copying Qt's TIFF of every page widened to RGB gives.
void TestMultiTiff::saveEqualsCopyOfQtFiles()
{
    QVERIFY(write(pattern(130, 70, QImage::Format_RGB32, 300), path("a.jpg")));
    QVERIFY(write(pattern(90, 50, QImage::Format_Grayscale8, 200), path("b.jpg")));
    QVERIFY(write(pattern(64, 64, QImage::Format_Mono, 300), path("c.tiff")));
    QVERIFY(write(pattern(70, 40, QImage::Format_RGB32, 150), path("d.png")));
    const QList<QString> pages{path("a.jpg"), path("b.jpg"), path("c.tiff"), path("d.png"), path("a.jpg")};
    QList<QString> widened;
    for (int i = 0; i < pages.size(); ++i) {
        widened << path(QString("wide%1.tiff").arg(i));
        QVERIFY(QImage(pages[i]).convertToFormat(QImage::Format_RGB32).save(widened.last(), "tiff", 100));
    }
    QCOMPARE(combine2multiff(widened, path("expected.tiff"), "jpeg"), 0);
    ImageProc proc;
    QVERIFY(proc.SaveMultiTiff(pages, path("all.tiff")));
    QCOMPARE(bytes(path("all.tiff")), bytes(path("expected.tiff")));
}

void TestMultiTiff::saveFailureKeepsOldTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("full disk") << "all.tiff" << true;
    QTest::newRow("folder missing") << "no/such/all.tiff" << false;
    QTest::newRow("target is a folder") << "folder.tiff" << false;
}

void TestMultiTiff::saveFailureKeepsOldTarget()
{
    QFETCH(QString, target);
    QFETCH(bool, fullDisk);
    const QImage noise = PageMaker::noise(300, 300, 11);
    QVERIFY(write(noise, path("page.png")));
    QVERIFY(QDir().mkpath(path("folder.tiff/inside")));
    QFile old(path("all.tiff"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older document");
    old.close();
    const QStringList before =
        QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ImageProc proc;
    const QList<QString> pages{path("page.png"), path("page.png"), path("page.png")};
    // A full disk strikes one byte before the file is complete.
    QVERIFY(proc.SaveMultiTiff(pages, m_dir->path() + "/../probe.tiff"));
    const qint64 size = QFileInfo(m_dir->path() + "/../probe.tiff").size();
    QFile::remove(m_dir->path() + "/../probe.tiff");
    bool saved = true;
    {
        QScopedPointer<FileSizeLimit> limit(fullDisk ? new FileSizeLimit(quint64(size - 1)) : nullptr);
        saved = proc.SaveMultiTiff(pages, path(target));
    }
    QVERIFY(!saved);
    QCOMPARE(bytes(path("all.tiff")), QByteArray("older document"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

QTEST_MAIN(TestMultiTiff)
#include "tst_multitiff.moc"
