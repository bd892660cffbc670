// Logout, shutdown and a closed terminal end the program at once: each
// termination signal reaches the last words with its own number, also after
// a library has put its own handler in place, and the process then ends by
// that very signal, so that whoever sent it sees it in the exit status.
// Every case runs in a child process of its own, which the signal ends.
#include "terminationwatcher.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

extern "C" void OtherHandler(int)
{
}

// Exit codes of the child when the signal did not end it.
constexpr int kNoWatcher = 90;
constexpr int kStillRunning = 91;
constexpr int kNoNamespace = 92;

} // namespace

class TestTermination : public QObject {
    Q_OBJECT

private slots:
    void signalEndsTheProgram_data();
    void signalEndsTheProgram();
};

void TestTermination::signalEndsTheProgram_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("replacedBy"); // "" none, "default", "other": a library's handler
    // The first process of a PID namespace (a container's) takes no default
    // action from its own signal: it exits with 128 + the signal instead.
    QTest::addColumn<bool>("namespaceInit");

    QTest::newRow("SIGTERM") << int(SIGTERM) << "" << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << "" << false;
    QTest::newRow("SIGTERM after a backend reset it") << int(SIGTERM) << "default" << false;
    QTest::newRow("SIGTERM after a library's own handler") << int(SIGTERM) << "other" << false;
    QTest::newRow("SIGHUP after a library's own handler") << int(SIGHUP) << "other" << false;
    QTest::newRow("SIGTERM to a namespace's first process") << int(SIGTERM) << "" << true;
    QTest::newRow("SIGHUP to a namespace's first process") << int(SIGHUP) << "" << true;
}

void TestTermination::signalEndsTheProgram()
{
    QFETCH(int, signal);
    QFETCH(QString, replacedBy);
    QFETCH(bool, namespaceInit);

    int words[2];
    QVERIFY(::pipe(words) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(words[0]);
        if (namespaceInit) {
            // The child of an unshare is the namespace's first process; its
            // exit code is passed on.
            if (::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0)
                ::_exit(kNoNamespace);
            const pid_t init = ::fork();
            if (init != 0) {
                int status = 0;
                const bool ended = init > 0 && ::waitpid(init, &status, 0) == init && WIFEXITED(status);
                ::_exit(ended ? WEXITSTATUS(status) : kNoNamespace);
            }
        }
        TerminationWatcher watcher([&words](int received) {
            const char byte = char(received);
            (void)!::write(words[1], &byte, 1);
        });
        if (!watcher.IsActive())
            ::_exit(kNoWatcher);
        if (!replacedBy.isEmpty()) {
            struct sigaction action {};
            action.sa_handler = replacedBy == "default" ? SIG_DFL : OtherHandler;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
            watcher.Rearm();
        }
        ::raise(signal);
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        ::_exit(kStillRunning);
    }
    ::close(words[1]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    char byte = 0;
    const ssize_t got = ::read(words[0], &byte, 1);
    ::close(words[0]);

    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace)
        QSKIP("no PID namespace can be made here");
    if (namespaceInit) {
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 128 + signal);
    } else {
        QVERIFY2(WIFSIGNALED(status), qPrintable(QString("exit status %1").arg(WEXITSTATUS(status))));
        QCOMPARE(WTERMSIG(status), signal);
    }
    QCOMPARE(got, ssize_t(1));
    QCOMPARE(int(byte), signal);
}

QTEST_GUILESS_MAIN(TestTermination)
#include "tst_termination.moc"
