#pragma once

// The simulator as the tests see it: choosing the scenario of the next scans
// and reading a page's sheet marker ("3A") back.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace SimPage {

// Replaces the scenario control file in this test's SANE configuration
// folder ($SANE_CONFIG_DIR/scenario.conf). False when it cannot be written.
bool WriteScenario(const QString& text);

// The sheet marker of a page scanned at dpi; empty when none is readable.
QString Marker(const QImage& page, int dpi);

// The sheet marker of a page file; "<unreadable>" when the file is not an
// image.
QString FileMarker(const QString& path, int dpi);

// The simulator's pages of printed text ("text=on" in the scenario): the
// lines of each text page as the truth file holds them, in page order.
QList<QStringList> TextPages();
// The text page (0-based) that side `side` ('A' or 'B') of sheet `sheet`
// carries: sides 1A, 1B, 2A, ... take the pages in turn, cycling.
int TextPageOf(int sheet, char side);
// The lines printed on that side.
QStringList SideText(int sheet, char side);
// The image of text page `index` (0-based) the drivers copy into the pages,
// at 300 dpi.
QImage TextImage(int index);

} // namespace SimPage
