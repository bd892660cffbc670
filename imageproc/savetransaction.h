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
//
// Given a record folder (in the private work folder), the transaction keeps a
// SaveRecord there of every file it makes, so that a save cut short by the
// end of the process is finished or undone by Recover(), and so that nothing
// but recorded files is ever removed as a leftover. That includes the file a
// writer (through TargetFile) renames over a staged file: it is recorded
// just before the rename.
class SaveTransaction {
public:
    SaveTransaction() = default;
    explicit SaveTransaction(const QString& recordFolder) : m_recordFolder(recordFolder) {}
    ~SaveTransaction();
    SaveTransaction(const SaveTransaction&) = delete;
    SaveTransaction& operator=(const SaveTransaction&) = delete;

    // The staged file for `target`; empty when none can be made (a folder
    // has the target's name, the folder is missing or not writable), and
    // Failure() tells why.
    QString Stage(const QString& target);
    bool Commit();
    const SaveFailure& Failure() const { return m_failure; }

    // The record folder inside the work folder `workDir`; it survives the
    // emptying of the work folder.
    static QString RecordFolder(const QString& workDir);
    static constexpr char kRecordFolderName[] = "saves";

    // Settles the saves recorded in `recordFolder` by processes that no
    // longer run, those with a target in `folder` only when it is given:
    //  - cut short before its commit began: its staged files (and their
    //    writers' temporaries) are removed; every target is as before.
    //  - cut short while committing: finished when every target is either in
    //    place or has its complete staged file, else rolled back to the old
    //    files. Both keep every old file that is not replaced by its new one,
    //    and never remove a file that is not the recorded one.
    // A record whose folder is not there (a drive not mounted) waits. Files
    // that are not in a record, whatever their names, are never touched.
    // Returns the number of records settled.
    static int Recover(const QString& recordFolder, const QString& folder = QString());

    // Called after each step of Commit() (a test stops the process there):
    // `installed` false once the old content of target `index` is kept
    // aside, true once the new file is in place.
    using StepHook = void (*)(int index, bool installed);
    static void SetStepHook(StepHook hook);

private:
    struct Entry {
        QString target;
        QString staged;
        QString backup; // old content of the target while committing
        quint64 stagedInode = 0;
        quint64 oldInode = 0;     // 0: no old file
        bool backupIsOld = false; // the backup is the old file itself (renamed), not a link
        bool committed = false;
    };

    bool Prepare(Entry* entry);
    bool Install(int index);
    bool KeepOld(int index);
    bool WriteCommitRecord();
    void Rollback();
    void RemoveRecord();
    void StopWatching();

    QString m_recordFolder;
    QString m_recordPath;
    QVector<Entry> m_entries;
    SaveFailure m_failure;
    bool m_committed = false;
};
