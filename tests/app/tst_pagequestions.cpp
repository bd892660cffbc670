// The questions of 删除 and 清除全部 on the real main window: its message
// boxes ask what the page commands want asked (the commands' answers are
// checked without a window in tst_pagecommands), in each language with the
// right plural, and 是 and 否 reach the commands.
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "sessionjournal.h"

#include <QAbstractItemView>
#include <QAction>
#include <QColor>
#include <QImage>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

QAction* Action(QWidget* window, const char* name)
{
    return window->findChild<QAction*>(QLatin1String(name));
}

} // namespace

class TestPageQuestions : public QObject {
    Q_OBJECT

private slots:
    void questionCountsPages_data();
    void questionCountsPages();
};

void TestPageQuestions::questionCountsPages_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("action");   // actionDelete or actionBroom
    QTest::addColumn<QList<int>>("rows");  // rows selected by hand; empty: 全选
    QTest::addColumn<QString>("language"); // "" for the program's own texts
    QTest::addColumn<bool>("yes");         // the answer
    QTest::addColumn<QString>("question");
    QTest::addColumn<QList<int>>("remaining"); // the pages left, by their first rows

    const QList<int> all{0, 1, 2, 3, 4, 5};
    QTest::newRow("delete three pages, 是") << 6 << "actionDelete" << QList<int>{1, 3, 4} << "" << true
                                            << "是否删除选中的 3 张图像？" << QList<int>{0, 2, 5};
    QTest::newRow("delete all after 全选, 否")
        << 6 << "actionDelete" << QList<int>{} << "" << false << "是否删除选中的 6 张图像？" << all;
    QTest::newRow("clear six pages, 是")
        << 6 << "actionBroom" << QList<int>{2} << "" << true << "是否清除全部 6 张图像？" << QList<int>{};
    QTest::newRow("English, delete one page")
        << 6 << "actionDelete" << QList<int>{0} << "en_US" << false << "Delete the 1 selected image?" << all;
    QTest::newRow("English, delete two pages") << 6 << "actionDelete" << QList<int>{0, 5} << "en_US" << false
                                               << "Delete the 2 selected images?" << all;
    QTest::newRow("English, clear six pages")
        << 6 << "actionBroom" << QList<int>{0} << "en_US" << false << "Clear all 6 images?" << all;
    QTest::newRow("English, clear the only page") << 1 << "actionBroom" << QList<int>{0} << "en_US" << false
                                                  << "Clear all images (1 image)?" << QList<int>{0};
    QTest::newRow("Traditional Chinese, delete all after 全选")
        << 6 << "actionDelete" << QList<int>{} << "zh_TW" << false << "是否刪除選取的 6 張影像？" << all;
}

void TestPageQuestions::questionCountsPages()
{
    QFETCH(int, pages);
    QFETCH(QString, action);
    QFETCH(QList<int>, rows);
    QFETCH(QString, language);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QList<int>, remaining);

    // The pages come back from a session journal, as after a crash.
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
    for (int i = 0; i < pages; ++i) {
        QImage page(120, 170, QImage::Format_RGB32);
        page.fill(QColor(40 * i, 200 - 30 * i, 90));
        state.pages << journal.ScanDir() + QStringLiteral("/%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        QVERIFY(page.save(state.pages.last(), "JPEG", 90));
    }
    state.scanNumber = pages + 1;
    QCOMPARE(journal.Record(state), 0);

    ModalAnswerer answerer(QMessageBox::Yes);
    MainWindow window(home.path(), base);
    int jobsDone = 0;
    connect(&window, &MainWindow::sglJobDone, [&jobsDone] { ++jobsDone; });
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.PageFiles().size(), pages, 10000);
    auto* view = window.findChild<ImageViewWidget*>();
    QVERIFY(view != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoadingThumbnails(), 10000);
    QTRY_VERIFY(Action(&window, action.toLatin1().constData())->isEnabled());

    // Installed after the window's own catalogues, so that it is asked first.
    QTranslator translator;
    if (!language.isEmpty()) {
        QVERIFY(translator.load(QStringLiteral(":/trans/%1.qm").arg(language)));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    const auto untranslate = qScopeGuard([&translator] { QCoreApplication::removeTranslator(&translator); });

    // Selected the way a user does: a click, then Ctrl+clicks; or 全选.
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
    QVERIFY(list != nullptr);
    if (rows.isEmpty()) {
        Action(&window, "actionSelectAll")->trigger();
    } else {
        list->selectionModel()->setCurrentIndex(list->model()->index(rows.first(), 0),
                                                QItemSelectionModel::ClearAndSelect);
        for (int row : rows.mid(1))
            list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                                    QItemSelectionModel::Select);
    }
    QCOMPARE(view->SelectedRows().size(), rows.isEmpty() ? pages : rows.size());

    answerer.texts.clear();
    answerer.titles.clear();
    answerer.SetAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
    Action(&window, action.toLatin1().constData())->trigger();
    QCOMPARE(answerer.texts, QStringList{question});
    if (language.isEmpty()) {
        QCOMPARE(answerer.titles, QStringList{QStringLiteral("提示")});
    }

    QList<QString> expected;
    for (int row : remaining)
        expected << state.pages.at(row);
    QTRY_COMPARE_WITH_TIMEOUT(window.PageFiles(), expected, 10000);
    QCOMPARE(view->GetPagePaths().size(), expected.size());
    // The files stay while the change can be undone.
    for (const QString& page : state.pages)
        QVERIFY(QFileInfo::exists(page));
    QCOMPARE(jobsDone, 0);
    // Leaves without the question about unsaved pages.
    Action(&window, "actionSelectAll")->trigger();
    view->Delete();
}

QTEST_MAIN(TestPageQuestions)
#include "tst_pagequestions.moc"
