#include "syscalltrace.h"

#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

// The process that traces this one, 0 when none.
int TracerPid()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("TracerPid:"))
            return line.mid(10).trimmed().toInt();
    }
    return 0;
}

} // namespace

SyscallTrace::~SyscallTrace()
{
    if (m_tracer.state() != QProcess::NotRunning)
        Stop();
}

QString SyscallTrace::Start(const QString& calls, const QString& logPath)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        return QStringLiteral("strace is not installed (scripts/bootstrap installs it)");
    m_log = logPath;
    m_tracer.start(strace, {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-e"),
                            QStringLiteral("trace=") + calls, QStringLiteral("-o"), logPath,
                            QStringLiteral("-p"), QString::number(::getpid())});
    if (!m_tracer.waitForStarted())
        return QStringLiteral("strace does not start");
    for (int i = 0; i < 1000 && TracerPid() == 0 && m_tracer.state() == QProcess::Running; ++i)
        QThread::msleep(10);
    if (TracerPid() != 0)
        return QString();
    m_tracer.kill();
    m_tracer.waitForFinished(1000);
    return QStringLiteral("strace cannot attach here: ") +
           QString::fromLocal8Bit(m_tracer.readAllStandardError());
}

QList<QByteArray> SyscallTrace::Stop()
{
    m_tracer.terminate(); // strace detaches and ends its log
    m_tracer.waitForFinished(10000);
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return JoinInterrupted(log.readAll().split('\n'));
}

QList<QByteArray> SyscallTrace::JoinInterrupted(const QList<QByteArray>& lines)
{
    // strace -f splits a call that another thread's call overtook:
    // "PID  name(args <unfinished ...>", later "PID  <... name resumed>) = 0".
    // The call is put back together where it returned.
    static const QByteArray unfinished(" <unfinished ...>");
    QList<QByteArray> joined;
    QHash<QByteArray, QByteArray> open; // pid -> the call's beginning
    for (const QByteArray& line : lines) {
        const QByteArray pid = line.left(line.indexOf(' '));
        if (line.endsWith(unfinished)) {
            open.insert(pid, line.left(line.size() - unfinished.size()));
            continue;
        }
        const int resumed = line.indexOf(" resumed>");
        if (line.contains("<... ") && resumed >= 0 && open.contains(pid)) {
            joined.append(open.take(pid) + line.mid(resumed + 9).simplified());
            continue;
        }
        joined.append(line);
    }
    return joined;
}

int SyscallTrace::Find(const QList<QByteArray>& lines, int from, const QList<QByteArray>& parts)
{
    for (int i = qMax(0, from); i < lines.size(); ++i) {
        bool all = true;
        for (const QByteArray& part : parts)
            all = all && lines.at(i).contains(part);
        if (all)
            return i;
    }
    return -1;
}
