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
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <cstdlib>

using namespace PageMaker;
using namespace PixelCheck;

namespace {

const int kDpi = 100;

QImage rgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// Where two images of one size first differ, for the failure message.
QByteArray firstDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height())
            .toUtf8();
    const QImage x = rgb(a);
    const QImage y = rgb(b);
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            if (x.pixel(col, row) != y.pixel(col, row))
                return QStringLiteral("pixel %1,%2: %3 and %4")
                    .arg(col)
                    .arg(row)
                    .arg(x.pixel(col, row), 8, 16)
                    .arg(y.pixel(col, row), 8, 16)
                    .toUtf8();
    return QByteArray();
}

#define COMPARE_PIXELS(actual, expected)                                                                     \
    do {                                                                                                     \
        const QByteArray difference = firstDifference(actual, expected);                                     \
        QVERIFY2(difference.isEmpty(), difference.constData());                                              \
    } while (false)

// A 1-bit TIFF written by libtiff with the given photometric interpretation.
bool writeBilevelTiff(const QImage& image, const QString& path, bool minIsWhite)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    const int w = image.width();
    const int h = image.height();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(kDpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(kDpi));
    QByteArray row((w + 7) / 8, '\0');
    bool ok = true;
    for (int y = 0; y < h && ok; ++y) {
        row.fill('\0');
        for (int x = 0; x < w; ++x) {
            const bool black = qGray(image.pixel(x, y)) < 128;
            if (black == minIsWhite)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        ok = TIFFWriteScanline(tif, row.data(), quint32(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

// A page file of `kind` (also its extension): "bw.pnm", "gray.pnm",
// "rgb.pnm", "bw-white0.tiff" / "bw-black0.tiff" (1-bit, 0 white / 0 black),
// "gray.tiff", "gray16.tiff", "rgb.tiff", "gray.png", "rgb.png", "rgb.jpg",
// "gray.jpg".
bool makePage(const QString& kind, const QString& path, int width, int height, quint32 seed = 1)
{
    const QImage::Format format = kind.startsWith("bw")       ? QImage::Format_Mono
                                  : kind.startsWith("gray16") ? QImage::Format_Grayscale16
                                  : kind.startsWith("gray")   ? QImage::Format_Grayscale8
                                                              : QImage::Format_RGB32;
    const QImage source =
        format == QImage::Format_Grayscale16
            ? document(width, height, QImage::Format_RGB32, kDpi, seed).convertToFormat(format)
            : document(width, height, format, kDpi, seed);
    if (kind.startsWith("bw-"))
        return writeBilevelTiff(source, path, kind.startsWith("bw-white0"));
    return write(source, path, kDpi);
}

// The raw data of the only strip of directory `dir` of a TIFF file.
QByteArray rawStrip(const QString& path, int dir)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return QByteArray();
    QByteArray data;
    if (TIFFSetDirectory(tif, tdir_t(dir)) && TIFFNumberOfStrips(tif) == 1) {
        data.resize(int(TIFFRawStripSize(tif, 0)));
        if (TIFFReadRawStrip(tif, 0, data.data(), data.size()) != data.size())
            data.clear();
    }
    TIFFClose(tif);
    return data;
}

QString attribute(const QString& xml, const QString& name)
{
    const QRegularExpression re(name + "=\"([^\"]*)\"");
    return re.match(xml).captured(1);
}

QString element(const QString& xml, const QString& name)
{
    const QRegularExpression re("<ofd:" + name + ">([^<]*)</ofd:" + name + ">");
    return re.match(xml).captured(1);
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
    void resolutionTurns_data();
    void resolutionTurns();
    void pdfPages_data();
    void pdfPages();
    void ofdPages_data();
    void ofdPages();
    void multiTiffPages();
    void unturnedOutputUnchanged_data();
    void unturnedOutputUnchanged();
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
    const char* kinds[] = {"bw.pnm",         "gray.pnm",  "rgb.pnm",  "bw-white0.tiff",
                           "bw-black0.tiff", "gray.tiff", "rgb.tiff", "gray16.tiff",
                           "rgb.png",        "gray.png",  "rgb.jpg"};
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

// Every pixel of the turned page is where the turn puts it, unchanged;
// width and height trade places, the resolution is kept, a TIFF file is
// compressed as the unturned page's is.
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

    ImageProc proc;
    const QString dst = path("out." + target);
    QVERIFY(proc.SaveAs(SavePage{src, angle}, dst, jpegInTiff));
    const QImage saved = LoadPageImage(dst);
    QVERIFY(!saved.isNull());
    const QImage expected = TurnedByHand(source, angle);
    const bool exact = !jpegInTiff || source.depth() == 1;
    if (exact)
        COMPARE_PIXELS(saved, expected);
    else
        QVERIFY2(MeanDifference(saved, expected) < 4, QByteArray::number(MeanDifference(saved, expected)));
    if (target != "pnm")
        QCOMPARE(DotsPerInch(saved.dotsPerMeterX()), DotsPerInch(source.dotsPerMeterX()));
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

// A turned JPEG page shows the source turned. Where whole blocks allow, it
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
    const double edges = MeanDifference(saved, expected, true);
    QVERIFY2(edges < 8, QByteArray::number(edges));

    const QString back = path("back.jpg");
    QVERIFY(proc.SaveAs(SavePage{turned, -angle}, back, true));
    if (lossless) {
        COMPARE_PIXELS(QImage(back), source);
        QVERIFY(QFileInfo(turned).size() < QFileInfo(src).size() * 11 / 10);
    } else {
        QVERIFY(!firstDifference(QImage(back), source).isEmpty());
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

void TestTurnedSave::resolutionTurns_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::newRow("JPEG, whole blocks") << "rgb.jpg" << QSize(160, 96);
    QTest::newRow("JPEG, partial blocks") << "rgb.jpg" << QSize(161, 97);
    QTest::newRow("PNG") << "rgb.png" << QSize(123, 77);
    QTest::newRow("TIFF") << "rgb.tiff" << QSize(123, 77);
}

// A page scanned at another resolution across than down keeps each
// resolution with its side of the paper.
void TestTurnedSave::resolutionTurns()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QImage page = document(size.width(), size.height(), QImage::Format_RGB32, kDpi);
    page.setDotsPerMeterX(DotsPerMetre(100));
    page.setDotsPerMeterY(DotsPerMetre(200));
    const QString src = path("page." + kind);
    QVERIFY(write(page, src));
    const QString ext = QFileInfo(src).suffix();
    ImageProc proc;
    for (int angle : {90, 180, 270}) {
        const QString dst = path(QString("turned%1.%2").arg(angle).arg(ext));
        QVERIFY(proc.SaveAs(SavePage{src, angle}, dst, false));
        const QImage saved = LoadPageImage(dst);
        const bool swap = angle != 180;
        QCOMPARE(DotsPerInch(saved.dotsPerMeterX()), swap ? 200 : 100);
        QCOMPARE(DotsPerInch(saved.dotsPerMeterY()), swap ? 100 : 200);
    }
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
// In a document of several
// pages each page has its own turn.
void TestTurnedSave::pdfPages()
{
    QFETCH(QString, kind);
    QFETCH(int, angle);
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, 123, 77));
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

    // Three pages, each turned its own way.
    const QList<SavePage> pages{{src, angle}, {src, 0}, {src, 360 - angle}};
    const QString multi = path("multi.pdf");
    QVERIFY(proc.SaveMultiPDF(pages, multi));
    const QList<QImage> three = SessionCheck::RenderPdf(multi, dpi, path("render"));
    QCOMPARE(three.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const double d = MeanDifference(three.at(i), TurnedByHand(LoadPageImage(src), pages.at(i).angle));
        QVERIFY2(d < 10, qPrintable(QString("page %1: %2").arg(i + 1).arg(d)));
    }
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
    QFile content(QString("%1/Doc_0/Pages/Page_%2/Content.xml").arg(dir).arg(page));
    if (!content.open(QIODevice::ReadOnly))
        return QImage();
    const QString xml = QString::fromUtf8(content.readAll());
    const QVector<double> box = numbers(element(xml, "PhysicalBox"));
    const QVector<double> ctm = numbers(attribute(xml, "CTM"));
    const QVector<double> boundary = numbers(attribute(xml, "Boundary"));
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

    QImage plainMedia, turnedMedia;
    const QImage upright = renderOfdPage(plain, 0, &plainMedia);
    const QImage shown = renderOfdPage(turned, 1, &turnedMedia);
    QVERIFY(!shown.isNull());
    const QString turnedDir = path(QString("unpacked%1").arg(m_unpacked));
    const QString plainDir = path(QString("unpacked%1").arg(m_unpacked - 1));
    const QStringList plainFiles = SessionCheck::OfdPageMedia(plain, plainDir);
    const QStringList turnedFiles = SessionCheck::OfdPageMedia(turned, turnedDir);
    QCOMPARE(turnedFiles.size(), 2);
    QCOMPARE(bytes(turnedFiles.at(1)), bytes(plainFiles.first()));
    if (kind.endsWith(".jpg") || kind.endsWith(".png"))
        QCOMPARE(bytes(turnedFiles.at(1)), bytes(src));
    for (const QString& xml : QDir(turnedDir).entryList({"*.xml"}, QDir::Files)) {
        bool wellFormed = false;
        SessionCheck::Run("xmllint", {"--noout", turnedDir + "/" + xml}, &wellFormed);
        QVERIFY2(wellFormed, qPrintable(xml));
    }
    bool wellFormed = false;
    SessionCheck::Run("xmllint", {"--noout", turnedDir + "/Doc_0/Pages/Page_1/Content.xml"}, &wellFormed);
    QVERIFY(wellFormed);

    const QImage expected = TurnedByHand(LoadPageImage(src), angle);
    QCOMPARE(shown.size(), expected.size());
    const double difference = MeanDifference(shown, expected);
    QVERIFY2(difference < 1, QByteArray::number(difference));
    QCOMPARE(upright.size(), TurnedByHand(LoadPageImage(src), 0).size());
}

// A multi-page TIFF of turned pages: a JPEG page with whole blocks goes in
// as its losslessly turned stream, one without as its decoded pixels turned,
// other pages turned pixel for pixel before their compression; every page
// shows its source turned.
void TestTurnedSave::multiTiffPages()
{
    const QString whole = path("whole.jpg");
    const QString partial = path("partial.jpg");
    const QString gray = path("gray.pnm");
    const QString bilevel = path("bw.tiff");
    QVERIFY(makePage("rgb.jpg", whole, 160, 96, 1));
    QVERIFY(makePage("rgb.jpg", partial, 161, 97, 2));
    QVERIFY(makePage("gray.pnm", gray, 123, 77, 3));
    QVERIFY(makePage("bw-white0.tiff", bilevel, 123, 77, 4));
    const QList<SavePage> pages{{whole, 90}, {partial, 270}, {gray, 180}, {bilevel, 90}, {whole, 0}};
    ImageProc proc;
    const QString dst = path("all.tiff");
    QVERIFY(proc.SaveMultiTiff(pages, dst));

    QByteArray losslessly;
    QVERIFY(TurnJpegLosslessly(bytes(whole), 90, &losslessly));
    QCOMPARE(rawStrip(dst, 0), losslessly);
    QCOMPARE(rawStrip(dst, 4), bytes(whole));

    const QList<QImage> shown = SessionCheck::ReadTiff(dst);
    QCOMPARE(shown.size(), pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        const QImage expected = TurnedByHand(LoadPageImage(pages.at(i).path), pages.at(i).angle);
        const double d = MeanDifference(shown.at(i), expected);
        QVERIFY2(d < 4, qPrintable(QString("page %1: %2").arg(i + 1).arg(d)));
    }
}

void TestTurnedSave::unturnedOutputUnchanged_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    for (const char* kind : {"rgb.jpg", "gray.pnm", "bw-white0.tiff", "rgb.png"}) {
        for (const char* target : {"jpg", "png", "pnm", "tiff", "multi.tiff", "pdf", "multi.pdf", "ofd"})
            QTest::addRow("%s to %s", kind, target) << kind << target;
    }
}

// A page saved with no turn (or a whole one) gives the same file as the
// save of its path alone: byte for byte; OFD packages, which carry a new
// document ID each time, in every entry but the one naming it.
void TestTurnedSave::unturnedOutputUnchanged()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    // Whole bytes per row: the padding bits of a 1-bit row written through
    // Qt's TIFF writer are not always the same.
    const QString src = path("page." + kind);
    QVERIFY(makePage(kind, src, 128, 77));
    ImageProc proc;
    const QString ext = target.section('.', -1);
    const bool multi = target.startsWith("multi");
    for (int angle : {0, 360}) {
        const QString byPath = path(QString("path%1.%2").arg(angle).arg(ext));
        const QString byPage = path(QString("page%1.%2").arg(angle).arg(ext));
        const SavePage page{src, angle};
        bool ok1 = false, ok2 = false;
        if (ext == "pdf") {
            ok1 = multi ? proc.SaveMultiPDF(QList<QString>{src, src}, byPath) : proc.SavePDF(src, byPath);
            ok2 = multi ? proc.SaveMultiPDF(QList<SavePage>{page, page}, byPage) : proc.SavePDF(page, byPage);
        } else if (ext == "ofd") {
            ok1 = proc.SaveOFD(src, byPath);
            ok2 = proc.SaveOFD(page, byPage);
        } else if (multi) {
            ok1 = proc.SaveMultiTiff(QList<QString>{src, src}, byPath);
            ok2 = proc.SaveMultiTiff(QList<SavePage>{page, page}, byPage);
        } else {
            ok1 = proc.SaveAs(src, byPath, 0.0, true);
            ok2 = proc.SaveAs(page, byPage, true);
        }
        QVERIFY(ok1);
        QVERIFY(ok2);
        if (ext != "ofd") {
            QVERIFY(bytes(byPage) == bytes(byPath));
            continue;
        }
        const QString a = path(QString("a%1").arg(angle));
        const QString b = path(QString("b%1").arg(angle));
        bool unzipped = false;
        SessionCheck::Run("unzip", {"-q", byPath, "-d", a}, &unzipped);
        QVERIFY(unzipped);
        SessionCheck::Run("unzip", {"-q", byPage, "-d", b}, &unzipped);
        QVERIFY(unzipped);
        QDirIterator it(a, QDir::Files, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            const QString file = it.next();
            const QString rel = QDir(a).relativeFilePath(file);
            ++files;
            if (rel != "OFD.xml")
                QVERIFY2(bytes(file) == bytes(b + "/" + rel), qPrintable(rel));
        }
        QVERIFY(files >= 5);
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
