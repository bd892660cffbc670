#include "glyphs.h"

#include "appicon.h"
#include "painting.h"

#include <QtMath>

using namespace Palette;

namespace {

// Page with the blue scan beam, drawn on the left of every scan glyph.
void ScannedPage(Canvas& c, const QRectF& r)
{
    c.Page(r, kPaper);
    c.Pen(kBlue, 2.2);
    const double y = r.top() + r.height() * 0.55;
    c.P().drawLine(QPointF(r.left() - 2, y), QPointF(r.right() + 2, y));
    c.Pen(kGrey, 1.2);
    c.P().drawLine(QPointF(r.left() + 3, r.top() + 7), QPointF(r.right() - 6, r.top() + 7));
    c.P().drawLine(QPointF(r.left() + 3, r.top() + 11), QPointF(r.right() - 3, r.top() + 11));
}

QImage ScanToLast()
{
    Canvas c(32);
    ScannedPage(c, QRectF(3, 3, 15, 20));
    c.Arrow(QPointF(25, 6), QPointF(25, 25), kGreen);
    c.Pen(kInk, 2.5);
    c.P().drawLine(QPointF(19, 29), QPointF(31, 29));
    return c.Finish();
}

QImage ScanToPrev()
{
    Canvas c(32);
    ScannedPage(c, QRectF(15, 4, 15, 20));
    c.Pen(kInk, 2.5);
    c.P().drawLine(QPointF(3, 6), QPointF(3, 28));
    c.Arrow(QPointF(14, 27), QPointF(5, 27), kGreen);
    return c.Finish();
}

QImage ScanToNext()
{
    Canvas c(32);
    ScannedPage(c, QRectF(2, 4, 15, 20));
    c.Pen(kInk, 2.5);
    c.P().drawLine(QPointF(29, 6), QPointF(29, 28));
    c.Arrow(QPointF(18, 27), QPointF(27, 27), kGreen);
    return c.Finish();
}

QImage ScanReplace()
{
    Canvas c(32);
    ScannedPage(c, QRectF(9, 7, 14, 18));
    c.ArcArrow(QRectF(2, 2, 28, 28), 120, 90, kOrange);
    c.ArcArrow(QRectF(2, 2, 28, 28), 300, 90, kOrange);
    return c.Finish();
}

QImage Save()
{
    Canvas c(32);
    QPainter& p = c.P();
    QPainterPath body;
    body.moveTo(4, 4);
    body.lineTo(24, 4);
    body.lineTo(28, 8);
    body.lineTo(28, 28);
    body.lineTo(4, 28);
    body.closeSubpath();
    c.Pen(kInk, 1.6);
    p.setBrush(kBlue);
    p.drawPath(body);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 4, 13, 8));
    p.setBrush(kInk);
    c.NoPen();
    p.drawRect(QRectF(17, 5.5, 3, 5));
    c.Pen(kInk, 1.4);
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(8, 16, 16, 12), 1.5, 1.5);
    c.Pen(kGrey, 1.2);
    p.drawLine(QPointF(11, 20), QPointF(21, 20));
    p.drawLine(QPointF(11, 24), QPointF(21, 24));
    return c.Finish();
}

QImage Exit()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.8);
    p.setBrush(QColor(0xe8, 0xd5, 0xb5));
    p.drawRect(QRectF(4, 3, 14, 26));
    p.setBrush(kInk);
    c.NoPen();
    p.drawEllipse(QPointF(14.5, 16.5), 1.4, 1.4);
    c.Arrow(QPointF(15, 16), QPointF(30, 16), kRed, 2.8, 7);
    return c.Finish();
}

