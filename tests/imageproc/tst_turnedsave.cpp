// Pages saved turned by a quarter: every format shows the page turned
// clockwise by its angle, raster formats with exactly the source's pixels
// moved, JPEG pages turned without a generation lost where their size
// allows, PDF and OFD pages turned in the document around the unchanged
// image data. The expected pictures are made here pixel by pixel from the
// decoded source, and the documents are read back with poppler, libtiff,
// unzip and xmllint.
#include "imageproc.h"
#include "jpegturn.h"
#include "pageimage.h"
#include "pagemaker.h"
#include "pixelcheck.h"
#include "sessioncheck.h"

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <tiffio.h>

using namespace PageMaker;
using namespace PixelCheck;

namespace {

const int kDpi = 100;

// Every pixel the same (MeanDifference is 1e9 for another size).
#define COMPARE_PIXELS(actual, expected) QCOMPARE(MeanDifference(actual, expected), 0.0)

// A page file of `kind` (also its extension): "bw.pnm", "gray.pnm",
// "rgb.pnm", "bw-white0.tiff" / "bw-black0.tiff" (1-bit, 0 white / 0 black),
// "gray.tiff", "rgb.tiff", "gray.png", "rgb.png", "rgb.jpg", "gray.jpg", and
// of 16 bits a sample "gray16.tiff", "rgb16.tiff", "gray16.pnm",
// "rgb16.pnm". Scanned at kDpi across and by default twice that down (a PNM
// page at kDpi both ways), so that a turn must trade the resolutions.
bool makePage(const QString& kind, const QString& path, int width, int height, quint32 seed = 1,
              int dpiDown = 2 * kDpi)
{
    const QImage::Format format = kind.startsWith("bw")       ? QImage::Format_Mono
                                  : kind.startsWith("gray16") ? QImage::Format_Grayscale16
                                  : kind.startsWith("rgb16")  ? QImage::Format_RGBX64
                                  : kind.startsWith("gray")   ? QImage::Format_Grayscale8
                                                              : QImage::Format_RGB32;
    const bool wide = kind.contains("16");
    QImage source = wide ? document(width, height, QImage::Format_RGB32, kDpi, seed).convertToFormat(format)
                         : document(width, height, format, kDpi, seed);
    // The low byte of a 16-bit sample of its own, so that 8 bits cannot pass.
    for (int y = 0; wide && y < height; ++y) {
        auto* samples = reinterpret_cast<quint16*>(source.scanLine(y));
        for (int i = 0; i < source.bytesPerLine() / 2; ++i)
            samples[i] ^= quint16((i * 7 + y * 13) & 0xFF);
    }
    source.setDotsPerMeterY(DotsPerMetre(dpiDown));
    if (!kind.startsWith("bw-"))
        return write(source, path, kDpi);
    QVector<quint16> bits;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bits << quint16(qGray(source.pixel(x, y)) >= 128);
    return writeRawTiff(path, width, height, 1, 1, bits, kind.startsWith("bw-white0"), kDpi, dpiDown);
}

QVector<double> numbers(const QString& text)
{
    QVector<double> values;
    for (const QString& part : text.split(' ', Qt::SkipEmptyParts))
        values << part.toDouble();
    return values;
}

} // namespace

class TestTurnedSave : public QObject {
    Q_OBJECT
private slots:
    void init();

    void turnImage_data();
    void turnImage();

    void rasterPixels_data();
    void rasterPixels();
    void jpegTurn_data();
    void jpegTurn();
    void jpegTurnedInPlaceFourTimes();
    void pdfPages_data();
    void pdfPages();
    void ofdPages_data();
    void ofdPages();
    void multiTiffPages();
    void badAngleRefused();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QImage renderOfdPage(const QString& ofd, int page, QImage* media);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_unpacked = 0;
};

void TestTurnedSave::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestTurnedSave::turnImage_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("angle");
    const QImage::Format formats[] = {
        QImage::Format_Mono,   QImage::Format_MonoLSB,     QImage::Format_Indexed8, QImage::Format_Grayscale8,
        QImage::Format_RGB16,  QImage::Format_Grayscale16, QImage::Format_RGB888,   QImage::Format_RGB32,
        QImage::Format_ARGB32, QImage::Format_RGBA64};
    for (QImage::Format format : formats) {
        for (int angle : {90, 180, 270, -90, 360})
            QTest::addRow("format %d, %d", int(format), angle) << int(format) << angle;
    }
}

