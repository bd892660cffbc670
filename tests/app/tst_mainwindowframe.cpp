#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {
struct Flags {
    bool first, next, jump, prev, last;
};
} // namespace

Q_DECLARE_METATYPE(Flags)

class TestMainWindowFrame : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startState();
    void pageButtons_data();
    void pageButtons();
    void navigation();
    void jumpBoxChecks_data();
    void jumpBoxChecks();
    void jumpBoxReturnJumps();
    void pageKeysSwallowed();
    void showPages_data();
    void showPages();
    void zoomLimits_data();
    void zoomLimits();
    void deleteAsks_data();
    void deleteAsks();
    void broomClearsWorkFolder();
    void closeAsksWithPages();
    void closeWithoutPages();

private:
    void Open(bool show = false);
    void AddPages(int count);
    template <typename T> T* Child(const char* name)
    {
        auto* child = m_window->findChild<T*>(QLatin1String(name));
        if (!child) {
            qFatal("no child %s", name);
        }
        return child;
    }
    QAction* Action(const char* name) { return Child<QAction>(name); }
    QComboBox* JumpBox() { return Child<QComboBox>("cmPageJump"); }
    ImageViewWidget* View() { return m_window->findChild<ImageViewWidget*>(); }
    Flags PageFlags()
    {
        return {Action("actionFirstPage")->isEnabled(), Action("actionNextPage")->isEnabled(),
                JumpBox()->isEnabled(), Action("actionPrevPage")->isEnabled(),
                Action("actionLastPage")->isEnabled()};
    }

    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_tmp;
    QString m_workDir;
    QPointer<MainWindow> m_window;
};

void TestMainWindowFrame::init()
{
    m_home.reset(new QTemporaryDir);
    m_tmp.reset(new QTemporaryDir);
    m_workDir = m_tmp->path() + QStringLiteral("/zir/scanvy");
}

void TestMainWindowFrame::cleanup()
{
    delete m_window.data();
}

void TestMainWindowFrame::Open(bool show)
{
    m_window = new MainWindow(m_home->path(), m_workDir);
    if (show) {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }
}

// Puts count real page files into the page list; the page list's change
// notice tells the main window the new count.
void TestMainWindowFrame::AddPages(int count)
{
    const QString dir = m_workDir + QStringLiteral("/scanimages");
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QImage image(60, 80, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 40 % 360, 200, 220));
        const QString path = QStringLiteral("%1/page%2.png").arg(dir).arg(i);
        QVERIFY(image.save(path));
        View()->AddImage(path);
    }
    View()->ClearItemSelction();
    View()->Delete(); // nothing selected: announces the whole list
}

void TestMainWindowFrame::startState()
{
    Open();
    for (const char* on :
         {"actionScanToLast", "actionScanConfig", "actionSystemConfig", "actionAbout", "actionExit"}) {
        QVERIFY2(Action(on)->isEnabled(), on);
    }
    QVERIFY(Child<QMenu>("menuScan")->menuAction()->isEnabled());
    for (const char* off :
         {"actionScantoPrev",    "actionScanToNext",  "actionScanReplace", "actionSave",
          "actionRotateLeft",    "actionRotate180",   "actionRotateRight", "actionSelectAll",
          "actionSelectReverse", "actionDelete",      "actionBroom",       "actionZoomIn",
          "actionZoomOut",       "actionFitToWindow", "actionNormalSize",  "actionFirstPage",
          "actionPrevPage",      "actionNextPage",    "actionLastPage",    "actionImageView",
          "actionPassManual",    "actionMoveUp",      "actionMoveDown"}) {
        QVERIFY2(!Action(off)->isEnabled(), off);
    }
    QVERIFY(!Action("actionPassManual")->isChecked());
    QVERIFY(!JumpBox()->isEnabled());
}

void TestMainWindowFrame::pageButtons_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("current");
    QTest::addColumn<Flags>("flags");

    QTest::newRow("none") << 0 << 0 << Flags{false, false, false, false, false};
    QTest::newRow("one page") << 1 << 0 << Flags{false, false, false, false, false};
    QTest::newRow("five, first") << 5 << 0 << Flags{false, true, true, false, true};
    QTest::newRow("five, third") << 5 << 2 << Flags{true, true, true, true, true};
    QTest::newRow("five, second") << 5 << 1 << Flags{true, true, true, true, true};
    QTest::newRow("five, last") << 5 << 4 << Flags{true, false, true, true, false};
    QTest::newRow("two, last") << 2 << 1 << Flags{true, false, true, true, false};
}

