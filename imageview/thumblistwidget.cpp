#include "thumblistwidget.h"

#include "thumbnailitemdelegate.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

const char ThumbListWidget::kRowsMimeType[] = "application/x-scanvy-thumbnail-rows";

namespace {
// Height of the band along the top and bottom edges where a drag scrolls
// the column, and the largest step of one scroll tick.
const int kScrollBand = 36;
const int kMaxScrollStep = 24;
const int kScrollInterval = 30;
const int kDropLineHeight = 4;
const int kDragPixmapWidth = 80;
// Orange: stands out from the selected blue and the grey rows.
const char kDropLineStyle[] = "background-color:#E8711A; border:none;";

// Identifies this process's own drags: another program (or another copy of
// this one) may offer the same type.
QByteArray DragOrigin(const ThumbListWidget* list)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(quintptr(list), 16);
}
} // namespace

ThumbListWidget::ThumbListWidget(QWidget* parent) : QListView(parent)
{
    m_dropLine = new QWidget(viewport());
    m_dropLine->setObjectName(QStringLiteral("dropIndicator"));
    m_dropLine->setAttribute(Qt::WA_StyledBackground);
    m_dropLine->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropLine->setStyleSheet(QLatin1String(kDropLineStyle));
    m_dropLine->hide();
    m_autoScroll = new QTimer(this);
    m_autoScroll->setInterval(kScrollInterval);
    connect(m_autoScroll, &QTimer::timeout, this, &ThumbListWidget::OnAutoScroll);
}

void ThumbListWidget::ScrollToCurrent()
{
    // Also when the current row did not change (pages inserted before or
    // after it, a rotation): the view only follows a change by itself.
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        scrollTo(current, QAbstractItemView::EnsureVisible);
    }
}

int ThumbListWidget::RowCount() const
{
    return model() != nullptr ? model()->rowCount() : 0;
}

template <typename Handle> void ThumbListWidget::ReportChoice(Handle handle)
{
    const QPersistentModelIndex before = currentIndex();
    handle();
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before) {
        emit sglCurrentChosen(after.row());
    }
}

void ThumbListWidget::SetReorderEnabled(bool on)
{
    m_reorder = on;
    setDragEnabled(on);
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    if (!on) {
        EndDragOver();
    }
}

// ------------------------------------------------------------ keyboard

bool ThumbListWidget::event(QEvent* event)
{
    // The Menu key arrives as a context-menu request at the mouse pointer,
    // wherever that is; it belongs to the current thumbnail.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        OpenMenuAtCurrent();
        event->accept();
        return true;
    }
    return QListView::event(event);
}

void ThumbListWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        OpenMenuAtCurrent();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        emit sglCopyRequested();
        event->accept();
        return;
    }
    m_keyRepeat = event->isAutoRepeat();
    ReportChoice([this, event]() { QListView::keyPressEvent(event); });
    m_keyRepeat = false;
}

void ThumbListWidget::OpenMenuAtCurrent()
{
    if (contextMenuPolicy() != Qt::CustomContextMenu || !currentIndex().isValid()) {
        return;
    }
    ScrollToCurrent();
    emit customContextMenuRequested(visualRect(currentIndex()).center());
}

// --------------------------------------------------------------- mouse

void ThumbListWidget::mousePressEvent(QMouseEvent* event)
{
    if (!indexAt(event->pos()).isValid()) {
        event->accept();
        return;
    }
    ReportChoice([this, event]() { QListView::mousePressEvent(event); });
}

void ThumbListWidget::mouseMoveEvent(QMouseEvent* event)
{
    ReportChoice([this, event]() { QListView::mouseMoveEvent(event); });
}

void ThumbListWidget::mouseReleaseEvent(QMouseEvent* event)
{
    ReportChoice([this, event]() { QListView::mouseReleaseEvent(event); });
}

// ---------------------------------------------------------------- drag

QMimeData* ThumbListWidget::CreateDragData() const
{
    QList<int> rows;
    if (selectionModel() != nullptr) {
        for (const QModelIndex& index : selectionModel()->selectedRows()) {
            rows << index.row();
        }
    }
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        return nullptr;
    }
    QByteArray text = DragOrigin(this) + ' ' + QByteArray::number(RowCount()) + ' ';
    for (int i = 0; i < rows.size(); ++i) {
        text += (i > 0 ? "," : "") + QByteArray::number(rows.at(i));
    }
    auto* data = new QMimeData;
    data->setData(QLatin1String(kRowsMimeType), text);
    return data;
}

// The rows a drag of this very list carries; empty for anything else, or
// when the list has changed since the drag began.
QList<int> ThumbListWidget::DraggedRows(const QMimeData* data) const
{
    if (data == nullptr || !data->hasFormat(QLatin1String(kRowsMimeType))) {
        return {};
    }
    const QList<QByteArray> parts = data->data(QLatin1String(kRowsMimeType)).split(' ');
    bool countOk = false;
    if (parts.size() != 3 || parts.at(0) != DragOrigin(this) || parts.at(1).toInt(&countOk) != RowCount() ||
        !countOk) {
        return {};
    }
    QList<int> rows;
    for (const QByteArray& number : parts.at(2).split(',')) {
        bool ok = false;
        const int row = number.toInt(&ok);
        if (!ok || row < 0 || row >= RowCount() || (!rows.isEmpty() && row <= rows.last())) {
            return {};
        }
        rows << row;
    }
    return rows;
}

