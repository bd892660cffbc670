#include "imageviewwidget.h"
#include "pagefiles.h"
#include "pagelist.h"
#include "thumblistwidget.h"
#include "workspace.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// One event of a drag within the column, delivered to the viewport as the
// platform delivers it; true when the list accepts it.
bool SendDrag(ThumbListWidget* list, const QMimeData* data, QEvent::Type type, const QPoint& pos = QPoint())
{
    std::unique_ptr<QEvent> event;
    if (type == QEvent::DragEnter) {
        event.reset(new QDragEnterEvent(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier));
    } else if (type == QEvent::DragMove) {
        event.reset(new QDragMoveEvent(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier));
    } else if (type == QEvent::Drop) {
        event.reset(new QDropEvent(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier));
    } else {
        event.reset(new QDragLeaveEvent);
    }
    event->setAccepted(false);
    QApplication::sendEvent(list->viewport(), event.get());
    return event->isAccepted();
}

} // namespace

// The page column on the real list: it shows the list's rows and selection,
// clicks, keys and drags reach the list, and the drops it refuses.
class TestPageList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void drops_data();
    void drops();
    void inputReachesList_data();
    void inputReachesList();
    void dragScrolls_data();
    void dragScrolls();

private:
    void Fill(Workspace& ws, int pages);
    void Select(Workspace& ws, int current, const QList<int>& rows);
    QPoint GapPoint(Workspace& ws, int gap);

    QTemporaryDir m_dir;
    QStringList m_pages;
    std::unique_ptr<Workspace> m_ws;
};

void TestPageList::initTestCase()
{
    m_ws.reset(new Workspace(QSize(200, 300)));
    for (int i = 0; i < 12; ++i) {
        m_pages << PageFiles::Write(m_dir.path(), QStringLiteral("p%1.png").arg(i), QSize(60, 80),
                                    PageFiles::ColorFor(i));
        QVERIFY(!m_pages.last().isEmpty());
    }
}

void TestPageList::Fill(Workspace& ws, int pages)
{
    for (int i = 0; i < pages; ++i) {
        ws.view->AddImage(m_pages.at(i));
    }
    ws.view->RefreshInfos();
    ws.view->SetReorderEnabled(true);
    QApplication::processEvents();
}

void TestPageList::Select(Workspace& ws, int current, const QList<int>& rows)
{
    ws.list->setCurrentIndex(ws.list->model()->index(current, 0));
    ws.list->selectionModel()->clearSelection();
    for (int row : rows) {
        ws.list->selectionModel()->select(ws.list->model()->index(row, 0), QItemSelectionModel::Select);
    }
}

// A point in the viewport that drops into `gap`: the upper part of the row
// after the gap, or the lower part of the last row.
QPoint TestPageList::GapPoint(Workspace& ws, int gap)
{
    const int count = ws.list->RowCount();
    const QModelIndex item = ws.list->model()->index(gap < count ? gap : count - 1, 0);
    ws.list->scrollTo(item);
    const QRect rect = ws.list->visualRect(item);
    return QPoint(rect.center().x(), gap < count ? rect.top() + 10 : rect.bottom() - 10);
}

// Six pages, the selected ones dragged with the mouse into a gap of the
// column; then the order, by page. A drag shows its line between the rows
// around the gap and hides it on the drop; the selected pages stay
// selected; a change is reported once, with the order. A drop the list
// cannot take (no expected order) is refused on entering and on dropping,
// shows no line and changes nothing.
void TestPageList::drops_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QString>("source"); // how the drag's data or the list was changed
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("drag two apart into the middle")
        << QList<int>{0, 2} << 4 << "" << QList<int>{1, 3, 0, 2, 4, 5};
    QTest::newRow("drag to the end") << QList<int>{1} << 6 << "" << QList<int>{0, 2, 3, 4, 5, 1};
    QTest::newRow("drag to the front") << QList<int>{3, 4} << 0 << "" << QList<int>{3, 4, 0, 1, 2, 5};
    const QList<int> refused;
    QTest::newRow("reordering off") << QList<int>{0} << 3 << "off" << refused;
    QTest::newRow("list changed since the drag began") << QList<int>{0} << 3 << "stale" << refused;
    QTest::newRow("not our data") << QList<int>{0} << 3 << "text" << refused;
    QTest::newRow("a row past the end") << QList<int>{0} << 3 << "past" << refused;
    QTest::newRow("rows out of order") << QList<int>{0} << 3 << "unsorted" << refused;
}