void TestMainWindowFrame::pageButtons()
{
    QFETCH(int, pages);
    QFETCH(int, current);
    QFETCH(Flags, flags);
    Open();
    AddPages(pages);
    if (pages > 0) {
        View()->SetSelection(current);
    }
    m_window->RefreshPageButtons();
    const Flags got = PageFlags();
    QCOMPARE(got.first, flags.first);
    QCOMPARE(got.next, flags.next);
    QCOMPARE(got.jump, flags.jump);
    QCOMPARE(got.prev, flags.prev);
    QCOMPARE(got.last, flags.last);
    QCOMPARE(JumpBox()->count(), pages);
    QCOMPARE(Child<QLabel>("lblImgInfo")->text(), QStringLiteral("当前图像数量：%1").arg(pages));
    if (pages > 0) {
        QCOMPARE(JumpBox()->currentIndex(), current);
    }
}

void TestMainWindowFrame::navigation()
{
    Open();
    AddPages(5);
    View()->SetSelection(2);
    Action("actionNextPage")->trigger();
    QCOMPARE(View()->GetCurrentIndex(), 3);
    QCOMPARE(JumpBox()->currentText(), QStringLiteral("4"));
    Action("actionLastPage")->trigger();
    QCOMPARE(View()->GetCurrentIndex(), 4);
    QCOMPARE(JumpBox()->currentText(), QStringLiteral("5"));
    QVERIFY(!Action("actionNextPage")->isEnabled());
    QVERIFY(!Action("actionLastPage")->isEnabled());
    Action("actionPrevPage")->trigger();
    QCOMPARE(View()->GetCurrentIndex(), 3);
    QCOMPARE(JumpBox()->currentText(), QStringLiteral("4"));
    Action("actionFirstPage")->trigger();
    QCOMPARE(View()->GetCurrentIndex(), 0);
    QCOMPARE(JumpBox()->currentText(), QStringLiteral("1"));
    QVERIFY(!Action("actionFirstPage")->isEnabled());
    QVERIFY(Action("actionNextPage")->isEnabled());

    JumpBox()->setCurrentIndex(3); // choosing from the list jumps
    QCOMPARE(View()->GetCurrentIndex(), 3);
}

void TestMainWindowFrame::jumpBoxChecks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");

    QTest::newRow("leading zero") << "07" << false;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("word") << "abc" << false;
    QTest::newRow("beyond last page") << "9" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("negative") << "-1" << false;
    // A valid number is taken by the box when it loses focus: it jumps.
    QTest::newRow("valid page") << "4" << true;
}

