#include "gdata.h"
#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "workspace.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
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
        const int n = next.size();
        int row = 0;
        while (row < n) {
            if (!selected.contains(order.at(row))) {
                ++row;
                continue;
            }
            int end = row;
            while (end + 1 < n && selected.contains(order.at(end + 1))) {
                ++end;
            }
            if (step < 0 && row > 0) {
                next.move(row - 1, end);
            } else if (step > 0 && end + 1 < n) {
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
        for (int row : rows) {
            moved << order.at(row);
        }
        int at = gap;
        for (int row : rows) {
            at -= row < gap ? 1 : 0;
        }
        for (const QString& page : qAsConst(moved)) {
            order.removeOne(page);
        }
        for (int i = 0; i < moved.size(); ++i) {
            order.insert(at + i, moved.at(i));
        }
    }
};

QString Names(const QStringList& pages)
{
    QStringList names;
    for (const QString& page : pages) {
        names << QFileInfo(page).baseName();
    }
    return names.join(QLatin1Char(' '));
}

QString Describe(const Model& model)
{
    QStringList rows;
    for (const QString& page : model.order) {
        QString name = QFileInfo(page).baseName();
        if (model.selected.contains(page)) {
            name += QLatin1Char('*');
        }
        if (page == model.current) {
            name = QLatin1Char('[') + name + QLatin1Char(']');
        }
        rows << name;
    }
    return rows.join(QLatin1Char(' '));
}

// A drag of the column's selected rows, delivered as the platform delivers
// it: enter, move, then drop or leave, at viewport positions.
class Drag {
public:
    Drag(ThumbListWidget* list, QMimeData* data) : m_list(list), m_data(data) {}

    bool Enter(const QPoint& pos)
    {
        QDragEnterEvent event(pos, Qt::MoveAction, m_data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &event);
        return event.isAccepted();
    }
    void MoveTo(const QPoint& pos)
    {
        QDragMoveEvent event(pos, Qt::MoveAction, m_data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &event);
    }
    bool Drop(const QPoint& pos)
    {
        QDropEvent event(pos, Qt::MoveAction, m_data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &event);
        return event.isAccepted();
    }
    void Leave()
    {
        QDragLeaveEvent event;
        QApplication::sendEvent(m_list->viewport(), &event);
    }

private:
    ThumbListWidget* m_list;
    std::unique_ptr<QMimeData> m_data;
};

} // namespace

// Reordering the page column: "上移"/"下移" and dragged thumbnails, on the
// real list, checked against a model of the order, selection and current
// page after every step.
class TestPageOrder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void randomMoves_data();
    void randomMoves();
    void dropIndicatorMarksTheGap();
    void dragScrollsNearTheEdges();
    void refusedDrops_data();
    void refusedDrops();
    void keyboardOpensTheMenuAtTheCurrentPage_data();
    void keyboardOpensTheMenuAtTheCurrentPage();

private:
    void Fill(Workspace& ws, int pages);
    void Select(Workspace& ws, int current, const QList<int>& rows);
    QPoint GapPoint(Workspace& ws, int gap);
    QString Compare(Workspace& ws, const Model& model);

    QTemporaryDir m_dir;
    QStringList m_pages;
};

void TestPageOrder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < 9; ++i) {
        const QString path = PageFiles::Write(m_dir.path(), QStringLiteral("p%1.png").arg(i), QSize(60, 80),
                                              PageFiles::ColorFor(i));
        QVERIFY(!path.isEmpty());
        m_pages << path;
    }
}

void TestPageOrder::Fill(Workspace& ws, int pages)
{
    for (int i = 0; i < pages; ++i) {
        ws.view->AddImage(m_pages.at(i));
    }
    ws.view->RefreshInfos();
    ws.view->SetReorderEnabled(true);
    QApplication::processEvents();
}

void TestPageOrder::Select(Workspace& ws, int current, const QList<int>& rows)
{
    ws.list->setCurrentRow(current);
    QItemSelectionModel* selection = ws.list->selectionModel();
    selection->clearSelection();
    for (int row : rows) {
        selection->select(ws.list->model()->index(row, 0), QItemSelectionModel::Select);
    }
}

// A point in the viewport that drops into `gap`: the upper part of the row
// after the gap, or the lower part of the last row.
QPoint TestPageOrder::GapPoint(Workspace& ws, int gap)
{
    const int count = ws.list->count();
    QListWidgetItem* item = ws.list->item(gap < count ? gap : count - 1);
    ws.list->scrollToItem(item);
    const QRect rect = ws.list->visualItemRect(item);
    return gap < count ? QPoint(rect.center().x(), rect.top() + 10)
                       : QPoint(rect.center().x(), rect.bottom() - 10);
}

