#pragma once

#include <QString>

// Decides which temporary work folder the program may use and empty.
//
// The folder is emptied recursively, so it must be a real directory owned by
// the current user that nobody else can reach: every level from the folder
// below the system temporary folder down ("zir", then "scanvy") is created
// with mode 0700 when missing, and an existing level must be a directory (not
// a symbolic link) owned by the current user; a level of ours that others can
// reach is narrowed to 0700.
namespace WorkDir {

// True when path, and each level of it below root, satisfies the rule above
// (creating what is missing). root itself is not checked.
bool PrepareOwnedPath(const QString& root, const QString& relative);

// The folder to use for tempRoot (normally the system temporary folder):
// "<tempRoot>/zir/scanvy" when it passes the rule, else
// "<tempRoot>/zir-<uid>/scanvy", else a fresh private folder
// "<tempRoot>/scanvy-<uid>-XXXXXX". Empty only when none can be made.
QString Choose(const QString& tempRoot);

// Applies the rule to a folder given as "<root>/<name>/<leaf>" (how the main
// window is told its work folder): the folder itself when safe, otherwise the
// per-user fallbacks of Choose under the same root, keeping the leaf name.
QString ChooseFor(const QString& wanted);

} // namespace WorkDir
