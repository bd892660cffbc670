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

class TestMainWindowFrame : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startState();
    void showPages_data();
    void showPages();
    void zoomLimits_data();
    void zoomLimits();
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
