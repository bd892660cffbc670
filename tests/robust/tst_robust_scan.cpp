// The scan loop against the simulated scanners when things go wrong: every
// SANE status at sane_open, at sane_start and in the middle of a page, a
// scanner unplugged while a page is read, and a temporary folder that fills
// up. Pages already scanned must stay whole and announced.
#include "sanescan.h"
#include "simpage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace {

const QString kKx = QStringLiteral("zylkx:KX-8000");
const int kDpi = 100;

QString marker(const QString& path)
{
    return SimPage::FileMarker(path, kDpi);
}

void addStatusRows()
{
    QTest::addColumn<int>("status");
    for (int s = SANE_STATUS_UNSUPPORTED; s <= SANE_STATUS_ACCESS_DENIED; ++s)
        QTest::newRow(sane_strstatus(SANE_Status(s))) << s;
}

void setFileSizeLimit(rlim_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
}

} // namespace

class TestRobustScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void statusAtOpen_data() { addStatusRows(); }
    void statusAtOpen();
    void statusAtStart_data() { addStatusRows(); }
    void statusAtStart();
    void statusMidPage_data() { addStatusRows(); }
    void statusMidPage();
    void unpluggedMidPage();
    void unpluggedBetweenPages();
    void tempFolderFull_data();
    void tempFolderFull();

private:
    int open(const QString& scenario);
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }
    void setOptions(const QString& mode);

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
    rlimit m_fsize{};
};

void TestRobustScan::initTestCase()
{
    // A full disk answers writes with an error; the file size limit that
    // stands in for it would otherwise end the process with SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(getrlimit(RLIMIT_FSIZE, &m_fsize) == 0);
}

void TestRobustScan::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestRobustScan::cleanup()
{
    setrlimit(RLIMIT_FSIZE, &m_fsize);
    m_scan.CloseDevice();
    m_scan.Exit();
}

int TestRobustScan::open(const QString& scenario)
{
    if (!SimPage::WriteScenario(scenario))
        return -1;
    m_scan.Init();
    QList<QString> names;
    m_scan.GetDeviceList(names);
    return m_scan.OpenDevice(kKx);
}

void TestRobustScan::setOptions(const QString& mode)
{
    m_scan.GetAllOptions();
    QVERIFY(m_scan.SetOption("resolution", QString::number(kDpi)));
    QVERIFY(m_scan.SetOption("paper-size", "A6"));
    QVERIFY(m_scan.SetOption("mode", mode));
}

void TestRobustScan::statusAtOpen()
{
    QFETCH(int, status);
    QCOMPARE(open(QStringLiteral("error-at=open\nerror-status=%1\n").arg(status)), status);
    // Nothing is open: a scan is refused without touching the folder.
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QVERIFY(m_scan.Scan(base(), "jpg", 1, 1, 0) != SANE_STATUS_GOOD);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(files(), QStringList());
    // The failed open left no lock behind: once the device answers, it opens and scans.
    QVERIFY(SimPage::WriteScenario("sheets=2\n"));
    QCOMPARE(m_scan.OpenDevice(kKx), int(SANE_STATUS_GOOD));
    setOptions("Gray");
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 0), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), (QStringList{"page1.jpg", "page2.jpg"}));
}

void TestRobustScan::statusAtStart()
{
    QFETCH(int, status);
    QCOMPARE(open(QStringLiteral("sheets=3\nerror-at=start\nerror-sheet=2\nerror-status=%1\n").arg(status)),
             int(SANE_STATUS_GOOD));
    setOptions("Gray");
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int expected = status == SANE_STATUS_NO_DOCS ? SANE_STATUS_GOOD : status;
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 0), expected);
    // The first sheet is complete and announced; the refused one left nothing.
    QCOMPARE(files(), QStringList{"page1.jpg"});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(marker(m_dir->filePath("page1.jpg")), QStringLiteral("1A"));
    // The session goes on with the next sheet and the next number.
    QCOMPARE(m_scan.Scan(base(), "jpg", 2, 1, 0), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), (QStringList{"page1.jpg", "page2.jpg"}));
    QCOMPARE(marker(m_dir->filePath("page2.jpg")), QStringLiteral("3A"));
    QCOMPARE(marker(m_dir->filePath("page1.jpg")), QStringLiteral("1A"));
}

