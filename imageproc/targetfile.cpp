#include "targetfile.h"

#include "savefailure.h"

#include <QAtomicInteger>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QAtomicInteger<quint32> g_counter;
}

TargetFile::TargetFile(const QString& target) : m_target(target)
{
    if (target.isEmpty())
        return;
    const QFileInfo info(target);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    const QString stem =
        info.absolutePath() + "/." + info.completeBaseName() + ".part-" + QString::number(getpid()) + "-";
    // O_EXCL reserves the name; mode 0666 lets the user's umask decide the
    // final permissions exactly as for a newly created file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = stem + QString::number(g_counter.fetchAndAddRelaxed(1)) + suffix;
        const QByteArray path = QFile::encodeName(candidate);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_tempPath = candidate;
            return;
        }
        if (errno != EEXIST) {
            NoteWriteError(errno);
            return;
        }
    }
}

TargetFile::~TargetFile()
{
    if (!m_committed && !m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
}

bool TargetFile::commit()
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
    const int error = errno;
    ::close(fd);
    if (!ok) {
        NoteWriteError(error);
        return false;
    }
    if (std::rename(from.constData(), to.constData()) != 0) {
        NoteWriteError(errno);
        return false;
    }
    m_committed = true;
    return true;
}
