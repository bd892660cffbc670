#include "gdata.h"
#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"
#include "workspace.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// Operation sequences are written as "op arg arg; op arg; ..." with
//   add X          AddImage of page X
//   at T I         SetSelectedImgIndexForScan(T, I)
//   ins X          InsertImage of page X
//   rep I X        SetSelection(I), then ReplaceImage(I, page X)
//   del I,J,...    select rows I, J, ... and Delete
//   broom / clear  Broom / ClearImages
// Page X is the file "X.png", a page in a colour of its own.
class TestImageViewWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void construction();
    void scrollBarPolicy_data();
    void scrollBarPolicy();
    void operationSequences_data();
    void operationSequences();
    void replaceKeepsCount();
    void deleteRows_data();
    void deleteRows();
    void broom();
    void navigation_data();
    void navigation();
    void selection();
    void rowChange_data();
    void rowChange();
    void pressBelowLastRow();
    void clickOnThumbnailSelectsRow();
    void contextMenu_data();
    void contextMenu();

private:
    QString Page(const QString& name);
    QStringList Pages(const QStringList& names);
    void Fill(Workspace& ws, const QStringList& names);
    void Run(Workspace& ws, const QString& op);
    QColor LargeColor(Workspace& ws);

    QTemporaryDir m_dir;
    QHash<QString, int> m_colorOf;
};

void TestImageViewWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestImageViewWidget::init()
{
    GData::ctx().m_scannerReady = true;
}

QString TestImageViewWidget::Page(const QString& name)
{
    const QString file = name + QStringLiteral(".png");
    if (!m_colorOf.contains(name)) {
        m_colorOf.insert(name, m_colorOf.size());
        PageFiles::Write(m_dir.path(), file, QSize(120, 160), PageFiles::ColorFor(m_colorOf.value(name)));
    }
    return m_dir.filePath(file);
}

QStringList TestImageViewWidget::Pages(const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names) {
        paths << Page(name);
    }
    return paths;
}

void TestImageViewWidget::Fill(Workspace& ws, const QStringList& names)
{
    for (const QString& name : names) {
        ws.view->AddImage(Page(name));
    }
    ws.view->RefreshInfos();
}

void TestImageViewWidget::Run(Workspace& ws, const QString& op)
{
    const QStringList words = op.simplified().split(QLatin1Char(' '));
    const QString verb = words.value(0);
    if (verb == QLatin1String("add")) {
        ws.view->AddImage(Page(words.at(1)));
    } else if (verb == QLatin1String("at")) {
        ws.view->SetSelectedImgIndexForScan(words.at(1).toInt(), words.at(2).toInt());
    } else if (verb == QLatin1String("ins")) {
        ws.view->InsertImage(Page(words.at(1)));
    } else if (verb == QLatin1String("rep")) {
        ws.view->SetSelection(words.at(1).toInt());
        ws.view->ReplaceImage(words.at(1).toInt(), Page(words.at(2)));
    } else if (verb == QLatin1String("del")) {
        ws.view->ClearItemSelction();
        for (const QString& row : words.at(1).split(QLatin1Char(','))) {
            ws.list->item(row.toInt())->setSelected(true);
        }
        ws.view->Delete();
    } else if (verb == QLatin1String("broom")) {
        ws.view->Broom();
    } else if (verb == QLatin1String("clear")) {
        ws.view->ClearImages();
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown operation ") + op));
    }
}

QColor TestImageViewWidget::LargeColor(Workspace& ws)
{
    return PageFiles::CenterColor(ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage());
}

void TestImageViewWidget::construction()
{
    // Page files and temporary output live under the application folder.
    const QString appTemp = QDir::tempPath() + QStringLiteral("/zir/scanvy");
    QDir(appTemp).removeRecursively();
    Workspace ws;
    QVERIFY(QDir(appTemp).exists());
    // The controller itself never covers part of its parent.
    QVERIFY(!ws.view->isVisible());
}

void TestImageViewWidget::scrollBarPolicy_data()
{
    QTest::addColumn<QString>("distributor");
    QTest::addColumn<Qt::ScrollBarPolicy>("policy");

    QTest::newRow("uos") << "uos" << Qt::ScrollBarAlwaysOn;
    QTest::newRow("UOS upper case") << "UOS" << Qt::ScrollBarAlwaysOn;
    QTest::newRow("Debian") << "Debian" << Qt::ScrollBarAsNeeded;
    QTest::newRow("Kylin") << "Kylin" << Qt::ScrollBarAsNeeded;
    QTest::newRow("uos prefix only") << "uosx" << Qt::ScrollBarAsNeeded;
}

