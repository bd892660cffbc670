// The page commands without a window: seeded random sessions of 删除 and
// 清除全部 (answered 是 or 否), moves by key and by drop, turns, 撤销, 重做,
// navigation, pages arriving and jobs starting and ending, each step
// compared with a small model of the list (pages, angles, current page,
// selection), of the history (steps and their names) and of the page files
// in the work folder.
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

struct ModelPage {
    QString path;
    int angle = 0;
    bool operator==(const ModelPage& other) const { return path == other.path && angle == other.angle; }
};

struct ModelState {
    QList<ModelPage> pages;
    int current = 0;
    QSet<QString> selected;
};

struct ModelStep {
    ModelState before;
    ModelState after;
    QString name;
};

const int kLimit = 6;

// The list, the history and the files as they should be.
class Model {
public:
    ModelState now;
    QVector<ModelStep> steps;
    int index = 0;

    void Push(const ModelState& before, const QString& name)
    {
        steps.resize(index);
        steps.append(ModelStep{before, now, name});
        while (steps.size() > kLimit) {
            steps.removeFirst();
        }
        index = steps.size();
    }
    QSet<QString> Files() const
    {
        QSet<QString> files;
        for (const ModelPage& page : now.pages)
            files.insert(page.path);
        for (const ModelStep& step : steps) {
            for (const ModelPage& page : step.before.pages)
                files.insert(page.path);
            for (const ModelPage& page : step.after.pages)
                files.insert(page.path);
        }
        return files;
    }
    QList<int> SelectedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < now.pages.size(); ++row) {
            if (now.selected.contains(now.pages.at(row).path))
                rows << row;
        }
        return rows;
    }
    void SelectOnly(int row)
    {
        now.selected.clear();
        if (row >= 0 && row < now.pages.size())
            now.selected.insert(now.pages.at(row).path);
    }
};

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

    Model model;
    QList<Page> first;
    for (int i = 0; i < 7; ++i) {
        first << Page{newFile(), 0, false, 0};
        model.now.pages << ModelPage{first.last().path, 0};
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
        const int count = int(model.now.pages.size());
        const bool free = shown && !working;
        const ModelState before = model.now;
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
            model.now.current = row;
            model.now.selected.clear();
            for (int r : rows)
                model.now.selected.insert(model.now.pages.at(r).path);
            line = QStringLiteral("select");
            for (int r : rows)
                line += QLatin1Char(' ') + QString::number(r);
            break;
        }
        case 1:
        case 2: { // 删除
            asker.answer = random.bounded(2) == 1;
            line = QStringLiteral("delete %1").arg(asker.answer ? "是" : "否");
            const QList<int> rows = model.SelectedRows();
            const bool result = commands.Delete();
            if (!free || rows.isEmpty())
                break;
            expectedQuestions << Plural("是否删除选中的 %1 张图像？", rows.size());
            if (!asker.answer)
                break;
            for (int i = rows.size() - 1; i >= 0; --i)
                model.now.pages.removeAt(rows.at(i));
            model.now.current = std::min(before.current, int(model.now.pages.size()) - 1);
            model.now.current = std::max(model.now.current, 0);
            model.SelectOnly(model.now.current);
            model.Push(before, Plural("删除 %1 张图像", rows.size()));
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
            model.now = ModelState();
            model.Push(before, Plural("清除全部 %1 张图像", count));
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
            const QList<int> rows = model.SelectedRows();
            QList<ModelPage> pages = model.now.pages;
            for (int i = 0; i < rows.size();) {
                int j = i;
                while (j + 1 < rows.size() && rows.at(j + 1) == rows.at(j) + 1)
                    ++j;
                const int top = rows.at(i);
                const int bottom = rows.at(j);
                if (direction < 0 && top > 0)
                    pages.move(top - 1, bottom);
                else if (direction > 0 && bottom < count - 1)
                    pages.move(bottom + 1, top);
                i = j + 1;
            }
            if (pages == model.now.pages)
                break;
            const QString current = model.now.pages.at(model.now.current).path;
            model.now.pages = pages;
            for (int row = 0; row < pages.size(); ++row) {
                if (pages.at(row).path == current)
                    model.now.current = row;
            }
            model.Push(before, Plural("移动 %1 张图像", rows.size()));
            expectChanged = true;
            break;
        }
        case 6: { // a drop of the selected pages into a gap of the column
            if (!free || count < 2)
                continue;
            const QList<int> rows = model.SelectedRows();
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
            const QString current = model.now.pages.at(model.now.current).path;
            QList<ModelPage> pages;
            for (int row : order)
                pages << model.now.pages.at(row);
            model.now.pages = pages;
            for (int row = 0; row < pages.size(); ++row) {
                if (pages.at(row).path == current)
                    model.now.current = row;
            }
            model.Push(before, Plural("移动 %1 张图像", rows.size()));
            break;
        }
        case 7: { // the three turns
            static const int kTurns[] = {90, -90, 180};
            static const char* const kNames[] = {"向右旋转 %1 张图像", "向左旋转 %1 张图像",
                                                 "旋转180° %1 张图像"};
            const int which = random.bounded(3);
            line = QStringLiteral("turn %1").arg(kTurns[which]);
            commands.Turn(kTurns[which]);
            const QList<int> rows = model.SelectedRows();
            if (!free || rows.isEmpty())
                break;
            for (int row : rows) {
                ModelPage& page = model.now.pages[row];
                page.angle = ((page.angle + kTurns[which]) % 360 + 360) % 360;
            }
            model.Push(before, Plural(kNames[which], rows.size()));
            break;
        }
        case 8:
        case 9: { // 撤销
            line = QStringLiteral("undo");
            commands.Undo();
            if (!free || model.index == 0)
                break;
            model.index -= 1;
            model.now = model.steps.at(model.index).before;
            expectChanged = true;
            break;
        }
        case 10: { // 重做
            line = QStringLiteral("redo");
            commands.Redo();
            if (!free || model.index == model.steps.size())
                break;
            model.now = model.steps.at(model.index).after;
            model.index += 1;
            expectChanged = true;
            break;
        }
        case 11:
        case 12: { // 首页, 上一页, 下一页, 尾页
            const int which = random.bounded(4);
            const int current = model.now.current;
            const int target = QVector<int>{0, current - 1, current + 1, count - 1}.at(which);
            line = QStringList{"first", "prev", "next", "last"}.at(which);
            const bool moved = which == 0   ? commands.First()
                               : which == 1 ? commands.Prev()
                               : which == 2 ? commands.Next()
                                            : commands.Last();
            if (target < 0 || target >= count)
                break;
            QVERIFY(moved);
            model.now.current = target;
            model.SelectOnly(target);
            expectNavigated = 1;
            break;
        }
        case 13: { // the page box, with numbers beyond both ends
            const int target = random.bounded(count + 3) - 1;
            line = QStringLiteral("jump %1").arg(target);
            commands.JumpTo(target);
            if (working || target < 0 || target >= count)
                break;
            model.now.current = target;
            model.SelectOnly(target);
            expectNavigated = 1;
            break;
        }
        case 14: { // a scanned page arrives
            const QString path = newFile();
            line = QStringLiteral("arrive");
            list.AppendPages({Page{path, 0, false, 0}});
            model.now.pages << ModelPage{path, 0};
            model.Push(before, QString());
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
        QList<ModelPage> pages;
        for (const Page& page : list.Pages())
            pages << ModelPage{page.path, page.angle};
        QVERIFY2(pages == model.now.pages, where.constData());
        QVERIFY2(list.Current() == model.now.current, where.constData());
        QSet<QString> selected;
        for (int row : list.SelectedRows())
            selected.insert(list.PathAt(row));
        QVERIFY2(selected == model.now.selected, where.constData());
        // The history.
        QVERIFY2(history.CanUndo() == (model.index > 0), where.constData());
        QVERIFY2(history.CanRedo() == (model.index < model.steps.size()), where.constData());
        if (model.index > 0)
            QVERIFY2(history.UndoName() == model.steps.at(model.index - 1).name,
                     qPrintable(history.UndoName() + " vs " + model.steps.at(model.index - 1).name + where));
        if (model.index < model.steps.size())
            QVERIFY2(history.RedoName() == model.steps.at(model.index).name, where.constData());
        // The files: every page's, and those a step can bring back; no other.
        const QSet<QString> files = model.Files();
        const QStringList onDisk = QDir(dir.path()).entryList(QDir::Files);
        QSet<QString> present;
        for (const QString& name : onDisk)
            present.insert(dir.filePath(name));
        QVERIFY2(present == files, where.constData());
        // The rules.
        const PageCommands::Rules rules = commands.CurrentRules();
        const int now = int(model.now.pages.size());
        const int current = model.now.current;
        const bool free2 = shown && !working;
        QVERIFY2(rules.edit == (shown && now > 0), where.constData());
        QVERIFY2(rules.move == (free2 && now >= 2), where.constData());
        QVERIFY2(rules.undo == (free2 && model.index > 0), where.constData());
        QVERIFY2(rules.redo == (free2 && model.index < model.steps.size()), where.constData());
        const bool pageButtons = shown && now >= 2;
        QVERIFY2(rules.first == (pageButtons && current > 0), where.constData());
        QVERIFY2(rules.prev == (pageButtons && current > 0), where.constData());
        QVERIFY2(rules.jump == pageButtons, where.constData());
        QVERIFY2(rules.next == (pageButtons && current < now - 1), where.constData());
        QVERIFY2(rules.last == (pageButtons && current < now - 1), where.constData());
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
    QCOMPARE(present, model.Files());
}

QTEST_GUILESS_MAIN(TestPageCommands)
#include "tst_pagecommands.moc"
