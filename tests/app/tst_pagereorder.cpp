#include "imageviewwidget.h"
#include "mainwindow.h"
#include "sessioncheck.h"
#include "thumblistwidget.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const int kDpi = 50;
} // namespace

// Putting pages in order on the real window with the simulated feeder: by
// keys, by a drag of several thumbnails, from the context menu opened with
// the keyboard; then a save read back page by page through the sheet
// markers. Reordering is refused while a job runs.
class TestPageReorder : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reorderThenSave();
    void refusedWhileAJobRuns();

private:
    bool Scan(int sheets);
    ThumbListWidget* Thumbs() const { return m_fx->Child<ThumbListWidget>("lwImgThumbnail"); }
    QStringList Readings(const QList<QString>& files) const;
    QString Differs(const QStringList& order, int current, const QList<int>& selected) const;
    bool DropRows(int gap);
    void ClickThumb(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void FocusThumbs();

    QScopedPointer<WindowFixture> m_fx;
    int m_load = 0;
};

void TestPageReorder::init()
{
    m_fx.reset(new WindowFixture);
    QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                  QSettings::IniFormat);
    ini.setValue(QStringLiteral("Scanner/FilePath"), m_fx->home->path() + QStringLiteral("/out"));
    ini.setValue(QStringLiteral("Scanner/FileFormat"), QStringLiteral("1")); // 多页TIFF
    ini.sync();
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
    m_fx->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_fx->window));
}

void TestPageReorder::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

bool TestPageReorder::Scan(int sheets)
{
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++m_load));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitJobDone();
}

QStringList TestPageReorder::Readings(const QList<QString>& files) const
{
    QStringList readings;
    for (const QString& file : files) {
        readings << SessionCheck::Reading(QImage(file), kDpi);
    }
    return readings;
}

// Empty when what the window shows agrees with the expected order (sheet
// markers), current page and selection; else what differs.
QString TestPageReorder::Differs(const QStringList& order, int current, const QList<int>& selected) const
{
    const QList<QString> files = m_fx->window->PageFiles();
    if (Readings(files) != order) {
        return QStringLiteral("page files show ") + Readings(files).join(' ');
    }
    if (m_fx->View()->GetPagePaths().toList() != files) {
        return QStringLiteral("page list and page files differ");
    }
    ThumbListWidget* list = Thumbs();
    QList<int> rows;
    for (int row = 0; row < list->count(); ++row) {
        auto* number = list->itemWidget(list->item(row))->findChild<QLabel*>(QStringLiteral("lblIndex"));
        if (number->text() != QString::number(row + 1)) {
            return QStringLiteral("row %1 numbered %2").arg(row).arg(number->text());
        }
        if (list->item(row)->isSelected()) {
            rows << row;
        }
    }
    if (rows != selected) {
        return QStringLiteral("selected rows differ");
    }
    auto* jump = m_fx->Child<QComboBox>("cmPageJump");
    if (m_fx->View()->GetCurrentIndex() != current || jump->currentIndex() != current ||
        jump->count() != files.size()) {
        return QStringLiteral("current %1, page box %2 of %3")
            .arg(m_fx->View()->GetCurrentIndex())
            .arg(jump->currentIndex())
            .arg(jump->count());
    }
    // The large view shows the current page.
    if (m_fx->View()->GetCurrentPath() != files.at(current)) {
        return QStringLiteral("large view shows another page");
    }
    return QString();
}

void TestPageReorder::ClickThumb(int row, Qt::KeyboardModifiers modifiers)
{
    ThumbListWidget* list = Thumbs();
    list->scrollToItem(list->item(row));
    QWidget* cell = list->itemWidget(list->item(row));
    QTest::mouseClick(cell, Qt::LeftButton, modifiers, cell->rect().center());
}

// Keys go to the thumbnail column of the active main window. (The offscreen
// platform leaves a closed overlay or menu the active window.)
void TestPageReorder::FocusThumbs()
{
    QApplication::setActiveWindow(m_fx->window);
    Thumbs()->setFocus();
    QTRY_VERIFY(Thumbs()->hasFocus());
}

