#include "imagebuffer.h"
#include "pagemaker.h"
#include "pageread.h"
#include "pagewriter.h"
#include "rawpagewriter.h"
#include "sessioncheck.h"
#include "tiffheader.h"

#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using PageMaker::bytes;
using SessionCheck::Run;

namespace {

// A page with distinct bytes everywhere, so that misplaced rows or swapped
// bytes show up.
QByteArray pattern(const PageGeometry& g)
{
    QByteArray data(g.bytesPerLine * g.lines, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 7 + i / g.bytesPerLine * 13) & 0xFF);
    return data;
}

PageGeometry geometry(bool rgb, int depth, int width, int lines, int resolution)
{
    PageGeometry g;
    g.rgb = rgb;
    g.depth = depth;
    g.pixelsPerLine = width;
    g.bytesPerLine = depth == 1 ? (width + 7) / 8 : width * (rgb ? 3 : 1) * (depth / 8);
    g.lines = lines;
    g.resolution = resolution;
    return g;
}

// Writes `data` through the writer for `format` in chunks of `chunk` bytes.
SANE_Status writePage(const QString& path, int format, const PageGeometry& g, QByteArray data, int chunk)
{
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (f == nullptr)
        return SANE_STATUS_ACCESS_DENIED;
    std::unique_ptr<PageWriter> w = PageWriter::Create(format, f);
    SANE_Status s = w->Begin(g);
    for (int i = 0; s == SANE_STATUS_GOOD && i < data.size(); i += chunk)
        s = w->Write(reinterpret_cast<uint8_t*>(data.data()) + i, size_t(qMin(chunk, int(data.size()) - i)));
    if (s == SANE_STATUS_GOOD)
        s = w->Finish();
    w.reset();
    if (std::fclose(f) != 0 && s == SANE_STATUS_GOOD)
        s = SANE_STATUS_ACCESS_DENIED;
    return s;
}

} // namespace

class TestPageWriters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void tiff_data();
    void tiff();
    void jpeg_data();
    void jpeg();
    void paddedRowsGiveTheSameFile_data();
    void paddedRowsGiveTheSameFile();
    void shortPageIsCompletedWithWhite_data();
    void shortPageIsCompletedWithWhite();
    void writeFailureIsReported_data();
    void writeFailureIsReported();
    void frameRowsMustHoldThePixels_data();
    void frameRowsMustHoldThePixels();
    void imageBufferInterleavesAndGrows();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestPageWriters::tiff_data()
{
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("dataOffset");
    QTest::addColumn<QString>("byteOrder");
    QTest::addColumn<int>("photometric");

    QTest::newRow("lineart 200dpi") << false << 1 << 200 << 210 << "MM" << 0;
    QTest::newRow("gray8 300dpi") << false << 8 << 300 << 222 << "MM" << 1;
    QTest::newRow("gray16") << false << 16 << 150 << 222 << "II" << 1;
    QTest::newRow("rgb8 300dpi") << true << 8 << 300 << 240 << "MM" << 2;
}

void TestPageWriters::tiff()
{
    QFETCH(bool, rgb);
    QFETCH(int, depth);
    QFETCH(int, resolution);
    QFETCH(int, dataOffset);
    QFETCH(QString, byteOrder);
    QFETCH(int, photometric);

    const PageGeometry g = geometry(rgb, depth, 37, 11, resolution);
    const QByteArray data = pattern(g);
    const QString file = path(QStringLiteral("page%1%2%3.tiff").arg(rgb).arg(depth).arg(resolution));
    QCOMPARE(writePage(file, PageWriter::Tiff, g, data, 100), SANE_STATUS_GOOD);

    const QByteArray written = bytes(file);
    QCOMPARE(QString::fromLatin1(written.left(2)), byteOrder);
    QCOMPARE(written.size(), dataOffset + data.size());
    QCOMPARE(written.mid(dataOffset), data);

    // An independent reader's view of the directory.
    const QString dump = Run("tiffdump", {file});
    QVERIFY2(dump.contains(QStringLiteral("Directory 0: offset 8")), qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("StripOffsets (273) LONG (4) 1<%1>").arg(dataOffset)),
             qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("StripByteCounts (279) LONG (4) 1<%1>").arg(data.size())),
             qPrintable(dump));
    QVERIFY2(dump.contains(QStringLiteral("Photometric (262) SHORT (3) 1<%1>").arg(photometric)),
             qPrintable(dump));
    if (depth == 1)
        QVERIFY2(dump.contains(QStringLiteral("FillOrder (266) SHORT (3) 1<1>")), qPrintable(dump));

    const QString info = Run("tiffinfo", {file}, nullptr, true);
    QVERIFY2(!info.contains(QStringLiteral("rror")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Image Width: 37 Image Length: 11")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Bits/Sample: %1").arg(depth)), qPrintable(info));
    if (resolution > 0)
        QVERIFY2(info.contains(QStringLiteral("Resolution: %1, %1 pixels/inch").arg(resolution)),
                 qPrintable(info));
}

