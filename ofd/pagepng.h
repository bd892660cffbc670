#pragma once

#include <QString>

// Writes a page file that is not JPEG or PNG (TIFF, PNM, anything Qt reads)
// as a PNG file of the same pixels, keeping the page's own kind: 1-bit
// stays 1-bit (white stays white whichever way the page codes it), 8-bit
// grey and RGB stay 8-bit, 16-bit grey and RGB stay 16-bit. TIFF and PNM
// pages are read row by row; other files are decoded whole through Qt. The
// resolution goes into a pHYs chunk. libpng and libtiff errors come back as
// false, never as a process exit.
namespace PagePng {

// Writes `page` as PNG into the new file `out` (which must not exist; it is
// created readable by the user only). False when the page cannot be read or
// the file cannot be written; a partial `out` may then remain.
bool Write(const QString& page, const QString& out);

} // namespace PagePng
