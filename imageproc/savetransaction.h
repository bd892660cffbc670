#pragma once

#include "savefailure.h"

#include <QByteArray>
#include <QPair>
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
// but recorded files is ever removed as a leftover. That includes the files
// a writer (through TargetFile) makes for a staged file: each is recorded
// when it is made, and again just before it is renamed over the staged file.
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

    // A note of the caller's, kept in the record of the commit: given before
    // Commit(), it makes a successful commit keep its record (marked
    // finished) until Forget(RecordPath()), so that whoever ends the process
    // before the caller has acted on the save, Recover() hands the note back.
    void SetNote(const QByteArray& note) { m_note = note; }
    // The record kept after a commit with a note; empty otherwise.
    QString RecordPath() const { return m_committed ? m_recordPath : QString(); }
    static void Forget(const QString& record);

    // The record folder inside the work folder `workDir`; it survives the
    // emptying of the work folder.
    static QString RecordFolder(const QString& workDir);
    static constexpr char kRecordFolderName[] = "saves";

    // What Recover() did with a record that concerns its caller.
    struct Recovered {
        // The record, kept (marked finished) while `note` is set; see Forget().
        QString record;
        // The note of a commit that finished, or was finished now: every
        // target holds its new file.
        QByteArray note;
        // Targets that had become someone else's file (not the old one the
        // save was to replace): each kept, its new file left under the
        // staged name (second).
        QVector<QPair<QString, QString>> unfinished;
    };

    // Settles the saves recorded in `recordFolder` by processes that no
    // longer run, those with a target in `folder` only when it is given:
    //  - cut short before its commit began: its staged files (and their
    //    writers' files) are removed; every target is as before.
    //  - cut short while committing: finished when every target is either in
    //    place or has its complete staged file, else rolled back to the old
    //    files. A new file goes only over the recorded old file or where
    //    nothing is; any other file at a target stays (see Recovered).
    //    A kept old file goes once its name holds a file again, and goes
    //    back to its name when nothing is there.
    // A record whose folder is not there (a drive not mounted) waits. Files
    // that are not in a record, whatever their names, are never touched.
    // With `recovered`, each record settled with a note or unfinished targets
    // is added there, and one with a note stays until Forget(). Returns the
    // number of records settled.
    static int Recover(const QString& recordFolder, const QString& folder = QString(),
                       QVector<Recovered>* recovered = nullptr);

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
        qint64 oldTime = 0;       // the old file's modification time (ns)
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
    QByteArray m_note;
    SaveFailure m_failure;
    bool m_committed = false;
};