// The selected thumbnails dragged into `gap`, as the platform delivers a
// drag within the column.
bool TestPageReorder::DropRows(int gap)
{
    ThumbListWidget* list = Thumbs();
    std::unique_ptr<QMimeData> data(list->CreateDragData());
    if (!data) {
        return false;
    }
    QListWidgetItem* item = list->item(gap < list->count() ? gap : list->count() - 1);
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    const QPoint at(rect.center().x(), gap < list->count() ? rect.top() + 10 : rect.bottom() - 10);
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    return drop.isAccepted();
}

void TestPageReorder::reorderThenSave()
{
    QVERIFY(Scan(5));
    QStringList order{"1A", "2A", "3A", "4A", "5A"};
    QVERIFY2(Differs(order, 4, {4}).isEmpty(), qPrintable(Differs(order, 4, {4})));

    // Keys on the thumbnail column: to page 2, then Ctrl+Down.
    ThumbListWidget* list = Thumbs();
    FocusThumbs();
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    order = QStringList{"1A", "3A", "2A", "4A", "5A"};
    QVERIFY2(Differs(order, 2, {2}).isEmpty(), qPrintable(Differs(order, 2, {2})));

    // The mouse: pages 4 and 5 selected, dragged before the first page.
    ClickThumb(3);
    ClickThumb(4, Qt::ShiftModifier);
    QVERIFY(DropRows(0));
    order = QStringList{"4A", "5A", "1A", "3A", "2A"};
    QVERIFY2(Differs(order, 1, {0, 1}).isEmpty(), qPrintable(Differs(order, 1, {0, 1})));

    // The context menu from the keyboard: Shift+F10, down to "下移", Return.
    QStringList walked;
    QTimer::singleShot(0, [&walked] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (int i = 0; menu && i < 10; ++i) {
            QTest::keyClick(menu, Qt::Key_Down);
            if (!menu->activeAction()) {
                continue;
            }
            walked << menu->activeAction()->text();
            if (menu->activeAction()->text() == QStringLiteral("下移")) {
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        if (menu) {
            menu->close();
        }
    });
    FocusThumbs();
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY2(walked.contains(QStringLiteral("上移")), qPrintable(walked.join(' ')));
    order = QStringList{"1A", "4A", "5A", "3A", "2A"};
    QVERIFY2(Differs(order, 2, {1, 2}).isEmpty(), qPrintable(Differs(order, 2, {1, 2})));

    // Saved with its shortcut, the document holds the pages in this order.
    FocusThumbs();
    QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(m_fx->WaitJobDone());
    const QString out = m_fx->home->path() + QStringLiteral("/out");
    const QStringList saved = QDir(out).entryList(QDir::Files);
    QCOMPARE(saved.size(), 1);
    QStringList pages;
    for (const QImage& page : SessionCheck::ReadTiff(out + QLatin1Char('/') + saved.first())) {
        pages << SessionCheck::Reading(page, kDpi);
    }
    QCOMPARE(pages, order);
}

void TestPageReorder::refusedWhileAJobRuns()
{
    QVERIFY(Scan(3));
    Thumbs()->setCurrentRow(1);
    auto* up = m_fx->Child<QAction>("actionMoveUp");
    auto* down = m_fx->Child<QAction>("actionMoveDown");
    QVERIFY(up->isEnabled() && down->isEnabled());
    const QList<QString> before = m_fx->window->PageFiles();

    // A second scan: until its pages arrive (queued to this thread) the job
    // is running, whatever the machine's speed.
    WindowFixture::WriteScenario(QStringLiteral("sheets=2\nsource=Adf-front\nload=%1").arg(++m_load));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->window->JobRunning());
    QVERIFY(!up->isEnabled());
    QVERIFY(!down->isEnabled());
    down->trigger();
    up->trigger();
    QVERIFY(!m_fx->View()->MoveRows({0}, 3));
    QVERIFY(!DropRows(3));
    QCOMPARE(m_fx->window->PageFiles(), before);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), before);

    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->window->PageFiles().mid(0, 3), before);
    QVERIFY(up->isEnabled() && down->isEnabled());
    Thumbs()->setCurrentRow(0);
    down->trigger();
    QCOMPARE(Readings(m_fx->window->PageFiles()), (QStringList{"2A", "1A", "3A", "1A", "2A"}));
}

QTEST_MAIN(TestPageReorder)
#include "tst_pagereorder.moc"
