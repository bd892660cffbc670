#include "pageimage.h"

#include "ownfile.h"
#include "pnmfile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <limits>

namespace {

// The largest resolution whose dots per metre still fit in an int.
const int kMaxDpi = int(std::numeric_limits<int>::max() * kMetresPerInch);

// How far into a PNM file the "#dpi:" line is looked for, per line.
constexpr qint64 kHeaderLineBytes = 256;

const char kDpiComment[] = "#dpi:";

} // namespace

int DotsPerMetre(int dpi)
{
    return qRound(std::min(dpi, kMaxDpi) / kMetresPerInch);
}

int DotsPerInch(int dotsPerMetre)
{
    return qRound(dotsPerMetre * kMetresPerInch);
}

int PnmResolution(const QString& path)
{
    QFile file;
    if (!OwnFile::OpenFile(path, &file))
        return kDefaultPnmDpi;
    // Only the comment line matters; never read a whole binary raster.
    file.readLine(kHeaderLineBytes);
    QString second = QString::fromLatin1(file.readLine(kHeaderLineBytes)).trimmed();
    file.close();
    if (second.isEmpty() || !second.startsWith(QLatin1String(kDpiComment)))
        return kDefaultPnmDpi;
    return second.remove(QLatin1String(kDpiComment)).toInt();
}

QImage LoadPageImage(const QString& path)
{
    // Qt's reader narrows 16-bit PNM samples to 8 bits.
    QImage image = ReadWidePnm(path);
    if (image.isNull()) {
        QFile file;
        if (!OwnFile::OpenFile(path, &file)) {
            return QImage();
        }
        QImageReader reader(&file);
        image = reader.read();
    }
    if (!image.isNull() && QFileInfo(path).suffix().toLower() == QLatin1String("pnm")) {
        const int dpi = PnmResolution(path);
        if (dpi > 0) {
            image.setDotsPerMeterX(DotsPerMetre(dpi));
            image.setDotsPerMeterY(DotsPerMetre(dpi));
        }
    }
    return image;
}
