// SaneScan against the project's simulated scanners: device list, feeder
// batches, device errors, every frame kind and cancel from another thread.
#include "sanescan.h"
#include "simpage.h"
#include "testtools.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

const QString kKx = QStringLiteral("zylkx:KX-8000");
const int kDpi = 100;

QString marker(const QString& path)
{
    return SimPage::FileMarker(path, kDpi);
}

QByteArray swapped16(QByteArray b)
{
    for (int i = 0; i + 1 < b.size(); i += 2)
        std::swap(b.data()[i], b.data()[i + 1]);
    return b;
}

} // namespace

class TestSaneScanSim : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void familyNames_data();
    void familyNames();
    void deviceList_data();
    void deviceList();
    void optionRecords_data();
    void optionRecords();
    void feederBatch_data();
    void feederBatch();
    void deviceErrors_data();
    void deviceErrors();
    void framesEqualScanimage_data();
    void framesEqualScanimage();
    void numbering_data();
    void numbering();
    void pageFileCannotBeCreated_data();
    void pageFileCannotBeCreated();
    void overrunStopsAtTheAnnouncedSize();
    void pageCutFromAnotherThread_data();
    void pageCutFromAnotherThread();

private:
    // Restarts SANE (the scenario's feeder is loaded at open) and opens the Kx device.
    void open(const QString& scenario, const QList<QPair<QString, QString>>& settings);
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSaneScanSim::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestSaneScanSim::cleanup()
{
    m_scan.CloseDevice();
    m_scan.Exit();
}

void TestSaneScanSim::open(const QString& scenario, const QList<QPair<QString, QString>>& settings)
{
    QVERIFY(SimPage::WriteScenario(scenario));
    m_scan.Init();
    QList<QString> names;
    QCOMPARE(m_scan.GetDeviceList(names), int(SANE_STATUS_GOOD));
    QCOMPARE(m_scan.OpenDevice(kKx), int(SANE_STATUS_GOOD));
    m_scan.GetAllOptions();
    const QList<QPair<QString, QString>> common = {{"resolution", QString::number(kDpi)},
                                                   {"paper-size", "A6"}};
    for (const auto& s : common + settings)
        QVERIFY(m_scan.SetOption(s.first, s.second));
}

void TestSaneScanSim::familyNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("kept");
    QTest::newRow("kx with colon") << QByteArray("zylkx:KX-8000") << true;
    QTest::newRow("wy") << QByteArray("zylwy:WY200") << true;
    QTest::newRow("overhead") << QByteArray("zyljn:RV920") << true;
    QTest::newRow("bare prefix") << QByteArray("zylkx") << true;
    QTest::newRow("capital Z") << QByteArray("Zylkx:KX-8000") << false;
    QTest::newRow("prefix later") << QByteArray("net:host:zylkx:KX") << false;
    QTest::newRow("other backend") << QByteArray("test:0") << false;
    QTest::newRow("short") << QByteArray("zyl") << false;
    QTest::newRow("empty") << QByteArray("") << false;
}

void TestSaneScanSim::familyNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, kept);
    QCOMPARE(SaneScan::IsFamilyDeviceName(name.constData()), kept);
}

void TestSaneScanSim::deviceList_data()
{
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all four in SANE order")
        << "zylkx:KX-8000,zylkx:KX-F600,zylwy:WY200,zyljn:RV920"
        << QStringList{"zylkx:KX-8000", "zylkx:KX-F600", "zylwy:WY200", "zyljn:RV920"};
    QTest::newRow("one family") << "zylwy:WY200" << QStringList{"zylwy:WY200"};
    QTest::newRow("none attached") << "" << QStringList();
}

void TestSaneScanSim::deviceList()
{
    QFETCH(QString, devices);
    QFETCH(QStringList, expected);
    QVERIFY(SimPage::WriteScenario("devices=" + devices + "\n"));
    m_scan.Init();
    QList<QString> names{"left over"};
    QCOMPARE(m_scan.GetDeviceList(names), int(SANE_STATUS_GOOD));
    QCOMPARE(names, expected);
    for (const QString& name : expected) {
        QCOMPARE(m_scan.OpenDevice(name), int(SANE_STATUS_GOOD));
        m_scan.CloseDevice();
    }
    // After a reset only the given names may be opened.
    m_scan.ResetScannerList({"zyljn:RV920"});
    QCOMPARE(m_scan.OpenDevice(kKx), int(SANE_STATUS_UNSUPPORTED));
}

