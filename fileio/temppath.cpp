#include "temppath.h"

#include "workdir.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

QString GetTempDir()
{
    // The folder is emptied recursively by the main window, so it must be a
    // private folder of ours (see WorkDir). The choice is kept per temporary
    // root so that a fallback folder is not made anew on every call.
    static QMutex mutex;
    static QString lastRoot;
    static QString chosen;

    QMutexLocker lock(&mutex);
    const QString root = QDir::tempPath();
    if (root != lastRoot || chosen.isEmpty() || !QFileInfo(chosen).isDir()) {
        lastRoot = root;
        chosen = WorkDir::Choose(root);
    }
    return chosen;
}

QString GetTempFilePath(const QString& ext)
{
    static QMutex mutex;
    static QString lastStamp;
    static int sequence = 0;

    const QString folder = GetTempDir() + "/" + kScanFolderName;
    if (!QDir().mkpath(folder))
        return QString();

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
