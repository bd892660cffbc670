#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// What one SaveTransaction has made, kept in the private work folder so that
// a save cut short (the process killed, the power lost) can be finished or
// undone later, and so that only files named here are ever removed as
// leftovers. Text lines, paths and the note as base64 of their bytes:
//
//   scanvy-save 1
//   staged <staged inode> <target> <staged>            (appended: one per staged file, and one
//                                                        more each time a writer is about to
//                                                        rename its new file over it)
//   part <inode> <staged> <part>                       (appended: a writer's new file for a
//                                                        staged one, when it is made)
//   commit                                             (the commit record, written whole)
//   note <note>                                        (optional: the caller's note)
//   entry <staged inode> <old inode or 0> <old mtime in ns or 0> <target> <staged> <backup or ->
//   end
//   done                                               (appended: every target is in place)
//
// Inodes tell our files from others of the same name: a staged file is ours
// while it has the inode recorded last for it (before the commit a staged
// file may be named more than once; see SaveTransaction::Recover), it has been put in place when the target
// has it, and a backup is the target's old content when it has the old
// file's inode. An old file is the one the save was to replace while it has
// its recorded inode and modification time.
struct SaveRecord {
    struct Entry {
        QString target;
        QString staged;
        QString backup; // the old content while committing; empty when there was no old file
        quint64 stagedInode = 0;
        quint64 oldInode = 0; // 0: the target did not exist
        qint64 oldTime = 0;   // the old file's modification time in ns; 0: not known
    };
    // A file a writer made to fill a staged file.
    struct Part {
        QString staged;
        QString path;
        quint64 inode = 0;
    };

    bool committing = false; // a complete commit record
    bool done = false;       // every target of the commit has been put in place
    QVector<Entry> entries;
    QVector<Part> parts; // before the commit only
    QByteArray note;

    // Adds a staged file to the record at `path` with one write (the file is
    // made when missing). Not flushed: an empty staged file is all a power
    // loss could leave unrecorded.
    static bool AppendStaged(const QString& path, const Entry& entry);
    // The same, flushed to the disk before it returns: `entry` names the
    // inode of a complete file that is about to replace the staged one.
    static bool AppendWritten(const QString& path, const Entry& entry);
    // Adds a writer's new file, not flushed (a power loss may leave it behind,
    // unrecorded and so never removed).
    static bool AppendPart(const QString& path, const Part& part);
    // Replaces the record at `path` by the commit record of `entries`:
    // written beside it, flushed, renamed over it, the folder flushed.
    static bool WriteCommit(const QString& path, const QVector<Entry>& entries,
                            const QByteArray& note = QByteArray());
    // Marks the commit record at `path` finished, flushed.
    static bool MarkDone(const QString& path);
    // False when `path` cannot be read or is not a record. A staged or part
    // line cut short at the end is ignored.
    static bool Read(const QString& path, SaveRecord* record);
};
