// OFD packages: every kind of page file shown as an image every reader
// decodes (JPEG or PNG) with the page's own pixels, page sizes from every
// kind of resolution, the private staging folder the package is put
// together in, and a cut-off JPEG page refused by the package writer itself.
#include "imageproc.h"
#include "ofdprocess.h"
#include "pageimage.h"
#include "pagemaker.h"
#include "sessioncheck.h"
#include "temppath.h"

#include <QDir>
#include <QDirIterator>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

using namespace PageMaker;
using SessionCheck::XPath;

namespace {

// A page's pixels as numbers: samples of `channels` per pixel, row after
// row, 0 black; a 1-bit sample is 0 or 1, others are of `depth` bits.
struct Raster {
    int width = 0, height = 0, depth = 8, channels = 1, dpi = 0;
    QVector<quint16> samples;
    quint16 at(int x, int y, int c) const { return samples[(y * width + x) * channels + c]; }
};

// A scanned-looking page (text strokes on paper, a shaded picture) of the
// given kind; 16-bit samples use their low byte too.
Raster makeRaster(int width, int height, int depth, int channels, int dpi, quint32 seed)
{
    Raster r{width, height, depth, channels, dpi, {}};
    const QImage::Format format = depth == 1      ? QImage::Format_Mono
                                  : channels == 1 ? QImage::Format_Grayscale8
                                                  : QImage::Format_RGB32;
    const QImage page = document(width, height, format, dpi, seed).convertToFormat(QImage::Format_RGB32);
    r.samples.reserve(width * height * channels);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const int rgb[3] = {qRed(line[x]), qGreen(line[x]), qBlue(line[x])};
            for (int c = 0; c < channels; ++c) {
                const int v = rgb[c];
                r.samples << quint16(depth == 1   ? (v >= 128 ? 1 : 0)
                                     : depth == 8 ? v
                                                  : (v << 8) | ((x * 7 + y * 3 + c * 11) & 0xFF));
            }
        }
    }
    return r;
}

bool writeTiff(const Raster& r, const QString& path, bool minIsWhite)
{
    return writeRawTiff(path, r.width, r.height, r.depth, r.channels, r.samples, minIsWhite, r.dpi);
}

// Writes the raster as the scan layer's PNM: P4 (a set bit is black), P5,
// P6, 16-bit samples most significant byte first, a "#dpi:" line.
bool writePnm(const Raster& r, const QString& path)
{
    QByteArray out = r.depth == 1 ? "P4" : r.channels == 1 ? "P5" : "P6";
    out += "\n#dpi:" + QByteArray::number(r.dpi) + "\n" + QByteArray::number(r.width) + " " +
           QByteArray::number(r.height) + "\n";
    if (r.depth > 1)
        out += r.depth == 8 ? "255\n" : "65535\n";
    const int rowBytes = (r.width * r.channels * r.depth + 7) / 8;
    for (int y = 0; y < r.height; ++y) {
        QByteArray row(rowBytes, 0);
        for (int i = 0; i < r.width * r.channels; ++i) {
            const quint16 v = r.samples[y * r.width * r.channels + i];
            if (r.depth == 1)
                row[i / 8] = char(row[i / 8] | ((v == 0 ? 1 : 0) << (7 - i % 8)));
            else if (r.depth == 8)
                row[i] = char(v);
            else
                row[2 * i] = char(v >> 8), row[2 * i + 1] = char(v & 0xFF);
        }
        out += row;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

// The first difference between a decoded image and the raster, at the
// raster's own depth ("" when equal).
QString difference(const QImage& image, const Raster& r)
{
    if (image.size() != QSize(r.width, r.height))
        return QString("size %1x%2").arg(image.width()).arg(image.height());
    const bool wide = r.depth == 16;
    const QImage px = image.convertToFormat(wide ? QImage::Format_RGBX64 : QImage::Format_RGB32);
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            for (int c = 0; c < r.channels; ++c) {
                int got = 0;
                if (wide) {
                    const QRgba64 p = reinterpret_cast<const QRgba64*>(px.constScanLine(y))[x];
                    got = c == 0 ? p.red() : c == 1 ? p.green() : p.blue();
                } else {
                    const QRgb p = reinterpret_cast<const QRgb*>(px.constScanLine(y))[x];
                    got = c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
                }
                const int want = r.depth == 1 ? r.at(x, y, c) * 255 : r.at(x, y, c);
                if (got != want)
                    return QString("(%1,%2) channel %3: %4, not %5").arg(x).arg(y).arg(c).arg(got).arg(want);
            }
        }
    }
    return QString();
}

} // namespace

