#include "pagelist.h"
#include "pageplacement.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(PagePlacement)

namespace {

// "a b c" -> {"a", "b", "c"}
QStringList Words(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QList<Page> PagesOf(const QStringList& paths)
{
    QList<Page> pages;
    for (const QString& path : paths) {
        pages << Page{path, 0, false, 0};
    }
    return pages;
}

} // namespace

class TestPageModel : public QObject {
    Q_OBJECT

private slots:
    void placement_data();
    void placement();
    void signalsOfPlacement_data();
    void signalsOfPlacement();
    void reorderKeepsSelection();
    void replaceKeepsPlace();
    void turn_data();
    void turn();
    void text_data();
    void text();
};

// Pages "a b c ..." with the current row; the arriving pages are "x y z".
// A scan's pages arrive one at a time: the list ends as if they had come
// together, and a row a recorded scan names outside the list loses no page.
void TestPageModel::placement_data()
{
    QTest::addColumn<PagePlacement>("placement");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("next"); // -1: where the scan's first page goes
    QTest::addColumn<QString>("arriving");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCurrent");

    using P = PagePlacement;
    QTest::newRow("append to empty") << P::Append << "" << 0 << -1 << "x y"
                                     << "x y" << 0;
    QTest::newRow("before in empty") << P::Before << "" << 0 << -1 << "x y"
                                     << "x y" << 0;
    QTest::newRow("after in empty") << P::After << "" << 0 << -1 << "x y"
                                    << "x y" << 0;
    QTest::newRow("replace in empty") << P::Replace << "" << 0 << -1 << "x"
                                      << "x" << 0;
    QTest::newRow("append, current first") << P::Append << "a b c" << 0 << -1 << "x y"
                                           << "a b c x y" << 0;
    QTest::newRow("before the first") << P::Before << "a b c" << 0 << -1 << "x y z"
                                      << "x y z a b c" << 3;
    QTest::newRow("before the middle") << P::Before << "a b c" << 1 << -1 << "x y z"
                                       << "a x y z b c" << 4;
    QTest::newRow("before the last") << P::Before << "a b c" << 2 << -1 << "x y"
                                     << "a b x y c" << 4;
    QTest::newRow("before, one page") << P::Before << "a" << 0 << -1 << "x"
                                      << "x a" << 1;
    QTest::newRow("after the first") << P::After << "a b c" << 0 << -1 << "x y z"
                                     << "a x y z b c" << 0;
    QTest::newRow("after the last") << P::After << "a b c" << 2 << -1 << "x y z"
                                    << "a b c x y z" << 2;
    QTest::newRow("after the middle") << P::After << "a b c" << 1 << -1 << "x"
                                      << "a b x c" << 1;
    QTest::newRow("replace the last") << P::Replace << "a b c" << 2 << -1 << "x"
                                      << "a b x" << 2;
    QTest::newRow("replace the first") << P::Replace << "a b c" << 0 << -1 << "x"
                                       << "x b c" << 0;
    QTest::newRow("replace, two arrive") << P::Replace << "a b c" << 1 << -1 << "x y"
                                         << "a x y c" << 1;
    QTest::newRow("replace, three arrive") << P::Replace << "a b c" << 1 << -1 << "x y z"
                                           << "a x y z c" << 1;
    QTest::newRow("replace the only page") << P::Replace << "a" << 0 << -1 << "x"
                                           << "x" << 0;
    QTest::newRow("current past the end") << P::Before << "a b" << 7 << -1 << "x"
                                          << "a x b" << 2;
    QTest::newRow("current below zero") << P::After << "a b" << -3 << -1 << "x"
                                        << "a x b" << 0;
    QTest::newRow("nothing arrives") << P::Before << "a b" << 1 << -1 << ""
                                     << "a b" << 1;
    QTest::newRow("replace, row gone") << P::Replace << "a b" << 1 << 5 << "x y z"
                                       << "a b x y z" << 1;
    QTest::newRow("replace, row below zero") << P::Replace << "a b" << 0 << -4 << "x y z"
                                             << "a b x y z" << 0;
    QTest::newRow("after, row past the end") << P::After << "a b" << 0 << 9 << "x y z"
                                             << "a b x y z" << 0;
    QTest::newRow("before, row below zero") << P::Before << "a b" << 1 << -2 << "x y z"
                                            << "x y z a b" << 4;
}

void TestPageModel::placement()
{
    QFETCH(PagePlacement, placement);
    QFETCH(QString, rows);
    QFETCH(int, current);
    QFETCH(int, next);
    QFETCH(QString, arriving);
    QFETCH(QString, expected);
    QFETCH(int, expectedCurrent);

    const QStringList before = Words(rows);
    if (next == -1) {
        next = FirstPlacementRow(placement, int(before.size()), current);
    }
    const PlacedPages<QString> placed = PlacePages(placement, before, current, next, Words(arriving));
    QCOMPARE(placed.rows, Words(expected));
    QCOMPARE(placed.current, expectedCurrent);

    PlacedPages<QString> step{before, current, next, placement};
    for (const QString& page : Words(arriving)) {
        step = PlacePages(step.placement, step.rows, step.current, step.next, QStringList{page});
    }
    QCOMPARE(step.rows, placed.rows);
    QCOMPARE(step.current, placed.current);
    QCOMPARE(step.next, placed.next);
}

// The model tells its views the rows that changed, and its listeners once
// per operation.
void TestPageModel::signalsOfPlacement_data()
{
    QTest::addColumn<PagePlacement>("placement");
    QTest::addColumn<int>("arriving");
    QTest::addColumn<int>("insertedFirst"); // -1: no rows inserted
    QTest::addColumn<int>("insertedLast");
    QTest::addColumn<int>("changedRow"); // -1: no row changed

    using P = PagePlacement;
    // Pages "a b c", current "b".
    QTest::newRow("append") << P::Append << 2 << 3 << 4 << -1;
    QTest::newRow("before") << P::Before << 2 << 1 << 2 << -1;
    QTest::newRow("after") << P::After << 3 << 2 << 4 << -1;
    QTest::newRow("replace") << P::Replace << 1 << -1 << -1 << 1;
    QTest::newRow("replace, two") << P::Replace << 2 << 2 << 2 << 1;
}

void TestPageModel::signalsOfPlacement()
{
    QFETCH(PagePlacement, placement);
    QFETCH(int, arriving);
    QFETCH(int, insertedFirst);
    QFETCH(int, insertedLast);
    QFETCH(int, changedRow);

    PageList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.Restore(PagesOf(Words(QStringLiteral("a b c"))), 1);
    list.BeginPlacement(placement);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy operations(&list, &PageList::sglChanged);
    QStringList files;
    for (int i = 0; i < arriving; ++i) {
        files << QStringLiteral("n%1").arg(i);
    }
    list.PlacePages(PagesOf(files));

    QCOMPARE(operations.count(), 1);
    QCOMPARE(inserted.count(), insertedFirst < 0 ? 0 : 1);
    if (insertedFirst >= 0) {
        QCOMPARE(inserted.at(0).at(1).toInt(), insertedFirst);
        QCOMPARE(inserted.at(0).at(2).toInt(), insertedLast);
    }
    QCOMPARE(changed.count(), changedRow < 0 ? 0 : 1);
    if (changedRow >= 0) {
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), changedRow);
    }
    QCOMPARE(list.PathAt(list.Current()),
             placement == PagePlacement::Replace ? QStringLiteral("n0") : QStringLiteral("b"));
}

