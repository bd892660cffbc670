#include "temppath.h"

#include "workdir.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_dirMutex;
bool g_set = false;   // a session told which folder it took
QString g_used;       // that folder
QString g_defaultKey; // the cache root the default was chosen under
QString g_default;

} // namespace

QString GetTempDir()
{
    // The folder is emptied recursively by the main window, so it must be a
    // private folder of ours (see WorkDir). The default is kept per cache
    // root so that a fallback folder is not made anew on every call.
    QMutexLocker lock(&g_dirMutex);
    if (g_set) {
        return g_used;
    }
    const QString key = WorkDir::CacheRoot();
    if (key != g_defaultKey || g_default.isEmpty() || !QFileInfo(g_default).isDir()) {
        g_defaultKey = key;
        g_default = WorkDir::Choose();
    }
    return g_default;
}

void SetTempDir(const QString& folder)
{
    QMutexLocker lock(&g_dirMutex);
    g_set = true;
    g_used = folder;
}

void ResetTempDir()
{
    QMutexLocker lock(&g_dirMutex);
    g_set = false;
    g_used.clear();
}

QString GetTempFilePath(const QString& ext)
{
    static QMutex mutex;
    static QString lastStamp;
    static int sequence = 0;

    const QString base = GetTempDir();
    if (base.isEmpty() || !WorkDir::PrepareOwnedPath(base, kTempFolderName))
        return QString();
    const QString folder = base + "/" + kTempFolderName;

    QMutexLocker lock(&mutex);
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMddHHmmsszzz");
    if (stamp == lastStamp) {
        ++sequence;
    } else {
        lastStamp = stamp;
        sequence = 0;
    }
    // A file of that name may already exist (left by an earlier run within the
    // same millisecond of wall-clock time, or a clock step back): skip it.
    for (;;) {
        QString name = stamp;
        if (sequence > 0)
            name += "_" + QString::number(sequence);
        const QString path = folder + "/" + name + "." + ext;
        if (!QFileInfo::exists(path))
            return path;
        ++sequence;
    }
}
