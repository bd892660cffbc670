#include "pagehistory.h"
#include "pagelist.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <numeric>

namespace {

// What the user sees of the list: the files in order, the current file and
// the selected files.
struct Seen {
    QStringList rows;
    QList<int> angles;
    QList<bool> interrupted;
    QString current;
    QSet<QString> selected;

    bool operator==(const Seen& other) const
    {
        return rows == other.rows && angles == other.angles && interrupted == other.interrupted &&
               current == other.current && selected == other.selected;
    }
};

Seen SeenOf(const PageList& list)
{
    Seen seen;
    seen.rows = list.Paths();
    for (const Page& page : list.Pages()) {
        seen.angles << page.angle;
        seen.interrupted << page.interrupted;
    }
    seen.current = list.PathAt(list.Current());
    for (int row : list.SelectedRows()) {
        seen.selected.insert(list.PathAt(row));
    }
    return seen;
}

QString Describe(const Seen& seen)
{
    QStringList names;
    for (int i = 0; i < seen.rows.size(); ++i) {
        names << QFileInfo(seen.rows.at(i)).fileName() + QLatin1Char('@') +
                     QString::number(seen.angles.at(i));
    }
    return QStringLiteral("[%1] current %2, %3 selected")
        .arg(names.join(QLatin1Char(' ')), QFileInfo(seen.current).fileName())
        .arg(seen.selected.size());
}

// The history as the user knows it: each change's list before and after,
// and how many of them are done. Its files are the ones that must stay.
struct Model {
    QVector<QPair<Seen, Seen>> steps;
    int done = 0;
    int limit = 0;

    void Push(const Seen& before, const Seen& after)
    {
        steps.resize(done);
        steps.append({before, after});
        if (steps.size() > limit) {
            steps.removeFirst();
        }
        done = int(steps.size());
    }
    QSet<QString> Held() const
    {
        QSet<QString> files;
        for (const auto& step : steps) {
            for (const QString& row : step.first.rows + step.second.rows) {
                files.insert(row);
            }
        }
        return files;
    }
};

} // namespace

class TestPageHistory : public QObject {
    Q_OBJECT
private slots:
    void randomSession_data();
    void randomSession();
    void groupWithoutChangeIsNoStep();
};

void TestPageHistory::randomSession_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("limit");
    QTest::newRow("seed 1, deep history") << 1u << 100;
    QTest::newRow("seed 2, deep history") << 2u << 100;
    QTest::newRow("seed 3, steps fall off") << 3u << 4;
    QTest::newRow("seed 4, one step") << 4u << 1;
}

