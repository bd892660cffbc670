#include "fileutils.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

void ClearDirectory(QString const& path)
{
    if (path.isEmpty()) {
        return;
    }
    QStringList dirs;
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        dirs.prepend(it.next());
    }
    for (const QString& dir : qAsConst(dirs)) {
        RemoveFiles(dir);
    }
    RemoveFiles(path);
}

void RemoveFiles(QString const& dir)
{
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || entry.isFile()) {
            QFile::remove(entry.filePath());
        }
    }
}
