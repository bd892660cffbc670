#include "pixelcheck.h"

#include <cstdlib>

namespace PixelCheck {

QImage TurnedByHand(const QImage& image, int angle, QImage::Format format)
{
    const QImage src = image.convertToFormat(format);
    const int w = src.width();
    const int h = src.height();
    const int a = ((angle % 360) + 360) % 360;
    const bool swap = a == 90 || a == 270;
    QImage out(swap ? h : w, swap ? w : h, format);
    for (int ty = 0; ty < out.height(); ++ty) {
        for (int tx = 0; tx < out.width(); ++tx) {
            const QPoint from = a == 90    ? QPoint(ty, h - 1 - tx)
                                : a == 180 ? QPoint(w - 1 - tx, h - 1 - ty)
                                : a == 270 ? QPoint(w - 1 - ty, tx)
                                           : QPoint(tx, ty);
            if (format == QImage::Format_RGBA64)
                reinterpret_cast<quint64*>(out.scanLine(ty))[tx] =
                    reinterpret_cast<const quint64*>(src.constScanLine(from.y()))[from.x()];
            else
                out.setPixel(tx, ty, src.pixel(from));
        }
    }
    return out;
}

double MeanDifference(const QImage& a, const QImage& b, bool frameOnly)
{
    if (a.isNull() || a.size() != b.size())
        return 1e9;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            if (frameOnly && row > 0 && col > 0 && row < x.height() - 1 && col < x.width() - 1)
                continue;
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            ++count;
        }
    }
    return sum / (3.0 * count);
}

} // namespace PixelCheck
