#include "mainwindow.h"
#include "modalanswerer.h"
#include "optionscontainerwidget.h"
#include "sanescan.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

// The scan-settings page with a real panel, filled from the simulated Kx
// scanner the way the device jobs fill it.
class TestScanSettingsPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void leavingAsksOnlyAfterChanges_data();
    void leavingAsksOnlyAfterChanges();
    void closeFromSettingsPage();
    void passManual_data();
    void passManual();

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
        return m_home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/zylkx_KX-8000.ini");
    }

    SaneScan m_sane;
    QList<QString> m_devices;
    QHash<QString, Opt_Result> m_options;
    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_tmp;
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
}

void TestScanSettingsPage::cleanupTestCase()
{
    m_sane.Exit();
}

void TestScanSettingsPage::init()
{
    m_home.reset(new QTemporaryDir);
    m_tmp.reset(new QTemporaryDir);
    m_window = new MainWindow(m_home->path(), m_tmp->path() + QStringLiteral("/zir/scanvy"));
    auto* container = m_window->findChild<OptionsContainerWidget*>();
    QVERIFY(container);
    container->InitScannerList({QStringLiteral("zylkx:KX-8000")});
    container->InitWidgetByOption(m_options, false);
    container->show();
    QVERIFY(container->m_currentPanel);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestScanSettingsPage::cleanup()
{
    delete m_window.data();
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
    if (leaveBy.startsWith(QLatin1String("btn"))) {
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
    QVERIFY(Child<QStackedWidget>("stackedWidget")->currentWidget()->objectName() !=
            QStringLiteral("pageScanSetting"));
}

void TestScanSettingsPage::closeFromSettingsPage()
{
    Child<QAction>("actionScanConfig")->trigger();
    auto* mode = Child<QComboBox>("cmMode");
    const int before = mode->currentIndex();
    mode->setCurrentIndex(mode->findData(QStringLiteral("Lineart")) != before
                              ? mode->findData(QStringLiteral("Lineart"))
                              : mode->findData(QStringLiteral("Color")));
    ModalAnswerer answerer(QMessageBox::No);
    m_window->close();
    QCOMPARE(answerer.texts.value(0), QStringLiteral("扫描配置已修改，是否要保存？"));
    QCOMPARE(mode->currentIndex(), before);
    QTRY_VERIFY(m_window.isNull());
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
