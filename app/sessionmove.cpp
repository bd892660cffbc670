#include "sessionmove.h"

#include "applog.h"
#include "fileutils.h"
#include "sessionjournal.h"
#include "sessionlock.h"
#include "temppath.h"
#include "workdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

bool Exists(const QString& path)
{
    struct stat st {};
    return lstat(Native(path).constData(), &st) == 0;
}

bool IsPlainFileOfOurs(const QString& path)
{
    struct stat st {};
    return lstat(Native(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

bool SyncFolder(const QString& path)
{
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool WriteAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// A synced copy of src under a hidden name beside dst, renamed to dst.
bool CopySynced(const QString& src, const QString& dst)
{
    const QString part =
        QFileInfo(dst).path() + QStringLiteral("/.") + QFileInfo(dst).fileName() + QStringLiteral(".moving");
    ::unlink(Native(part).constData());
    const int in = ::open(Native(src).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    const int out =
        ::open(Native(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ok = false;
        }
        if (n <= 0 || !WriteAll(out, buffer, n)) {
            ok = ok && n == 0;
            break;
        }
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    ok = ok && ::rename(Native(part).constData(), Native(dst).constData()) == 0;
    if (!ok) {
        ::unlink(Native(part).constData());
    }
    return ok;
}

// Gives the file src the name dst as well: a second link when both lie on
// one file system, else a synced copy. src itself is never changed.
bool Place(const QString& src, const QString& dst)
{
    if (::unlink(Native(dst).constData()) != 0 && errno != ENOENT) {
        return false;
    }
    if (::link(Native(src).constData(), Native(dst).constData()) == 0) {
        return true;
    }
    return CopySynced(src, dst);
}

// Pages of a session wait in the folder of journal: its journal lists pages or
// cannot be read, or there is none while page files are there. A journal that
// says on purpose that there are no pages holds no session.
bool HoldsSession(const SessionJournal& journal)
{
    if (Exists(journal.FilePath())) {
        SessionJournal::State state;
        return !journal.Load(&state) || !state.pages.isEmpty();
    }
    return !QDir(journal.ScanDir()).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

} // namespace

bool SessionMove::RemoveFolder(const QString& path)
{
    if (!WorkDir::IsOwnedFolder(path)) {
        return false;
    }
    ClearDirectory(path);
    QStringList dirs;
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        dirs.prepend(it.next());
    }
    for (const QString& dir : qAsConst(dirs)) {
        ::rmdir(Native(dir).constData());
    }
    return ::rmdir(Native(path).constData()) == 0;
}

SessionMove::Result SessionMove::Adopt(const QString& from, const QString& to,
                                       const std::function<void(const QString&)>& settle)
{
    const QString source = QDir::cleanPath(from);
    const QString target = QDir::cleanPath(to);
    if (source == target || !WorkDir::IsOwnedFolder(source) ||
        !WorkDir::IsOwnedFolder(QFileInfo(source).path()) || !WorkDir::IsOwnedFolder(target)) {
        return Result::Left;
    }
    SessionLock lock;
    if (!lock.TryLock(SessionLock::PathFor(source))) {
        return Result::Left; // a running copy works there
    }
    if (settle) {
        settle(source);
    }
    const SessionJournal old(source);
    if (!HoldsSession(old)) {
        // No session: nothing in it is a page.
        RemoveFolder(source);
        ::unlink(Native(lock.Path()).constData());
        return Result::Removed;
    }
    // A journal lost with page files left (a power cut can do that) still
    // moves: the pages are then offered in name order.
    const bool hasJournal = Exists(old.FilePath());
    const SessionJournal now(target);
    if ((hasJournal && !IsPlainFileOfOurs(old.FilePath())) || HoldsSession(now)) {
        return Result::Left;
    }
    QStringList names;
    if (Exists(old.ScanDir())) {
        if (!WorkDir::IsOwnedFolder(old.ScanDir())) {
            return Result::Left;
        }
        names = QDir(old.ScanDir())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : qAsConst(names)) {
            if (!IsPlainFileOfOurs(old.ScanDir() + QLatin1Char('/') + name)) {
                return Result::Left;
            }
        }
    }
    if (!WorkDir::PrepareOwnedPath(target, QLatin1String(kScanFolderName))) {
        return Result::Left;
    }
    // The target holds no session: whatever its page folder has is no page.
    ClearDirectory(now.ScanDir());

    QStringList placed;
    bool ok = true;
    for (const QString& name : qAsConst(names)) {
        const QString dst = now.ScanDir() + QLatin1Char('/') + name;
        if (!Place(old.ScanDir() + QLatin1Char('/') + name, dst)) {
            ok = false;
            break;
        }
        placed << dst;
    }
    ok = ok && SyncFolder(now.ScanDir());
    // The journal last: once it is there the session is whole in `to`.
    if (hasJournal) {
        ok = ok && Place(old.FilePath(), now.FilePath());
        if (ok) {
            placed << now.FilePath();
        }
    } else if (ok) {
        // The target's own journal (without pages) would hide the pages.
        ok = ::unlink(Native(now.FilePath()).constData()) == 0 || errno == ENOENT;
    }
    ok = ok && SyncFolder(target);
    if (!ok) {
        qCWarning(lcApp) << "session not moved:" << source << "to" << target;
        for (const QString& path : qAsConst(placed)) {
            QFile::remove(path);
        }
        return Result::Left;
    }
    // The journal goes first, so that a stop half-way leaves no session to
    // offer twice; then the rest of the folder and its lock.
    ::unlink(Native(old.FilePath()).constData());
    SyncFolder(source);
    RemoveFolder(source);
    ::unlink(Native(lock.Path()).constData());
    qCInfo(lcApp) << "session moved from" << source << "to" << target;
    return Result::Moved;
}
