#include "usbhotplugthread.h"

#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <linux/netlink.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray Uevent(QByteArray const& action, QByteArray const& product, QByteArray const& modalias)
{
    const QByteArray path = "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0";
    QByteArray m = action + '@' + path + '\0';
    m += "ACTION=" + action + '\0';
    m += "DEVPATH=" + path + '\0';
    m += QByteArray("SUBSYSTEM=usb") + '\0';
    m += QByteArray("DEVTYPE=usb_interface") + '\0';
    m += "PRODUCT=" + product + '\0';
    m += QByteArray("INTERFACE=255/0/0") + '\0';
    m += "MODALIAS=" + modalias + '\0';
    m += QByteArray("SEQNUM=812") + '\0';
    return m;
}

QByteArray KxEvent(QByteArray const& action)
{
    return Uevent(action, "a3d/1234/100", "usb:v0A3Dp1234d0100dc00dsc00dp00icFFisc00ip00in00");
}

QByteArray OverheadEvent(QByteArray const& action)
{
    return Uevent(action, "b7e/2f4c/100", "usb:v0B7Ep2F4Cd0100dc00dsc00dp00icFFisc00ip00in00");
}

// A netlink socket of the uevent family; bound to `port` when it is not 0.
int UeventSocket(__u32 port)
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0 || port == 0)
        return fd;
    sockaddr_nl addr;
    std::memset(&addr, 0, sizeof addr);
    addr.nl_family = AF_NETLINK;
    addr.nl_pid = port;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends one datagram to the monitor's port (the process id). Returns errno.
int SendToMonitor(int fd, QByteArray const& message)
{
    sockaddr_nl to;
    std::memset(&to, 0, sizeof to);
    to.nl_family = AF_NETLINK;
    to.nl_pid = static_cast<__u32>(::getpid());
    const ssize_t sent = ::sendto(fd, message.constData(), size_t(message.size()), 0,
                                  reinterpret_cast<sockaddr*>(&to), sizeof to);
    return sent < 0 ? errno : 0;
}

double ProcessCpuSeconds()
{
    timespec ts;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QList<int> Changes(QSignalSpy const& spy)
{
    QList<int> changes;
    for (auto const& args : spy)
        changes.append(args.at(0).toInt());
    return changes;
}

// Runs `make` with the process's standard output sent to a file and returns
// what was printed.
template <typename F> QByteArray CaptureStdout(F make)
{
    QTemporaryFile file;
    if (!file.open())
        return QByteArray();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(file.handle(), STDOUT_FILENO);
    make();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

constexpr int kStopBoundMs = 3000;

} // namespace

class TestUSBHotplugThread : public QObject {
    Q_OBJECT
private slots:
    void interruptionEndsThreadPromptly();
    void failedSetupIdlesWithoutEmitting();
    void destructorStopsThreadAndReleasesSocket();
    void deliversScannerEvents_data();
    void deliversScannerEvents();
    void listensWhenItsPortIsTaken();
};

void TestUSBHotplugThread::interruptionEndsThreadPromptly()
{
    USBHotplugThread monitor;
    QVERIFY2(monitor.IsListening(), "the uevent socket could not be opened");
    monitor.start();
    QVERIFY(monitor.isRunning());
    QTest::qWait(300);

    QElapsedTimer timer;
    timer.start();
    monitor.requestInterruption();
    QVERIFY(monitor.wait(kStopBoundMs));
    QVERIFY(timer.elapsed() < kStopBoundMs);
}

void TestUSBHotplugThread::failedSetupIdlesWithoutEmitting()
{
    // No descriptor left for the socket: the monitor's set-up fails. The
    // output file is opened first, so only the socket meets the limit.
    QTemporaryFile output;
    QVERIFY(output.open());
    rlimit saved;
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    const int lowestFree = ::dup(STDIN_FILENO);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);

    USBHotplugThread* monitor = nullptr;
    std::fflush(stdout);
    const int savedOut = ::dup(STDOUT_FILENO);
    ::dup2(output.handle(), STDOUT_FILENO);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree > savedOut ? lowestFree : savedOut + 1);
    ::setrlimit(RLIMIT_NOFILE, &tight);
    monitor = new USBHotplugThread;
    ::setrlimit(RLIMIT_NOFILE, &saved);
    std::fflush(stdout);
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedOut);
    QScopedPointer<USBHotplugThread> owner(monitor);
    output.seek(0);
    const QByteArray printed = output.readAll();

    QVERIFY(!monitor->IsListening());
    QVERIFY2(printed.startsWith("error getting socket: "), printed.constData());
    monitor->ClearBuffer();

    QSignalSpy spy(monitor, &USBHotplugThread::sglUSBListChanged);
    const double cpuBefore = ProcessCpuSeconds();
    monitor->start();
    QTest::qWait(1000);
    const double cpuUsed = ProcessCpuSeconds() - cpuBefore;
    // A busy loop would burn most of a core during that second.
    QVERIFY2(cpuUsed < 0.2, qPrintable(QStringLiteral("CPU used: %1 s").arg(cpuUsed)));
    QVERIFY(monitor->isRunning());

    monitor->requestInterruption();
    QVERIFY(monitor->wait(kStopBoundMs));
    QCOMPARE(spy.count(), 0);
}

