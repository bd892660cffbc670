#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Files and folders as the save and session tests set them up and judge
// them.
namespace FileCheck {

// Permission bits of `path` itself (a link is not followed), -1 when absent.
int modeOf(const QString& path);

// Writes `content` as `path`, then sets its permission bits when mode >= 0.
bool writeFile(const QString& path, const QByteArray& content, int mode = -1);

// The permission bits a new file (0666) or folder (0777) gets under the
// process's umask.
int newMode(int requested = 0666);

// The id of a process that surely ran and has ended.
qint64 endedPid();

// Every entry of a folder, hidden ones included, by name: its mode and its
// content in hex, "<dir>" or where a link points.
QStringList snapshot(const QString& dir);

} // namespace FileCheck
