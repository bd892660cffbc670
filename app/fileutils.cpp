#include "fileutils.h"

#include "savetransaction.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

void ClearDirectory(QString const& path)
{
    if (path.isEmpty()) {
        return;
    }
    // The records of saves cut short stay until their saves are settled.
    const QString records = QDir::cleanPath(SaveTransaction::RecordFolder(path));
    QStringList dirs;
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString dir = QDir::cleanPath(it.next());
        if (dir != records && !dir.startsWith(records + QLatin1Char('/'))) {
            dirs.prepend(dir);
        }
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
