#include "pagefiles.h"

#include <QFileInfo>
#include <QPainter>
#include <cstdlib>

namespace PageFiles {

namespace {

QByteArray WriterFormat(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg")) {
        return "JPEG";
    }
    if (suffix == QLatin1String("pnm")) {
        return "PPM";
    }
    return suffix.toUpper().toLatin1();
}

QString Save(const QImage& image, const QString& dir, const QString& name)
{
    const QString path = dir + QLatin1Char('/') + name;
    if (!image.save(path, WriterFormat(path).constData(), 95)) {
        return QString();
    }
    return path;
}

} // namespace

QString Write(const QString& dir, const QString& name, QSize size, const QColor& color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return Save(image, dir, name);
}

QString WriteSplit(const QString& dir, const QString& name, QSize size, const QColor& left,
                   const QColor& right)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(right);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), left);
    painter.end();
    return Save(image, dir, name);
}

QColor ColorFor(int page)
{
    static const QColor colors[] = {
        QColor(220, 30, 30),  QColor(30, 180, 30),  QColor(30, 30, 220),   QColor(220, 220, 30),
        QColor(30, 200, 200), QColor(200, 30, 200), QColor(120, 120, 120), QColor(250, 140, 20),
        QColor(20, 90, 40),   QColor(90, 20, 120),  QColor(240, 240, 240), QColor(10, 10, 10),
    };
    const int n = int(sizeof(colors) / sizeof(colors[0]));
    return colors[((page % n) + n) % n];
}

bool Near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor CenterColor(const QImage& image)
{
    if (image.isNull()) {
        return QColor();
    }
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace PageFiles
