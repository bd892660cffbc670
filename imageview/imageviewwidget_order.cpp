// Page order of the workspace: moving the selected pages by one place, and
// dropping dragged thumbnails into a new place. The page list takes the new
// order; the column's rows follow it in the widget's own model, so every row
// keeps its item, its thumbnail, its selection and, for the current row, its
// currency.
#include "imageviewwidget.h"

#include "imageviewlog.h"
#include "pagelist.h"
#include "thumblistwidget.h"

#include <QAction>
#include <QListWidgetItem>
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
        selected[row] = thumbList->item(row)->isSelected();
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

namespace {

// Which entries of `order` form a longest increasing run (not necessarily
// contiguous): those rows keep their relative places, only the others move.
QVector<bool> LongestIncreasing(const QVector<int>& order)
{
    const int count = order.size();
    QVector<int> tails; // index into order of the smallest tail per length
    QVector<int> previous(count, -1);
    for (int i = 0; i < count; ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), order.at(i),
                                         [&order](int index, int value) { return order.at(index) < value; });
        if (at != tails.begin()) {
            previous[i] = *(at - 1);
        }
        if (at == tails.end()) {
            tails.append(i);
        } else {
            *at = i;
        }
    }
    QVector<bool> keep(count, false);
    for (int i = tails.isEmpty() ? -1 : tails.last(); i >= 0; i = previous.at(i)) {
        keep[i] = true;
    }
    return keep;
}

} // namespace

namespace {

bool IsIdentity(const QVector<int>& order)
{
    for (int row = 0; row < order.size(); ++row) {
        if (order.at(row) != row) {
            return false;
        }
    }
    return true;
}

// How many rows, starting at `target` of the new order and at `source` of
// the current one, can move together as one block.
int BlockLength(const QVector<int>& order, const QVector<bool>& keep, const QVector<int>& rows, int target,
                int source)
{
    const int count = order.size();
    int length = 1;
    while (target + length < count && !keep.at(target + length) && source + length < count &&
           rows.at(source + length) == order.at(target + length)) {
        ++length;
    }
    return length;
}

// Mirrors QAbstractItemModel::moveRows on a plain list of row ids.
void MoveBlock(QVector<int>& rows, int source, int length, int destination)
{
    const QVector<int> block = rows.mid(source, length);
    rows.remove(source, length);
    const int insertAt = destination > source ? destination - length : destination;
    for (int i = 0; i < length; ++i) {
        rows.insert(insertAt + i, block.at(i));
    }
}

} // namespace

// order[i] is the row that is to become row i.
bool ImageViewWidget::ApplyOrder(const QVector<int>& order)
{
    if (order.size() != RowCount() || IsIdentity(order) || !pages->Reorder(order)) {
        return false;
    }
    AdoptRowOrder();
    return true;
}

// The fewest moves: rows outside a longest increasing run of the new order
// are taken out and put back right after the page that precedes them in the
// new order, in the order of their new places; runs of such rows that stay
// together move as one block.
void ImageViewWidget::MoveModelRows(const QVector<int>& order)
{
    const int count = order.size();
    const QVector<bool> keep = LongestIncreasing(order);
    QAbstractItemModel* model = thumbList->model();
    QVector<int> rows(count);
    for (int row = 0; row < count; ++row) {
        rows[row] = row;
    }
    for (int target = 0; target < count;) {
        if (keep.at(target)) {
            ++target;
            continue;
        }
        const int source = int(rows.indexOf(order.at(target)));
        const int length = BlockLength(order, keep, rows, target, source);
        const int destination = target == 0 ? 0 : int(rows.indexOf(order.at(target - 1))) + 1;
        if (destination != source) {
            if (!model->moveRows(QModelIndex(), source, length, QModelIndex(), destination)) {
                qCWarning(lcImageView)
                    << "MoveRows: the list refused to move rows" << source << length << "to" << destination;
                return;
            }
            MoveBlock(rows, source, length, destination);
        }
        target += length;
    }
}

// The column has followed the list; the listeners learn the new order.
void ImageViewWidget::AdoptRowOrder()
{
    thumbList->ScrollToCurrent();
    emit sglThumbItemsMoved(pages->Paths());
}
