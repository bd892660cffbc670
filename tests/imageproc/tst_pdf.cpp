// PDF output: convert2pdf against libtiff's tiff2pdf, and the PDF savers.
#include "imageproc.h"
#include "pagemaker.h"
#include "pdfconvert.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace PageMaker;

namespace {

struct PdfFacts {
    int pages = 0;
    QStringList sizes;  // "w x h" per page, points rounded to 0.01
    QStringList images; // "width height color bpc enc" per image
};

PdfFacts facts(const QString& pdf)
{
    PdfFacts f;
    bool ok = false;
    const QString info = run("pdfinfo", {pdf}, &ok);
    if (!ok)
        return f;
    f.pages = QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
    const QString sizes = run("pdfinfo", {"-f", "1", "-l", QString::number(f.pages), pdf});
    auto it = QRegularExpression("size:\\s+([\\d.]+) x ([\\d.]+) pts").globalMatch(sizes);
    while (it.hasNext()) {
        const auto m = it.next();
        f.sizes << QString("%1 x %2")
                       .arg(m.captured(1).toDouble(), 0, 'f', 2)
                       .arg(m.captured(2).toDouble(), 0, 'f', 2);
    }
    const QStringList lines = run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    for (const QString& line : lines) {
        const QStringList c = line.simplified().split(' ');
        if (c.size() > 8)
            f.images << QStringList{c[3], c[4], c[5], c[7], c[8]}.join(' ');
    }
    return f;
}

// Page `page` of `pdf` rendered at `size` pixels.
QImage render(const QString& pdf, int page, const QSize& size)
{
    const QString prefix = pdf + "-render";
    bool ok = false;
    run("pdftoppm",
        {"-f", QString::number(page), "-l", QString::number(page), "-singlefile", "-png", "-scale-to-x",
         QString::number(size.width()), "-scale-to-y", QString::number(size.height()), pdf, prefix},
        &ok);
    return ok ? QImage(prefix + ".png") : QImage();
}

// Mean absolute grey difference between page `page` rendered at the image's
// own pixel size and `expected`.
double renderDifference(const QString& pdf, int page, const QImage& expected)
{
    const QImage rendered = render(pdf, page, expected.size());
    if (rendered.size() != expected.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            sum += qAbs(qGray(rendered.pixel(x, y)) - qGray(expected.pixel(x, y)));
    return sum / (expected.width() * expected.height());
}

} // namespace

class TestPdf : public QObject {
    Q_OBJECT
private slots:
    void init();
    void matchesTiff2pdf_data();
    void matchesTiff2pdf();
    void jpegPageEmbedded_data();
    void jpegPageEmbedded();
    void compactReencoding_data();
    void compactReencoding();
    void failures_data();
    void failures();
    void fullDisk();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestPdf::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestPdf::matchesTiff2pdf_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("rgb 300 dpi") << "rgb";
    QTest::newRow("grey 8 bit") << "grey";
    QTest::newRow("bilevel min-is-white") << "mono";
    QTest::newRow("no resolution") << "nores";
    QTest::newRow("centimetres") << "cm";
    QTest::newRow("three directories") << "three";
    QTest::newRow("qt rgb") << "qtrgb";
    QTest::newRow("qt grey") << "qtgrey";
    QTest::newRow("qt bilevel") << "qtmono";
    QTest::newRow("lzw multi-page") << "lzw";
}

void TestPdf::matchesTiff2pdf()
{
    QFETCH(QString, kind);
    const QString tif = path("in.tif");
    QImage expected;
    if (kind == "rgb")
        QVERIFY(writeTiff(tif, 200, 100, 3, 8, 1, 300, 300));
    else if (kind == "grey")
        QVERIFY(writeTiff(tif, 160, 120, 1, 8, 1, 200, 150));
    else if (kind == "mono")
        QVERIFY(writeTiff(tif, 200, 96, 1, 1, 1, 600, 600));
    else if (kind == "nores")
        QVERIFY(writeTiff(tif, 90, 60, 3, 8, 1, 0, 0));
    else if (kind == "cm")
        QVERIFY(writeTiff(tif, 100, 50, 3, 8, 1, 100, 50, true));
    else if (kind == "three")
        QVERIFY(writeTiff(tif, 64, 48, 3, 8, 3, 150, 150));
    else if (kind == "lzw") {
        QVERIFY(writeTiff(path("a.tif"), 64, 48, 3, 8, 2, 150, 150));
        QVERIFY(writeTiff(path("b.tif"), 80, 40, 1, 1, 1, 300, 300));
        bool ok = false;
        run("tiffcp", {"-c", "lzw", "-r", "16", path("a.tif"), path("b.tif"), tif}, &ok);
        QVERIFY(ok);
    } else {
        const QImage::Format f = kind == "qtrgb"    ? QImage::Format_RGB32
                                 : kind == "qtgrey" ? QImage::Format_Grayscale8
                                                    : QImage::Format_Mono;
        expected = pattern(150, 90, f, 300);
        QVERIFY(expected.save(tif, "tiff"));
    }
    const QString ref = path("ref.pdf");
    const QString ours = path("ours.pdf");
    bool ok = false;
    run("tiff2pdf", {"-j", "-o", ref, tif}, &ok);
    QVERIFY(ok);
    QCOMPARE(convert2pdf(tif, ours), 0);

    const PdfFacts a = facts(ours), b = facts(ref);
    QVERIFY(a.pages > 0);
    QCOMPARE(a.pages, b.pages);
    QCOMPARE(a.sizes, b.sizes);
    QCOMPARE(a.images, b.images);
    run("qpdf", {"--check", ours}, &ok);
    QVERIFY(ok);
    // Every page looks like the reference's page (same decoder, same JPEG
    // quality), and a picture that survives JPEG looks like its source.
    for (int page = 1; page <= a.pages; ++page) {
        const QStringList wh = a.images[page - 1].split(' ');
        const QImage theirs = render(ref, page, QSize(wh[0].toInt(), wh[1].toInt()));
        QVERIFY(!theirs.isNull());
        const double diff = renderDifference(ours, page, theirs);
        QVERIFY2(diff < 1.5, qPrintable(QString("page %1: %2").arg(page).arg(diff)));
    }
    if (!expected.isNull())
        QVERIFY(renderDifference(ours, 1, expected) < 6);
}

void TestPdf::jpegPageEmbedded_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("color");
    QTest::newRow("colour 300 dpi") << int(QImage::Format_RGB32) << 300 << "57.60 x 43.20"
                                    << "rgb";
    QTest::newRow("grey 200 dpi") << int(QImage::Format_Grayscale8) << 200 << "86.40 x 64.80"
                                  << "gray";
}

