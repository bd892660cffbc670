#include "imageviewwidget.h"
#include "pagefiles.h"
#include "pagelist.h"
#include "thumblistwidget.h"
#include "workspace.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// The user's view of the column: pages in order, the selected ones and the
// current one, all by file.
struct Model {
    QStringList order;
    QSet<QString> selected;
    QString current;

    // Each run of selected pages moves one place towards `step` unless it
    // already touches that edge; the page it passes goes to its other end.
    void Move(int step)
    {
        QStringList next = order;
        for (int row = 0; row < order.size();) {
            int end = row;
            while (selected.contains(order.at(row)) && end + 1 < order.size() &&
                   selected.contains(order.at(end + 1))) {
                ++end;
            }
            if (selected.contains(order.at(row)) && step < 0 && row > 0) {
                next.move(row - 1, end);
            } else if (selected.contains(order.at(row)) && step > 0 && end + 1 < order.size()) {
                next.move(end + 1, row);
            }
            row = end + 1;
        }
        order = next;
    }

    // The dragged pages leave their places and land together in the gap
    // before row `gap` of the old order.
    void Drop(const QList<int>& rows, int gap)
    {
        QStringList moved;
        int at = gap;
        for (int row : rows) {
            moved << order.at(row);
            at -= row < gap ? 1 : 0;
        }
        for (const QString& page : qAsConst(moved)) {
            order.removeOne(page);
        }
        for (int i = 0; i < moved.size(); ++i) {
            order.insert(at + i, moved.at(i));
        }
    }

    // The selected pages go; the row that was current (or the last row when
    // fewer are left) becomes current and the only selected one.
    void Delete()
    {
        const int old = order.indexOf(current);
        for (const QString& page : qAsConst(selected)) {
            order.removeOne(page);
        }
        selected.clear();
        current.clear();
        if (!order.isEmpty()) {
            current = order.at(old == 0 ? 0 : std::min(old, int(order.size()) - 1));
            selected << current;
        }
    }

    // A move to `row` (out of range: nothing changes) selects only that row.
    void GoTo(int row)
    {
        if (row >= 0 && row < order.size()) {
            current = order.at(row);
            selected = {current};
        }
    }
};

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

// The page column on the real list: random sessions of scans, moves,
// deletes and page steps checked against a model, and the drops it refuses.
class TestPageList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void randomSession_data();
    void randomSession();
    void refusedDrops_data();
    void refusedDrops();
    void columnFollowsList_data();
    void columnFollowsList();
    void inputReachesList_data();
    void inputReachesList();
    void dragScrolls_data();
    void dragScrolls();

private:
    void Fill(Workspace& ws, int pages);
    void Select(Workspace& ws, int current, const QList<int>& rows);
    QPoint GapPoint(Workspace& ws, int gap);
    QString Compare(Workspace& ws, const Model& model);

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

QString TestPageList::Compare(Workspace& ws, const Model& model)
{
    if (ws.RowPaths() != model.order) {
        return QStringLiteral("order differs");
    }
    const QString invariant = ws.CheckInvariant(); // paths, numbers, thumbnails
    if (!invariant.isEmpty()) {
        return invariant;
    }
    QSet<QString> selected;
    for (int row : ws.SelectedRows()) {
        selected << ws.RowPath(row);
    }
    if (selected != model.selected) {
        QStringList want(model.selected.begin(), model.selected.end()), got(selected.begin(), selected.end());
        want.sort();
        got.sort();
        return QStringLiteral("selected %1, expected %2 (current %3 of %4)")
            .arg(got.join(QLatin1Char(' ')), want.join(QLatin1Char(' ')))
            .arg(ws.view->GetCurrentIndex())
            .arg(model.order.join(QLatin1Char(' ')));
    }
    const QImage large = ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage();
    if (model.order.isEmpty()) {
        return large.isNull() && ws.view->GetCurrentPath().isEmpty()
                   ? QString()
                   : QStringLiteral("an empty list shows a page");
    }
    const int current = ws.view->GetCurrentIndex();
    if (current < 0 || ws.RowPath(current) != model.current || ws.view->GetCurrentPath() != model.current) {
        return QStringLiteral("current row %1").arg(current);
    }
    const QColor shown = PageFiles::CenterColor(large);
    if (!PageFiles::Near(shown, PageFiles::ColorFor(m_pages.indexOf(model.current)))) {
        return QStringLiteral("the large view does not show the current page");
    }
    return QString();
}

void TestPageList::randomSession_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u}) {
        QTest::addRow("seed %u", seed) << seed;
    }
}

