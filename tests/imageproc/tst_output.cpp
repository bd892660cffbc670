// Every output format, for bilevel, grey and colour pages, one page and
// several: saved through ImageProc and read back with tools that share no
// code with the writers (libtiff, poppler, unzip, Qt's readers); and every
// format's failures, which must keep the old file and leave nothing behind.
#include "filecheck.h"
#include "imageproc.h"
#include "jpeginfo.h"
#include "pagemaker.h"
#include "pixelcheck.h"
#include "savefailure.h"
#include "sessioncheck.h"
#include "temppath.h"
#include "tiffassembler.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

using namespace PageMaker;

namespace {

// One save call by the target's name: "doc.pdf" one page, "doc.pdf x3" the list.
bool save(ImageProc& proc, const QList<QString>& pages, const QString& target)
{
    const QString ext = QFileInfo(target).suffix();
    if (pages.size() > 1)
        return ext == "pdf"   ? proc.SaveMultiPDF(pages, target)
               : ext == "ofd" ? proc.SaveMultiOFD(pages, target)
                              : proc.SaveMultiTiff(pages, target);
    return ext == "pdf"   ? proc.SavePDF(pages.first(), target)
           : ext == "ofd" ? proc.SaveOFD(pages.first(), target)
                          : proc.SaveAs(pages.first(), target, 0.0, true);
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Where the converters put their temporary files.
QString tempFolder()
{
    return QFileInfo(GetTempFilePath("probe")).path();
}

} // namespace

class TestOutput : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void failures_data();
    void failures();
    void jpegHeaders_data();
    void jpegHeaders();
    void targetFailureReasons_data();
    void targetFailureReasons();
    void tiffCompression_data();
    void tiffCompression();
    void tiffPageSavedCompressed();
    void jpegDensityInCentimetres();
    void compact_data();
    void compact();
    void bilevelRowEnds_data();
    void bilevelRowEnds();
};

// Documents stay small: bilevel pages are coded (CCITT G4 in a PDF and a
// multi-page TIFF, deflated in an OFD), not stored as bitmaps, and
// colour JPEG pages go into a PDF or OFD as they are, not decoded and grown.
void TestOutput::compact_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("colour");
    QTest::addColumn<double>("limit"); // of the bitmap's bytes, or of the JPEG files' bytes
    for (const char* format : {"pdf", "ofd", "tiff"})
        QTest::addRow("%s, bilevel", format) << format << false << 0.25;
    QTest::newRow("pdf, colour") << "pdf" << true << 1.05;
    QTest::newRow("ofd, colour") << "ofd" << true << 1.05;
}

void TestOutput::compact()
{
    QFETCH(QString, format);
    QFETCH(bool, colour);
    QFETCH(double, limit);
    QTemporaryDir dir;
    QList<QString> pages;
    qint64 measure = 0;
    for (int i = 0; i < 3; ++i) {
        // An A4 page at 200 dpi.
        const QImage page =
            document(1654, 2339, colour ? QImage::Format_RGB32 : QImage::Format_Mono, 200, quint32(11 + i));
        pages << dir.filePath(QString("p%1.%2").arg(i).arg(colour ? "jpg" : "tiff"));
        QVERIFY(write(page, pages.last(), 200));
        measure += colour ? QFileInfo(pages.last()).size() : qint64(page.width() + 7) / 8 * page.height();
    }
    ImageProc proc;
    const QString target = dir.filePath("doc." + format);
    QVERIFY(save(proc, pages, target));
    const double ratio = double(QFileInfo(target).size()) / double(measure);
    QVERIFY2(ratio <= limit, qPrintable(QString("%1 of the pages' bytes").arg(ratio)));
}