// Every pixel, at full precision, lands where the turn puts it; the format,
// colour table and resolution (each with its side) are kept.
void TestTurnedSave::turnImage()
{
    QFETCH(int, format);
    QFETCH(int, angle);
    const int w = 131; // odd, and rows of every depth end inside a word
    const int h = 70;
    QImage image(w, h, QImage::Format(format));
    if (image.depth() == 1)
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    else if (image.format() == QImage::Format_Indexed8)
        for (int i = 0; i < 256; ++i)
            image.setColor(i, qRgb(i, 255 - i, (i * 7) & 255));
    quint32 seed = 99;
    for (int y = 0; y < h; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < image.bytesPerLine(); ++i)
            row[i] = uchar((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    image.setDotsPerMeterX(DotsPerMetre(150));
    image.setDotsPerMeterY(DotsPerMetre(300));

    const QImage turned = TurnImage(image, angle);
    const int a = ((angle % 360) + 360) % 360;
    const bool swap = a % 180 == 90;
    QCOMPARE(turned.format(), image.format());
    QCOMPARE(turned.colorTable(), image.colorTable());
    QCOMPARE(turned.size(), swap ? image.size().transposed() : image.size());
    QCOMPARE(DotsPerInch(turned.dotsPerMeterX()), swap ? 300 : 150);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QPoint to = a == 90    ? QPoint(h - 1 - y, x)
                              : a == 180 ? QPoint(w - 1 - x, h - 1 - y)
                              : a == 270 ? QPoint(y, w - 1 - x)
                                         : QPoint(x, y);
            if (turned.pixelColor(to) != image.pixelColor(x, y))
                QFAIL(qPrintable(QString("pixel %1,%2 not at %3,%4").arg(x).arg(y).arg(to.x()).arg(to.y())));
        }
    }
}

void TestTurnedSave::rasterPixels_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("jpegInTiff");
    const char* kinds[] = {"bw.pnm",    "gray.pnm", "rgb.pnm",     "bw-white0.tiff", "bw-black0.tiff",
                           "gray.tiff", "rgb.tiff", "gray16.tiff", "rgb16.tiff",     "gray16.pnm",
                           "rgb16.pnm", "rgb.png",  "gray.png",    "rgb.jpg"};
    for (const char* kind : kinds) {
        for (const char* target : {"tiff", "png", "pnm"}) {
            for (int angle : {90, 180, 270})
                QTest::addRow("%s to %s, %d", kind, target, angle) << kind << target << angle << false;
        }
    }
    // TIFF saves compress colour and grey as JPEG: one generation, as for
    // an unturned page; bilevel pages stay exact.
    for (const char* kind : {"bw.pnm", "gray.pnm", "rgb.tiff"})
        QTest::addRow("%s to JPEG-compressed tiff, 90", kind) << kind << "tiff" << 90 << true;
}

// Every pixel of the turned page is where the turn puts it, unchanged, at
// the page's own depth; width and height trade places and so do the
// resolutions across and down (a PNM file carries the one across), a TIFF
// file is compressed as the unturned page's is.
void TestTurnedSave::rasterPixels()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(int, angle);
    QFETCH(bool, jpegInTiff);
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, 123, 77));
    const QImage source = LoadPageImage(src);
    QVERIFY(!source.isNull());
    if (kind.contains("16")) // read at its full depth
        QVERIFY(source.format() == QImage::Format_Grayscale16 || source.format() == QImage::Format_RGBX64);

    ImageProc proc;
    const QString dst = path("out." + target);
    QVERIFY(proc.SaveAs(SavePage{src, angle}, dst, jpegInTiff));
    const QImage saved = LoadPageImage(dst);
    QVERIFY(!saved.isNull());
    const QImage expected = TurnedByHand(source, angle, QImage::Format_RGBA64);
    const bool exact = !jpegInTiff || source.depth() == 1;
    if (exact) {
        QCOMPARE(saved.format(), source.format());
        QCOMPARE(saved.convertToFormat(QImage::Format_RGBA64), expected);
    } else {
        QVERIFY2(MeanDifference(saved, expected) < 4, QByteArray::number(MeanDifference(saved, expected)));
    }
    const bool swap = angle != 180;
    QCOMPARE(DotsPerInch(saved.dotsPerMeterX()),
             DotsPerInch(swap ? source.dotsPerMeterY() : source.dotsPerMeterX()));
    if (target != "pnm")
        QCOMPARE(DotsPerInch(saved.dotsPerMeterY()),
                 DotsPerInch(swap ? source.dotsPerMeterX() : source.dotsPerMeterY()));
    if (target == "tiff") {
        // Compressed as the unturned page is.
        const QString unturned = path("unturned.tiff");
        QVERIFY(proc.SaveAs(SavePage{src, 0}, unturned, jpegInTiff));
        const QVector<TiffDir> turnedDirs = readTiff(dst);
        const QVector<TiffDir> unturnedDirs = readTiff(unturned);
        QCOMPARE(turnedDirs.size(), 1);
        QCOMPARE(unturnedDirs.size(), 1);
        QCOMPARE(turnedDirs.first().compression, unturnedDirs.first().compression);
    }
}

