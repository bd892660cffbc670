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

// The large view and the thumbnail column as the user drives them with the
// mouse: a changed row, clicks beside and on thumbnails, the context menu.
class TestImageViewWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void scrollBarPolicy_data();
    void scrollBarPolicy();
    void rowChange_data();
    void rowChange();
    void pressBelowLastRow();
    void clickOnThumbnailSelectsRow();
    void contextMenu_data();
    void contextMenu();

private:
    QString Page(const QString& name);
    void Fill(Workspace& ws, const QStringList& names);
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

void TestImageViewWidget::Fill(Workspace& ws, const QStringList& names)
{
    for (const QString& name : names) {
        ws.view->AddImage(Page(name));
    }
    ws.view->RefreshInfos();
}

QColor TestImageViewWidget::LargeColor(Workspace& ws)
{
    return PageFiles::CenterColor(ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage());
}

void TestImageViewWidget::scrollBarPolicy_data()
{
    QTest::addColumn<QString>("distributor");
    QTest::addColumn<Qt::ScrollBarPolicy>("policy");

    QTest::newRow("uos") << "uos" << Qt::ScrollBarAlwaysOn;
    QTest::newRow("UOS upper case") << "UOS" << Qt::ScrollBarAlwaysOn;
    QTest::newRow("Debian") << "Debian" << Qt::ScrollBarAsNeeded;
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
