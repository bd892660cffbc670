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

// Decision of the single-instance guard: exeLinks[i] is the output of
// ExeLinkCommand(pids[i]). A second id of the program's name refuses the
// start, and so does a second id whose executable lies in appDir.
bool IsAnotherInstance(const QStringList& pids, const QStringList& exeLinks, const QString& appDir);

// Runs "pidof scanvy" and the link commands through run and decides.
bool IsAnotherInstanceRunning(const QString& appDir, const CommandRunner& run);

} // namespace StartupGuard
