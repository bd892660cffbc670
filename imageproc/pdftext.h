#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

struct PageText;

// The one font a PDF's invisible text is set in: a composite font whose
// two-byte codes (Identity-H) are the characters' UTF-16 units, and for a
// character beyond the first plane a code of the surrogate range given out
// in the order the characters first occur. The font carries no glyphs: every
// glyph is 1 em wide, and its ToUnicode map tells a reader which character a
// code stands for.
class PdfTextFont {
public:
    // The hexadecimal codes of `text`'s characters, four digits each; the
    // map learns every code it gives out. A character beyond the first plane
    // for which no code is left gets the code of U+FFFD.
    QByteArray Codes(const QString& text);
    // The ToUnicode CMap (stream contents) of every code given out so far.
    QByteArray ToUnicode() const;

private:
    quint16 Code(uint character);

    QSet<int> m_highBytes;        // first bytes of the plain codes used
    QHash<uint, quint16> m_extra; // character beyond the first plane -> code
    QVector<uint> m_extraInOrder; // by code - first extra code
};

// Content operators that lay `text` over a page of widthPt x heightPt points
// whose image fills it, unpainted (rendering mode 3), in the font resource
// `fontName` backed by `font`. Boxes are taken in the frame of
// text.pageSize, the page as scanned (however the page is shown); the words
// are set the way they read, upright on the page turned by text.upright:
// through a matrix that takes that turned page back to the unturned one, so
// that a page turned after it was recognised carries its text sideways or
// upside down, as its image shows it. Each word is set from its box's left
// edge on a baseline a fifth of the box height above its bottom, at the box
// height as font size, its glyphs stretched to fill the box; neighbouring
// words that need no space between them (a Chinese phrase) run on without a
// gap: each is stretched up to the next one's start. Empty when there is no
// word to set.
QByteArray PdfTextContent(const PageText& text, double widthPt, double heightPt, const QByteArray& fontName,
                          PdfTextFont* font);
