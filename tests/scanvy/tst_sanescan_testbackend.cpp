// SaneScan against libsane's own "test" backend, which brings option types
// of every kind, hand-scanner pages of unknown length, three-pass colour,
// 16-bit data and injected read statuses. scanimage on the same device and
// settings is the peer for pixel equality.
//
// The test backend stops its reader thread with an asynchronous cancel when
// a page ends; when that lands while the thread is inside malloc, the thread
// deadlocks in its own exit and the scan never returns. That race is the
// backend's, so every scan here runs in a forked child: the parent checks
// the files, the status and the announced paths, and skips (with the reason)
// when the backend hung. Feeder batches and numbering are tested on the
// simulator.
#include "sanescan.h"
#include "testtools.h"
#include "tiffheader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using Settings = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Settings)

namespace {

const QString kDevice = QStringLiteral("test:0");

// Small pages keep the scans fast.
const Settings kBase = {{"resolution", "50"}, {"br-x", "30"}, {"br-y", "25"}};

QStringList scanimageArgs(const Settings& settings)
{
    QStringList args{"-d", kDevice, "--format=pnm"};
    for (const auto& s : settings) {
        if (s.first == "br-x")
            args << "-x" << s.second;
        else if (s.first == "br-y")
            args << "-y" << s.second;
        else
            args << QStringLiteral("--%1=%2").arg(s.first, s.second);
    }
    return args;
}

QByteArray swapped16(QByteArray b)
{
    for (int i = 0; i + 1 < b.size(); i += 2)
        std::swap(b.data()[i], b.data()[i + 1]);
    return b;
}

// Samples of a page in row order (8-bit pages as 0..255, 16-bit as 0..65535;
// 1-bit pixels as 0 for black and 255 for white), from the pixel bytes of a
// PNM file or from a decoded image.
QVector<int> pnmSamples(const QByteArray& pixels, int width, int height, int channels, int depth)
{
    QVector<int> out;
    const int rowBytes = (width * channels * depth + 7) / 8;
    for (int y = 0; y < height; ++y) {
        const uchar* row = reinterpret_cast<const uchar*>(pixels.constData()) + y * rowBytes;
        for (int i = 0; i < width * channels; ++i) {
            if (depth == 1)
                out << ((row[i >> 3] & (0x80 >> (i & 7))) ? 0 : 255);
            else if (depth == 8)
                out << row[i];
            else
                out << ((row[2 * i] << 8) | row[2 * i + 1]);
        }
    }
    return out;
}

QVector<int> imageSamples(const QImage& image, int channels, int depth)
{
    QVector<int> out;
    const bool wide = depth == 16;
    const QImage img =
        channels == 3 ? image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGB888)
                      : image.convertToFormat(wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (channels == 1 && wide) {
                out << reinterpret_cast<const quint16*>(img.constScanLine(y))[x];
            } else if (channels == 1) {
                out << img.constScanLine(y)[x];
            } else if (wide) {
                const QRgba64 c = reinterpret_cast<const QRgba64*>(img.constScanLine(y))[x];
                out << c.red() << c.green() << c.blue();
            } else {
                const uchar* p = img.constScanLine(y) + 3 * x;
                out << p[0] << p[1] << p[2];
            }
        }
    }
    return out;
}

// Drops the bytes after each row's pixels; rows are `rowBytes` long.
QByteArray stripPadding(const QByteArray& rows, int height, int pixelRowBytes)
{
    const int rowBytes = height > 0 ? rows.size() / height : 0;
    QByteArray out;
    for (int y = 0; y < height; ++y)
        out += rows.mid(y * rowBytes, pixelRowBytes);
    return out;
}

struct ChildScan {
    bool hung = false;
    int status = -1;
    QStringList announced;
};

// Runs one Scan in a forked copy of this process and reports its result.
ChildScan scanInChild(SaneScan& scan, const QString& basePath, const QString& format, int first, int digits,
                      int limit)
{
    ChildScan result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        QStringList paths;
        QObject::connect(&scan, &SaneScan::sglScanOneImageDone, [&paths](const QString& p) { paths << p; });
        const int status = scan.Scan(basePath, format, first, digits, limit);
        const QByteArray out = QByteArray::number(status) + '\n' + paths.join('\n').toUtf8();
        const bool ok = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
        _exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        pollfd pfd{fds[0], POLLIN, 0};
        const int left = int(qMax<qint64>(0, 20000 - timer.elapsed()));
        if (poll(&pfd, 1, left) <= 0) {
            result.hung = true;
            kill(pid, SIGKILL);
            break;
        }
        char buf[4096];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, int(n));
    }
    ::close(fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (!result.hung) {
        const QList<QByteArray> lines = out.split('\n');
        result.status = lines.value(0).isEmpty() ? -1 : lines.value(0).toInt();
        for (int i = 1; i < lines.size(); ++i) {
            if (!lines.at(i).isEmpty())
                result.announced << QString::fromUtf8(lines.at(i));
        }
    }
    return result;
}

} // namespace