void TestPageList::drops()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, gap);
    QFETCH(QString, source);
    QFETCH(QList<int>, expected);

    Workspace& ws = *m_ws;
    ws.view->Broom();
    Fill(ws, 6);
    Select(ws, selected.first(), selected);
    QSignalSpy moved(ws.view, &ImageViewWidget::sglThumbItemsMoved);
    std::unique_ptr<QMimeData> data(ws.list->CreateDragData());
    if (source == QLatin1String("text")) {
        data->clear();
        data->setText(QStringLiteral("0"));
    } else if (source == QLatin1String("past") || source == QLatin1String("unsorted")) {
        // Our own drag, its row list edited.
        const QString format = data->formats().value(0);
        QList<QByteArray> parts = data->data(format).split(' ');
        parts[2] = source == QLatin1String("past") ? QByteArray("1,6") : QByteArray("2,1");
        data->setData(format, parts.join(' '));
    } else if (source == QLatin1String("stale")) {
        ws.view->AddImage(m_pages.at(6));
    } else if (source == QLatin1String("off")) {
        ws.view->SetReorderEnabled(false);
        QVERIFY(!ws.view->MoveRows({0}, 3));
    }
    const QStringList before = ws.RowPaths();
    const bool accepted = !expected.isEmpty();
    auto* line = ws.list->findChild<QWidget*>(QStringLiteral("dropIndicator"));
    QVERIFY(line);
    const QPoint at = GapPoint(ws, gap);
    QCOMPARE(SendDrag(ws.list, data.get(), QEvent::DragEnter, at), accepted);
    QCOMPARE(ws.list->DropIndicatorGap(), accepted ? gap : -1);
    QCOMPARE(line->isVisible(), accepted);
    if (accepted) {
        const int y = line->geometry().center().y();
        const auto rect = [&ws](int row) { return ws.list->visualRect(ws.list->model()->index(row, 0)); };
        QVERIFY(gap == 0 || y >= rect(gap - 1).bottom() - 2);
        QVERIFY(gap == 6 || y <= rect(gap).top() + 2);
    }
    QCOMPARE(SendDrag(ws.list, data.get(), QEvent::Drop, at), accepted);
    QVERIFY(!line->isVisible());
    if (!accepted) {
        QCOMPARE(ws.RowPaths(), before);
        QCOMPARE(moved.count(), 0);
        return;
    }

    QStringList files;
    QStringList selectedFiles;
    for (int page : expected) {
        files << m_pages.at(page);
    }
    for (int page : selected) {
        selectedFiles << m_pages.at(page);
    }
    QCOMPARE(ws.RowPaths(), files);
    QTRY_COMPARE(ws.CheckInvariant(), QString());
    QStringList nowSelected;
    for (int row : ws.SelectedRows()) {
        nowSelected << ws.RowPath(row);
    }
    std::sort(nowSelected.begin(), nowSelected.end());
    std::sort(selectedFiles.begin(), selectedFiles.end());
    QCOMPARE(nowSelected, selectedFiles);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(QStringList(moved.at(0).at(0).value<QList<QString>>()), files);
}

// Clicks and keys in the column select in the page list itself and move its
// current page; a page chosen here is reported, a press below the last row
// changes nothing. Six pages, page 1 current and selected to begin with.
void TestPageList::inputReachesList_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("reported");

    QTest::newRow("click") << "click 4" << 4 << QList<int>{4} << 1;
    QTest::newRow("Ctrl+click adds") << "ctrl 3" << 3 << QList<int>{1, 3} << 1;
    QTest::newRow("Ctrl+click on a selected page takes it out")
        << "ctrl 3, ctrl 1" << 1 << QList<int>{3} << 2;
    QTest::newRow("Shift+click spans") << "shift 4" << 4 << QList<int>{1, 2, 3, 4} << 1;
    QTest::newRow("down") << "key Down" << 2 << QList<int>{2} << 1;
    QTest::newRow("Shift+up spans") << "shiftkey Up" << 0 << QList<int>{0, 1} << 1;
    QTest::newRow("a press below the last row") << "below" << 1 << QList<int>{1} << 0;
}

