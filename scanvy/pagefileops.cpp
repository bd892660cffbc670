#include "pagefileops.h"

#include "scanjob.h"
#include "scannerlog.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxPathBytes = 4095;

bool Exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// The names of page `number`; false when they do not fit in a path.
bool NamesFor(const ScanJob& job, int number, PageSlot& slot)
{
    slot.number = number;
    slot.final = QFile::encodeName(job.PagePath(number));
    slot.part = slot.final + ".part";
    return slot.part.size() <= kMaxPathBytes;
}

} // namespace

namespace PageFileOps {

SANE_Status CreatePart(const ScanJob& job, PageSlot& slot)
{
    for (int skipped = 0; skipped <= kMaxSkipped; ++skipped) {
        if (!NamesFor(job, job.fileCounter + skipped, slot)) {
            std::fprintf(stderr, "%s: page file name too long\n", kProgramName);
            return SANE_STATUS_ACCESS_DENIED;
        }
        if (Exists(slot.final))
            continue;
        const int fd = ::open(slot.part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return SANE_STATUS_ACCESS_DENIED;
        slot.file = ::fdopen(fd, "wb");
        if (slot.file != nullptr)
            return SANE_STATUS_GOOD;
        ::close(fd);
        ::unlink(slot.part.constData());
        return SANE_STATUS_ACCESS_DENIED;
    }
    std::fprintf(stderr, "%s: no free page file name after %s\n", kProgramName, slot.final.constData());
    return SANE_STATUS_ACCESS_DENIED;
}

SANE_Status Settle(const ScanJob& job, PageSlot& slot, int lowest, const std::function<bool(int)>& claimed)
{
    // The data is on disk before the page has a name that says it is whole.
    bool ok = std::fflush(slot.file) == 0 && ::fdatasync(::fileno(slot.file)) == 0;
    ok = std::fclose(slot.file) == 0 && ok;
    slot.file = nullptr;
    if (!ok)
        return SANE_STATUS_ACCESS_DENIED;

    // A file that took the page's name while the page was read keeps it;
    // the page moves on to the next number whose names are both free (a
    // ".part" of a later page of this job does not count: that page moves
    // on in its turn). Never below a number an earlier page took.
    PageSlot target = slot;
    int skipped = 0;
    const auto nextFree = [&] {
        do {
            if (!NamesFor(job, target.number + 1, target))
                return false;
        } while (Exists(target.part) && !claimed(target.number) && ++skipped <= kMaxSkipped);
        return skipped <= kMaxSkipped;
    };
    if (lowest > slot.number) {
        target.number = lowest - 1;
        if (!nextFree())
            return SANE_STATUS_ACCESS_DENIED;
    }
    for (; skipped <= kMaxSkipped; ++skipped) {
        if (RenameNoReplace(slot.part.constData(), target.final.constData())) {
            slot.number = target.number;
            slot.final = target.final;
            return SANE_STATUS_GOOD;
        }
        if (errno != EEXIST)
            return SANE_STATUS_ACCESS_DENIED;
        if (!nextFree())
            return SANE_STATUS_ACCESS_DENIED;
    }
    return SANE_STATUS_ACCESS_DENIED;
}

bool RenameNoReplace(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // No RENAME_NOREPLACE here: a hard link is just as exclusive.
    if (::link(from, to) != 0)
        return false;
    ::unlink(from);
    return true;
}

bool SyncFolder(ScanJob& job)
{
    if (job.folderFd < 0) {
        const QByteArray local = QFile::encodeName(job.basePath);
        const int slash = local.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : local.left(slash);
        job.folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (job.folderFd < 0)
            return false;
    }
    return ::fsync(job.folderFd) == 0 || errno == EINVAL || errno == EROFS;
}

} // namespace PageFileOps