class TestOfd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pageKinds_data();
    void pageKinds();
    void pageSizes_data();
    void pageSizes();
    void privateStaging();
    void truncatedJpegRefused();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestOfd::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestOfd::pageKinds_data()
{
    // "tiff" or "pnm"; "tiff lzw" and "tiff tiled" as tiffcp makes them.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("minIsWhite"); // 1-bit TIFF only
    struct Kind {
        const char* name;
        const char* file;
        int depth, channels;
        bool minIsWhite;
    };
    const Kind kinds[] = {
        {"tiff 1-bit, 0 white", "tiff", 1, 1, true},
        {"tiff 1-bit, 0 black", "tiff", 1, 1, false},
        {"tiff grey", "tiff", 8, 1, false},
        {"tiff RGB", "tiff", 8, 3, false},
        {"tiff 16-bit grey", "tiff", 16, 1, false},
        {"tiff 16-bit RGB", "tiff", 16, 3, false},
        {"pnm 1-bit", "pnm", 1, 1, false},
        {"pnm 1-bit, plain text", "pnm plain", 1, 1, false}, // decoded by Qt
        {"pnm grey", "pnm", 8, 1, false},
        {"pnm RGB", "pnm", 8, 3, false},
        {"pnm 16-bit grey", "pnm", 16, 1, false},
        {"pnm 16-bit RGB", "pnm", 16, 3, false},
        // Compressed strips, and tiles (which Qt decodes for the writer).
        {"tiff 16-bit grey, LZW", "tiff lzw", 16, 1, false},
        {"tiff 1-bit, 0 white, tiled", "tiff tiled", 1, 1, true},
        {"tiff RGB, tiled", "tiff tiled", 8, 3, false},
        {"tiff grey, dots per centimetre", "tiff cm", 8, 1, false},
        // 16-bit colour with alpha (four samples), as Qt writes it; Qt decodes it.
        {"tiff 16-bit RGBA", "tiff rgba", 16, 3, false},
    };
    for (const Kind& k : kinds) {
        for (const char* doc : {"single", "multi"})
            QTest::addRow("%s, %s", k.name, doc) << k.file << k.depth << k.channels << k.minIsWhite;
    }
}

