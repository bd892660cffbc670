#include "ofdtext.h"

#include "pagetext.h"
#include "pageturn.h"

#include <algorithm>

namespace {

const double kDescent = 0.2;
// The least step from a character to the next, as a share of its advance.
const double kMinStep = 0.25;

// Characters an XML document may hold: no control characters, no lone
// surrogates, not U+FFFE and U+FFFF.
bool Writable(uint c)
{
    return c >= 0x20 && !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

QVector<uint> WritableCharacters(const QString& text)
{
    QVector<uint> characters;
    for (uint c : text.toUcs4()) {
        if (Writable(c))
            characters.append(c);
    }
    return characters;
}

struct Word {
    QVector<uint> characters;
    double left = 0, right = 0;
};

// The steps from each character's start to the next one's, for characters
// that would start at `starts`: each at least kMinStep of the advance of
// the character it follows, so that no two share a place and the line's
// order stays, even where recognition gave overlapping boxes.
QVector<double> Steps(const QVector<double>& starts, const QVector<double>& advances)
{
    QVector<double> steps;
    double at = starts.isEmpty() ? 0 : starts.first();
    for (int i = 1; i < starts.size(); ++i) {
        const double next = std::max(starts[i], at + kMinStep * advances[i - 1]);
        steps.append(next - at);
        at = next;
    }
    return steps;
}

OfdTextLine LayOutLine(const TextLine& line, double sx, double sy)
{
    OfdTextLine out;
    QVector<Word> words;
    QVector<bool> spaceBefore;
    QString previous;
    for (const TextWord& word : line.words) {
        const QVector<uint> characters = WritableCharacters(word.text);
        if (word.text.trimmed().isEmpty() || characters.isEmpty() || word.box.isEmpty())
            continue;
        const QRectF box(word.box.left() * sx, word.box.top() * sy, word.box.width() * sx,
                         word.box.height() * sy);
        out.boundary = out.boundary.isNull() ? box : out.boundary.united(box);
        words.append(Word{characters, box.left(), box.right()});
        spaceBefore.append(!previous.isEmpty() && SpaceBetween(previous, word.text));
        previous = word.text;
    }
    if (words.isEmpty())
        return out;
    out.size = out.boundary.height();
    out.x = words.first().left - out.boundary.left();
    out.y = out.boundary.height() * (1 - kDescent);
    // Where each character would start, and its advance: a word's
    // characters share its box's width, a space fills the gap to the next
    // word.
    QVector<double> starts, advances;
    for (int i = 0; i < words.size(); ++i) {
        const Word& word = words[i];
        const int n = word.characters.size();
        const double advance = (word.right - word.left) / n;
        if (spaceBefore[i]) {
            out.text += ' ';
            starts.append(words[i - 1].right);
            advances.append(advances.last());
        }
        for (int c = 0; c < n; ++c) {
            out.text += QString::fromUcs4(&word.characters[c], 1);
            starts.append(word.left + c * advance);
            advances.append(advance);
        }
    }
    out.deltaX = Steps(starts, advances);
    return out;
}

// `r` in a frame of size `frame` after the frame is turned clockwise by
// `turn`.
QRectF TurnRect(const QRectF& r, const QSizeF& frame, int turn)
{
    switch (turn) {
    case 90:
        return QRectF(frame.height() - r.bottom(), r.x(), r.height(), r.width());
    case 180:
        return QRectF(frame.width() - r.right(), frame.height() - r.bottom(), r.width(), r.height());
    case 270:
        return QRectF(r.y(), frame.width() - r.right(), r.height(), r.width());
    default:
        return r;
    }
}

// The matrix that takes a box of `size` onto the same box turned clockwise
// by `turn` (its own top left corner the origin of both).
QVector<double> TurnMatrix(const QSizeF& size, int turn)
{
    switch (turn) {
    case 90:
        return {0, 1, -1, 0, size.height(), 0};
    case 180:
        return {-1, 0, 0, -1, size.width(), size.height()};
    case 270:
        return {0, -1, 1, 0, 0, size.width()};
    default:
        return {};
    }
}

} // namespace

QVector<OfdTextLine> LayOutOfdText(const PageText& shown, double widthMm, double heightMm)
{
    QVector<OfdTextLine> lines;
    const int turn = NormalTurn(shown.upright);
    if (shown.pageSize.isEmpty() || !(widthMm > 0) || !(heightMm > 0) || turn < 0)
        return lines;
    // Laid out on the page turned so that the words read upright, then each
    // line's box is turned back onto the page.
    const PageText text = TurnPageText(shown, turn);
    const QSizeF upright = TurnSwapsSides(turn) ? QSizeF(heightMm, widthMm) : QSizeF(widthMm, heightMm);
    const int back = NormalTurn(-turn);
    const double sx = upright.width() / text.pageSize.width();
    const double sy = upright.height() / text.pageSize.height();
    for (const TextParagraph& paragraph : text.paragraphs) {
        for (const TextLine& line : paragraph.lines) {
            OfdTextLine laid = LayOutLine(line, sx, sy);
            if (laid.text.isEmpty())
                continue;
            if (back != 0) {
                laid.ctm = TurnMatrix(laid.boundary.size(), back);
                laid.boundary = TurnRect(laid.boundary, upright, back);
            }
            lines.append(laid);
        }
    }
    return lines;
}
