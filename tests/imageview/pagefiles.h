#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Page files for the page-list tests, written with QImage's own writers into
// a folder the test owns.
namespace PageFiles {

// Writes a page of `size` filled with `color`, in the format given by the
// file name's extension ("jpg", "png", "tiff", "pnm", "bmp"). Returns the
// path, or an empty string when writing failed.
QString Write(const QString& dir, const QString& name, QSize size, const QColor& color);

// A page whose left half is `left` and right half is `right`, so that its
// orientation can be told from its pixels.
QString WriteSplit(const QString& dir, const QString& name, QSize size, const QColor& left,
                   const QColor& right);

// A distinct, well separated colour per page number.
QColor ColorFor(int page);

// True when the two colours differ by at most `tolerance` in every channel.
bool Near(const QColor& a, const QColor& b, int tolerance = 24);

// Colour at the centre of `image`.
QColor CenterColor(const QImage& image);

} // namespace PageFiles