// A session of random steps on the real column: a selection, then a move
// (up, down, by rows, by a dragged thumbnail), scanned pages appended,
// inserted before or after a page or replacing one, a delete, a clean-up or
// a page step. After each step rows, numbers, thumbnails, selection, current
// page and large view must agree with the model.
void TestPageList::randomSession()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    Workspace& ws = *m_ws;
    ws.view->Broom();
    Fill(ws, 5 + int(random.bounded(4)));
    QSignalSpy moved(ws.view, &ImageViewWidget::sglThumbItemsMoved);
    QSignalSpy deleted(ws.view, &ImageViewWidget::sglThumbItemDeleted);
    auto* line = ws.list->findChild<QWidget*>(QStringLiteral("dropIndicator"));
    QVERIFY(line);
    Model model;
    model.order = ws.RowPaths();
    auto unused = [&]() {
        QStringList free;
        for (const QString& page : qAsConst(m_pages)) {
            if (!model.order.contains(page)) {
                free << page;
            }
        }
        return free.isEmpty() ? QString() : free.at(int(random.bounded(free.size())));
    };

    QString trail = QStringLiteral("seed %1:").arg(seed);
    for (int step = 0; step < 60; ++step) {
        const int count = model.order.size();
        if (count > 0) {
            // One to three pages selected, usually with the current one.
            const int current = int(random.bounded(count));
            QList<int> rows{current};
            for (int i = int(random.bounded(3)); i > 0; --i) {
                const int row = int(random.bounded(count));
                if (!rows.contains(row)) {
                    rows << row;
                }
            }
            if (rows.size() > 1 && random.bounded(4) == 0) {
                rows.removeOne(current);
            }
            std::sort(rows.begin(), rows.end());
            Select(ws, current, rows);
            model.selected.clear();
            for (int row : qAsConst(rows)) {
                model.selected << model.order.at(row);
            }
            model.current = model.order.at(current);
        }
        const QList<int> rows = ws.SelectedRows();
        const QStringList before = model.order;
        const int kind = count == 0 ? 4 : int(random.bounded(11));
        const int gap = int(random.bounded(count + 1));
        if (kind < 2) {
            trail += kind == 0 ? QStringLiteral(" up") : QStringLiteral(" down");
            ws.view->MoveSelection(kind == 0 ? -1 : 1);
            model.Move(kind == 0 ? -1 : 1);
        } else if (kind == 2) {
            trail += QStringLiteral(" rows to %1").arg(gap);
            ws.view->MoveRows(rows, gap);
            model.Drop(rows, gap);
        } else if (kind == 3) {
            trail += QStringLiteral(" drag to %1").arg(gap);
            const std::unique_ptr<QMimeData> data(ws.list->CreateDragData());
            const QPoint at = GapPoint(ws, gap);
            QVERIFY(SendDrag(ws.list, data.get(), QEvent::DragEnter, at));
            // The line lies in the space between the rows around the gap.
            QCOMPARE(ws.list->DropIndicatorGap(), gap);
            QVERIFY(line->isVisible());
            const int y = line->geometry().center().y();
            const auto rect = [&ws](int row) { return ws.list->visualRect(ws.list->model()->index(row, 0)); };
            QVERIFY(gap == 0 || y >= rect(gap - 1).bottom() - 2);
            QVERIFY(gap == count || y <= rect(gap).top() + 2);
            QVERIFY(SendDrag(ws.list, data.get(), QEvent::Drop, at));
            QVERIFY(!line->isVisible());
            model.Drop(rows, gap);
        } else if (kind <= 5) {
            // Scanned pages: appended, or before/after the current page
            // (the position may be announced past either end).
            const int type = 1 + int(random.bounded(3));
            const int row = count == 0 ? 0 : int(random.bounded(count + 2)) - 1;
            int at = type == 1 ? count : std::clamp(type == 3 ? row + 1 : row, 0, count);
            trail += QStringLiteral(" scan %1 at %2").arg(type).arg(row);
            ws.view->SetSelectedImgIndexForScan(type, row);
            for (int i = 1 + int(random.bounded(3)); i > 0; --i) {
                const QString page = unused();
                if (page.isEmpty()) {
                    break;
                }
                if (type == 1) {
                    ws.view->AddImage(page);
                } else {
                    ws.view->InsertImage(page);
                }
                model.order.insert(at++, page);
            }
            ws.view->RefreshInfos();
            if (count == 0) {
                // Which page becomes current in an empty column is the list's choice.
                const int current = ws.view->GetCurrentIndex();
                model.current = current < 0 ? QString() : ws.RowPath(current);
                model.selected.clear();
                for (int row : ws.SelectedRows()) {
                    model.selected << ws.RowPath(row);
                }
                if (current < 0) {
                    continue;
                }
            }
        } else if (kind == 6) {
            // A re-scan replaces a page, now and then one that does not
            // exist; or the page arrives from a scan that replaces a page.
            const int row = int(random.bounded(count + 1));
            const QString page = unused();
            const bool scanned = row < count && random.bounded(2) == 0;
            trail += (scanned ? QStringLiteral(" scan 4 at %1") : QStringLiteral(" replace %1")).arg(row);
            if (page.isEmpty()) {
                continue;
            }
            if (scanned) {
                ws.view->SetSelectedImgIndexForScan(4, row);
                ws.view->InsertImage(page);
            } else {
                ws.view->ReplaceImage(row, page);
            }
            if (row < count) {
                if (model.selected.remove(model.order.at(row))) {
                    model.selected << page;
                }
                if (model.current == model.order.at(row)) {
                    model.current = page;
                }
                model.order[row] = page;
            }
        } else if (kind == 7) {
            trail += QStringLiteral(" delete");
            deleted.clear();
            ws.view->Delete();
            model.Delete();
            QCOMPARE(deleted.count(), 1);
            QVERIFY2(QStringList(deleted.at(0).at(0).value<QList<QString>>()) == model.order,
                     qPrintable(trail));
        } else if (kind == 8 && random.bounded(4) == 0) {
            trail += QStringLiteral(" broom");
            deleted.clear();
            ws.view->Broom();
            model = Model();
            QCOMPARE(deleted.count(), 1);
            QVERIFY(deleted.at(0).at(0).value<QList<QString>>().isEmpty());
            QCOMPARE(deleted.at(0).at(1).toInt(), -1);
        } else {
            const int to = int(random.bounded(count + 2)) - 1;
            const int now = model.order.indexOf(model.current);
            const int how = int(random.bounded(5));
            trail += QStringLiteral(" page %1 %2").arg(how).arg(to);
            if (how == 0) {
                ws.view->FirstPage();
                model.GoTo(0);
            } else if (how == 1) {
                ws.view->LastPage();
                model.GoTo(count - 1);
            } else if (how == 2) {
                ws.view->NextPage();
                model.GoTo(now + 1);
            } else if (how == 3) {
                ws.view->PrevPage();
                model.GoTo(now - 1);
            } else {
                ws.view->JumpTo(to);
                model.GoTo(to);
            }
        }
        const QString differs = Compare(ws, model);
        QVERIFY2(differs.isEmpty(), qPrintable(trail + QStringLiteral(": ") + differs));
        // Moves send one notice per change, carrying the new order.
        if (kind < 4) {
            const bool changed = before != model.order;
            QVERIFY2(moved.count() == (changed ? 1 : 0), qPrintable(trail));
            if (changed) {
                QVERIFY2(QStringList(moved.takeFirst().at(0).value<QList<QString>>()) == model.order,
                         qPrintable(trail));
            }
        }
        moved.clear();
    }
}

