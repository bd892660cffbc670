#include "savefailure.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
thread_local int t_writeError = 0;
}

void NoteWriteError(int error)
{
    if (error != 0)
        t_writeError = error;
}

int TakeWriteError()
{
    const int error = t_writeError;
    t_writeError = 0;
    return error;
}

SaveFailure SaveFailure::Page(Reason reason, int page, const QString& path)
{
    SaveFailure f;
    f.reason = reason;
    f.page = page;
    f.path = path;
    return f;
}

SaveFailure SaveFailure::Target(const QString& target, int error)
{
    SaveFailure f;
    f.path = target;
    f.error = error;
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray nativeTarget = QFile::encodeName(target);
    const QByteArray nativeFolder = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(nativeTarget.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        f.reason = TargetIsFolder;
    } else if (::stat(nativeFolder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        f.reason = FolderMissing;
        f.path = folder;
    } else if (error == EACCES || error == EPERM || error == EROFS ||
               ::access(nativeFolder.constData(), W_OK | X_OK) != 0) {
        f.reason = NoPermission;
    } else if (error == ENOSPC || error == EDQUOT) {
        f.reason = DiskFull;
    } else if (error == EFBIG) {
        f.reason = FileTooLarge;
    } else if (error == EISDIR) {
        f.reason = TargetIsFolder;
    } else {
        f.reason = WriteFailed;
    }
    return f;
}
