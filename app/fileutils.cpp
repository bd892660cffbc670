#include "fileutils.h"

#include "savetransaction.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenFolder(int at, const QByteArray& name)
{
    return ::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the entries that are no folders from the folder open as `fd`
// (which this closes), with unlinkat, relative to that very folder; with
// `recurse` the sub-folders too (except one named `skip`), each opened
// without following a link.
void ClearAt(int fd, bool recurse, const QByteArray& skip)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    QList<QByteArray> files;
    QList<QByteArray> folders;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        struct stat st {};
        if (name == "." || name == ".." || ::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            files << name;
        } else if (recurse && name != skip) {
            folders << name;
        }
    }
    for (const QByteArray& name : qAsConst(files)) {
        ::unlinkat(fd, name.constData(), 0);
    }
    for (const QByteArray& name : qAsConst(folders)) {
        const int sub = OpenFolder(fd, name);
        if (sub >= 0) {
            ClearAt(sub, true, QByteArray());
        }
    }
    ::closedir(dir);
}

void Clear(const QString& path, bool recurse, const QByteArray& skip)
{
    if (path.isEmpty()) {
        return;
    }
    const int fd = OpenFolder(AT_FDCWD, QFile::encodeName(path));
    if (fd >= 0) {
        ClearAt(fd, recurse, skip);
    }
}

} // namespace

void ClearDirectory(QString const& path)
{
    // The records of saves cut short stay until their saves are settled.
    Clear(path, true, QFile::encodeName(QFileInfo(SaveTransaction::RecordFolder(path)).fileName()));
}

void RemoveFiles(QString const& dir)
{
    Clear(dir, false, QByteArray());
}
