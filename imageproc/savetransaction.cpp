#include "savetransaction.h"

#include "hiddenfile.h"
#include "outputlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// kill() also answers for the id of any thread and for a zombie, and in a
// fresh PID namespace the ids a killed copy left in its file names are soon
// threads of another process or children that nobody has reaped yet; only a
// thread-group leader that has not ended may own a save.
bool IsLiveProcessNotThread(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true; // cannot tell: keep its files
    bool leader = true;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("State:") && line.mid(6).trimmed().startsWith('Z'))
            return false;
        if (line.startsWith("Tgid:"))
            leader = line.mid(5).trimmed().toLongLong() == pid;
    }
    return leader;
}

// When this process started (near enough: when its static objects were made).
const struct timespec kStarted = [] {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool Before(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Whether the writer of a file named with `pid` and last changed at
// `changed` may still be at work. A file with this process's own id but
// older than this process was left by an earlier copy that had the same id
// (in a PID namespace, such as a sandbox, a program often gets the same id
// every time).
bool ProcessRuns(qint64 pid, const struct timespec& changed)
{
    if (pid == getpid())
        return !Before(changed, kStarted);
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    return IsLiveProcessNotThread(pid);
}

// Names tried for a kept old file before giving up.
constexpr int kKeepAttempts = 100;

// A second name for the file at `target`, a hidden file of kind "keep": a
// hard link, or on file systems without hard links the file itself renamed
// aside (`renamed` then true). False, with errno set, when neither works.
bool KeepAside(const QString& target, QString* backup, bool* renamed)
{
    const QByteArray to = Native(target);
    for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
        const QString candidate = HiddenSiblingPath(target, "keep", NextHiddenNumber());
        const QByteArray name = Native(candidate);
        if (::link(to.constData(), name.constData()) == 0) {
            *backup = candidate;
            return true;
        }
        struct stat taken {};
        if (errno == EEXIST || ::lstat(name.constData(), &taken) == 0)
            continue;
        if (std::rename(to.constData(), name.constData()) != 0)
            return false;
        *backup = candidate;
        *renamed = true;
        return true;
    }
    errno = EEXIST;
    return false;
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

SaveTransaction::~SaveTransaction()
{
    if (!m_committed)
        Rollback();
}

QString SaveTransaction::Stage(const QString& target)
{
    if (m_committed || m_failure.Failed())
        return QString();
    struct stat st {};
    if (::stat(Native(target).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        m_failure = SaveFailure::Target(target, EISDIR);
        return QString();
    }
    const QString staged = CreateHiddenSibling(target, "save");
    if (staged.isEmpty()) {
        m_failure = SaveFailure::Target(target, errno);
        return QString();
    }
    Entry entry;
    entry.target = target;
    entry.staged = staged;
    m_entries.append(entry);
    return staged;
}

// Puts one staged file at its target, keeping the old file's permissions and
// content aside. On failure nothing of this entry has changed and errno says
// why.
bool SaveTransaction::Install(Entry* e)
{
    const QByteArray to = Native(e->target);
    const QByteArray from = Native(e->staged);
    struct stat entry {};
    if (::lstat(to.constData(), &entry) == 0) {
        struct stat old {};
        const bool resolved = ::stat(to.constData(), &old) == 0;
        if (S_ISDIR(entry.st_mode) || (resolved && S_ISDIR(old.st_mode))) {
            errno = EISDIR;
            return false;
        }
        if (resolved && S_ISREG(old.st_mode) && ::chmod(from.constData(), old.st_mode & 0777) != 0)
            return false;
        if (!KeepAside(e->target, &e->backup, &e->backupIsOld))
            return false;
    }
    if (std::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        if (e->backupIsOld)
            std::rename(Native(e->backup).constData(), to.constData());
        else if (!e->backup.isEmpty())
            ::unlink(Native(e->backup).constData());
        e->backup.clear();
        e->backupIsOld = false;
        errno = error;
        return false;
    }
    e->committed = true;
    return true;
}

bool SaveTransaction::Commit()
{
    if (m_committed || m_failure.Failed())
        return false;
    for (Entry& e : m_entries) {
        if (!Install(&e)) {
            m_failure = SaveFailure::Target(e.target, errno);
            Rollback();
            return false;
        }
    }
    m_committed = true;
    QSet<QString> folders;
    for (const Entry& e : qAsConst(m_entries)) {
        if (!e.backup.isEmpty())
            ::unlink(Native(e.backup).constData());
        folders.insert(QFileInfo(e.target).absolutePath());
    }
    for (const QString& folder : qAsConst(folders))
        SyncFolder(folder);
    return true;
}

void SaveTransaction::Rollback()
{
    for (int i = m_entries.size() - 1; i >= 0; --i) {
        Entry& e = m_entries[i];
        if (e.committed) {
            const QByteArray to = Native(e.target);
            const bool restored = e.backup.isEmpty()
                                      ? ::unlink(to.constData()) == 0
                                      : std::rename(Native(e.backup).constData(), to.constData()) == 0;
            if (!restored)
                qCWarning(lcOutput) << "Failed to put back" << e.target << "from" << e.backup;
            e.committed = false;
        } else {
            ::unlink(Native(e.staged).constData());
        }
        e.backup.clear();
    }
    m_entries.clear();
}

int SaveTransaction::RemoveLeftovers(const QString& folder)
{
    static const QRegularExpression pattern(
        "^\\.(.+)\\.(part|save|keep)-([0-9]{1,9})-([0-9]{1,10})\\.(tiff|pnm|jpg|png|pdf|ofd)$");
    if (folder.isEmpty())
        return 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    int handled = 0;
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const QString path = folder + "/" + name;
        const QByteArray file = Native(path);
        struct stat st {};
        if (::lstat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
            continue;
        const qint64 pid = m.captured(3).toLongLong();
        if (pid <= 0 || ProcessRuns(pid, st.st_mtim))
            continue;
        if (m.captured(2) == QLatin1String("keep")) {
            // The save died between moving the old file aside and putting the
            // new one in its place: the old file goes back.
            const QByteArray target = Native(folder + "/" + m.captured(1) + "." + m.captured(5));
            struct stat there {};
            if (::lstat(target.constData(), &there) != 0 && errno == ENOENT) {
                if (std::rename(file.constData(), target.constData()) == 0)
                    ++handled;
                continue;
            }
        }
        if (::unlink(file.constData()) == 0)
            ++handled;
    }
    return handled;
}
