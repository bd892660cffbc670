#pragma once

#include <QList>
#include <QListWidget>
#include <QPoint>

class QMimeData;
class QTimer;

// The thumbnail column. A press on empty space below the last row is dropped
// so that it neither clears the selection nor moves the current row. The
// cell widgets are told when their row is selected, so that their page
// numbers stay readable on the selected background.
//
// The selected thumbnails can be dragged to another place in the column
// (while reordering is enabled): a line marks the gap they will land in, and
// the column scrolls when the pointer nears its top or bottom edge. The drop
// itself is only reported; the owner moves the rows. The context menu also
// opens from the keyboard (Menu key, Shift+F10), at the current thumbnail.
class ThumbListWidget : public QListWidget {
    Q_OBJECT

public:
    // Drag data of the column's own rows.
    static const char kRowsMimeType[];

    explicit ThumbListWidget(QWidget* parent = nullptr);

    // Scrolls the column so that the current thumbnail is wholly visible.
    void ScrollToCurrent();

    // Dragging thumbnails; off until the owner allows it.
    void SetReorderEnabled(bool on);
    bool ReorderEnabled() const { return m_reorder; }
    // True while a repeated key press (a held key) is handled.
    bool InKeyRepeat() const { return m_keyRepeat; }

    // What a drag of the selected rows carries (null without a selection).
    QMimeData* CreateDragData() const;
    // The gap a drop at `pos` (viewport coordinates) lands in: row r's gap is
    // the one just before it, count() the one after the last row.
    int DropGapAt(const QPoint& pos) const;
    // The gap the drop line marks during a drag; -1 when none is shown.
    int DropIndicatorGap() const { return m_dropGap; }

signals:
    // Rows (ascending) dropped into `gap` (0 ... count()).
    void sglRowsDropped(const QList<int>& rows, int gap);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void MarkSelected(const QItemSelection& rows, bool selected);
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
