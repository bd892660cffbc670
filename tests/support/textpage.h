#pragma once

#include "pagetext.h"

#include <QImage>
#include <QRectF>
#include <QStringList>
#include <QVector>

// Pages of known text, drawn with a Chinese and Latin font, and the text
// as recognition would give it back: the words with their true boxes (the
// ink of each word), a Chinese character being a word of its own.
namespace TextPage {

struct Page {
    QImage image;
    PageText text;
};

// `lines` drawn top down on a white page of `size` pixels at `dpi`, in
// `format`; words of a line are parted by spaces, and every Chinese
// character is a word of its own. Paragraphs are parted by empty lines.
Page Draw(const QStringList& lines, const QSize& size, int dpi, QImage::Format format);

// The runs of words a reader sees as one word: the words of each line that
// follow each other with no space between them (SpaceBetween), joined, with
// the union of their boxes; in reading order.
struct Run {
    QString text;
    QRect box;
};
QVector<Run> Runs(const PageText& text);

// Intersection over union of two boxes.
double Overlap(const QRectF& a, const QRectF& b);

} // namespace TextPage
