#include "hiddenfile.h"

#include <QAtomicInteger>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

QAtomicInteger<quint32> g_counter;

// Names tried before giving up while other files keep taking them.
constexpr int kCreateAttempts = 100;

} // namespace

QString HiddenSiblingPath(const QString& target, const char* kind, quint32 n)
{
    const QFileInfo info(target);
    QString name = info.absolutePath() + "/." + info.completeBaseName() + "." + QLatin1String(kind) + "-" +
                   QString::number(getpid()) + "-" + QString::number(n);
    if (!info.suffix().isEmpty())
        name += "." + info.suffix();
    return name;
}

quint32 NextHiddenNumber()
{
    return g_counter.fetchAndAddRelaxed(1);
}

QString CreateHiddenSibling(const QString& target, const char* kind)
{
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const QString candidate = HiddenSiblingPath(target, kind, NextHiddenNumber());
        const QByteArray path = QFile::encodeName(candidate);
        // O_EXCL reserves the name; mode 0666 lets the user's umask decide
        // the permissions exactly as for any new file.
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}
