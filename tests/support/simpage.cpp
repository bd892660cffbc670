#include "simpage.h"

#include "sim/sim_marker.h"

#include <QFile>

namespace SimPage {

bool WriteScenario(const QString& text)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR"));
    if (dir.isEmpty())
        return false;
    QFile file(dir + QStringLiteral("/scenario.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    return file.write(bytes) == bytes.size() && file.flush();
}

QString Marker(const QImage& page, int dpi)
{
    if (page.isNull())
        return QString();
    const QImage gray = page.convertToFormat(QImage::Format_Grayscale8);
    char text[16] = {0};
    sim_marker_decode(gray.constBits(), gray.width(), gray.height(), gray.bytesPerLine(), dpi, text,
                      sizeof text);
    return QString::fromLatin1(text);
}

QString FileMarker(const QString& path, int dpi)
{
    const QImage page(path);
    if (page.isNull())
        return QStringLiteral("<unreadable>");
    return Marker(page, dpi);
}

} // namespace SimPage
