#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include "imageproc.h"
#include "pagecache.h"
#include "pagelist.h"

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QScrollArea;
class QScrollBar;
class QVBoxLayout;
class PageDecoder;
class ThumbListWidget;
class ThumbnailItemDelegate;
class ThumbnailLoader;

// The page workspace: the pages of a PageList shown as a thumbnail column
// and, for the current page, as a large zoomable view. The list owns the
// pages, the current page and the selection; the column is a view of the
// list sharing its selection, the large view follows the list's signals,
// and what the user does here goes to the list.
class ImageViewWidget : public QWidget {
    Q_OBJECT

public:
    enum ZoomMode { ZoomManual = 0, ZoomNormal = 1, ZoomFit = 2 };

    // Context-menu choices reported by sglThumbItemRightMenuClicked: where
    // the scan puts its pages.
    enum MenuType {
        MenuScanAfter = int(PagePlacement::After),
        MenuScanBefore = int(PagePlacement::Before),
        MenuReplaceScan = int(PagePlacement::Replace),
    };
    // Codes of sglLargeImageCannotZoom.
    enum ZoomLimit { CannotZoomIn = 1, CannotZoomOut = 2, CanZoomBoth = 3 };

    static constexpr double kMaxScale = 2.0;
    static constexpr double kMinScale = 0.1;

    // Shows `pages` (a list of its own when none is given).
    ImageViewWidget(ThumbListWidget* list, QVBoxLayout* layout, QWidget* parent = nullptr,
                    PageList* pages = nullptr);
    ~ImageViewWidget() override;

    void AddImage(const QString& path);
    // Appends many pages (a session brought back) and makes row `current`
    // the current one (without reporting it). The rows appear at once; in
    // the next turn of the event loop the large view shows the current
    // page. The thumbnails of the rows in view are decoded in the background
    // and drawn as they arrive; the others when they come into view.
    void AddImages(const QList<QString>& paths, int current);
    void AddImages(const QList<Page>& pages, int current);
    // True while the large view waits for its turn or thumbnails are
    // decoded.
    bool IsLoadingThumbnails() const;
    // A scanned page, placed where the running scan puts its pages.
    void InsertImage(const QString& path);
    void ReplaceImage(int index, const QString& path);
    // A scan of `scanType` (a PagePlacement value) begins: its pages go to
    // the end, before row `index`, after row `index` or in its place.
    void SetSelectedImgIndexForScan(int scanType, int index);

    void SetSelection(int row);
    void ResetSelection();
    void ClearItemSelction();
    void SelectAll();
    void SelectReverse();
    bool IsSelected(int row) const;
    int GetCurrentIndex() const;
    void RefreshInfos();

    void FirstPage();
    void NextPage();
    void PrevPage();
    void LastPage();
    void JumpTo(int row);

    // Turn the selected pages: their angles in the list change, no file
    // does; the column and the large view draw them turned.
    void RotateLeft();
    void RotateRight();
    void Rotate180();

    // Rows of the selected pages, in row order; the page file of a row.
    QList<int> SelectedRows() const;
    QString PathAt(int row) const;

    void ZoomIn();
    void ZoomOut();
    void FitToWindow();
    void NormalSize();

    void Delete();
    // Shows the list's current page (after the list was put back to an
    // earlier state) and reports it.
    void FollowList();
    void ClearImages();
    void Broom();

    // What the large view says while the list has no page (how to start).
    void SetEmptyHint(const QString& text);

    void ShowLargeImage(const QString& path);
    // The page file `path` was rewritten (turned, replaced under its name):
    // its thumbnails and, when it is the current page, the large view are
    // drawn again from the file. Nothing decoded from the old file is shown
    // again.
    void RedrawPage(const QString& path);

    // Page order. Reordering is refused (no drag, no move) while it is off;
    // the owner turns it off while a job works on the pages.
    void SetReorderEnabled(bool on);
    bool ReorderEnabled() const { return reorderEnabled; }
    // Moves `rows` into the gap before row `gap` (the row count: the end),
    // in their present order. True when the order changed.
    bool MoveRows(QList<int> rows, int gap);
    // Actions offered below the scan entries of the context menu (their
    // state stays with their owner).
    void AddContextActions(const QList<QAction*>& actions);

