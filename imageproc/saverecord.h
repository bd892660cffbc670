#pragma once

#include <QString>
#include <QVector>

// What one SaveTransaction has made, kept in the private work folder so that
// a save cut short (the process killed, the power lost) can be finished or
// undone later, and so that only files named here are ever removed as
// leftovers. Text lines, paths as base64 of their file-system bytes:
//
//   scanvy-save 1
//   staged <staged inode> <target> <staged>            (appended: one per staged file, and one
//                                                        more each time a writer is about to
//                                                        rename its new file over it)
//   commit                                             (the commit record, written whole)
//   entry <staged inode> <old inode or 0> <target> <staged> <backup or ->
//   end
//
// Inodes tell our files from others of the same name: a staged file is ours
// while it has the inode recorded last for it (before the commit a staged
// file may be named more than once; see SaveTransaction::Recover), it has been put in place when the target
// has it, and a backup is the target's old content when it has the old
// file's inode.
struct SaveRecord {
    struct Entry {
        QString target;
        QString staged;
        QString backup; // the old content while committing; empty when there was no old file
        quint64 stagedInode = 0;
        quint64 oldInode = 0; // 0: the target did not exist
    };

    bool committing = false; // a complete commit record
    QVector<Entry> entries;

    // Adds a staged file to the record at `path` with one write (the file is
    // made when missing). Not flushed: an empty staged file is all a power
    // loss could leave unrecorded.
    static bool AppendStaged(const QString& path, const Entry& entry);
    // The same, flushed to the disk before it returns: `entry` names the
    // inode of a complete file that is about to replace the staged one.
    static bool AppendWritten(const QString& path, const Entry& entry);
    // Replaces the record at `path` by the commit record of `entries`:
    // written beside it, flushed, renamed over it, the folder flushed.
    static bool WriteCommit(const QString& path, const QVector<Entry>& entries);
    // False when `path` cannot be read or is not a record. A staged line cut
    // short at the end is ignored.
    static bool Read(const QString& path, SaveRecord* record);
};
