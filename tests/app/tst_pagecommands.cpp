// The page commands without a window: seeded random sessions of 删除 and
// 清除全部 (answered 是 or 否), moves by key and by drop, turns, 撤销, 重做,
// navigation, pages arriving and jobs starting and ending, each step
// compared with a small model of the list (pages, angles, current page,
// selection), of the history (steps and their names) and of the page files
// in the work folder.
#include "../e2e/pagemodel.h"
#include "pageasker.h"
#include "pagecommands.h"
#include "pagehistory.h"
#include "pagelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

// Answers with the answer the session chose and keeps every question.
class ScriptedAsker : public PageAsker {
public:
    bool Ask(const QString& text) override
    {
        questions << text;
        return answer;
    }
    bool answer = false;
    QStringList questions;
};

using PageModel::ModelPage;
using State = PageModel::Model;

const int kLimit = 6;

// The history as it should be: the steps with the list before and after
// each, and how many of them are done.
struct History {
    struct Step {
        State before;
        State after;
        QString name;
    };
    QVector<Step> steps;
    int index = 0;

    void Push(const State& before, const State& after, const QString& name)
    {
        steps.resize(index);
        steps.append(Step{before, after, name});
        while (steps.size() > kLimit) {
            steps.removeFirst();
        }
        index = steps.size();
    }
    // The page files that must be on disk: the list's and those a step can bring back.
    QSet<QString> Files(const State& now) const
    {
        QSet<QString> files;
        for (const ModelPage& page : now.pages)
            files.insert(page.path);
        for (const Step& step : steps) {
            for (const ModelPage& page : step.before.pages + step.after.pages)
                files.insert(page.path);
        }
        return files;
    }
};

// Each page as its file and angle.
QStringList Listed(const State& state)
{
    QStringList pages;
    for (const ModelPage& page : state.pages)
        pages << page.path + QLatin1Char('@') + QString::number(page.turn);
    return pages;
}

QList<int> Sorted(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QString Plural(const char* text, int count)
{
    return QString::fromUtf8(text).arg(count);
}

} // namespace

class TestPageCommands : public QObject {
    Q_OBJECT

private slots:
    void session_data();
    void session();
};

