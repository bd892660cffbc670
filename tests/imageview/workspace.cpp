#include "workspace.h"

#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"

#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

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

ThumbnailWidget* Workspace::Thumb(int row) const
{
    return qobject_cast<ThumbnailWidget*>(list->itemWidget(list->item(row)));
}

QString Workspace::RowPath(int row) const
{
    return list->item(row)->data(Qt::UserRole).toString();
}

QStringList Workspace::RowPaths() const
{
    QStringList paths;
    for (int row = 0; row < list->count(); ++row) {
        paths << RowPath(row);
    }
    return paths;
}

QList<int> Workspace::SelectedRows() const
{
    QList<int> rows;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) {
            rows << row;
        }
    }
    return rows;
}

QString Workspace::CheckInvariant() const
{
    const QVector<QString>& pages = view->GetPagePaths();
    if (pages.size() != list->count()) {
        return QStringLiteral("%1 page paths for %2 rows").arg(pages.size()).arg(list->count());
    }
    for (int row = 0; row < list->count(); ++row) {
        if (RowPath(row) != pages.at(row)) {
            return QStringLiteral("row %1 holds %2, page path %3").arg(row).arg(RowPath(row), pages.at(row));
        }
        ThumbnailWidget* thumb = Thumb(row);
        if (thumb == nullptr) {
            return QStringLiteral("row %1 has no thumbnail").arg(row);
        }
        const QString number = thumb->findChild<QLabel*>(QStringLiteral("lblIndex"))->text();
        if (number != QString::number(row + 1)) {
            return QStringLiteral("row %1 numbered '%2'").arg(row).arg(number);
        }
        const QImage shown =
            thumb->findChild<QLabel*>(QStringLiteral("lblImage"))->pixmap(Qt::ReturnByValue).toImage();
        const QImage page = QImageReader(pages.at(row)).read();
        if (!PageFiles::Near(PageFiles::CenterColor(shown), PageFiles::CenterColor(page))) {
            return QStringLiteral("thumbnail of row %1 does not show %2").arg(row).arg(pages.at(row));
        }
    }
    return QString();
}
