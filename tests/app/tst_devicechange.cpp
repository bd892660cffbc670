#include "gdata.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>

// The connected scanner through start-up, hot-plug notices, a switch in the
// scanner selector and default options, on the simulator and its stand-in
// discovery tools.
class TestDeviceChange : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void startup_data();
    void startup();
    void unplugAndReplugWhileIdle();
    void noticeDuringScanRunsOnceAfterIt();
    void noticesDuringRebuildDropped();
    void changedSettingsAskFirst();
    void switchScanner_data();
    void switchScanner();
    void defaultOptions_data();
    void defaultOptions();

private:
    void StartConnected();
    QStringList Selector() const;
    void Notice(int code) { emit m_fx->Monitor()->sglUSBListChanged(code); }
    QString MaskerText() const
    {
        auto* masker = m_fx->window->findChild<MaskerDialog*>();
        return masker ? masker->Msg() : QString();
    }

    QScopedPointer<WindowFixture> m_fx;
};

namespace {
const QString kKx = QStringLiteral("zylkx:KX-8000");
const QString kWy = QStringLiteral("zylwy:WY200");
const QString kDone = QStringLiteral("检测扫描仪操作已完成\r\n[本窗口自动关闭]");
const QString kNoScannerStyle =
    QStringLiteral("color:rgb(239,41,41);font-size:12px;border:1px solid gray;height:24px;");
} // namespace

void TestDeviceChange::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestDeviceChange::StartConnected()
{
    WindowFixture::WriteScenario(QStringLiteral("sheets=3"));
    m_fx.reset(new WindowFixture);
    QVERIFY(m_fx->Start());
}

QStringList TestDeviceChange::Selector() const
{
    QStringList items;
    auto* box = m_fx->Child<QComboBox>("cmScannerList");
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

void TestDeviceChange::startup_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message"); // a failure ends the program with status 0
    QTest::addColumn<QString>("device");
    QTest::addColumn<QStringList>("selector");

    const QStringList none;
    QTest::newRow("no scanner") << "usb=none" << false << "未找到扫描仪"
                                << "" << none;
    QTest::newRow("no driver") << "packages=none\ndevices=zylkx:KX-8000,zylwy:WY200" << false << "未安装驱动"
                               << "" << none;
    QTest::newRow("first cannot be opened") << "devices=zylkx:KX-8000,zylwy:WY200\nkx-tool=KX-9999" << false
                                            << "打开扫描仪失败:数据不合法(或找不到设备)(错误码:4)"
                                            << "" << none;
    QTest::newRow("overhead scanner through SANE") << "devices=zyljn:RV920\npackages=none" << true << ""
                                                   << "zyljn:RV920" << QStringList({"zyljn:RV920"});
    // With the overhead scanner attached the list is SANE's.
    QTest::newRow("all families") << "" << true << ""
                                  << "zylkx:KX-8000"
                                  << QStringList(
                                         {"zylkx:KX-8000", "zylkx:KX-F600", "zylwy:WY200", "zyljn:RV920"});
    QTest::newRow("Kx and Wy from their tools, Kx first")
        << "devices=zylwy:WY200,zylkx:KX-8000" << true << ""
        << "zylkx:KX-8000" << QStringList({"zylkx:KX-8000", "zylwy:WY200"});
}

