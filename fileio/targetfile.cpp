#include "targetfile.h"

#include "hiddenfile.h"
#include "savefailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// fsync of a folder; a file system that cannot flush folders is no error.
bool SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

// The watched targets, by their clean absolute paths.
QMutex g_watchLock;
QHash<QString, TargetFile::Watcher>& Watchers()
{
    static QHash<QString, TargetFile::Watcher> watchers;
    return watchers;
}

QString WatchKey(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

TargetFile::Watcher WatcherOf(const QString& target)
{
    const QMutexLocker lock(&g_watchLock);
    return Watchers().value(WatchKey(target));
}

} // namespace

void TargetFile::Watch(const QString& target, Watcher note)
{
    const QMutexLocker lock(&g_watchLock);
    Watchers().insert(WatchKey(target), std::move(note));
}

void TargetFile::Unwatch(const QString& target)
{
    const QMutexLocker lock(&g_watchLock);
    Watchers().remove(WatchKey(target));
}

TargetFile::TargetFile(const QString& target) : m_target(target)
{
    if (target.isEmpty())
        return;
    m_tempPath = CreateHiddenSibling(target, "part");
    if (m_tempPath.isEmpty()) {
        if (errno != EEXIST)
            NoteWriteError(errno);
        return;
    }
    const Watcher note = WatcherOf(target);
    if (!note)
        return;
    struct stat made {};
    errno = 0;
    if (::lstat(QFile::encodeName(m_tempPath).constData(), &made) != 0 ||
        !note(Step::Created, m_tempPath, quint64(made.st_ino))) {
        NoteWriteError(errno != 0 ? errno : EIO);
        QFile::remove(m_tempPath);
        m_tempPath.clear();
    }
}

TargetFile::~TargetFile()
{
    if (!m_committed && !m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
}

bool TargetFile::Commit()
{
    if (m_tempPath.isEmpty() || m_committed)
        return false;
    const QByteArray from = QFile::encodeName(m_tempPath);
    const QByteArray to = QFile::encodeName(m_target);
    const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        NoteWriteError(errno);
        return false;
    }
    // A file saved over an existing one keeps that file's permissions.
    struct stat old {};
    bool ok = true;
    if (::stat(to.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ok = ::fchmod(fd, old.st_mode & 0777) == 0;
    ok = ok && ::fsync(fd) == 0;
    struct stat written {};
    ok = ok && ::fstat(fd, &written) == 0;
    int error = errno;
    ::close(fd);
    // Whoever must know what replaces the target learns it first.
    if (ok) {
        if (const Watcher note = WatcherOf(m_target)) {
            errno = 0;
            ok = note(Step::Complete, m_tempPath, quint64(written.st_ino));
            error = errno != 0 ? errno : EIO;
        }
    }
    if (!ok) {
        NoteWriteError(error);
        return false;
    }
    if (std::rename(from.constData(), to.constData()) != 0) {
        NoteWriteError(errno);
        return false;
    }
    m_committed = true;
    // The new name is on the disk too before the file counts as written.
    if (!SyncFolder(QFile::encodeName(QFileInfo(m_target).absolutePath()))) {
        NoteWriteError(errno);
        return false;
    }
    return true;
}