void TestTurnedSave::jpegTurn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("lossless");
    // Colour JPEG files here have 16 x 16 blocks of pixels, grey ones 8 x 8.
    // A turn by 90 needs whole block rows, by 270 whole block columns.
    for (int angle : {90, 180, 270})
        QTest::addRow("colour, whole blocks, %d", angle) << "rgb.jpg" << QSize(160, 96) << angle << true;
    for (int angle : {90, 180, 270})
        QTest::addRow("grey, whole blocks, %d", angle) << "gray.jpg" << QSize(64, 40) << angle << true;
    QTest::newRow("colour, partial block column, 90") << "rgb.jpg" << QSize(161, 96) << 90 << true;
    QTest::newRow("colour, partial block column, 270") << "rgb.jpg" << QSize(161, 96) << 270 << false;
    QTest::newRow("colour, partial block column, 180") << "rgb.jpg" << QSize(161, 96) << 180 << false;
    QTest::newRow("colour, partial block row, 90") << "rgb.jpg" << QSize(160, 97) << 90 << false;
    QTest::newRow("colour, partial block row, 270") << "rgb.jpg" << QSize(160, 97) << 270 << true;
    QTest::newRow("grey, partial blocks, 90") << "gray.jpg" << QSize(61, 45) << 90 << false;
    QTest::newRow("minus a quarter is three quarters") << "rgb.jpg" << QSize(160, 96) << -90 << true;
}

// A turned JPEG page shows the source turned, each resolution with its side
// of the paper. Where whole blocks allow, it
// is the same compressed data moved: turned back, it decodes to exactly the
// source's pixels, and its size stays close to the source's. Elsewhere it
// is decoded and encoded once, and its edges are the source's edges.
void TestTurnedSave::jpegTurn()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(int, angle);
    QFETCH(bool, lossless);
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, size.width(), size.height()));
    const QImage source(src);
    ImageProc proc;
    const QString turned = path("turned.jpg");
    QVERIFY(proc.SaveAs(SavePage{src, angle}, turned, true));
    const QImage saved(turned);
    const QImage expected = TurnedByHand(source, angle);
    QCOMPARE(saved.size(), expected.size());
    const int across = DotsPerInch((angle == 180 ? source.dotsPerMeterX() : source.dotsPerMeterY()));
    QCOMPARE(DotsPerInch(saved.dotsPerMeterX()), across);
    QCOMPARE(DotsPerInch(saved.dotsPerMeterY()), 3 * kDpi - across);
    const double edges = MeanDifference(saved, expected, true);
    QVERIFY2(edges < 8, QByteArray::number(edges));

    const QString back = path("back.jpg");
    QVERIFY(proc.SaveAs(SavePage{turned, -angle}, back, true));
    if (lossless) {
        COMPARE_PIXELS(QImage(back), source);
        QVERIFY(QFileInfo(turned).size() < QFileInfo(src).size() * 11 / 10);
    } else {
        QVERIFY(MeanDifference(QImage(back), source) > 0);
    }
}

// The four turns of a page made one after the other on its file give back
// the page as it was scanned, pixel for pixel.
void TestTurnedSave::jpegTurnedInPlaceFourTimes()
{
    const QString src = path("page.jpg");
    QVERIFY(makePage("rgb.jpg", src, 320, 208));
    const QImage scanned(src);
    ImageProc proc;
    for (int i = 0; i < 4; ++i)
        QVERIFY(proc.SaveAs(src, src, 90.0, true));
    COMPARE_PIXELS(QImage(src), scanned);
}

void TestTurnedSave::pdfPages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("angle");
    for (const char* kind : {"rgb.jpg", "gray.jpg", "gray.tiff", "bw-white0.tiff", "rgb.png", "bw.pnm"}) {
        for (int angle : {90, 180, 270})
            QTest::addRow("%s, %d", kind, angle) << kind << angle;
    }
}

