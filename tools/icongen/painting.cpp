#include "painting.h"

#include <QtMath>

Canvas::Canvas(int width, int height)
    : m_image(width, height < 0 ? width : height, QImage::Format_ARGB32_Premultiplied)
{
    m_image.fill(Qt::transparent);
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    Pen(Palette::kInk);
}

QImage Canvas::Finish()
{
    m_painter.end();
    return m_image;
}

void Canvas::Pen(const QColor& color, double width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    m_painter.setPen(pen);
}

void Canvas::NoPen()
{
    m_painter.setPen(Qt::NoPen);
}

void Canvas::Page(const QRectF& r, const QColor& fill)
{
    const double fold = qMin(r.width(), r.height()) * 0.3;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    m_painter.setBrush(fill);
    Pen(Palette::kInk, 1.6);
    m_painter.drawPath(path);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawPath(corner);
}

void Canvas::Arrow(QPointF a, QPointF b, const QColor& color, double width, double head)
{
    const QLineF line(a, b);
    const double angle = qDegreesToRadians(line.angle());
    const QPointF dir(qCos(angle), -qSin(angle));
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = b - dir * head;
    Pen(color, width);
    m_painter.drawLine(a, base + dir * 0.5);
    QPolygonF tip;
    tip << b << base + normal * (head * 0.75) << base - normal * (head * 0.75);
    NoPen();
    m_painter.setBrush(color);
    m_painter.drawPolygon(tip);
    m_painter.setBrush(Qt::NoBrush);
}

void Canvas::ArcArrow(const QRectF& box, double startDeg, double spanDeg, const QColor& color)
{
    Pen(color, 2.6);
    m_painter.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.arcMoveTo(box, startDeg);
    arc.arcTo(box, startDeg, spanDeg);
    m_painter.drawPath(arc);

    const double endDeg = startDeg + spanDeg;
    const double rad = qDegreesToRadians(endDeg);
    const QPointF c = box.center();
    const QPointF end(c.x() + box.width() / 2 * qCos(rad), c.y() - box.height() / 2 * qSin(rad));
    // Tangent in the direction of travel along the arc.
    const double sign = spanDeg >= 0 ? 1.0 : -1.0;
    const QPointF tangent(-qSin(rad) * sign, -qCos(rad) * sign);
    const QPointF normal(-tangent.y(), tangent.x());
    const double head = 6.5;
    QPolygonF tip;
    tip << end + tangent * head << end + normal * head * 0.8 << end - normal * head * 0.8;
    NoPen();
    m_painter.setBrush(color);
    m_painter.drawPolygon(tip);
    m_painter.setBrush(Qt::NoBrush);
}
