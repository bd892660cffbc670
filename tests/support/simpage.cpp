#include "simpage.h"

#include "sim/sim_marker.h"

#include <QFile>
#include <QTextStream>

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

QList<QStringList> TextPages()
{
    // Read as the generator reads it: "---" begins a page, '#' lines are
    // comments, empty lines are left out.
    QList<QStringList> pages;
    QFile file(QStringLiteral(SCANVY_SIM_TEXT_TRUTH));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return pages;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line == QLatin1String("---"))
            pages.append(QStringList());
        else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')) && !pages.isEmpty())
            pages.last().append(line);
    }
    return pages;
}

int TextPageOf(int sheet, char side)
{
    static const int count = TextPages().size();
    return count > 0 ? ((sheet - 1) * 2 + (side == 'B' ? 1 : 0)) % count : -1;
}

QStringList SideText(int sheet, char side)
{
    const QList<QStringList> pages = TextPages();
    const int index = TextPageOf(sheet, side);
    return index >= 0 ? pages.at(index) : QStringList();
}

QImage TextImage(int index)
{
    return QImage(QStringLiteral(SCANVY_SIM_TEXT_DIR "/page%1.pgm").arg(index + 1));
}

} // namespace SimPage
