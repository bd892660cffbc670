#include "imageviewwidget.h"

#include "gdata.h"
#include "imageviewlog.h"
#include "interruptedpage.h"
#include "osname.h"
#include "pagedecoder.h"
#include "pagefile.h"
#include "pagelist.h"
#include "pagereader.h"
#include "pageturn.h"
#include "temppath.h"
#include "thumblistwidget.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace {

const int kListWidth = 140;
const int kListSpacing = 5;
const int kListScrollStep = 20;
const int kMinLabelSide = 2;

// Decoded pages held for page switching: the current page, the pages ahead
// and behind it, and one page at full resolution fit in these bounds.
const int kCachedPages = 12;
const qint64 kCachedBytes = 64 * 1024 * 1024;
// Pages decoded ahead in the direction of travel, and behind.
const int kPagesAhead = 3;
const int kPagesBehind = 1;
// A pixmap with at least this share of the pixels the label shows is sharp
// enough; below it a sharper decode is made in the background.
const double kSharpEnough = 0.9;

// Background decoding threads: one next to the interface thread on a
// two-core machine, two where there are more cores.
int DecoderThreads()
{
    return std::clamp(QThread::idealThreadCount() - 1, 1, 2);
}

const char* const kLargeLabelStyle = "QLabel {background-color:#C0C0C0;}";
// Dark grey on the view's #C0C0C0 (7.2:1).
const char* const kEmptyHintStyle = "QLabel {color:#303030; background:transparent; font-size:20px;}";
// The focused list and large view draw a 3-pixel dark-blue frame (#003F8A,
// 9.3:1 on the list's #F8F8F8, 5.4:1 on the view's #C0C0C0) in place of the
// thin grey border, so the keyboard focus is seen where it is.
const char* const kScrollAreaStyle = "QScrollArea {background-color:#C0C0C0; border:1px solid gray;}"
                                     "QScrollArea:focus {border:3px solid #003F8A;}";
const char* const kThumbListStyle = "QListView { background-color:#F8F8F8; border:1px solid gray; }"
                                    "QListView:focus { border:3px solid #003F8A; }"
                                    "QListView::item { border:2px solid gray; background-color:#E0E0E0; }"
                                    "QListView::item:hover { background-color:#D0D0D0; }"
                                    "QListView::item:selected { background-color:#0173C7; }";

} // namespace

ImageViewWidget::ImageViewWidget(ThumbListWidget* list, QVBoxLayout* layout, QWidget* parent,
                                 PageList* pageList)
    : QWidget(parent), pages(pageList != nullptr ? pageList : new PageList(this)), thumbList(list),
      pageCache(kCachedPages, kCachedBytes)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The workspace draws nothing itself: its views live in the creator's
    // layouts. Kept hidden so that it never covers a corner of its parent.
    hide();
    GetTempDir();

    thumbnails = new ThumbnailLoader(this);
    SetUpLargeView(layout);
    SetUpThumbList();
    SetUpContextMenu();

    decoder = new PageDecoder(DecoderThreads(), this);
    connect(decoder, &PageDecoder::sglFinished, this, &ImageViewWidget::OnPagesDecoded, Qt::QueuedConnection);
    BindPages();
}

ImageViewWidget::~ImageViewWidget()
{
    // First, so that no decode ends while the rest is torn down.
    delete decoder;
    decoder = nullptr;
    // Nothing the column does while it goes reaches the pages any more.
    if (!thumbList.isNull()) {
        thumbList->disconnect(this);
    }
    // The list and the large view are owned by the creator's widgets; they
    // may already be gone when the creator is torn down first.
    delete thumbList.data();
    delete scrollArea.data();
    delete delegate;
    if (openHandShown) {
        QApplication::restoreOverrideCursor();
    }
}

