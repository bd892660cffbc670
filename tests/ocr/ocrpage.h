#pragma once

#include "pagetext.h"

#include <QImage>
#include <QString>
#include <QStringList>

// Pages of known text for judging the recogniser: drawn with a Noto CJK font,
// with the truth (the text and the box of every word, in the pixels of the
// page) taken from the font's own metrics.
namespace OcrPage {

enum class Ink { Colour, Grey, BlackWhite };

struct Sheet {
    QStringList lines;
    QString family = QStringLiteral("Noto Sans CJK SC");
    int points = 12;
    int dpi = 300;
    Ink ink = Ink::Grey;
    bool noise = false; // mild scanner noise (flipped pixels for black-and-white)
    double skew = 0.0;  // degrees, clockwise
};

struct Page {
    QImage image;   // with the resolution set
    PageText truth; // one line per text line; words as the recogniser marks them
};

// Draws the page of `sheet`. Words are what the recogniser reports as words:
// Chinese characters one by one, other text parted at spaces.
Page Render(const Sheet& sheet);

// `text` in NFKC form without any white space: the form texts are compared in.
QString Comparable(const QString& text);

// Levenshtein distance between `a` and `b` in characters.
int EditDistance(const QString& a, const QString& b);

// Intersection over union of two boxes (0 when either is empty).
double Overlap(const QRect& a, const QRect& b);

// The share of the words of `truth` for which some word of `found` overlaps
// by at least `least` (intersection over union).
double MatchedWords(const PageText& truth, const PageText& found, double least);

// The text of the `tesseract` command on image `path` in `languages`, run
// single-threaded; empty with `error` set when it cannot run.
QString CommandText(const QString& path, const QString& languages, QString* error);

} // namespace OcrPage
