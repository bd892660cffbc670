#include "pagestamp.h"

#include <QFile>

#include <sys/stat.h>

namespace {

PageStamp FromStat(const struct stat& st)
{
    PageStamp stamp;
    if (!S_ISREG(st.st_mode)) {
        return stamp;
    }
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
    return stamp;
}

} // namespace

PageStamp PageStamp::Of(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return PageStamp();
    }
    return FromStat(st);
}

PageStamp PageStamp::OfDescriptor(int fd)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return PageStamp();
    }
    return FromStat(st);
}