QImage Ultrasonic()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Page(QRectF(3, 9, 11, 15));
    c.Page(QRectF(6, 6, 11, 15));
    for (int i = 0; i < 3; ++i) {
        c.Pen(i == 0 ? kBlue : (i == 1 ? kBlue.lighter(125) : kBlue.lighter(150)), 2.2);
        const double r = 5 + i * 4.5;
        p.drawArc(QRectF(18 - r, 14 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
    return c.Finish();
}

QImage Rotate(double startDeg, double spanDeg, const QString& label)
{
    Canvas c(32);
    if (label.isEmpty()) {
        c.Page(QRectF(11, 10, 10, 13));
    }
    c.ArcArrow(QRectF(4, 6, 24, 24), startDeg, spanDeg, kBlue);
    if (!label.isEmpty()) {
        QFont font = c.P().font();
        font.setPixelSize(9);
        font.setBold(true);
        c.P().setFont(font);
        c.Pen(kInk);
        c.P().drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, label);
    }
    return c.Finish();
}

QImage Broom()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(QColor(0x8d, 0x5a, 0x2b), 2.6);
    p.drawLine(QPointF(26, 3), QPointF(15, 17));
    QPainterPath head;
    head.moveTo(13, 14);
    head.lineTo(19, 19);
    head.lineTo(12, 30);
    head.lineTo(3, 25);
    head.closeSubpath();
    c.Pen(kInk, 1.5);
    p.setBrush(kOrange);
    p.drawPath(head);
    c.Pen(kInk, 1.0);
    p.drawLine(QPointF(10, 21), QPointF(6, 27));
    p.drawLine(QPointF(13, 23), QPointF(9, 29));
    c.Pen(kGrey, 1.6);
    p.drawLine(QPointF(24, 22), QPointF(29, 22));
    p.drawLine(QPointF(22, 26), QPointF(28, 26));
    return c.Finish();
}

QImage Trash()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.8);
    p.setBrush(kGrey.lighter(140));
    QPainterPath can;
    can.moveTo(7, 9);
    can.lineTo(25, 9);
    can.lineTo(23, 29);
    can.lineTo(9, 29);
    can.closeSubpath();
    p.drawPath(can);
    p.drawLine(QPointF(4, 8), QPointF(28, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(12, 3, 8, 5));
    c.Pen(kInk, 1.5);
    for (double x : {12.5, 16.0, 19.5}) {
        p.drawLine(QPointF(x, 13), QPointF(x, 25));
    }
    return c.Finish();
}

QImage Magnifier(bool plus)
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 2.4);
    p.setBrush(QColor(0xe6, 0xf1, 0xfb));
    p.drawEllipse(QPointF(13, 13), 9, 9);
    c.Pen(kInk, 4.0);
    p.drawLine(QPointF(20, 20), QPointF(28, 28));
    c.Pen(kBlue, 2.6);
    p.drawLine(QPointF(8.5, 13), QPointF(17.5, 13));
    if (plus) {
        p.drawLine(QPointF(13, 8.5), QPointF(13, 17.5));
    }
    return c.Finish();
}

QImage FitToWidth()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.6);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3, 6, 26, 20));
    c.Arrow(QPointF(13, 16), QPointF(5.5, 16), kBlue, 2.2, 5);
    c.Arrow(QPointF(19, 16), QPointF(26.5, 16), kBlue, 2.2, 5);
    c.Pen(kGrey, 1.4);
    p.drawLine(QPointF(16, 10), QPointF(16, 22));
    return c.Finish();
}

QImage ActualSize()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.6);
    p.drawRect(QRectF(3, 6, 26, 20));
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    c.Pen(kBlue);
    p.drawText(QRectF(3, 6, 26, 20), Qt::AlignCenter, QStringLiteral("1:1"));
    return c.Finish();
}

// Vertical navigation: triangles pointing up or down, optionally with a bar.
QImage Navigate(bool up, bool bar)
{
    Canvas c(32);
    QPainter& p = c.P();
    const double tipY = up ? 7 : 25;
    const double baseY = up ? 22 : 10;
    QPolygonF tri;
    tri << QPointF(16, tipY) << QPointF(6, baseY) << QPointF(26, baseY);
    c.Pen(kInk, 1.4);
    p.setBrush(kBlue);
    p.drawPolygon(tri);
    if (bar) {
        c.Pen(kInk, 3.0);
        const double y = up ? 4 : 28;
        p.drawLine(QPointF(6, y), QPointF(26, y));
    }
    return c.Finish();
}

QImage ImageDocument()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.6);
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(3, 5, 26, 22), 2, 2);
    c.NoPen();
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(22, 11), 3, 3);
    QPolygonF hills;
    hills << QPointF(5, 25) << QPointF(12, 14) << QPointF(17, 20) << QPointF(20, 17) << QPointF(27, 25);
    p.setBrush(kGreen);
    p.drawPolygon(hills);
    return c.Finish();
}