void TestImageViewWidget::scrollBarPolicy()
{
    QFETCH(QString, distributor);
    QFETCH(Qt::ScrollBarPolicy, policy);

    // A stand-in lsb_release first on PATH reports the distributor.
    QTemporaryDir bin;
    QFile script(bin.filePath(QStringLiteral("lsb_release")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf 'Distributor ID:\\t%1\\n'\n").arg(distributor).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + oldPath);

    Workspace ws;
    qputenv("PATH", oldPath);
    QCOMPARE(ws.ScrollArea()->horizontalScrollBarPolicy(), policy);
    QCOMPARE(ws.ScrollArea()->verticalScrollBarPolicy(), policy);
}

void TestImageViewWidget::operationSequences_data()
{
    QTest::addColumn<QString>("ops");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("append") << "add a; add b; add c" << QStringList{"a", "b", "c"};
    QTest::newRow("before current") << "add a; add b; add c; at 2 1; ins x; ins y"
                                    << QStringList{"a", "x", "y", "b", "c"};
    QTest::newRow("after current") << "add a; add b; add c; at 3 1; ins x; ins y"
                                   << QStringList{"a", "b", "x", "y", "c"};
    QTest::newRow("three before row 4")
        << "add a; add b; add c; add d; add e; add f; add g; at 2 4; ins x; ins y; ins z"
        << QStringList{"a", "b", "c", "d", "x", "y", "z", "e", "f", "g"};
    QTest::newRow("after last") << "add a; add b; at 3 1; ins x" << QStringList{"a", "b", "x"};
    QTest::newRow("before first") << "add a; add b; at 2 0; ins x" << QStringList{"x", "a", "b"};
    QTest::newRow("replace") << "add a; add b; add c; rep 1 x" << QStringList{"a", "x", "c"};
    QTest::newRow("append after insert")
        << "add a; at 2 0; ins x; at 1 2; add b" << QStringList{"x", "a", "b"};
    QTest::newRow("insert after delete")
        << "add a; add b; add c; del 1; at 3 0; ins x" << QStringList{"a", "x", "c"};
    QTest::newRow("replace after delete")
        << "add a; add b; add c; add d; del 1,2; rep 1 x" << QStringList{"a", "x"};
    QTest::newRow("delete first and last")
        << "add a; add b; add c; add d; del 0,3; add e" << QStringList{"b", "c", "e"};
    QTest::newRow("broom then add") << "add a; add b; broom; add c" << QStringList{"c"};
    QTest::newRow("clear then insert")
        << "add a; add b; clear; at 2 0; ins x; ins y" << QStringList{"x", "y"};
    QTest::newRow("insert past the end") << "add a; at 3 5; ins x; ins y" << QStringList{"a", "x", "y"};
    QTest::newRow("replace out of range") << "add a; add b; rep 1 x; rep 5 y" << QStringList{"a", "x"};
}

void TestImageViewWidget::operationSequences()
{
    QFETCH(QString, ops);
    QFETCH(QStringList, expected);

    Workspace ws;
    for (const QString& op : ops.split(QLatin1Char(';'))) {
        Run(ws, op);
        ws.view->RefreshInfos();
        const QString fault = ws.CheckInvariant();
        QVERIFY2(fault.isEmpty(), qPrintable(op.trimmed() + QStringLiteral(": ") + fault));
    }
    QCOMPARE(ws.RowPaths(), Pages(expected));
}

void TestImageViewWidget::replaceKeepsCount()
{
    Workspace ws;
    Fill(ws, {"a", "b", "c"});
    ws.view->SetSelection(1);
    QCOMPARE(ws.Thumb(1)->findChild<QLabel*>(QStringLiteral("lblIndex"))->text(), QStringLiteral("2"));

    ws.view->ReplaceImage(1, Page("r"));
    QCOMPARE(ws.list->count(), 3);
    QCOMPARE(ws.view->GetPagePaths().size(), 3);
    QCOMPARE(ws.list->item(1)->data(Qt::UserRole).toString(), Page("r"));
    QCOMPARE(ws.list->item(1)->data(Qt::ToolTipRole).toString(), Page("r"));
    QVERIFY(ws.list->item(0)->data(Qt::ToolTipRole).isNull());
    QCOMPARE(ws.view->GetCurrentPath(), Page("r"));
    QVERIFY(PageFiles::Near(LargeColor(ws), PageFiles::ColorFor(m_colorOf.value("r"))));
    QVERIFY2(ws.CheckInvariant().isEmpty(), qPrintable(ws.CheckInvariant()));
}

void TestImageViewWidget::deleteRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("newCurrent");

    QTest::newRow("current last row") << 3 << 2 << QList<int>{2} << QStringList{"a", "b"} << 1;
    QTest::newRow("row 0") << 3 << 0 << QList<int>{0} << QStringList{"b", "c"} << 0;
    QTest::newRow("middle row") << 3 << 1 << QList<int>{1} << QStringList{"a", "c"} << 1;
    QTest::newRow("rows around current") << 5 << 2 << QList<int>{1, 3} << QStringList{"a", "c", "e"} << 2;
    QTest::newRow("tail beyond current") << 4 << 2 << QList<int>{1, 2, 3} << QStringList{"a"} << 0;
    QTest::newRow("other row") << 5 << 1 << QList<int>{3} << QStringList{"a", "b", "c", "e"} << 1;
    QTest::newRow("all rows") << 3 << 1 << QList<int>{0, 1, 2} << QStringList{} << -1;
}

void TestImageViewWidget::deleteRows()
{
    QFETCH(int, rows);
    QFETCH(int, current);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, remaining);
    QFETCH(int, newCurrent);

    const QStringList names = QStringList{"a", "b", "c", "d", "e"}.mid(0, rows);
    Workspace ws;
    Fill(ws, names);
    ws.view->SetSelection(current);
    ws.view->ClearItemSelction();
    for (int row : selected) {
        ws.list->item(row)->setSelected(true);
    }
    const QStringList files = Pages(names);

    QSignalSpy deleted(ws.view, &ImageViewWidget::sglThumbItemDeleted);
    QSignalSpy clicked(ws.view, &ImageViewWidget::sglThumbItemClicked);
    ws.view->Delete();

    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.at(0).at(0).value<QList<QString>>(), Pages(remaining));
    QCOMPARE(deleted.at(0).at(1).toInt(), current);
    QCOMPARE(ws.RowPaths(), Pages(remaining));
    for (const QString& file : files) {
        QVERIFY2(QFile::exists(file), "Delete must leave the page files on disk");
    }
    QVERIFY2(ws.CheckInvariant().isEmpty(), qPrintable(ws.CheckInvariant()));

    if (newCurrent < 0) {
        QCOMPARE(clicked.count(), 0);
        QVERIFY(ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(ws.LargeLabel()->size(), QSize(0, 0));
        return;
    }
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), newCurrent);
    QCOMPARE(ws.view->GetCurrentIndex(), newCurrent);
    const int page = names.indexOf(remaining.at(newCurrent));
    QCOMPARE(ws.view->GetCurrentPath(), files.at(page));
    QVERIFY(PageFiles::Near(LargeColor(ws), PageFiles::ColorFor(m_colorOf.value(names.at(page)))));
}

