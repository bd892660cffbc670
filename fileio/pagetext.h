#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

// The recognised text of one page. Boxes are in the pixels of the page file
// as it was scanned (no turn applied): a page's angle turns its text the way
// it turns its image, when it is shown or saved.
struct TextWord {
    QString text;
    QRect box;
    int confidence = 0; // 0 to 100
};

struct TextLine {
    QVector<TextWord> words;
    QRect box;
};

struct TextParagraph {
    QVector<TextLine> lines;
};

struct PageText {
    QSize pageSize;   // pixels of the page file the boxes refer to
    QString language; // the recognition languages, "chi_sim+eng"
    // The clockwise turn (0, 90, 180, 270) of the boxes' frame that sets the
    // words upright, reading left to right: the turn the page was recognised
    // at, for a text in the pixels of the file. A page turned after it was
    // recognised shows its text sideways or upside down.
    int upright = 0;
    QVector<TextParagraph> paragraphs; // in reading order

    bool IsEmpty() const;
    int WordCount() const;
    // The words in reading order: a line's words joined with one space,
    // except between two words that meet at a Chinese, Japanese or Korean
    // character (no space is put inside a Chinese phrase); lines end in
    // '\n', paragraphs are parted by an empty line.
    QString PlainText() const;
};

// True when a space belongs between two neighbouring words of a line.
bool SpaceBetween(const QString& left, const QString& right);

// The text as a compact JSON document, and back. Reading checks every
// value: a document that is not ours, or whose boxes leave the page, gives
// false and leaves `out` empty.
QByteArray PageTextToJson(const PageText& text);
bool PageTextFromJson(const QByteArray& json, PageText* out);

// The text of the page turned clockwise by `angle` (a multiple of 90): the
// page size and every box turn with the page, and the turn that sets the
// words upright is `angle` less. An angle that is no multiple of 90 gives
// the text unchanged.
PageText TurnPageText(const PageText& text, int angle);
