#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// What the workspace shows in place of a page whose data never completed (a
// jam, a cover opened or an unplug while the sheet was read): a blank sheet
// crossed out, with the mark "未完成" across it, so that such a page can
// never be taken for a page that was scanned.
namespace InterruptedPage {

// The mark's text, "未完成".
QString MarkText();

// A sheet of the given size with the mark drawn across it.
QImage Picture(const QSize& size);

// Size of the large view's picture (an A4 sheet's proportions).
QSize LargeSize();

} // namespace InterruptedPage
