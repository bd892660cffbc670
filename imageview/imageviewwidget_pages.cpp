// The page column follows the page list: each row of the list has an item
// holding its page file and its id; the list's row signals insert, remove,
// change, move and reset the items. What a scan or a restore brings goes to
// the list.
#include "imageviewwidget.h"

#include "imageviewlog.h"
#include "pagedecoder.h"
#include "pagelist.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"

#include <QHash>
#include <QListWidgetItem>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const QSize kItemSizeHint(110, 150);

} // namespace

QVector<QString> ImageViewWidget::GetPagePaths() const
{
    const QList<QString> paths = pages->Paths();
    return QVector<QString>(paths.cbegin(), paths.cend());
}

QString ImageViewWidget::GetCurrentPath() const
{
    return thumbList.isNull() ? QString() : PathAt(thumbList->currentRow());
}

int ImageViewWidget::GetInsertIndex() const
{
    return pages->InsertRow();
}

// The column follows the page list: every row of the list has an item that
// holds its page file and its id.
void ImageViewWidget::BindPages()
{
    connect(pages.data(), &QAbstractItemModel::rowsInserted, this, &ImageViewWidget::OnRowsInserted);
    connect(pages.data(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &ImageViewWidget::OnRowsAboutToBeRemoved);
    connect(pages.data(), &QAbstractItemModel::rowsRemoved, this, &ImageViewWidget::OnRowsRemoved);
    connect(pages.data(), &QAbstractItemModel::dataChanged, this, &ImageViewWidget::OnDataChanged);
    connect(pages.data(), &QAbstractItemModel::layoutChanged, this, &ImageViewWidget::OnLayoutChanged);
    connect(pages.data(), &QAbstractItemModel::modelReset, this, &ImageViewWidget::OnModelReset);
}

QListWidgetItem* ImageViewWidget::NewItem(int row) const
{
    auto* item = new QListWidgetItem;
    item->setData(Qt::SizeHintRole, kItemSizeHint);
    item->setData(Qt::TextAlignmentRole, int(Qt::AlignCenter));
    item->setData(Qt::UserRole, pages->PathAt(row));
    item->setData(PageList::IdRole, pages->At(row).id);
    return item;
}

void ImageViewWidget::AddItemAt(int row)
{
    const QString path = pages->PathAt(row);
    auto* widget = new ThumbnailWidget(path, ThumbnailWidget::QuickHere, nullptr, pages->At(row).angle);
    QListWidgetItem* item = NewItem(row);
    thumbList->insertItem(row, item);
    thumbList->setItemWidget(item, widget);
    // The new page and those after it show their numbers at once, also
    // while a scan is still adding pages.
    for (int i = row; i < thumbList->count(); ++i) {
        if (auto* cell = qobject_cast<ThumbnailWidget*>(thumbList->itemWidget(thumbList->item(i))))
            cell->ResetFileIndex(i);
    }
    thumbList->setFocus();
    thumbList->scrollToItem(item);
}

void ImageViewWidget::OnRowsInserted(const QModelIndex& /*parent*/, int first, int last)
{
    if (thumbList.isNull()) {
        return;
    }
    if (first == last) {
        // A scanned page: its thumbnail is drawn at once.
        AddItemAt(first);
        return;
    }
    // Many pages at once: the rows come now, their cells in steps.
    for (int row = first; row <= last; ++row) {
        thumbList->insertItem(row, NewItem(row));
    }
    RefreshInfos();
    cellTimer->start();
}

void ImageViewWidget::OnRowsAboutToBeRemoved(const QModelIndex& /*parent*/, int first, int last)
{
    if (thumbList.isNull()) {
        return;
    }
    const QSignalBlocker blocker(thumbList.data());
    for (int row = last; row >= first; --row) {
        const QString path = pages->PathAt(row);
        pageCache.Forget(path);
        decoder->Forget(path);
        delete thumbList->takeItem(row); // the view disposes of the cell widget
    }
}

void ImageViewWidget::OnRowsRemoved()
{
    RefreshInfos();
}

void ImageViewWidget::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (thumbList.isNull()) {
        return;
    }
    for (int row = topLeft.row(); row <= bottomRight.row() && row < thumbList->count(); ++row) {
        QListWidgetItem* item = thumbList->item(row);
        const QString old = item->data(Qt::UserRole).toString();
        const QString path = pages->PathAt(row);
        const int angle = pages->At(row).angle;
        auto* widget = qobject_cast<ThumbnailWidget*>(thumbList->itemWidget(item));
        if (path == old) {
            // The page turned: its thumbnail turns along, what was decoded
            // of it at other angles stays for a turn back.
            if (widget != nullptr) {
                widget->SetAngle(angle);
            }
            if (row == thumbList->currentRow()) {
                ShowLargeImage(path);
            }
            continue;
        }
        pageCache.Forget(old);
        decoder->Forget(old);
        item->setData(Qt::ToolTipRole, path);
        item->setData(Qt::UserRole, path);
        item->setData(PageList::IdRole, pages->At(row).id);
        if (widget != nullptr) {
            widget->Reset(path, row, angle);
        }
        if (row == thumbList->currentRow()) {
            ShowLargeImage(path);
        }
    }
}

