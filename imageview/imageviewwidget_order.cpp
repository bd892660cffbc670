// Page order of the workspace: dropping dragged thumbnails into a new place. The page list takes the new
// order; its selection and current page stay with their pages, and the
// column, a view of the list, follows.
#include "imageviewwidget.h"

#include "imageviewlog.h"
#include "pagelist.h"
#include "thumblistwidget.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>

#include <algorithm>

void ImageViewWidget::SetUpReorder()
{
    connect(thumbList.data(), &ThumbListWidget::sglRowsDropped, this,
            [this](const QList<int>& rows, int gap) { MoveRows(rows, gap); });
    thumbList->SetReorderEnabled(reorderEnabled);
}

void ImageViewWidget::SetReorderEnabled(bool on)
{
    reorderEnabled = on;
    if (!thumbList.isNull()) {
        thumbList->SetReorderEnabled(on);
    }
}

void ImageViewWidget::AddContextActions(const QList<QAction*>& actions)
{
    if (actions.isEmpty()) {
        return;
    }
    contextMenu->addSeparator();
    contextMenu->addActions(actions);
}

bool ImageViewWidget::MoveRows(QList<int> rows, int gap)
{
    const int count = RowCount();
    if (!reorderEnabled || rows.isEmpty() || gap < 0 || gap > count) {
        return false;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.first() < 0 || rows.last() >= count) {
        qCWarning(lcImageView) << "MoveRows: no such rows" << rows;
        return false;
    }
    QVector<bool> moving(count);
    for (int row : qAsConst(rows)) {
        moving[row] = true;
    }
    QVector<int> order;
    order.reserve(count);
    for (int row = 0; row < gap; ++row) {
        if (!moving[row]) {
            order << row;
        }
    }
    for (int row : qAsConst(rows)) {
        order << row;
    }
    for (int row = gap; row < count; ++row) {
        if (!moving[row]) {
            order << row;
        }
    }
    return ApplyOrder(order);
}

// order[i] is the row that is to become row i.
bool ImageViewWidget::ApplyOrder(const QVector<int>& order)
{
    if (!pages->Reorder(order)) {
        return false;
    }
    if (!thumbList.isNull()) {
        thumbList->ScrollToCurrent();
    }
    emit sglThumbItemsMoved(pages->Paths());
    return true;
}
