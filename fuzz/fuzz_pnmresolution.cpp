// Page files with a PNM resolution comment: the resolution reader and the
// page loader that applies it, on any file contents.
#include "imageproc/imageproc.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QStringLiteral("/tmp/scanvy-fuzz-%1.pnm").arg(static_cast<qint64>(getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const int dpi = ImageProc::GetPNMResolution(path);
    const QImage page = ImageProc::LoadPage(path);
    if (!page.isNull() && dpi > 0 && (page.dotsPerMeterX() <= 0 || page.dotsPerMeterY() <= 0))
        abort();
    QFile::remove(path);
    return 0;
}
