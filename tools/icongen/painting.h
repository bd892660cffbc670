#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>

// Shared palette and strokes of the generated glyphs, so that every icon
// uses the same line weight and colours.
namespace Palette {
const QColor kInk(0x2f, 0x3e, 0x4e);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kBlue(0x1e, 0x78, 0xd2);
const QColor kLightBlue(0xbb, 0xdb, 0xf7);
const QColor kGreen(0x2e, 0x9d, 0x48);
const QColor kRed(0xd8, 0x3b, 0x3b);
const QColor kOrange(0xef, 0x8a, 0x17);
const QColor kGrey(0x90, 0x9c, 0xa8);
} // namespace Palette

// A transparent canvas with antialiasing and the standard ink pen.
class Canvas {
public:
    explicit Canvas(int width, int height = -1);

    QPainter& P() { return m_painter; }
    QImage Finish();

    void Pen(const QColor& color, double width = 2.0);
    void NoPen();
    // A sheet of paper with a folded corner.
    void Page(const QRectF& rect, const QColor& fill = Palette::kPaper);
    // A straight arrow from a to b with a filled head.
    void Arrow(QPointF a, QPointF b, const QColor& color, double width = 2.5, double head = 6.0);
    // A circular arrow: arc from start over span degrees (Qt convention), head at the end.
    void ArcArrow(const QRectF& box, double startDeg, double spanDeg, const QColor& color);

private:
    QImage m_image;
    QPainter m_painter;
};