void TestMainWindowFrame::jumpBoxChecks()
{
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    Open(true);
    AddPages(5);
    View()->SetSelection(1);
    QComboBox* jump = JumpBox();
    QCOMPARE(jump->currentText(), QStringLiteral("2"));

    jump->setFocus();
    QTRY_VERIFY(jump->hasFocus());
    jump->lineEdit()->selectAll();
    if (typed.isEmpty()) {
        QTest::keyClick(jump, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(jump, typed);
    }
    QCOMPARE(jump->currentText(), typed);
    Child<QLineEdit>("txtSysFileNamePrefix")->setFocus(); // leave the box
    QTRY_VERIFY(!jump->hasFocus());
    QCOMPARE(jump->currentText(), kept ? typed : QStringLiteral("2"));
    QCOMPARE(View()->GetCurrentIndex(), kept ? typed.toInt() - 1 : 1);
    QCOMPARE(jump->count(), 5);
}

void TestMainWindowFrame::jumpBoxReturnJumps()
{
    Open(true);
    AddPages(5);
    View()->SetSelection(0);
    QComboBox* jump = JumpBox();
    jump->setFocus();
    QTRY_VERIFY(jump->hasFocus());
    jump->lineEdit()->selectAll();
    QTest::keyClicks(jump, QStringLiteral("3"));
    QTest::keyClick(jump, Qt::Key_Return);
    QCOMPARE(View()->GetCurrentIndex(), 2);
    QCOMPARE(jump->currentIndex(), 2);
    QVERIFY(!jump->hasFocus());
    QVERIFY(Action("actionFirstPage")->isEnabled());
    QCOMPARE(jump->count(), 5);

    // A page number beyond the last one is put back, and nothing moves.
    jump->setFocus();
    QTRY_VERIFY(jump->hasFocus());
    jump->lineEdit()->selectAll();
    QTest::keyClicks(jump, QStringLiteral("9"));
    QTest::keyClick(jump, Qt::Key_Enter);
    QCOMPARE(jump->currentText(), QStringLiteral("3"));
    QCOMPARE(View()->GetCurrentIndex(), 2);
    QCOMPARE(jump->count(), 5);
}

void TestMainWindowFrame::pageKeysSwallowed()
{
    Open(true);
    AddPages(5);
    View()->SetSelection(2);
    QComboBox* jump = JumpBox();
    jump->setFocus();
    QTRY_VERIFY(jump->hasFocus());
    QTest::keyClick(jump, Qt::Key_PageDown);
    QTest::keyClick(jump, Qt::Key_PageDown);
    QCOMPARE(jump->currentIndex(), 2);
    QTest::keyClick(jump, Qt::Key_PageUp);
    QCOMPARE(jump->currentIndex(), 2);
    QCOMPARE(View()->GetCurrentIndex(), 2);
}

void TestMainWindowFrame::showPages_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<bool>("menus");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");

    // Two pages, the first current, no scanner. The settings pages leave
    // every key to their own widgets: no image-page action stays enabled.
    const QStringList imagePage{
        "actionSave",    "actionDelete",     "actionSelectAll", "actionSelectReverse", "actionZoomIn",
        "actionZoomOut", "actionRotateLeft", "actionNextPage",  "actionLastPage",      "actionScanToLast"};
    QTest::newRow("scan settings") << "actionScanConfig"
                                   << "pageScanSetting" << false << false
                                   << QStringList{"actionImageView", "actionSystemConfig"}
                                   << QStringList{"actionScanConfig"} + imagePage;
    QTest::newRow("system settings") << "actionSystemConfig"
                                     << "pageSystemSetting" << false << false
                                     << QStringList{"actionImageView", "actionScanConfig"}
                                     << QStringList{"actionSystemConfig"} + imagePage;
    // Back, the actions follow the two pages; scanning needs a scanner.
    const QStringList pageRules{"actionSave",       "actionDelete",   "actionSelectAll", "actionZoomIn",
                                "actionRotateLeft", "actionNextPage", "actionLastPage"};
    const QStringList offBack{"actionImageView", "actionFirstPage", "actionPrevPage", "actionScanToLast",
                              "actionScanToNext"};
    QTest::newRow("back from scan settings")
        << "btnReturnToImageFromScan"
        << "pageImage" << true << true << QStringList{"actionScanConfig", "actionSystemConfig"} + pageRules
        << offBack;
    QTest::newRow("back from system settings")
        << "btnReturnToImageFromSys"
        << "pageImage" << true << true << QStringList{"actionScanConfig", "actionSystemConfig"} + pageRules
        << offBack;
}

void TestMainWindowFrame::showPages()
{
    QFETCH(QString, trigger);
    QFETCH(QString, page);
    QFETCH(bool, toolbar);
    QFETCH(bool, menus);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    Open(true);
    AddPages(2);
    // As after a scan that brought the pages.
    m_window->EnableScanButtons(true);
    m_window->EnableMenu(true);
    m_window->RefreshPageButtons();
    if (trigger.startsWith(QLatin1String("btn"))) {
        // Leave the image page first so that the button brings it back.
        Action(trigger.contains(QLatin1String("Scan")) ? "actionScanConfig" : "actionSystemConfig")
            ->trigger();
        m_window->findChild<QPushButton*>(trigger)->click();
    } else {
        Action(qPrintable(trigger))->trigger();
    }
    QCOMPARE(Child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(), page);
    QCOMPARE(Child<QToolBar>("toolBar")->isVisible(), toolbar);
    QCOMPARE(Child<QMenu>("menuEdit")->menuAction()->isEnabled(), menus);
    QCOMPARE(Child<QMenu>("menuImage")->menuAction()->isEnabled(), menus);
    if (!menus) {
        QVERIFY(!Child<QMenu>("menuScan")->menuAction()->isEnabled());
    }
    for (const QString& name : enabled) {
        QVERIFY2(Action(qPrintable(name))->isEnabled(), qPrintable(name));
    }
    for (const QString& name : disabled) {
        QVERIFY2(!Action(qPrintable(name))->isEnabled(), qPrintable(name));
    }
}

