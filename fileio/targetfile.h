#pragma once

#include <QString>

#include <functional>

// Writes a user's file without ever touching the old one until the new one is
// complete: the content goes to a fresh file in the target's folder, and
// commit() renames it over the target. An uncommitted file is removed by the
// destructor, so a failed write leaves the target as it was. A replaced
// file's permissions carry over to the new one; a new file gets those of the
// user's umask. The temporary is a hidden file of kind "part" (see
// hiddenfile.h). Failed system calls are noted with NoteWriteError().
class TargetFile {
public:
    explicit TargetFile(const QString& target);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // False when no file could be created in the target's folder.
    bool IsValid() const { return !m_tempPath.isEmpty(); }
    QString tempPath() const { return m_tempPath; }
    QString Target() const { return m_target; }

    // Flushes the written file to disk, renames it over the target
    // (keeping the permissions of a file that was there) and flushes the
    // folder, so that the new name survives a power cut. False when a step
    // fails; once the rename is done the target holds the new file even so.
    bool Commit();

    // Tells `note` about every file that is to replace `target`, in any
    // thread, until Unwatch(target): once when the file is made (Created;
    // when `note` returns false the file goes again and IsValid() is false),
    // and once more just before Commit() renames the complete, flushed file
    // over the target (Complete; when `note` returns false Commit() fails,
    // errno as `note` left it, and the target stays as it was). A second
    // Watch() of the same path replaces the first.
    enum class Step { Created, Complete };
    using Watcher = std::function<bool(Step step, const QString& file, quint64 inode)>;
    static void Watch(const QString& target, Watcher note);
    static void Unwatch(const QString& target);

private:
    QString m_target;
    QString m_tempPath;
    bool m_committed = false;
};