void TestRobustScan::statusMidPage()
{
    QFETCH(int, status);
    QCOMPARE(open(QStringLiteral("sheets=3\nerror-sheet=2\nerror-status=%1\n").arg(status)),
             int(SANE_STATUS_GOOD));
    setOptions("Gray");
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int result = m_scan.Scan(base(), "jpg", 1, 1, 0);
    if (status == SANE_STATUS_EOF) {
        // The device ended the page early: a shorter page, still a readable
        // file, and the batch goes on.
        QCOMPARE(result, int(SANE_STATUS_GOOD));
        QCOMPARE(files(), (QStringList{"page1.jpg", "page2.jpg", "page3.jpg"}));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(marker(m_dir->filePath(QStringLiteral("page%1.jpg").arg(i))),
                     QStringLiteral("%1A").arg(i));
        return;
    }
    // A page that ends half-way is never passed off as a whole scan.
    QVERIFY2(result != SANE_STATUS_GOOD, qPrintable(QString::number(result)));
    QVERIFY(files().contains("page1.jpg"));
    QVERIFY(!files().contains("page2.jpg"));
    QCOMPARE(marker(m_dir->filePath("page1.jpg")), QStringLiteral("1A"));
    QVERIFY(spy.count() >= 1);
    QCOMPARE(spy.first().at(0).toString(), m_dir->filePath("page1.jpg"));
    // Every announced page is on disk, whole or as the kept part.
    for (const QList<QVariant>& args : spy) {
        const QString path = args.at(0).toString();
        QVERIFY2(QFile::exists(path) || QFile::exists(path + ".part"), qPrintable(path));
    }
}

void TestRobustScan::unpluggedMidPage()
{
    QCOMPARE(open("sheets=3\npage-delay-ms=600\n"), int(SANE_STATUS_GOOD));
    setOptions("Gray");
    std::thread unplug;
    QObject context;
    connect(&m_scan, &SaneScan::sglScanOneImageDone, &context, [&](const QString&) {
        if (!unplug.joinable())
            unplug = std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                SimPage::WriteScenario("sheets=3\npage-delay-ms=600\ndevices=zylwy:WY200\n");
            });
    });
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int result = m_scan.Scan(base(), "jpg", 1, 1, 0);
    unplug.join();
    QCOMPARE(result, int(SANE_STATUS_IO_ERROR));
    QCOMPARE(marker(m_dir->filePath("page1.jpg")), QStringLiteral("1A"));
    QCOMPARE(spy.count(), 2);
    QVERIFY(QFile::exists(m_dir->filePath("page2.jpg.part")));
    QVERIFY(!QFile::exists(m_dir->filePath("page2.jpg")));
    // Closing and leaving SANE after the loss is clean, and the scanner is gone from the list.
    m_scan.CloseDevice();
    m_scan.Exit();
    m_scan.Init();
    QList<QString> names;
    QCOMPARE(m_scan.GetDeviceList(names), int(SANE_STATUS_GOOD));
    QVERIFY(!names.contains(kKx));
    QCOMPARE(m_scan.OpenDevice(kKx), int(SANE_STATUS_UNSUPPORTED));
}

void TestRobustScan::unpluggedBetweenPages()
{
    QCOMPARE(open("sheets=3\n"), int(SANE_STATUS_GOOD));
    setOptions("Color");
    QObject context;
    connect(&m_scan, &SaneScan::sglScanOneImageDone, &context,
            [](const QString&) { SimPage::WriteScenario("sheets=3\ndevices=zylwy:WY200\n"); });
    QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 0), int(SANE_STATUS_IO_ERROR));
    QCOMPARE(files(), QStringList{"page1.jpg"});
    QCOMPARE(marker(m_dir->filePath("page1.jpg")), QStringLiteral("1A"));
}

void TestRobustScan::tempFolderFull_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("fullAtPage");
    for (const char* format : {"jpg", "tiff", "png", "pnm"}) {
        for (int page : {1, 2}) {
            QTest::addRow("%s full at page %d", format, page) << format << "Gray" << page;
        }
    }
    QTest::newRow("lineart tiff full at page 2") << "tiff"
                                                 << "Lineart" << 2;
    QTest::newRow("colour jpg full at page 2") << "jpg"
                                               << "Color" << 2;
}

// The folder has room for a few kilobytes when the chosen page starts.
void TestRobustScan::tempFolderFull()
{
    QFETCH(QString, format);
    QFETCH(QString, mode);
    QFETCH(int, fullAtPage);
    QCOMPARE(open("sheets=3\n"), int(SANE_STATUS_GOOD));
    setOptions(mode);
    QObject context;
    connect(&m_scan, &SaneScan::sglScanOneImageDone, &context,
            [](const QString&) { setFileSizeLimit(1500); });
    if (fullAtPage == 1)
        setFileSizeLimit(1500);
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int result = m_scan.Scan(base(), format, 1, 1, 0);
    setrlimit(RLIMIT_FSIZE, &m_fsize);
    QCOMPARE(result, int(SANE_STATUS_ACCESS_DENIED));
    const QString full = QStringLiteral("page%1.%2").arg(fullAtPage).arg(format);
    QVERIFY2(!files().contains(full), qPrintable(files().join(' ')));
    QCOMPARE(spy.count(), fullAtPage);
    if (fullAtPage == 2) {
        const QString first = m_dir->filePath("page1." + format);
        QVERIFY(QFile::exists(first));
        if (mode != "Lineart")
            QCOMPARE(marker(first), QStringLiteral("1A"));
    }
}

QTEST_GUILESS_MAIN(TestRobustScan)
#include "tst_robust_scan.moc"