// The pages changed places: the items follow them, each keeping its cell,
// its selection and, for the current row, its currency.
void ImageViewWidget::OnLayoutChanged()
{
    if (thumbList.isNull() || thumbList->count() != pages->Count()) {
        return;
    }
    QHash<quint64, int> rowOfId;
    for (int row = 0; row < thumbList->count(); ++row) {
        rowOfId.insert(thumbList->item(row)->data(PageList::IdRole).toULongLong(), row);
    }
    QVector<int> order(pages->Count());
    for (int row = 0; row < pages->Count(); ++row) {
        order[row] = rowOfId.value(pages->At(row).id, -1);
        if (order[row] < 0) {
            qCWarning(lcImageView) << "the column lacks the page" << pages->PathAt(row);
            return;
        }
    }
    const QSignalBlocker blocker(thumbList.data());
    MoveModelRows(order);
    RefreshInfos();
}

void ImageViewWidget::OnModelReset()
{
    RemoveAllItems();
    if (pages->Count() > 0) {
        OnRowsInserted(QModelIndex(), 0, pages->Count() - 1);
    }
}

void ImageViewWidget::RemoveAllItems()
{
    if (!thumbList.isNull()) {
        const QSignalBlocker blocker(thumbList.data());
        while (thumbList->count() > 0) {
            QListWidgetItem* item = thumbList->item(0);
            if (auto* widget = qobject_cast<ThumbnailWidget*>(thumbList->itemWidget(item))) {
                widget->ResetFilePath(QString());
                thumbList->removeItemWidget(item);
                widget->deleteLater();
            }
            delete thumbList->takeItem(0);
        }
        thumbList->clear();
    }
    ClearLargeImage();
    pageCache.Clear();
    decoder->Clear();
    lastShownRow = -1;
}

void ImageViewWidget::AddImages(const QList<QString>& paths, int current)
{
    QList<Page> added;
    for (const QString& path : paths) {
        added << Page{path, 0, false, 0};
    }
    AddImages(added, current);
}

void ImageViewWidget::AddImages(const QList<Page>& added, int current)
{
    if (thumbList.isNull() || added.isEmpty()) {
        return;
    }
    pages->AppendPages(added);
    if (current >= 0 && current < RowCount()) {
        // Decoding the page for the large view waits for the next tick, so
        // that no single turn of the event loop carries it all.
        const QSignalBlocker blocker(thumbList.data());
        SetSelection(current);
        largeViewPending = true;
    }
    thumbList->setFocus();
    cellTimer->start();
}

void ImageViewWidget::AddImage(const QString& path)
{
    if (thumbList.isNull()) {
        return;
    }
    pages->AppendPages({Page{path, 0, false, 0}});
}

void ImageViewWidget::InsertImage(const QString& path)
{
    if (thumbList.isNull()) {
        return;
    }
    pages->PlacePages({Page{path, 0, false, 0}});
}

void ImageViewWidget::ReplaceImage(int index, const QString& path)
{
    if (thumbList.isNull() || index < 0 || index >= pages->Count() || index >= thumbList->count()) {
        qCWarning(lcImageView) << "ReplaceImage: no page at row" << index;
        return;
    }
    thumbList->setFocus();
    pages->ReplacePage(index, Page{path, 0, false, 0});
}

void ImageViewWidget::SetSelectedImgIndexForScan(int scanType, int index)
{
    if (!IsPagePlacement(scanType)) {
        return;
    }
    const auto placement = PagePlacement(scanType);
    pages->SetPlacement(placement, placement == PagePlacement::After ? index + 1 : index);
}