void TestPageList::refusedDrops_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("reordering off") << "off";
    QTest::newRow("list changed since the drag began") << "stale";
    QTest::newRow("not our data") << "text";
    QTest::newRow("a row past the end") << "past";
    QTest::newRow("rows out of order") << "unsorted";
}

void TestPageList::refusedDrops()
{
    QFETCH(QString, source);
    Workspace& ws = *m_ws;
    ws.view->Broom();
    Fill(ws, 4);
    Select(ws, 0, {0});
    QSignalSpy moved(ws.view, &ImageViewWidget::sglThumbItemsMoved);
    std::unique_ptr<QMimeData> data(ws.list->CreateDragData());
    if (source == QLatin1String("text")) {
        data->clear();
        data->setText(QStringLiteral("0"));
    } else if (source == QLatin1String("past") || source == QLatin1String("unsorted")) {
        // Our own drag, its row list edited.
        const QString format = data->formats().value(0);
        QList<QByteArray> parts = data->data(format).split(' ');
        parts[2] = source == QLatin1String("past") ? QByteArray("1,4") : QByteArray("2,1");
        data->setData(format, parts.join(' '));
    } else if (source == QLatin1String("stale")) {
        ws.view->AddImage(m_pages.at(4));
    } else {
        ws.view->SetReorderEnabled(false);
        QVERIFY(!ws.view->MoveSelection(1));
        QVERIFY(!ws.view->MoveRows({0}, 3));
    }
    const QStringList before = ws.RowPaths();
    QVERIFY(!SendDrag(ws.list, data.get(), QEvent::DragEnter, GapPoint(ws, 3)));
    QCOMPARE(ws.list->DropIndicatorGap(), -1);
    QVERIFY(!SendDrag(ws.list, data.get(), QEvent::Drop, GapPoint(ws, 3)));
    QCOMPARE(ws.RowPaths(), before);
    QCOMPARE(moved.count(), 0);
}

