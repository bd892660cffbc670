// The scan loop against the simulated scanners when things go wrong: every
// SANE status at sane_open, at sane_start and in the middle of a page, and a
// temporary folder that fills up. Pages already scanned must stay whole and
// announced. (A scanner unplugged while a page is read: tst_devicechange.)
#include "pagemaker.h"
#include "sanescan.h"
#include "simpage.h"
#include "syscalltrace.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

const QString kKx = QStringLiteral("zylkx:KX-8000");

} // namespace

class TestRobustScan : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void deviceStatus_data();
    void deviceStatus();
    void tempFolderFull_data();
    void tempFolderFull();
    void pageFlushedBeforeItCounts_data();
    void pageFlushedBeforeItCounts();

private:
    int open(const QString& scenario, const QString& mode = "Gray");
    QString marker(int page, const QString& format = "jpg") const
    {
        return SimPage::FileMarker(m_dir->filePath(QString("page%1.%2").arg(page).arg(format)), 100);
    }
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRobustScan::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestRobustScan::cleanup()
{
    m_scan.CloseDevice();
    m_scan.Exit();
}

// Opens the Kx device on `scenario` with A6 pages at 100 dpi; the open's status.
int TestRobustScan::open(const QString& scenario, const QString& mode)
{
    if (!SimPage::WriteScenario(scenario))
        return -1;
    m_scan.Init();
    QList<QString> names;
    m_scan.GetDeviceList(names);
    const int status = m_scan.OpenDevice(kKx);
    m_scan.GetAllOptions();
    const bool set = m_scan.SetOption("resolution", "100") && m_scan.SetOption("paper-size", "A6") &&
                     m_scan.SetOption("mode", mode);
    return status == SANE_STATUS_GOOD && !set ? -1 : status;
}

void TestRobustScan::deviceStatus_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("status");
    for (const char* at : {"open", "start", "read"})
        for (int s = SANE_STATUS_UNSUPPORTED; s <= SANE_STATUS_ACCESS_DENIED; ++s)
            QTest::addRow("%s: %s", at, sane_strstatus(SANE_Status(s))) << at << s;
}

// The status strikes sheet 2 (at sane_open: the device). What was scanned
// before stays whole, and the session goes on with the next job.
void TestRobustScan::deviceStatus()
{
    QFETCH(QString, at);
    QFETCH(int, status);
    const QString fault = QString("error-sheet=2\nerror-status=%1\n").arg(status);
    if (at == "open") {
        QCOMPARE(open("error-at=open\n" + fault), status);
        QVERIFY(m_scan.Scan(base(), "jpg", 1, 1, 0) != SANE_STATUS_GOOD);
        QCOMPARE(files(), QStringList());
        // The failed open left no lock behind.
        QVERIFY(SimPage::WriteScenario("sheets=2\n"));
        QCOMPARE(m_scan.OpenDevice(kKx), int(SANE_STATUS_GOOD));
        m_scan.GetAllOptions();
        QVERIFY(m_scan.SetOption("resolution", "100"));
        QCOMPARE(m_scan.Scan(base(), "jpg", 1, 1, 0), int(SANE_STATUS_GOOD));
        QCOMPARE(files(), (QStringList{"page1.jpg", "page2.jpg"}));
        return;
    }
    QCOMPARE(open("sheets=3\n" + fault + (at == "start" ? "error-at=start\n" : "")), int(SANE_STATUS_GOOD));
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int result = m_scan.Scan(base(), "jpg", 1, 1, 0);
    QCOMPARE(marker(1), QString("1A"));
    QCOMPARE(spy.first().at(0).toString(), m_dir->filePath("page1.jpg"));
    if (at == "start") {
        QCOMPARE(result, status == SANE_STATUS_NO_DOCS ? SANE_STATUS_GOOD : status);
        QCOMPARE(files(), QStringList{"page1.jpg"});
        QCOMPARE(m_scan.Scan(base(), "jpg", 2, 1, 0), int(SANE_STATUS_GOOD));
        QCOMPARE(marker(2), QString("3A"));
    } else if (status == SANE_STATUS_EOF) {
        // The device ended the page early: a shorter page, and the batch goes on.
        QCOMPARE(result, int(SANE_STATUS_GOOD));
        QCOMPARE(QStringList({marker(1), marker(2), marker(3)}), QStringList({"1A", "2A", "3A"}));
    } else {
        // A page that ends half-way is never passed off as a whole scan, and
        // every announced page is on disk, whole or as the kept part.
        QVERIFY2(result != SANE_STATUS_GOOD, qPrintable(QString::number(result)));
        QVERIFY(!files().contains("page2.jpg"));
        for (const QList<QVariant>& args : spy)
            QVERIFY(QFile::exists(args.at(0).toString()) || QFile::exists(args.at(0).toString() + ".part"));
    }
}

