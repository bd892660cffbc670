#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class ImageViewWidget;
class QLabel;
class QScrollArea;
class ThumbListWidget;
class ThumbnailWidget;

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
    ThumbnailWidget* Thumb(int row) const;
    QString RowPath(int row) const;
    QStringList RowPaths() const;
    QList<int> SelectedRows() const;

    // Empty when rows, page paths, thumbnails and numbers agree; otherwise
    // a description of the first disagreement. Thumbnails are matched to
    // their page by colour, so pages must have distinct colours.
    QString CheckInvariant() const;
};
