// Single-file conversion: copy shortcut, resolution carrying, TIFF
// recompression, rotation in place and failure paths.
#include "imageproc.h"
#include "pagemaker.h"
#include "temppath.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using namespace PageMaker;

namespace {

QStringList leftovers(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(".part");
}

} // namespace

class TestSaveAs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void copyShortcut_data();
    void copyShortcut();
    void copyShortcutUnremovableTarget();
    void pnmResolution_data();
    void pnmResolution();
    void tiffRecompression_data();
    void tiffRecompression();
    void rotateInPlace_data();
    void rotateInPlace();
    void rejectedTargets_data();
    void rejectedTargets();
    void fullDiskKeepsOldTarget_data();
    void fullDiskKeepsOldTarget();
    void tempPathsDistinct();

private:
    QString page(const QString& name, const QImage& image, int pnmDpi = 0);
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestSaveAs::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestSaveAs::page(const QString& name, const QImage& image, int pnmDpi)
{
    const QString path = m_dir->filePath(name);
    if (!write(image, path, pnmDpi))
        return QString();
    return path;
}

void TestSaveAs::copyShortcut_data()
{
    QTest::addColumn<QString>("ext");
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("jpg") << "jpg" << false;
    QTest::newRow("png") << "png" << false;
    QTest::newRow("pnm") << "pnm" << false;
    QTest::newRow("unknown extension, equal") << "bmp" << false;
    QTest::newRow("jpg onto itself") << "jpg" << true;
    QTest::newRow("pnm onto itself") << "pnm" << true;
}

void TestSaveAs::copyShortcut()
{
    QFETCH(QString, ext);
    QFETCH(bool, inPlace);
    const QString src = page("page." + ext, pattern(64, 48, QImage::Format_RGB32, 300), 300);
    QVERIFY(!src.isEmpty());
    const QByteArray original = bytes(src);
    const QString dst = inPlace ? src : m_dir->filePath("out." + ext);
    if (!inPlace) {
        QFile old(dst);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older, different target");
    }
    ImageProc proc;
    QVERIFY(proc.SaveAs(src, dst, 0.0, true));
    QCOMPARE(bytes(dst), original);
    QCOMPARE(bytes(src), original);
    QVERIFY(leftovers(m_dir->path()).isEmpty());
}

void TestSaveAs::copyShortcutUnremovableTarget()
{
    const QString src = page("page.jpg", pattern(32, 32, QImage::Format_RGB32, 200));
    const QString dst = m_dir->filePath("busy.jpg");
    QVERIFY(QDir().mkpath(dst + "/inside"));
    ImageProc proc;
    QVERIFY(!proc.SaveAs(src, dst, 0.0, true));
    QVERIFY(QFileInfo(dst + "/inside").isDir());
    QVERIFY(leftovers(m_dir->path()).isEmpty());
}

void TestSaveAs::pnmResolution_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("dpi");
    QTest::newRow("comment") << QByteArray("P5\n#dpi:300\n1 1\n255\n\x01") << 300;
    QTest::newRow("no comment") << QByteArray("P5\n1 1\n255\n\x01") << 200;
    QTest::newRow("other comment") << QByteArray("P5\n# dpi:300\n1 1\n255\n\x01") << 200;
    QTest::newRow("upper case") << QByteArray("P5\n#DPI:300\n1 1\n255\n\x01") << 200;
    QTest::newRow("not a number") << QByteArray("P5\n#dpi:abc\n1 1\n255\n\x01") << 0;
    QTest::newRow("empty file") << QByteArray() << 200;
}

void TestSaveAs::pnmResolution()
{
    QFETCH(QByteArray, content);
    QFETCH(int, dpi);
    const QString path = m_dir->filePath("page.pnm");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    QCOMPARE(ImageProc::GetPNMResolution(path), dpi);
    QCOMPARE(ImageProc::GetPNMResolution(m_dir->filePath("missing.pnm")), 200);
}

