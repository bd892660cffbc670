// SaneScan against the project's simulated scanners: feeder
// batches, every frame kind, page files that cannot be made and cancel from
// another thread; on libsane's test backend, sheets of which nothing is
// sent. Device faults are tst_robust_scan's; a stop on that backend is
// tst_anyscanner's.
#include "pagemaker.h"
#include "sanescan.h"
#include "sessioncheck.h"
#include "simpage.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <thread>

using PageMaker::bytes;
using PageMaker::pnmPixels;

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
    void initTestCase();
    void init();
    void cleanup();
    void feederBatch_data();
    void feederBatch();
    void framesEqualScanimage_data();
    void framesEqualScanimage();
    void pageFileCannotBeCreated_data();
    void pageFileCannotBeCreated();
    void takenNamesArePassedOver_data();
    void takenNamesArePassedOver();
    void overrunStopsAtTheAnnouncedSize();
    void pageCutFromAnotherThread_data();
    void pageCutFromAnotherThread();
    void nothingSent_data();
    void nothingSent();
    void optionsOfTheTestBackend_data();
    void optionsOfTheTestBackend();

private:
    // Starts SANE and opens libsane's test backend.
    void openTestBackend();
    // Restarts SANE (the scenario's feeder is loaded at open) and opens the Kx device.
    void open(const QString& scenario, const QList<QPair<QString, QString>>& settings);
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSaneScanSim::initTestCase()
{
    // libsane's own test backend joins the simulated ones, with one device.
    const QString conf = QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR"));
    QFile dll(conf + "/dll.conf");
    QVERIFY(dll.open(QIODevice::Append));
    dll.write("test\n");
    dll.close();
    QFile::remove(conf + "/test.conf");
    QVERIFY(QFile::copy(SCANVY_SOURCE_DIR "/sim/test-backend.conf", conf + "/test.conf"));
}

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

void TestSaneScanSim::feederBatch_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<QStringList>("next"); // a second job right after, without a limit

    QTest::newRow("three sheets") << "sheets=3"
                                  << "Adf-front" << 0 << "pnm" << int(SANE_STATUS_GOOD)
                                  << QStringList{"1A", "2A", "3A"} << QStringList();
    QTest::newRow("page limit 1") << "sheets=3"
                                  << "Adf-front" << 1 << "tiff" << int(SANE_STATUS_GOOD) << QStringList{"1A"}
                                  << QStringList{"2A", "3A"};
    // One sheet per batch: the second job gets a sheet only when the first
    // job's batch was ended.
    QTest::newRow("one sheet per batch, two jobs")
        << "sheets=3"
        << "Adf-front,no" << 1 << "jpg" << int(SANE_STATUS_GOOD) << QStringList{"1A"} << QStringList{"2A"};
    QTest::newRow("duplex order") << "sheets=2"
                                  << "Adf-duplex" << 0 << "png" << int(SANE_STATUS_GOOD)
                                  << QStringList{"1A", "1B", "2A", "2B"} << QStringList();
    QTest::newRow("empty feeder") << "sheets=0"
                                  << "Adf-front" << 0 << "jpg" << int(SANE_STATUS_NO_DOCS) << QStringList()
                                  << QStringList();
    QTest::newRow("flatbed one page per job")
        << "sheets=3"
        << "Flatbed" << 0 << "pnm" << int(SANE_STATUS_GOOD) << QStringList{"1A"} << QStringList{"2A"};
}

