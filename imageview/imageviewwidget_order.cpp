// Page order of the workspace: moving the selected pages by one place, and
// dropping dragged thumbnails into a new place. The page list takes the new
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

bool ImageViewWidget::MoveSelection(int step)
{
    const int count = RowCount();
    if (!reorderEnabled || count < 2 || (step != -1 && step != 1)) {
        return false;
    }
    QVector<bool> selected(count);
    QVector<int> order(count);
    for (int row = 0; row < count; ++row) {
        selected[row] = pages->Selection()->isRowSelected(row, QModelIndex());
        order[row] = row;
    }
    // A selected page changes places with the unselected one next to it in
    // the direction of the move. Walking against that direction moves a
    // run of selected pages one place as a whole.
    if (step < 0) {
        for (int row = 1; row < count; ++row) {
            if (selected[order[row]] && !selected[order[row - 1]]) {
                std::swap(order[row], order[row - 1]);
            }
        }
    } else {
        for (int row = count - 2; row >= 0; --row) {
            if (selected[order[row]] && !selected[order[row + 1]]) {
                std::swap(order[row], order[row + 1]);
            }
        }
    }
    return ApplyOrder(order);
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