// A turned page is the unturned page's PDF with the page turned: the same
// bytes but for the one /Rotate entry (so a JPEG page's own bytes are still
// in it), and poppler shows it turned clockwise (poppler's smoothing leaves
// about 6 levels of difference, the page turned the wrong way 16 and more).
void TestTurnedSave::pdfPages()
{
    QFETCH(QString, kind);
    QFETCH(int, angle);
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, 123, 77, 1, kDpi)); // square pixels, as poppler draws them
    ImageProc proc;
    const QString plain = path("plain.pdf");
    const QString turned = path("turned.pdf");
    QVERIFY(proc.SavePDF(SavePage{src, 0}, plain));
    QVERIFY(proc.SavePDF(SavePage{src, angle}, turned));
    const QByteArray plainBytes = bytes(plain);
    QByteArray turnedBytes = bytes(turned);
    QVERIFY(!plainBytes.contains("/Rotate"));
    const QByteArray entry = " /Rotate " + QByteArray::number(angle);
    QCOMPARE(turnedBytes.count(entry), 1);
    // Offsets in the cross-reference table move by the entry's length.
    turnedBytes.replace(entry, "");
    QCOMPARE(turnedBytes.size(), plainBytes.size());
    const int xref = plainBytes.indexOf("\nxref\n");
    QVERIFY(xref > 0);
    QCOMPARE(turnedBytes.left(xref), plainBytes.left(xref));
    if (kind.endsWith(".jpg"))
        QVERIFY(turnedBytes.contains(bytes(src)));

    const int dpi = DotsPerInch(LoadPageImage(src).dotsPerMeterX());
    const QList<QImage> shown = SessionCheck::RenderPdf(turned, dpi, path("render"));
    QCOMPARE(shown.size(), 1);
    const QImage expected = TurnedByHand(LoadPageImage(src), angle);
    const double difference = MeanDifference(shown.first(), expected);
    QVERIFY2(difference < 10, QByteArray::number(difference));
}

// Draws page `page` of an OFD package as a reader would: its image (also
// returned in `media`) mapped by the image object's CTM onto the page box,
// at one pixel per image pixel.
QImage TestTurnedSave::renderOfdPage(const QString& ofd, int page, QImage* media)
{
    const QString dir = path(QString("unpacked%1").arg(++m_unpacked));
    const QStringList files = SessionCheck::OfdPageMedia(ofd, dir);
    if (page >= files.size())
        return QImage();
    *media = QImage(files.at(page));
    const QString content = QString("%1/Doc_0/Pages/Page_%2/Content.xml").arg(dir).arg(page);
    const QVector<double> box =
        numbers(SessionCheck::XPath(content, "string(//*[local-name()='PhysicalBox'])"));
    const QVector<double> ctm = numbers(SessionCheck::XPath(content, "string(//@CTM)"));
    const QVector<double> boundary = numbers(SessionCheck::XPath(content, "string(//@Boundary)"));
    if (box.size() != 4 || ctm.size() != 6 || boundary.size() != 4 || media->isNull())
        return QImage();
    // Pixels per millimetre of the image along the page's width.
    const bool upright = qFuzzyIsNull(ctm[1]);
    const double scale = (upright ? media->width() : media->height()) / box[2];
    QImage canvas(qRound(box[2] * scale), qRound(box[3] * scale), QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    painter.setTransform(QTransform(ctm[0], ctm[1], ctm[2], ctm[3], ctm[4], ctm[5]) *
                         QTransform::fromTranslate(boundary[0], boundary[1]) *
                         QTransform::fromScale(scale, scale));
    painter.drawImage(QRectF(0, 0, 1, 1), *media);
    painter.end();
    return canvas;
}

void TestTurnedSave::ofdPages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("angle");
    for (const char* kind : {"rgb.jpg", "rgb.png", "gray.pnm", "bw-white0.tiff"}) {
        for (int angle : {0, 90, 180, 270})
            QTest::addRow("%s, %d", kind, angle) << kind << angle;
    }
}

