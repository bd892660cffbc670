#include "interruptedpage.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>

QString InterruptedPage::MarkText()
{
    return QCoreApplication::translate("ImageViewWidget", "未完成");
}

QSize InterruptedPage::LargeSize()
{
    return QSize(620, 877);
}

QImage InterruptedPage::Picture(const QSize& size)
{
    QImage image(size.expandedTo(QSize(2, 2)), QImage::Format_RGB32);
    image.fill(QColor(0xF2, 0xF2, 0xF2));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF sheet = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal side = std::min(sheet.width(), sheet.height());
    const QColor red(0xC0, 0x1E, 0x1E);

    // Crossed out, with a dashed frame: nothing of a real page is shown.
    QPen cross(QColor(0xC0, 0x1E, 0x1E, 70), std::max<qreal>(1.0, side / 60.0));
    painter.setPen(cross);
    painter.drawLine(sheet.topLeft(), sheet.bottomRight());
    painter.drawLine(sheet.topRight(), sheet.bottomLeft());
    QPen frame(red, std::max<qreal>(1.0, side / 40.0), Qt::DashLine);
    painter.setPen(frame);
    painter.drawRect(
        sheet.adjusted(frame.widthF() / 2, frame.widthF() / 2, -frame.widthF() / 2, -frame.widthF() / 2));

    // The mark on a band across the middle, as wide as the sheet allows.
    const QString text = MarkText();
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(6, int(side / 4.5)));
    QFontMetricsF metrics(font);
    const qreal room = sheet.width() * 0.8;
    if (metrics.horizontalAdvance(text) > room) {
        font.setPixelSize(std::max(6, int(font.pixelSize() * room / metrics.horizontalAdvance(text))));
        metrics = QFontMetricsF(font);
    }
    const qreal bandHeight = metrics.height() * 1.5;
    const QRectF band(sheet.left(), sheet.center().y() - bandHeight / 2, sheet.width(), bandHeight);
    painter.fillRect(band, QColor(255, 255, 255, 230));
    painter.setFont(font);
    painter.setPen(red);
    painter.drawText(band, Qt::AlignCenter, text);
    return image;
}