    ZoomMode GetZoomMode() const { return zoomMode; }
    double GetScaleFactor() const { return scaleFactor; }
    PageList* Pages() const { return pages; }
    QVector<QString> GetPagePaths() const;
    // The page of the list's current row; empty when it has none.
    QString GetCurrentPath() const;
    int GetInsertIndex() const;
    // Decoded pages the large view holds for quick page switching.
    int CachedPageCount() const { return pageCache.Count(); }
    qint64 CachedPageBytes() const { return pageCache.Bytes(); }
    // True while pages are decoded in the background.
    bool IsDecoding() const;
    // The column's thumbnails.
    ThumbnailLoader* Thumbnails() const { return thumbnails; }

signals:
    void sglThumbItemClicked(int thumbItemIndex);
    void sglThumbItemRightMenuClicked(int thumbItemIndex, int type);
    void sglLargeImageCannotZoom(int type);
    void sglThumbItemDeleted(QList<QString> remainImgs, int currentindex);
    // The page order changed; the pages in their new order. The current page
    // and the selection stay with their pages.
    void sglThumbItemsMoved(QList<QString> pages);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void OnCurrentChanged(int row);
    void OnContextMenuRequested(const QPoint& pos);
    void OnPagesDecoded();
    void OnRowsInserted(const QModelIndex& parent, int first, int last);
    void OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles);
    void OnModelAboutToBeReset();

private:
    void SetUpLargeView(QVBoxLayout* layout);
    void UpdateEmptyHint();
    void SetUpThumbList();
    void SetUpContextMenu();
    void SetUpReorder();
    void BindPages();
    bool ApplyOrder(const QVector<int>& order);
    void ShowPendingPage();
    // Drops what was decoded of `path`.
    void Forget(const QString& path);
    void ClearLargeImage();
    void ForgetShownPage();
    void Rotate(int degrees);
    // The turn of the page of `path` (0 when no row holds it).
    int AngleOf(const QString& path) const;
    void ScaleImage(double factor);
    void ScaleWindowSize();
    void AdjustScrollBar(QScrollBar* bar, double factor);
    bool HandleLargeLabelMouse(QEvent* event);
    void ShowOpenHand();
    void ReleaseOpenHand();
    int RowCount() const;
    QSize FitBox() const;
    DecodedPage FetchPage(const PageRequest& request);
    bool ShowPreview(const PageRequest& request);
    void PrefetchAround(const QString& path);
    void RequestSharperPage();
    void ShowSharperPage(const DecodedPage& page);

    QPointer<PageList> pages;
    double scaleFactor = 1.0;
    ZoomMode zoomMode = ZoomFit;
    bool dragActive = false;
    QPoint lastDragPos;
    bool openHandShown = false;
    ImageProc imageProc;
    QPointer<QLabel> largeLabel;
    QPointer<QScrollArea> scrollArea;
    QPointer<QLabel> emptyHint;
    QPointer<ThumbListWidget> thumbList;
    ThumbnailLoader* thumbnails = nullptr;
    ThumbnailItemDelegate* delegate = nullptr;
    QMenu* contextMenu = nullptr;

    // The large view's page: its full size, what its pixmap was decoded
    // for (no path for the interrupted-page picture) and from which file,
    // and a sharper decode of it that is awaited.
    QSize pageSize;
    PageRequest shownRequest;
    PageStamp shownStamp;
    PageRequest wantedRequest;
    QList<PageRequest> prefetchRequests;
    int lastShownRow = -1;
    PageDecoder* decoder = nullptr;
    PageCache pageCache;
    QList<QAction*> scanMenuActions;
    bool reorderEnabled = false;
    // Many pages came at once: the large view shows the current page in the
    // next turn of the event loop.
    bool largeViewPending = false;
};
