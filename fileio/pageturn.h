#pragma once

#include "pagetext.h"

#include <QImage>
#include <QList>
#include <QString>

// A page as a save takes it: its file and how far the page is turned
// clockwise (0, 90, 180 or 270 degrees). The file holds the page as it was
// scanned; the turn is applied once, by the writer of the output. The
// page's recognised text (empty when there is none) goes into the formats
// that carry text, PDF and OFD, turned with the page.
struct SavePage {
    SavePage() = default;
    SavePage(const QString& path, int angle, const PageText& text = PageText())
        : path(path), angle(angle), text(text)
    {
    }

    QString path;
    int angle = 0;
    PageText text;
};

// The pages of `paths`, none turned.
QList<SavePage> UnturnedPages(const QList<QString>& paths);

// `angle` as one of 0, 90, 180, 270 (clockwise); any multiple of 90, also
// negative ones, is taken modulo 360. -1 for an angle that is no multiple of
// 90.
int NormalTurn(int angle);

// True when the turn swaps the page's width and height.
inline bool TurnSwapsSides(int angle)
{
    return NormalTurn(angle) == 90 || NormalTurn(angle) == 270;
}

// `image` turned clockwise by `angle` (a multiple of 90), pixel for pixel:
// the same format and colour table, every pixel moved and none changed; the
// horizontal and vertical resolutions trade places with the sides. Works on
// every format of 1, 8, 16, 24, 32 or 64 bits per pixel. Null for an angle
// that is no multiple of 90 or when the image cannot be made.
QImage TurnImage(const QImage& image, int angle);
