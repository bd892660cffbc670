#pragma once

#include "savefailure.h"

#include <QString>
#include <QVector>

// Saves a set of files all or nothing. Every target gets a hidden staged
// file beside it (".<base name>.save-<pid>-<n>.<suffix>", created empty with
// the permissions of the user's umask) for a writer to fill; Commit() then
// renames the staged files over their targets. A target that existed keeps
// its permissions, and a hard link to its old content (or, where the file
// system has none, the renamed old file: ".<base name>.keep-<pid>-<n>.<suffix>")
// is kept until every target is in place. If any step fails, every target is
// put back as it was before: old files with their old content and
// permissions, targets that did not exist removed again. Without a
// successful Commit() the destructor removes the staged files.
class SaveTransaction {
public:
    SaveTransaction() = default;
    ~SaveTransaction();
    SaveTransaction(const SaveTransaction&) = delete;
    SaveTransaction& operator=(const SaveTransaction&) = delete;

    // The staged file for `target`; empty when none can be made (a folder
    // has the target's name, the folder is missing or not writable), and
    // Failure() tells why.
    QString Stage(const QString& target);
    bool Commit();
    const SaveFailure& Failure() const { return m_failure; }

    // Cleans up after saves that were interrupted (killed, power lost) in
    // `folder`: removes the files named by the patterns of this class and of
    // TargetFile with one of the save formats' suffixes, that are regular
    // files of the current user left by a process that no longer runs. A kept
    // old file whose target is missing goes back to its target's name instead.
    // Nothing else is touched. Returns the number of files removed or put back.
    static int RemoveLeftovers(const QString& folder);

private:
    struct Entry {
        QString target;
        QString staged;
        QString backup;           // old content of the target while committing
        bool backupIsOld = false; // the backup is the old file itself (renamed), not a link
        bool committed = false;
    };

    bool Install(Entry* entry);
    void Rollback();

    QVector<Entry> m_entries;
    SaveFailure m_failure;
    bool m_committed = false;
};
