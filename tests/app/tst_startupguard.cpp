#include "execcmd.h"
#include "startupguard.h"

#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A process of another program that shows up under the name scanvy.
qint64 startNamedScanvy(QProcess& p, const QStringList& asUser)
{
    const QStringList command{"bash", "-c", "exec -a scanvy sleep 60"};
    const QStringList all = asUser + command;
    p.start(all.first(), all.mid(1));
    if (!p.waitForStarted(10000))
        return -1;
    return p.processId();
}

} // namespace

class TestStartupGuard : public QObject {
    Q_OBJECT

private slots:
    void instance_data();
    void instance();
    void otherAccountsDoNotCount();
    void lockOfAKilledHolderIsFree();
    void lockDecidesWhenUsable_data();
    void lockDecidesWhenUsable();
};

void TestStartupGuard::instance_data()
{
    QTest::addColumn<QString>("pidof");
    QTest::addColumn<QList<long long>>("owners");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<bool>("refused");

    const QString here = QStringLiteral("/opt/scanvy/bin/scanvy");
    const long long me = 1000;
    const long long other = 1001;
    QTest::newRow("only this process") << "100" << QList<long long>{me} << QStringList{here} << false;
    QTest::newRow("second copy here")
        << "100 200" << QList<long long>{me, me} << QStringList{here, here} << true;
    QTest::newRow("second copy elsewhere")
        << "100 200" << QList<long long>{me, me} << QStringList{here, "/home/u/scanvy"} << true;
    QTest::newRow("another account's copy here")
        << "100 200" << QList<long long>{me, other} << QStringList{here, here} << false;
    QTest::newRow("other accounts only, before this one")
        << "50 60 100" << QList<long long>{other, 0, me} << QStringList{here, here, here} << false;
    QTest::newRow("own second copy among others")
        << "50 100 200" << QList<long long>{other, me, me} << QStringList{here, here, here} << true;
}

void TestStartupGuard::instance()
{
    QFETCH(QString, pidof);
    QFETCH(QList<long long>, owners);
    QFETCH(QStringList, links);
    QFETCH(bool, refused);

    const QString appDir = QStringLiteral("/opt/scanvy/bin");
    const QStringList all = StartupGuard::ParsePidList(pidof);
    QHash<QString, long long> ownerOf;
    QHash<QString, QString> outputs;
    outputs.insert(QStringLiteral("pidof scanvy"), pidof);
    for (int i = 0; i < all.size(); ++i) {
        ownerOf.insert(all[i], owners[i]);
        outputs.insert(QStringLiteral("ls -ld /proc/%1/exe | awk '{print $NF}' ").arg(all[i]), links[i]);
    }
    QStringList asked;
    const auto run = [&](const QString& command) {
        asked << command;
        return outputs.value(command, QStringLiteral("UNEXPECTED"));
    };
    const auto owner = [&](const QString& pid) { return ownerOf.value(pid, -1); };
    QCOMPARE(StartupGuard::IsAnotherInstanceRunning(appDir, run, owner, 1000), refused);

    // Only this account's processes are looked at further, with exactly
    // these commands.
    const QStringList mine = StartupGuard::PidsOfUser(all, owners, 1000);
    QCOMPARE(asked.size(), 1 + mine.size());
    for (const QString& command : asked)
        QVERIFY2(outputs.contains(command), qPrintable(command));
}

void TestStartupGuard::otherAccountsDoNotCount()
{
    // Real processes named scanvy: another account's copy, started first,
    // and this account's one.
    const QStringList processes{"nobody", "me"};
    const QStringList asNobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    if (geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("starting a process as another account needs root and setpriv");
    std::vector<std::unique_ptr<QProcess>> running;
    QStringList pids;
    for (const QString& who : processes) {
        running.emplace_back(new QProcess);
        const qint64 pid = startNamedScanvy(*running.back(), who == "nobody" ? asNobody : QStringList());
        QVERIFY(pid > 0);
        pids << QString::number(pid);
    }
    auto stopAll = qScopeGuard([&running] {
        for (auto& p : running) {
            p->kill();
            p->waitForFinished(5000);
        }
    });

    // pidof also lists other copies on this machine; only ours take part.
    QString pidof;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QStringList found = StartupGuard::ParsePidList(ExecCmd("pidof scanvy"));
            QStringList ours;
            for (const QString& pid : found) {
                if (pids.contains(pid))
                    ours << pid;
            }
            pidof = ours.join(' ');
            return ours.size() == pids.size();
        }(),
        10000);
    for (int i = 0; i < processes.size(); ++i) {
        const long long owner = StartupGuard::ProcessOwner(pids[i]);
        QCOMPARE(owner == geteuid(), processes[i] == "me");
    }
    const auto run = [&pidof](const QString& command) {
        return command == QLatin1String("pidof scanvy") ? pidof : ExecCmd(command);
    };
    QCOMPARE(StartupGuard::IsAnotherInstanceRunning(QStringLiteral("/usr/bin"), run,
                                                    StartupGuard::ProcessOwner, geteuid()),
             false);
}

void TestStartupGuard::lockOfAKilledHolderIsFree()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString path = StartupGuard::InstanceLockPath(home.path());
    int ready[2];
    QVERIFY(pipe(ready) == 0);
    const pid_t child = fork();
    if (child == 0) {
        StartupGuard::InstanceLock lock(path);
        const char state = char('0' + lock.GetState());
        if (::write(ready[1], &state, 1) != 1)
            _exit(1);
        pause(); // killed while holding the lock
        _exit(0);
    }
    char state = 0;
    QCOMPARE(::read(ready[0], &state, 1), ssize_t(1));
    ::close(ready[0]);
    ::close(ready[1]);
    QCOMPARE(state, char('0' + StartupGuard::InstanceLock::Held));
    {
        StartupGuard::InstanceLock meanwhile(path);
        QCOMPARE(meanwhile.GetState(), StartupGuard::InstanceLock::HeldByOther);
    }
    kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    StartupGuard::InstanceLock after(path);
    QCOMPARE(after.GetState(), StartupGuard::InstanceLock::Held);
}

void TestStartupGuard::lockDecidesWhenUsable_data()
{
    QTest::addColumn<int>("lock");
    QTest::addColumn<bool>("othersRunning");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("checked");

    using L = StartupGuard::InstanceLock;
    // Holding the lock wins even while a competing start is still visible.
    QTest::newRow("held, a competitor visible") << int(L::Held) << true << false << false;
    QTest::newRow("held by another") << int(L::HeldByOther) << false << true << false;
    QTest::newRow("no lock, others running") << int(L::Unavailable) << true << true << true;
    QTest::newRow("no lock, alone") << int(L::Unavailable) << false << false << true;
}

void TestStartupGuard::lockDecidesWhenUsable()
{
    QFETCH(int, lock);
    QFETCH(bool, othersRunning);
    QFETCH(bool, refused);
    QFETCH(bool, checked);
    bool asked = false;
    const auto check = [&] {
        asked = true;
        return othersRunning;
    };
    QCOMPARE(StartupGuard::IsSecondInstance(StartupGuard::InstanceLock::State(lock), check), refused);
    QCOMPARE(asked, checked);
}

QTEST_APPLESS_MAIN(TestStartupGuard)
#include "tst_startupguard.moc"
