#include "workspace.h"

#include "imageviewwidget.h"
#include "pagefiles.h"
#include "pagelist.h"
#include "thumblistwidget.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>

Workspace::Workspace(QSize viewportSize)
{
    auto* row = new QHBoxLayout(&host);
    list = new ThumbListWidget(&host);
    row->addWidget(list);
    auto* right = new QVBoxLayout;
    row->addLayout(right);
    view = new ImageViewWidget(list, right, &host);
    // The scroll area has a one-pixel border on each side.
    ScrollArea()->setFixedSize(viewportSize + QSize(2, 2));
    host.show();
    host.activateWindow();
}

Workspace::~Workspace()
{
    delete view;
}

QLabel* Workspace::LargeLabel() const
{
    return host.findChild<QLabel*>(QStringLiteral("largeLabel"));
}

QScrollArea* Workspace::ScrollArea() const
{
    return host.findChild<QScrollArea*>(QStringLiteral("scrollArea"));
}

ThumbnailItemDelegate* Workspace::Delegate() const
{
    return qobject_cast<ThumbnailItemDelegate*>(list->itemDelegate());
}

bool Workspace::WaitForThumbnails() const
{
    const QDeadlineTimer deadline(10000);
    do {
        QApplication::processEvents();
        if (!view->Thumbnails()->IsDecoding()) {
            QApplication::processEvents();
            return true;
        }
        view->Thumbnails()->WaitForDecodes(50);
    } while (!deadline.hasExpired());
    return false;
}

QImage Workspace::Picture(int row) const
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    Delegate()->Picture(index); // asks for the thumbnail
    WaitForThumbnails();
    return Delegate()->Picture(index);
}

QImage Workspace::Cell(int row) const
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    list->viewport()->grab(); // the row asks for its thumbnail as it is drawn
    WaitForThumbnails();
    return list->viewport()->grab(list->visualRect(index)).toImage();
}

QString Workspace::NumberShown(int row) const
{
    const QImage cell = Cell(row);
    // Enlarged, with a margin: Tesseract reads a line of large glyphs.
    const QImage band = cell.copy(ThumbnailItemDelegate::NumberRect(cell.rect()));
    QImage page(band.width() * 4 + 80, band.height() * 4 + 80, QImage::Format_RGB32);
    page.fill(band.pixel(0, 0));
    QPainter(&page).drawImage(QPoint(40, 40),
                              band.scaled(band.size() * 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("number.png"));
    if (!page.save(file)) {
        return QString();
    }
    QProcess tesseract;
    tesseract.start(QStringLiteral("tesseract"),
                    {file, QStringLiteral("stdout"), QStringLiteral("--psm"), QStringLiteral("7"),
                     QStringLiteral("-c"), QStringLiteral("tessedit_char_whitelist=0123456789")});
    if (!tesseract.waitForFinished(20000)) {
        return QString();
    }
    return QString::fromUtf8(tesseract.readAllStandardOutput()).trimmed();
}

QString Workspace::RowPath(int row) const
{
    return list->model()->index(row, 0).data(PageList::PathRole).toString();
}

QStringList Workspace::RowPaths() const
{
    QStringList paths;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        paths << RowPath(row);
    }
    return paths;
}

QList<int> Workspace::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString Workspace::CheckInvariant() const
{
    const QVector<QString>& pages = view->GetPagePaths();
    const int rows = list->model()->rowCount();
    if (pages.size() != rows) {
        return QStringLiteral("%1 page paths for %2 rows").arg(pages.size()).arg(rows);
    }
    for (int row = 0; row < rows; ++row) {
        // The middle of the row's image box, as drawn on the screen.
        const QImage cell = Cell(row);
        const QRect box = ThumbnailItemDelegate::ImageRect(cell.rect());
        const QColor shown = cell.pixelColor(box.center());
        const QImage page = QImageReader(pages.at(row)).read();
        if (!PageFiles::Near(shown, PageFiles::CenterColor(page))) {
            return QStringLiteral("row %1 does not show %2 (%3)").arg(row).arg(pages.at(row), shown.name());
        }
    }
    return QString();
}
