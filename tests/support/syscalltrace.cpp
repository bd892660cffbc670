#include "syscalltrace.h"

#include <QFile>
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
    return log.readAll().split('\n');
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