// Every page in the package is JPEG or PNG (by its bytes, and whole as
// pngcheck sees it), has exactly the pixels and resolution of its page file
// at the page's own depth, and is named and typed so in the resources. The
// multi-page document puts two pages of the kind after a colour JPEG page.
// A bilevel document stays within 1.5 times our PDF of the same pages.
void TestOfd::pageKinds()
{
    QFETCH(QString, kind);
    QFETCH(int, depth);
    QFETCH(int, channels);
    QFETCH(bool, minIsWhite);
    const bool multi = QString(QTest::currentDataTag()).endsWith("multi");
    const int dpi = depth == 1 ? 300 : 150;
    // Bilevel pages at a size where coding matters, rows ending in a partly
    // used byte; others small.
    const QSize size = depth == 1 ? QSize(1241, 1754) : QSize(180, 130);
    QList<QString> pages;
    QList<Raster> rasters;
    if (multi) {
        pages << path("colour.jpg");
        QVERIFY(write(document(200, 150, QImage::Format_RGB32, 200, 3), pages.last()));
        rasters << Raster();
    }
    for (int i = 0; i < (multi ? 2 : 1); ++i) {
        rasters << makeRaster(size.width() + 8 * i, size.height(), depth, channels, dpi, quint32(5 + i));
        const QString ext = kind.section(' ', 0, 0);
        pages << path(QString("page%1.%2").arg(i).arg(ext));
        QVERIFY(ext == "tiff" ? writeTiff(rasters.last(), pages.last(), minIsWhite)
                              : writePnm(rasters.last(), pages.last()));
        if (kind.endsWith(" cm")) {
            // The same resolution, given in dots per centimetre.
            bool ok = false;
            SessionCheck::Run("tiffset", {"-s", "296", "3", pages.last()}, &ok);
            QVERIFY(ok);
            for (const char* tag : {"282", "283"}) {
                SessionCheck::Run("tiffset", {"-s", tag, QString::number(dpi / 2.54, 'f', 4), pages.last()},
                                  &ok);
                QVERIFY(ok);
            }
        } else if (kind.endsWith(" rgba")) {
            QImageWriter rgba(pages.last(), "tiff");
            QVERIFY(rgba.write(LoadPageImage(pages.last()).convertToFormat(QImage::Format_RGBA64)));
        } else if (kind.endsWith(" plain")) {
            // The same page as "P1" text (1 is black), which Qt decodes.
            const Raster& r = rasters.last();
            QByteArray text = "P1\n#dpi:" + QByteArray::number(dpi) + "\n" + QByteArray::number(r.width) +
                              " " + QByteArray::number(r.height) + "\n";
            for (int y = 0; y < r.height; ++y) {
                for (int x = 0; x < r.width; ++x)
                    text += r.at(x, y, 0) ? "0 " : "1 ";
                text += "\n";
            }
            QFile file(pages.last());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        } else if (kind != ext) {
            const QString plain = path("plain.tiff");
            QVERIFY(QFile::rename(pages.last(), plain));
            const QStringList how =
                kind.endsWith("lzw") ? QStringList{"-c", "lzw"} : QStringList{"-t", "-w", "16", "-l", "16"};
            bool ok = false;
            SessionCheck::Run("tiffcp", how + QStringList{plain, pages.last()}, &ok);
            QVERIFY(ok && QFile::remove(plain));
        }
        // The page file itself decodes to the raster (what a viewer of the
        // page shows), so the package is compared with the page's decode.
        const QImage decoded = LoadPageImage(pages.last());
        if (depth < 16)
            QCOMPARE(difference(decoded, rasters.last()), QString());
    }
    ImageProc proc;
    const QString target = path("doc.ofd");
    QVERIFY(multi ? proc.SaveMultiOFD(pages, target) : proc.SaveOFD(pages.first(), target));
    // The package's entry file comes first, where readers look for it.
    bool listed = false;
    const QString names = SessionCheck::Run("unzip", {"-Z1", target}, &listed);
    QVERIFY(listed);
    QCOMPARE(names.section('\n', 0, 0), QString("OFD.xml"));

    const QString root = path("unpacked");
    const QStringList media = SessionCheck::OfdPageMedia(target, root);
    QCOMPARE(media.size(), pages.size());
    const QString res = root + "/Doc_0/DocumentRes.xml";
    for (const QString& xml : {root + "/OFD.xml", root + "/Doc_0/Document.xml", res}) {
        bool wellFormed = false;
        SessionCheck::Run("xmllint", {"--noout", xml}, &wellFormed);
        QVERIFY2(wellFormed, qPrintable(xml));
    }
    for (int i = 0; i < pages.size(); ++i) {
        const QString file = media.at(i);
        const QByteArray data = bytes(file);
        const QString id =
            QString::number(XPath(root + "/Doc_0/Pages/Page_" + QString::number(i) + "/Content.xml",
                                  "string(//*[local-name()='ImageObject']/@ResourceID)")
                                .toInt());
        const QString format = XPath(res, "string(//*[local-name()='MultiMedia'][@ID='" + id + "']/@Format)");
        if (pages.at(i).endsWith(".jpg")) {
            QCOMPARE(data, bytes(pages.at(i)));
            QVERIFY(file.endsWith(".jpg"));
            QCOMPARE(format, QString("JPEG"));
            continue;
        }
        QVERIFY2(data.startsWith("\x89PNG\r\n\x1a\n"), qPrintable(file));
        QVERIFY(file.endsWith(".png"));
        QCOMPARE(format, QString("PNG"));
        bool whole = false;
        const QString check = SessionCheck::Run("pngcheck", {"-q", file}, &whole);
        QVERIFY2(whole, qPrintable(check));
        // The header's bit depth and colour type: the page's own kind.
        QCOMPARE(int(uchar(data.at(24))), depth);
        QCOMPARE(int(uchar(data.at(25))), channels == 3 ? 2 : 0);
        const QImage shown(file);
        QCOMPARE(difference(shown, rasters.at(i)), QString());
        QCOMPARE(qRound(shown.dotsPerMeterX() * 0.0254), dpi);
    }
    if (depth == 1 && !kind.endsWith("tiled")) {
        // The bilevel pages alone, as OFD and as PDF (pages as scanned: the
        // PDF writer reads TIFF pages in strips).
        const QList<QString> bilevel = pages.mid(multi ? 1 : 0);
        const QString ofd = path("bilevel.ofd"), pdf = path("bilevel.pdf");
        QVERIFY(proc.SaveMultiOFD(bilevel, ofd) && proc.SaveMultiPDF(bilevel, pdf));
        const double ratio = double(QFileInfo(ofd).size()) / double(QFileInfo(pdf).size());
        QVERIFY2(ratio <= 1.5, qPrintable(QString("OFD is %1 times the PDF").arg(ratio)));
    }
}

