#include "savetransaction.h"

#include "hiddenfile.h"
#include "outputlog.h"
#include "saverecord.h"
#include "targetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
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

SaveTransaction::StepHook g_stepHook = nullptr;

// The inode of what is at `path` (not following a link); 0 when nothing is.
quint64 InodeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

qint64 TimeOf(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Whether `path` is still the old file an entry was to replace: the same
// inode, not written since (a file rewritten in place keeps its inode).
bool IsRecordedOld(const QString& path, quint64 oldInode, qint64 oldTime)
{
    struct stat st {};
    return oldInode != 0 && ::lstat(Native(path).constData(), &st) == 0 && quint64(st.st_ino) == oldInode &&
           (oldTime == 0 || TimeOf(st) == oldTime);
}

// Renames `from` to `to` unless something has the name `to`.
bool RenameToFreeName(const QString& from, const QString& to)
{
    const QByteArray source = Native(from);
    const QByteArray target = Native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse to replace: a second name first.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    if (errno == EEXIST)
        return false;
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(source.constData(), target.constData()) == 0;
}

// A name of kind "keep" beside `target` that nothing has now; empty, with
// errno EEXIST, when many in a row are taken.
QString FreeKeepName(const QString& target)
{
    for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
        const QString candidate = HiddenSiblingPath(target, "keep", NextHiddenNumber());
        struct stat taken {};
        if (::lstat(Native(candidate).constData(), &taken) != 0 && errno == ENOENT)
            return candidate;
    }
    errno = EEXIST;
    return QString();
}

// Removes the regular file at `path` only while it is the recorded one.
void RemoveIfInode(const QString& path, quint64 inode)
{
    struct stat st {};
    const QByteArray name = Native(path);
    if (inode != 0 && ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
        quint64(st.st_ino) == inode && st.st_uid == geteuid())
        ::unlink(name.constData());
}

// Removes the files the writers made for staged files, while they are the
// recorded ones.
void RemoveParts(const QVector<SaveRecord::Part>& parts)
{
    for (const SaveRecord::Part& part : parts)
        RemoveIfInode(part.path, part.inode);
}