#define SCAN_IN_CHILD(var, ...)                                                                              \
    const ChildScan var = scanInChild(m_scan, __VA_ARGS__);                                                  \
    if (var.hung)                                                                                            \
        QSKIP("libsane's test backend deadlocked in its reader thread");

class TestSaneScanTestBackend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void deviceListKeepsOnlyTheFamilies();
    void openAndCloseRules();
    void setOption_data();
    void setOption();
    void pixelsEqualScanimage_data();
    void pixelsEqualScanimage();
    void failedPages_data();
    void failedPages();

private:
    void apply(const Settings& settings);
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSaneScanTestBackend::initTestCase()
{
    const QByteArray conf = qgetenv("SANE_CONFIG_DIR");
    QVERIFY2(!conf.isEmpty(), "tests run with a private SANE_CONFIG_DIR");
    QFile dll(QString::fromLocal8Bit(conf) + "/dll.conf");
    QVERIFY(dll.open(QIODevice::Append | QIODevice::Text));
    dll.write("\ntest\n");
    dll.close();
    m_scan.Init();
}

void TestSaneScanTestBackend::cleanupTestCase()
{
    m_scan.CloseDevice();
    m_scan.Exit();
}

void TestSaneScanTestBackend::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    // The test backend keeps option values while it is loaded; a restart of
    // SANE gives every test function the defaults.
    m_scan.Exit();
    m_scan.Init();
    m_scan.ResetScannerList({kDevice, QStringLiteral("test:1")});
    QCOMPARE(m_scan.OpenDevice(kDevice), int(SANE_STATUS_GOOD));
    m_scan.GetAllOptions();
}

void TestSaneScanTestBackend::cleanup()
{
    m_scan.CloseDevice();
}

void TestSaneScanTestBackend::apply(const Settings& settings)
{
    for (const auto& s : settings)
        QVERIFY(m_scan.SetOption(s.first, s.second));
}

void TestSaneScanTestBackend::deviceListKeepsOnlyTheFamilies()
{
    QList<QString> names{QStringLiteral("stale")};
    QCOMPARE(m_scan.GetDeviceList(names), int(SANE_STATUS_GOOD));
    // "test:0" and "test:1" exist in SANE but belong to no family.
    QVERIFY(!names.contains(kDevice));
    for (const QString& n : names)
        QVERIFY2(n.startsWith("zylkx") || n.startsWith("zylwy") || n.startsWith("zyljn"), qPrintable(n));
    // The device list now decides what may be opened.
    m_scan.CloseDevice();
    QCOMPARE(m_scan.OpenDevice(kDevice), int(SANE_STATUS_UNSUPPORTED));
}

void TestSaneScanTestBackend::openAndCloseRules()
{
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:7")), int(SANE_STATUS_UNSUPPORTED));
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("TEST:0")), int(SANE_STATUS_UNSUPPORTED));

    // A second open keeps the first device in use ...
    QVERIFY(m_scan.SetOption("mode", "Color"));
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:1")), int(SANE_STATUS_GOOD));
    Opt_Result mode;
    m_scan.GetOption("mode", mode);
    QCOMPARE(mode.value, QStringLiteral("Color"));

    // ... and gives the second handle back at once: test:1 can be opened
    // again after closing (the backend refuses a device that is still open).
    m_scan.CloseDevice();
    m_scan.CloseDevice();
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:1")), int(SANE_STATUS_GOOD));
    m_scan.CloseDevice();

    // Nothing open: the record stays as passed, setting fails, 200 dpi.
    Opt_Result untouched;
    untouched.value = QStringLiteral("keep");
    m_scan.GetOption("mode", untouched);
    QCOMPARE(untouched.value, QStringLiteral("keep"));
    QCOMPARE(untouched.name, QString());
    QVERIFY(!m_scan.SetOption("mode", "Gray"));
    QCOMPARE(m_scan.get_resolution(), 200);
    QCOMPARE(m_scan.Scan(base(), "pnm", 1, 1, 0), int(SANE_STATUS_INVAL));
}

