#pragma once

#include <QRectF>
#include <QString>
#include <QVector>

struct PageText;

// One line of a page's recognised text as an OFD text object: where it
// lies on the page and each character's place, in millimetres, y down. A
// line that does not read upright on the page is laid out upright in a box
// of the boundary's size turned, and `ctm` turns that box onto the boundary.
struct OfdTextLine {
    QRectF boundary;        // the line's box on the page
    double size = 0;        // font size: the box height
    double x = 0;           // the first character's start, from the boundary's left
    double y = 0;           // the baseline, from the boundary's top
    QString text;           // the line's words, with a space where one belongs
    QVector<double> deltaX; // from each character's start to the next one's
    QVector<double> ctm;    // a b c d e f, or empty for a line upright on the page
};

// The lines of `text` in reading order on a page of widthMm x heightMm
// whose image fills it; boxes are taken in the frame of text.pageSize, and
// the words read upright once that frame is turned by text.upright. A
// word's characters share its box's width; the last one reaches to the next
// word's start when no space belongs between them, else a space fills the
// gap. No two characters share a place: each starts at least a quarter of
// the advance of the one before it further on, also where recognition gave
// overlapping boxes, so the line keeps its order. The baseline lies a fifth
// of the box height above its bottom.
// Characters no XML document may hold (control characters, lone
// surrogates) are left out, and so are lines without a word.
QVector<OfdTextLine> LayOutOfdText(const PageText& text, double widthMm, double heightMm);
