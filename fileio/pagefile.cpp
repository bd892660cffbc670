#include "pagefile.h"

#include <QFileInfo>

bool IsPageComplete(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile();
}

QString PartialPagePath(const QString& path)
{
    return path + QStringLiteral(".part");
}