void ImageViewWidget::SetUpLargeView(QVBoxLayout* layout)
{
    largeLabel = new QLabel;
    largeLabel->setObjectName(QStringLiteral("largeLabel"));
    largeLabel->resize(0, 0);
    largeLabel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    largeLabel->setScaledContents(true);
    largeLabel->setStyleSheet(QString::fromLatin1(kLargeLabelStyle));

    scrollArea = new QScrollArea;
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setStyleSheet(QString::fromLatin1(kScrollAreaStyle));
    scrollArea->setWidget(largeLabel);
    scrollArea->setAlignment(Qt::AlignCenter);

    const Qt::ScrollBarPolicy policy = GetOSName() == OSUos ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    scrollArea->setHorizontalScrollBarPolicy(policy);
    scrollArea->setVerticalScrollBarPolicy(policy);

    if (layout != nullptr) {
        layout->addWidget(scrollArea);
    }
    largeLabel->installEventFilter(this);
    scrollArea->installEventFilter(this);

    // Over the empty view, in the middle; clicks go through to the view.
    emptyHint = new QLabel(scrollArea->viewport());
    emptyHint->setObjectName(QStringLiteral("lblEmptyHint"));
    emptyHint->setAlignment(Qt::AlignCenter);
    emptyHint->setWordWrap(true);
    emptyHint->setStyleSheet(QString::fromLatin1(kEmptyHintStyle));
    emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyHint->hide();
    scrollArea->viewport()->installEventFilter(this);
}

void ImageViewWidget::SetEmptyHint(const QString& text)
{
    if (!emptyHint.isNull()) {
        emptyHint->setText(text);
    }
    UpdateEmptyHint();
}

void ImageViewWidget::UpdateEmptyHint()
{
    if (emptyHint.isNull()) {
        return;
    }
    emptyHint->setGeometry(emptyHint->parentWidget()->rect());
    emptyHint->setVisible(pages->IsEmpty() && !emptyHint->text().isEmpty());
}

void ImageViewWidget::SetUpThumbList()
{
    if (thumbList.isNull()) {
        return;
    }
    thumbList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    thumbList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    thumbList->setFixedWidth(kListWidth);
    thumbList->setViewMode(QListView::IconMode);
    thumbList->setSpacing(kListSpacing);
    thumbList->setMovement(QListView::Static);
    thumbList->setResizeMode(QListView::Fixed);
    thumbList->verticalScrollBar()->setSingleStep(kListScrollStep);
    thumbList->setContextMenuPolicy(Qt::CustomContextMenu);
    // Every row has the same size: the column lays out a thousand rows
    // without asking each one.
    thumbList->setUniformItemSizes(true);
    delegate = new ThumbnailItemDelegate(thumbnails);
    thumbList->setItemDelegate(delegate);
    thumbList->setStyleSheet(QString::fromLatin1(kThumbListStyle));

    connect(thumbList.data(), &QWidget::customContextMenuRequested, this,
            &ImageViewWidget::OnContextMenuRequested);
    // A thumbnail that arrives is drawn (only rows in view ask for one).
    connect(thumbnails, &ThumbnailLoader::sglReady, thumbList->viewport(), QOverload<>::of(&QWidget::update));
    SetUpReorder();
}

void ImageViewWidget::FollowList()
{
    if (pages->IsEmpty()) {
        ClearLargeImage();
        return;
    }
    const int row = pages->Current();
    ShowLargeImage(pages->PathAt(row));
    emit sglThumbItemClicked(row);
    if (!thumbList.isNull()) {
        thumbList->ScrollToCurrent();
    }
}

namespace {
// The scan entries of the thumbnails' context menu, in menu order.
const struct {
    const char* name;
    const char* text;
    int type;
} kScanMenuEntries[] = {
    {"actionScanAfter", QT_TRANSLATE_NOOP("ImageViewWidget", "扫描到之后"), ImageViewWidget::MenuScanAfter},
    {"actionScanBefore", QT_TRANSLATE_NOOP("ImageViewWidget", "扫描到之前"), ImageViewWidget::MenuScanBefore},
    {"actionReplaceScan", QT_TRANSLATE_NOOP("ImageViewWidget", "替换扫描"), ImageViewWidget::MenuReplaceScan},
};
} // namespace

void ImageViewWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        for (int i = 0; i < scanMenuActions.size(); ++i)
            scanMenuActions.at(i)->setText(tr(kScanMenuEntries[i].text));
        RefreshInfos(); // the column's marks are drawn in the new language
    }
    QWidget::changeEvent(event);
}

void ImageViewWidget::SetUpContextMenu()
{
    contextMenu = new QMenu(this);
    contextMenu->setObjectName(QStringLiteral("contextMenu"));
    for (const auto& entry : kScanMenuEntries) {
        QAction* action = contextMenu->addAction(tr(entry.text));
        action->setObjectName(QLatin1String(entry.name));
        scanMenuActions << action;
        const int type = entry.type;
        connect(action, &QAction::triggered, this,
                [this, type]() { emit sglThumbItemRightMenuClicked(pages->Current(), type); });
    }
}

int ImageViewWidget::RowCount() const
{
    return pages->Count();
}

// ---------------------------------------------------------------- pages

bool ImageViewWidget::IsLoadingThumbnails() const
{
    return largeViewPending || thumbnails->IsDecoding();
}

void ImageViewWidget::RefreshInfos()
{
    // The column numbers its rows as it draws them.
    if (!thumbList.isNull()) {
        thumbList->viewport()->update();
    }
}

// ------------------------------------------------------------ selection

void ImageViewWidget::SetSelection(int row)
{
    if (!pages->SetCurrent(row)) {
        return;
    }
    ResetSelection();
    if (!thumbList.isNull()) {
        thumbList->setFocus();
        thumbList->ScrollToCurrent();
    }
    emit sglThumbItemClicked(row);
}

void ImageViewWidget::ResetSelection()
{
    QItemSelectionModel* selection = pages->Selection();
    if (pages->IsEmpty()) {
        selection->clearSelection();
    } else {
        selection->select(pages->index(pages->Current()), QItemSelectionModel::ClearAndSelect);
    }
}

void ImageViewWidget::ClearItemSelction()
{
    pages->Selection()->clearSelection();
}

void ImageViewWidget::SelectAll()
{
    if (pages->IsEmpty()) {
        return;
    }
    const QItemSelection all(pages->index(0), pages->index(pages->Count() - 1));
    pages->Selection()->select(all, QItemSelectionModel::Select);
}

void ImageViewWidget::SelectReverse()
{
    if (pages->IsEmpty()) {
        return;
    }
    const QItemSelection all(pages->index(0), pages->index(pages->Count() - 1));
    pages->Selection()->select(all, QItemSelectionModel::Toggle);
}

bool ImageViewWidget::IsSelected(int row) const
{
    return row >= 0 && row < pages->Count() && pages->Selection()->isRowSelected(row, QModelIndex());
}

int ImageViewWidget::GetCurrentIndex() const
{
    return pages->IsEmpty() ? -1 : pages->Current();
}

// ----------------------------------------------------------- navigation

void ImageViewWidget::FirstPage()
{
    if (RowCount() == 0) {
        return;
    }
    JumpTo(0);
}

void ImageViewWidget::NextPage()
{
    if (pages->Current() + 1 >= RowCount()) {
        return;
    }
    JumpTo(pages->Current() + 1);
}

void ImageViewWidget::PrevPage()
{
    if (pages->Current() <= 0 || pages->Current() > RowCount()) {
        return;
    }
    JumpTo(pages->Current() - 1);
}

void ImageViewWidget::LastPage()
{
    if (RowCount() == 0) {
        return;
    }
    JumpTo(RowCount() - 1);
}

void ImageViewWidget::JumpTo(int row)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    pages->SetCurrent(row);
    ResetSelection();
    if (!thumbList.isNull()) {
        thumbList->ScrollToCurrent();
    }
    emit sglThumbItemClicked(row);
}