void TestMainWindowFrame::zoomLimits_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("zoomIn");
    QTest::addColumn<bool>("zoomOut");

    QTest::newRow("cannot zoom in") << 1 << false << true;
    QTest::newRow("cannot zoom out") << 2 << true << false;
    QTest::newRow("both") << 3 << true << true;
    QTest::newRow("other code changes nothing") << 7 << false << false;
}

void TestMainWindowFrame::zoomLimits()
{
    QFETCH(int, code);
    QFETCH(bool, zoomIn);
    QFETCH(bool, zoomOut);
    Open();
    emit View()->sglLargeImageCannotZoom(code);
    QCOMPARE(Action("actionZoomIn")->isEnabled(), zoomIn);
    QCOMPARE(Action("actionZoomOut")->isEnabled(), zoomOut);
}

void TestMainWindowFrame::deleteAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("remaining");

    QTest::newRow("yes") << int(QMessageBox::Yes) << 2;
    QTest::newRow("no") << int(QMessageBox::No) << 3;
}

void TestMainWindowFrame::deleteAsks()
{
    QFETCH(int, answer);
    QFETCH(int, remaining);
    Open();
    AddPages(3);
    View()->SetSelection(1);
    ModalAnswerer answerer{QMessageBox::StandardButton(answer)};
    Action("actionDelete")->setEnabled(true);
    Action("actionDelete")->trigger();
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("是否删除选中图像？")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("提示")});
    QCOMPARE(JumpBox()->count(), remaining);
    QCOMPARE(Child<QLabel>("lblImgInfo")->text(), QStringLiteral("当前图像数量：%1").arg(remaining));
    QCOMPARE(Action("actionSave")->isEnabled(), answer == QMessageBox::Yes);
}

void TestMainWindowFrame::broomClearsWorkFolder()
{
    Open();
    AddPages(3);
    const QString nested = m_workDir + QStringLiteral("/scanimages/sub");
    QVERIFY(QDir().mkpath(nested));
    QFile extra(nested + QStringLiteral("/.hidden"));
    QVERIFY(extra.open(QIODevice::WriteOnly));
    extra.close();

    ModalAnswerer no(QMessageBox::No);
    Action("actionBroom")->trigger();
    QCOMPARE(JumpBox()->count(), 3);
    QVERIFY(QFile::exists(extra.fileName()));
    no.SetAnswer(QMessageBox::Yes);
    Action("actionBroom")->trigger();
    QCOMPARE(no.texts,
             (QStringList{QStringLiteral("是否清除全部图像？"), QStringLiteral("是否清除全部图像？")}));
    QCOMPARE(JumpBox()->count(), 0);
    QCOMPARE(Child<QLabel>("lblImgInfo")->text(), QStringLiteral("当前图像数量：0"));
    // The files go on the job thread.
    QTRY_VERIFY(!m_window->JobRunning());
    QVERIFY(!QFile::exists(extra.fileName()));
    QVERIFY(QDir(nested).exists());
    QVERIFY(QDir(m_workDir + "/scanimages").entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(!Action("actionBroom")->isEnabled());
    QVERIFY(!Action("actionLastPage")->isEnabled());
}

void TestMainWindowFrame::closeAsksWithPages()
{
    Open(true);
    AddPages(3);
    ModalAnswerer answerer(QMessageBox::No);
    QVERIFY(!m_window->close());
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("扫描图像未保存，确定要退出吗？")});
    QVERIFY(m_window);
    QVERIFY(m_window->isVisible());
    QCOMPARE(View()->GetPagePaths().size(), 3);

    answerer.SetAnswer(QMessageBox::Yes);
    Action("actionExit")->trigger();
    QCOMPARE(answerer.texts.size(), 2);
    QTRY_VERIFY(m_window.isNull()); // deleted when closed
}

void TestMainWindowFrame::closeWithoutPages()
{
    Open(true);
    ModalAnswerer answerer(QMessageBox::No);
    QVERIFY(m_window->close());
    QVERIFY(answerer.texts.isEmpty());
    QTRY_VERIFY(m_window.isNull());
}

QTEST_MAIN(TestMainWindowFrame)
#include "tst_mainwindowframe.moc"
