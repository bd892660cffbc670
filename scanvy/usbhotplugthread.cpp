#include "usbhotplugthread.h"

#include "ueventmatch.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kReceiveBufferBytes = 16 * 1024 * 1024;
constexpr int kMessageBytes = 4096;
// How often a blocked thread looks for an interruption request.
constexpr int kWakeIntervalMs = 200;
constexpr unsigned kKernelUeventGroup = 1;

} // namespace

USBHotplugThread::USBHotplugThread(QObject* parent) : QThread(parent)
{
    OpenSocket();
}

USBHotplugThread::~USBHotplugThread()
{
    if (isRunning()) {
        requestInterruption();
        quit();
        wait();
    }
    if (m_socket >= 0)
        ::close(m_socket);
}

void USBHotplugThread::OpenSocket()
{
    // Close-on-exec keeps the socket out of the shell tools run for discovery.
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        std::printf("error getting socket: %s\n", std::strerror(errno));
        std::fflush(stdout);
        return;
    }

    // Forcing the size needs CAP_NET_ADMIN; otherwise take what the system allows.
    const int size = kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) < 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);

    sockaddr_nl addr;
    std::memset(&addr, 0, sizeof addr);
    addr.nl_family = AF_NETLINK;
    addr.nl_pid = static_cast<__u32>(::getpid());
    addr.nl_groups = kKernelUeventGroup;

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags);

    // The process id as port is taken when another socket of this network
    // namespace got there first (a copy of the program in another PID
    // namespace has the same id): let the kernel choose a free port then;
    // uevents reach every listener of the group whatever its port.
    int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (bound < 0 && errno == EADDRINUSE) {
        addr.nl_pid = 0;
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    if (bound < 0) {
        std::printf("bind failed: %s\n", std::strerror(errno));
        std::fflush(stdout);
        ::close(fd);
        return;
    }
    m_socket = fd;
}

void USBHotplugThread::ClearBuffer()
{
    if (m_socket < 0)
        return;
    pollfd pfd{m_socket, POLLIN, 0};
    char byte;
    while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
        // Reading part of a datagram discards all of it.
        if (::recv(m_socket, &byte, 1, MSG_DONTWAIT) < 0 && errno != EINTR && errno != ENOBUFS)
            break;
    }
}

bool USBHotplugThread::WaitReadable()
{
    pollfd pfd{m_socket, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, kWakeIntervalMs);
    if (ready < 0 && errno != EINTR)
        msleep(kWakeIntervalMs);
    return ready > 0;
}

void USBHotplugThread::run()
{
    if (m_socket < 0) {
        // Nothing to listen to: idle until asked to stop.
        while (!isInterruptionRequested())
            msleep(kWakeIntervalMs);
        return;
    }

    char buffer[kMessageBytes];
    while (!isInterruptionRequested()) {
        if (!WaitReadable())
            continue;
        const ssize_t length = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (length < 0) {
            // After an overflow (ENOBUFS) the next read succeeds again.
            if (errno != EINTR && errno != ENOBUFS)
                msleep(kWakeIntervalMs);
            continue;
        }
        const UeventChange change =
            MatchScannerUevent(QByteArray::fromRawData(buffer, static_cast<int>(length)));
        if (change != UeventIgnored)
            emit sglUSBListChanged(change);
    }
}
