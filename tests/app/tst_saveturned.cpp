// A save of turned pages in every entry of the format box: each file shows
// its page turned by the page's own angle (read back with Qt's readers,
// poppler and unzip), the unturned save of the same pages does not.
#include "imageproc.h"
#include "pageimage.h"
#include "pagemaker.h"
#include "pixelcheck.h"
#include "savecontroller.h"
#include "sessioncheck.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace PixelCheck;

namespace {

// What each page of a saved raster, TIFF or PDF file shows, in page order.
QList<QImage> shownPages(const QString& file, const QString& work)
{
    const QString ext = QFileInfo(file).suffix();
    if (ext == "pdf")
        return SessionCheck::RenderPdf(file, 100, work);
    if (ext == "tiff")
        return SessionCheck::ReadTiff(file);
    return {LoadPageImage(file)};
}

// The CTM of every page of an OFD package, in page order.
QStringList ofdMatrices(const QString& ofd, const QString& dir)
{
    const QStringList media = SessionCheck::OfdPageMedia(ofd, dir);
    QStringList matrices;
    for (int i = 0; i < media.size(); ++i) {
        QFile content(QString("%1/Doc_0/Pages/Page_%2/Content.xml").arg(dir).arg(i));
        if (!content.open(QIODevice::ReadOnly))
            return {};
        matrices
            << QRegularExpression("CTM=\"([^\"]*)\"").match(QString::fromUtf8(content.readAll())).captured(1);
    }
    return matrices;
}

} // namespace

class TestSaveTurned : public QObject {
    Q_OBJECT
private slots:
    void everyFormat_data();
    void everyFormat();
};

void TestSaveTurned::everyFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::newRow("TIFF") << int(SaveController::FormatTiff) << "tiff";
    QTest::newRow("multi-page TIFF") << int(SaveController::FormatMultiTiff) << "tiff";
    QTest::newRow("PNM") << int(SaveController::FormatPnm) << "pnm";
    QTest::newRow("JPEG") << int(SaveController::FormatJpeg) << "jpg";
    QTest::newRow("PNG") << int(SaveController::FormatPng) << "png";
    QTest::newRow("PDF") << int(SaveController::FormatPdf) << "pdf";
    QTest::newRow("multi-page PDF") << int(SaveController::FormatMultiPdf) << "pdf";
    QTest::newRow("OFD") << int(SaveController::FormatOfd) << "ofd";
    QTest::newRow("multi-page OFD") << int(SaveController::FormatMultiOfd) << "ofd";
}

void TestSaveTurned::everyFormat()
{
    QFETCH(int, format);
    QFETCH(QString, extension);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString jpg = dir.filePath("page1.jpg");
    const QString pnm = dir.filePath("page2.pnm");
    QVERIFY(PageMaker::write(PageMaker::document(160, 96, QImage::Format_RGB32, 100, 1), jpg, 100));
    QVERIFY(PageMaker::write(PageMaker::document(123, 77, QImage::Format_Grayscale8, 100, 2), pnm, 100));
    const QList<SavePage> pages{{jpg, 90}, {pnm, 270}};

    ImageProc proc;
    SaveController controller(&proc, nullptr);
    const bool multi = SaveController::IsMultiFile(format);
    const QStringList targets =
        SaveController::SaveAsFileNames(dir.filePath("saved"), extension, multi, int(pages.size()));
    QVERIFY(controller.WriteFiles(format, pages, targets));
    QCOMPARE(controller.SavedFiles(), targets);

    if (extension == "ofd") {
        // Each page shows its image through its own turn.
        QStringList matrices;
        for (int i = 0; i < targets.size(); ++i)
            matrices += ofdMatrices(targets.at(i), dir.filePath(QString("unpacked%1").arg(i)));
        QCOMPARE(matrices.size(), 2);
        const QRegularExpression quarter("^0 \\S+ \\S+ 0 ");
        QVERIFY2(quarter.match(matrices.at(0)).hasMatch(), qPrintable(matrices.at(0)));
        QVERIFY2(quarter.match(matrices.at(1)).hasMatch(), qPrintable(matrices.at(1)));
        QVERIFY(matrices.at(0) != matrices.at(1));
        return;
    }
    QList<QImage> shown;
    for (const QString& target : targets)
        shown += shownPages(target, dir.filePath("render"));
    QCOMPARE(shown.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QImage expected = TurnedByHand(LoadPageImage(pages.at(i).path), pages.at(i).angle);
        const double d = MeanDifference(shown.at(i), expected);
        QVERIFY2(d < 10, qPrintable(QString("page %1: %2").arg(i + 1).arg(d)));
    }
}

QTEST_MAIN(TestSaveTurned)
#include "tst_saveturned.moc"