void TestSaneScanTestBackend::setOption_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const QString flag = QStringLiteral("bool-soft-select-soft-detect");
    QTest::newRow("bool YES") << flag << "YES"
                              << "1";
    QTest::newRow("bool y") << flag << "y"
                            << "1";
    QTest::newRow("bool empty") << flag << ""
                                << "1";
    QTest::newRow("bool No") << flag << "No"
                             << "0";
    QTest::newRow("bool other word") << flag << "yess"
                                     << "0";
    QTest::newRow("auto on a plain bool") << flag << "auto"
                                          << "0";
    QTest::newRow("bad unit changes nothing") << "br-x"
                                              << "3kg"
                                              << "80";
    QTest::newRow("string list") << "string-constraint-string-list"
                                 << "Second entry"
                                 << "Second entry";
    QTest::newRow("inactive not set") << "three-pass"
                                      << "yes"
                                      << "";
    // Long strings are cut to the option's size.
    QTest::newRow("long string") << "string" << QString(5000, 'x') << QString(96, 'x');
}

void TestSaneScanTestBackend::setOption()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    apply({{"enable-test-options", "yes"}});
    m_scan.GetAllOptions();
    QVERIFY(m_scan.SetOption(name, value));
    Opt_Result r;
    m_scan.GetOption(name, r);
    QCOMPARE(r.value, expected);
}

void TestSaneScanTestBackend::pixelsEqualScanimage_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("depth");

    const Settings pattern{{"test-picture", "Color pattern"}};
    const Settings gray1{{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Grid"}};
    const Settings gray8 = Settings{{"mode", "Gray"}, {"depth", "8"}} + pattern;
    const Settings gray16 = Settings{{"mode", "Gray"}, {"depth", "16"}} + pattern;
    const Settings rgb8 = Settings{{"mode", "Color"}, {"depth", "8"}} + pattern;
    const Settings rgb16 = Settings{{"mode", "Color"}, {"depth", "16"}} + pattern;
    const Settings threePass = rgb8 + Settings{{"three-pass", "yes"}};
    const Settings hand{{"hand-scanner", "yes"}};
    const Settings oddReads{{"read-limit", "yes"}, {"read-limit-size", "33"}};
    const struct {
        const char* name;
        Settings settings;
        int channels;
        int depth;
        const char* formats;
        bool padded;
    } frames[] = {
        {"lineart", gray1, 1, 1, "pnm tiff png", true},
        {"gray8", gray8, 1, 8, "pnm tiff jpeg", true},
        {"gray16 odd reads", gray16 + oddReads, 1, 16, "pnm tiff png", true},
        {"colour8", rgb8, 3, 8, "pnm tiff png jpeg", true},
        {"colour16", rgb16, 3, 16, "pnm tiff png", true},
        {"three-pass", threePass, 3, 8, "pnm tiff jpeg", true},
        {"three-pass GBR", threePass + Settings{{"three-pass-order", "GBR"}}, 3, 8, "pnm tiff png", true},
        {"hand-scanner colour", rgb8 + hand, 3, 8, "pnm tiff png", true},
        {"hand-scanner gray16", gray16 + hand, 1, 16, "png", true},
        {"hand-scanner lineart", gray1 + hand, 1, 1, "pnm tiff", false},
        {"three-pass hand-scanner", threePass + hand, 3, 8, "pnm", true},
    };
    // On padded frames five pixels of every row are padding: bytes_per_line
    // stays that of the full width while pixels_per_line shrinks.
    for (const auto& f : frames) {
        for (const QString& format : QString(f.formats).split(' ')) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(format, f.name)))
                << f.settings + (f.padded ? Settings{{"ppl-loss", "5"}} : Settings()) << format << f.channels
                << f.depth;
        }
    }
}

