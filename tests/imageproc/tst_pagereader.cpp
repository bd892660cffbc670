// Pages read reduced for thumbnails and the fitted large view: TIFF pages of
// every kind the scan layer writes (1 bit with 0 white or 0 black, grey of 8
// or 16 bits, RGB), at sizes no factor divides, give every output pixel the
// rounded mean of the page pixels it covers; JPEG pages take the decoder's
// largest reduction that still leaves the size asked for each way.
#include "pagemaker.h"
#include "pagereader.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A page as luminance (or R, G, B) samples, 0 black, in the range of its depth.
struct Page {
    int width = 0, height = 0, depth = 8, channels = 1;
    bool minIsWhite = false; // 1 bit only
    QVector<quint16> samples;

    quint32 top() const { return depth == 1 ? 1 : depth == 8 ? 255 : 65535; }
};

Page makePage(int width, int height, int depth, int channels, bool minIsWhite, quint32 seed)
{
    Page p{width, height, depth, channels, minIsWhite, {}};
    QRandomGenerator random(seed);
    for (int i = 0; i < width * height * channels; ++i)
        p.samples << quint16(random.bounded(p.top() + 1));
    return p;
}

// Pixel (x, y) of the page reduced by `factor`: each channel's mean over the
// cell, scaled to 8 bits, rounded half up.
QRgb reducedPixel(const Page& p, int factor, int x, int y)
{
    quint64 sums[3] = {0, 0, 0};
    quint64 n = 0;
    for (int py = y * factor; py < std::min(p.height, (y + 1) * factor); ++py) {
        for (int px = x * factor; px < std::min(p.width, (x + 1) * factor); ++px) {
            for (int c = 0; c < p.channels; ++c)
                sums[c] += p.samples[(py * p.width + px) * p.channels + c];
            ++n;
        }
    }
    int v[3];
    for (int c = 0; c < 3; ++c) {
        const quint64 sum = sums[p.channels == 3 ? c : 0];
        v[c] = int((2 * sum * 255 + n * p.top()) / (2 * n * p.top()));
    }
    return qRgb(v[0], v[1], v[2]);
}

} // namespace

class TestPageReader : public QObject {
    Q_OBJECT

private slots:
    void reducedTiff_data();
    void reducedTiff();
    void jpegFactor_data();
    void jpegFactor();
};

void TestPageReader::reducedTiff_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("minIsWhite");
    QTest::addColumn<int>("factor");

    for (int factor : {2, 3, 8}) {
        QTest::addRow("1 bit, 0 white, 1/%d", factor) << 1 << 1 << true << factor;
        QTest::addRow("1 bit, 0 black, 1/%d", factor) << 1 << 1 << false << factor;
    }
    QTest::newRow("grey 8 bit, 1/3") << 8 << 1 << false << 3;
    QTest::newRow("grey 16 bit, 1/3") << 16 << 1 << false << 3;
    QTest::newRow("RGB 8 bit, 1/3") << 8 << 3 << false << 3;
}

void TestPageReader::reducedTiff()
{
    QFETCH(int, depth);
    QFETCH(int, channels);
    QFETCH(bool, minIsWhite);
    QFETCH(int, factor);

    QTemporaryDir dir;
    const QString path = dir.filePath("page.tiff");
    // 203 x 101: the last column and row of cells are narrower and shorter
    // than the others, and cells start inside bytes of 1-bit rows.
    const Page page = makePage(203, 101, depth, channels, minIsWhite, quint32(7 * depth + factor));
    QVERIFY(PageMaker::writeRawTiff(path, page.width, page.height, page.depth, page.channels, page.samples,
                                    page.minIsWhite));

    PageReader reader(path);
    QVERIFY(reader.IsValid());
    QCOMPARE(reader.Size(), QSize(203, 101));
    QCOMPARE(reader.IsBilevel(), depth == 1);
    const QImage reduced = reader.Read(factor).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(reduced.size(), QSize((203 + factor - 1) / factor, (101 + factor - 1) / factor));
    for (int y = 0; y < reduced.height(); ++y) {
        for (int x = 0; x < reduced.width(); ++x) {
            const QRgb want = reducedPixel(page, factor, x, y);
            const QRgb got = reduced.pixel(x, y);
            if (got != want)
                QFAIL(qPrintable(QString("(%1,%2): %3 instead of %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got & 0xFFFFFF, 6, 16, QChar('0'))
                                     .arg(want & 0xFFFFFF, 6, 16, QChar('0'))));
        }
    }
}

void TestPageReader::jpegFactor_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("least");
    QTest::addColumn<int>("factor");

    QTest::newRow("an eighth is enough") << QSize(1600, 800) << QSize(200, 100) << 8;
    QTest::newRow("wide page, height decides") << QSize(1000, 200) << QSize(200, 100) << 2;
    QTest::newRow("tall page, width decides") << QSize(200, 1000) << QSize(100, 200) << 2;
    QTest::newRow("no room for a reduction") << QSize(300, 300) << QSize(200, 200) << 1;
}

void TestPageReader::jpegFactor()
{
    QFETCH(QSize, page);
    QFETCH(QSize, least);
    QFETCH(int, factor);

    QTemporaryDir dir;
    const QString path = dir.filePath("page.jpg");
    QImage image(page, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QVERIFY(image.save(path, "JPEG"));
    PageReader reader(path);
    QCOMPARE(reader.FactorFor(least), factor);
    // The decoder reduces by exactly that factor.
    const QImage read = reader.Read(factor);
    QCOMPARE(read.size(), page / factor);
}

QTEST_GUILESS_MAIN(TestPageReader)
#include "tst_pagereader.moc"
