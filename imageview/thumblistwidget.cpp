#include "thumblistwidget.h"

#include <QMouseEvent>

ThumbListWidget::ThumbListWidget(QWidget* parent) : QListWidget(parent)
{
}

void ThumbListWidget::mousePressEvent(QMouseEvent* event)
{
    if (itemAt(event->pos()) == nullptr) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}
