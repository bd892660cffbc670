#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "optionscontainerwidget.h"
#include "sanescan.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

// The scan-settings page with a real panel, filled from the simulated Kx
// scanner the way the device jobs fill it; one window for the session.
class TestScanSettingsPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void settingsPagesKeepTheirKeys();
    void passManual_data();
    void passManual();
    // Last: its last row closes the window.
    void leavingAsksOnlyAfterChanges_data();
    void leavingAsksOnlyAfterChanges();

private:
    template <typename T> T* Child(const char* name)
    {
        auto* child = m_window->findChild<T*>(QLatin1String(name));
        if (!child) {
            qFatal("no child %s", name);
        }
        return child;
    }
    QString PanelFile() const
    {
        return m_home.path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/zylkx_KX-8000.ini");
    }

    SaneScan m_sane;
    QList<QString> m_devices;
    QHash<QString, Opt_Result> m_options;
    QTemporaryDir m_home;
    QTemporaryDir m_tmp;
    QPointer<MainWindow> m_window;
};

void TestScanSettingsPage::initTestCase()
{
    m_sane.Init();
    QCOMPARE(m_sane.GetDeviceList(m_devices), 0);
    QVERIFY(m_devices.contains(QStringLiteral("zylkx:KX-8000")));
    QCOMPARE(m_sane.OpenDevice(QStringLiteral("zylkx:KX-8000")), 0);
    m_options = m_sane.GetAllOptions();
    m_sane.CloseDevice();
    QVERIFY(m_options.contains(QStringLiteral("mode")));
    m_window = new MainWindow(m_home.path(), m_tmp.path() + QStringLiteral("/zir/scanvy"));
    auto* container = m_window->findChild<OptionsContainerWidget*>();
    QVERIFY(container);
    container->InitScannerList({QStringLiteral("zylkx:KX-8000")});
    container->InitWidgetByOption(m_options, false);
    container->show();
    QVERIFY(container->m_currentPanel);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestScanSettingsPage::cleanupTestCase()
{
    delete m_window.data();
    m_sane.Exit();
}

void TestScanSettingsPage::leavingAsksOnlyAfterChanges_data()
{
    QTest::addColumn<QString>("leaveBy");
    QTest::addColumn<bool>("change");
    QTest::addColumn<int>("answer");

    QTest::newRow("return button, unchanged") << "btnReturnToImageFromScan" << false << int(QMessageBox::Yes);
    QTest::newRow("return button, saved") << "btnReturnToImageFromScan" << true << int(QMessageBox::Yes);
    QTest::newRow("return button, discarded") << "btnReturnToImageFromScan" << true << int(QMessageBox::No);
    QTest::newRow("image action, saved") << "actionImageView" << true << int(QMessageBox::Yes);
    QTest::newRow("system settings, discarded") << "actionSystemConfig" << true << int(QMessageBox::No);
    QTest::newRow("window closed, discarded") << "close" << true << int(QMessageBox::No);
}

void TestScanSettingsPage::leavingAsksOnlyAfterChanges()
{
    QFETCH(QString, leaveBy);
    QFETCH(bool, change);
    QFETCH(int, answer);

    Child<QAction>("actionScanConfig")->trigger();
    QCOMPARE(Child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
             QStringLiteral("pageScanSetting"));
    QVERIFY(!Child<QToolBar>("toolBar")->isVisible());

    auto* mode = Child<QComboBox>("cmMode");
    const int before = mode->currentIndex();
    const int other = mode->findData(QStringLiteral("Gray")) != before
                          ? mode->findData(QStringLiteral("Gray"))
                          : mode->findData(QStringLiteral("Color"));
    QVERIFY(other >= 0);
    if (change) {
        mode->setCurrentIndex(other);
    }

    ModalAnswerer answerer{QMessageBox::StandardButton(answer)};
    if (leaveBy == QLatin1String("close")) {
        m_window->close();
    } else if (leaveBy.startsWith(QLatin1String("btn"))) {
        Child<QPushButton>(qPrintable(leaveBy))->click();
    } else {
        Child<QAction>(qPrintable(leaveBy))->trigger();
    }

    if (!change) {
        QVERIFY(answerer.texts.isEmpty());
        QVERIFY(!QFile::exists(PanelFile()));
        return;
    }
    QCOMPARE(answerer.texts.value(0), QStringLiteral("扫描配置已修改，是否要保存？"));
    if (answer == QMessageBox::Yes) {
        QCOMPARE(answerer.texts, (QStringList{QStringLiteral("扫描配置已修改，是否要保存？"),
                                              QStringLiteral("扫描配置已保存")}));
        QCOMPARE(mode->currentIndex(), other);
        QSettings saved(PanelFile(), QSettings::IniFormat);
        QVERIFY2(saved.value(QStringLiteral("ScannerOptions/mode"))
                     .toString()
                     .startsWith(mode->currentData().toString()),
                 qPrintable(saved.value(QStringLiteral("ScannerOptions/mode")).toString()));
    } else {
        QCOMPARE(answerer.texts.size(), 1);
        QCOMPARE(mode->currentIndex(), before);
    }
    if (leaveBy == QLatin1String("close")) {
        QTRY_VERIFY(m_window.isNull());
        return;
    }
    QVERIFY(Child<QStackedWidget>("stackedWidget")->currentWidget()->objectName() !=
            QStringLiteral("pageScanSetting"));
}

// Types into the widget, which has the focus in the active window (shortcuts
// only answer there).
static void Type(QWidget* widget, const QList<QKeySequence>& keys)
{
    widget->window()->activateWindow();
    widget->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(widget->window()));
    QTRY_VERIFY(widget->hasFocus());
    for (const QKeySequence& key : keys) {
        QTest::keySequence(widget, key);
    }
}

