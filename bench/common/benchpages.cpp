#include "benchpages.h"

#include <QPainter>
#include <QRandomGenerator>

namespace BenchPages {

namespace {
const int kDotsPerMetre = 11811; // 300 dpi
} // namespace

QImage Document(int index, int height)
{
    QImage page(2480, height, QImage::Format_RGB32);
    page.fill(qRgb(246, 244, 238));
    QPainter p(&page);
    p.setPen(QPen(QColor(30, 30, 40), 3));
    quint32 seed = 1234567u + quint32(index) * 7919u;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int line = 0; line < 70; ++line) {
        const int y = 300 + line * 42;
        for (int x = 250; x < 2230;) {
            const int w = 20 + int(next() % 90);
            p.drawLine(x, y, x + w, y + int(next() % 20) - 10);
            x += w + 18;
        }
    }
    QLinearGradient g(0, 0, 800, 600);
    g.setColorAt(0, QColor(40 + index, 90, 160));
    g.setColorAt(1, QColor(220, 120, 60));
    p.fillRect(1400, 400, 800, 600, g);
    p.end();
    page.setDotsPerMeterX(kDotsPerMetre);
    page.setDotsPerMeterY(kDotsPerMetre);
    return page;
}

QImage Letter(int seed)
{
    QRandomGenerator random(quint32(seed + 1));
    QImage page(2480, 3508, QImage::Format_RGB32);
    page.fill(QColor(246, 244, 238));
    QPainter painter(&page);
    for (int y = 300; y < 3200; y += 60) {
        int x = 250;
        while (x < 2200) {
            const int word = 40 + random.bounded(160);
            painter.fillRect(x, y, word, 30, QColor(20 + random.bounded(60), 20, 40 + random.bounded(80)));
            x += word + 25;
        }
    }
    for (int y = 2000; y < 2800; ++y) {
        auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
        for (int x = 1300; x < 2200; ++x) {
            const int v = random.bounded(256);
            line[x] = qRgb(v, (v + x) & 0xff, (v + y) & 0xff);
        }
    }
    painter.end();
    page.setDotsPerMeterX(kDotsPerMetre);
    page.setDotsPerMeterY(kDotsPerMetre);
    return page;
}

} // namespace BenchPages
