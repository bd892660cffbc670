#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include "imageproc.h"

class QAction;
class QLabel;
class QListWidgetItem;
class QMenu;
class QMouseEvent;
class QScrollArea;
class QScrollBar;
class QVBoxLayout;
class ThumbListWidget;
class ThumbnailItemDelegate;

// The page workspace: the ordered list of page files, shown as a thumbnail
// column and, for the current page, as a large zoomable view.
class ImageViewWidget : public QWidget {
    Q_OBJECT

public:
    enum ZoomMode { ZoomManual = 0, ZoomNormal = 1, ZoomFit = 2 };

    // Context-menu choices reported by sglThumbItemRightMenuClicked.
    enum MenuType { MenuScanAfter = 1, MenuScanBefore = 2, MenuReplaceScan = 3 };
    // Codes of sglLargeImageCannotZoom.
    enum ZoomLimit { CannotZoomIn = 1, CannotZoomOut = 2, CanZoomBoth = 3 };

    static constexpr double kMaxScale = 2.0;
    static constexpr double kMinScale = 0.1;

    ImageViewWidget(ThumbListWidget* list, QVBoxLayout* layout, QWidget* parent = nullptr);
    ~ImageViewWidget() override;

    void AddImage(const QString& path);
    void InsertImage(const QString& path);
    void ReplaceImage(int index, const QString& path);
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

    // Turn the selected pages and redraw them, all on this thread.
    void RotateLeft();
    void RotateRight();
    void Rotate180();

    // Rows of the selected pages, in row order; the page file of a row.
    QList<int> SelectedRows() const;
    QString PathAt(int row) const;
    // Turns page files clockwise by `angle` degrees, spread over the cores.
    // Each file is written beside and renamed over, so a failure (or a kill)
    // leaves it whole, in its old or its new orientation. Touches no widget:
    // callable from any thread. One entry per file, in order; reason None
    // where the file was turned (page indices count in `paths`).
    static QVector<SaveFailure> RotateFiles(const QList<QString>& paths, double angle);
    // Redraws the thumbnails of `rows` from their files, and the large view
    // when the current row is among them; the current row stays in view.
    void RefreshRows(const QList<int>& rows);

    void ZoomIn();
    void ZoomOut();
    void FitToWindow();
    void NormalSize();

    void Delete();
    void ClearImages();
    void Broom();

    void ShowLargeImage(const QString& path);

    ZoomMode GetZoomMode() const { return zoomMode; }
    double GetScaleFactor() const { return scaleFactor; }
    const QVector<QString>& GetPagePaths() const { return pagePaths; }
    QString GetCurrentPath() const { return currentPath; }
    int GetInsertIndex() const { return insertIndex; }

signals:
    void sglThumbItemClicked(int thumbItemIndex);
    void sglThumbItemRightMenuClicked(int thumbItemIndex, int type);
    void sglLargeImageCannotZoom(int type);
    void sglThumbItemDeleted(QList<QString> remainImgs, int currentindex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void OnCurrentRowChanged(int row);
    void OnContextMenuRequested(const QPoint& pos);

private:
    void SetUpLargeView(QVBoxLayout* layout);
    void SetUpThumbList();
    void SetUpContextMenu();
    void AddItemAt(int row, const QString& path);
    void ClearLargeImage();
    void Rotate(double angle);
    void ScaleImage(double factor);
    void ScaleWindowSize();
    void AdjustScrollBar(QScrollBar* bar, double factor);
    bool HandleLargeLabelMouse(QEvent* event);
    void ShowOpenHand();
    void ReleaseOpenHand();
    int RowCount() const;

    QVector<QString> pagePaths;
    int currentIndex = 0;
    int insertIndex = 0;
    double scaleFactor = 1.0;
    ZoomMode zoomMode = ZoomFit;
    QString currentPath;
    QListWidgetItem* currentItem = nullptr;
    bool dragActive = false;
    QPoint lastDragPos;
    bool rowChangeSuppressed = false;
    bool clearing = false;
    bool openHandShown = false;
    ImageProc imageProc;
    QPointer<QLabel> largeLabel;
    QPointer<QScrollArea> scrollArea;
    QPointer<ThumbListWidget> thumbList;
    ThumbnailItemDelegate* delegate = nullptr;
    QMenu* contextMenu = nullptr;
};
