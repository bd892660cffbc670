#include "filecheck.h"

#include "pagemaker.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>

namespace FileCheck {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool writeFile(const QString& path, const QByteArray& content, int mode)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        return false;
    f.close();
    return mode < 0 || ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

int newMode(int requested)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return requested & ~int(mask);
}

qint64 endedPid()
{
    QProcess p;
    p.start("sleep", {"0"});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

QStringList snapshot(const QString& dir)
{
    QStringList out;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        QString line = e.fileName() + " " + QString::number(modeOf(e.filePath()), 8);
        if (e.isSymLink())
            line += " -> " + e.symLinkTarget();
        else if (e.isDir())
            line += " <dir>";
        else
            line += " " + QString::fromLatin1(PageMaker::bytes(e.filePath()).toHex());
        out << line;
    }
    return out;
}

} // namespace FileCheck
