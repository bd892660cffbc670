#include "tiffheader.h"
#include "tiffreducer.h"

#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <tiffio.h>
#include <vector>

// The reducer against a reference computed here: the same file decoded
// whole by Qt's reader, then every factor x factor cell averaged.
class TestTiffReducer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void averagesCells_data();
    void averagesCells();
    void damagedPage_data();
    void damagedPage();

private:
    QString Write(const QString& name, QSize size, int bits, int samples, int photometric, int compression);
    QTemporaryDir m_dir;
};

void TestTiffReducer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// A page of noise whose density changes from region to region, so that the
// cell means differ; written line by line with libtiff.
QString TestTiffReducer::Write(const QString& name, QSize size, int bits, int samples, int photometric,
                               int compression)
{
    const QString path = m_dir.filePath(name);
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return QString();
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(photometric));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(compression));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    QRandomGenerator random(7);
    std::vector<uchar> line(size_t(TIFFScanlineSize(tiff)), 0);
    for (int y = 0; y < size.height(); ++y) {
        // Bits past the last pixel set: nothing obliges a writer to clear them.
        std::fill(line.begin(), line.end(), 0);
        if (bits == 1 && size.width() % 8 != 0) {
            line.back() = uchar(0xff >> (size.width() % 8));
        }
        for (int x = 0; x < size.width(); ++x) {
            const int density = ((x / 9) + (y / 5)) % 5; // 0..4 quarters
            for (int c = 0; c < samples; ++c) {
                if (bits == 1) {
                    if (int(random.bounded(4)) < density) {
                        line[size_t(x / 8)] |= uchar(0x80 >> (x % 8));
                    }
                } else if (bits == 8) {
                    line[size_t(x * samples + c)] = uchar(density * 50 + random.bounded(50));
                } else {
                    const quint16 value = quint16(density * 13000 + random.bounded(13000));
                    std::memcpy(&line[size_t(2 * (x * samples + c))], &value, 2);
                }
            }
        }
        if (TIFFWriteScanline(tiff, line.data(), uint32_t(y), 0) < 0) {
            TIFFClose(tiff);
            return QString();
        }
    }
    TIFFClose(tiff);
    return path;
}

void TestTiffReducer::averagesCells_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("photometric");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("tolerance");

    const int white = PHOTOMETRIC_MINISWHITE;
    const int black = PHOTOMETRIC_MINISBLACK;
    const int rgb = PHOTOMETRIC_RGB;
    const int none = COMPRESSION_NONE;
    // Sizes that leave partial cells at the right and the bottom.
    QTest::newRow("1-bit min-is-white, as scanned") << 1 << 1 << white << none << QSize(250, 173) << 4 << 0;
    QTest::newRow("1-bit min-is-black") << 1 << 1 << black << none << QSize(203, 101) << 7 << 0;
    QTest::newRow("1-bit, cells wider than a word") << 1 << 1 << white << none << QSize(500, 260) << 61 << 0;
    QTest::newRow("1-bit, unreduced") << 1 << 1 << white << none << QSize(37, 11) << 1 << 0;
    QTest::newRow("1-bit G4") << 1 << 1 << white << int(COMPRESSION_CCITTFAX4) << QSize(301, 150) << 5 << 0;
    QTest::newRow("8-bit grey min-is-white") << 8 << 1 << white << none << QSize(130, 97) << 3 << 0;
    QTest::newRow("8-bit RGB, LZW") << 8 << 3 << rgb << int(COMPRESSION_LZW) << QSize(121, 88) << 6 << 0;
    // Qt rounds each 16-bit sample to 8 bits before we average; we average
    // first.
    QTest::newRow("16-bit grey") << 16 << 1 << black << none << QSize(99, 70) << 4 << 1;
    QTest::newRow("16-bit RGB") << 16 << 3 << rgb << int(COMPRESSION_ADOBE_DEFLATE) << QSize(64, 45) << 2
                                << 1;
}

void TestTiffReducer::averagesCells()
{
    QFETCH(int, bits);
    QFETCH(int, samples);
    QFETCH(int, photometric);
    QFETCH(int, compression);
    QFETCH(QSize, size);
    QFETCH(int, factor);
    QFETCH(int, tolerance);

    const QString path = Write(QStringLiteral("%1.tiff").arg(QTest::currentDataTag()).replace(' ', '_'), size,
                               bits, samples, photometric, compression);
    QVERIFY(!path.isEmpty());
    const QImage reference = QImageReader(path).read().convertToFormat(
        samples == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    QCOMPARE(reference.size(), size);

    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    QVERIFY(tiff != nullptr);
    TiffReducer reducer(tiff);
    QVERIFY(reducer.IsSupported());
    QCOMPARE(reducer.IsBilevel(), bits == 1);
    const QImage reduced = reducer.Read(factor);
    TIFFClose(tiff);
    QCOMPARE(reduced.size(),
             QSize((size.width() + factor - 1) / factor, (size.height() + factor - 1) / factor));

    for (int oy = 0; oy < reduced.height(); ++oy) {
        for (int ox = 0; ox < reduced.width(); ++ox) {
            const QRect cell = QRect(ox * factor, oy * factor, factor, factor).intersected(reference.rect());
            double sum[3] = {0, 0, 0};
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    const QRgb pixel = reference.pixel(x, y);
                    sum[0] += qRed(pixel);
                    sum[1] += qGreen(pixel);
                    sum[2] += qBlue(pixel);
                }
            }
            const double n = double(cell.width()) * cell.height();
            const QRgb got = reduced.pixel(ox, oy);
            const int channels[3] = {qRed(got), qGreen(got), qBlue(got)};
            for (int c = 0; c < 3; ++c) {
                const int want = int(std::floor(sum[c] / n + 0.5));
                if (std::abs(channels[c] - want) > tolerance) {
                    QFAIL(qPrintable(QStringLiteral("cell (%1, %2) channel %3: %4, expected %5")
                                         .arg(ox)
                                         .arg(oy)
                                         .arg(c)
                                         .arg(channels[c])
                                         .arg(want)));
                }
            }
        }
    }
}

void TestTiffReducer::damagedPage_data()
{
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("depth");

    QTest::newRow("1-bit") << false << 1;
    QTest::newRow("8-bit RGB") << true << 8;
}

// A page as the scanner writes it (header, then the lines) whose file ends
// in the middle of the lines.
void TestTiffReducer::damagedPage()
{
    QFETCH(bool, rgb);
    QFETCH(int, depth);

    const QSize size(300, 200);
    QByteArray data = TiffHeader::Build(rgb, depth, size.width(), size.height(), 300);
    const int line = (size.width() * (rgb ? 3 : 1) * depth + 7) / 8;
    data.append(QByteArray(line * size.height(), '\x5a'));
    const QString path = m_dir.filePath(QStringLiteral("cut-%1.tiff").arg(depth));
    for (const int cut : {0, line * size.height() / 2}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data.left(data.size() - cut));
        file.close();

        TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
        QVERIFY(tiff != nullptr);
        TiffReducer reducer(tiff);
        QVERIFY(reducer.IsSupported());
        const QImage reduced = reducer.Read(3);
        TIFFClose(tiff);
        QCOMPARE(reduced.isNull(), cut > 0);
    }
}

QTEST_MAIN(TestTiffReducer)
#include "tst_tiffreducer.moc"