void TestSaneScanSim::feederBatch()
{
    QFETCH(QString, scenario);
    QFETCH(QString, source);
    QFETCH(int, limit);
    QFETCH(QString, format);
    QFETCH(int, status);
    QFETCH(QStringList, markers);
    QFETCH(QStringList, next);

    open(scenario, {{"source", source.section(',', 0, 0)}, {"mode", "Gray"}});
    if (source.endsWith(",no"))
        QVERIFY(m_scan.SetOption("autofeed", "no"));
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), format, 41, 3, limit), status);
    if (!next.isEmpty())
        QCOMPARE(m_scan.Scan(base(), format, 41 + markers.size(), 3, 0), int(SANE_STATUS_GOOD));
    QStringList expectedFiles, found;
    for (int i = 0; i < markers.size() + next.size(); ++i) {
        const QString name = QStringLiteral("page%1.%2").arg(41 + i, 3, 10, QLatin1Char('0')).arg(format);
        expectedFiles << name;
        QCOMPARE(spy.at(i).at(0).toString(), m_dir->filePath(name));
        found << marker(m_dir->filePath(name));
    }
    QCOMPARE(files(), expectedFiles);
    QCOMPARE(spy.count(), expectedFiles.size());
    QCOMPARE(found, markers + next);
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
    QTest::newRow("three-pass unknown length tiff") << "three-pass=1\nunknown-lines=1\n"
                                                    << "Color"
                                                    << "tiff";
    QTest::newRow("three-pass colour pnm") << "three-pass=1\n"
                                           << "Color"
                                           << "pnm";
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

    const QByteArray ours = bytes(page);
    const bool wide = scenario.contains("depth=16");
    if (format == "pnm") {
        QVERIFY(ours.contains(QByteArray("\n#dpi:") + QByteArray::number(kDpi) + "\n"));
        if (wide)
            QVERIFY(ours.contains("\n65535\n"));
        QCOMPARE(pnmPixels(ours), expected);
    } else {
        QCOMPARE(ours.left(2), QByteArray(wide ? "II" : "MM"));
        QCOMPARE(ours.right(expected.size()), wide ? swapped16(expected) : expected);
        const QString info = SessionCheck::Run("tiffinfo", {page}, nullptr, true);
        QVERIFY2(info.contains(QStringLiteral("Image Width: %1 Image Length: %2").arg(width).arg(height)),
                 qPrintable(info));
    }
    if (!wide)
        QCOMPARE(marker(page), QStringLiteral("1A"));
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
    // The job ended cleanly (sane_cancel): the device takes the next job.
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 1), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), QStringList({"blocker", "page1.jpg"}));
}

void TestSaneScanSim::takenNamesArePassedOver_data()
{
    QTest::addColumn<QStringList>("planted"); // before the scan; a name ending in "/" is a folder
    QTest::addColumn<QString>("meanwhile");   // appears while that number's page is read
    QTest::addColumn<QList<int>>("numbers");  // where sheets 1, 2, 3 land

    QTest::newRow("final names") << QStringList{"page2.jpg", "page3.jpg"} << QString() << QList<int>{1, 4, 5};
    QTest::newRow("part names") << QStringList{"page1.jpg.part", "page3.jpg.part"} << QString()
                                << QList<int>{2, 4, 5};
    QTest::newRow("a folder under the first name")
        << QStringList{"page1.jpg/"} << QString() << QList<int>{2, 3, 4};
    QTest::newRow("a name taken while its page is read")
        << QStringList() << "page2.jpg" << QList<int>{1, 3, 4};
    QTest::newRow("taken while read, the next part name taken too")
        << QStringList{"page3.jpg.part"} << "page2.jpg" << QList<int>{1, 4, 5};
}

