// The workspace follows the page list: the column is a view of it, and the
// large view and the thumbnails follow its row signals. What a scan or a
// restore brings goes to the list.
#include "imageviewwidget.h"

#include "imageviewlog.h"
#include "pagedecoder.h"
#include "pagelist.h"
#include "thumblistwidget.h"
#include "thumbnailloader.h"

#include <QItemSelectionModel>
#include <QSet>
#include <QTimer>

QVector<QString> ImageViewWidget::GetPagePaths() const
{
    const QList<QString> paths = pages->Paths();
    return QVector<QString>(paths.cbegin(), paths.cend());
}

QString ImageViewWidget::GetCurrentPath() const
{
    return pages->PathAt(pages->Current());
}

int ImageViewWidget::GetInsertIndex() const
{
    return pages->InsertRow();
}

void ImageViewWidget::BindPages()
{
    connect(pages.data(), &PageList::sglCurrentChanged, this, &ImageViewWidget::OnCurrentChanged);
    connect(pages.data(), &QAbstractItemModel::rowsInserted, this, &ImageViewWidget::OnRowsInserted);
    connect(pages.data(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &ImageViewWidget::OnRowsAboutToBeRemoved);
    connect(pages.data(), &QAbstractItemModel::dataChanged, this, &ImageViewWidget::OnDataChanged);
    connect(pages.data(), &QAbstractItemModel::modelAboutToBeReset, this,
            &ImageViewWidget::OnModelAboutToBeReset);
    connect(pages.data(), &PageList::sglChanged, this, &ImageViewWidget::UpdateEmptyHint);
    if (!thumbList.isNull()) {
        thumbList->setModel(pages.data());
        QItemSelectionModel* own = thumbList->selectionModel();
        thumbList->setSelectionModel(pages->Selection());
        if (own != pages->Selection()) {
            delete own;
        }
        connect(thumbList.data(), &ThumbListWidget::sglCurrentChosen, this,
                [this](int row) { emit sglThumbItemClicked(row); });
    }
}

void ImageViewWidget::OnCurrentChanged(int row)
{
    if (largeViewPending) {
        return; // shown in the next turn of the event loop
    }
    if (pages->IsEmpty()) {
        ClearLargeImage();
        return;
    }
    const Page& page = pages->At(row);
    // A page that only moved to another row is shown already.
    if (!shownRequest.path.isEmpty() && shownRequest.path == page.path && shownRequest.angle == page.angle) {
        return;
    }
    ShowLargeImage(page.path);
}

void ImageViewWidget::OnRowsInserted(const QModelIndex& /*parent*/, int first, int last)
{
    if (thumbList.isNull() || first != last) {
        return;
    }
    // A scanned page is brought into view, also while a scan still adds
    // pages.
    thumbList->setFocus();
    thumbList->scrollTo(pages->index(first));
}

void ImageViewWidget::OnRowsAboutToBeRemoved(const QModelIndex& /*parent*/, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        Forget(pages->PathAt(row));
    }
}

void ImageViewWidget::OnModelAboutToBeReset()
{
    ClearLargeImage();
    pageCache.Clear();
    decoder->Clear();
    thumbnails->Clear();
    lastShownRow = -1;
}

void ImageViewWidget::Forget(const QString& path)
{
    pageCache.Forget(path);
    decoder->Forget(path);
    thumbnails->Forget(path);
}

void ImageViewWidget::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                    const QVector<int>& roles)
{
    // A page given another file: what was decoded of the old one goes (a
    // file written anew under the same name is found out by its stamp). A
    // turn keeps what was decoded at other angles for a turn back.
    const bool turnOnly = roles.size() == 1 && roles.first() == PageList::AngleRole;
    if (!turnOnly) {
        const QList<QString> listed = pages->Paths();
        const QSet<QString> kept(listed.cbegin(), listed.cend());
        for (const QString& path : pageCache.Paths()) {
            if (!kept.contains(path)) {
                Forget(path);
            }
        }
    }
    const int current = pages->Current();
    if (current >= topLeft.row() && current <= bottomRight.row()) {
        ShowLargeImage(pages->PathAt(current));
    }
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
    // Decoding the page for the large view waits for the next tick, so that
    // no single turn of the event loop carries it all.
    largeViewPending = true;
    pages->AppendPages(added);
    if (current >= 0 && current < pages->Count()) {
        pages->SetCurrent(current);
        ResetSelection();
    }
    thumbList->setFocus();
    thumbList->ScrollToCurrent();
    QTimer::singleShot(0, this, &ImageViewWidget::ShowPendingPage);
}

void ImageViewWidget::ShowPendingPage()
{
    if (!largeViewPending) {
        return;
    }
    largeViewPending = false;
    const QString current = GetCurrentPath();
    if (current.isEmpty()) {
        ClearLargeImage();
    } else if (shownRequest.path != current) {
        ShowLargeImage(current);
    }
}

void ImageViewWidget::AddImage(const QString& path)
{
    pages->AppendPages({Page{path, 0, false, 0}});
}

void ImageViewWidget::InsertImage(const QString& path)
{
    pages->PlacePages({Page{path, 0, false, 0}});
}

void ImageViewWidget::ReplaceImage(int index, const QString& path)
{
    if (index < 0 || index >= pages->Count()) {
        qCWarning(lcImageView) << "ReplaceImage: no page at row" << index;
        return;
    }
    if (!thumbList.isNull()) {
        thumbList->setFocus();
    }
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