// Removes the staged files of a save that ended before its commit. A staged
// file is recorded when it is made and again, with the new inode, whenever a
// writer is about to rename its complete file over it. It is ours when it
// has the inode recorded last; or the one before while the file recorded
// last is still the writer's file (the process ended between the two). An
// inode recorded earlier than that has been given up and may belong to
// someone else's file by now.
void RemoveStaged(const QVector<SaveRecord::Entry>& entries, const QVector<SaveRecord::Part>& parts)
{
    QStringList order;
    QHash<QString, QVector<quint64>> inodes;
    for (const SaveRecord::Entry& e : entries) {
        if (!inodes.contains(e.staged))
            order << e.staged;
        inodes[e.staged].append(e.stagedInode);
    }
    for (const QString& staged : qAsConst(order)) {
        const QVector<quint64>& recorded = inodes[staged];
        const quint64 now = InodeOf(staged);
        bool ours = now == recorded.last();
        if (!ours && recorded.size() > 1 && now == recorded.at(recorded.size() - 2)) {
            for (const SaveRecord::Part& part : parts)
                ours = ours || (part.staged == staged && InodeOf(part.path) == recorded.last());
        }
        if (ours)
            RemoveIfInode(staged, now);
    }
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void SyncFoldersOf(const QVector<SaveRecord::Entry>& entries)
{
    QSet<QString> folders;
    for (const SaveRecord::Entry& e : entries)
        folders.insert(QFileInfo(e.target).absolutePath());
    for (const QString& folder : qAsConst(folders))
        SyncFolder(folder);
}

// Undoes a commit: each target gets its old file back (or goes when there
// was none), unless the old content is no longer there; then the new file
// stays rather than nothing.
void RollBack(const QVector<SaveRecord::Entry>& entries)
{
    for (const SaveRecord::Entry& e : entries) {
        if (InodeOf(e.target) == e.stagedInode) {
            if (e.oldInode == 0)
                ::unlink(Native(e.target).constData());
            else if (InodeOf(e.backup) == e.oldInode)
                std::rename(Native(e.backup).constData(), Native(e.target).constData());
        } else {
            RemoveIfInode(e.staged, e.stagedInode);
        }
    }
}

// Finishes a commit: every staged file still beside its target is put in
// place, over the recorded old file or where nothing is; a target that has
// become another file keeps it, and its staged file stays (`unfinished`).
// False (some may be in place) when a staged file cannot be put in place.
bool RollForward(const QVector<SaveRecord::Entry>& entries, QVector<QPair<QString, QString>>* unfinished)
{
    for (const SaveRecord::Entry& e : entries) {
        if (InodeOf(e.target) == e.stagedInode || InodeOf(e.staged) != e.stagedInode)
            continue;
        bool placed = false;
        if (IsRecordedOld(e.target, e.oldInode, e.oldTime))
            placed = std::rename(Native(e.staged).constData(), Native(e.target).constData()) == 0;
        else
            placed = RenameToFreeName(e.staged, e.target);
        if (!placed && errno == EEXIST)
            unfinished->append({e.target, e.staged});
        else if (!placed)
            return false;
    }
    return true;
}

// A kept old file goes once its target holds a file again (the old one,
// the new one or another); with nothing there, it goes back to its name.
void DropBackups(const QVector<SaveRecord::Entry>& entries)
{
    for (const SaveRecord::Entry& e : entries) {
        if (e.oldInode == 0 || e.backup.isEmpty() || InodeOf(e.backup) != e.oldInode)
            continue;
        if (InodeOf(e.target) != 0)
            ::unlink(Native(e.backup).constData());
        else
            std::rename(Native(e.backup).constData(), Native(e.target).constData());
    }
}

struct Settled {
    bool inPlace = false; // every target holds its new file
    QVector<QPair<QString, QString>> unfinished;
};

// Settles one record of a process that no longer runs. The rule: a commit
// goes forward when every new file is there to be put in place (all were
// complete before the commit began), so that both what the user asked to
// save and nothing else is in the folder; otherwise, or when going forward
// fails, every target goes back to its old file. A commit that finished
// only goes forward. A save cut short before its commit leaves the old
// files and loses only its staged files.
Settled Settle(const SaveRecord& record)
{
    const QVector<SaveRecord::Entry>& entries = record.entries;
    Settled settled;
    if (!record.committing) {
        RemoveStaged(entries, record.parts);
        RemoveParts(record.parts);
        SyncFoldersOf(entries);
        return settled;
    }
    bool complete = true;
    for (const SaveRecord::Entry& e : entries)
        complete = complete && (InodeOf(e.target) == e.stagedInode || InodeOf(e.staged) == e.stagedInode);
    const bool forward = (complete || record.done) && RollForward(entries, &settled.unfinished);
    if (!forward && !record.done) {
        RollBack(entries);
        settled.unfinished.clear();
    }
    DropBackups(entries);
    SyncFoldersOf(entries);
    settled.inPlace = true;
    for (const SaveRecord::Entry& e : entries)
        settled.inPlace = settled.inPlace && InodeOf(e.target) == e.stagedInode;
    return settled;
}

QString CleanFolder(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Whether a record is to be settled now: one of its targets is in `only`
// (or `only` is empty), and the folders of all of them are there.
bool Concerns(const SaveRecord& record, const QString& only)
{
    bool concerned = only.isEmpty();
    bool reachable = true;
    for (const SaveRecord::Entry& e : qAsConst(record.entries)) {
        const QString targetFolder = CleanFolder(QFileInfo(e.target).absolutePath());
        concerned = concerned || targetFolder == only;
        reachable = reachable && QFileInfo(targetFolder).isDir();
    }
    return concerned && reachable;
}

// Settles the record at `path` (held locked) and removes it, unless its
// note goes to the caller; true when settled.
bool SettleRecord(const QString& path, const SaveRecord& record,
                  QVector<SaveTransaction::Recovered>* recovered)
{
    const Settled done = Settle(record);
    SaveTransaction::Recovered outcome{path, QByteArray(), done.unfinished};
    if ((done.inPlace || record.done) && done.unfinished.isEmpty())
        outcome.note = record.note;
    const bool keep = recovered && !outcome.note.isEmpty();
    if (keep && !record.done && !SaveRecord::MarkDone(path))
        qCWarning(lcOutput) << "Failed to mark the save record finished:" << path;
    if (!keep) {
        outcome.record.clear();
        outcome.note.clear();
        if (::unlink(Native(path).constData()) != 0)
            return false;
    }
    if (recovered && (keep || !outcome.unfinished.isEmpty()))
        recovered->append(outcome);
    return true;
}

} // namespace

SaveTransaction::~SaveTransaction()
{
    if (!m_committed)
        Rollback();
}

QString SaveTransaction::RecordFolder(const QString& workDir)
{
    return workDir.isEmpty() ? QString() : workDir + "/" + kRecordFolderName;
}

void SaveTransaction::SetStepHook(StepHook hook)
{
    g_stepHook = hook;
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
    entry.stagedInode = InodeOf(staged);
    if (!m_recordFolder.isEmpty()) {
        // The file is made first and recorded then: a record never names a
        // file that is not ours.
        const bool first = m_recordPath.isEmpty();
        if (first) {
            if (::mkdir(Native(m_recordFolder).constData(), 0700) != 0 && errno != EEXIST) {
                m_failure = SaveFailure{SaveFailure::TempFailed, -1, m_recordFolder, errno};
                ::unlink(Native(staged).constData());
                return QString();
            }
            m_recordPath =
                QStringLiteral("%1/save-%2-%3.rec").arg(m_recordFolder).arg(getpid()).arg(NextHiddenNumber());
        }
        SaveRecord::Entry recorded;
        recorded.target = target;
        recorded.staged = staged;
        recorded.stagedInode = entry.stagedInode;
        if (!SaveRecord::AppendStaged(m_recordPath, recorded)) {
            m_failure = SaveFailure{SaveFailure::TempFailed, -1, m_recordFolder, errno};
            ::unlink(Native(staged).constData());
            return QString();
        }
        // The record's name is on the disk before a written file needs it.
        if (first)
            SyncFolder(m_recordFolder);
        // A writer's file is recorded when it is made, so that it can go
        // if the process ends; the writer renames it over the staged file
        // once complete, and it is recorded again (flushed) before it gets
        // the staged name, so that whenever the process ends the staged
        // name holds a recorded file.
        const QString recordPath = m_recordPath;
        TargetFile::Watch(staged,
                          [recordPath, recorded](TargetFile::Step step, const QString& file, quint64 inode) {
                              if (step == TargetFile::Step::Created)
                                  return SaveRecord::AppendPart(recordPath, {recorded.staged, file, inode});
                              SaveRecord::Entry written = recorded;
                              written.stagedInode = inode;
                              return SaveRecord::AppendWritten(recordPath, written);
                          });
    }
    m_entries.append(entry);
    return staged;
}

// Notes what is at the target now: its inode, the name its old content will
// be kept under, and its permissions carried over to the staged file. On
// failure errno says why.
bool SaveTransaction::Prepare(Entry* e)
{
    const QByteArray to = Native(e->target);
    const QByteArray from = Native(e->staged);
    e->oldInode = 0;
    e->oldTime = 0;
    e->backup.clear();
    struct stat entry {};
    if (::lstat(to.constData(), &entry) != 0)
        return errno == ENOENT;
    struct stat old {};
    const bool resolved = ::stat(to.constData(), &old) == 0;
    if (S_ISDIR(entry.st_mode) || (resolved && S_ISDIR(old.st_mode))) {
        errno = EISDIR;
        return false;
    }
    if (resolved && S_ISREG(old.st_mode) && ::chmod(from.constData(), old.st_mode & 0777) != 0)
        return false;
    e->oldInode = quint64(entry.st_ino);
    e->oldTime = TimeOf(entry);
    e->backup = FreeKeepName(e->target);
    return !e->backup.isEmpty();
}

bool SaveTransaction::WriteCommitRecord()
{
    if (m_recordPath.isEmpty())
        return true;
    QVector<SaveRecord::Entry> entries;
    for (const Entry& e : qAsConst(m_entries))
        entries.append({e.target, e.staged, e.backup, e.stagedInode, e.oldInode, e.oldTime});
    return SaveRecord::WriteCommit(m_recordPath, entries, m_note);
}

// A second name for the old file at the target, the recorded backup name: a
// hard link, or on file systems without hard links the file itself renamed
// aside. False, with errno set, when neither works.
bool SaveTransaction::KeepOld(int index)
{
    Entry& e = m_entries[index];
    const QByteArray to = Native(e.target);
    for (int attempt = 0; attempt < kKeepAttempts; ++attempt) {
        const QByteArray name = Native(e.backup);
        if (::link(to.constData(), name.constData()) == 0)
            return true;
        struct stat taken {};
        if (errno == EEXIST || ::lstat(name.constData(), &taken) == 0) {
            // Someone took the name since: the record names the next one
            // before it is made.
            e.backup = FreeKeepName(e.target);
            if (e.backup.isEmpty() || !WriteCommitRecord())
                return false;
            continue;
        }
        if (std::rename(to.constData(), name.constData()) != 0)
            return false;
        e.backupIsOld = true;
        return true;
    }
    errno = EEXIST;
    return false;
}

// Puts one staged file at its target, keeping the old file's permissions and
// content aside. On failure nothing of this entry has changed and errno says
// why.
bool SaveTransaction::Install(int index)
{
    Entry& e = m_entries[index];
    struct stat now {};
    const QByteArray to = Native(e.target);
    const bool there = ::lstat(to.constData(), &now) == 0;
    const quint64 inode = there ? quint64(now.st_ino) : 0;
    struct stat resolved {};
    if (inode != 0 &&
        (S_ISDIR(now.st_mode) || (::stat(to.constData(), &resolved) == 0 && S_ISDIR(resolved.st_mode)))) {
        errno = EISDIR;
        return false;
    }
    if (inode != e.oldInode || (there && TimeOf(now) != e.oldTime)) {
        // The target changed since the commit began: record it anew.
        if (!Prepare(&e) || !WriteCommitRecord())
            return false;
    }
    if (e.oldInode != 0 && !KeepOld(index))
        return false;
    if (g_stepHook)
        g_stepHook(index, false);
    if (std::rename(Native(e.staged).constData(), Native(e.target).constData()) != 0) {
        const int error = errno;
        if (e.backupIsOld)
            std::rename(Native(e.backup).constData(), Native(e.target).constData());
        else if (e.oldInode != 0)
            ::unlink(Native(e.backup).constData());
        e.backup.clear();
        e.backupIsOld = false;
        errno = error;
        return false;
    }
    e.committed = true;
    if (g_stepHook)
        g_stepHook(index, true);
    return true;
}

bool SaveTransaction::Commit()
{
    if (m_committed || m_failure.Failed())
        return false;
    StopWatching();
    for (Entry& e : m_entries) {
        // A writer puts its file in place under the staged name by a rename:
        // the record names what is staged now.
        e.stagedInode = InodeOf(e.staged);
        if (!Prepare(&e)) {
            m_failure = SaveFailure::Target(e.target, errno);
            Rollback();
            return false;
        }
    }
    // Nothing is replaced before the record of the whole commit is on disk.
    if (!WriteCommitRecord()) {
        m_failure = SaveFailure{SaveFailure::TempFailed, -1, m_recordFolder, errno};
        Rollback();
        return false;
    }
    for (int i = 0; i < m_entries.size(); ++i) {
        if (!Install(i)) {
            m_failure = SaveFailure::Target(m_entries[i].target, errno);
            Rollback();
            return false;
        }
    }
    m_committed = true;
    QVector<SaveRecord::Entry> done;
    for (const Entry& e : qAsConst(m_entries))
        done.append({e.target, e.staged, QString(), e.stagedInode, 0, 0});
    SyncFoldersOf(done);
    // With a note the record stays, finished, until the caller forgets it.
    const bool keep = !m_note.isEmpty() && !m_recordPath.isEmpty();
    if (keep && !SaveRecord::MarkDone(m_recordPath))
        qCWarning(lcOutput) << "Failed to mark the save record finished:" << m_recordPath;
    for (const Entry& e : qAsConst(m_entries)) {
        if (e.oldInode != 0)
            ::unlink(Native(e.backup).constData());
    }
    if (!keep)
        RemoveRecord();
    return true;
}

void SaveTransaction::Forget(const QString& record)
{
    if (!record.isEmpty())
        ::unlink(Native(record).constData());
}

void SaveTransaction::StopWatching()
{
    if (m_recordPath.isEmpty())
        return;
    for (const Entry& e : qAsConst(m_entries))
        TargetFile::Unwatch(e.staged);
}

void SaveTransaction::Rollback()
{
    StopWatching();
    for (int i = m_entries.size() - 1; i >= 0; --i) {
        Entry& e = m_entries[i];
        if (e.committed) {
            const QByteArray to = Native(e.target);
            const bool restored = e.oldInode == 0
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
    RemoveRecord();
}

void SaveTransaction::RemoveRecord()
{
    if (!m_recordPath.isEmpty())
        ::unlink(Native(m_recordPath).constData());
    m_recordPath.clear();
}

int SaveTransaction::Recover(const QString& recordFolder, const QString& folder,
                             QVector<Recovered>* recovered)
{
    static const QRegularExpression pattern("^save-([0-9]{1,9})-([0-9]{1,10})\\.rec(\\.new)?$");
    if (recordFolder.isEmpty())
        return 0;
    const QString only = folder.isEmpty() ? QString() : CleanFolder(folder);
    const QStringList names = QDir(recordFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    int settled = 0;
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const QString path = recordFolder + "/" + name;
        const QByteArray file = Native(path);
        struct stat st {};
        if (::lstat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid <= 0 || ProcessRuns(pid, st.st_mtim))
            continue;
        if (!m.captured(3).isEmpty()) {
            ::unlink(file.constData()); // a commit record never put in place
            continue;
        }
        SaveRecord record;
        if (!SaveRecord::Read(path, &record)) {
            qCWarning(lcOutput) << "Unreadable save record kept:" << path;
            continue;
        }
        if (!Concerns(record, only))
            continue;
        // Another copy starting at the same time may settle the same record.
        const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && held.st_nlink > 0 &&
            held.st_ino == st.st_ino && SettleRecord(path, record, recovered))
            ++settled;
        ::close(fd);
    }
    return settled;
}
