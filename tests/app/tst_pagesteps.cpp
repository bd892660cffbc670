// Page steps on the real main window over the pages of a session that a
// killed process left, brought back by 是.
//
// "撤销" and "重做" and the questions of 删除 and 清除全部, bound to the page
// commands (whose rules tst_pagecommands checks without a window): each
// action reaches its command, its question is asked in each language with
// the right plural and 是 and 否 reach the command, the column and the large
// view follow what 撤销 and 重做 put back, the actions are named for the step
// and are off while a save runs and on the settings pages, and a save that
// empties the list leaves no file behind.
//
// Pages deleted, moved and turned before the thumbnails are all in: the page
// list, the rows, the journal and every thumbnail end in agreement, each row
// showing its own page as it is now, and the large view the current page.
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "pagehistory.h"
#include "pagelist.h"
#include "pageturn.h"
#include "sessionjournal.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"

#include <QAbstractItemView>
#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTranslator>
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

const int kPages = 30;
// Large enough that the thumbnails are still on their way when the first
// actions come.
const QSize kPageSize(1240, 1754);

// Top-left quarter: the page's number as a colour; the other quarters
// fixed colours, so that orientation shows too.
QImage MakePage(int number)
{
    QImage image(kPageSize, QImage::Format_RGB32);
    const int w = kPageSize.width() / 2;
    const int h = kPageSize.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h, QColor(number * 8, 240 - number * 8, 128));
    painter.fillRect(w, 0, w, h, Qt::white);
    painter.fillRect(0, h, w, h, Qt::black);
    painter.fillRect(w, h, w, h, QColor(90, 90, 90));
    return image;
}