void TestPageList::inputReachesList()
{
    QFETCH(QString, input);
    QFETCH(int, current);
    QFETCH(QList<int>, selected);
    QFETCH(int, reported);

    Workspace ws(QSize(200, 300));
    ws.list->setFixedHeight(480); // about three rows in view
    for (int i = 0; i < 6; ++i) {
        ws.view->AddImage(m_pages.at(i));
    }
    ws.view->SetSelection(1);
    PageList* pages = ws.view->Pages();
    // One selection: the column's is the list's.
    QCOMPARE(ws.list->selectionModel(), pages->Selection());
    QVERIFY(QTest::qWaitForWindowExposed(&ws.host));
    QSignalSpy chosen(ws.view, &ImageViewWidget::sglThumbItemClicked);
    const auto click = [&ws](int row, Qt::KeyboardModifiers modifiers) {
        const QModelIndex index = ws.list->model()->index(row, 0);
        ws.list->scrollTo(index);
        QTest::mouseClick(ws.list->viewport(), Qt::LeftButton, modifiers,
                          ws.list->visualRect(index).center());
    };
    for (const QString& step : input.split(QStringLiteral(", "))) {
        const QStringList words = step.split(QLatin1Char(' '));
        const QString& verb = words.first();
        if (verb == QLatin1String("click") || verb == QLatin1String("ctrl") ||
            verb == QLatin1String("shift")) {
            click(words.at(1).toInt(), verb == QLatin1String("ctrl")    ? Qt::ControlModifier
                                       : verb == QLatin1String("shift") ? Qt::ShiftModifier
                                                                        : Qt::NoModifier);
        } else if (verb == QLatin1String("key") || verb == QLatin1String("shiftkey")) {
            ws.list->setFocus();
            QTest::keyClick(ws.list, words.at(1) == QLatin1String("Up") ? Qt::Key_Up : Qt::Key_Down,
                            verb == QLatin1String("shiftkey") ? Qt::ShiftModifier : Qt::NoModifier);
        } else {
            // Below the last row, in a column taller than its six rows.
            ws.list->setFixedHeight(1100);
            QApplication::processEvents();
            const QRect last = ws.list->visualRect(ws.list->model()->index(5, 0));
            const QPoint below(last.center().x(), last.bottom() + 20);
            QVERIFY(below.y() < ws.list->viewport()->height());
            QTest::mouseClick(ws.list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
        }
    }
    QCOMPARE(pages->Current(), current);
    QCOMPARE(pages->SelectedRows(), selected);
    QCOMPARE(ws.view->GetCurrentIndex(), current);
    QCOMPARE(chosen.count(), reported);
    if (reported > 0) {
        QCOMPARE(chosen.last().at(0).toInt(), current);
    }
    // The large view shows the list's current page.
    const QColor shown = PageFiles::CenterColor(ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage());
    QVERIFY(PageFiles::Near(shown, PageFiles::ColorFor(current)));
}

// A drag held near the top or bottom edge of the column scrolls it that
// way; elsewhere the column stays. The pointer is given as a share of the
// column's height; the column starts scrolled to its middle.
void TestPageList::dragScrolls_data()
{
    QTest::addColumn<double>("at");
    QTest::addColumn<int>("direction");
    QTest::newRow("near the bottom") << 0.98 << 1;
    QTest::newRow("near the top") << 0.02 << -1;
    QTest::newRow("in the middle") << 0.5 << 0;
}

void TestPageList::dragScrolls()
{
    QFETCH(double, at);
    QFETCH(int, direction);
    Workspace& ws = *m_ws;
    ws.view->Broom();
    Fill(ws, 12);
    Select(ws, 0, {0});
    QScrollBar* bar = ws.list->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum() / 2);
    const int before = bar->value();
    std::unique_ptr<QMimeData> data(ws.list->CreateDragData());
    const QPoint middle(ws.list->viewport()->width() / 2, ws.list->viewport()->height() / 2);
    QVERIFY(SendDrag(ws.list, data.get(), QEvent::DragEnter, middle));
    const QPoint point(middle.x(), int(at * (ws.list->viewport()->height() - 1)));
    QVERIFY(SendDrag(ws.list, data.get(), QEvent::DragMove, point));
    QTest::qWait(300);
    const int moved = bar->value() - before;
    SendDrag(ws.list, data.get(), QEvent::DragLeave);
    QVERIFY2(direction > 0   ? moved > 0
             : direction < 0 ? moved < 0
                             : moved == 0,
             qPrintable(QString::number(moved)));
    // The scrolling ends with the drag.
    const int after = bar->value();
    QTest::qWait(100);
    QCOMPARE(bar->value(), after);
}

QTEST_MAIN(TestPageList)
#include "tst_pagelist.moc"
