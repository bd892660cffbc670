#pragma once

#include <QString>

#include <functional>

// Brings the session that another folder holds into the work folder, so that
// the usual recovery question offers its pages: the folder an earlier version
// kept under the system temporary folder, or the private folder of a copy
// that did not end normally.
namespace SessionMove {

enum class Result {
    Moved,   // the session now lies in `to`; `from` is gone
    Removed, // `from` held no session and is gone
    Left,    // nothing changed
};

// `from` and its parent must be real folders of ours, its session lock free
// (no running copy works there), its journal and page files plain files of
// ours, and `to` must hold no journal; otherwise nothing is touched. The page
// files and then the journal are given a name in `to` (a second link on one
// file system, a synced copy across file systems); only when all are there is
// `from` removed. A failure on the way removes what was placed in `to` and
// leaves `from` as it was. `settle` is called with `from` once it is held,
// before anything else: what `from` holds afterwards is what moves.
Result Adopt(const QString& from, const QString& to,
             const std::function<void(const QString&)>& settle = nullptr);

// Removes a folder of ours with what it holds; links inside are removed,
// never followed. False when something stays.
bool RemoveFolder(const QString& path);

} // namespace SessionMove
