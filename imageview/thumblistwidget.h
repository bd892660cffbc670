#pragma once

#include <QListWidget>

// The thumbnail column. A press on empty space below the last row is dropped
// so that it neither clears the selection nor moves the current row. The
// cell widgets are told when their row is selected, so that their page
// numbers stay readable on the selected background.
class ThumbListWidget : public QListWidget {
    Q_OBJECT

public:
    explicit ThumbListWidget(QWidget* parent = nullptr);

    // Scrolls the column so that the current thumbnail is wholly visible.
    void ScrollToCurrent();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void MarkSelected(const QItemSelection& rows, bool selected);
};