void TestDeviceChange::startup()
{
    QFETCH(QString, scenario);
    QFETCH(bool, connected);
    QFETCH(QString, message);
    QFETCH(QString, device);
    QFETCH(QStringList, selector);

    WindowFixture::WriteScenario(scenario);
    m_fx.reset(new WindowFixture);
    bool quit = false;
    QCOMPARE(m_fx->Start(&quit), connected);
    MainWindow* w = m_fx->window;
    if (!connected) {
        QVERIFY(quit);
        QCOMPARE(m_fx->quitStatus, 0);
        QCOMPARE(m_fx->answerer.titles, QStringList({"错误"}));
        QCOMPARE(m_fx->answerer.texts, QStringList({message}));
        QVERIFY(!m_fx->Monitor()->isRunning());
        return;
    }
    QVERIFY(!quit);
    QVERIFY(m_fx->answerer.texts.isEmpty());
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + device);
    QVERIFY(!m_fx->Child<QLabel>("lblScannerInfo")->styleSheet().contains(QLatin1String("239,41,41")));
    QCOMPARE(Selector().value(0), device);
    QVERIFY(m_fx->Panel());
    QCOMPARE(m_fx->Container()->m_currentDevice, device);
    QVERIFY(!m_fx->Panel()->m_options.isEmpty());
    QTRY_VERIFY(m_fx->Monitor()->isRunning());
    QVERIFY(w->isEnabled());
    QVERIFY(w->isVisible());
    QVERIFY(m_fx->Child<QAction>("actionScanToLast")->isEnabled());
    QCOMPARE(Selector(), selector);
}

void TestDeviceChange::unplugAndReplugWhileIdle()
{
    StartConnected();
    m_fx->answerer.SetPassive(true); // the completion box must close by itself

    WindowFixture::WriteScenario(QStringLiteral("usb=none\ndevices=zylkx:KX-F600"));
    Notice(2);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(MaskerText(), QStringLiteral("检测到拔出扫描设备\r\n正在进行配置..."));
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("未连接扫描仪"));
    QCOMPARE(m_fx->Child<QLabel>("lblScannerInfo")->styleSheet(), kNoScannerStyle);
    QVERIFY(!m_fx->Child<QAction>("actionScanToLast")->isEnabled());
    QVERIFY(!m_fx->Child<QAction>("actionPassManual")->isEnabled());
    QVERIFY(!m_fx->window->DeviceReady());
    QVERIFY(!GData::ctx().m_scannerReady);
    QCOMPARE(m_fx->answerer.texts, QStringList({kDone}));

    m_fx->answerer.SetPassive(false);
    WindowFixture::WriteScenario(QStringLiteral("sheets=3"));
    Notice(1);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(MaskerText(), QStringLiteral("检测到插入扫描设备\r\n正在进行配置..."));
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + kKx);
    QVERIFY(m_fx->Child<QAction>("actionScanToLast")->isEnabled());
    QVERIFY(GData::ctx().m_scannerReady);
    QCOMPARE(m_fx->answerer.texts, QStringList({kDone, kDone}));
    QVERIFY(m_fx->Panel());
}

void TestDeviceChange::noticeDuringScanRunsOnceAfterIt()
{
    StartConnected();
    m_fx->SetResolution(75);
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=3\nload=slow\npage-delay-ms=300\nerror=jam\nerror-sheet=3\nerror-at=start"));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QTest::qWait(100);
    Notice(1);
    Notice(3);
    QTRY_VERIFY(m_fx->window->UsbPending());
    QVERIFY(m_fx->answerer.texts.isEmpty());
    // The scan job, then the one rebuild it starts.
    QVERIFY(m_fx->WaitJobDone(2));
    QTest::qWait(300);
    QCOMPARE(m_fx->answerer.texts,
             QStringList({QStringLiteral("检测到卡纸(错误码:6)\r\n请取出堵塞的纸张"), kDone}));
    QCOMPARE(MaskerText(), QStringLiteral("检测到扫描设备的变动\r\n正在进行配置...")); // the last code wins
    QVERIFY(!m_fx->window->UsbPending());
    QCOMPARE(m_fx->window->PageFiles().size(), 2);
}

void TestDeviceChange::noticesDuringRebuildDropped()
{
    StartConnected();
    Notice(1);
    Notice(2);
    Notice(2);
    QVERIFY(m_fx->WaitJobDone());
    QTest::qWait(300);
    QCOMPARE(m_fx->answerer.texts, QStringList({kDone}));
    QCOMPARE(MaskerText(), QStringLiteral("检测到插入扫描设备\r\n正在进行配置..."));
    QVERIFY(!m_fx->window->UsbPending());
    QVERIFY(!m_fx->window->UsbBusy());
}