void ImageViewWidget::OnContextMenuRequested(const QPoint& pos)
{
    if (thumbList.isNull() || !thumbList->indexAt(pos).isValid()) {
        return;
    }
    const bool ready = GData::ctx().m_scannerReady;
    for (QAction* action : qAsConst(scanMenuActions)) {
        action->setEnabled(ready);
    }
    // At the thumbnail the request came from: the pointer for a click, the
    // current thumbnail for the Menu key.
    contextMenu->exec(thumbList->viewport()->mapToGlobal(pos));
}

// ------------------------------------------------------ delete and clear

void ImageViewWidget::Delete()
{
    const int oldIndex = pages->Current();
    if (!pages->RemoveRows(SelectedRows())) {
        return;
    }
    // The list keeps the place: the page now in the deleted current page's
    // row, or the last page, becomes the selection.
    ResetSelection();
    emit sglThumbItemDeleted(pages->Paths(), oldIndex);
    if (!pages->IsEmpty()) {
        emit sglThumbItemClicked(pages->Current());
        if (!thumbList.isNull()) {
            thumbList->ScrollToCurrent();
        }
    }
}

void ImageViewWidget::ClearImages()
{
    pages->Clear();
}

void ImageViewWidget::Broom()
{
    ClearImages();
    emit sglThumbItemDeleted(QList<QString>(), -1);
}

// ------------------------------------------------------------- rotation

void ImageViewWidget::RotateLeft()
{
    Rotate(-90);
}

void ImageViewWidget::RotateRight()
{
    Rotate(90);
}

void ImageViewWidget::Rotate180()
{
    Rotate(180);
}

void ImageViewWidget::Rotate(int degrees)
{
    // Only the angle changes; the list tells the column and the large view.
    pages->Turn(SelectedRows(), degrees);
}

QList<int> ImageViewWidget::SelectedRows() const
{
    return pages->SelectedRows();
}

QString ImageViewWidget::PathAt(int row) const
{
    return pages->PathAt(row);
}

int ImageViewWidget::AngleOf(const QString& path) const
{
    const int current = pages->Current();
    if (current < pages->Count() && pages->At(current).path == path) {
        return pages->At(current).angle;
    }
    for (const Page& page : pages->Pages()) {
        if (page.path == path) {
            return page.angle;
        }
    }
    return 0;
}

// ----------------------------------------------------------- large view

void ImageViewWidget::ClearLargeImage()
{
    if (!largeLabel.isNull()) {
        largeLabel->clear();
        largeLabel->resize(0, 0);
    }
    ForgetShownPage();
}

void ImageViewWidget::ForgetShownPage()
{
    pageSize = QSize();
    shownRequest = PageRequest();
    shownStamp = PageStamp();
    wantedRequest = PageRequest();
}

QSize ImageViewWidget::FitBox() const
{
    const QRect view = scrollArea->viewport()->rect();
    const double ratio = largeLabel->devicePixelRatioF();
    return QSize(std::max(1, qRound((view.right() - view.left() + 1) * ratio)),
                 std::max(1, qRound((view.bottom() - view.top() + 1) * ratio)));
}

DecodedPage ImageViewWidget::FetchPage(const PageRequest& request)
{
    if (const DecodedPage* cached = pageCache.Find(request)) {
        return *cached;
    }
    DecodedPage page = decoder->Decode(request);
    if (page.stamp != PageStamp::Of(request.path)) {
        // Decoded ahead from a file that has been replaced since.
        page = DecodePage(request);
    }
    pageCache.Insert(page);
    return page;
}