QString TestPageOrder::Compare(Workspace& ws, const Model& model)
{
    if (ws.RowPaths() != model.order) {
        return QStringLiteral("rows ") + Names(ws.RowPaths());
    }
    const QString invariant = ws.CheckInvariant();
    if (!invariant.isEmpty()) {
        return invariant;
    }
    QSet<QString> selected;
    for (int row : ws.SelectedRows()) {
        selected << ws.RowPath(row);
    }
    if (selected != model.selected) {
        return QStringLiteral("selection differs");
    }
    const int current = ws.view->GetCurrentIndex();
    if (current < 0 || ws.RowPath(current) != model.current || ws.view->GetCurrentPath() != model.current) {
        return QStringLiteral("current row %1").arg(current);
    }
    return QString();
}

void TestPageOrder::randomMoves_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u}) {
        QTest::addRow("seed %u", seed) << seed;
    }
}

void TestPageOrder::randomMoves()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    Workspace ws(QSize(200, 300));
    const int count = 5 + int(random.bounded(4));
    Fill(ws, count);
    QSignalSpy moved(ws.view, &ImageViewWidget::sglThumbItemsMoved);
    Model model;
    model.order = m_pages.mid(0, count);

    QString trail = QStringLiteral("seed %1:").arg(seed);
    for (int step = 0; step < 30; ++step) {
        // A selection of one to three pages, usually holding the current one.
        const int current = int(random.bounded(count));
        QList<int> rows{current};
        const int extra = int(random.bounded(3));
        for (int i = 0; i < extra; ++i) {
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
        const QStringList before = model.order;

        const int kind = int(random.bounded(4));
        QString what;
        if (kind < 2) {
            const int direction = kind == 0 ? -1 : 1;
            what = direction < 0 ? QStringLiteral("up") : QStringLiteral("down");
            ws.view->MoveSelection(direction);
            model.Move(direction);
        } else {
            const int gap = int(random.bounded(count + 1));
            QStringList names;
            for (int row : qAsConst(rows)) {
                names << QString::number(row);
            }
            what = QStringLiteral("drag %1 to %2").arg(names.join(','), QString::number(gap));
            if (kind == 2) {
                ws.view->MoveRows(rows, gap);
            } else {
                Drag drag(ws.list, ws.list->CreateDragData());
                const QPoint at = GapPoint(ws, gap);
                QVERIFY(drag.Enter(at));
                QCOMPARE(ws.list->DropIndicatorGap(), gap);
                QVERIFY(drag.Drop(at));
                QCOMPARE(ws.list->DropIndicatorGap(), -1);
            }
            model.Drop(rows, gap);
        }
        trail += QLatin1Char(' ') + what;
        const QString differs = Compare(ws, model);
        QVERIFY2(differs.isEmpty(), qPrintable(trail + QStringLiteral(": ") + differs +
                                               QStringLiteral("; expected ") + Describe(model)));
        // One notice per change, carrying the new order; none otherwise.
        const bool changed = before != model.order;
        QVERIFY2(moved.count() == (changed ? 1 : 0), qPrintable(trail));
        if (changed) {
            QVERIFY2(QStringList(moved.takeFirst().at(0).value<QList<QString>>()) == model.order,
                     qPrintable(trail));
        }
    }
}

void TestPageOrder::dropIndicatorMarksTheGap()
{
    Workspace ws(QSize(200, 300));
    Fill(ws, 4);
    Select(ws, 3, {3});
    auto* line = ws.list->findChild<QWidget*>(QStringLiteral("dropIndicator"));
    QVERIFY(line);
    Drag drag(ws.list, ws.list->CreateDragData());
    QVERIFY(drag.Enter(GapPoint(ws, 0)));
    for (int gap : {0, 1, 2, 4}) {
        drag.MoveTo(GapPoint(ws, gap));
        QCOMPARE(ws.list->DropIndicatorGap(), gap);
        QVERIFY(line->isVisible());
        // The line lies in the space between the rows around the gap.
        const int y = line->geometry().center().y();
        if (gap > 0) {
            QVERIFY2(y >= ws.list->visualItemRect(ws.list->item(gap - 1)).bottom() - 2,
                     qPrintable(QString::number(gap)));
        }
        if (gap < ws.list->count()) {
            QVERIFY2(y <= ws.list->visualItemRect(ws.list->item(gap)).top() + 2,
                     qPrintable(QString::number(gap)));
        }
    }
    drag.Leave();
    QVERIFY(!line->isVisible());
    QCOMPARE(ws.list->DropIndicatorGap(), -1);
    QCOMPARE(ws.RowPaths(), m_pages.mid(0, 4));
}