void TestSaneScanSim::optionRecords_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("range");
    QTest::addColumn<QString>("value");

    QTest::newRow("int range step 1")
        << "resolution" << 1 << true << "dpi" << QStringList{"50", "600", "1"} << "100";
    QTest::newRow("fixed range step 0") << "tl-x" << 2 << true << "mm" << QStringList{"0", "216", ""} << "0";
    QTest::newRow("inactive fixed range")
        << "page-width" << 2 << false << "mm" << QStringList{"25.4", "216", ""} << "";
    QTest::newRow("%g bounds") << "gamma" << 2 << false << "" << QStringList{"0.0999908", "10", ""} << "";
    QTest::newRow("string") << "get-sc-error" << 3 << true << "" << QStringList{"", "", ""} << "0x00000000";
}

void TestSaneScanSim::optionRecords()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(bool, active);
    QFETCH(QString, unit);
    QFETCH(QStringList, range);
    QFETCH(QString, value);

    open("sheets=1\n", {});
    const Opt_Result r = m_scan.GetAllOptions().value(name);
    QCOMPARE(r.name, name);
    QCOMPARE(r.type, type);
    QCOMPARE(r.isActive, active);
    QCOMPARE(r.unit, unit);
    QCOMPARE(QStringList({r.range.min, r.range.max, r.range.quant}), range);
    QCOMPARE(r.value, value);
    QCOMPARE(m_scan.get_resolution(), kDpi);
}

void TestSaneScanSim::feederBatch_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("markers");

    QTest::newRow("three sheets") << "sheets=3"
                                  << "Adf-front" << 0 << "pnm" << int(SANE_STATUS_GOOD)
                                  << QStringList{"1A", "2A", "3A"};
    QTest::newRow("three sheets as jpg")
        << "sheets=3"
        << "Adf-front" << 0 << "jpg" << int(SANE_STATUS_GOOD) << QStringList{"1A", "2A", "3A"};
    QTest::newRow("page limit 1") << "sheets=3"
                                  << "Adf-front" << 1 << "tiff" << int(SANE_STATUS_GOOD) << QStringList{"1A"};
    QTest::newRow("duplex order") << "sheets=2"
                                  << "Adf-duplex" << 0 << "png" << int(SANE_STATUS_GOOD)
                                  << QStringList{"1A", "1B", "2A", "2B"};
    QTest::newRow("empty feeder") << "sheets=0"
                                  << "Adf-front" << 0 << "jpg" << int(SANE_STATUS_NO_DOCS) << QStringList();
    QTest::newRow("flatbed one page")
        << "sheets=3"
        << "Flatbed" << 0 << "pnm" << int(SANE_STATUS_GOOD) << QStringList{"1A"};
}

void TestSaneScanSim::feederBatch()
{
    QFETCH(QString, scenario);
    QFETCH(QString, source);
    QFETCH(int, limit);
    QFETCH(QString, format);
    QFETCH(int, status);
    QFETCH(QStringList, markers);

    open(scenario, {{"source", source}, {"mode", "Gray"}, {"paper-size", "A6"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), format, 41, 3, limit), status);
    QStringList expectedFiles, found;
    for (int i = 0; i < markers.size(); ++i) {
        const QString name = QStringLiteral("page%1.%2").arg(41 + i, 3, 10, QLatin1Char('0')).arg(format);
        expectedFiles << name;
        QCOMPARE(spy.at(i).at(0).toString(), m_dir->filePath(name));
        found << marker(m_dir->filePath(name));
    }
    QCOMPARE(files(), expectedFiles);
    QCOMPARE(spy.count(), markers.size());
    QCOMPARE(found, markers);
}

void TestSaneScanSim::deviceErrors_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("code");

    QTest::newRow("jam on sheet 2") << "sheets=3\nerror=jam\nerror-sheet=2\n"
                                    << int(SANE_STATUS_JAMMED) << QStringList{"page1.jpg", "page2.jpg.part"}
                                    << "0x03800753";
    QTest::newRow("multifeed at start of sheet 2")
        << "sheets=3\nerror=multifeed\nerror-sheet=2\nerror-at=start\n"
        << int(SANE_STATUS_JAMMED) << QStringList{"page1.jpg"} << "0x03800755";
    QTest::newRow("cover open at start") << "sheets=3\nerror=cover-open\nerror-at=start\n"
                                         << int(SANE_STATUS_COVER_OPEN) << QStringList() << "0x03800760";
    QTest::newRow("i/o error on sheet 1")
        << "sheets=3\nerror=io-error\n"
        << int(SANE_STATUS_IO_ERROR) << QStringList{"page1.jpg.part"} << "0x03800770";
}