void TestPageModel::reorderKeepsSelection()
{
    PageList list;
    list.Restore(PagesOf(Words(QStringLiteral("a b c d e"))), 3);
    QItemSelectionModel* selection = list.Selection();
    selection->select(list.index(0), QItemSelectionModel::Select);
    selection->select(list.index(3), QItemSelectionModel::Select);
    QSignalSpy current(&list, &PageList::sglCurrentChanged);
    QVERIFY(list.Reorder({4, 3, 2, 1, 0}));
    QCOMPARE(list.Paths(), Words(QStringLiteral("e d c b a")));
    QCOMPARE(list.SelectedRows(), (QList<int>{1, 4}));
    QCOMPARE(list.Current(), 1);
    QCOMPARE(current.count(), 1);
    QVERIFY(!list.Reorder({0, 1, 2, 3, 4}));
    QVERIFY(!list.Reorder({0, 0, 2, 3, 4}));
    QVERIFY(!list.Reorder({0, 1, 2}));
    QCOMPARE(list.Paths(), Words(QStringLiteral("e d c b a")));
}

// A page given another file stays the same row for the views: its id, its
// selection and the current page stay; one row changes.
void TestPageModel::replaceKeepsPlace()
{
    PageList list;
    list.Restore(PagesOf(Words(QStringLiteral("a b c"))), 1);
    list.Selection()->select(list.index(1), QItemSelectionModel::Select);
    const quint64 id = list.At(1).id;
    QSignalSpy views(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy current(&list, &PageList::sglCurrentChanged);
    QVERIFY(list.ReplacePage(1, Page{QStringLiteral("x"), 90, true, 0}));
    QCOMPARE(list.Paths(), Words(QStringLiteral("a x c")));
    QCOMPARE(list.At(1).id, id);
    QCOMPARE(list.At(1).angle, 90);
    QCOMPARE(list.SelectedRows(), QList<int>{1});
    QCOMPARE(views.count(), 1);
    QCOMPARE(views.at(0).at(0).value<QModelIndex>().row(), 1);
    QCOMPARE(current.count(), 0);
    QVERIFY(!list.ReplacePage(3, Page{QStringLiteral("y"), 0, false, 0}));
    QCOMPARE(list.Count(), 3);
}

// Five pages turned from `start` angles: the angles after, and the row runs
// the views are told about.
void TestPageModel::turn_data()
{
    QTest::addColumn<QList<int>>("start");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("degrees");
    QTest::addColumn<QList<int>>("angles");
    QTest::addColumn<QStringList>("changed");

    const QList<int> flat{0, 0, 0, 0, 0};
    QTest::newRow("right") << flat << QList<int>{1} << 90 << QList<int>{0, 90, 0, 0, 0} << Words("1-1");
    QTest::newRow("left wraps") << flat << QList<int>{0} << -90 << QList<int>{270, 0, 0, 0, 0}
                                << Words("0-0");
    QTest::newRow("back to upright") << QList<int>{270, 180, 90, 0, 0} << QList<int>{0, 1, 2} << 90
                                     << QList<int>{0, 270, 180, 0, 0} << Words("0-2");
    QTest::newRow("half turns") << QList<int>{90, 0, 0, 0, 180} << QList<int>{4, 0} << 180
                                << QList<int>{270, 0, 0, 0, 0} << Words("0-0 4-4");
    QTest::newRow("unordered, repeated, outside")
        << flat << QList<int>{3, -1, 1, 3, 2, 5} << -270 << QList<int>{0, 90, 90, 90, 0} << Words("1-3");
    QTest::newRow("left of a half turn")
        << QList<int>{180, 0, 0, 0, 0} << QList<int>{0} << -90 << QList<int>{90, 0, 0, 0, 0} << Words("0-0");
    QTest::newRow("full turn changes nothing") << flat << QList<int>{0} << 360 << flat << QStringList();
    QTest::newRow("no multiple of 90") << flat << QList<int>{0} << 45 << flat << QStringList();
    QTest::newRow("no row") << flat << QList<int>{7} << 90 << flat << QStringList();
}

void TestPageModel::turn()
{
    QFETCH(QList<int>, start);
    QFETCH(QList<int>, rows);
    QFETCH(int, degrees);
    QFETCH(QList<int>, angles);
    QFETCH(QStringList, changed);

    PageList list;
    QList<Page> pages = PagesOf(Words("a b c d e"));
    for (int i = 0; i < pages.size(); ++i) {
        pages[i].angle = start.at(i);
    }
    list.Restore(pages, 2);
    const QList<Page> before = list.Pages();
    QSignalSpy data(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy done(&list, &PageList::sglChanged);
    QSignalSpy current(&list, &PageList::sglCurrentChanged);

    QCOMPARE(list.Turn(rows, degrees), !changed.isEmpty());
    QList<int> got;
    for (int row = 0; row < list.Count(); ++row) {
        got << list.data(list.index(row), PageList::AngleRole).toInt();
        // Only the angle changes: file, mark and id stay with the row.
        QCOMPARE(list.At(row).path, before.at(row).path);
        QCOMPARE(list.At(row).id, before.at(row).id);
    }
    QCOMPARE(got, angles);
    QStringList runs;
    for (const QList<QVariant>& args : qAsConst(data)) {
        runs << QStringLiteral("%1-%2")
                    .arg(args.at(0).toModelIndex().row())
                    .arg(args.at(1).toModelIndex().row());
    }
    QCOMPARE(runs, changed);
    QCOMPARE(done.count(), changed.isEmpty() ? 0 : 1);
    QCOMPARE(current.count(), 0);
}

void TestPageModel::text_data()
{
    QTest::addColumn<QString>("op");
    // The recognised text of each row afterwards (its file's name as the
    // text's language), "-" for none.
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("nothing") << "" << Words("a b c d e");
    QTest::newRow("reorder") << "reorder" << Words("e d c b a");
    QTest::newRow("turn") << "turn" << Words("a b c d e");
    QTest::newRow("new mark, same file") << "mark" << Words("a b c d e");
    QTest::newRow("other file") << "replace" << Words("a b - d e");
    QTest::newRow("remove") << "remove" << Words("a b d e");
    QTest::newRow("undo of a remove") << "undo" << Words("a b - d e");
    QTest::newRow("replace scan") << "rescan" << Words("a b - d e");
    QTest::newRow("insert scan") << "scan" << Words("a b - c d e");
    QTest::newRow("clear, pages back") << "clear" << Words("- - - - -");
}

void TestPageModel::text()
{
    QFETCH(QString, op);
    QFETCH(QStringList, texts);

    PageList list;
    list.Restore(PagesOf(Words("a b c d e")), 2);
    const PageList::State state = list.Snapshot();
    QSignalSpy about(&list, &PageList::sglAboutToChange);
    QSignalSpy done(&list, &PageList::sglChanged);
    QSignalSpy data(&list, &QAbstractItemModel::dataChanged);
    for (const Page& page : list.Pages()) {
        PageText text;
        text.language = page.path;
        QVERIFY(list.SetText(page.id, text));
    }
    // No edit: nothing for the history or the journal, one row each.
    QCOMPARE(about.count(), 0);
    QCOMPARE(done.count(), 0);
    QCOMPARE(data.count(), 5);
    QVERIFY(!list.SetText(9999, PageText()));

    if (op == QLatin1String("reorder")) {
        QVERIFY(list.Reorder({4, 3, 2, 1, 0}));
    } else if (op == QLatin1String("turn")) {
        QVERIFY(list.Turn({0, 2, 4}, 90));
    } else if (op == QLatin1String("mark")) {
        Page page = list.At(2);
        page.interrupted = true;
        QVERIFY(list.ReplacePage(2, page));
    } else if (op == QLatin1String("replace")) {
        QVERIFY(list.ReplacePage(2, Page{QStringLiteral("x"), 0, false, 0}));
    } else if (op == QLatin1String("remove")) {
        QVERIFY(list.RemoveRows({2}));
    } else if (op == QLatin1String("undo")) {
        const PageList::State before = list.Snapshot();
        QVERIFY(list.RemoveRows({2}));
        list.Return(before);
    } else if (op == QLatin1String("rescan")) {
        list.BeginPlacement(PagePlacement::Replace);
        list.PlacePages(PagesOf({QStringLiteral("x")}));
    } else if (op == QLatin1String("scan")) {
        list.BeginPlacement(PagePlacement::Before);
        list.PlacePages(PagesOf({QStringLiteral("x")}));
    } else if (op == QLatin1String("clear")) {
        list.Clear();
        list.Return(state);
    }
    QStringList got;
    for (int row = 0; row < list.Count(); ++row) {
        const Page& page = list.At(row);
        got << (list.IsRecognised(page.id) ? list.TextOf(page.id).language : QStringLiteral("-"));
    }
    QCOMPARE(got, texts);
}

QTEST_GUILESS_MAIN(TestPageModel)
#include "tst_pagemodel.moc"