void TestPdf::jpegPageEmbedded()
{
    QFETCH(int, format);
    QFETCH(int, dpi);
    QFETCH(QString, size);
    QFETCH(QString, color);
    const QImage image = pattern(240, 180, QImage::Format(format), dpi);
    QVERIFY(write(image, path("page.jpg")));
    ImageProc proc;
    QVERIFY(proc.SavePDF(path("page.jpg"), path("page.pdf")));
    const PdfFacts f = facts(path("page.pdf"));
    QCOMPARE(f.pages, 1);
    QCOMPARE(f.sizes, QStringList{size});
    QCOMPARE(f.images, QStringList{QString("240 180 %1 8 jpeg").arg(color)});
    // The page's own JPEG data is shown, not a re-compression of it.
    bool ok = false;
    run("pdfimages", {"-j", path("page.pdf"), path("x")}, &ok);
    QVERIFY(ok);
    QCOMPARE(bytes(path("x-000.jpg")), bytes(path("page.jpg")));
    run("qpdf", {"--check", path("page.pdf")}, &ok);
    QVERIFY(ok);
    QVERIFY(renderDifference(path("page.pdf"), 1, QImage(path("page.jpg"))) < 3);
}

void TestPdf::compactReencoding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::newRow("grey TIFF page") << "page.tiff" << int(QImage::Format_Grayscale8);
    QTest::newRow("colour TIFF page") << "page.tiff" << int(QImage::Format_RGB32);
    QTest::newRow("colour PNG page") << "page.png" << int(QImage::Format_RGB32);
    QTest::newRow("grey PNM page") << "page.pnm" << int(QImage::Format_Grayscale8);
}