QPixmap ThumbListWidget::DragPixmap(const QList<int>& rows) const
{
    // The first dragged thumbnail, reduced, with the number of pages when
    // there are several.
    const QRect cell = visualRect(model()->index(rows.first(), 0)).intersected(viewport()->rect());
    QPixmap pixmap;
    if (cell.isEmpty()) {
        pixmap = QPixmap(ThumbnailItemDelegate::kItemWidth, ThumbnailItemDelegate::kItemHeight);
        pixmap.fill(Qt::lightGray);
    } else {
        pixmap = viewport()->grab(cell);
    }
    pixmap = pixmap.scaledToWidth(kDragPixmapWidth, Qt::SmoothTransformation);
    if (rows.size() > 1) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect badge(pixmap.width() - 30, 2, 28, 20);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE8, 0x71, 0x1A));
        painter.drawRoundedRect(badge, 8, 8);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, QString::number(rows.size()));
    }
    return pixmap;
}

void ThumbListWidget::startDrag(Qt::DropActions /*supportedActions*/)
{
    if (!m_reorder) {
        return;
    }
    QMimeData* data = CreateDragData();
    if (data == nullptr) {
        return;
    }
    const QList<int> rows = DraggedRows(data);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (!rows.isEmpty()) {
        const QPixmap pixmap = DragPixmap(rows);
        drag->setPixmap(pixmap);
        drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    }
    // The drop moves the rows itself; nothing is removed here whatever the
    // drag reports.
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    EndDragOver();
}

int ThumbListWidget::DropGapAt(const QPoint& pos) const
{
    // Rows lie one below the other: the first row whose middle is below the
    // point is the one the drop goes before.
    int low = 0;
    int high = RowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (pos.y() < visualRect(model()->index(middle, 0)).center().y()) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

void ThumbListWidget::ShowDropIndicator(int gap)
{
    const int count = RowCount();
    if (count == 0) {
        HideDropIndicator();
        return;
    }
    const auto rect = [this](int row) { return visualRect(model()->index(row, 0)); };
    const int half = std::max(1, spacing() / 2);
    int y;
    if (gap <= 0) {
        y = rect(0).top() - half;
    } else if (gap >= count) {
        y = rect(count - 1).bottom() + half;
    } else {
        y = (rect(gap - 1).bottom() + rect(gap).top() + 1) / 2;
    }
    const int top =
        std::clamp(y - kDropLineHeight / 2, 0, std::max(0, viewport()->height() - kDropLineHeight));
    m_dropLine->setGeometry(2, top, std::max(0, viewport()->width() - 4), kDropLineHeight);
    m_dropLine->show();
    m_dropLine->raise();
    m_dropGap = gap;
}

void ThumbListWidget::HideDropIndicator()
{
    m_dropLine->hide();
    m_dropGap = -1;
}

void ThumbListWidget::EndDragOver()
{
    m_autoScroll->stop();
    m_scrollStep = 0;
    HideDropIndicator();
}

void ThumbListWidget::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event); // an entering drag is handled like one that moves
}

void ThumbListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_reorder || DraggedRows(event->mimeData()).isEmpty()) {
        EndDragOver();
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_dragPos = event->pos();
    ShowDropIndicator(DropGapAt(m_dragPos));
    UpdateAutoScroll(m_dragPos);
}

void ThumbListWidget::dragLeaveEvent(QDragLeaveEvent* event)
{
    EndDragOver();
    event->accept();
}

void ThumbListWidget::dropEvent(QDropEvent* event)
{
    EndDragOver();
    const QList<int> rows = m_reorder ? DraggedRows(event->mimeData()) : QList<int>();
    if (rows.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    emit sglRowsDropped(rows, DropGapAt(event->pos()));
}

void ThumbListWidget::UpdateAutoScroll(const QPoint& pos)
{
    // The closer to the edge, the faster.
    const int height = viewport()->height();
    const int band = std::min(kScrollBand, height / 4);
    m_scrollStep = 0;
    if (pos.y() < band) {
        m_scrollStep = -std::max(2, kMaxScrollStep * (band - pos.y()) / std::max(1, band));
    } else if (pos.y() >= height - band) {
        m_scrollStep = std::max(2, kMaxScrollStep * (pos.y() - (height - band) + 1) / std::max(1, band));
    }
    if (m_scrollStep == 0) {
        m_autoScroll->stop();
    } else if (!m_autoScroll->isActive()) {
        m_autoScroll->start();
    }
}

void ThumbListWidget::OnAutoScroll()
{
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + m_scrollStep);
    if (bar->value() == before) {
        m_autoScroll->stop(); // at the end of the column
        return;
    }
    ShowDropIndicator(DropGapAt(m_dragPos));
}
