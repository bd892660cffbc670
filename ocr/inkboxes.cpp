#include "inkboxes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Ink pixels a column or row needs to count as inked.
constexpr int kLeastInk = 2;

} // namespace

bool InkBoxes::At(int x, int y) const
{
    const uchar* line = m_ink.constScanLine(y);
    return (line[x >> 3] >> (7 - (x & 7))) & 1;
}

QRect InkBoxes::InkOf(const QRect& area) const
{
    const QRect r = area & m_ink.rect();
    if (r.isEmpty()) {
        return QRect();
    }
    std::vector<int> columns(size_t(r.width()), 0);
    std::vector<int> rows(size_t(r.height()), 0);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (At(x, y)) {
                ++columns[size_t(x - r.left())];
                ++rows[size_t(y - r.top())];
            }
        }
    }
    int left = 0, right = r.width() - 1, top = 0, bottom = r.height() - 1;
    while (left <= right && columns[size_t(left)] < kLeastInk) {
        ++left;
    }
    while (right >= left && columns[size_t(right)] < kLeastInk) {
        --right;
    }
    while (top <= bottom && rows[size_t(top)] < kLeastInk) {
        ++top;
    }
    while (bottom >= top && rows[size_t(bottom)] < kLeastInk) {
        --bottom;
    }
    if (left > right || top > bottom) {
        return QRect();
    }
    return QRect(QPoint(r.left() + left, r.top() + top), QPoint(r.left() + right, r.top() + bottom));
}

QVector<QRect> InkBoxes::Fit(const QRect& run, int count) const
{
    QVector<QRect> boxes;
    if (count <= 0 || run.isEmpty()) {
        return boxes;
    }
    const QRect inked = InkOf(run);
    const QRect span = inked.isEmpty() ? run : QRect(inked.left(), run.top(), inked.width(), run.height());
    const double pitch = double(span.width()) / count;
    for (int i = 0; i < count; ++i) {
        const int left = span.left() + int(std::lround(i * pitch));
        const int right = span.left() + int(std::lround((i + 1) * pitch)) - 1;
        const QRect cell(QPoint(left, span.top()), QPoint(std::max(left, right), span.bottom()));
        const QRect ink = InkOf(cell);
        boxes.append(ink.isEmpty() ? cell : ink);
    }
    return boxes;
}

bool InkBoxes::Column(int x, int top, int bottom) const
{
    int count = 0;
    for (int y = top; y <= bottom && count < kLeastInk; ++y) {
        count += At(x, y) ? 1 : 0;
    }
    return count >= kLeastInk;
}

QRect InkBoxes::FitWord(const QRect& box, const QRect& line) const
{
    const QRect rows = (line | box) & m_ink.rect();
    const QRect seed = box & m_ink.rect();
    if (rows.isEmpty() || seed.isEmpty()) {
        return box;
    }
    const int top = rows.top();
    const int bottom = rows.bottom();
    int left = seed.left();
    while (left <= seed.right() && !Column(left, top, bottom)) {
        ++left;
    }
    int right = seed.right();
    while (right >= left && !Column(right, top, bottom)) {
        --right;
    }
    if (left > right) {
        return box;
    }
    // Letters of a word stand closer than an eighth of the line's height;
    // words are parted by wider spaces.
    const int widestGap = std::max(2, rows.height() / 8);
    for (int x = left - 1, gap = 0; x >= rows.left() && gap <= widestGap; --x) {
        gap = Column(x, top, bottom) ? 0 : gap + 1;
        left = gap == 0 ? x : left;
    }
    for (int x = right + 1, gap = 0; x <= rows.right() && gap <= widestGap; ++x) {
        gap = Column(x, top, bottom) ? 0 : gap + 1;
        right = gap == 0 ? x : right;
    }
    const QRect ink = InkOf(QRect(QPoint(left, top), QPoint(right, bottom)));
    return ink.isEmpty() ? box : ink;
}
