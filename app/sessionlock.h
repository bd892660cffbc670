#pragma once

#include <QString>

// Marks a running session of the current user. The lock is an advisory lock
// (flock) on a small file: the kernel drops it when the process ends in any
// way, kill -9 included, so a lock that can be taken means that no session is
// running, whatever the file's content or age. Process ids are not compared,
// which keeps the lock right across PID namespaces and reused ids.
class SessionLock {
public:
    SessionLock() = default;
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    // Takes the lock on path (creating the file, mode 0600, when missing).
    // False when another open session holds it, or the file cannot be used.
    bool TryLock(const QString& path);
    void Unlock();
    bool IsLocked() const { return m_fd >= 0; }
    QString Path() const { return m_path; }

    // The lock of the session whose work folder is workDir: beside the
    // folder, where emptying the folder cannot remove it.
    static QString PathFor(const QString& workDir);

private:
    int m_fd = -1;
    QString m_path;
};