// While a held key runs through the list, a page that is not decoded yet is
// shown at once from its thumbnail, and its fitted decode is queued first:
// decoding every page on the way would keep the window busy long after the
// key is released. The decode replaces the preview when it arrives, unless
// the key has moved on.
bool ImageViewWidget::ShowPreview(const PageRequest& request)
{
    if (thumbList.isNull() || !thumbList->InKeyRepeat() || pageCache.Contains(request)) {
        return false;
    }
    const QPixmap preview = QPixmap::fromImage(delegate->Picture(pages->index(pages->Current())));
    if (preview.isNull() || pages->PathAt(pages->Current()) != request.path) {
        return false;
    }
    const PageReader reader(request.path);
    if (!reader.IsValid()) {
        return false;
    }
    pageSize = TurnSwapsSides(request.angle) ? reader.Size().transposed() : reader.Size();
    shownStamp = reader.Stamp();
    shownRequest = PageRequest{request.path, preview.size(), request.angle};
    wantedRequest = request;
    largeLabel->setPixmap(preview);
    zoomMode = ZoomFit;
    ScaleWindowSize();
    emit sglLargeImageCannotZoom(CanZoomBoth);
    PrefetchAround(request.path);
    decoder->Queue(QList<PageRequest>{request} + prefetchRequests);
    return true;
}

void ImageViewWidget::ShowLargeImage(const QString& path)
{
    if (largeLabel.isNull()) {
        return;
    }
    largeLabel->clear();
    ForgetShownPage();
    QImage image;
    if (!path.isEmpty() && !IsPageComplete(path)) {
        image = InterruptedPage::Picture(InterruptedPage::LargeSize());
        pageSize = image.size();
    } else {
        // Decoded at the size it is shown at; the full resolution follows
        // in the background when the zoom needs it.
        const PageRequest request{path, FitBox(), AngleOf(path)};
        if (ShowPreview(request)) {
            return;
        }
        const DecodedPage page = FetchPage(request);
        if (page.image.isNull()) {
            if (!page.pageSize.isEmpty()) {
                qCWarning(lcImageView) << "ShowLargeImage: cannot decode" << path;
            }
            return;
        }
        image = page.image;
        pageSize = page.pageSize;
        shownRequest = page.request;
        shownStamp = page.stamp;
    }
    largeLabel->setPixmap(QPixmap::fromImage(std::move(image)));
    zoomMode = ZoomFit;
    ScaleWindowSize();
    emit sglLargeImageCannotZoom(CanZoomBoth);
    PrefetchAround(path);
}

void ImageViewWidget::RedrawPage(const QString& path)
{
    if (path.isEmpty()) {
        return;
    }
    Forget(path);
    RefreshInfos();
    if (path == GetCurrentPath()) {
        ShowLargeImage(path);
    }
}

bool ImageViewWidget::IsDecoding() const
{
    return !decoder->IsIdle();
}

void ImageViewWidget::PrefetchAround(const QString& path)
{
    prefetchRequests.clear();
    const int row = pages->IsEmpty() ? -1 : pages->Current();
    if (row >= 0 && pages->PathAt(row) == path) {
        const int step = row < lastShownRow ? -1 : 1;
        lastShownRow = row;
        const QSize fit = FitBox();
        QList<int> rows;
        for (int i = 1; i <= kPagesAhead; ++i) {
            rows << row + i * step;
        }
        for (int i = 1; i <= kPagesBehind; ++i) {
            rows << row - i * step;
        }
        for (int near : qAsConst(rows)) {
            if (near < 0 || near >= RowCount()) {
                continue;
            }
            const PageRequest request{pages->PathAt(near), fit, pages->At(near).angle};
            if (!request.path.isEmpty() && !pageCache.Contains(request) && IsPageComplete(request.path)) {
                prefetchRequests << request;
            }
        }
    }
    decoder->Queue(prefetchRequests);
}