void TestOfd::pageSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("dpiX");
    QTest::addColumn<int>("dpiY");
    QTest::addColumn<QString>("box");
    // A JPEG's JFIF density as stored in the file (unit, x, y), when not as
    // Qt writes it.
    QTest::addColumn<QByteArray>("jfif");
    QTest::newRow("A4 at 200 dpi") << "a4.jpg" << QSize(1654, 2339) << 200 << 200 << "210.058 297.053"
                                   << QByteArray();
    QTest::newRow("300 x 150 dpi uses 300")
        << "wide.png" << QSize(600, 300) << 300 << 150 << "50.8 25.4" << QByteArray();
    QTest::newRow("pnm 300 dpi comment")
        << "scan.pnm" << QSize(300, 600) << 300 << 300 << "25.4 50.8" << QByteArray();
    QTest::newRow("zero resolution uses 200")
        << "zero.jpg" << QSize(400, 200) << 0 << 0 << "50.8 25.4" << QByteArray("\x01\0\0\0\0", 5);
    // 118 dots per centimetre is 299.72 dpi, taken as a whole 300 dpi.
    QTest::newRow("118 dots per centimetre")
        << "cm.jpg" << QSize(590, 295) << 72 << 72 << "49.9533 24.9767" << QByteArray("\x02\0\x76\0\x76", 5);
}