void TestImageViewWidget::broom()
{
    Workspace ws;
    Fill(ws, {"a", "b", "c"});
    ws.view->SetSelection(1);
    QPointer<ThumbnailWidget> thumb = ws.Thumb(1);
    QSignalSpy deleted(ws.view, &ImageViewWidget::sglThumbItemDeleted);
    QSignalSpy clicked(ws.view, &ImageViewWidget::sglThumbItemClicked);

    ws.view->Broom();
    QCOMPARE(deleted.count(), 1);
    QVERIFY(deleted.at(0).at(0).value<QList<QString>>().isEmpty());
    QCOMPARE(deleted.at(0).at(1).toInt(), -1);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(ws.list->count(), 0);
    QVERIFY(ws.view->GetPagePaths().isEmpty());
    QVERIFY(ws.view->GetCurrentPath().isEmpty());
    QVERIFY(ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(ws.LargeLabel()->size(), QSize(0, 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(thumb.isNull(), "thumbnails must be released");

    // The next scan starts from the top again.
    ws.view->InsertImage(Page("d"));
    QCOMPARE(ws.RowPaths(), Pages({"d"}));
}

void TestImageViewWidget::navigation_data()
{
    // A step written in brackets is expected to change nothing, not even
    // the selection.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QList<int>>("rows");

    QTest::newRow("next from first") << "first next next" << QList<int>{0, 1, 2};
    QTest::newRow("next stops at last") << "last (next) (next)" << QList<int>{4, 4, 4};
    QTest::newRow("prev stops at first") << "first (prev)" << QList<int>{0, 0};
    QTest::newRow("prev from last") << "last prev prev" << QList<int>{4, 3, 2};
    QTest::newRow("jump") << "jump3 next jump0 (prev)" << QList<int>{3, 4, 0, 0};
    QTest::newRow("jump out of range") << "jump2 (jump9) (jump-1)" << QList<int>{2, 2, 2};
}

void TestImageViewWidget::navigation()
{
    QFETCH(QString, steps);
    QFETCH(QList<int>, rows);

    Workspace ws;
    Fill(ws, {"a", "b", "c", "d", "e"});
    ws.view->SetSelection(1);
    const QStringList files = Pages({"a", "b", "c", "d", "e"});
    const QStringList list = steps.split(QLatin1Char(' '));
    for (int i = 0; i < list.size(); ++i) {
        QString step = list.at(i);
        const bool noop = step.startsWith(QLatin1Char('('));
        step.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
        // An extra selected row that every real move must clear.
        const int extra = ws.view->GetCurrentIndex() == 4 ? 0 : 4;
        ws.list->item(extra)->setSelected(true);
        const QList<int> before = ws.SelectedRows();
        if (step == QLatin1String("first")) {
            ws.view->FirstPage();
        } else if (step == QLatin1String("last")) {
            ws.view->LastPage();
        } else if (step == QLatin1String("next")) {
            ws.view->NextPage();
        } else if (step == QLatin1String("prev")) {
            ws.view->PrevPage();
        } else {
            ws.view->JumpTo(step.mid(4).toInt());
        }
        const int row = rows.at(i);
        QCOMPARE(ws.view->GetCurrentIndex(), row);
        QCOMPARE(ws.SelectedRows(), noop ? before : QList<int>{row});
        QCOMPARE(ws.view->GetCurrentPath(), files.at(row));
        QVERIFY(
            PageFiles::Near(LargeColor(ws), PageFiles::ColorFor(m_colorOf.value(QString(QChar('a' + row))))));
    }
}

void TestImageViewWidget::selection()
{
    Workspace ws;
    Fill(ws, {"a", "b", "c", "d"});
    ws.view->SetSelection(2);
    QCOMPARE(ws.view->GetInsertIndex(), 2);
    QCOMPARE(ws.list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(ws.SelectedRows(), QList<int>{2});

    ws.view->SelectAll();
    QCOMPARE(ws.SelectedRows(), (QList<int>{0, 1, 2, 3}));
    ws.list->item(1)->setSelected(false);
    ws.view->SelectReverse();
    QCOMPARE(ws.SelectedRows(), QList<int>{1});
    QVERIFY(ws.view->IsSelected(1));
    QVERIFY(!ws.view->IsSelected(0));
    QVERIFY(!ws.view->IsSelected(-1));
    QVERIFY(!ws.view->IsSelected(4));
    ws.view->ResetSelection();
    QCOMPARE(ws.SelectedRows(), QList<int>{2});
    ws.view->ClearItemSelction();
    QVERIFY(ws.SelectedRows().isEmpty());
}

void TestImageViewWidget::rowChange_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("shown");

    QTest::newRow("page file") << "page" << true;
    // An interrupted page: its placeholder is shown, never the page before.
    QTest::newRow("missing file") << "missing" << true;
    QTest::newRow("undecodable file") << "garbage" << false;
}

void TestImageViewWidget::rowChange()
{
    QFETCH(QString, file);
    QFETCH(bool, shown);

    QString path = Page("c");
    if (file != QLatin1String("page")) {
        path = m_dir.filePath(file + QStringLiteral(".jpg"));
        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("not a page");
        garbage.close();
        if (file == QLatin1String("missing")) {
            QVERIFY(garbage.remove());
        }
    }
    Workspace ws;
    Fill(ws, {"a", "b"});
    ws.view->AddImage(path);
    ws.list->setCurrentRow(0);
    QVERIFY(!ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());

    QSignalSpy clicked(ws.view, &ImageViewWidget::sglThumbItemClicked);
    QSignalSpy zoom(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    ws.list->setCurrentRow(2);
    // The click is reported whether or not the page could be shown.
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 2);
    QCOMPARE(ws.view->GetCurrentPath(), path);
    QCOMPARE(zoom.count(), shown ? 1 : 0);
    if (shown) {
        QCOMPARE(zoom.at(0).at(0).toInt(), int(ImageViewWidget::CanZoomBoth));
        QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomFit);
    }
    if (file == QLatin1String("page")) {
        QVERIFY(PageFiles::Near(LargeColor(ws), PageFiles::ColorFor(m_colorOf.value("c"))));
    } else if (file == QLatin1String("missing")) {
        QVERIFY(!ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(!PageFiles::Near(LargeColor(ws), PageFiles::ColorFor(m_colorOf.value("a"))));
    } else {
        QVERIFY(ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());
    }
}

void TestImageViewWidget::pressBelowLastRow()
{
    Workspace ws;
    Fill(ws, {"a", "b"});
    ws.view->SetSelection(1);
    QApplication::processEvents();
    const QRect last = ws.list->visualItemRect(ws.list->item(1));
    const QPoint below(last.center().x(), last.bottom() + 30);
    QVERIFY(below.y() < ws.list->viewport()->height());
    QVERIFY(ws.list->itemAt(below) == nullptr);

    QTest::mouseClick(ws.list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    QCOMPARE(ws.list->currentRow(), 1);
    QCOMPARE(ws.SelectedRows(), QList<int>{1});
}

void TestImageViewWidget::clickOnThumbnailSelectsRow()
{
    Workspace ws;
    Fill(ws, {"a", "b", "c"});
    ws.view->SetSelection(0);
    QApplication::processEvents();
    QSignalSpy clicked(ws.view, &ImageViewWidget::sglThumbItemClicked);
    ThumbnailWidget* thumb = ws.Thumb(1);
    QVERIFY(thumb->isVisible());
    QTest::mouseClick(thumb, Qt::LeftButton, Qt::NoModifier, thumb->rect().center());
    QCOMPARE(ws.list->currentRow(), 1);
    QCOMPARE(ws.SelectedRows(), QList<int>{1});
    QCOMPARE(clicked.count(), 1);
}

void TestImageViewWidget::contextMenu_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("onItem");
    QTest::addColumn<int>("choose");
    QTest::addColumn<bool>("opens");

    QTest::newRow("ready, scan after") << true << true << 0 << true;
    QTest::newRow("ready, scan before") << true << true << 1 << true;
    QTest::newRow("ready, replace") << true << true << 2 << true;
    QTest::newRow("not ready") << false << true << -1 << true;
    QTest::newRow("empty space") << true << false << -1 << false;
}

void TestImageViewWidget::contextMenu()
{
    QFETCH(bool, ready);
    QFETCH(bool, onItem);
    QFETCH(int, choose);
    QFETCH(bool, opens);

    Workspace ws;
    Fill(ws, {"a", "b", "c"});
    ws.view->SetSelection(1);
    QApplication::processEvents();
    GData::ctx().m_scannerReady = ready;
    QSignalSpy chosen(ws.view, &ImageViewWidget::sglThumbItemRightMenuClicked);

    bool opened = false;
    QList<bool> enabled;
    QTimer::singleShot(0, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        opened = true;
        for (QAction* action : menu->actions()) {
            enabled << action->isEnabled();
        }
        if (choose >= 0) {
            menu->actions().at(choose)->trigger();
        }
        menu->close();
    });
    const QRect last = ws.list->visualItemRect(ws.list->item(2));
    const QPoint pos = onItem ? ws.list->visualItemRect(ws.list->item(1)).center()
                              : QPoint(last.center().x(), last.bottom() + 30);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, ws.list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(ws.list->viewport(), &event);
    QApplication::processEvents();

    QCOMPARE(opened, opens);
    if (!opens) {
        QCOMPARE(chosen.count(), 0);
        return;
    }
    QCOMPARE(enabled, (QList<bool>{ready, ready, ready}));
    if (choose < 0) {
        QCOMPARE(chosen.count(), 0);
        return;
    }
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 1);
    QCOMPARE(chosen.at(0).at(1).toInt(), choose + 1);
}

QTEST_MAIN(TestImageViewWidget)
#include "tst_imageviewwidget.moc"
