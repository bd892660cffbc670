// Every output format, for bilevel, grey and colour pages, one page and
// several: saved through ImageProc and read back with tools that share no
// code with the writers (libtiff, poppler, unzip, Qt's readers).
#include "imageproc.h"
#include "pagemaker.h"
#include "sessioncheck.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <tiffio.h>

#include <cstdlib>

using namespace PageMaker;

namespace {

// Mean difference of one channel, averaged over the whole page; a large
// value when the sizes differ.
double meanDifference(const QImage& a, const QImage& b)
{
    if (a.isNull() || a.size() != b.size()) {
        return 1e9;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

QImage fromTiffDir(const TiffDir& dir)
{
    QImage image(int(dir.width), int(dir.height), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const quint32 px = dir.rgba.value(y * image.width() + x);
            image.setPixel(x, y, qRgb(TIFFGetR(px), TIFFGetG(px), TIFFGetB(px)));
        }
    }
    return image;
}

} // namespace

class TestOutput : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
};

void TestOutput::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("pages");
    for (const char* format : {"tiff", "pnm", "jpg", "png", "pdf", "ofd"}) {
        for (int depth : {1, 8, 24}) {
            const bool multi = QByteArray("tiff pdf ofd").contains(format);
            for (int pages : multi ? QList<int>{1, 3} : QList<int>{1}) {
                QTest::addRow("%s %d-bit %d page(s)", format, depth, pages) << format << depth << pages;
            }
        }
    }
}

void TestOutput::roundTrip()
{
    QFETCH(QString, format);
    QFETCH(int, depth);
    QFETCH(int, pages);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // None of them the 200 dpi a page without resolution is given.
    const int dpi = depth == 1 ? 600 : depth == 8 ? 300 : 150;
    const QImage::Format pixel = depth == 1   ? QImage::Format_Mono
                                 : depth == 8 ? QImage::Format_Grayscale8
                                              : QImage::Format_RGB32;
    // The page files as scanning leaves them: bilevel TIFF, grey PNM, colour JPEG.
    const QString kind = depth == 1 ? "tiff" : depth == 8 ? "pnm" : "jpg";
    QList<QString> sources;
    QList<QImage> originals;
    for (int i = 0; i < pages; ++i) {
        QImage page = document(240 + 16 * i, 320, pixel, dpi, quint32(7 + i));
        sources << dir.filePath(QString("page%1.%2").arg(i).arg(kind));
        QVERIFY(write(page, sources.last(), dpi));
        originals << QImage(sources.last()); // after the source's own compression
    }
    const QString target = dir.filePath("out." + format);
    ImageProc proc;
    bool saved = false;
    if (format == "pdf") {
        saved = pages == 1 ? proc.SavePDF(sources.first(), target) : proc.SaveMultiPDF(sources, target);
    } else if (format == "ofd") {
        saved = pages == 1 ? proc.SaveOFD(sources.first(), target) : proc.SaveMultiOFD(sources, target);
    } else if (format == "tiff" && pages > 1) {
        saved = proc.SaveMultiTiff(sources, target);
    } else {
        saved = proc.SaveAs(sources.first(), target, 0.0, true);
    }
    QVERIFY(saved);

    QList<QImage> back;
    QList<int> backDpi;
    if (format == "tiff") {
        for (const TiffDir& d : readTiff(target)) {
            back << fromTiffDir(d);
            backDpi << qRound(d.xres);
        }
    } else if (format == "pdf") {
        bool ok = false;
        const QString info = SessionCheck::Run("pdfinfo", {target}, &ok);
        QVERIFY2(ok, qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QString("Pages: +%1\n").arg(pages))), qPrintable(info));
        // The first page measures its pixels at the page's resolution.
        const QString size = QString("Page size: +%1 x %2 pts").arg(240.0 * 72 / dpi).arg(320.0 * 72 / dpi);
        QVERIFY2(info.contains(QRegularExpression(size)), qPrintable(info));
        back = SessionCheck::RenderPdf(target, dpi, dir.path());
    } else if (format == "ofd") {
        for (const QString& media : SessionCheck::OfdPageMedia(target, dir.filePath("unpacked"))) {
            back << QImage(media);
            backDpi << qRound(back.last().dotsPerMeterX() * 0.0254);
        }
    } else {
        back << QImage(target);
        backDpi << qRound(back.last().dotsPerMeterX() * 0.0254);
        if (format == "pnm") {
            // Bilevel, grey and colour pages keep their own kind of PNM.
            const QByteArray magic = depth == 1 ? "P4" : depth == 8 ? "P5" : "P6";
            QCOMPARE(bytes(target).left(2), magic);
        }
    }
    QCOMPARE(back.size(), pages);
    // Lossy steps (JPEG inside TIFF and PDF, rendering) stay well below the
    // difference between two pages of the document.
    const double tolerance = format == "pdf" || depth == 1 ? 12.0 : 8.0;
    for (int i = 0; i < pages; ++i) {
        const double diff = meanDifference(back.at(i), originals.at(i));
        QVERIFY2(diff < tolerance, qPrintable(QString("page %1 differs by %2").arg(i + 1).arg(diff)));
        if (format != "pdf" && format != "pnm") {
            QCOMPARE(backDpi.at(i), dpi);
        }
    }
    QVERIFY(QDir(proc.ScanDir()).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(dir.path()).entryList({"*.part", ".*"}, QDir::Files | QDir::Hidden).isEmpty());
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
