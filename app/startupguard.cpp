#include "startupguard.h"

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

bool IsAnotherInstanceRunning(const QString& appDir, const CommandRunner& run)
{
    const QStringList pids = ParsePidList(run(QStringLiteral("pidof scanvy")));
    QStringList links;
    for (const QString& pid : pids) {
        links << run(ExeLinkCommand(pid));
    }
    return IsAnotherInstance(pids, links, appDir);
}

} // namespace StartupGuard
