#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The decisions main takes before any window exists. Each one is a function
// of the outputs of the shell commands involved (and of the user id and
// environment), so that they can be checked without running the commands.
namespace StartupGuard {

// Runs one shell command line and returns its trimmed standard output.
using CommandRunner = std::function<QString(const QString&)>;

// "ps -p <ppid> -o comm=": the command name of the parent process.
QString ParentNameCommand(long long parentPid);

// True when the parent's command name (as printed by ps, trimmed here) is one
// of the scanner-button managers, compared exactly and case-sensitively.
bool IsManagerName(const QString& psOutput);

// True when the parent check should fork: a real parent id and a manager name.
bool ShouldDetach(long long parentPid, const QString& psOutput);

// Running as root through sudo is refused; root alone or SUDO_UID alone is not.
bool IsSudoRefused(unsigned int effectiveUid, bool sudoUidSet);

// Process ids printed by "pidof", split at single blanks, empty parts dropped.
QStringList ParsePidList(const QString& pidofOutput);

// The command that prints the executable link of one process.
QString ExeLinkCommand(const QString& pid);

// Owner (user id) of a running process, from /proc/<pid>; -1 when the
// process is gone or cannot be seen.
using OwnerLookup = std::function<long long(const QString& pid)>;
long long ProcessOwner(const QString& pid);

// The ids among pids whose owner is uid (owners[i] belongs to pids[i]).
// Processes of other accounts never count as an instance of this user's
// program.
QStringList PidsOfUser(const QStringList& pids, const QList<long long>& owners, long long uid);

// Decision of the process check: exeLinks[i] is the output of
// ExeLinkCommand(pids[i]), the pids being this user's processes of the
// program's name. A second id refuses the start, and so does a second id
// whose executable lies in appDir.
bool IsAnotherInstance(const QStringList& pids, const QStringList& exeLinks, const QString& appDir);

// Runs "pidof scanvy", keeps the processes that uid owns, runs their link
// commands through run and decides.
bool IsAnotherInstanceRunning(const QString& appDir, const CommandRunner& run, const OwnerLookup& ownerOf,
                              long long uid);

// The lock file that one instance per user holds for its whole life: in the
// user's settings folder, which nothing empties.
QString InstanceLockPath(const QString& homePath);

// An exclusive lock on a file (flock), held until the object is destroyed or
// the process ends, however it ends, so that no stale lock outlives its
// holder. Two processes that try at the same moment cannot both get it.
class InstanceLock {
public:
    enum State {
        Held,        // this object holds the lock
        HeldByOther, // another process (or another InstanceLock) holds it
        Unavailable  // the file cannot be made or locked
    };

    // Creates the folder of path when missing and tries the lock once.
    explicit InstanceLock(const QString& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State GetState() const { return m_state; }

private:
    int m_fd = -1;
    State m_state = Unavailable;
};

// The single-instance guard: the lock decides whenever it can be used; only
// without it does the process check of this user's processes decide.
bool IsSecondInstance(InstanceLock::State lock, const std::function<bool()>& processCheck);

} // namespace StartupGuard
