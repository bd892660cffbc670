#include "ownfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace OwnFile {

int Open(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (st.st_uid != ::geteuid()) {
        error = EPERM;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool OpenFile(const QString& path, QFile* file)
{
    const int fd = Open(path);
    if (fd < 0) {
        return false;
    }
    file->setFileName(path);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool Read(const QString& path, qint64 maxBytes, QByteArray* data)
{
    data->clear();
    maxBytes = std::min<qint64>(maxBytes, std::numeric_limits<int>::max() - 1);
    const int fd = Open(path);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    int error = ::fstat(fd, &st) != 0 ? errno : st.st_size > maxBytes ? EFBIG : 0;
    if (error == 0) {
        // One byte more than allowed tells a file that grew meanwhile.
        data->resize(int(st.st_size) + 1);
        qint64 total = 0;
        while (total < data->size()) {
            const ssize_t n = ::read(fd, data->data() + total, size_t(data->size() - total));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                error = n < 0 ? errno : 0;
                break;
            }
            total += n;
        }
        if (error == 0 && total > maxBytes) {
            error = EFBIG;
        }
        data->truncate(int(total));
    }
    ::close(fd);
    if (error != 0) {
        data->clear();
        errno = error;
        return false;
    }
    return true;
}

int SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int result = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
    ::close(fd);
    return result;
}

} // namespace OwnFile
