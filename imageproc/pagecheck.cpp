#include "pagecheck.h"

#include "jpeginfo.h"
#include "ownfile.h"

#include <QFile>
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
    // A link, a FIFO or a device under a page's name is no page of ours.
    QFile file;
    if (path.isEmpty() || !OwnFile::OpenFile(path, &file))
        return SaveFailure::PageMissing;
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
    QFile file;
    if (OwnFile::OpenFile(path, &file) && StartsLikeJpeg(&file))
        return Quick(path);
    return Full(path);
}

} // namespace PageCheck