void TestSaveAs::tiffRecompression_data()
{
    QTest::addColumn<QString>("srcName");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("jpegInTiff");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("photometric");
    QTest::newRow("colour jpg") << "page.jpg" << int(QImage::Format_RGB32) << true << "JPEG"
                                << "YCbCr";
    QTest::newRow("grey jpg") << "page.jpg" << int(QImage::Format_Grayscale8) << true << "JPEG"
                              << "min-is-black";
    QTest::newRow("colour jpg, no jpeg") << "page.jpg" << int(QImage::Format_RGB32) << false << "AdobeDeflate"
                                         << "RGB";
    QTest::newRow("bilevel tiff") << "page.tiff" << int(QImage::Format_Mono) << true << "AdobeDeflate"
                                  << "min-is-";
    QTest::newRow("rgb tiff") << "page.tiff" << int(QImage::Format_RGB32) << true << "JPEG"
                              << "YCbCr";
    QTest::newRow("grey png") << "page.png" << int(QImage::Format_Grayscale8) << true << "JPEG"
                              << "min-is-black";
    QTest::newRow("png with alpha") << "page.png" << int(QImage::Format_ARGB32) << true << "JPEG"
                                    << "YCbCr";
    QTest::newRow("palette png") << "page.png" << int(QImage::Format_Indexed8) << true << "JPEG"
                                 << "YCbCr";
    QTest::newRow("png with alpha, no jpeg")
        << "page.png" << int(QImage::Format_ARGB32) << false << "AdobeDeflate"
        << "RGB";
    QTest::newRow("tiff onto itself") << "out.tiff" << int(QImage::Format_RGB32) << true << "JPEG"
                                      << "YCbCr";
}

void TestSaveAs::tiffRecompression()
{
    QFETCH(QString, srcName);
    QFETCH(int, format);
    QFETCH(bool, jpegInTiff);
    QFETCH(QString, scheme);
    QFETCH(QString, photometric);
    const QImage image = pattern(120, 90, QImage::Format(format), 300);
    const QString src = page(srcName, image);
    QVERIFY(!src.isEmpty());
    const QString dst = m_dir->filePath("out.tiff");
    ImageProc proc;
    QVERIFY(proc.SaveAs(src, dst, 0.0, jpegInTiff));
    bool ok = false;
    const QString info = run("tiffinfo", {dst}, &ok);
    QVERIFY2(ok, qPrintable(info));
    QVERIFY2(info.contains("Compression Scheme: " + scheme + "\n"), qPrintable(info));
    QVERIFY2(info.contains("Photometric Interpretation: " + photometric), qPrintable(info));
    QVERIFY2(info.contains("Rows/Strip: 16"), qPrintable(info));
    QVERIFY2(info.contains("Resolution: 300, 300 pixels/inch"), qPrintable(info));
    QVERIFY(bytes(dst).startsWith("MM"));
    const QImage out(dst);
    QCOMPARE(out.size(), image.size());
    QVERIFY(leftovers(m_dir->path()).isEmpty());
}

void TestSaveAs::rotateInPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<double>("angle");
    QTest::addColumn<QByteArray>("magic");
    const struct {
        const char* name;
        QImage::Format format;
        QByteArray magic;
    } kinds[] = {
        {"page.jpg", QImage::Format_RGB32, "\xff\xd8"}, {"page.png", QImage::Format_RGB32, "\x89PNG"},
        {"page.pnm", QImage::Format_RGB32, "P6"},       {"grey.pnm", QImage::Format_Grayscale8, "P5"},
        {"mono.pnm", QImage::Format_Mono, "P4"},        {"page.tiff", QImage::Format_RGB32, ""},
        {"mono.tiff", QImage::Format_Mono, ""}};
    for (const auto& k : kinds) {
        for (double angle : {90.0, -90.0, 180.0})
            QTest::addRow("%s %g", k.name, angle) << k.name << int(k.format) << angle << k.magic;
    }
}

void TestSaveAs::rotateInPlace()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(double, angle);
    QFETCH(QByteArray, magic);
    const QString path = page(name, pattern(80, 40, QImage::Format(format), 200), 200);
    QVERIFY(!path.isEmpty());
    ImageProc proc;
    QVERIFY(proc.SaveAs(path, path, angle, true));
    QVERIFY(bytes(path).startsWith(magic));
    const QImage out(path);
    const bool quarter = angle != 180.0;
    QCOMPARE(out.size(), quarter ? QSize(40, 80) : QSize(80, 40));
    // The black marker starts in the top-left corner.
    const int w = out.width() - 1, h = out.height() - 1;
    const QPoint marker = angle == 90.0    ? QPoint(w - 2, 2)
                          : angle == -90.0 ? QPoint(2, h - 2)
                                           : QPoint(w - 2, h - 2);
    QVERIFY2(qGray(out.pixel(marker)) < 60, "marker not where the rotation puts it");
    QVERIFY(qGray(out.pixel(2, 2)) > 60 || format == QImage::Format_Mono);
    if (format == QImage::Format_Mono)
        QVERIFY(out.depth() == 1);
    QVERIFY(leftovers(m_dir->path()).isEmpty());
}

