// "撤销" and "重做" on the real main window, bound to the page commands
// (whose rules tst_pagecommands checks without a window): each action
// reaches its command, the column and the large view follow what 撤销 and
// 重做 put back, the actions are named for the step and are off while a
// save runs and on the settings pages, and a save that empties the list
// leaves no file behind.
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "pagehistory.h"
#include "pagelist.h"
#include "sessionjournal.h"

#include <QAbstractItemView>
#include <QAction>
#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QAction* Action(QWidget* window, const char* name)
{
    return window->findChild<QAction*>(QLatin1String(name));
}

QList<int> Ints(const QString& text)
{
    QList<int> values;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values << word.toInt();
    return values;
}

} // namespace

class TestUndo : public QObject {
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
};

void TestUndo::steps_data()
{
    // A script of "select <rows>", "current <row>", "delete", "clear", "up",
    // "down", "turn" (right), "save", "undo", "redo", "settings", "image";
    // then the pages left (by their first rows, "@<angle>" when turned), the
    // current and selected ones (by first rows), and
    // the two actions' texts (empty: disabled).
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("undo");
    QTest::addColumn<QString>("redo");

    QTest::newRow("delete two, undo, redo")
        << QStringList{"select 1 3", "delete", "undo", "redo"} << "0 2 4 5" << 5 << "5"
        << "撤销删除 2 张图像"
        << "";
    QTest::newRow("turn two, undo, redo")
        << QStringList{"select 1 2", "turn", "undo", "redo"} << "0 1@90 2@90 3 4 5" << 2 << "1 2"
        << "撤销向右旋转 2 张图像"
        << "";
    QTest::newRow("off while a save runs; the save that empties the list drops the history")
        << QStringList{"select 1", "delete", "save"} << "" << -1 << ""
        << ""
        << "";
    QTest::newRow("off on a settings page")
        << QStringList{"select 1", "delete", "settings"} << "0 2 3 4 5" << 2 << "2"
        << ""
        << "";
    QTest::newRow("back on the image page")
        << QStringList{"select 1", "delete", "settings", "image"} << "0 2 3 4 5" << 2 << "2"
        << "撤销删除 1 张图像"
        << "";
}

void TestUndo::steps()
{
    QFETCH(QStringList, script);
    QFETCH(QString, rows);
    QFETCH(int, current);
    QFETCH(QString, selected);
    QFETCH(QString, undo);
    QFETCH(QString, redo);

    // Six pages come back from a session journal, as after a crash.
    QTemporaryDir home;
    QTemporaryDir tmp;
    const QString base = tmp.path() + QStringLiteral("/zir/scanvy");
    QString workDir;
    {
        MainWindow probe(home.path(), base);
        workDir = probe.WorkDir();
    }
    SessionJournal journal(workDir);
    SessionJournal::State state;
    QVERIFY(QDir().mkpath(journal.ScanDir()));
    for (int i = 0; i < 6; ++i) {
        QImage page(120, 170, QImage::Format_RGB32);
        page.fill(QColor(40 * i, 200 - 30 * i, 90));
        state.pages << journal.ScanDir() + QStringLiteral("/%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        QVERIFY(page.save(state.pages.last(), "JPEG", 90));
    }
    state.scanNumber = 7;
    QCOMPARE(journal.Record(state), 0);

    ModalAnswerer answerer(QMessageBox::Yes);
    MainWindow window(home.path(), base);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.PageFiles().size(), 6, 10000);
    auto* view = window.findChild<ImageViewWidget*>();
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoadingThumbnails(), 10000);
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
    QVERIFY(list != nullptr);
    // Bringing the pages back is a step of its own; the script starts after it.
    QCOMPARE(window.History()->UndoName(), QStringLiteral("恢复 6 张图像"));
    window.History()->Drop();

    for (const QString& line : script) {
        const QStringList words = line.split(QLatin1Char(' '));
        const QString& verb = words.first();
        if (verb == "select") {
            const QList<int> picked = Ints(words.mid(1).join(QLatin1Char(' ')));
            list->selectionModel()->setCurrentIndex(list->model()->index(picked.first(), 0),
                                                    QItemSelectionModel::ClearAndSelect);
            for (int row : picked.mid(1))
                list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                                        QItemSelectionModel::Select);
        } else if (verb == "turn") {
            Action(&window, "actionRotateRight")->trigger();
        } else if (verb == "save") {
            // The save works on the pages on the job thread meanwhile.
            Action(&window, "actionSave")->trigger();
            QVERIFY(window.JobRunning());
            QVERIFY(!Action(&window, "actionUndo")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!window.JobRunning(), 20000);
        } else if (verb == "current") {
            list->selectionModel()->setCurrentIndex(list->model()->index(words.at(1).toInt(), 0),
                                                    QItemSelectionModel::ClearAndSelect);
        } else {
            static const QHash<QString, const char*> actions{
                {"delete", "actionDelete"},         {"clear", "actionBroom"},     {"up", "actionMoveUp"},
                {"down", "actionMoveDown"},         {"undo", "actionUndo"},       {"redo", "actionRedo"},
                {"settings", "actionSystemConfig"}, {"image", "actionImageView"},
            };
            QAction* action = Action(&window, actions.value(verb));
            QVERIFY2(action && action->isEnabled(), qPrintable(line));
            action->trigger();
        }
    }

    // Rows as "<first row>[@<angle>]".
    QList<QString> expected;
    QList<int> angles;
    for (const QString& row : rows.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        expected << state.pages.at(row.section(QLatin1Char('@'), 0, 0).toInt());
        angles << row.section(QLatin1Char('@'), 1, 1).toInt();
    }
    QCOMPARE(window.PageFiles(), expected);
    QList<int> shownAngles;
    for (const Page& page : window.Pages()->Pages())
        shownAngles << page.angle;
    QCOMPARE(shownAngles, angles);
    QCOMPARE(view->GetPagePaths().toList(), expected);
    if (current >= 0) {
        QCOMPARE(window.Pages()->PathAt(window.Pages()->Current()), state.pages.at(current));
        QCOMPARE(view->GetCurrentPath(), state.pages.at(current));
    }
    QStringList selectedFiles;
    for (int row : view->SelectedRows())
        selectedFiles << view->PathAt(row);
    QStringList expectedSelected;
    for (int row : Ints(selected))
        expectedSelected << state.pages.at(row);
    QCOMPARE(selectedFiles, expectedSelected);

    QAction* undoAction = Action(&window, "actionUndo");
    QAction* redoAction = Action(&window, "actionRedo");
    QCOMPARE(undoAction->isEnabled() ? undoAction->text() : QString(), undo);
    QCOMPARE(redoAction->isEnabled() ? redoAction->text() : QString(), redo);
    // Every file is a page or held by a step that can bring it back; after a
    // save that emptied the list, none is left (not even a deleted page's).
    const bool saved = script.contains(QStringLiteral("save"));
    for (const QString& page : state.pages)
        QVERIFY2(QFileInfo::exists(page) != saved, qPrintable(page));
    // Dropping the history takes the files no page holds any more.
    window.History()->Drop();
    for (const QString& page : state.pages)
        QCOMPARE(QFileInfo::exists(page), expected.contains(page));

    // Leaves without the question about unsaved pages.
    if (!window.Pages()->IsEmpty()) {
        Action(&window, "actionSelectAll")->trigger();
        view->Delete();
    }
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
