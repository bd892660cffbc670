#pragma once

// WCAG 2 contrast of what a widget really paints, for the tests that measure
// text and focus frames in rendered images.
#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cmath>

namespace Contrast {

inline double Channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// WCAG 2 relative luminance and contrast ratio.
inline double Luminance(QRgb rgb)
{
    return 0.2126 * Channel(qRed(rgb)) + 0.7152 * Channel(qGreen(rgb)) + 0.0722 * Channel(qBlue(rgb));
}

inline double Ratio(QRgb a, QRgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background of a text is the most frequent colour of its box; the text
// itself the colour, among those covering a few pixels (the glyphs' solid
// stems, not their smoothed edges), that stands out most from it. Returns
// their contrast, or 0 when the box is one colour (no text painted).
inline double TextContrast(const QImage& image, QString* detail)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 0;
    QRgb text = background;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() < 4)
            continue;
        const double ratio = Ratio(it.key(), background);
        if (ratio > best) {
            best = ratio;
            text = it.key();
        }
    }
    *detail = QStringLiteral("text %1 on %2: %3:1")
                  .arg(QColor(text).name(), QColor(background).name())
                  .arg(best, 0, 'f', 2);
    return counts.size() > 1 ? best : 0;
}

} // namespace Contrast
