#include "terminationwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGHUP};

extern "C" void HandleTermination(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    // Async-signal-safe; a full pipe means a signal is pending already.
    const ssize_t written = ::write(g_pipe[1], &byte, 1);
    (void)written;
    errno = saved;
}

void InstallHandlers()
{
    struct sigaction action {};
    action.sa_handler = HandleTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace

TerminationWatcher::TerminationWatcher(std::function<void(int)> lastWords, QObject* parent)
    : QObject(parent), m_lastWords(std::move(lastWords))
{
    if (g_pipe[0] >= 0) {
        return; // one watcher per process
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::OnSignal);

    InstallHandlers();
}

void TerminationWatcher::Rearm()
{
    if (!m_notifier) {
        return;
    }
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != HandleTermination) {
            InstallHandlers();
            return;
        }
    }
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier) {
        return;
    }
    for (const int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationWatcher::OnSignal()
{
    char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1) {
        return;
    }
    const int signal = byte;
    if (m_lastWords) {
        m_lastWords(signal);
    }
    // End the way the signal would have ended us, so that whoever sent it
    // sees it in the exit status. A process that is the first of its PID
    // namespace does not take a default action from itself: exit then.
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    ::_exit(128 + signal);
}