bool SameQuarters(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull()) {
        return false;
    }
    for (double fy : {0.25, 0.75}) {
        for (double fx : {0.25, 0.75}) {
            const QRgb p = a.pixel(int(a.width() * fx), int(a.height() * fy));
            const QRgb q = b.pixel(int(b.width() * fx), int(b.height() * fy));
            if (std::abs(qRed(p) - qRed(q)) > 3 || std::abs(qGreen(p) - qGreen(q)) > 3 ||
                std::abs(qBlue(p) - qBlue(q)) > 3) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

class TestPageSteps : public QObject {
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void changedWhileRestoring();

private:
    // `images` written as the page files of a session that a killed process
    // left for a window on the home and temporary folders, with `state` the
    // rest of its journal (its pages filled in, its angles by file name).
    void Plant(const QList<QImage>& images, SessionJournal::State* state);

    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_tmp;
    QString m_base;
    QString m_workDir;
};

void TestPageSteps::Plant(const QList<QImage>& images, SessionJournal::State* state)
{
    m_home.reset(new QTemporaryDir);
    m_tmp.reset(new QTemporaryDir);
    m_base = m_tmp->path() + QStringLiteral("/zir/scanvy");
    {
        MainWindow probe(m_home->path(), m_base);
        m_workDir = probe.WorkDir();
    }
    SessionJournal journal(m_workDir);
    QVERIFY(QDir().mkpath(journal.ScanDir()));
    for (int i = 0; i < images.size(); ++i) {
        state->pages << journal.ScanDir() + QStringLiteral("/%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        QVERIFY(images.at(i).save(state->pages.last(), "JPEG", 95));
    }
    QHash<QString, int> angles;
    for (auto it = state->angles.cbegin(); it != state->angles.cend(); ++it)
        angles.insert(journal.ScanDir() + QLatin1Char('/') + it.key(), it.value());
    state->angles = angles;
    state->scanNumber = images.size() + 1;
    QCOMPARE(journal.Record(*state), 0);
}

void TestPageSteps::steps_data()
{
    // A script of "select <rows>", "current <row>", "all" (全选), "delete",
    // "clear", "up", "down", "turn" (right), "save", "undo", "redo",
    // "settings", "image", "no" (the answer to the questions from then on),
    // "en_US" or "zh_TW" (that catalogue asked first); then the questions
    // asked, the pages left (by their first rows, "@<angle>" when turned),
    // the current and selected ones (by first rows), and the two actions'
    // texts (empty: disabled).
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("undo");
    QTest::addColumn<QString>("redo");

    const QString one = QStringLiteral("是否删除选中的 1 张图像？");
    QTest::newRow("delete two, undo, redo")
        << QStringList{"select 1 3", "delete", "undo", "redo"} << QStringList{"是否删除选中的 2 张图像？"}
        << "0 2 4 5" << 5 << "5"
        << "撤销删除 2 张图像"
        << "";
    QTest::newRow("turn two, undo, redo") << QStringList{"select 1 2", "turn", "undo", "redo"}
                                          << QStringList{} << "0 1@90 2@90 3 4 5" << 2 << "1 2"
                                          << "撤销向右旋转 2 张图像"
                                          << "";
    QTest::newRow("off while a save runs; the save that empties the list drops the history")
        << QStringList{"select 1", "delete", "save"} << QStringList{one} << "" << -1 << ""
        << ""
        << "";
    QTest::newRow("off on a settings page")
        << QStringList{"select 1", "delete", "settings"} << QStringList{one} << "0 2 3 4 5" << 2 << "2"
        << ""
        << "";
    QTest::newRow("back on the image page") << QStringList{"select 1", "delete", "settings", "image"}
                                            << QStringList{one} << "0 2 3 4 5" << 2 << "2"
                                            << "撤销删除 1 张图像"
                                            << "";
    QTest::newRow("English, 否 to each question")
        << QStringList{"en_US", "no", "select 0", "delete", "select 0 5", "delete", "clear"}
        << QStringList{"Delete the 1 selected image?", "Delete the 2 selected images?", "Clear all 6 images?"}
        << "0 1 2 3 4 5" << 5 << "0 5"
        << ""
        << "";
    QTest::newRow("English, clear the only page")
        << QStringList{"select 1 2 3 4 5", "delete", "en_US", "clear"}
        << QStringList{"是否删除选中的 5 张图像？", "Clear all images (1 image)?"} << "" << -1 << ""
        << "Undo Clear All (1 image)"
        << "";
    QTest::newRow("Traditional Chinese, delete all after 全选, 否")
        << QStringList{"zh_TW", "no", "all", "delete"} << QStringList{"是否刪除選取的 6 張影像？"}
        << "0 1 2 3 4 5" << 0 << "0 1 2 3 4 5"
        << ""
        << "";
}

void TestPageSteps::steps()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, asked);
    QFETCH(QString, rows);
    QFETCH(int, current);
    QFETCH(QString, selected);
    QFETCH(QString, undo);
    QFETCH(QString, redo);

    // Six pages come back from a session journal, as after a crash.
    QList<QImage> images;
    for (int i = 0; i < 6; ++i) {
        images << QImage(120, 170, QImage::Format_RGB32);
        images.last().fill(QColor(40 * i, 200 - 30 * i, 90));
    }
    SessionJournal::State state;
    Plant(images, &state);
    if (QTest::currentTestFailed())
        return;

    ModalAnswerer answerer(QMessageBox::Yes);
    MainWindow window(m_home->path(), m_base);
    int jobsDone = 0;
    connect(&window, &MainWindow::sglJobDone, [&jobsDone] { ++jobsDone; });
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
    answerer.texts.clear();

    // Installed after the window's own catalogues, so that it is asked first.
    QTranslator translator;
    const auto untranslate = qScopeGuard([&translator] { QCoreApplication::removeTranslator(&translator); });
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
            // Its own report is no question.
            QVERIFY(!answerer.texts.isEmpty() &&
                    answerer.texts.takeLast().startsWith(QStringLiteral("保存成功")));
        } else if (verb == "en_US" || verb == "zh_TW") {
            QVERIFY(translator.load(QStringLiteral(":/trans/%1.qm").arg(verb)));
            QVERIFY(QCoreApplication::installTranslator(&translator));
        } else if (verb == "no") {
            answerer.SetAnswer(QMessageBox::No);
        } else if (verb == "current") {
            list->selectionModel()->setCurrentIndex(list->model()->index(words.at(1).toInt(), 0),
                                                    QItemSelectionModel::ClearAndSelect);
        } else {
            static const QHash<QString, const char*> actions{
                {"delete", "actionDelete"},         {"clear", "actionBroom"},     {"up", "actionMoveUp"},
                {"down", "actionMoveDown"},         {"undo", "actionUndo"},       {"redo", "actionRedo"},
                {"settings", "actionSystemConfig"}, {"image", "actionImageView"}, {"all", "actionSelectAll"},
            };
            QAction* action = Action(&window, actions.value(verb));
            QVERIFY2(action && action->isEnabled(), qPrintable(line));
            action->trigger();
        }
    }

    QCOMPARE(answerer.texts, asked);
    // Only the save runs as a job.
    QCOMPARE(jobsDone, script.contains(QStringLiteral("save")) ? 1 : 0);
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
    answerer.SetAnswer(QMessageBox::Yes);
    if (!window.Pages()->IsEmpty()) {
        Action(&window, "actionSelectAll")->trigger();
        view->Delete();
    }
}

