#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

// Watches the system calls of this very process with strace (-f -y: every
// thread, file descriptors shown with their paths), to check the order in
// which files are flushed, renamed and announced.
class SyscallTrace {
public:
    SyscallTrace() = default;
    ~SyscallTrace();
    SyscallTrace(const SyscallTrace&) = delete;
    SyscallTrace& operator=(const SyscallTrace&) = delete;

    // Starts tracing `calls` (strace's trace= list) into `logPath` and
    // returns once strace is attached. Empty on success, otherwise why it
    // cannot trace here (no strace, no ptrace), for QSKIP.
    QString Start(const QString& calls, const QString& logPath);
    // Ends tracing; the log's lines.
    QList<QByteArray> Stop();

    // The first line from `from` on that contains all of `parts`; -1 when
    // there is none.
    static int Find(const QList<QByteArray>& lines, int from, const QList<QByteArray>& parts);
    // `lines` with every call that strace split in two (another thread's
    // call came in between) joined into one line, where the call returned.
    static QList<QByteArray> JoinInterrupted(const QList<QByteArray>& lines);

private:
    QProcess m_tracer;
    QString m_log;
};