// While a settings page shows, its widgets get every key and the hidden
// image page's actions none: the pages stay as they are.
void TestScanSettingsPage::settingsPagesKeepTheirKeys()
{
    const QString dir = m_tmp.path() + QStringLiteral("/pages");
    QVERIFY(QDir().mkpath(dir));
    Child<QPushButton>("btnReturnToImageFromSys")->click();
    auto* view = m_window->findChild<ImageViewWidget*>();
    for (int i = 0; i < 3; ++i) {
        QImage image(60, 80, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(QStringLiteral("%1/page%2.png").arg(dir).arg(i)));
        view->AddImage(QStringLiteral("%1/page%2.png").arg(dir).arg(i));
    }
    view->ClearItemSelction();
    view->Delete(); // nothing selected: announces the whole list
    m_window->EnableMenu(true);
    m_window->RefreshPageButtons();
    QVERIFY(Child<QAction>("actionDelete")->isEnabled());
    QStringList triggered;
    QObject scope;
    for (QAction* action : m_window->findChildren<QAction*>()) {
        connect(action, &QAction::triggered, &scope,
                [&triggered, action] { triggered << action->objectName(); });
    }
    const QList<QKeySequence> keys{Qt::Key_Up,           Qt::Key_Down,         Qt::Key_Home,
                                   Qt::Key_End,          Qt::Key_Plus,         Qt::Key_Minus,
                                   Qt::CTRL + Qt::Key_A, Qt::CTRL + Qt::Key_R, Qt::Key_Delete};
    ModalAnswerer answerer(QMessageBox::No);
    Child<QAction>("actionScanConfig")->trigger();
    Type(Child<QSpinBox>("sbResolution"), keys);
    Type(Child<QComboBox>("cmMode"), keys);
    Child<QPushButton>("btnReturnToImageFromScan")->click();
    Child<QAction>("actionSystemConfig")->trigger();
    auto* prefix = Child<QLineEdit>("txtSysFileNamePrefix");
    prefix->setText(QStringLiteral("ab"));
    Type(prefix, {Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Minus});
    QCOMPARE(prefix->text(), QStringLiteral("b-"));
    Type(prefix, keys);
    Child<QPushButton>("btnReturnToImageFromSys")->click();
    QCOMPARE(triggered, QStringList({"actionScanConfig", "actionSystemConfig"}));
    QCOMPARE(view->GetPagePaths().size(), 3);
    for (const QString& text : qAsConst(answerer.texts))
        QVERIFY2(!text.startsWith(QStringLiteral("是否删除选中")), qPrintable(text));
    view->SelectAll();
    view->Delete(); // the window closes later without the exit question
}

void TestScanSettingsPage::passManual_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("multifeed");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("flatbed, detection on") << "Flatbed" << true << false;
    QTest::newRow("front feeder, detection off") << "Adf-front" << false << false;
    QTest::newRow("front feeder, detection on") << "Adf-front" << true << true;
    QTest::newRow("duplex, detection on") << "Adf-duplex" << true << true;
}

void TestScanSettingsPage::passManual()
{
    QFETCH(QString, source);
    QFETCH(bool, multifeed);
    QFETCH(bool, enabled);

    auto* sources = Child<QComboBox>("cmSource");
    const int index = sources->findData(source);
    QVERIFY(index >= 0);
    sources->setCurrentIndex(index);
    auto* detection = Child<QCheckBox>("cbMultifeedDetection");
    if (detection->isEnabled()) {
        detection->setChecked(multifeed);
    }
    auto* action = Child<QAction>("actionPassManual");
    action->setEnabled(true);
    action->setChecked(true);
    m_window->SetPassManual();
    QCOMPARE(action->isEnabled(), enabled);
    if (source == QLatin1String("Flatbed")) {
        QVERIFY(!action->isChecked());
    } else {
        QVERIFY(action->isChecked()); // kept for feeder sources
    }
}

QTEST_MAIN(TestScanSettingsPage)
#include "tst_scansettingspage.moc"