void TestOutput::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("pages");
    for (const char* format : {"tiff", "pnm", "jpg", "png", "pdf", "ofd"}) {
        for (int depth : {1, 8, 24})
            QTest::addRow("%s %d-bit", format, depth) << format << depth << 1;
        // Several pages: bilevel, grey and colour in one document.
        if (QByteArray("tiff pdf ofd").contains(format))
            QTest::addRow("%s, 3 pages", format) << format << 0 << 3;
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
    const int dpi = depth == 1 ? 600 : depth == 24 ? 150 : 300;
    const auto depthOf = [depth](int page) { return depth > 0 ? depth : QList<int>{1, 8, 24}.at(page); };
    QList<QString> sources;
    QList<QImage> originals;
    for (int i = 0; i < pages; ++i) {
        const QImage::Format pixel = depthOf(i) == 1   ? QImage::Format_Mono
                                     : depthOf(i) == 8 ? QImage::Format_Grayscale8
                                                       : QImage::Format_RGB32;
        // The page files as scanning leaves them: bilevel TIFF, grey PNM,
        // colour JPEG; a grey PNM target from a PNG page, so that it is converted.
        const QString kind = depthOf(i) == 1    ? "tiff"
                             : depthOf(i) == 24 ? "jpg"
                             : format == "pnm"  ? "png"
                                                : "pnm";
        sources << dir.filePath(QString("page%1.%2").arg(i).arg(kind));
        QVERIFY(write(document(240 + 16 * i, 320, pixel, dpi, quint32(7 + i)), sources.last(), dpi));
        originals << QImage(sources.last()); // after the source's own compression
    }
    const QString target = dir.filePath("out." + format);
    // An older file of that name, readable by its group only: the new one
    // replaces it and keeps its permissions.
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older") == 5);
    old.close();
    QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ImageProc proc;
    QVERIFY(save(proc, sources, target));
    QCOMPARE(QString::number(FileCheck::modeOf(target), 8), QString("640"));

    QList<QImage> back;
    QList<int> backDpi;
    if (format == "tiff") {
        for (const QImage& page : SessionCheck::ReadTiff(target)) {
            back << page;
            backDpi << qRound(page.dotsPerMeterX() * 0.0254);
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
    }
    QCOMPARE(back.size(), pages);
    // Lossy steps (JPEG inside TIFF and PDF, rendering) stay well below the
    // difference between two pages of the document.
    for (int i = 0; i < pages; ++i) {
        const double tolerance = format == "pdf" || depthOf(i) == 1 ? 12.0 : 8.0;
        const double diff = PixelCheck::MeanDifference(back.at(i), originals.at(i));
        QVERIFY2(diff < tolerance, qPrintable(QString("page %1 differs by %2").arg(i + 1).arg(diff)));
        if (format != "pdf" && format != "pnm") {
            QCOMPARE(backDpi.at(i), dpi);
        }
    }
    QVERIFY(QDir(tempFolder()).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(dir.path()).entryList({"*.part", ".*"}, QDir::Files | QDir::Hidden).isEmpty());
}

void TestOutput::failures_data()
{
    QTest::addColumn<QString>("target"); // " x3": three pages, the second one the faulty one
    QTest::addColumn<QString>("fault");
    const char* all[] = {"doc.tiff", "doc.pnm",     "doc.jpg",    "doc.png",   "doc.pdf",
                         "doc.ofd",  "doc.tiff x3", "doc.pdf x3", "doc.ofd x3"};
    for (const char* fault :
         {"full disk", "truncated JPEG page", "undecodable page", "missing page", "linked page"})
        for (const char* target : all)
            QTest::addRow("%s, %s", target, fault) << target << fault;
    // A page whose header reads well and whose pixels do not decode is
    // found while the document is written, and named.
    for (const char* target : {"doc.tiff x3", "doc.pdf x3", "doc.ofd", "doc.ofd x3"})
        QTest::addRow("%s, corrupt PNG page", target) << target << "corrupt PNG page";
    QTest::newRow("folder missing") << "no/such/doc.pdf x3"
                                    << "";
    QTest::newRow("target is a folder") << "folder.ofd"
                                        << "";
    QTest::newRow("target is a folder, tiff") << "folder.tiff x3"
                                              << "";
    QTest::newRow("page too wide for JPEG") << "doc.pdf"
                                            << "too wide";
}

void TestOutput::failures()
{
    QFETCH(QString, target);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath("out");
    QVERIFY(QDir().mkpath(out + "/folder.ofd/inside") && QDir().mkpath(out + "/folder.tiff/inside"));
    const int count = target.endsWith(" x3") ? 3 : 1;
    const QString dst = out + "/" + target.section(' ', 0, 0);
    QList<QString> pages;
    for (int i = 0; i < count; ++i) {
        pages << dir.filePath(QString("p%1.png").arg(i));
        QVERIFY(write(noise(fault == "too wide" ? 70000 : 200, fault == "too wide" ? 2 : 150, quint32(i)),
                      pages.last()));
    }
    const int bad = count / 2;
    if (fault == "truncated JPEG page" || fault == "undecodable page") {
        pages[bad] = dir.filePath("bad.jpg");
        QVERIFY(write(noise(200, 150, 9), pages[bad]));
        const QByteArray whole = bytes(pages[bad]);
        QFile f(pages[bad]);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fault == "undecodable page" ? QByteArray("\xff\xd8 not a picture")
                                            : whole.left(whole.size() / 2));
    } else if (fault == "missing page") {
        pages[bad] = dir.filePath("gone.png");
    } else if (fault == "linked page") { // never read through the link
        QVERIFY(QFile::link(pages[bad], dir.filePath("link.png")));
        pages[bad] = dir.filePath("link.png");
    } else if (fault == "corrupt PNG page") {
        QByteArray data = bytes(pages[bad]);
        for (int i = data.size() / 2; i < data.size() / 2 + 64; ++i)
            data[i] = char(data.at(i) ^ 0x55);
        QFile f(pages[bad]);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    }
    ImageProc proc;
    qint64 limit = 0;
    if (fault == "full disk") {
        // The disk fills up just before the document is complete (an OFD's
        // id and date make its size vary by a few bytes).
        const QString probe = dir.filePath("probe." + QFileInfo(dst).suffix());
        QVERIFY(save(proc, pages, probe));
        limit = QFileInfo(probe).size() - (dst.endsWith("ofd") ? 64 : 1);
    }
    if (QFileInfo(dst).dir().exists() && !QFileInfo(dst).isDir()) {
        QFile old(dst);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older document") > 0);
    }
    const QStringList before = entries(out);
    const QStringList scanBefore = entries(tempFolder());
    if (fault == "too wide")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("JPEG encoder:.*65500"));
    bool saved = true;
    {
        QScopedPointer<FileSizeLimit> full(limit > 0 ? new FileSizeLimit(quint64(limit)) : nullptr);
        saved = save(proc, pages, dst);
    }
    QVERIFY(!saved);
    QCOMPARE(entries(out), before);
    QCOMPARE(entries(tempFolder()), scanBefore);
    if (QFileInfo(dst).isFile())
        QCOMPARE(bytes(dst), QByteArray("older document"));
    if (fault.endsWith(" page")) {
        QVERIFY(proc.LastFailure().IsPage());
        QCOMPARE(proc.LastFailure().page, bad);
        QCOMPARE(proc.LastFailure().path, pages[bad]);
    }
}

