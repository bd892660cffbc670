// The scan controller on its own: where each arriving page of a job goes,
// which pages a stop or a failed replacement drops, how pages are numbered,
// and how many pages a job asks the scanner for.
#include "pagefile.h"
#include "sanescan.h"
#include "scancontroller.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

using Placement = ScanController::Placement;
using PageAction = ScanController::PageAction;

class TestScanController : public QObject {
    Q_OBJECT
private slots:
    void pagesOfOneJob_data();
    void pagesOfOneJob();
    void stopIsAcceptedOncePerJob();
    void pagesToScan_data();
    void pagesToScan();
};

void TestScanController::pagesOfOneJob_data()
{
    // `events`: "ok" a complete page arrives, "cut" a page cut off (only its
    // partial file exists), "stop" the user stops the scan.
    // `expected`: one entry a page, "append", "replace", "drop" or "at N"
    // (inserted at list position N).
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("insertIndex");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("to the end") << int(Placement::ToLast) << 0 << QStringList{"ok", "ok", "ok"}
                                << QStringList{"append", "append", "append"};
    QTest::newRow("before page 2: in scan order")
        << int(Placement::ToPrev) << 1 << QStringList{"ok", "ok", "ok"}
        << QStringList{"at 1", "at 2", "at 3"};
    QTest::newRow("after the last of four")
        << int(Placement::ToNext) << 4 << QStringList{"ok", "ok"} << QStringList{"at 4", "at 5"};
    QTest::newRow("replace") << int(Placement::Replace) << 2 << QStringList{"ok"} << QStringList{"replace"};
    QTest::newRow("replace cut off: the old page stays")
        << int(Placement::Replace) << 2 << QStringList{"cut"} << QStringList{"drop"};
    QTest::newRow("cut off without a stop is kept")
        << int(Placement::ToLast) << 0 << QStringList{"ok", "cut"} << QStringList{"append", "append"};
    QTest::newRow("stop: the cut-off page goes")
        << int(Placement::ToLast) << 0 << QStringList{"ok", "stop", "cut"} << QStringList{"append", "drop"};
    QTest::newRow("stop while inserting: the position does not move")
        << int(Placement::ToPrev) << 0 << QStringList{"ok", "stop", "cut", "ok"}
        << QStringList{"at 0", "drop", "at 1"};
}

void TestScanController::pagesOfOneJob()
{
    QFETCH(int, type);
    QFETCH(int, insertIndex);
    QFETCH(QStringList, events);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SaneScan sane;
    const QHash<QString, Opt_Result> noOptions;
    ScanController scan(&sane, noOptions);
    scan.SetNextNumber(7);
    ScanController::Job job;
    job.type = type;
    job.device = QStringLiteral("zylkx:KX-8000");
    job.basePath = dir.path() + QStringLiteral("/page");
    job.insertIndex = insertIndex;
    scan.Begin(job);
    QVERIFY(scan.Scanning());
    QCOMPARE(scan.FirstNumber(), 7);

    QStringList actions;
    int arrived = 0;
    for (const QString& event : events) {
        if (event == QLatin1String("stop")) {
            QVERIFY(scan.RequestStop());
            continue;
        }
        const QString file = dir.path() + QStringLiteral("/page%1.jpg").arg(7 + arrived);
        ++arrived;
        QFile page(event == QLatin1String("ok") ? file : PartialPagePath(file));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        int at = -1;
        switch (scan.TakePage(file, at)) {
        case PageAction::Append:
            actions << QStringLiteral("append");
            break;
        case PageAction::Replace:
            actions << QStringLiteral("replace");
            break;
        case PageAction::Insert:
            actions << QStringLiteral("at %1").arg(at);
            break;
        case PageAction::Drop:
            actions << QStringLiteral("drop");
            QVERIFY2(!QFile::exists(PartialPagePath(file)), "a dropped page leaves its partial file");
            break;
        }
    }
    scan.End();
    QCOMPARE(actions, expected);
    // Every page that arrived used up its number, dropped or not, so the
    // next job never writes over a file of this one.
    QCOMPARE(scan.NextNumber(), 7 + arrived);
    QCOMPARE(scan.PagesThisRun(), int(expected.size() - expected.count(QStringLiteral("drop"))));
}

void TestScanController::stopIsAcceptedOncePerJob()
{
    SaneScan sane;
    const QHash<QString, Opt_Result> noOptions;
    ScanController scan(&sane, noOptions);
    QVERIFY2(!scan.RequestStop(), "a stop with no scan running");
    ScanController::Job job;
    job.device = QStringLiteral("zylkx:KX-8000");
    for (int round = 0; round < 2; ++round) {
        scan.Begin(job);
        QVERIFY(!scan.StopRequested());
        QVERIFY(scan.RequestStop());
        QVERIFY2(!scan.RequestStop(), "a second stop for the same scan");
        QVERIFY(scan.StopRequested());
        scan.End();
    }
}

void TestScanController::pagesToScan_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("panelCount");
    QTest::addColumn<int>("expected");

    // 0: until the feeder is empty.
    QTest::newRow("feeder, to the end") << int(Placement::ToLast) << "zylkx:KX-8000" << 2 << 0;
    QTest::newRow("feeder, before a page") << int(Placement::ToPrev) << "zylwy:WY200" << 1 << 0;
    QTest::newRow("feeder, replace") << int(Placement::Replace) << "zylkx:KX-8000" << 2 << 1;
    QTest::newRow("overhead takes its panel's count") << int(Placement::ToLast) << "zyljn:RV920" << 1 << 1;
    QTest::newRow("overhead, replace") << int(Placement::Replace) << "zyljn:RV920" << 3 << 1;
    QTest::newRow("other device, feeder source") << int(Placement::ToNext) << "test:0" << 0 << 0;
    QTest::newRow("other device, flatbed") << int(Placement::ToLast) << "test:0" << 1 << 1;
}

void TestScanController::pagesToScan()
{
    QFETCH(int, type);
    QFETCH(QString, device);
    QFETCH(int, panelCount);
    QFETCH(int, expected);
    QCOMPARE(ScanController::PagesToScan(type, device, panelCount), expected);
}

QTEST_MAIN(TestScanController)
#include "tst_scancontroller.moc"
