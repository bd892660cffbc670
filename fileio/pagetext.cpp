#include "pagetext.h"

#include "pageturn.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

bool PageText::IsEmpty() const
{
    return WordCount() == 0;
}

int PageText::WordCount() const
{
    int count = 0;
    for (const TextParagraph& paragraph : paragraphs)
        for (const TextLine& line : paragraph.lines)
            count += line.words.size();
    return count;
}

namespace {

bool IsWide(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF)    // radicals, kana, CJK ideographs
           || (u >= 0xAC00 && u <= 0xD7AF) // Hangul
           || (u >= 0xF900 && u <= 0xFAFF) // compatibility ideographs
           || (u >= 0xFE30 && u <= 0xFE4F) // vertical forms
           || (u >= 0xFF00 && u <= 0xFFEF) // full-width forms
           || c.isSurrogate();             // ideographs beyond the first plane
}

} // namespace

bool SpaceBetween(const QString& left, const QString& right)
{
    if (left.isEmpty() || right.isEmpty())
        return false;
    return !IsWide(left.back()) && !IsWide(right.front());
}

QString PageText::PlainText() const
{
    QString out;
    for (int p = 0; p < paragraphs.size(); ++p) {
        if (p > 0 && !out.isEmpty())
            out += '\n';
        for (const TextLine& line : paragraphs[p].lines) {
            QString previous;
            for (const TextWord& word : line.words) {
                if (word.text.isEmpty())
                    continue;
                if (SpaceBetween(previous, word.text))
                    out += ' ';
                out += word.text;
                previous = word.text;
            }
            if (!previous.isEmpty())
                out += '\n';
        }
    }
    return out;
}

namespace {

QJsonArray BoxArray(const QRect& r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

bool ReadBox(const QJsonValue& value, const QSize& page, QRect* out)
{
    const QJsonArray a = value.toArray();
    if (a.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        const double d = a[i].toDouble(-1);
        if (d < 0 || d > 1e6 || d != int(d))
            return false;
        v[i] = int(d);
    }
    const QRect r(v[0], v[1], v[2], v[3]);
    if (r.width() < 1 || r.height() < 1 || !QRect(QPoint(0, 0), page).contains(r))
        return false;
    *out = r;
    return true;
}

} // namespace

QByteArray PageTextToJson(const PageText& text)
{
    QJsonArray paragraphs;
    for (const TextParagraph& paragraph : text.paragraphs) {
        QJsonArray lines;
        for (const TextLine& line : paragraph.lines) {
            QJsonArray words;
            for (const TextWord& word : line.words)
                words.append(
                    QJsonObject{{"t", word.text}, {"b", BoxArray(word.box)}, {"c", word.confidence}});
            lines.append(QJsonObject{{"b", BoxArray(line.box)}, {"w", words}});
        }
        paragraphs.append(lines);
    }
    QJsonObject root{{"version", 1},
                     {"width", text.pageSize.width()},
                     {"height", text.pageSize.height()},
                     {"language", text.language},
                     {"paragraphs", paragraphs}};
    // Only a text that is not upright says so (the text of a page not turned
    // since it was recognised reads as it always did).
    if (text.upright != 0)
        root.insert("upright", text.upright);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool PageTextFromJson(const QByteArray& json, PageText* out)
{
    *out = PageText();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    if (root.value("version").toInt() != 1)
        return false;
    const int width = root.value("width").toInt(0);
    const int height = root.value("height").toInt(0);
    if (width < 1 || height < 1 || width > 1000000 || height > 1000000)
        return false;
    PageText text;
    text.pageSize = QSize(width, height);
    text.language = root.value("language").toString();
    const QJsonValue upright = root.value("upright");
    if (!upright.isUndefined()) {
        const double turn = upright.toDouble(-1);
        if (turn != 90 && turn != 180 && turn != 270 && turn != 0)
            return false;
        text.upright = int(turn);
    }
    for (const QJsonValue& p : root.value("paragraphs").toArray()) {
        if (!p.isArray())
            return false;
        TextParagraph paragraph;
        for (const QJsonValue& l : p.toArray()) {
            const QJsonObject lineObject = l.toObject();
            TextLine line;
            if (!ReadBox(lineObject.value("b"), text.pageSize, &line.box))
                return false;
            for (const QJsonValue& w : lineObject.value("w").toArray()) {
                const QJsonObject wordObject = w.toObject();
                TextWord word;
                word.text = wordObject.value("t").toString();
                word.confidence = wordObject.value("c").toInt(-1);
                if (word.text.isEmpty() || word.confidence < 0 || word.confidence > 100 ||
                    !ReadBox(wordObject.value("b"), text.pageSize, &word.box))
                    return false;
                line.words.append(word);
            }
            paragraph.lines.append(line);
        }
        text.paragraphs.append(paragraph);
    }
    *out = text;
    return true;
}

namespace {

// `r` on a page of size `page` after the page is turned clockwise by `turn`.
QRect TurnBox(const QRect& r, const QSize& page, int turn)
{
    const int w = page.width();
    const int h = page.height();
    switch (turn) {
    case 90:
        return QRect(h - (r.y() + r.height()), r.x(), r.height(), r.width());
    case 180:
        return QRect(w - (r.x() + r.width()), h - (r.y() + r.height()), r.width(), r.height());
    case 270:
        return QRect(r.y(), w - (r.x() + r.width()), r.height(), r.width());
    default:
        return r;
    }
}

} // namespace

PageText TurnPageText(const PageText& text, int angle)
{
    const int turn = NormalTurn(angle);
    if (turn <= 0)
        return text;
    PageText out = text;
    out.upright = NormalTurn(text.upright - turn);
    out.pageSize = turn == 180 ? text.pageSize : text.pageSize.transposed();
    for (TextParagraph& paragraph : out.paragraphs)
        for (TextLine& line : paragraph.lines) {
            line.box = TurnBox(line.box, text.pageSize, turn);
            for (TextWord& word : line.words)
                word.box = TurnBox(word.box, text.pageSize, turn);
        }
    return out;
}