// Pages we compress ourselves come out no larger than tiff2pdf makes them
// from the same pixels, and with the same pixels.
void TestPdf::compactReencoding()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    const QImage page = document(1240, 1754, QImage::Format(format), 150);
    QVERIFY(write(page, path(name), 150));
    // The reference reads the same pixels from an uncompressed TIFF.
    QVERIFY(page.save(path("plain.tif"), "TIFF"));
    bool ok = false;
    run("tiff2pdf", {"-j", "-o", path("ref.pdf"), path("plain.tif")}, &ok);
    QVERIFY(ok);
    ImageProc proc;
    QVERIFY(proc.SavePDF(path(name), path("ours.pdf")));
    const qint64 ours = QFileInfo(path("ours.pdf")).size();
    const qint64 ref = QFileInfo(path("ref.pdf")).size();
    QVERIFY2(ours <= ref * 105 / 100, qPrintable(QString("%1 bytes against %2").arg(ours).arg(ref)));

    run("pdfimages", {"-j", path("ours.pdf"), path("ours")}, &ok);
    QVERIFY(ok);
    run("pdfimages", {"-j", path("ref.pdf"), path("ref")}, &ok);
    QVERIFY(ok);
    const QImage a(path("ours-000.jpg"));
    const QImage b(path("ref-000.jpg"));
    QVERIFY(!a.isNull());
    QCOMPARE(a.size(), b.size());
    QCOMPARE(a.convertToFormat(QImage::Format_RGB32), b.convertToFormat(QImage::Format_RGB32));
}

void TestPdf::failures_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing page") << QStringList{"1.jpg", "missing.jpg"} << "out.pdf" << QString();
    QTest::newRow("no pages") << QStringList{} << "out.pdf" << QString();
    QTest::newRow("folder missing") << QStringList{"1.jpg"} << "no/such/out.pdf"
                                    << "Can't open output file %1 for writing";
    QTest::newRow("undecodable tiff") << QStringList{"1.jpg", "bad.tiff"} << "out.pdf"
                                      << "An error occurred creating output PDF file";
}

void TestPdf::failures()
{
    QFETCH(QStringList, pages);
    QFETCH(QString, target);
    QFETCH(QString, message);
    QVERIFY(write(pattern(50, 40, QImage::Format_RGB32, 300), path("1.jpg")));
    QFile bad(path("bad.tiff"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("II*\0garbage", 11);
    bad.close();
    QFile old(path("out.pdf"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older pdf");
    old.close();
    QList<QString> files;
    for (const QString& p : pages)
        files << path(p);
    ImageProc proc;
    const QStringList scanBefore = QDir(proc.ScanDir()).entryList(QDir::Files);
    const QStringList dirBefore = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    if (!message.isEmpty()) {
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression("^tiff2pdf: " + QRegularExpression::escape(message.arg(path(target)))));
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^(?!tiff2pdf)"));
    QVERIFY(!proc.SaveMultiPDF(files, path(target)));
    QCOMPARE(bytes(path("out.pdf")), QByteArray("older pdf"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), dirBefore);
    QCOMPARE(QDir(proc.ScanDir()).entryList(QDir::Files), scanBefore);
    QCOMPARE(convert2pdf(path("1.jpg"), path("out.pdf")), 1);
    QCOMPARE(bytes(path("out.pdf")), QByteArray("older pdf"));
}

void TestPdf::fullDisk()
{
    const QImage noise = PageMaker::noise(300, 300, 7);
    QVERIFY(write(noise, path("1.jpg")));
    QVERIFY(write(noise, path("2.png")));
    ImageProc proc;
    const QList<QString> pages{path("1.jpg"), path("2.png"), path("1.jpg")};
    // The disk fills up one byte before the document is complete.
    QVERIFY(proc.SaveMultiPDF(pages, path("probe.pdf")));
    const qint64 size = QFileInfo(path("probe.pdf")).size();
    QFile old(path("out.pdf"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older pdf");
    old.close();
    bool saved = true;
    {
        FileSizeLimit limit(quint64(size - 1));
        saved = proc.SaveMultiPDF(pages, path("out.pdf"));
    }
    QVERIFY(!saved);
    QCOMPARE(bytes(path("out.pdf")), QByteArray("older pdf"));
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).filter(".part").isEmpty());
}

QTEST_MAIN(TestPdf)
#include "tst_pdf.moc"