void TestPageWriters::jpeg_data()
{
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("components");

    QTest::newRow("rgb8 300dpi") << true << 8 << 300 << 3;
    QTest::newRow("gray8 200dpi") << false << 8 << 200 << 1;
    QTest::newRow("gray16 150dpi") << false << 16 << 150 << 1;
}

void TestPageWriters::jpeg()
{
    QFETCH(bool, rgb);
    QFETCH(int, depth);
    QFETCH(int, resolution);
    QFETCH(int, components);

    // Left half black, right half white, in the delivered encoding.
    PageGeometry g = geometry(rgb, depth, 64, 16, resolution);
    QByteArray data(g.bytesPerLine * g.lines, '\0');
    for (int y = 0; y < g.lines; ++y) {
        char* row = data.data() + y * g.bytesPerLine;
        if (depth == 1) {
            std::fill(row, row + g.bytesPerLine / 2, char(0xFF));
        } else if (depth == 16) {
            // Little-endian 0xF020: only the high byte may reach the JPEG.
            for (int i = g.bytesPerLine / 2; i + 1 < g.bytesPerLine; i += 2) {
                row[i] = char(0x20);
                row[i + 1] = char(0xF0);
            }
        } else {
            std::fill(row + g.bytesPerLine / 2, row + g.bytesPerLine, char(0xFF));
        }
    }
    const QString file = path(QStringLiteral("p%1%2.jpg").arg(rgb).arg(depth));
    QCOMPARE(writePage(file, PageWriter::Jpeg, g, data, 40), SANE_STATUS_GOOD);

    const QImage image(file);
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), resolution);
    QCOMPARE(image.size(), QSize(64, 16));
    QCOMPARE(image.format() == QImage::Format_Grayscale8, components == 1);
    QVERIFY(qGray(image.pixel(5, 8)) < 20);
    const int right = depth == 16 ? 0xF0 : 255;
    QVERIFY2(qAbs(qGray(image.pixel(58, 8)) - right) < 12,
             qPrintable(QString::number(qGray(image.pixel(58, 8)))));
}

void TestPageWriters::paddedRowsGiveTheSameFile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("rgb");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("padding");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("rowsSent");

    QTest::newRow("pnm gray16, odd padding, odd chunks")
        << int(PageWriter::Pnm) << false << 16 << 3 << 7 << 11;
    QTest::newRow("tiff lineart, padding in one chunk")
        << int(PageWriter::Tiff) << false << 1 << 1 << 1000 << 11;
    QTest::newRow("tiff rgb8") << int(PageWriter::Tiff) << true << 8 << 5 << 13 << 11;
    QTest::newRow("tiff gray16 short page") << int(PageWriter::Tiff) << false << 16 << 4 << 9 << 6;
    QTest::newRow("png gray8, a row more than announced")
        << int(PageWriter::Png) << false << 8 << 2 << 17 << 12;
    QTest::newRow("png gray16") << int(PageWriter::Png) << false << 16 << 3 << 13 << 11;
    QTest::newRow("jpeg rgb8") << int(PageWriter::Jpeg) << true << 8 << 7 << 11 << 11;
}

void TestPageWriters::paddedRowsGiveTheSameFile()
{
    QFETCH(int, format);
    QFETCH(bool, rgb);
    QFETCH(int, depth);
    QFETCH(int, padding);
    QFETCH(int, chunk);
    QFETCH(int, rowsSent);

    // The same page once with rows of exactly its pixels and once with
    // `padding` bytes of junk after every row: the files must be identical.
    const PageGeometry plain = geometry(rgb, depth, 37, 11, 150);
    PageGeometry padded = plain;
    padded.bytesPerLine += padding;
    PageGeometry sent = plain;
    sent.lines = rowsSent;
    const QByteArray pixels = pattern(sent);
    QByteArray delivered;
    for (int y = 0; y < rowsSent; ++y)
        delivered += pixels.mid(y * plain.bytesPerLine, plain.bytesPerLine) + QByteArray(padding, char(0xA5));

    const QString a = path(QStringLiteral("plain%1.page").arg(QTest::currentDataTag()));
    const QString b = path(QStringLiteral("padded%1.page").arg(QTest::currentDataTag()));
    QCOMPARE(
        writePage(a, format, plain, pixels.left(plain.bytesPerLine * plain.lines), plain.bytesPerLine * 3),
        SANE_STATUS_GOOD);
    QCOMPARE(writePage(b, format, padded, delivered, chunk), SANE_STATUS_GOOD);
    QVERIFY(bytes(a).size() > 40);
    QCOMPARE(bytes(b), bytes(a));
}