void TestOutput::jpegHeaders_data()
{
    // A frame header of 8-bit samples, 3 x 2 pixels, three components.
    const QByteArray sof("\xff\xc0\x00\x11\x08\x00\x02\x00\x03\x03"
                         "\x01\x11\x00\x02\x11\x01\x03\x11\x01",
                         19);
    const QByteArray dht("\xff\xc4\x00\x05\x00\x01\x02", 7);
    const QByteArray adobe("\xff\xee\x00\x0e"
                           "Adobe\x00\x64\x00\x00\x00\x00\x01",
                           16);
    // 300 dots per inch across, 200 down.
    const QByteArray jfif("\xff\xe0\x00\x10JFIF\x00\x01\x01\x01\x01\x2c\x00\xc8\x00\x00", 18);
    // A scan header of one component, two bytes of coded data, the end.
    const QByteArray scan("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00\x12\x34\xff\xd9", 14);
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("width"); // 0: not read
    QTest::addColumn<bool>("embeddable");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("densityY"); // -1: not looked at
    QTest::newRow("frame header") << "\xff\xd8" + sof << 3 << true << false << -1;
    QTest::newRow("Huffman table before the frame") << "\xff\xd8" + dht + sof << 3 << true << false << -1;
    QTest::newRow("Adobe marker: maybe CMYK") << "\xff\xd8" + adobe + sof << 3 << false << false << -1;
    QTest::newRow("frame header one byte short") << "\xff\xd8" + sof.left(18) << 0 << false << false << -1;
    QTest::newRow("densities differ") << "\xff\xd8" + jfif + sof << 3 << true << false << 200;
    QTest::newRow("frame and scan") << "\xff\xd8" + sof + scan << 3 << true << true << -1;
    QTest::newRow("frame, no scan, end") << "\xff\xd8" + sof + "\xff\xd9" << 3 << true << false << -1;
    // Some scanners leave a restart marker between segments.
    QTest::newRow("restart marker between segments")
        << "\xff\xd8" + sof + "\xff\xd0" + scan << 3 << true << true << -1;
}

