#pragma once

#include <QByteArray>
#include <QImage>

class QPainter;

// The application icon: a page on the scanner glass crossed by the scan beam.
// Its geometry is laid out on a 64 x 64 grid; the painter may scale it.

// Paints the icon into (0, 0)-(64, 64) of the painter's coordinates, for a
// target `pixels` device pixels wide. Small targets get strokes of at least
// one device pixel, lines placed on pixel centres and fewer text lines, so
// that the page stays readable at menu and panel sizes.
void PaintApplicationIcon(QPainter& p, int pixels);

// The icon drawn at size x size pixels, transparent outside the rounded square.
QImage DrawApplicationIcon(int size);

// The icon as a scalable SVG document (view box 0 0 64 64), drawn by the same
// painting code through Qt's SVG paint engine.
QByteArray ApplicationIconSvg();