void TestPageCommands::session_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 100; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void TestPageCommands::session()
{
    QFETCH(quint32, seed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    int made = 0;
    auto newFile = [&dir, &made] {
        const QString path = dir.filePath(QStringLiteral("page%1.jpg").arg(++made, 4, 10, QLatin1Char('0')));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("page");
        return path;
    };

    PageList list;
    PageHistory history(&list);
    history.SetLimit(kLimit);
    ScriptedAsker asker;
    PageCommands commands(&list, &history, &asker);
    bool working = false;
    bool shown = true;
    commands.SetConditions([&working] { return working; }, [&shown] { return shown; });
    int navigated = 0;
    int changed = 0;
    connect(&commands, &PageCommands::sglNavigated, [&navigated] { ++navigated; });
    connect(&commands, &PageCommands::sglPagesChanged, [&changed] { ++changed; });

    State now;
    History model;
    QList<Page> first;
    for (int i = 0; i < 7; ++i) {
        first << Page{newFile(), 0, false, 0};
        now.pages << ModelPage{first.last().path, QString(), 0};
    }
    list.AppendPages(first);
    history.Drop();

    QRandomGenerator random(seed);
    QStringList log;
    auto select = [&list](const QList<int>& rows) {
        QItemSelection selection;
        for (int row : rows)
            selection.select(list.index(row), list.index(row));
        list.Selection()->select(selection, QItemSelectionModel::ClearAndSelect);
    };

    for (int step = 0; step < 80; ++step) {
        const int count = int(now.pages.size());
        const bool free = shown && !working;
        const State before = now;
        asker.questions.clear();
        QStringList expectedQuestions;
        navigated = changed = 0;
        int expectNavigated = 0;
        bool expectChanged = false;
        const int op = random.bounded(17);
        QString line;
        switch (op) {
        case 0: { // a click on a page, then Ctrl+clicks
            if (count == 0)
                continue;
            const int row = random.bounded(count);
            QList<int> rows{row};
            if (random.bounded(2) == 0) {
                // Shift+click: a run of pages, often at an end of the list.
                const int other =
                    random.bounded(2) == 0 ? random.bounded(2) * (count - 1) : random.bounded(count);
                for (int r = std::min(row, other); r <= std::max(row, other); ++r)
                    rows << r;
            } else {
                for (int extra = random.bounded(3); extra > 0; --extra)
                    rows << random.bounded(count);
            }
            list.SetCurrent(row);
            select(rows);
            now.current = row;
            now.selected = Sorted(rows);
            line = QStringLiteral("select");
            for (int r : rows)
                line += QLatin1Char(' ') + QString::number(r);
            break;
        }
        case 1:
        case 2: { // 删除
            asker.answer = random.bounded(2) == 1;
            line = QStringLiteral("delete %1").arg(asker.answer ? "是" : "否");
            const int rows = now.selected.size();
            const bool result = commands.Delete();
            if (!free || rows == 0)
                break;
            expectedQuestions << Plural("是否删除选中的 %1 张图像？", rows);
            if (!asker.answer)
                break;
            now.Delete();
            model.Push(before, now, Plural("删除 %1 张图像", rows));
            expectChanged = true;
            QVERIFY(result);
            break;
        }
        case 3: { // 清除全部
            asker.answer = random.bounded(3) == 0;
            line = QStringLiteral("clear %1").arg(asker.answer ? "是" : "否");
            commands.Clear();
            if (!free || count == 0)
                break;
            expectedQuestions << Plural("是否清除全部 %1 张图像？", count);
            if (!asker.answer)
                break;
            now = State();
            model.Push(before, now, Plural("清除全部 %1 张图像", count));
            expectChanged = true;
            break;
        }
        case 4:
        case 5: { // 上移, 下移
            const int direction = op == 4 ? -1 : 1;
            line = direction < 0 ? QStringLiteral("up") : QStringLiteral("down");
            commands.Move(direction);
            if (!free)
                break;
            // Each run of selected pages trades places with the page next to
            // it in the direction of the move, unless it is at the edge.
            now.Move(direction);
            if (Listed(now) == Listed(before))
                break;
            model.Push(before, now, Plural("移动 %1 张图像", now.selected.size()));
            expectChanged = true;
            break;
        }
        case 6: { // a drop of the selected pages into a gap of the column
            if (!free || count < 2)
                continue;
            const QList<int> rows = Sorted(now.selected);
            if (rows.isEmpty())
                continue;
            const int gap = random.bounded(count + 1);
            line = QStringLiteral("drop before %1").arg(gap);
            QVector<int> order;
            for (int row = 0; row < gap; ++row) {
                if (!rows.contains(row))
                    order << row;
            }
            order << rows.toVector();
            for (int row = gap; row < count; ++row) {
                if (!rows.contains(row))
                    order << row;
            }
            if (!list.Reorder(order))
                break;
            commands.Moved();
            now.Drop(gap);
            model.Push(before, now, Plural("移动 %1 张图像", rows.size()));
            break;
        }
        case 7: { // the three turns
            static const int kTurns[] = {90, -90, 180};
            static const char* const kNames[] = {"向右旋转 %1 张图像", "向左旋转 %1 张图像",
                                                 "旋转180° %1 张图像"};
            const int which = random.bounded(3);
            line = QStringLiteral("turn %1").arg(kTurns[which]);
            commands.Turn(kTurns[which]);
            if (!free || now.selected.isEmpty())
                break;
            for (int row : qAsConst(now.selected)) {
                ModelPage& page = now.pages[row];
                page.turn = ((page.turn + kTurns[which]) % 360 + 360) % 360;
            }
            model.Push(before, now, Plural(kNames[which], now.selected.size()));
            break;
        }
        case 8:
        case 9: { // 撤销
            line = QStringLiteral("undo");
            commands.Undo();
            if (!free || model.index == 0)
                break;
            model.index -= 1;
            now = model.steps.at(model.index).before;
            expectChanged = true;
            break;
        }
        case 10: { // 重做
            line = QStringLiteral("redo");
            commands.Redo();
            if (!free || model.index == model.steps.size())
                break;
            now = model.steps.at(model.index).after;
            model.index += 1;
            expectChanged = true;
            break;
        }
        case 11:
        case 12: { // 首页, 上一页, 下一页, 尾页
            const int which = random.bounded(4);
            const int current = now.current;
            const int target = QVector<int>{0, current - 1, current + 1, count - 1}.at(which);
            line = QStringList{"first", "prev", "next", "last"}.at(which);
            const bool moved = which == 0   ? commands.First()
                               : which == 1 ? commands.Prev()
                               : which == 2 ? commands.Next()
                                            : commands.Last();
            if (target < 0 || target >= count)
                break;
            QVERIFY(moved);
            now.SelectOnly(target);
            expectNavigated = 1;
            break;
        }
        case 13: { // the page box, with numbers beyond both ends
            const int target = random.bounded(count + 3) - 1;
            line = QStringLiteral("jump %1").arg(target);
            commands.JumpTo(target);
            if (working || target < 0 || target >= count)
                break;
            now.SelectOnly(target);
            expectNavigated = 1;
            break;
        }
        case 14: { // a scanned page arrives
            const QString path = newFile();
            line = QStringLiteral("arrive");
            list.AppendPages({Page{path, 0, false, 0}});
            now.pages << ModelPage{path, QString(), 0};
            model.Push(before, now, QString());
            break;
        }
        case 15: // a job starts or ends
            working = !working;
            line = working ? QStringLiteral("job starts") : QStringLiteral("job ends");
            break;
        default: // a settings page shows, or the image page again
            shown = !shown;
            line = shown ? QStringLiteral("image page") : QStringLiteral("settings page");
            break;
        }
        log << line;
        const QByteArray where =
            QStringLiteral("seed %1, after: %2").arg(seed).arg(log.join(QStringLiteral("; "))).toUtf8();

        QCOMPARE(asker.questions, expectedQuestions);
        QVERIFY2(navigated == expectNavigated, where.constData());
        QVERIFY2((changed > 0) == expectChanged, where.constData());
        // The list.
        QStringList pages;
        for (const Page& page : list.Pages())
            pages << page.path + QLatin1Char('@') + QString::number(page.angle);
        QVERIFY2(pages == Listed(now), where.constData());
        QVERIFY2(list.Current() == now.current, where.constData());
        QVERIFY2(Sorted(list.SelectedRows()) == Sorted(now.selected), where.constData());
        // The history.
        QVERIFY2(history.CanUndo() == (model.index > 0), where.constData());
        QVERIFY2(history.CanRedo() == (model.index < model.steps.size()), where.constData());
        if (model.index > 0)
            QVERIFY2(history.UndoName() == model.steps.at(model.index - 1).name,
                     qPrintable(history.UndoName() + " vs " + model.steps.at(model.index - 1).name + where));
        if (model.index < model.steps.size())
            QVERIFY2(history.RedoName() == model.steps.at(model.index).name, where.constData());
        // The files: every page's, and those a step can bring back; no other.
        const QSet<QString> files = model.Files(now);
        const QStringList onDisk = QDir(dir.path()).entryList(QDir::Files);
        QSet<QString> present;
        for (const QString& name : onDisk)
            present.insert(dir.filePath(name));
        QVERIFY2(present == files, where.constData());
        // The rules.
        const PageCommands::Rules rules = commands.CurrentRules();
        const int size = int(now.pages.size());
        const int current = now.current;
        const bool free2 = shown && !working;
        QVERIFY2(rules.edit == (shown && size > 0), where.constData());
        QVERIFY2(rules.move == (free2 && size >= 2), where.constData());
        QVERIFY2(rules.undo == (free2 && model.index > 0), where.constData());
        QVERIFY2(rules.redo == (free2 && model.index < model.steps.size()), where.constData());
        const bool pageButtons = shown && size >= 2;
        QVERIFY2(rules.first == (pageButtons && current > 0), where.constData());
        QVERIFY2(rules.prev == (pageButtons && current > 0), where.constData());
        QVERIFY2(rules.jump == pageButtons, where.constData());
        QVERIFY2(rules.next == (pageButtons && current < size - 1), where.constData());
        QVERIFY2(rules.last == (pageButtons && current < size - 1), where.constData());
        const QString undoText = model.index > 0
                                     ? QStringLiteral("撤销") + model.steps.at(model.index - 1).name
                                     : QStringLiteral("撤销");
        QVERIFY2(rules.undoText == undoText, where.constData());
    }

    // The history dropped, no file but the pages' is left.
    history.Drop();
    model.steps.clear();
    model.index = 0;
    QSet<QString> present;
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
        present.insert(dir.filePath(name));
    QCOMPARE(present, model.Files(now));
}

QTEST_GUILESS_MAIN(TestPageCommands)
#include "tst_pagecommands.moc"