void TestUSBHotplugThread::destructorStopsThreadAndReleasesSocket()
{
    auto* first = new USBHotplugThread;
    QVERIFY(first->IsListening());
    first->start();
    QTest::qWait(100);
    delete first;

    // The port is free again only when the first monitor closed its socket.
    USBHotplugThread second;
    QVERIFY(second.IsListening());
}

void TestUSBHotplugThread::deliversScannerEvents_data()
{
    QTest::addColumn<QList<QByteArray>>("queued");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::addColumn<QList<int>>("changes");

    QTest::newRow("add, bind, other vendor, removes")
        << QList<QByteArray>{}
        << QList<QByteArray>{KxEvent("add"),          KxEvent("bind"),
                             OverheadEvent("change"), Uevent("add", "46d/c52b/1211", "usb:v046DpC52B"),
                             OverheadEvent("remove"), KxEvent("remove")}
        << QList<int>{1, 2, 2};
    QTest::newRow("events before ClearBuffer are dropped")
        << QList<QByteArray>{KxEvent("add"), OverheadEvent("add")}
        << QList<QByteArray>{OverheadEvent("remove")} << QList<int>{2};
}

// Sends synthetic uevents to the monitor's netlink port, as the kernel would.
void TestUSBHotplugThread::deliversScannerEvents()
{
    QFETCH(QList<QByteArray>, queued);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(QList<int>, changes);

    USBHotplugThread monitor;
    QVERIFY(monitor.IsListening());
    const int sender = UeventSocket(0);
    QVERIFY(sender >= 0);
    // A one-byte datagram probes the permission; the monitor ignores it.
    const int err = SendToMonitor(sender, QByteArray(" "));
    if (err == EPERM || err == EACCES) {
        ::close(sender);
        QSKIP("sending uevents to the monitor needs CAP_NET_ADMIN (run as root)");
    }

    QSignalSpy spy(&monitor, &USBHotplugThread::sglUSBListChanged);
    for (auto const& message : queued)
        QCOMPARE(SendToMonitor(sender, message), 0);
    monitor.ClearBuffer();
    monitor.start();
    for (auto const& message : sent)
        QCOMPARE(SendToMonitor(sender, message), 0);
    ::close(sender);

    // Every row ends with a relevant event: once it is seen, so are the earlier ones.
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), changes.size(), 5000);
    QCOMPARE(Changes(spy), changes);

    monitor.requestInterruption();
    QVERIFY(monitor.wait(kStopBoundMs));
}

// Another socket already holds the port the monitor asks for first (the
// process id): the monitor still listens.
void TestUSBHotplugThread::listensWhenItsPortIsTaken()
{
    const int holder = UeventSocket(static_cast<__u32>(::getpid()));
    if (holder < 0)
        QSKIP("cannot bind a uevent socket to the process id here");
    {
        USBHotplugThread monitor;
        QVERIFY(monitor.IsListening());
    }
    ::close(holder);
}

QTEST_GUILESS_MAIN(TestUSBHotplugThread)
#include "tst_usbhotplugthread.moc"