// A turned OFD page holds the same image file as the unturned page (a JPEG
// or PNG page byte for byte), its box has width and height traded for a
// quarter turn, the XML is well formed, and drawn by its transformation the
// page shows the source turned clockwise.
void TestTurnedSave::ofdPages()
{
    QFETCH(QString, kind);
    QFETCH(int, angle);
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, 123, 77));
    ImageProc proc;
    const QString plain = path("plain.ofd");
    const QString turned = path("turned.ofd");
    QVERIFY(proc.SaveOFD(SavePage{src, 0}, plain));
    QVERIFY(proc.SaveMultiOFD(QList<SavePage>{{src, 90}, {src, angle}}, turned));

    QImage turnedMedia;
    const QImage shown = renderOfdPage(turned, 1, &turnedMedia);
    QVERIFY(!shown.isNull());
    const QString turnedDir = path(QString("unpacked%1").arg(m_unpacked));
    const QStringList plainFiles = SessionCheck::OfdPageMedia(plain, path("plain"));
    const QStringList turnedFiles = SessionCheck::OfdPageMedia(turned, turnedDir);
    QCOMPARE(turnedFiles.size(), 2);
    QCOMPARE(bytes(turnedFiles.at(1)), bytes(plainFiles.first()));
    if (kind.endsWith(".jpg") || kind.endsWith(".png"))
        QCOMPARE(bytes(turnedFiles.at(1)), bytes(src));

    const QImage expected = TurnedByHand(LoadPageImage(src), angle);
    QCOMPARE(shown.size(), expected.size());
    const double difference = MeanDifference(shown, expected);
    QVERIFY2(difference < 1, QByteArray::number(difference));
}

// A multi-page TIFF of turned pages: a JPEG page with whole blocks goes in
// as its losslessly turned stream, one without as its decoded pixels turned,
// other pages turned pixel for pixel before their compression; every page
// shows its source turned, black and white pages stay 1-bit (CCITT Group 4)
// and grey ones grey.
void TestTurnedSave::multiTiffPages()
{
    const QString whole = path("whole.jpg");
    const QString partial = path("partial.jpg");
    const QString gray = path("gray.pnm");
    const QString bilevel = path("bw.tiff");
    const QString grayJpeg = path("gray.jpg");
    const QString gray16 = path("gray16.tiff");
    QVERIFY(makePage("rgb.jpg", whole, 160, 96, 1));
    QVERIFY(makePage("rgb.jpg", partial, 161, 97, 2));
    QVERIFY(makePage("gray.pnm", gray, 123, 77, 3));
    QVERIFY(makePage("bw-white0.tiff", bilevel, 123, 77, 4));
    QVERIFY(makePage("gray.jpg", grayJpeg, 61, 45, 5));
    QVERIFY(makePage("gray16.tiff", gray16, 123, 77, 6));
    const QList<SavePage> pages{{whole, 90}, {partial, 270}, {gray, 180}, {bilevel, 90},
                                {whole, 0},  {grayJpeg, 90}, {gray16, 0}};
    const QList<int> samples{3, 3, 1, 1, 3, 1, 1};
    ImageProc proc;
    const QString dst = path("all.tiff");
    QVERIFY(proc.SaveMultiTiff(pages, dst));

    QByteArray losslessly;
    QVERIFY(TurnJpegLosslessly(bytes(whole), 90, &losslessly));
    const QVector<TiffDir> dirs = readTiff(dst);
    QCOMPARE(dirs.size(), pages.size());
    QCOMPARE(dirs.at(0).rawStrip, losslessly);
    QCOMPARE(dirs.at(4).rawStrip, bytes(whole));

    const QList<QImage> shown = SessionCheck::ReadTiff(dst);
    QCOMPARE(shown.size(), pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        const QImage expected = TurnedByHand(LoadPageImage(pages.at(i).path), pages.at(i).angle);
        const double d = MeanDifference(shown.at(i), expected);
        QVERIFY2(d < 4, qPrintable(QString("page %1: %2").arg(i + 1).arg(d)));
        QCOMPARE(int(dirs.at(i).samples), samples.at(i));
        QCOMPARE(int(dirs.at(i).compression), i == 3 ? COMPRESSION_CCITTFAX4 : COMPRESSION_JPEG);
    }
}

// A turn that is no quarter is refused before anything is written.
void TestTurnedSave::badAngleRefused()
{
    const QString src = path("page.png");
    QVERIFY(makePage("rgb.png", src, 40, 30));
    ImageProc proc;
    QVERIFY(!proc.SaveAs(SavePage{src, 45}, path("out.png"), true));
    QVERIFY(!proc.SaveMultiPDF(QList<SavePage>{{src, 0}, {src, 100}}, path("out.pdf")));
    QVERIFY(!proc.SaveMultiOFD(QList<SavePage>{{src, 30}}, path("out.ofd")));
    QVERIFY(!proc.SaveMultiTiff(QList<SavePage>{{src, 0}, {src, 10}}, path("out.tiff")));
    for (const char* name : {"out.png", "out.pdf", "out.ofd", "out.tiff"})
        QVERIFY(!QFileInfo::exists(path(name)));
}

QTEST_MAIN(TestTurnedSave)
#include "tst_turnedsave.moc"