void TestPageOrder::dragScrollsNearTheEdges()
{
    Workspace ws(QSize(200, 300));
    Fill(ws, 9);
    ws.list->setFixedHeight(320);
    QApplication::processEvents();
    QScrollBar* bar = ws.list->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->setValue(0);
    Select(ws, 0, {0});
    Drag drag(ws.list, ws.list->CreateDragData());
    const int height = ws.list->viewport()->height();
    QVERIFY(drag.Enter(QPoint(60, height / 2)));
    drag.MoveTo(QPoint(60, height - 3));
    QTRY_COMPARE(bar->value(), bar->maximum());
    // The line follows the rows that came into view.
    QCOMPARE(ws.list->DropIndicatorGap(), ws.list->DropGapAt(QPoint(60, height - 3)));
    QVERIFY(ws.list->DropIndicatorGap() > 2);
    drag.MoveTo(QPoint(60, 2));
    QTRY_COMPARE(bar->value(), 0);
    QCOMPARE(ws.list->DropIndicatorGap(), 0);
    drag.Leave();
}

void TestPageOrder::refusedDrops_data()
{
    QTest::addColumn<QString>("source");

    QTest::newRow("reordering off") << "off";
    QTest::newRow("another list") << "other";
    QTest::newRow("list changed since the drag began") << "stale";
    QTest::newRow("not our data") << "text";
}

void TestPageOrder::refusedDrops()
{
    QFETCH(QString, source);
    Workspace ws(QSize(200, 300));
    Fill(ws, 4);
    Select(ws, 0, {0});
    QSignalSpy moved(ws.view, &ImageViewWidget::sglThumbItemsMoved);
    QMimeData* data = nullptr;
    Workspace other(QSize(200, 300));
    if (source == QLatin1String("other")) {
        Fill(other, 4);
        Select(other, 0, {0});
        data = other.list->CreateDragData();
    } else if (source == QLatin1String("text")) {
        data = new QMimeData;
        data->setText(QStringLiteral("0"));
    } else {
        data = ws.list->CreateDragData();
    }
    if (source == QLatin1String("off")) {
        ws.view->SetReorderEnabled(false);
        QVERIFY(!ws.view->MoveSelection(1));
        QVERIFY(!ws.view->MoveRows({0}, 3));
    } else if (source == QLatin1String("stale")) {
        ws.view->AddImage(m_pages.at(4));
    }
    const QStringList before = ws.RowPaths();
    Drag drag(ws.list, data);
    QVERIFY(!drag.Enter(GapPoint(ws, 3)));
    QCOMPARE(ws.list->DropIndicatorGap(), -1);
    QVERIFY(!drag.Drop(GapPoint(ws, 3)));
    QCOMPARE(ws.RowPaths(), before);
    QCOMPARE(moved.count(), 0);
}

void TestPageOrder::keyboardOpensTheMenuAtTheCurrentPage_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("Shift+F10") << "shift-f10";
    QTest::newRow("Menu key") << "menu";
}

void TestPageOrder::keyboardOpensTheMenuAtTheCurrentPage()
{
    QFETCH(QString, key);
    GData::ctx().m_scannerReady = false;
    Workspace ws(QSize(200, 300));
    Fill(ws, 6);
    QAction extra(QStringLiteral("extra"));
    ws.view->AddContextActions({&extra});
    ws.view->SetSelection(4);
    ws.list->setFocus();
    QApplication::processEvents();

    QRect menuAt;
    QList<bool> enabled;
    QTimer::singleShot(0, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        menuAt = menu->geometry();
        for (QAction* action : menu->actions()) {
            enabled << (action->isSeparator() ? false : action->isEnabled());
        }
        menu->close();
    });
    if (key == QLatin1String("menu")) {
        // The platform sends the Menu key as a request at the mouse pointer,
        // here far from the current page.
        const QPoint pointer(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, pointer, ws.list->mapToGlobal(pointer));
        QApplication::sendEvent(ws.list, &event);
    } else {
        QTest::keyClick(ws.list, Qt::Key_F10, Qt::ShiftModifier);
    }
    QApplication::processEvents();

    QVERIFY(menuAt.isValid());
    // Scan entries follow the scanner; the added action keeps its own state.
    QCOMPARE(enabled, (QList<bool>{false, false, false, false, true}));
    const QRect item = ws.list->visualItemRect(ws.list->item(4));
    const QPoint itemCenter = ws.list->viewport()->mapToGlobal(item.center());
    QCOMPARE(menuAt.topLeft(), itemCenter);
}

QTEST_MAIN(TestPageOrder)
#include "tst_pageorder.moc"
