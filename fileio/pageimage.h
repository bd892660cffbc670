#pragma once

#include <QImage>
#include <QString>

// Page files as images: decoding with the resolution the page was scanned
// at, and the resolution units image files use.

constexpr double kMetresPerInch = 0.0254;
constexpr double kCentimetresPerInch = 2.54;

// The resolution of a PNM page file without a "#dpi:" comment.
constexpr int kDefaultPnmDpi = 200;

// Dots per metre for `dpi`, rounded. A resolution whose dots per metre do
// not fit in an int (a page file may claim any number) gives the largest
// that does.
int DotsPerMetre(int dpi);

// Dots per inch for `dotsPerMetre`, rounded.
int DotsPerInch(int dotsPerMetre);

// Dots per inch from a PNM file's "#dpi:" comment (its second line);
// kDefaultPnmDpi without one. Never reads the raster.
int PnmResolution(const QString& path);

// Decodes a page file, 16-bit PNM pages at their full depth; a PNM page
// gets the resolution of its "#dpi:" comment (kDefaultPnmDpi without one),
// other pages keep what their file says.
QImage LoadPageImage(const QString& path);