// Changes of every kind, undone and redone at random points; after each
// operation the list is what the user saw at that point of the history, and
// the work folder holds exactly the files of the list and of the steps
// that can still be taken.
void TestPageHistory::randomSession()
{
    QFETCH(quint32, seed);
    QFETCH(int, limit);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PageList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto* history = new PageHistory(&list, &list);
    history->SetLimit(limit);
    QRandomGenerator random(seed);
    Model model;
    model.limit = limit;
    QStringList made; // every file ever scanned
    int number = 0;
    const auto newFiles = [&](int count) {
        QList<Page> pages;
        for (int i = 0; i < count; ++i) {
            const QString path =
                dir.filePath(QStringLiteral("p%1.png").arg(++number, 4, 10, QLatin1Char('0')));
            // A page cut off while it was read is on disk under ".part".
            const bool interrupted = random.bounded(5) == 0;
            QFile file(interrupted ? path + QStringLiteral(".part") : path);
            if (!file.open(QIODevice::WriteOnly)) {
                return QList<Page>();
            }
            made << file.fileName();
            // A recognised page's text is stored beside it.
            if (!interrupted && random.bounded(2) == 0) {
                QFile text(path + QStringLiteral(".text"));
                if (!text.open(QIODevice::WriteOnly)) {
                    return QList<Page>();
                }
                made << text.fileName();
            }
            pages << Page{path, int(random.bounded(4)) * 90, interrupted, 0};
        }
        return pages;
    };
    const auto selectRandom = [&] {
        QItemSelection selection;
        for (int row = 0; row < list.Count(); ++row) {
            if (random.bounded(3) == 0) {
                selection.select(list.index(row), list.index(row));
            }
        }
        list.Selection()->select(selection, QItemSelectionModel::ClearAndSelect);
    };

    for (int op = 0; op < 400; ++op) {
        const Seen before = SeenOf(list);
        const int kind = int(random.bounded(10));
        QString what;
        bool change = true;
        switch (kind) {
        case 0: { // a scan, in one of its placements, of one to three pages
            const auto placement = PagePlacement(1 + random.bounded(4));
            what = QStringLiteral("scan %1").arg(int(placement));
            history->BeginGroup();
            list.BeginPlacement(placement);
            const int pages = 1 + int(random.bounded(3));
            for (int i = 0; i < pages; ++i) {
                list.PlacePages(newFiles(1));
            }
            history->EndGroup(what);
            break;
        }
        case 1: { // delete the selection
            what = QStringLiteral("delete");
            change = list.RemoveRows(list.SelectedRows());
            break;
        }
        case 2: { // one page to another row
            what = QStringLiteral("move");
            QVector<int> order(list.Count());
            std::iota(order.begin(), order.end(), 0);
            if (list.Count() >= 2) {
                const int from = int(random.bounded(list.Count()));
                const int to = int(random.bounded(list.Count()));
                order.move(from, to);
            }
            change = list.Reorder(order);
            break;
        }
        case 3: { // clear all, a step of its own
            what = QStringLiteral("clear");
            change = !list.IsEmpty();
            history->BeginGroup();
            list.Clear();
            history->EndGroup(what);
            break;
        }
        case 4: // pages brought back
            what = QStringLiteral("restore");
            list.AppendPages(newFiles(1 + int(random.bounded(2))));
            break;
        case 5: // looking around is no step
            what = QStringLiteral("navigate");
            change = false;
            if (!list.IsEmpty()) {
                list.SetCurrent(int(random.bounded(list.Count())));
            }
            selectRandom();
            break;
        case 9: { // the selection turned by one, two or three quarters
            what = QStringLiteral("turn");
            change = list.Turn(list.SelectedRows(), 90 * (1 + int(random.bounded(3))));
            break;
        }
        case 6:
        case 7: {
            what = QStringLiteral("undo");
            change = false;
            QCOMPARE(history->Undo(), model.done > 0);
            if (model.done > 0) {
                model.done -= 1;
                QVERIFY2(
                    SeenOf(list) == model.steps.at(model.done).first,
                    qPrintable(QStringLiteral("op %1 undo: %2, expected %3")
                                   .arg(op)
                                   .arg(Describe(SeenOf(list)), Describe(model.steps.at(model.done).first))));
            }
            break;
        }
        case 8: {
            what = QStringLiteral("redo");
            change = false;
            QCOMPARE(history->Redo(), model.done < model.steps.size());
            if (model.done < model.steps.size()) {
                QVERIFY2(SeenOf(list) == model.steps.at(model.done).second,
                         qPrintable(
                             QStringLiteral("op %1 redo: %2, expected %3")
                                 .arg(op)
                                 .arg(Describe(SeenOf(list)), Describe(model.steps.at(model.done).second))));
                model.done += 1;
            }
            break;
        }
        }
        if (change) {
            model.Push(before, SeenOf(list));
        }
        if (random.bounded(40) == 0) {
            // A save: the list's files go, the list empties, the history is
            // dropped.
            for (const QString& path : list.Paths()) {
                QFile::remove(path);
                QFile::remove(path + QStringLiteral(".part"));
                QFile::remove(path + QStringLiteral(".text"));
            }
            list.Clear();
            history->Drop();
            model.steps.clear();
            model.done = 0;
            what += QStringLiteral(" + save");
        }
        QCOMPARE(history->StepCount(), int(model.steps.size()));
        QCOMPARE(history->CanUndo(), model.done > 0);
        QCOMPARE(history->CanRedo(), model.done < model.steps.size());
        // No page lost, no file of a step that can be taken removed, no
        // other file left behind.
        const QStringList listed = list.Paths();
        const QSet<QString> mustStay = model.Held() + QSet<QString>(listed.begin(), listed.end());
        for (const QString& path : qAsConst(made)) {
            const bool beside =
                path.endsWith(QLatin1String(".part")) || path.endsWith(QLatin1String(".text"));
            const QString page = beside ? path.chopped(5) : path;
            QVERIFY2(QFileInfo::exists(path) == mustStay.contains(page),
                     qPrintable(QStringLiteral("op %1 (%2): %3 %4")
                                    .arg(op)
                                    .arg(what, QFileInfo(path).fileName(),
                                         QFileInfo::exists(path) ? QStringLiteral("left behind")
                                                                 : QStringLiteral("removed"))));
        }
    }
    // Once the history is gone only the list's files stay.
    delete history;
    const QStringList remaining = QDir(dir.path()).entryList(QDir::Files);
    const QStringList texts = remaining.filter(QRegularExpression(QStringLiteral("\\.text$")));
    QCOMPARE(remaining.size() - texts.size(), list.Count());
    for (const QString& text : texts) {
        QVERIFY2(list.Paths().contains(dir.filePath(text.chopped(5))), qPrintable(text));
    }
}

// A scan that brought nothing, or a delete of nothing, is no step.
void TestPageHistory::groupWithoutChangeIsNoStep()
{
    PageList list;
    PageHistory history(&list);
    list.AppendPages({Page{QStringLiteral("/nowhere/a.png"), 0, false, 0}});
    QCOMPARE(history.StepCount(), 1);
    history.BeginGroup();
    list.BeginPlacement(PagePlacement::After);
    list.SetCurrent(0);
    history.EndGroup(QStringLiteral("scan"));
    QCOMPARE(history.StepCount(), 1);
    QCOMPARE(history.UndoName(), QString());
    history.NameLast(QStringLiteral("restore"));
    QCOMPARE(history.UndoName(), QStringLiteral("restore"));
}

QTEST_GUILESS_MAIN(TestPageHistory)
#include "tst_pagehistory.moc"
