#pragma once

// The simulator as the tests see it: choosing the scenario of the next scans
// and reading a page's sheet marker ("3A") back.

#include <QImage>
#include <QString>

namespace SimPage {

// Replaces the scenario control file in this test's SANE configuration
// folder ($SANE_CONFIG_DIR/scenario.conf). False when it cannot be written.
bool WriteScenario(const QString& text);

// The sheet marker of a page scanned at dpi; empty when none is readable.
QString Marker(const QImage& page, int dpi);

// The sheet marker of a page file; "<unreadable>" when the file is not an
// image.
QString FileMarker(const QString& path, int dpi);

} // namespace SimPage