// A page never takes the name of a file that is there: the planted files
// stay byte for byte, and the pages land under the next free numbers.
void TestSaneScanSim::takenNamesArePassedOver()
{
    QFETCH(QStringList, planted);
    QFETCH(QString, meanwhile);
    QFETCH(QList<int>, numbers);

    open("sheets=3\npage-delay-ms=300\n", {{"mode", "Gray"}});
    QHash<QString, QByteArray> before;
    for (const QString& name : planted) {
        if (name.endsWith('/')) {
            QVERIFY(QDir().mkpath(m_dir->filePath(name + "inside")));
            continue;
        }
        QFile file(m_dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("planted " + name.toUtf8());
        before.insert(name, "planted " + name.toUtf8());
    }
    std::thread other;
    if (!meanwhile.isEmpty()) {
        // Waits for the page's ".part" and puts a file under its final name.
        const QString part = m_dir->filePath(meanwhile + ".part");
        const QString target = m_dir->filePath(meanwhile);
        before.insert(meanwhile, "planted " + meanwhile.toUtf8());
        other = std::thread([part, target] {
            for (int i = 0; i < 2000 && !QFile::exists(part); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            QFile file(target);
            if (file.open(QIODevice::NewOnly))
                file.write("planted " + QFileInfo(target).fileName().toUtf8());
        });
    }
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int status = m_scan.Scan(base(), "jpg", 1, 1, 0);
    if (other.joinable())
        other.join();
    QCOMPARE(status, int(SANE_STATUS_GOOD));

    QStringList announced, expected, markers;
    for (const QList<QVariant>& args : spy)
        announced << args.at(0).toString();
    for (int n : numbers) {
        expected << m_dir->filePath(QStringLiteral("page%1.jpg").arg(n));
        markers << marker(expected.last());
    }
    QCOMPARE(announced, expected);
    QCOMPARE(markers, QStringList({"1A", "2A", "3A"}));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(bytes(m_dir->filePath(it.key())), it.value());
    // Nothing else is left behind.
    QStringList all = files();
    for (const QString& name : expected)
        all.removeOne(QFileInfo(name).fileName());
    for (const QString& name : before.keys())
        all.removeOne(name);
    QCOMPARE(all, QStringList());
}

void TestSaneScanSim::overrunStopsAtTheAnnouncedSize()
{
    // Every sheet sends 40 rows more than announced, the last of its own
    // rows in the same read as the first extra ones.
    open("sheets=3\nextra-lines=40\nchunk-lines=300\n", {{"mode", "Gray"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), "pnm", 1, 1, 0), int(SANE_STATUS_GOOD));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(files(), QStringList({"page1.pnm", "page2.pnm", "page3.pnm"}));
    for (int i = 1; i <= 3; ++i) {
        const QString page = base() + QString::number(i) + ".pnm";
        int width = 0, height = 0;
        const QByteArray pixels = pnmPixels(bytes(page), &width, &height);
        // A6 at 100 dpi: 413 × 583; the extra rows are not in the file.
        QCOMPARE(QSize(width, height), QSize(413, 583));
        QCOMPARE(pixels.size(), width * height);
        QCOMPARE(marker(page), QStringLiteral("%1A").arg(i));
    }
    // The read that ran over held the page's last rows: they are kept.
    const QByteArray overrun = bytes(base() + "1.pnm");
    m_scan.CloseDevice();
    m_scan.Exit();
    open("sheets=1\n", {{"mode", "Gray"}});
    QCOMPARE(m_scan.Scan(base(), "pnm", 9, 1, 0), int(SANE_STATUS_GOOD));
    QCOMPARE(bytes(base() + "9.pnm"), overrun);
}

void TestSaneScanSim::pageCutFromAnotherThread_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("dataOnDisk");
    QTest::addColumn<int>("status");

    // The window's close cancels and closes; a device job may only close.
    QTest::newRow("cancel") << ""
                            << "jpg" << true << false << false << int(SANE_STATUS_CANCELLED);
    QTest::newRow("close, tiff") << ""
                                 << "tiff" << false << true << true << int(SANE_STATUS_CANCELLED);
    QTest::newRow("cancel then close") << ""
                                       << "png" << true << true << true << int(SANE_STATUS_CANCELLED);
    // The feeder runs empty half-way through the page: the job has lost a page.
    QTest::newRow("out of paper mid-page") << "error-status=7\n"
                                           << "pnm" << false << false << true << int(SANE_STATUS_NO_DOCS);
}

void TestSaneScanSim::pageCutFromAnotherThread()
{
    QFETCH(QString, scenario);
    QFETCH(QString, format);
    QFETCH(bool, cancel);
    QFETCH(bool, close);
    QFETCH(bool, dataOnDisk);
    QFETCH(int, status);

    // A paced first page, cut off half-way from another thread.
    open("sheets=3\npage-delay-ms=1500\n" + scenario, {{"mode", "Color"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    std::thread other([this, cancel, close] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (cancel)
            m_scan.CancelScan();
        if (close)
            m_scan.CloseDevice();
    });
    const int result = m_scan.Scan(base(), format, 1, 1, 0);
    other.join();

    // An interrupted page: announced by its final name, only its ".part"
    // on disk (holding what was read, where the writer has passed it on),
    // and the job does not report success.
    QCOMPARE(result, status);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), base() + "1." + format);
    QCOMPARE(files(), QStringList{"page1." + format + ".part"});
    if (dataOnDisk)
        QVERIFY(QFileInfo(base() + "1." + format + ".part").size() > 0);
}

// How the panel is told to lay out an option: its group, whether the device
// calls it advanced, and whether it may be set from here at all.
void TestSaneScanSim::optionsOfTheTestBackend_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("settable");
    QTest::newRow("plain") << "mode"
                           << "Scan Mode" << false << true;
    QTest::newRow("advanced") << "bool-soft-select-soft-detect"
                              << "Bool test options" << true << true;
    QTest::newRow("set on the device only") << "bool-hard-select-soft-detect"
                                            << "Bool test options" << true << false;
}

