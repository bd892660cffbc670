#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

// Boxes of Chinese characters fitted to the ink of the page.
//
// The recogniser places the characters it reads well, but their boxes are
// only where its network saw them, often a character's width off. Chinese
// characters are set on a fixed pitch, so a run of them side by side is cut
// into equal cells between the run's first and last inked column, and each
// box is then drawn tight around the ink of its cell.
class InkBoxes {
public:
    // `ink`: the page as the recogniser thresholded it, one bit per pixel
    // (QImage::Format_Mono, colour index 1 where there is ink).
    explicit InkBoxes(QImage ink) : m_ink(std::move(ink)) {}

    // The boxes of `count` characters set side by side somewhere within
    // `run` (the space between the neighbouring words of their line, from
    // the line's top to its bottom). `count` cells of the run when it has no
    // ink.
    QVector<QRect> Fit(const QRect& run, int count) const;

    // The box of a word the recogniser placed at `box` on the line `line`:
    // its inked columns, grown to the neighbouring ones for as long as the
    // gaps stay narrower than a space, and tight around the ink of the
    // line's rows there. `box` when it holds no ink.
    QRect FitWord(const QRect& box, const QRect& line) const;

private:
    bool Column(int x, int top, int bottom) const;

    // The smallest box around the ink of `area`; a column or row counts as
    // inked with two ink pixels or more (so that specks of dust do not
    // stretch the box). Empty when `area` has none.
    QRect InkOf(const QRect& area) const;
    bool At(int x, int y) const;

    QImage m_ink;
};