void TestOutput::jpegHeaders()
{
    QFETCH(QByteArray, data);
    QFETCH(int, width);
    QFETCH(bool, embeddable);
    QFETCH(bool, complete);
    QFETCH(int, densityY);
    JpegInfo info;
    QCOMPARE(info.Parse(data), width > 0);
    QCOMPARE(JpegInfo::IsComplete(data), complete);
    if (densityY >= 0)
        QCOMPARE(info.densityY, densityY);
    if (width > 0) {
        QCOMPARE(info.width, width);
        QCOMPARE(info.height, 2);
        QCOMPARE(info.Embeddable(), embeddable);
    }
}

// What the message says about a target that could not be written.
void TestOutput::targetFailureReasons_data()
{
    QTest::addColumn<QString>("target"); // in a folder that exists unless named "missing/"
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("reason");
    QTest::newRow("disk full") << "doc.pdf" << ENOSPC << int(SaveFailure::DiskFull);
    QTest::newRow("quota used up") << "doc.pdf" << EDQUOT << int(SaveFailure::DiskFull);
    QTest::newRow("file size limit") << "doc.pdf" << EFBIG << int(SaveFailure::FileTooLarge);
    QTest::newRow("read-only file system") << "doc.pdf" << EROFS << int(SaveFailure::NoPermission);
    QTest::newRow("input/output error") << "doc.pdf" << EIO << int(SaveFailure::WriteFailed);
    QTest::newRow("folder gone") << "missing/doc.pdf" << EIO << int(SaveFailure::FolderMissing);
    QTest::newRow("a folder of that name") << "sub" << EIO << int(SaveFailure::TargetIsFolder);
}