void TestSaneScanSim::deviceErrors()
{
    QFETCH(QString, scenario);
    QFETCH(int, status);
    QFETCH(QStringList, left);
    QFETCH(QString, code);

    open(scenario, {{"mode", "Color"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 0), status);
    QCOMPARE(files(), left);
    // Every page attempt is announced by its final name, the failed one too.
    QCOMPARE(spy.count(), left.size());
    if (!left.isEmpty())
        QCOMPARE(spy.last().at(0).toString(), m_dir->filePath(QString(left.last()).remove(".part")));
    Opt_Result error;
    m_scan.GetOption("get-sc-error", error);
    QCOMPARE(error.value, code);
}

void TestSaneScanSim::framesEqualScanimage_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("format");

    // Every frame kind once; the test backend's table crosses them with
    // padded rows and every format.
    QTest::newRow("lineart tiff") << ""
                                  << "Lineart"
                                  << "tiff";
    QTest::newRow("colour16 tiff") << "depth=16\n"
                                   << "Color"
                                   << "tiff";
    QTest::newRow("unknown length lineart pnm") << "unknown-lines=1\n"
                                                << "Lineart"
                                                << "pnm";
    QTest::newRow("three-pass unknown length tiff") << "three-pass=1\nunknown-lines=1\n"
                                                    << "Color"
                                                    << "tiff";
    QTest::newRow("small reads gray16 pnm") << "depth=16\nchunk-lines=1\n"
                                            << "Gray"
                                            << "pnm";
    QTest::newRow("three-pass colour png") << "three-pass=1\n"
                                           << "Color"
                                           << "png";
}

void TestSaneScanSim::framesEqualScanimage()
{
    QFETCH(QString, scenario);
    QFETCH(QString, mode);
    QFETCH(QString, format);

    open("sheets=1\n" + scenario, {{"mode", mode}});
    QCOMPARE(m_scan.Scan(base(), format, 1, 1, 0), int(SANE_STATUS_GOOD));
    const QString page = base() + "1." + format;
    QCOMPARE(files(), QStringList{QFileInfo(page).fileName()});

    // The peer front end reads the same first sheet in its own process.
    QProcess peer;
    peer.start("scanimage", {"-d", kKx, "--format=pnm", "--mode=" + mode,
                             "--resolution=" + QString::number(kDpi), "--paper-size=A6"});
    QVERIFY(peer.waitForFinished(60000));
    int width = 0, height = 0;
    const QByteArray expected = pnmPixels(peer.readAllStandardOutput(), &width, &height);
    QVERIFY2(!expected.isEmpty(), peer.readAllStandardError().constData());

    const QByteArray ours = readAll(page);
    const bool wide = scenario.contains("depth=16");
    if (format == "pnm") {
        QVERIFY(ours.contains(QByteArray("\n#dpi:") + QByteArray::number(kDpi) + "\n"));
        if (wide)
            QVERIFY(ours.contains("\n65535\n"));
        QCOMPARE(pnmPixels(ours), expected);
    } else if (format == "png") {
        const QImage image(page);
        QCOMPARE(image.size(), QSize(width, height));
        const int channels = mode == "Color" ? 3 : 1;
        const int sampleBytes = wide ? 2 : 1;
        // Compare samples that are neither black nor white, where a wrong
        // channel or scaling would show.
        int checked = 0;
        const int samples = expected.size() / sampleBytes;
        for (int k = 0; k < samples && checked < 20; k += 7) {
            const int at = k * sampleBytes;
            const int sample =
                wide ? (uchar(expected[at]) << 8) | uchar(expected[at + 1]) : uchar(expected[at]);
            if (sample == 0 || sample == (wide ? 65535 : 255))
                continue;
            const QPoint pt((k / channels) % width, (k / channels) / width);
            const QColor c = image.pixelColor(pt);
            const int ch = k % channels;
            const int got = wide ? (ch == 0   ? c.rgba64().red()
                                    : ch == 1 ? c.rgba64().green()
                                              : c.rgba64().blue())
                                 : (ch == 0   ? c.red()
                                    : ch == 1 ? c.green()
                                              : c.blue());
            QCOMPARE(got, sample);
            ++checked;
        }
        QVERIFY(checked > 0);
    } else {
        QCOMPARE(ours.left(2), QByteArray(wide ? "II" : "MM"));
        QCOMPARE(ours.right(expected.size()), wide ? swapped16(expected) : expected);
        const QString info = runTool("tiffinfo", {page}, true);
        QVERIFY2(info.contains(QStringLiteral("Image Width: %1 Image Length: %2").arg(width).arg(height)),
                 qPrintable(info));
    }
    if (!wide)
        QCOMPARE(marker(page), QStringLiteral("1A"));
}

void TestSaneScanSim::numbering_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("padded to 4") << 7 << 4 << 0 << "jpg"
                                 << QStringList{"page0007.jpg", "page0008.jpg", "page0009.jpg"};
    QTest::newRow("never cut") << 123 << 2 << 2 << "tiff" << QStringList{"page123.tiff", "page124.tiff"};
    QTest::newRow("negative limit is no limit")
        << 1 << 1 << -1 << "pnm" << QStringList{"page1.pnm", "page2.pnm", "page3.pnm"};
    QTest::newRow("capital extension") << 9 << 1 << 1 << "TIFF" << QStringList{"page9.TIFF"};
}

