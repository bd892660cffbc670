#include "terminationwatcher.h"

#include <QtTest>

#include <csignal>

// A library that replaces the handlers (as some SANE backends do while they
// scan) must not leave logout and shutdown without the last words.
class TestTerminationWatcher : public QObject {
    Q_OBJECT

private slots:
    void rearmRestoresTheLastWords_data();
    void rearmRestoresTheLastWords();
};

void TestTerminationWatcher::rearmRestoresTheLastWords_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("ignored"); // else set back to the default
    QTest::newRow("SIGTERM set back to the default") << int(SIGTERM) << false;
    QTest::newRow("SIGTERM ignored") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP set back to the default") << int(SIGHUP) << false;
}

void TestTerminationWatcher::rearmRestoresTheLastWords()
{
    QFETCH(int, signal);
    QFETCH(bool, ignored);
    TerminationWatcher watcher([](int) {});
    QVERIFY(watcher.IsActive());
    struct sigaction ours {};
    QCOMPARE(sigaction(signal, nullptr, &ours), 0);
    std::signal(signal, ignored ? SIG_IGN : SIG_DFL);
    watcher.Rearm();
    struct sigaction now {};
    QCOMPARE(sigaction(signal, nullptr, &now), 0);
    QVERIFY(now.sa_handler == ours.sa_handler);
    // Handled, the signal only wakes the watcher; the event loop that would
    // end the process does not run here.
    QCOMPARE(::raise(signal), 0);
}

QTEST_GUILESS_MAIN(TestTerminationWatcher)
#include "tst_terminationwatcher.moc"
