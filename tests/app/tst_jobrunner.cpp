#include "jobrunner.h"
#include "maskerdialog.h"

#include <QPushButton>
#include <QThread>
#include <QWidget>
#include <QtTest>

// One background job at a time under the overlay: where each step runs, in
// which order, and how a job that finishes in steps ends.
class TestJobRunner : public QObject {
    Q_OBJECT

private slots:
    void stepsRunInOrder_data();
    void stepsRunInOrder();
    void secondJobRefusedWhileOneRuns();
    void stopOfferedOnlyWhenStoppable_data();
    void stopOfferedOnlyWhenStoppable();
};

void TestJobRunner::stepsRunInOrder_data()
{
    QTest::addColumn<int>("steps"); // 0: the finished step does all at once
    QTest::newRow("at once") << 0;
    QTest::newRow("one step") << 1;
    QTest::newRow("five steps") << 5;
}

void TestJobRunner::stepsRunInOrder()
{
    QFETCH(int, steps);
    QWidget window;
    window.show();
    JobRunner jobs(&window);
    QStringList log;
    QThread* workThread = nullptr;
    connect(&jobs, &JobRunner::sglActiveChanged, this,
            [&](bool active) { log << (active ? QStringLiteral("on") : QStringLiteral("off")); });
    connect(&jobs, &JobRunner::sglEnded, this, [&] { log << QStringLiteral("ended"); });
    int left = steps;
    const bool started = jobs.Start(
        QStringLiteral("busy"),
        [&] {
            workThread = QThread::currentThread();
            log << QStringLiteral("work");
        },
        [&] {
            jobs.StopThread();
            log << QStringLiteral("finished");
            if (steps == 0) {
                jobs.HideMasker();
                return;
            }
            jobs.FinishInSteps([&] {
                log << QStringLiteral("step");
                // The overlay stays until the last step.
                if (!jobs.Masker()->isVisible()) {
                    log << QStringLiteral("hidden early");
                }
                return --left == 0;
            });
        },
        [&] { log << QStringLiteral("after"); });
    QVERIFY(started);
    QVERIFY(jobs.Active());
    QVERIFY(jobs.Masker()->isVisible());
    QTRY_VERIFY(log.endsWith(QStringLiteral("ended")));

    QStringList expected{QStringLiteral("on"), QStringLiteral("work"), QStringLiteral("finished")};
    for (int i = 0; i < steps; ++i) {
        expected << QStringLiteral("step");
    }
    expected << QStringLiteral("off") << QStringLiteral("after") << QStringLiteral("ended");
    QCOMPARE(log, expected);
    QVERIFY(workThread && workThread != QThread::currentThread());
    QVERIFY(!jobs.Active());
    QVERIFY(!jobs.Masker()->isVisible());
}

void TestJobRunner::secondJobRefusedWhileOneRuns()
{
    QWidget window;
    window.show();
    JobRunner jobs(&window);
    int ended = 0;
    connect(&jobs, &JobRunner::sglEnded, this, [&] { ++ended; });
    QAtomicInt firstWork = 0;
    bool secondRan = false;
    QVERIFY(jobs.Start(
        QStringLiteral("first"), [&] { firstWork = 1; }, [&] { jobs.StopThread(); }, [] {}));
    QVERIFY(!jobs.Start(
        QStringLiteral("second"), [&] { secondRan = true; }, [&] { secondRan = true; },
        [&] { secondRan = true; }));
    QCOMPARE(jobs.Masker()->Msg(), QStringLiteral("first"));
    QTRY_COMPARE(ended, 1);
    QCOMPARE(int(firstWork), 1);
    QVERIFY(!secondRan);
    // Once the first has ended the next one runs.
    QVERIFY(jobs.Start(
        QStringLiteral("third"), [] {}, [&] { jobs.StopThread(); }, [] {}));
    QTRY_COMPARE(ended, 2);
}

void TestJobRunner::stopOfferedOnlyWhenStoppable_data()
{
    QTest::addColumn<bool>("stoppable");
    QTest::newRow("scan") << true;
    QTest::newRow("save") << false;
}

void TestJobRunner::stopOfferedOnlyWhenStoppable()
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
    // Esc on the overlay asks for a stop only when the job can stop.
    QTest::keyClick(jobs.Masker(), Qt::Key_Escape);
    QCOMPARE(stops, stoppable ? 1 : 0);
    QVERIFY(jobs.Masker()->isVisible());
    release.release();
    QTRY_VERIFY(!jobs.Active());
}

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
