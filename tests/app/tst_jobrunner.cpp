#include "jobrunner.h"
#include "maskerdialog.h"
#include "scancontroller.h"

#include <QSemaphore>
#include <QWidget>
#include <QtTest>

// Scan jobs: Esc on the overlay asks a stoppable job to stop, once, and
// never closes the overlay while the job runs; how many pages a job asks
// each scanner family for.
class TestJobRunner : public QObject {
    Q_OBJECT

private slots:
    void escapeAsksToStopOnce_data();
    void escapeAsksToStopOnce();
    void pagesPerJob_data();
    void pagesPerJob();
};

void TestJobRunner::escapeAsksToStopOnce_data()
{
    QTest::addColumn<bool>("stoppable");
    QTest::newRow("scan") << true;
    QTest::newRow("save") << false;
}

void TestJobRunner::escapeAsksToStopOnce()
{
    QFETCH(bool, stoppable);
    QWidget window;
    window.show();
    JobRunner jobs(&window);
    int stops = 0;
    connect(&jobs, &JobRunner::sglStopRequested, this, [&] { ++stops; });
    QSemaphore release;
    QVERIFY(jobs.Start(
        QStringLiteral("busy"), [&] { release.acquire(); }, [&] { jobs.StopThread(); }, [] {}, stoppable));
    QTest::keyClick(jobs.Masker(), Qt::Key_Escape);
    QTest::keyClick(jobs.Masker(), Qt::Key_Escape);
    QCOMPARE(stops, stoppable ? 1 : 0);
    QVERIFY(jobs.Masker()->isVisible());
    release.release();
    QTRY_VERIFY(!jobs.Active());
}

void TestJobRunner::pagesPerJob_data()
{
    using P = ScanController::Placement;
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("panelCount");
    QTest::addColumn<int>("expected"); // 0: until the feeder is empty

    QTest::newRow("Kx feeder") << int(P::ToLast) << "zylkx:KX-8000" << 2 << 0;
    QTest::newRow("Wy feeder, before a page") << int(P::ToPrev) << "zylwy:WY200" << 1 << 0;
    QTest::newRow("feeder, replace") << int(P::Replace) << "zylkx:KX-8000" << 2 << 1;
    QTest::newRow("overhead scanner") << int(P::ToLast) << "zyljn:RV920" << 1 << 1;
    QTest::newRow("overhead scanner, replace") << int(P::Replace) << "zyljn:RV920" << 3 << 1;
}

void TestJobRunner::pagesPerJob()
{
    QFETCH(int, type);
    QFETCH(QString, device);
    QFETCH(int, panelCount);
    QFETCH(int, expected);
    QCOMPARE(ScanController::PagesToScan(type, device, panelCount), expected);
}

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
