#include "appicon.h"

#include "painting.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QtMath>

namespace {

constexpr double kGrid = 64.0;

// Grid-to-pixel mapping of one target size. Below kCrispBelow pixels the
// strokes are widened to whole device pixels and centred on them.
class IconGrid {
public:
    explicit IconGrid(int pixels) : m_scale(pixels / kGrid), m_crisp(pixels < kCrispBelow) {}

    // Text lines drawn on the page, as grid rows: three need a pitch of at
    // least three device pixels.
    QList<double> TextRows() const
    {
        return m_scale * 6.0 >= 3.0 ? QList<double>{20.0, 26.0, 32.0} : QList<double>{21.0, 30.0};
    }

    // A stroke width in grid units, never thinner than minPixels device pixels.
    double Width(double units, double minPixels = 1.0) const
    {
        double px = qMax(units * m_scale, minPixels);
        if (m_crisp) {
            px = qMax(1.0, std::round(px));
        }
        return px / m_scale;
    }
    // A line position in grid units moved onto the device grid, so that a
    // stroke of the given width covers whole pixels.
    double Line(double units, double width) const
    {
        if (!m_crisp) {
            return units;
        }
        const double px = width * m_scale;
        const bool odd = static_cast<int>(std::round(px)) % 2 == 1;
        const double pos = odd ? std::floor(units * m_scale) + 0.5 : std::round(units * m_scale);
        return pos / m_scale;
    }
    // An edge (fill boundary) in grid units moved onto a pixel boundary.
    double Edge(double units) const { return m_crisp ? std::round(units * m_scale) / m_scale : units; }

private:
    static constexpr int kCrispBelow = 48;
    double m_scale;
    bool m_crisp;
};

QPen RoundPen(const QColor& color, double width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void PaintBackground(QPainter& p, const IconGrid& g)
{
    QLinearGradient bg(0, 0, 0, kGrid);
    bg.setColorAt(0, Palette::kBlue.lighter(120));
    bg.setColorAt(1, Palette::kBlue.darker(120));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    // The same margin on every side, also when the grid edge falls between pixels.
    const double lo = g.Edge(2), hi = kGrid - lo;
    p.drawRoundedRect(QRectF(lo, lo, hi - lo, hi - lo), 12, 12);
}

// The sheet with its folded corner and the lines of text.
void PaintPage(QPainter& p, const IconGrid& g)
{
    const double outline = g.Width(1.6);
    const double left = g.Line(16, outline), right = g.Line(44, outline);
    const double top = g.Line(9, outline), bottom = g.Line(47, outline);
    const double fold = 8.4;
    QPainterPath sheet;
    sheet.moveTo(left, top);
    sheet.lineTo(right - fold, top);
    sheet.lineTo(right, top + fold);
    sheet.lineTo(right, bottom);
    sheet.lineTo(left, bottom);
    sheet.closeSubpath();
    p.setPen(RoundPen(Palette::kInk, outline));
    p.setBrush(Palette::kPaper);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    p.setBrush(Qt::NoBrush);
    p.drawPath(corner);

    const double text = g.Width(2.0);
    p.setPen(RoundPen(Palette::kGrey, text));
    for (double row : g.TextRows()) {
        const double y = g.Line(row, text);
        p.drawLine(QPointF(21, y), QPointF(39, y));
    }
}

// The green scan beam across the page and the glass below it.
void PaintScanner(QPainter& p, const IconGrid& g)
{
    const double beam = g.Width(3.5, 1.5);
    const double y = g.Line(38, beam);
    p.setPen(RoundPen(QColor(0x7c, 0xff, 0x9b), beam));
    p.drawLine(QPointF(9, y), QPointF(55, y));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xff, 0xff, 200));
    const double top = g.Edge(48), bottom = qMax(g.Edge(55), top + g.Width(1.0, 2.0));
    p.drawRoundedRect(QRectF(12, top, 40, bottom - top), 3, 3);
}

} // namespace

void PaintApplicationIcon(QPainter& p, int pixels)
{
    const IconGrid grid(pixels);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    PaintBackground(p, grid);
    PaintPage(p, grid);
    PaintScanner(p, grid);
    p.restore();
}

QImage DrawApplicationIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.scale(size / kGrid, size / kGrid);
    PaintApplicationIcon(p, size);
    p.end();
    return icon;
}

QByteArray ApplicationIconSvg()
{
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRectF(0, 0, kGrid, kGrid));
    svg.setTitle(QStringLiteral("scanvy"));
    svg.setDescription(QStringLiteral("Application icon of scanvy"));
    QPainter p(&svg);
    PaintApplicationIcon(p, 64);
    p.end();
    // The generator gives the document's size in millimetres at its
    // resolution; an icon's natural size is its 64 x 64 grid in pixels.
    QString text = QString::fromUtf8(buffer.data());
    text.replace(QRegularExpression(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\"")),
                 QStringLiteral("<svg width=\"64\" height=\"64\""));
    return text.toUtf8();
}
