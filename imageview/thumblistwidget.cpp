#include "thumblistwidget.h"

#include "thumbnailwidget.h"

#include <QMouseEvent>

ThumbListWidget::ThumbListWidget(QWidget* parent) : QListWidget(parent)
{
}

void ThumbListWidget::ScrollToCurrent()
{
    // Also when the current row did not change (pages inserted before or
    // after it, a rotation): the view only follows a change by itself.
    if (QListWidgetItem* item = currentItem()) {
        scrollToItem(item, QAbstractItemView::EnsureVisible);
    }
}

void ThumbListWidget::mousePressEvent(QMouseEvent* event)
{
    if (itemAt(event->pos()) == nullptr) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void ThumbListWidget::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListWidget::selectionChanged(selected, deselected);
    MarkSelected(deselected, false);
    MarkSelected(selected, true);
}

void ThumbListWidget::MarkSelected(const QItemSelection& rows, bool selected)
{
    const QModelIndexList indexes = rows.indexes();
    for (const QModelIndex& index : indexes) {
        if (auto* thumb = qobject_cast<ThumbnailWidget*>(indexWidget(index))) {
            thumb->SetSelected(selected);
        }
    }
}