void TestRobustScan::tempFolderFull_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("fullAtPage");
    QTest::newRow("jpg full at page 1") << "jpg"
                                        << "Gray" << 1;
    QTest::newRow("png full at page 2") << "png"
                                        << "Gray" << 2;
    QTest::newRow("lineart tiff full at page 2") << "tiff"
                                                 << "Lineart" << 2;
}

// The folder has room for a few kilobytes when the chosen page starts.
void TestRobustScan::tempFolderFull()
{
    QFETCH(QString, format);
    QFETCH(QString, mode);
    QFETCH(int, fullAtPage);
    // Paced sheets: the page before is announced (flushed while this one is
    // read) early in this one.
    QCOMPARE(open("sheets=3\npage-delay-ms=500\n", mode), int(SANE_STATUS_GOOD));
    // A full disk answers writes with an error, as a file size limit does.
    std::unique_ptr<PageMaker::FileSizeLimit> full;
    QObject context;
    connect(&m_scan, &SaneScan::sglScanOneImageDone, &context, [&full] {
        if (!full)
            full.reset(new PageMaker::FileSizeLimit(1500));
    });
    if (fullAtPage == 1)
        full.reset(new PageMaker::FileSizeLimit(1500));
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    const int result = m_scan.Scan(base(), format, 1, 1, 0);
    full.reset();
    QCOMPARE(result, int(SANE_STATUS_ACCESS_DENIED));
    QVERIFY2(!files().contains(QString("page%1.%2").arg(fullAtPage).arg(format)),
             qPrintable(files().join(' ')));
    QCOMPARE(spy.count(), fullAtPage);
    if (fullAtPage == 2 && mode != "Lineart")
        QCOMPARE(marker(1, format), QString("1A"));
}

void TestRobustScan::pageFlushedBeforeItCounts_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("scenario");
    QTest::newRow("jpg") << "jpg"
                         << "Gray" << QString();
    QTest::newRow("lineart tiff") << "tiff"
                                  << "Lineart" << QString();
    QTest::newRow("png of unknown length") << "png"
                                           << "Gray"
                                           << "unknown-lines=1\n";
}

// A page counts once it is announced; by then its data must be on the disk
// and its name in the folder, so that a power cut after the announcement
// cannot leave a named page without its data. The system calls are watched
// with strace: fdatasync of the ".part" file, then its rename, then the
// fsync of the folder, then the announcement (marked by an access() call),
// the pages announced in their order.
void TestRobustScan::pageFlushedBeforeItCounts()
{
    QFETCH(QString, format);
    QFETCH(QString, mode);
    QFETCH(QString, scenario);
    QCOMPARE(open("sheets=3\n" + scenario, mode), int(SANE_STATUS_GOOD));
    SyscallTrace trace;
    const QString why = trace.Start(QStringLiteral("fdatasync,fsync,rename,renameat,renameat2,link,access"),
                                    m_dir->filePath(QStringLiteral("trace.log")));
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    QObject context;
    connect(&m_scan, &SaneScan::sglScanOneImageDone, &context,
            [](const QString& path) { ::access(QFile::encodeName(path + ".announced").constData(), F_OK); });
    const int result = m_scan.Scan(base(), format, 1, 1, 0);
    const QList<QByteArray> lines = trace.Stop();
    QCOMPARE(result, int(SANE_STATUS_GOOD));

    const QByteArray folder = "<" + QFile::encodeName(m_dir->path()) + ">";
    int before = -1; // the previous page's announcement
    for (int page = 1; page <= 3; ++page) {
        const QByteArray name =
            QFile::encodeName(base()) + QByteArray::number(page) + "." + format.toLatin1();
        const int sync = SyscallTrace::Find(lines, 0, {"fdatasync(", "<" + name + ".part>", ") = 0"});
        const int rename =
            SyscallTrace::Find(lines, sync, {"rename", "\"" + name + ".part\"", "\"" + name + "\"", ") = 0"});
        const int folderSync = SyscallTrace::Find(lines, rename, {"fsync(", folder, ") = 0"});
        const int announced = SyscallTrace::Find(lines, 0, {"access(\"" + name + ".announced\""});
        const QByteArray where = "page " + QByteArray::number(page) + " in\n" + lines.join('\n');
        QVERIFY2(sync >= 0 && rename > sync, where.constData());
        QVERIFY2(folderSync > rename && announced > folderSync, where.constData());
        // In page order, although the next page is read while one is flushed.
        QVERIFY2(announced > before, where.constData());
        before = announced;
    }
}

QTEST_GUILESS_MAIN(TestRobustScan)
#include "tst_robust_scan.moc"