void TestSaneScanSim::numbering()
{
    QFETCH(int, first);
    QFETCH(int, digits);
    QFETCH(int, limit);
    QFETCH(QString, format);
    QFETCH(QStringList, expected);

    open("sheets=3\n", {{"mode", "Gray"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), format, first, digits, limit), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), expected);
    QCOMPARE(spy.count(), expected.size());
    for (int i = 0; i < spy.count(); ++i)
        QCOMPARE(spy.at(i).at(0).toString(), m_dir->filePath(expected.at(i)));
    // The extension match is case-sensitive: "TIFF" pages are PNM.
    if (format == "TIFF")
        QVERIFY(readAll(m_dir->filePath(expected.first())).startsWith("P5\n#dpi:100\n"));
}

void TestSaneScanSim::pageFileCannotBeCreated_data()
{
    QTest::addColumn<QString>("basePath");
    QTest::addColumn<bool>("inDir");
    QTest::newRow("missing folder") << "no/such/folder/page" << true;
    QTest::newRow("path too long") << "/" + QString(4100, QLatin1Char('n')) << false;
    QTest::newRow("folder is a file") << "blocker/page" << true;
}

void TestSaneScanSim::pageFileCannotBeCreated()
{
    QFETCH(QString, basePath);
    QFETCH(bool, inDir);
    open("sheets=3\n", {{"mode", "Gray"}});
    QFile blocker(m_dir->filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const QString stem = inDir ? m_dir->filePath(basePath) : basePath;
    QCOMPARE(m_scan.Scan(stem, "jpg", 1, 1, 0), int(SANE_STATUS_ACCESS_DENIED));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(files(), QStringList{"blocker"});
    // The job ended cleanly (sane_cancel): the device takes the next job.
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 1), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), QStringList({"blocker", "page1.jpg"}));
}

void TestSaneScanSim::overrunStopsAtTheAnnouncedSize()
{
    // Every sheet sends 40 rows more than announced.
    open("sheets=3\nextra-lines=40\n", {{"mode", "Gray"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), "pnm", 1, 1, 0), int(SANE_STATUS_GOOD));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(files(), QStringList({"page1.pnm", "page2.pnm", "page3.pnm"}));
    for (int i = 1; i <= 3; ++i) {
        const QString page = base() + QString::number(i) + ".pnm";
        int width = 0, height = 0;
        const QByteArray pixels = pnmPixels(readAll(page), &width, &height);
        // A6 at 100 dpi: 413 × 583; the extra rows are not in the file.
        QCOMPARE(QSize(width, height), QSize(413, 583));
        QCOMPARE(pixels.size(), width * height);
        QCOMPARE(marker(page), QStringLiteral("%1A").arg(i));
    }
}

void TestSaneScanSim::pageCutFromAnotherThread_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("dataOnDisk");

    // The window's close cancels and closes; a device job may only close.
    QTest::newRow("cancel") << ""
                            << "jpg" << true << false << false;
    QTest::newRow("close") << ""
                           << "jpg" << false << true << false;
    QTest::newRow("close, tiff") << ""
                                 << "tiff" << false << true << true;
    QTest::newRow("close, unknown length") << "unknown-lines=1\n"
                                           << "pnm" << false << true << false;
    QTest::newRow("cancel then close") << ""
                                       << "png" << true << true << true;
}

void TestSaneScanSim::pageCutFromAnotherThread()
{
    QFETCH(QString, scenario);
    QFETCH(QString, format);
    QFETCH(bool, cancel);
    QFETCH(bool, close);
    QFETCH(bool, dataOnDisk);

    // A paced first page, cut off half-way from another thread.
    open("sheets=3\npage-delay-ms=3000\n" + scenario, {{"mode", "Color"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    std::thread other([this, cancel, close] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        if (cancel)
            m_scan.CancelScan();
        if (close)
            m_scan.CloseDevice();
    });
    const int status = m_scan.Scan(base(), format, 1, 1, 0);
    other.join();

    // An interrupted page: announced by its final name, only its ".part"
    // on disk (holding what was read, where the writer has passed it on),
    // and the job does not report success.
    QCOMPARE(status, int(SANE_STATUS_CANCELLED));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), base() + "1." + format);
    QCOMPARE(files(), QStringList{"page1." + format + ".part"});
    if (dataOnDisk)
        QVERIFY(QFileInfo(base() + "1." + format + ".part").size() > 0);
}

QTEST_GUILESS_MAIN(TestSaneScanSim)
#include "tst_sanescan_sim.moc"
