#pragma once

#include <QString>

// Why a save failed: which page or which target, and the reason. The savers
// fill it; the main window turns it into words.
struct SaveFailure {
    enum Reason {
        None,
        PageMissing,    // the page file is gone (or is no regular file)
        PageDamaged,    // the page file cannot be decoded, or a JPEG page is incomplete
        TargetIsFolder, // a folder has the target's name
        FolderMissing,  // the save folder does not exist or is no folder
        NoPermission,   // the save folder or the target may not be written
        DiskFull,       // no space left on the device (or the quota is used up)
        FileTooLarge,   // the file would pass the system's file-size limit
        TempFailed,     // the program's temporary folder cannot be written
        WriteFailed     // anything else while writing the target
    };

    Reason reason = None;
    int page = -1; // index of the failed page in the saver's list; -1 for the target
    QString path;  // the page file, the target or the folder concerned
    int error = 0; // errno where known

    bool Failed() const { return reason != None; }
    bool IsPage() const { return reason == PageMissing || reason == PageDamaged; }

    static SaveFailure Page(Reason reason, int page, const QString& path);
    // The most precise reason why writing `target` failed: a folder in the
    // way, a missing save folder, missing permission, else what `error`
    // (errno of the failed call, 0 when unknown) says.
    static SaveFailure Target(const QString& target, int error);
};

// Remembers, for the current thread, the errno of the last failed write of a
// saver (writers that hand errors through libraries lose it otherwise).
void NoteWriteError(int error);
// The noted errno, and forgets it; 0 when none.
int TakeWriteError();
