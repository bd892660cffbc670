#include "pdftext.h"

#include "pagetext.h"
#include "pageturn.h"

#include <QVector>

#include <algorithm>

namespace {

// Codes for characters beyond the first plane: the surrogate range, which
// no character of the first plane uses.
const quint16 kFirstExtraCode = 0xD800;
const quint16 kLastExtraCode = 0xDFFF;
const quint16 kReplacement = 0xFFFD;
// The glyphs' ascent and descent in thousandths of the font size; the font
// descriptor states the same, so that a reader's word box is the word's box.
const double kDescent = 0.2;
// A CMap block holds at most 100 entries.
const int kCMapBlock = 100;

QByteArray Hex4(uint value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0');
}

QByteArray Num(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 2);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

// One word on the page, in points, y upwards.
struct PlacedWord {
    QString text;
    double left = 0, right = 0, bottom = 0, top = 0;
};

// The words of a line that run on without spaces between them.
using Group = QVector<PlacedWord>;

QVector<Group> Groups(const TextLine& line, double sx, double sy, double heightPt)
{
    QVector<Group> groups;
    QString previous;
    for (const TextWord& word : line.words) {
        if (word.text.trimmed().isEmpty() || word.box.isEmpty())
            continue;
        PlacedWord placed;
        placed.text = word.text;
        placed.left = word.box.left() * sx;
        placed.right = (word.box.left() + word.box.width()) * sx;
        placed.top = heightPt - word.box.top() * sy;
        placed.bottom = heightPt - (word.box.top() + word.box.height()) * sy;
        if (groups.isEmpty() || SpaceBetween(previous, word.text))
            groups.append(Group());
        groups.last().append(placed);
        previous = word.text;
    }
    return groups;
}

void SetGroup(const Group& group, const QByteArray& fontName, PdfTextFont* font, QByteArray* out)
{
    double bottom = group.first().bottom, top = group.first().top;
    for (const PlacedWord& word : group) {
        bottom = std::min(bottom, word.bottom);
        top = std::max(top, word.top);
    }
    const double size = top - bottom;
    const double baseline = bottom + kDescent * size;
    *out += "/" + fontName + " " + Num(size) + " Tf\n";
    for (int i = 0; i < group.size(); ++i) {
        const PlacedWord& word = group[i];
        // Up to where the next word starts, so that no gap parts them.
        double end = word.right;
        if (i + 1 < group.size() && group[i + 1].left > word.left)
            end = group[i + 1].left;
        const int characters = word.text.toUcs4().size();
        const double scale = 100.0 * (end - word.left) / (characters * size);
        if (!(scale > 0))
            continue;
        *out += Num(scale) + " Tz 1 0 0 1 " + Num(word.left) + " " + Num(baseline) + " Tm <" +
                font->Codes(word.text) + "> Tj\n";
    }
}

} // namespace

quint16 PdfTextFont::Code(uint character)
{
    if (character < 0x10000) {
        if (character >= kFirstExtraCode && character <= kLastExtraCode)
            character = kReplacement; // a lone surrogate
        m_highBytes.insert(int(character >> 8));
        return quint16(character);
    }
    const auto found = m_extra.constFind(character);
    if (found != m_extra.constEnd())
        return found.value();
    if (m_extraInOrder.size() > kLastExtraCode - kFirstExtraCode)
        return Code(kReplacement);
    const quint16 code = quint16(kFirstExtraCode + m_extraInOrder.size());
    m_extra.insert(character, code);
    m_extraInOrder.append(character);
    return code;
}

QByteArray PdfTextFont::Codes(const QString& text)
{
    QByteArray hex;
    for (uint character : text.toUcs4())
        hex += Hex4(Code(character));
    return hex;
}

QByteArray PdfTextFont::ToUnicode() const
{
    QByteArray map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A code of the first plane stands for the character of the same
    // number: one range per first byte in use.
    QList<int> high = m_highBytes.values();
    std::sort(high.begin(), high.end());
    for (int start = 0; start < high.size(); start += kCMapBlock) {
        const int count = std::min(kCMapBlock, int(high.size()) - start);
        map += QByteArray::number(count) + " beginbfrange\n";
        for (int i = start; i < start + count; ++i) {
            const uint first = uint(high[i]) << 8;
            map += "<" + Hex4(first) + "> <" + Hex4(first | 0xFF) + "> <" + Hex4(first) + ">\n";
        }
        map += "endbfrange\n";
    }
    // The others stand for their character's UTF-16 surrogate pair.
    for (int start = 0; start < m_extraInOrder.size(); start += kCMapBlock) {
        const int count = std::min(kCMapBlock, int(m_extraInOrder.size()) - start);
        map += QByteArray::number(count) + " beginbfchar\n";
        for (int i = start; i < start + count; ++i) {
            const uint c = m_extraInOrder[i];
            const QString pair = QString::fromUcs4(&c, 1);
            map += "<" + Hex4(kFirstExtraCode + uint(i)) + "> <" + Hex4(pair.at(0).unicode()) +
                   Hex4(pair.at(1).unicode()) + ">\n";
        }
        map += "endbfchar\n";
    }
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

QByteArray PdfTextContent(const PageText& unturned, double widthPt, double heightPt,
                          const QByteArray& fontName, PdfTextFont* font)
{
    const int turn = NormalTurn(unturned.upright);
    if (unturned.pageSize.isEmpty() || !(widthPt > 0) || !(heightPt > 0) || turn < 0)
        return QByteArray();
    // The words are set upright on the page turned so that they read left to
    // right; the page's own turn (its /Rotate) plays no part.
    const PageText text = TurnPageText(unturned, turn);
    // The turned page's size, and the matrix that takes a point of it (y
    // up) to the unturned page the content is drawn on.
    const double w = TurnSwapsSides(turn) ? heightPt : widthPt;
    const double h = TurnSwapsSides(turn) ? widthPt : heightPt;
    QByteArray matrix;
    if (turn == 90)
        matrix = "0 1 -1 0 " + Num(widthPt) + " 0 cm\n";
    else if (turn == 180)
        matrix = "-1 0 0 -1 " + Num(widthPt) + " " + Num(heightPt) + " cm\n";
    else if (turn == 270)
        matrix = "0 -1 1 0 0 " + Num(heightPt) + " cm\n";
    const double sx = w / text.pageSize.width();
    const double sy = h / text.pageSize.height();
    QByteArray body;
    for (const TextParagraph& paragraph : text.paragraphs) {
        for (const TextLine& line : paragraph.lines) {
            for (const Group& group : Groups(line, sx, sy, h))
                SetGroup(group, fontName, font, &body);
        }
    }
    if (body.isEmpty())
        return body;
    return "q\n" + matrix + "BT\n3 Tr\n" + body + "ET\nQ\n";
}