QImage Scanner()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.6);
    p.setBrush(QColor(0xd9, 0xe0, 0xe7));
    p.drawRoundedRect(QRectF(2, 14, 28, 12), 2.5, 2.5);
    p.setBrush(kGrey);
    QPolygonF lid;
    lid << QPointF(4, 14) << QPointF(9, 5) << QPointF(28, 5) << QPointF(28, 14);
    p.drawPolygon(lid);
    c.Pen(kBlue, 2.2);
    p.drawLine(QPointF(6, 18.5), QPointF(26, 18.5));
    c.NoPen();
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(25, 22.5), 1.6, 1.6);
    return c.Finish();
}

QImage Gear()
{
    Canvas c(32);
    QPainter& p = c.P();
    QPainterPath gear;
    const QPointF center(16, 16);
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a0 = (i * M_PI) / teeth - M_PI / (teeth * 2.4);
        const double a1 = (i * M_PI) / teeth + M_PI / (teeth * 2.4);
        const double r = (i % 2 == 0) ? 13.0 : 10.0;
        const QPointF p0 = center + QPointF(qCos(a0) * r, qSin(a0) * r);
        const QPointF p1 = center + QPointF(qCos(a1) * r, qSin(a1) * r);
        if (i == 0) {
            gear.moveTo(p0);
        } else {
            gear.lineTo(p0);
        }
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    gear.addEllipse(center, 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    c.Pen(kInk, 1.4);
    p.setBrush(kGrey);
    p.drawPath(gear);
    c.Pen(kBlue, 2.0);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(center, 7, 7);
    return c.Finish();
}

QImage About()
{
    Canvas c(32);
    QPainter& p = c.P();
    c.Pen(kInk, 1.4);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    c.NoPen();
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
    p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1.5, 1.5);
    return c.Finish();
}

} // namespace

QList<QPair<QString, QImage>> DrawActionGlyphs()
{
    return {
        {QStringLiteral("scanning_to_last.png"), ScanToLast()},
        {QStringLiteral("scanning_to_prev.png"), ScanToPrev()},
        {QStringLiteral("scanning_to_next.png"), ScanToNext()},
        {QStringLiteral("scanning_to_replace.png"), ScanReplace()},
        {QStringLiteral("save.png"), Save()},
        {QStringLiteral("exit.png"), Exit()},
        {QStringLiteral("ultrasonic.png"), Ultrasonic()},
        {QStringLiteral("rotate_left.png"), Rotate(210, 270, QString())},
        {QStringLiteral("rotate_right.png"), Rotate(330, -270, QString())},
        {QStringLiteral("rotate_180.png"), Rotate(0, 180, QStringLiteral("180"))},
        {QStringLiteral("broom.png"), Broom()},
        {QStringLiteral("trash.png"), Trash()},
        {QStringLiteral("zoom_in.png"), Magnifier(true)},
        {QStringLiteral("zoom_out.png"), Magnifier(false)},
        {QStringLiteral("fit_to_width.png"), FitToWidth()},
        {QStringLiteral("fit_to_actual_size.png"), ActualSize()},
        {QStringLiteral("first.png"), Navigate(true, true)},
        {QStringLiteral("previous.png"), Navigate(true, false)},
        {QStringLiteral("next.png"), Navigate(false, false)},
        {QStringLiteral("last.png"), Navigate(false, true)},
        {QStringLiteral("image_document.png"), ImageDocument()},
        {QStringLiteral("scanner.png"), Scanner()},
        {QStringLiteral("automatic.png"), Gear()},
        {QStringLiteral("about.png"), About()},
    };
}

QImage DrawSplash(const QString& title, const QString& subtitle)
{
    Canvas c(483, 160);
    QPainter& p = c.P();
    QLinearGradient bg(0, 0, 483, 160);
    bg.setColorAt(0, QColor(0x17, 0x5d, 0xa8));
    bg.setColorAt(1, QColor(0x0d, 0x2f, 0x5a));
    c.NoPen();
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, 483, 160), 10, 10);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(QPointF(440, 20), 90, 90);
    p.drawImage(QPointF(28, 48), DrawApplicationIcon(64));

    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(112, 34, 360, 52), Qt::AlignLeft | Qt::AlignVCenter, title);
    font.setPixelSize(15);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(0xd6, 0xe6, 0xf7));
    p.drawText(QRectF(114, 88, 360, 26), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    p.setPen(QColor(0x7c, 0xff, 0x9b));
    p.drawLine(QPointF(114, 124), QPointF(300, 124));
    return c.Finish();
}
