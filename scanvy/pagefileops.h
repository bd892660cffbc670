#pragma once

#include <QByteArray>

#include <cstdio>
#include <functional>

#include <sane/sane.h>

struct ScanJob;

// The page file of one page while it is written: its number, its final name
// and its ".part" name (local 8-bit encoding), and the open ".part" file.
struct PageSlot {
    int number = 0;
    QByteArray final;
    QByteArray part;
    FILE* file = nullptr;
};

// How page files come into being in the scan folder. A page never takes the
// name of a file that exists: its ".part" file is created exclusively, and
// the complete page gets its final name by a rename that replaces nothing.
// A name that is taken makes the page move on to the next number.
namespace PageFileOps {

// The highest number of taken names one page moves past before it gives up.
constexpr int kMaxSkipped = 10000;

// Creates the ".part" file of the first number from job.fileCounter on
// whose final name and ".part" name are both free. SANE_STATUS_ACCESS_DENIED
// when no file can be created (reported on standard error when the path is
// too long).
SANE_Status CreatePart(const ScanJob& job, PageSlot& slot);

// Makes a complete page whole on disk but for its folder's entry (see
// SyncFolder): its data is flushed to disk (fdatasync), the file is closed
// and renamed to the name of the first number from max(slot.number, lowest)
// on whose final name is free and whose ".part" name is free or, by
// `claimed`, a later page's of this job (slot.number and slot.final follow).
// SANE_STATUS_ACCESS_DENIED when any step fails; the file is closed in every
// case.
SANE_Status Settle(const ScanJob& job, PageSlot& slot, int lowest, const std::function<bool(int)>& claimed);

// rename() that fails with EEXIST instead of replacing `to`: renameat2 with
// RENAME_NOREPLACE, or link and unlink where the file system lacks it.
bool RenameNoReplace(const char* from, const char* to);

// fsync of the folder that holds the page files (opened once per job). A
// file system that cannot flush a folder is not an error.
bool SyncFolder(ScanJob& job);

} // namespace PageFileOps
