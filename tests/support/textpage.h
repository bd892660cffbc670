#pragma once

#include "pagetext.h"
#include "pageturn.h"

#include <QImage>
#include <QList>
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

// A document of such pages for a save: page i drawn from `contents[i]` and
// written to `folder` as "page<i>.<suffix>" as it was scanned, lying on its
// side, so that a turn by `angle` sets it upright again. Each page is taken
// with its text (in the file's pixels) and without; `texts` are the upright
// texts as drawn. False when a file could not be written.
struct Document {
    QList<SavePage> withText;
    QList<SavePage> without;
    QList<PageText> texts;
};
bool WriteDocument(const QList<QStringList>& contents, const QSize& size, int dpi, QImage::Format format,
                   const QString& folder, const QString& suffix, int angle, Document* out);

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