// Changes made on the page list itself, not through the column: the column
// draws the list's rows with their thumbnails and shows its selection, for
// each kind of change the list reports (rows moved, removed, changed,
// inserted, the whole list replaced). Where the pages go is the list's rule,
// tested with the list. Pages are named by their number among the test's
// pages; the list starts with 0 to 4, page 3 selected.
void TestPageList::columnFollowsList_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("two to the front") << "reorder" << QList<int>{3, 4, 0, 1, 2} << QList<int>{3, 4, 0, 1, 2};
    QTest::newRow("scattered rows removed") << "remove" << QList<int>{0, 2, 3} << QList<int>{1, 4};
    QTest::newRow("a page replaced") << "replace" << QList<int>{1} << QList<int>{0, 5, 2, 3, 4};
    QTest::newRow("three before the current page")
        << "before" << QList<int>{2} << QList<int>{0, 1, 5, 6, 7, 2, 3, 4};
    QTest::newRow("another session restored") << "restore" << QList<int>{7, 6} << QList<int>{7, 6};
}

void TestPageList::columnFollowsList()
{
    QFETCH(QString, operation);
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, expected);

    Workspace& ws = *m_ws;
    ws.view->Broom();
    Fill(ws, 5);
    Select(ws, 3, {3});
    PageList* pages = ws.view->Pages();
    QCOMPARE(pages->Current(), 3);
    const QList<Page> arriving{Page{m_pages.at(5), 0, false, 0}, Page{m_pages.at(6), 0, false, 0},
                               Page{m_pages.at(7), 0, false, 0}};
    if (operation == QLatin1String("reorder")) {
        QVERIFY(pages->Reorder(QVector<int>(rows.cbegin(), rows.cend())));
    } else if (operation == QLatin1String("remove")) {
        QVERIFY(pages->RemoveRows(rows));
    } else if (operation == QLatin1String("replace")) {
        QVERIFY(pages->ReplacePage(rows.first(), arriving.first()));
    } else if (operation == QLatin1String("restore")) {
        QList<Page> restored;
        for (int page : rows) {
            restored << Page{m_pages.at(page), 0, false, 0};
        }
        pages->Restore(restored, 0);
    } else {
        const PagePlacement placement = operation == QLatin1String("before")  ? PagePlacement::Before
                                        : operation == QLatin1String("after") ? PagePlacement::After
                                                                              : PagePlacement::Replace;
        QVERIFY(pages->SetCurrent(rows.first()));
        pages->BeginPlacement(placement);
        pages->PlacePages(arriving);
    }

    QStringList files;
    for (int page : expected) {
        files << m_pages.at(page);
    }
    QCOMPARE(pages->Paths(), files);
    QCOMPARE(ws.RowPaths(), files);
    QTRY_COMPARE(ws.CheckInvariant(), QString());
    QStringList selected;
    for (int row : ws.SelectedRows()) {
        selected << ws.RowPath(row);
    }
    const bool kept = operation != QLatin1String("restore") && operation != QLatin1String("clear");
    QCOMPARE(selected, kept && files.contains(m_pages.at(3)) ? QStringList{m_pages.at(3)} : QStringList());
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
    QTest::newRow("End") << "key End" << 5 << QList<int>{5} << 1;
    QTest::newRow("Home") << "key Home" << 0 << QList<int>{0} << 1;
    QTest::newRow("page down") << "key PageDown" << 3 << QList<int>{3} << 1;
    QTest::newRow("up at the top stays") << "key Home, key Up" << 0 << QList<int>{0} << 1;
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
            const QMap<QString, Qt::Key> keys{{"Down", Qt::Key_Down},
                                              {"Up", Qt::Key_Up},
                                              {"End", Qt::Key_End},
                                              {"Home", Qt::Key_Home},
                                              {"PageDown", Qt::Key_PageDown}};
            ws.list->setFocus();
            QTest::keyClick(ws.list, keys.value(words.at(1)),
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