void TestPageWriters::shortPageIsCompletedWithWhite_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depth");
    QTest::newRow("pnm gray") << int(PageWriter::Pnm) << 8;
    QTest::newRow("tiff lineart") << int(PageWriter::Tiff) << 1;
    QTest::newRow("png lineart") << int(PageWriter::Png) << 1;
    QTest::newRow("png gray") << int(PageWriter::Png) << 8;
    QTest::newRow("jpeg gray") << int(PageWriter::Jpeg) << 8;
}

void TestPageWriters::shortPageIsCompletedWithWhite()
{
    QFETCH(int, format);
    QFETCH(int, depth);
    // The device announced 20 rows but sent only 5 full rows of black.
    const PageGeometry g = geometry(false, depth, 32, 20, 100);
    const QByteArray black(g.bytesPerLine * 5, depth == 1 ? char(0xFF) : char(0));
    const QString ext = format == PageWriter::Png    ? "png"
                        : format == PageWriter::Jpeg ? "jpg"
                        : format == PageWriter::Tiff ? "tif"
                                                     : "pnm";
    const QString file = path(QStringLiteral("short%1%2.%3").arg(format).arg(depth).arg(ext));
    QCOMPARE(writePage(file, format, g, black, 7), SANE_STATUS_GOOD);
    const QImage image(file);
    QCOMPARE(image.size(), QSize(32, 20));
    QVERIFY(qGray(image.pixel(3, 1)) < 20);
    QVERIFY(qGray(image.pixel(3, 18)) > 235);
}

void TestPageWriters::writeFailureIsReported_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("pnm") << int(PageWriter::Pnm);
    QTest::newRow("tiff") << int(PageWriter::Tiff);
    QTest::newRow("jpeg") << int(PageWriter::Jpeg);
}

void TestPageWriters::writeFailureIsReported()
{
    QFETCH(int, format);
    // /dev/full behaves like a full disk: every write fails with ENOSPC.
    const PageGeometry g = geometry(true, 8, 200, 50, 100);
    QCOMPARE(writePage("/dev/full", format, g, pattern(g), 4096), SANE_STATUS_ACCESS_DENIED);
}

void TestPageWriters::imageBufferInterleavesAndGrows()
{
    ImageBuffer image;
    QVERIFY(image.Allocate(6, 1));            // two RGB pixels per row, one row to start
    const uint8_t red[] = {1, 2, 3, 4, 5, 6}; // three rows of two samples
    const uint8_t green[] = {11, 12, 13, 14, 15, 16};
    QVERIFY(image.Store(red, 6, 2, 3, 0));
    QCOMPARE(image.y(), 3);
    QCOMPARE(image.height(), 1 + ImageBuffer::kStripe);
    image.Rewind();
    QVERIFY(image.Store(green, 5, 2, 3, 1)); // a frame that ends one byte early
    QCOMPARE(image.Rows(), 3);
    const QByteArray rows(reinterpret_cast<const char*>(image.data()), 18);
    QCOMPARE(rows,
             QByteArray("\x01\x0B\x00\x02\x0C\x00\x03\x0D\x00\x04\x0E\x00\x05\x0F\x00\x06\x00\x00", 18));
    // Rows past the data stay zero-filled after growing.
    QCOMPARE(int(image.data()[6 * 200]), 0);
}

void TestPageWriters::frameRowsMustHoldThePixels_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("bytesPerLine");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1 bit, 9 pixels in 2 bytes") << int(SANE_FRAME_GRAY) << 1 << 9 << 2 << true;
    QTest::newRow("1 bit, 9 pixels in 1 byte") << int(SANE_FRAME_GRAY) << 1 << 9 << 1 << false;
    QTest::newRow("RGB, row one byte short") << int(SANE_FRAME_RGB) << 8 << 10 << 29 << false;
    QTest::newRow("grey 16 bit, padded") << int(SANE_FRAME_GRAY) << 16 << 10 << 24 << true;
    QTest::newRow("no pixels") << int(SANE_FRAME_GRAY) << 8 << 0 << 4 << false;
}

// A device whose rows are shorter than their pixels would shift every row
// of the page: such a frame is refused before anything is written.
void TestPageWriters::frameRowsMustHoldThePixels()
{
    QFETCH(int, format);
    QFETCH(int, depth);
    QFETCH(int, pixels);
    QFETCH(int, bytesPerLine);
    SANE_Parameters frame{};
    frame.format = SANE_Frame(format);
    frame.last_frame = SANE_TRUE;
    frame.depth = depth;
    frame.pixels_per_line = pixels;
    frame.bytes_per_line = bytesPerLine;
    frame.lines = 5;
    QTEST(PageRead::CheckFrame(frame, nullptr) == SANE_STATUS_GOOD, "accepted");
}

QTEST_GUILESS_MAIN(TestPageWriters)
#include "tst_pagewriters.moc"
