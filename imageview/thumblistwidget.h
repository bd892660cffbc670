#pragma once

#include <QListWidget>

// The thumbnail column. A press on empty space below the last row is dropped
// so that it neither clears the selection nor moves the current row.
class ThumbListWidget : public QListWidget {
    Q_OBJECT

public:
    explicit ThumbListWidget(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
