#include "pageturn.h"

#include <algorithm>

QList<SavePage> UnturnedPages(const QList<QString>& paths)
{
    QList<SavePage> pages;
    pages.reserve(paths.size());
    for (const QString& path : paths)
        pages.append(SavePage{path, 0});
    return pages;
}

int NormalTurn(int angle)
{
    if (angle % 90 != 0)
        return -1;
    return ((angle % 360) + 360) % 360;
}

namespace {

// Where the pixel at (x, y) of a w x h image goes when turned clockwise.
inline void Target(int turn, int w, int h, int x, int y, int* tx, int* ty)
{
    switch (turn) {
    case 90:
        *tx = h - 1 - y;
        *ty = x;
        break;
    case 180:
        *tx = w - 1 - x;
        *ty = h - 1 - y;
        break;
    default: // 270
        *tx = y;
        *ty = w - 1 - x;
        break;
    }
}

// Bits of the pixel at `x` of a 1-bit row, in the image's bit order.
inline bool Bit(const uchar* row, int x, bool lsb)
{
    return lsb ? (row[x >> 3] >> (x & 7)) & 1 : (row[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void SetBit(uchar* row, int x, bool lsb)
{
    row[x >> 3] |= lsb ? uchar(1u << (x & 7)) : uchar(0x80u >> (x & 7));
}

struct Pixel24 {
    uchar bytes[3];
};

// Side of the squares of pixels moved together: a square's source and
// target rows stay in the cache.
constexpr int kTile = 64;

// Moves every pixel of `image` (pixels of type T) to where the turn puts it
// in the rows at `base`, square by square.
template <typename T> void TurnPixels(const QImage& image, int turn, uchar* base, qsizetype stride)
{
    const int w = image.width();
    const int h = image.height();
    for (int y0 = 0; y0 < h; y0 += kTile) {
        const int y1 = std::min(h, y0 + kTile);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const T* row = reinterpret_cast<const T*>(image.constScanLine(y));
                for (int x = x0; x < x1; ++x) {
                    int tx = 0, ty = 0;
                    Target(turn, w, h, x, y, &tx, &ty);
                    reinterpret_cast<T*>(base + ty * stride)[tx] = row[x];
                }
            }
        }
    }
}

} // namespace

QImage TurnImage(const QImage& image, int angle)
{
    const int turn = NormalTurn(angle);
    if (turn < 0 || image.isNull())
        return QImage();
    if (turn == 0)
        return image;
    const int w = image.width();
    const int h = image.height();
    const bool swap = turn != 180;
    QImage out(swap ? h : w, swap ? w : h, image.format());
    if (out.isNull())
        return QImage();
    out.setColorTable(image.colorTable());
    out.setDotsPerMeterX(swap ? image.dotsPerMeterY() : image.dotsPerMeterX());
    out.setDotsPerMeterY(swap ? image.dotsPerMeterX() : image.dotsPerMeterY());
    const int depth = image.depth();
    uchar* const base = out.bits();
    const qsizetype stride = out.bytesPerLine();
    if (depth == 1) {
        const bool lsb = image.format() == QImage::Format_MonoLSB;
        out.fill(0);
        for (int y = 0; y < h; ++y) {
            const uchar* row = image.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                if (!Bit(row, x, lsb))
                    continue;
                int tx = 0, ty = 0;
                Target(turn, w, h, x, y, &tx, &ty);
                SetBit(base + ty * stride, tx, lsb);
            }
        }
        return out;
    }
    switch (depth) {
    case 8:
        TurnPixels<quint8>(image, turn, base, stride);
        break;
    case 16:
        TurnPixels<quint16>(image, turn, base, stride);
        break;
    case 24:
        TurnPixels<Pixel24>(image, turn, base, stride);
        break;
    case 32:
        TurnPixels<quint32>(image, turn, base, stride);
        break;
    case 64:
        TurnPixels<quint64>(image, turn, base, stride);
        break;
    default:
        return QImage();
    }
    return out;
}
