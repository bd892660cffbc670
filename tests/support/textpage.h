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

// The pages a searchable save is checked with: `First` and `Second` are the
// lines of a document's first two pages (its third has none), drawn on pages
// of `kSaveSize` at `kSaveDpi`.
extern const QStringList First;
extern const QStringList Second;
extern const QSize kSaveSize;
extern const int kSaveDpi;

// The save rows shared by the searchable formats: the columns suffix,
// format, angle, multi (a document of three pages, else one) and sideways
// (recognised as scanned and turned afterwards, its words read sideways or
// upside down on the page as shown).
void AddSaveRows();

// The document of the current save row, written to `folder`: page i as
// "page<i>.<suffix>", each taken with its text (in the file's pixels) and
// without; `texts` are the upright texts as drawn. Unless sideways, the
// pages were scanned lying on their side and the turn sets them upright;
// sideways, they were scanned upright and the turn lays them down. False
// when a file could not be written.
struct Document {
    QList<SavePage> withText;
    QList<SavePage> without;
    QList<PageText> texts;
};
bool WriteRowDocument(const QString& folder, Document* out);

// `text` with every word a space: a text with no word to set.
PageText Blank(PageText text);

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