void TestSaneScanTestBackend::pixelsEqualScanimage()
{
    QFETCH(Settings, settings);
    QFETCH(QString, format);
    QFETCH(int, channels);
    QFETCH(int, depth);

    const Settings all = kBase + settings;
    apply(all);
    m_scan.GetAllOptions();
    SCAN_IN_CHILD(run, base(), format, 1, 1, 1);
    QCOMPARE(run.status, int(SANE_STATUS_GOOD));
    const QString page = base() + "1." + format;
    QCOMPARE(run.announced, QStringList{page});
    QCOMPARE(files(), QStringList{QFileInfo(page).fileName()});

    // scanimage writes the rows as delivered, padding included: its pixels
    // are the first bytes of every row.
    QProcess peer;
    peer.start("scanimage", scanimageArgs(all));
    QVERIFY(peer.waitForFinished(60000));
    int width = 0, height = 0;
    const QByteArray delivered = pnmPixels(peer.readAllStandardOutput(), &width, &height);
    QVERIFY2(!delivered.isEmpty(), peer.readAllStandardError().constData());
    const int pixelRowBytes = (width * channels * depth + 7) / 8;
    QVERIFY2(delivered.size() > pixelRowBytes * height || !settings.contains({"ppl-loss", "5"}),
             "the device sends padded rows");
    const QByteArray expected = stripPadding(delivered, height, pixelRowBytes);
    const QVector<int> expectedSamples = pnmSamples(expected, width, height, channels, depth);

    const QByteArray ours = readAll(page);
    if (format == "pnm") {
        int w = 0, h = 0;
        const QByteArray pixels = pnmPixels(ours, &w, &h);
        QCOMPARE(QSize(w, h), QSize(width, height));
        QVERIFY(ours.contains("\n#dpi:50\n"));
        QCOMPARE(pixels.size(), expected.size());
        QCOMPARE(pnmSamples(pixels, w, h, channels, depth), expectedSamples);
    } else if (format == "tiff") {
        // The strip follows the header and holds exactly the pixels.
        const int header = TiffHeader::Build(channels == 3, depth, width, height, 50).size();
        QCOMPARE(ours.size(), header + expected.size());
        if (depth == 1) {
            // The bits after a row's last pixel are not the device's pixels
            // (the test backend leaves them unset): compare the pixels.
            QCOMPARE(pnmSamples(ours.mid(header), width, height, 1, 1), expectedSamples);
        } else {
            QCOMPARE(ours.mid(header), depth == 16 ? swapped16(expected) : expected);
        }
        const QString info = runTool("tiffinfo", {page}, true);
        QVERIFY2(info.contains(QStringLiteral("Image Width: %1 Image Length: %2").arg(width).arg(height)),
                 qPrintable(info));
    } else {
        const QImage image(page);
        QCOMPARE(image.size(), QSize(width, height));
        const QVector<int> got = imageSamples(image, channels, depth == 1 ? 8 : depth);
        QCOMPARE(got.size(), expectedSamples.size());
        if (format == "png") {
            QCOMPARE(got, expectedSamples);
        } else {
            // JPEG keeps 8 bits and loses detail (on these small colour
            // patterns about 20 levels on average), so the page must merely
            // be much closer to the pixels than to the rows as delivered,
            // which is what keeping the padding would give.
            const QVector<int> skewed =
                pnmSamples(delivered.left(expected.size()), width, height, channels, depth);
            const int shift = depth == 16 ? 8 : 0;
            auto meanDiff = [&](const QVector<int>& model) {
                qint64 diff = 0;
                for (int i = 0; i < got.size(); ++i)
                    diff += qAbs((got[i] >> shift) - (model[i] >> shift));
                return double(diff) / got.size();
            };
            const double toPixels = meanDiff(expectedSamples);
            const double toSkewed = meanDiff(skewed);
            QVERIFY2(
                toPixels * 2 < toSkewed,
                qPrintable(
                    QStringLiteral("mean difference %1, to skewed rows %2").arg(toPixels).arg(toSkewed)));
        }
    }
}

void TestSaneScanTestBackend::failedPages_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("basePath");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("announced");

    QTest::newRow("jam keeps .part") << Settings{{"read-return-value", "SANE_STATUS_JAMMED"}} << "page"
                                     << int(SANE_STATUS_JAMMED) << QStringList{"page1.tiff.part"} << true;
    QTest::newRow("io error keeps .part")
        << Settings{{"read-return-value", "SANE_STATUS_IO_ERROR"}} << "page" << int(SANE_STATUS_IO_ERROR)
        << QStringList{"page1.tiff.part"} << true;
    QTest::newRow("inval removes .part") << Settings{{"read-return-value", "SANE_STATUS_INVAL"}} << "page"
                                         << int(SANE_STATUS_INVAL) << QStringList() << false;
    QTest::newRow("unsupported frame (rgb 1-bit)") << Settings{{"mode", "Color"}, {"depth", "1"}} << "page"
                                                   << int(SANE_STATUS_INVAL) << QStringList() << false;
    QTest::newRow("unsupported frame (three-pass 16-bit)")
        << Settings{{"mode", "Color"}, {"depth", "16"}, {"three-pass", "yes"}} << "page"
        << int(SANE_STATUS_INVAL) << QStringList() << false;
}

void TestSaneScanTestBackend::failedPages()
{
    QFETCH(Settings, settings);
    QFETCH(QString, basePath);
    QFETCH(int, status);
    QFETCH(QStringList, left);
    QFETCH(bool, announced);

    apply(kBase + settings);
    m_scan.GetAllOptions();
    const QString stem = basePath.startsWith('/') ? basePath : m_dir->filePath(basePath);
    SCAN_IN_CHILD(run, stem, "tiff", 1, 1, 0);
    QCOMPARE(run.status, status);
    QCOMPARE(files(), left);
    // The final name is announced, though only the .part file exists.
    QCOMPARE(run.announced, announced ? QStringList{stem + "1.tiff"} : QStringList());
}

QTEST_GUILESS_MAIN(TestSaneScanTestBackend)
#include "tst_sanescan_testbackend.moc"