void TestSaveAs::rejectedTargets_data()
{
    QTest::addColumn<QString>("srcName");
    QTest::addColumn<QString>("dstName");
    QTest::addColumn<double>("angle");
    QTest::newRow("bmp") << "page.jpg"
                         << "out.bmp" << 0.0;
    QTest::newRow("jpeg spelling") << "page.jpg"
                                   << "out.jpeg" << 0.0;
    QTest::newRow("no extension") << "page.jpg"
                                  << "out" << 0.0;
    QTest::newRow("rotated bmp") << "page.bmp"
                                 << "page.bmp" << 90.0;
    QTest::newRow("missing source") << "missing.jpg"
                                    << "out.png" << 0.0;
    QTest::newRow("missing source, copy") << "missing.jpg"
                                          << "out.jpg" << 0.0;
    QTest::newRow("undecodable source") << "garbage.jpg"
                                        << "out.png" << 0.0;
    QTest::newRow("empty target") << "page.jpg"
                                  << "" << 0.0;
    QTest::newRow("folder missing") << "page.jpg"
                                    << "no/such/out.png" << 0.0;
    QTest::newRow("folder is a file") << "page.jpg"
                                      << "page.jpg/out.jpg" << 0.0;
}

void TestSaveAs::rejectedTargets()
{
    QFETCH(QString, srcName);
    QFETCH(QString, dstName);
    QFETCH(double, angle);
    const QImage image = pattern(40, 30, QImage::Format_RGB32, 200);
    QVERIFY(write(image, m_dir->filePath("page.jpg")));
    QVERIFY(image.save(m_dir->filePath("page.bmp"), "BMP"));
    QFile garbage(m_dir->filePath("garbage.jpg"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not an image at all");
    garbage.close();
    const QStringList before = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    const QByteArray bmp = bytes(m_dir->filePath("page.bmp"));

    ImageProc proc;
    QVERIFY(!proc.SaveAs(m_dir->filePath(srcName), dstName.isEmpty() ? QString() : m_dir->filePath(dstName),
                         angle, true));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), before);
    QCOMPARE(bytes(m_dir->filePath("page.bmp")), bmp);
}

void TestSaveAs::fullDiskKeepsOldTarget_data()
{
    QTest::addColumn<QString>("srcName");
    QTest::addColumn<QString>("dstName");
    QTest::addColumn<double>("angle");
    QTest::newRow("jpg to pnm") << "page.jpg"
                                << "out.pnm" << 0.0;
    QTest::newRow("jpg to png") << "page.jpg"
                                << "out.png" << 0.0;
    QTest::newRow("png copy") << "page.png"
                              << "out.png" << 0.0;
    QTest::newRow("jpg to tiff") << "page.jpg"
                                 << "out.tiff" << 0.0;
    QTest::newRow("jpg rotated") << "page.jpg"
                                 << "out.jpg" << 90.0;
    QTest::newRow("pnm rotated in place") << "out.pnm"
                                          << "out.pnm" << 90.0;
}

// The disk fills up one byte before the output is complete.
void TestSaveAs::fullDiskKeepsOldTarget()
{
    QFETCH(QString, srcName);
    QFETCH(QString, dstName);
    QFETCH(double, angle);
    const QImage noise = PageMaker::noise(200, 150, 1);
    const QString src = page(srcName, noise);
    QVERIFY(!src.isEmpty());
    ImageProc proc;
    const QString probe = m_dir->filePath("probe." + QFileInfo(dstName).suffix());
    QVERIFY(proc.SaveAs(src, probe, angle, true));
    const qint64 size = QFileInfo(probe).size();
    QVERIFY(size > 1000);

    const QString dst = m_dir->filePath(dstName);
    if (dst != src) {
        QFile old(dst);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous save");
    }
    const QByteArray before = bytes(dst);
    bool saved = true;
    {
        FileSizeLimit limit(quint64(size - 1));
        saved = proc.SaveAs(src, dst, angle, true);
    }
    QVERIFY(!saved);
    QCOMPARE(bytes(dst), before);
    QVERIFY(leftovers(m_dir->path()).isEmpty());
}

void TestSaveAs::tempPathsDistinct()
{
    const int perThread = 500;
    QVector<QStringList> names(2);
    std::thread a([&] {
        for (int i = 0; i < perThread; ++i)
            names[0] << GetTempFilePath("tiff");
    });
    std::thread b([&] {
        for (int i = 0; i < perThread; ++i)
            names[1] << GetTempFilePath("tiff");
    });
    a.join();
    b.join();
    const QStringList all = names[0] + names[1];
    QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 2 * perThread);
    const QRegularExpression shape("^" + QRegularExpression::escape(QDir::tempPath()) +
                                   "/zir/scanvy/scanimages/\\d{17}(_\\d+)?\\.tiff$");
    for (const QString& name : all)
        QVERIFY2(shape.match(name).hasMatch(), qPrintable(name));
    QVERIFY(QFileInfo(GetTempDir() + "/scanimages").isDir());
}

QTEST_MAIN(TestSaveAs)
#include "tst_saveas.moc"