void TestDeviceChange::changedSettingsAskFirst()
{
    StartConnected();
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    auto* mode = m_fx->Child<QComboBox>("cmMode");
    const QString stored = mode->currentData().toString();
    QVERIFY(m_fx->SetPanelCombo("cmMode", stored == QLatin1String("Gray") ? QStringLiteral("Color")
                                                                          : QStringLiteral("Gray")));
    m_fx->answerer.SetAnswer(QMessageBox::No);
    Notice(3);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, QStringList({QStringLiteral("扫描配置已修改，是否要保存？"), kDone}));
    QCOMPARE(m_fx->Child<QComboBox>("cmMode")->currentData().toString(), stored);
}

void TestDeviceChange::switchScanner_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("works");

    QTest::newRow("to a scanner that is gone") << "devices=zylkx:KX-8000,zylkx:KX-F600" << false;
    QTest::newRow("to the Wy scanner") << "" << true;
}

void TestDeviceChange::switchScanner()
{
    QFETCH(QString, scenario);
    QFETCH(bool, works);

    StartConnected();
    WindowFixture::WriteScenario(scenario);
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    auto* selector = m_fx->Child<QComboBox>("cmScannerList");
    selector->setCurrentIndex(selector->findText(kWy));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(MaskerText(), QStringLiteral("正在切换扫描仪..."));
    if (works) {
        QCOMPARE(m_fx->answerer.texts, QStringList({QStringLiteral("切换扫描仪已完成\r\n[本窗口自动关闭]")}));
        QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + kWy);
        QCOMPARE(selector->currentText(), kWy);
        QCOMPARE(dynamic_cast<QWidget*>(m_fx->Panel())->metaObject()->className(), "WyScannerOptionsWidget");
        QCOMPARE(m_fx->Panel()->m_options.value(QStringLiteral("source")).stringList,
                 QList<QString>({"Adf-front", "Adf-back", "Adf-duplex"}));
    } else {
        QCOMPARE(m_fx->answerer.titles, QStringList({"错误"}));
        QVERIFY2(m_fx->answerer.texts.value(0).startsWith(QStringLiteral("切换扫描仪失败:")),
                 qPrintable(m_fx->answerer.texts.value(0)));
        QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + kKx);
        QCOMPARE(selector->currentText(), kKx);
        QCOMPARE(m_fx->Container()->m_currentDevice, kKx);
        QVERIFY(m_fx->Panel()
                    ->m_options.value(QStringLiteral("source"))
                    .stringList.contains(QStringLiteral("Flatbed")));
    }
}

void TestDeviceChange::defaultOptions_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("works");

    QTest::newRow("device there") << "" << true;
    QTest::newRow("device gone") << "devices=zylwy:WY200" << false;
}

void TestDeviceChange::defaultOptions()
{
    QFETCH(QString, scenario);
    QFETCH(bool, works);

    StartConnected();
    // Stored settings differ from the device's defaults (mode Color).
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Gray")));
    QVERIFY(m_fx->Panel()->SaveParamsToIni());
    WindowFixture::WriteScenario(scenario);
    emit m_fx->Container()->sglGetDefaultOpts(kKx);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(MaskerText(), QStringLiteral("正在获取默认参数..."));
    if (works) {
        QVERIFY(m_fx->answerer.texts.isEmpty());
        QCOMPARE(m_fx->Child<QComboBox>("cmMode")->currentData().toString(), QStringLiteral("Color"));
    } else {
        QCOMPARE(m_fx->answerer.texts.size(), 1);
        QVERIFY2(m_fx->answerer.texts.first().startsWith(QStringLiteral("获取默认参数失败:\r\n")),
                 qPrintable(m_fx->answerer.texts.first()));
        QCOMPARE(m_fx->Child<QComboBox>("cmMode")->currentData().toString(), QStringLiteral("Gray"));
    }
}

QTEST_MAIN(TestDeviceChange)
#include "tst_devicechange.moc"