void TestPageSteps::changedWhileRestoring()
{
    QList<QImage> images;
    for (int i = 0; i < kPages; ++i)
        images << MakePage(i);
    SessionJournal::State state;
    state.current = 2;
    // Turned pages come back turned: the names are known before the files.
    for (int i : {2, 3}) {
        state.angles.insert(QStringLiteral("%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')), i == 2 ? 180 : 90);
    }
    Plant(images, &state);
    if (QTest::currentTestFailed())
        return;

    ModalAnswerer answerer(QMessageBox::Yes);
    MainWindow window(m_home->path(), m_base);
    int jobsDone = 0;
    connect(&window, &MainWindow::sglJobDone, [&jobsDone] { ++jobsDone; });
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (window.PageFiles().isEmpty() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
    }
    QCOMPARE(answerer.texts.size(), 1);
    auto* view = window.findChild<ImageViewWidget*>();
    QVERIFY(view != nullptr);
    // Otherwise the actions below would not come while loading.
    QVERIFY(view->IsLoadingThumbnails());
    // The current page is shown before any thumbnail.
    auto* largeLabel = window.findChild<QLabel*>(QStringLiteral("largeLabel"));
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
    auto thumbnailsIn = [view] { return view->Thumbnails()->Count(); };
    // What the column draws in row `row`'s image box, its thumbnail arrived.
    auto* delegate = qobject_cast<ThumbnailItemDelegate*>(list->itemDelegate());
    QVERIFY(delegate != nullptr);
    auto picture = [list, view, delegate](int row) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        delegate->Picture(index);
        const QDeadlineTimer deadline(10000);
        while (view->Thumbnails()->IsDecoding() && !deadline.hasExpired()) {
            view->Thumbnails()->WaitForDecodes(20);
            QCoreApplication::processEvents();
        }
        return delegate->Picture(index);
    };
    while (largeLabel->pixmap(Qt::ReturnByValue).isNull() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
    }
    QCOMPARE(thumbnailsIn(), 0);
    QVERIFY(SameQuarters(largeLabel->pixmap(Qt::ReturnByValue).toImage(),
                         TurnImage(QImageReader(state.pages.at(2)).read(), 180)));

    QStringList expected = state.pages;
    auto select = [&window](int row) {
        window.findChild<QComboBox*>(QStringLiteral("cmPageJump"))->setCurrentIndex(row);
    };
    auto trigger = [&window](const char* name) {
        auto* action = window.findChild<QAction*>(QLatin1String(name));
        QVERIFY2(action != nullptr && action->isEnabled(), name);
        action->trigger();
    };
    select(5);
    trigger("actionDelete");
    expected.removeAt(5);
    select(0);
    trigger("actionMoveDown");
    expected.move(0, 1);
    QHash<QString, int> angles = state.angles;
    select(expected.size() - 1);
    trigger("actionRotateRight");
    angles.insert(expected.last(), 90);
    select(1);
    trigger("actionRotateLeft");
    angles.insert(expected.at(1), 270);
    select(3);
    QCOMPARE(jobsDone, 0); // a turn is no job

    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoadingThumbnails(), 30000);

    QCOMPARE(window.PageFiles(), expected);
    QCOMPARE(view->GetPagePaths().toList(), expected);
    // The journal is written on its own thread: the newest state lands soon.
    SessionJournal::State recorded;
    const SessionJournal journal(m_workDir);
    QTRY_VERIFY_WITH_TIMEOUT(journal.Load(&recorded) && recorded.pages == expected && recorded.current == 3,
                             10000);
    QCOMPARE(recorded.pages, expected);
    QCOMPARE(recorded.current, 3);
    QCOMPARE(recorded.angles, angles);

    QCOMPARE(list->model()->rowCount(), expected.size());
    for (int row = 0; row < expected.size(); ++row) {
        const QByteArray where = QStringLiteral("row %1").arg(row).toUtf8();
        const QImage page = TurnImage(QImageReader(expected.at(row)).read(), angles.value(expected.at(row)));
        QVERIFY2(SameQuarters(picture(row), page), where.constData());
    }
    QVERIFY(SameQuarters(largeLabel->pixmap(Qt::ReturnByValue).toImage(),
                         TurnImage(QImageReader(expected.at(3)).read(), angles.value(expected.at(3)))));
}

QTEST_MAIN(TestPageSteps)
#include "tst_pagesteps.moc"
