#pragma once

#include <QList>
#include <QListView>
#include <QPoint>

class QMimeData;
class QTimer;

// The thumbnail column: a view of the page list, sharing the list's
// selection (whose current index is the list's current page). A press on
// empty space below the last row is dropped so that it neither clears the
// selection nor moves the current row.
//
// The selected thumbnails can be dragged to another place in the column
// (while reordering is enabled): a line marks the gap they will land in, and
// the column scrolls when the pointer nears its top or bottom edge. The drop
// itself is only reported; the owner moves the rows. The context menu also
// opens from the keyboard (Menu key, Shift+F10), at the current thumbnail.
class ThumbListWidget : public QListView {
    Q_OBJECT

public:
    // Drag data of the column's own rows.
    static const char kRowsMimeType[];

    explicit ThumbListWidget(QWidget* parent = nullptr);

    // Scrolls the column so that the current thumbnail is wholly visible.
    void ScrollToCurrent();
    // Rows of the column (the page list's).
    int RowCount() const;

    // Dragging thumbnails; off until the owner allows it.
    void SetReorderEnabled(bool on);
    bool ReorderEnabled() const { return m_reorder; }
    // True while a repeated key press (a held key) is handled.
    bool InKeyRepeat() const { return m_keyRepeat; }

    // What a drag of the selected rows carries (null without a selection).
    QMimeData* CreateDragData() const;
    // The gap a drop at `pos` (viewport coordinates) lands in: row r's gap is
    // the one just before it, RowCount() the one after the last row.
    int DropGapAt(const QPoint& pos) const;
    // The gap the drop line marks during a drag; -1 when none is shown.
    int DropIndicatorGap() const { return m_dropGap; }

signals:
    // Rows (ascending) dropped into `gap` (0 ... RowCount()).
    void sglRowsDropped(const QList<int>& rows, int gap);
    // The user made `row` current here (a click, a key).
    void sglCurrentChosen(int row);
    // Copy (Ctrl+C) was pressed here. The column puts nothing on the
    // clipboard itself: its rows' data are the pages' private files.
    void sglCopyRequested();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Reports a current row that `handle` changed.
    template <typename Handle> void ReportChoice(Handle handle);
    void OpenMenuAtCurrent();
    QList<int> DraggedRows(const QMimeData* data) const;
    QPixmap DragPixmap(const QList<int>& rows) const;
    void ShowDropIndicator(int gap);
    void HideDropIndicator();
    void UpdateAutoScroll(const QPoint& pos);
    void OnAutoScroll();
    void EndDragOver();

    QWidget* m_dropLine = nullptr;
    QTimer* m_autoScroll = nullptr;
    QPoint m_dragPos;
    int m_dropGap = -1;
    int m_scrollStep = 0;
    bool m_reorder = false;
    bool m_keyRepeat = false;
};