void TestOfd::pageSizes()
{
    QFETCH(QString, name);
    QFETCH(QSize, pixels);
    QFETCH(int, dpiX);
    QFETCH(int, dpiY);
    QFETCH(QString, box);
    QFETCH(QByteArray, jfif);
    const QString file = path(name);
    QImage image = pattern(pixels.width(), pixels.height(), QImage::Format_RGB32, 72);
    image.setDotsPerMeterX(qRound(dpiX / 0.0254));
    image.setDotsPerMeterY(qRound(dpiY / 0.0254));
    QVERIFY(write(image, file, dpiX));
    if (!jfif.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray data = f.readAll();
        QVERIFY(data.mid(6, 5) == QByteArray("JFIF\0", 5));
        data.replace(13, 5, jfif);
        f.seek(0);
        f.write(data);
    }
    ImageProc proc;
    QVERIFY(proc.SaveOFD(file, path("one.ofd")));
    const QString root = path("unpacked");
    const QStringList media = SessionCheck::OfdPageMedia(path("one.ofd"), root);
    QCOMPARE(media.size(), 1);
    const QString content = root + "/Doc_0/Pages/Page_0/Content.xml";
    const QStringList wh = box.split(' ');
    QCOMPARE(XPath(content, "string(//*[local-name()='Area']/*[local-name()='PhysicalBox'])"), "0 0 " + box);
    QCOMPARE(XPath(content, "string(//*[local-name()='ImageObject']/@Boundary)"), "0 0 " + box);
    QCOMPARE(XPath(content, "string(//*[local-name()='ImageObject']/@CTM)"),
             wh[0] + " 0 0 " + wh[1] + " 0 0");
    if (name.endsWith(".pnm")) // packaged as PNG
        QVERIFY(bytes(media.first()).startsWith("\x89PNG"));
    else
        QCOMPARE(bytes(media.first()), bytes(file));
}

// The package is staged in a folder of its own inside the program's private
// folder, its files readable by the user only, and the folder is gone when
// the writer is.
void TestOfd::privateStaging()
{
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(write(pattern(80, 60, QImage::Format_Grayscale8, 200), path("b.pnm"), 200));
    // The staging folders are the "ofd-*" folders that appear in the
    // program's private folder while the writers live.
    const auto stagingFolders = [] {
        return QDir(GetTempDir()).entryList({QStringLiteral("ofd-*")}, QDir::Dirs | QDir::Hidden);
    };
    const QStringList before = stagingFolders();
    QString first;
    {
        OFDProcess ofd(path("doc.ofd"));
        QStringList made = stagingFolders();
        for (const QString& name : before)
            made.removeAll(name);
        QCOMPARE(made.size(), 1);
        first = QDir(GetTempDir()).filePath(made.first());
        OFDProcess other(path("other.ofd"));
        QCOMPARE(stagingFolders().size(), before.size() + 2);
        QVERIFY(ofd.createOFD(ofd.AddImages({path("a.jpg"), path("b.pnm")})));
        QCOMPARE(int(QFileInfo(first).permissions() & 0x0777), 0x0700);
        int files = 0;
        QDirIterator it(first, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo f(it.next());
            ++files;
            QVERIFY2((f.permissions() & 0x0777) == 0x0600, qPrintable(f.filePath()));
        }
        QCOMPARE(files, 4 + 2 + 2);
    }
    QVERIFY(!QFileInfo::exists(first));
    QCOMPARE(stagingFolders(), before);
}

// JPEG pages go into the package as they are: one whose end is missing (cut
// off after the checks of the save began) must fail the package, naming it.
void TestOfd::truncatedJpegRefused()
{
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("a.jpg")));
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 200), path("b.jpg")));
    QFile cut(path("b.jpg"));
    QVERIFY(cut.resize(cut.size() - 40));
    OFDProcess ofd(path("doc.ofd"));
    QVERIFY(!ofd.createOFD(ofd.AddImages({path("a.jpg"), path("b.jpg")})));
    QCOMPARE(ofd.Failure().page, 1);
    QCOMPARE(ofd.Failure().path, path("b.jpg"));
    QCOMPARE(ofd.Failure().reason, SaveFailure::PageDamaged);
    QVERIFY(!QFileInfo::exists(path("doc.ofd")));
}

QTEST_MAIN(TestOfd)
#include "tst_ofd.moc"
