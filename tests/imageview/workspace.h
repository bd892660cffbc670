#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class ImageViewWidget;
class QLabel;
class QScrollArea;
class ThumbListWidget;
class ThumbnailItemDelegate;

// A page workspace inside a host widget, laid out as in the main window:
// the thumbnail column on the left, the large view on the right.
class Workspace {
public:
    explicit Workspace(QSize viewportSize = QSize(320, 400));
    ~Workspace();

    QWidget host;
    ThumbListWidget* list = nullptr;
    ImageViewWidget* view = nullptr;

    QLabel* LargeLabel() const;
    QScrollArea* ScrollArea() const;
    ThumbnailItemDelegate* Delegate() const;
    // Waits until no thumbnail is being decoded and the arrived ones are
    // handed to the column; false on time-out.
    bool WaitForThumbnails() const;
    // What row `row` shows in its image box once its thumbnail has come
    // (null when it shows none); the row is scrolled into view first.
    QImage Picture(int row) const;
    // Row `row` as the column draws it on the screen, scrolled into view and
    // with its thumbnail.
    QImage Cell(int row) const;
    // The page number row `row` shows on the screen, read by Tesseract from
    // the drawn row (empty when it reads none).
    QString NumberShown(int row) const;
    // The page file of the column's row `row`.
    QString RowPath(int row) const;
    QStringList RowPaths() const;
    // Selected rows of the column's selection, in order.
    QList<int> SelectedRows() const;

    // Empty when the column draws every row of the page list with the
    // thumbnail of its own page; otherwise a description of the first
    // disagreement. Thumbnails are matched to their page by colour, so pages
    // must have distinct colours.
    QString CheckInvariant() const;
};
