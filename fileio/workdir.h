#pragma once

#include <QString>
#include <QStringList>

// Decides which private work folder the program may use and empty.
//
// The folder is emptied recursively, so it must be a real directory owned by
// the current user that nobody else can reach: every level below its root
// ("scanvy", then "work" below the user's cache folder) is created with mode
// 0700 when missing, and an existing level must be a directory (not a
// symbolic link) owned by the current user; a level of ours that others can
// reach is narrowed to 0700.
//
// The folder holds the pages of the running session, so it lives in the
// user's cache folder, which a reboot does not empty (the system temporary
// folder is emptied at boot on many systems).
namespace WorkDir {

// True when path, and each level of it below root, satisfies the rule above
// (creating what is missing). root itself is not checked.
bool PrepareOwnedPath(const QString& root, const QString& relative);

// True when path is, right now, a real directory (no link) of the current
// user. Nothing is created or changed.
bool IsOwnedFolder(const QString& path);

// Makes "<work>/<name>" a real folder of ours (mode 0700): whatever else
// lies there under that name (a link, a file) is removed first, the link
// itself and never what it points to. False when no such folder can be had.
// *replaced tells whether something was removed.
bool OwnSubFolder(const QString& work, const QString& name, bool* replaced = nullptr);

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else
// $HOME/.cache.
QString CacheRoot();

// The work folder: "<cache>/scanvy/work" when it passes the rule, else the
// per-user fallbacks of ChooseFor. The cache folder is created (0700) when
// missing. Empty only when no folder can be made.
QString Choose();

// Applies the rule to a folder given as "<root>/<name>/<leaf>" (how the main
// window is told its work folder): the folder itself when safe, otherwise
// "<root>/<name>-<uid>/<leaf>", else a private folder
// "<root>/scanvy-<uid>-XXXXXX/<leaf>": one made by an earlier start (see
// EarlierFolders) when there is one, else a fresh one.
QString ChooseFor(const QString& wanted);

// The private folders "<root>/scanvy-<uid>-XXXXXX/<leaf>" that earlier
// starts made beside work ("<root>/<name>/<leaf>"), in name order, work
// itself left out: only those whose private level is a real folder of ours
// with mode 0700, as such a start makes it.
QStringList EarlierFolders(const QString& work);

// A fresh folder "<work>-XXXXXX" (mode 0700) beside the work folder, for a
// copy of the program that finds the work folder taken. Empty when none can
// be made.
QString MakePrivateSibling(const QString& work);

// The folders of the private siblings of work made by MakePrivateSibling.
QStringList PrivateSiblings(const QString& work);

// Where earlier versions kept the work folder, below the system temporary
// folder tempRoot: "<tempRoot>/zir/scanvy" and "<tempRoot>/zir-<uid>/scanvy".
QStringList LegacyFolders(const QString& tempRoot);

} // namespace WorkDir