void TestOutput::targetFailureReasons()
{
    QFETCH(QString, target);
    QFETCH(int, error);
    QFETCH(int, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const SaveFailure failure = SaveFailure::Target(dir.filePath(target), error);
    QCOMPARE(int(failure.reason), reason);
    QCOMPARE(failure.path,
             reason == SaveFailure::FolderMissing ? dir.filePath("missing") : dir.filePath(target));
}

// A TIFF page saved as TIFF is written compressed, not copied as scanned.
void TestOutput::tiffPageSavedCompressed()
{
    QTemporaryDir dir;
    const QString page = dir.filePath("page.tiff"), out = dir.filePath("out.tiff");
    QVERIFY(write(document(300, 200, QImage::Format_Mono, 200, 4), page));
    QCOMPARE(readTiff(page).value(0).compression, quint16(1));
    ImageProc proc;
    QVERIFY(proc.SaveAs(page, out, 0.0, true));
    const QVector<TiffDir> dirs = readTiff(out);
    QCOMPARE(dirs.size(), 1);
    QCOMPARE(dirs[0].compression, quint16(8)); // deflate
    QCOMPARE(QSize(int(dirs[0].width), int(dirs[0].height)), QSize(300, 200));
}

// A JPEG page whose density is given per centimetre keeps it so in a
// multi-page TIFF.
void TestOutput::jpegDensityInCentimetres()
{
    QTemporaryDir dir;
    const QString page = dir.filePath("page.jpg"), out = dir.filePath("out.tiff");
    QVERIFY(write(document(160, 120, QImage::Format_RGB32, 300, 5), page));
    QByteArray data = bytes(page);
    QVERIFY(data.mid(6, 5) == QByteArray("JFIF\0", 5));
    data[13] = 2;                       // dots per centimetre
    data[14] = 0, data[15] = char(118); // across
    data[16] = 0, data[17] = char(118); // down
    QFile f(page);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    ImageProc proc;
    QVERIFY(proc.SaveMultiTiff({page, page}, out));
    const QVector<TiffDir> dirs = readTiff(out);
    QCOMPARE(dirs.size(), 2);
    QCOMPARE(dirs[0].unit, quint16(3)); // RESUNIT_CENTIMETER
    QCOMPARE(dirs[0].xres, 118.0f);
}

void TestOutput::tiffCompression_data()
{
    QTest::addColumn<QString>("compression");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("jpeg quality 1") << "jpeg:1" << true;
    QTest::newRow("jpeg quality 0") << "jpeg:0" << false;
    QTest::newRow("jpeg quality x") << "jpeg:x" << false;
    QTest::newRow("lzw predictor 2") << "lzw:2" << true;
    QTest::newRow("lzw predictor 4") << "lzw:4" << false;
    QTest::newRow("zip predictor 4") << "zip:4" << false;
    QTest::newRow("unknown scheme") << "lzma" << false;
}

// A page shorter than a strip is one strip of exactly its height.
void TestOutput::tiffCompression()
{
    QFETCH(QString, compression);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    TiffAssembler tiff;
    QCOMPARE(tiff.Open(dir.filePath("short.tiff"), compression), accepted);
    if (!accepted)
        return;
    QVERIFY(tiff.AddImage(document(64, 10, QImage::Format_RGB32, 300)));
    QVERIFY(tiff.Commit());
    const QVector<TiffDir> dirs = readTiff(dir.filePath("short.tiff"));
    QCOMPARE(dirs.size(), 1);
    QCOMPARE(dirs[0].rowsPerStrip, 10u);
}

void TestOutput::bilevelRowEnds_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<quint8>("fill");
    QTest::newRow("13 wide, spare bits set") << 13 << quint8(0xff);
    QTest::newRow("13 wide, spare bits clear") << 13 << quint8(0x00);
    QTest::newRow("9 wide, spare bits set") << 9 << quint8(0xff);
    QTest::newRow("9 wide, spare bits clear") << 9 << quint8(0x00);
}

// The bits after a bilevel row's last pixel carry nothing: a saved TIFF has
// them clear, whatever the page's own file or memory held there, so the
// same page always saves to the same bytes.
void TestOutput::bilevelRowEnds()
{
    QFETCH(int, width);
    QFETCH(quint8, fill);
    QTemporaryDir dir;
    const int height = 6;
    const int rowBytes = (width + 7) / 8;
    QByteArray pbm = QString("P4\n%1 %2\n").arg(width).arg(height).toLatin1();
    for (int y = 0; y < height; ++y) {
        for (int b = 0; b < rowBytes; ++b) {
            const quint8 pixels = quint8(0xa5 ^ (y * 0x1d) ^ b);
            const int used = std::min(8, width - 8 * b);
            const quint8 usedMask = quint8(0xff << (8 - used));
            pbm.append(char((pixels & usedMask) | (fill & ~usedMask)));
        }
    }
    const QString source = dir.filePath("page.pbm");
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(pbm) == pbm.size());
    f.close();
    const QString target = dir.filePath("out.tiff");
    ImageProc proc;
    QVERIFY(proc.SaveAs(source, target, 0.0, true));
    const QVector<TiffDir> dirs = readTiff(target);
    QCOMPARE(dirs.size(), 1);
    QCOMPARE(int(dirs[0].bits), 1);
    QCOMPARE(dirs[0].rows.size(), rowBytes * height);
    const quint8 spare = quint8(0xff >> (width % 8));
    for (int y = 0; y < height; ++y)
        QCOMPARE(quint8(dirs[0].rows[y * rowBytes + rowBytes - 1]) & spare, 0);
    QCOMPARE(QImage(target).convertToFormat(QImage::Format_RGB32),
             QImage(source).convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
