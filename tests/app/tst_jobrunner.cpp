#include "jobrunner.h"
#include "maskerdialog.h"
#include "scancontroller.h"

#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QWidget>
#include <QtTest>

// Scan jobs: Esc, a close request or the stop button on the overlay asks a
// stoppable job to stop, once, and never closes the overlay while the job
// runs; how many pages a job asks each scanner family for.
class TestJobRunner : public QObject {
    Q_OBJECT

private slots:
    void stopRequests_data();
    void stopRequests();
    void pagesPerJob_data();
    void pagesPerJob();
};

void TestJobRunner::stopRequests_data()
{
    QTest::addColumn<bool>("stoppable");
    QTest::addColumn<QString>("how"); // done twice
    QTest::newRow("scan, Esc") << true << "escape";
    QTest::newRow("scan, close request") << true << "close";
    QTest::newRow("scan, stop button") << true << "button";
    QTest::newRow("save, Esc") << false << "escape";
    QTest::newRow("save, close request") << false << "close";
}

// Whatever the user does, the overlay stays until the job has ended; during
// a stoppable job (a scan) it asks once to stop it and leaves the stop button
// off until the next job arms it again.
void TestJobRunner::stopRequests()
{
    QFETCH(bool, stoppable);
    QFETCH(QString, how);
    QWidget window;
    window.show();
    QSemaphore release;
    JobRunner jobs(&window);
    // A failed check ends the test with the job still waiting.
    const auto unblock = qScopeGuard([&release] { release.release(2); });
    int stops = 0;
    connect(&jobs, &JobRunner::sglStopRequested, this, [&] { ++stops; });
    QVERIFY(jobs.Start(
        QStringLiteral("busy"), [&] { release.acquire(); }, [&] { jobs.StopThread(); }, [] {}, stoppable));
    QPointer<MaskerDialog> masker = jobs.Masker();
    QVERIFY(QTest::qWaitForWindowExposed(masker));
    auto* button = masker->findChild<QPushButton*>(QStringLiteral("btnStopScan"));
    QVERIFY(button);
    QCOMPARE(button->isVisible(), stoppable);
    for (int i = 0; i < 2; ++i) {
        if (how == QLatin1String("button") && button->isEnabled())
            button->click();
        else if (how == QLatin1String("close"))
            masker->close();
        else
            QTest::keyClick(masker, Qt::Key_Escape);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(stops, stoppable ? 1 : 0);
    QVERIFY(masker && masker->isVisible());
    QVERIFY(!button->isEnabled());
    release.release();
    QTRY_VERIFY(!jobs.Active());
    QVERIFY(jobs.Start(
        QStringLiteral("busy"), [&] { release.acquire(); }, [&] { jobs.StopThread(); }, [] {}, true));
    QVERIFY(button->isEnabled() && button->isVisible());
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