void TestSaneScanSim::optionsOfTheTestBackend()
{
    QFETCH(QString, name);
    QFETCH(QString, group);
    QFETCH(bool, advanced);
    QFETCH(bool, settable);
    openTestBackend();
    QVERIFY(m_scan.SetOption("enable-test-options", "yes"));
    m_scan.GetAllOptions();
    const QList<Opt_Result> all = m_scan.DescribeAllOptions();
    const auto found =
        std::find_if(all.begin(), all.end(), [&name](const Opt_Result& o) { return o.name == name; });
    QVERIFY2(found != all.end(), qPrintable(name));
    QCOMPARE(found->group, group);
    QCOMPARE(found->isAdvanced, advanced);
    QCOMPARE(found->isSettable, settable);
}

void TestSaneScanSim::openTestBackend()
{
    m_scan.Init();
    QList<QString> names;
    QCOMPARE(m_scan.GetOtherDeviceList(names), int(SANE_STATUS_GOOD));
    QVERIFY(names.contains("test:0"));
    m_scan.ResetScannerList(names);
    QCOMPARE(m_scan.OpenDevice("test:0"), int(SANE_STATUS_GOOD));
    m_scan.GetAllOptions();
}

void TestSaneScanSim::nothingSent_data()
{
    QTest::addColumn<QString>("readStatus"); // what every sane_read answers at once
    QTest::addColumn<int>("status");
    // A device that ends a page before its first byte has no more pages.
    QTest::newRow("end of file") << "SANE_STATUS_EOF" << int(SANE_STATUS_NO_DOCS);
    QTest::newRow("jammed") << "SANE_STATUS_JAMMED" << int(SANE_STATUS_JAMMED);
    QTest::newRow("I/O error") << "SANE_STATUS_IO_ERROR" << int(SANE_STATUS_IO_ERROR);
}

// A sheet of which the device sends no byte is no page: no file, nothing
// announced, and no blank pages from a feeder of ten sheets.
void TestSaneScanSim::nothingSent()
{
    QFETCH(QString, readStatus);
    QFETCH(int, status);
    openTestBackend();
    QVERIFY(m_scan.SetOption("source", "Automatic Document Feeder"));
    QVERIFY(m_scan.SetOption("read-return-value", readStatus));
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), "tiff", 1, 1, 0), status);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(files(), QStringList());
}

QTEST_GUILESS_MAIN(TestSaneScanSim)
#include "tst_sanescan_sim.moc"