void ImageViewWidget::RequestSharperPage()
{
    if (shownRequest.path.isEmpty() || largeLabel.isNull()) {
        return;
    }
    const QSize have = largeLabel->pixmap(Qt::ReturnByValue).size();
    const QSize need = largeLabel->size() * largeLabel->devicePixelRatioF();
    if (have.width() >= pageSize.width() && have.height() >= pageSize.height()) {
        return; // full resolution
    }
    if (have.width() >= need.width() * kSharpEnough && have.height() >= need.height() * kSharpEnough) {
        return;
    }
    // Fitted into a larger window, a fitted decode is enough; zoomed in,
    // only the full resolution is.
    const PageRequest better{shownRequest.path, zoomMode == ZoomFit ? FitBox() : QSize(), shownRequest.angle};
    if (better == shownRequest || better == wantedRequest) {
        return;
    }
    if (const DecodedPage* page = pageCache.Find(better)) {
        ShowSharperPage(*page);
        return;
    }
    wantedRequest = better;
    decoder->Queue(QList<PageRequest>{better} + prefetchRequests);
}

void ImageViewWidget::ShowSharperPage(const DecodedPage& page)
{
    wantedRequest = PageRequest();
    // Only pixels of the very file shown; a file rewritten since is drawn
    // anew by RedrawPage.
    if (page.request.path != shownRequest.path || page.request.angle != shownRequest.angle ||
        page.stamp != shownStamp || page.pageSize != pageSize) {
        return;
    }
    // The label keeps its size: zoom and scroll position stay as they are.
    largeLabel->setPixmap(QPixmap::fromImage(page.image));
    shownRequest = page.request;
}

void ImageViewWidget::OnPagesDecoded()
{
    bool wantedDone = false;
    const QList<DecodedPage> finished = decoder->TakeFinished();
    for (const DecodedPage& page : finished) {
        wantedDone = wantedDone || page.request == wantedRequest;
        pageCache.Insert(page);
    }
    if (!wantedDone) {
        return;
    }
    if (const DecodedPage* page = pageCache.Find(wantedRequest)) {
        ShowSharperPage(*page);
    } else {
        wantedRequest = PageRequest(); // it did not decode: keep what is shown
    }
}

void ImageViewWidget::ScaleImage(double factor)
{
    if (largeLabel.isNull() || factor == 0.0 || pageSize.isEmpty()) {
        return;
    }
    if (largeLabel->pixmap(Qt::ReturnByValue).isNull()) {
        return;
    }
    // The factor relates the label to the page at full resolution, whatever
    // resolution the pixmap was decoded at.
    scaleFactor *= factor;
    const int width = std::max(kMinLabelSide, qRound(pageSize.width() * scaleFactor));
    const int height = std::max(kMinLabelSide, qRound(pageSize.height() * scaleFactor));
    largeLabel->resize(width, height);

    AdjustScrollBar(scrollArea->horizontalScrollBar(), factor);
    AdjustScrollBar(scrollArea->verticalScrollBar(), factor);
    RequestSharperPage();
}

void ImageViewWidget::AdjustScrollBar(QScrollBar* bar, double factor)
{
    const int value = int(factor * bar->value() + (factor - 1.0) * bar->pageStep() / 2.0);
    bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
}

void ImageViewWidget::ScaleWindowSize()
{
    if (largeLabel.isNull() || pageSize.isEmpty() || largeLabel->pixmap(Qt::ReturnByValue).isNull()) {
        return;
    }
    const QRect view = scrollArea->viewport()->rect();
    const double fitWidth = double(view.right() - view.left() + 1) / pageSize.width();
    const double fitHeight = double(view.bottom() - view.top() + 1) / pageSize.height();
    ScaleImage(std::min(fitWidth, fitHeight) / scaleFactor);
}

void ImageViewWidget::ZoomIn()
{
    zoomMode = ZoomManual;
    if (scaleFactor >= kMaxScale) {
        emit sglLargeImageCannotZoom(CannotZoomIn);
        return;
    }
    ScaleImage(1.25);
    emit sglLargeImageCannotZoom(scaleFactor >= kMaxScale ? CannotZoomIn : CanZoomBoth);
}

