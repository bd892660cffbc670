#include "workdir.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One level: create it 0700 when missing, else require a real directory of
// ours and take away any access of others.
bool PrepareLevel(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT) {
            return false;
        }
        if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        // Someone may have raced us to the name: judge what is there now.
        if (lstat(native.constData(), &st) != 0) {
            return false;
        }
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        return false;
    }
    if ((st.st_mode & 077) != 0 && chmod(native.constData(), 0700) != 0) {
        return false;
    }
    return true;
}

QString PrivatePattern()
{
    return QStringLiteral("scanvy-%1-").arg(geteuid());
}

QString PrivateFolder(const QString& root, const QString& leaf)
{
    QByteArray pattern =
        QFile::encodeName(root + QLatin1Char('/') + PrivatePattern() + QStringLiteral("XXXXXX"));
    if (!mkdtemp(pattern.data())) {
        return QString();
    }
    const QString base = QFile::decodeName(pattern);
    return WorkDir::PrepareOwnedPath(base, leaf) ? base + QLatin1Char('/') + leaf : QString();
}

// Creates the missing levels of an absolute path with mode 0700 (existing
// ones are left as they are: they are not ours to judge).
bool MakeMissingLevels(const QString& path)
{
    if (!QDir::isAbsolutePath(path)) {
        return false;
    }
    const QStringList levels = QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current;
    for (const QString& level : levels) {
        current += QLatin1Char('/') + level;
        const QByteArray native = QFile::encodeName(current);
        if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return QFileInfo(path).isDir();
}

} // namespace

bool WorkDir::PrepareOwnedPath(const QString& root, const QString& relative)
{
    const QStringList levels = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (levels.isEmpty()) {
        return false;
    }
    QStringList paths;
    QString path = root;
    for (const QString& level : levels) {
        if (level == QLatin1String("..") || level == QLatin1String(".")) {
            return false;
        }
        path += QLatin1Char('/') + level;
        paths << path;
    }
    // Judge the levels that exist before changing anything, so that a path
    // refused at a deeper level leaves the upper ones as they were.
    for (const QString& level : qAsConst(paths)) {
        struct stat st {};
        if (lstat(QFile::encodeName(level).constData(), &st) != 0) {
            break;
        }
        if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
            return false;
        }
    }
    for (const QString& level : qAsConst(paths)) {
        if (!PrepareLevel(level)) {
            return false;
        }
    }
    return true;
}

bool WorkDir::OwnSubFolder(const QString& work, const QString& name, bool* replaced)
{
    const QByteArray native = QFile::encodeName(work + QLatin1Char('/') + name);
    struct stat st {};
    const bool other = lstat(native.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    if (replaced) {
        *replaced = other;
    }
    if (other && unlink(native.constData()) != 0) {
        return false;
    }
    return PrepareOwnedPath(work, name);
}

bool WorkDir::IsOwnedFolder(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == geteuid();
}

QString WorkDir::CacheRoot()
{
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        return QDir::cleanPath(xdg);
    }
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.cache"));
}

QString WorkDir::Choose()
{
    const QString root = CacheRoot();
    if (!MakeMissingLevels(root)) {
        return QString();
    }
    return ChooseFor(root + QStringLiteral("/scanvy/work"));
}

QString WorkDir::MakePrivateSibling(const QString& work)
{
    const QString clean = QDir::cleanPath(work);
    if (work.isEmpty() || !IsOwnedFolder(QFileInfo(clean).path())) {
        return QString();
    }
    QByteArray pattern = QFile::encodeName(clean + QStringLiteral("-XXXXXX"));
    if (!mkdtemp(pattern.data())) {
        return QString();
    }
    return QFile::decodeName(pattern);
}

QStringList WorkDir::PrivateSiblings(const QString& work)
{
    const QFileInfo info(QDir::cleanPath(work));
    const QString leaf = info.fileName();
    QStringList found;
    if (leaf.isEmpty()) {
        return found;
    }
    const QDir parent(info.path());
    const QStringList names = parent.entryList({leaf + QStringLiteral("-??????")},
                                               QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : names) {
        found << parent.filePath(name);
    }
    return found;
}

QStringList WorkDir::LegacyFolders(const QString& tempRoot)
{
    const QString root = QDir::cleanPath(tempRoot);
    return {root + QStringLiteral("/zir/scanvy"), root + QStringLiteral("/zir-%1/scanvy").arg(geteuid())};
}

QStringList WorkDir::EarlierFolders(const QString& work)
{
    const QString clean = QDir::cleanPath(work);
    const QFileInfo leafInfo(clean);
    const QString leaf = leafInfo.fileName();
    const QDir root(QFileInfo(leafInfo.path()).path());
    QStringList found;
    if (leaf.isEmpty()) {
        return found;
    }
    const QStringList names = root.entryList({PrivatePattern() + QStringLiteral("??????")},
                                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        struct stat st {};
        const QString folder = root.filePath(name) + QLatin1Char('/') + leaf;
        if (lstat(QFile::encodeName(root.filePath(name)).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == geteuid() && (st.st_mode & 07777) == 0700 && folder != clean) {
            found << folder;
        }
    }
    return found;
}

QString WorkDir::ChooseFor(const QString& wanted)
{
    const QString clean = QDir::cleanPath(wanted);
    const QFileInfo leafInfo(clean);
    const QString leaf = leafInfo.fileName();
    const QFileInfo nameInfo(leafInfo.path());
    const QString name = nameInfo.fileName();
    const QString root = nameInfo.path();
    if (leaf.isEmpty() || name.isEmpty()) {
        return QString();
    }
    if (PrepareOwnedPath(root, name + QLatin1Char('/') + leaf)) {
        return clean;
    }
    const QString perUser = QStringLiteral("%1-%2").arg(name).arg(geteuid());
    if (PrepareOwnedPath(root, perUser + QLatin1Char('/') + leaf)) {
        return root + QLatin1Char('/') + perUser + QLatin1Char('/') + leaf;
    }
    // Both names are someone else's: the private folder an earlier start
    // made is taken again, so that its session is found.
    const QStringList earlier = EarlierFolders(clean);
    for (const QString& folder : earlier) {
        const QFileInfo info(folder);
        if (PrepareOwnedPath(info.path(), info.fileName())) {
            return folder;
        }
    }
    return PrivateFolder(root, leaf);
}
