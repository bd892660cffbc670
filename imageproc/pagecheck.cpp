#include "pagecheck.h"

#include "jpeginfo.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace PageCheck {

namespace {

bool StartsLikeJpeg(QFile* file)
{
    return file->peek(2) == QByteArray("\xFF\xD8", 2);
}

} // namespace

SaveFailure::Reason Quick(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return SaveFailure::PageMissing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SaveFailure::PageDamaged;
    if (StartsLikeJpeg(&file)) {
        const QByteArray data = file.readAll();
        return file.error() == QFileDevice::NoError && JpegInfo::IsComplete(data) ? SaveFailure::None
                                                                                  : SaveFailure::PageDamaged;
    }
    QImageReader reader(&file);
    return reader.canRead() ? SaveFailure::None : SaveFailure::PageDamaged;
}

SaveFailure::Reason Full(const QString& path)
{
    const SaveFailure::Reason quick = Quick(path);
    if (quick != SaveFailure::None)
        return quick;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read().isNull() ? SaveFailure::PageDamaged : SaveFailure::None;
}

SaveFailure::Reason AsIs(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && StartsLikeJpeg(&file))
        return Quick(path);
    return Full(path);
}

} // namespace PageCheck