void ImageViewWidget::ZoomOut()
{
    zoomMode = ZoomManual;
    if (scaleFactor <= kMinScale) {
        emit sglLargeImageCannotZoom(CannotZoomOut);
        return;
    }
    ScaleImage(0.8);
    emit sglLargeImageCannotZoom(scaleFactor <= kMinScale ? CannotZoomOut : CanZoomBoth);
}

void ImageViewWidget::FitToWindow()
{
    zoomMode = ZoomFit;
    ScaleWindowSize();
    emit sglLargeImageCannotZoom(CanZoomBoth);
}

void ImageViewWidget::NormalSize()
{
    zoomMode = ZoomNormal;
    if (!largeLabel.isNull() && !pageSize.isEmpty() && !largeLabel->pixmap(Qt::ReturnByValue).isNull()) {
        largeLabel->resize(pageSize);
    }
    scaleFactor = 1.0;
    RequestSharperPage();
    emit sglLargeImageCannotZoom(CanZoomBoth);
}

// ---------------------------------------------------------- mouse input

void ImageViewWidget::ShowOpenHand()
{
    // One override entry for the whole press/release cycle, so that the
    // application's cursor stack never grows.
    if (openHandShown) {
        QApplication::changeOverrideCursor(QCursor(Qt::OpenHandCursor));
    } else {
        QApplication::setOverrideCursor(QCursor(Qt::OpenHandCursor));
        openHandShown = true;
    }
}

void ImageViewWidget::ReleaseOpenHand()
{
    // Dropping the override leaves the label's own cursor, the arrow.
    if (openHandShown) {
        QApplication::restoreOverrideCursor();
        openHandShown = false;
    }
}

bool ImageViewWidget::HandleLargeLabelMouse(QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton) {
            ShowOpenHand();
        }
        return false;
    case QEvent::MouseMove: {
        if (!(mouse->buttons() & Qt::LeftButton)) {
            return false;
        }
        const QPoint pos = mouse->screenPos().toPoint();
        if (dragActive) {
            QScrollBar* vbar = scrollArea->verticalScrollBar();
            QScrollBar* hbar = scrollArea->horizontalScrollBar();
            vbar->setValue(vbar->value() - (pos.y() - lastDragPos.y()));
            hbar->setValue(hbar->value() - (pos.x() - lastDragPos.x()));
        }
        dragActive = true;
        lastDragPos = pos;
        return true;
    }
    case QEvent::MouseButtonRelease:
        ReleaseOpenHand();
        dragActive = false;
        return false;
    default:
        return false;
    }
}

bool ImageViewWidget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize && !scrollArea.isNull() && watched == scrollArea->viewport()) {
        UpdateEmptyHint();
        return QWidget::eventFilter(watched, event);
    }
    // A scroll area being destroyed loses its focus as a plain QWidget: the
    // cast finds no QScrollArea then, and nothing is done to it.
    auto* area =
        (type == QEvent::FocusIn || type == QEvent::FocusOut) ? qobject_cast<QScrollArea*>(watched) : nullptr;
    if (area && area == scrollArea) {
        // The focus frame is wider than the plain border: the style sheet's
        // margins are taken again so that the viewport leaves room for it.
        area->style()->unpolish(area);
        area->style()->polish(area);
        QEvent styleChange(QEvent::StyleChange);
        QCoreApplication::sendEvent(area, &styleChange);
        return QWidget::eventFilter(watched, event);
    }
    const bool pointer = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                         type == QEvent::MouseButtonRelease || type == QEvent::Wheel;
    // Other events reach the filter also while the label is being destroyed,
    // when it is no longer a QLabel; the pointer is only looked at for mouse
    // and wheel events, which a dying widget never receives.
    if (!pointer || watched != largeLabel.data() || scrollArea.isNull())
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::Wheel) {
        if (static_cast<QWheelEvent*>(event)->angleDelta().y() > 0) {
            ZoomIn();
        } else {
            ZoomOut();
        }
    } else if (HandleLargeLabelMouse(event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
