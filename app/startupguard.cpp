#include "startupguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace StartupGuard {

namespace {
const char* const kManagerNames[] = {
    "zylkxscanmanage",
    "zylkxscanmanager",
    "zylwyscanmanage",
    "zylwyscanmanager",
};
} // namespace

QString ParentNameCommand(long long parentPid)
{
    return QStringLiteral("ps -p %1 -o comm=").arg(parentPid);
}

bool IsManagerName(const QString& psOutput)
{
    const QString name = psOutput.trimmed();
    for (const char* manager : kManagerNames) {
        if (name == QLatin1String(manager)) {
            return true;
        }
    }
    return false;
}

bool ShouldDetach(long long parentPid, const QString& psOutput)
{
    return parentPid > 0 && IsManagerName(psOutput);
}

bool IsSudoRefused(unsigned int effectiveUid, bool sudoUidSet)
{
    return effectiveUid == 0 && sudoUidSet;
}

QStringList ParsePidList(const QString& pidofOutput)
{
    return pidofOutput.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString ExeLinkCommand(const QString& pid)
{
    return QStringLiteral("ls -ld /proc/") + pid.trimmed() + QStringLiteral("/exe | awk '{print $NF}' ");
}

long long ProcessOwner(const QString& pid)
{
    const QFileInfo info(QStringLiteral("/proc/") + pid.trimmed());
    if (pid.trimmed().isEmpty() || !info.exists())
        return -1;
    return info.ownerId();
}

QStringList PidsOfUser(const QStringList& pids, const QList<long long>& owners, long long uid)
{
    QStringList mine;
    for (int i = 0; i < pids.size() && i < owners.size(); ++i) {
        if (owners.at(i) == uid)
            mine << pids.at(i);
    }
    return mine;
}

bool IsAnotherInstance(const QStringList& pids, const QStringList& exeLinks, const QString& appDir)
{
    int sameDir = 0;
    for (const QString& link : exeLinks) {
        if (link.contains(appDir, Qt::CaseSensitive)) {
            ++sameDir;
        }
    }
    return pids.size() >= 2 || sameDir > 1;
}

bool IsAnotherInstanceRunning(const QString& appDir, const CommandRunner& run, const OwnerLookup& ownerOf,
                              long long uid)
{
    const QStringList all = ParsePidList(run(QStringLiteral("pidof scanvy")));
    QList<long long> owners;
    for (const QString& pid : all) {
        owners << ownerOf(pid);
    }
    const QStringList pids = PidsOfUser(all, owners, uid);
    QStringList links;
    for (const QString& pid : pids) {
        links << run(ExeLinkCommand(pid));
    }
    return IsAnotherInstance(pids, links, appDir);
}

QString InstanceLockPath(const QString& homePath)
{
    return homePath + QStringLiteral("/.config/com.quvex.zyl.scanvy/scanvy.lock");
}

InstanceLock::InstanceLock(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_state = Held;
        // The holder's id, for whoever looks at the file; the lock itself is
        // the kernel's.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        const bool noted =
            ::ftruncate(m_fd, 0) == 0 && ::write(m_fd, pid.constData(), size_t(pid.size())) == pid.size();
        Q_UNUSED(noted)
        return;
    }
    m_state = errno == EWOULDBLOCK ? HeldByOther : Unavailable;
    ::close(m_fd);
    m_fd = -1;
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool IsSecondInstance(InstanceLock::State lock, const std::function<bool()>& processCheck)
{
    switch (lock) {
    case InstanceLock::Held:
        return false;
    case InstanceLock::HeldByOther:
        return true;
    case InstanceLock::Unavailable:
        break;
    }
    return processCheck();
}

} // namespace StartupGuard
