#include "gdata.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "simpage.h"
#include "tests/options/panelstate.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
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
    void noticeDuringDeleteQuestionWaits();
    void noticesDuringRebuildDropped();
    void replacedScannerNamed_data();
    void replacedScannerNamed();
    void changedSettingsAskFirst();
    void switchScanner_data();
    void switchScanner();
    void defaultOptions_data();
    void defaultOptions();
    void declineAfterPanelRebuilt_data();
    void declineAfterPanelRebuilt();
    void noticesDuringQuestion_data();
    void noticesDuringQuestion();

private:
    void StartConnected();
    QStringList Selector() const;
    bool SwitchTo(const QString& device);
    QWidget* PanelWidget() const { return dynamic_cast<QWidget*>(m_fx->Panel()); }
    // Moves the visible panel's resolution and mode away from what it shows.
    void ChangeSettings();
    QString StoredFile(const QString& device) const
    {
        return m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/") +
               ParentScannerOptions::ConfigFileName(device);
    }
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
const QString kF600 = QStringLiteral("zylkx:KX-F600");
const QString kRV920 = QStringLiteral("zyljn:RV920");
const QString kDone = QStringLiteral("检测扫描仪操作已完成\r\n[本窗口自动关闭]");
const QString kSwitched = QStringLiteral("切换扫描仪已完成\r\n[本窗口自动关闭]");
const QString kAskSave = QStringLiteral("扫描配置已修改，是否要保存？");
// What every scanner has stored: not what the devices or panels start with.
const QByteArray kStored("[ScannerOptions]\nresolution=300|1\nmode=Gray|1\n");
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

void TestDeviceChange::noticeDuringDeleteQuestionWaits()
{
    StartConnected();
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitIdle());
    QVERIFY(!m_fx->window->PageFiles().isEmpty());
    bool parked = false;
    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->answerer.beforeAnswer = [this, &parked](QMessageBox* shown) {
        if (shown->text() == QStringLiteral("是否删除选中图像？")) {
            Notice(2);
            QCoreApplication::sendPostedEvents(m_fx->window, QEvent::MetaCall);
            parked = m_fx->window->UsbPending() && !m_fx->window->UsbBusy();
        }
    };
    m_fx->Child<QAction>("actionDelete")->trigger();
    m_fx->answerer.beforeAnswer = nullptr;
    QVERIFY(parked);
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

void TestDeviceChange::replacedScannerNamed_data()
{
    QTest::addColumn<QString>("inUse"); // switched to before the notice
    QTest::addColumn<QString>("after"); // the scenario of the notice
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("named"); // below the completion text

    const QString kxGone = QStringLiteral("\r\n已断开：zylkx:KX-8000\r\n当前连接：");
    QTest::newRow("unplugged, another left") << kKx << "devices=zylwy:WY200" << 2 << kxGone + kWy;
    QTest::newRow("unplugged, two left, the first taken")
        << kKx << "devices=zylwy:WY200,zylkx:KX-F600" << 2 << kxGone + kF600;
    QTest::newRow("the one switched to unplugged")
        << kWy << "devices=zylkx:KX-8000" << 2 << "\r\n已断开：zylwy:WY200\r\n当前连接：zylkx:KX-8000";
    QTest::newRow("another plugged in") << kKx << "devices=zylkx:KX-8000,zylwy:WY200" << 1 << "";
    QTest::newRow("a switched-to scanner stays, the list starts elsewhere") << kWy << "" << 1 << "";
    QTest::newRow("all unplugged") << kKx << "usb=none\ndevices=zylkx:KX-F600" << 2 << "";
}

// The completion box of a rebuild names the scanner that went away and the
// one now in use, when the one in use was unplugged and another took over.
void TestDeviceChange::replacedScannerNamed()
{
    QFETCH(QString, inUse);
    QFETCH(QString, after);
    QFETCH(int, code);
    QFETCH(QString, named);

    StartConnected();
    QVERIFY(SwitchTo(inUse));
    m_fx->answerer.texts.clear();
    WindowFixture::WriteScenario(after);
    Notice(code);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, QStringList{kDone + named});
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

bool TestDeviceChange::SwitchTo(const QString& device)
{
    auto* selector = m_fx->Child<QComboBox>("cmScannerList");
    if (selector->currentText() == device) {
        return true;
    }
    selector->setCurrentIndex(selector->findText(device));
    return m_fx->WaitJobDone() && m_fx->Container()->m_currentDevice == device;
}

void TestDeviceChange::ChangeSettings()
{
    QWidget* panel = PanelWidget();
    if (auto* spin = panel->findChild<QSpinBox*>(QStringLiteral("sbResolution"))) {
        spin->setValue(150);
    } else {
        auto* combo = panel->findChild<QComboBox*>(QStringLiteral("cmResolution"));
        combo->setCurrentIndex(combo->findData(QStringLiteral("150")));
    }
    auto* mode = panel->findChild<QComboBox*>(QStringLiteral("cmMode"));
    mode->setCurrentIndex(mode->findData(QStringLiteral("Color")));
}

void TestDeviceChange::declineAfterPanelRebuilt_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("rebuild"); // a scanner to switch to, "hot-plug" or "defaults"
    QTest::addColumn<QString>("device");  // the scanner whose panel shows then

    // Every panel is left once and entered once (a cycle through the four
    // scanners), plus both ways between the two feeder families.
    const QList<QPair<QString, QString>> switches{{kKx, kF600},  {kF600, kWy}, {kWy, kRV920},
                                                  {kRV920, kKx}, {kKx, kWy},   {kWy, kKx}};
    for (const auto& change : switches) {
        QTest::addRow("%s to %s", qPrintable(change.first), qPrintable(change.second))
            << change.first << change.second << change.second;
    }
    QTest::newRow("hot-plug while the Wy panel shows") << kWy << "hot-plug" << kKx;
    QTest::newRow("defaults on the Kx feeder") << kKx << "defaults" << kKx;
    QTest::newRow("defaults on the Wy scanner") << kWy << "defaults" << kWy;
}

// The panel is rebuilt while the settings page shows; leaving it after a
// change and answering 否 gives back the panel as it was rebuilt (for the
// defaults: as it was entered), keeps the stored file and scans with it.
void TestDeviceChange::declineAfterPanelRebuilt()
{
    QFETCH(QString, from);
    QFETCH(QString, rebuild);
    QFETCH(QString, device);

    WindowFixture::WriteScenario(QStringLiteral("sheets=1"));
    m_fx.reset(new WindowFixture);
    QVERIFY(QDir().mkpath(QFileInfo(StoredFile(kKx)).path()));
    for (const QString& d : {kKx, kF600, kWy, kRV920}) {
        QFile file(StoredFile(d));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kStored) == kStored.size());
    }
    QVERIFY(m_fx->Start());
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    QVERIFY(SwitchTo(from));
    m_fx->answerer.texts.clear();

    QStringList entry;
    if (rebuild == QLatin1String("defaults")) {
        entry = PanelState::Describe(*m_fx->Panel());
        m_fx->Child<QPushButton>("btnGetDefaultSetting")->click();
        QVERIFY(m_fx->WaitJobDone());
        QVERIFY(PanelState::Describe(*m_fx->Panel()) != entry);
    } else {
        if (rebuild == QLatin1String("hot-plug")) {
            Notice(3);
            QVERIFY(m_fx->WaitJobDone());
        } else {
            QVERIFY(SwitchTo(rebuild));
        }
        // Nothing was changed: nothing to ask.
        QVERIFY2(!m_fx->answerer.texts.contains(kAskSave), qPrintable(m_fx->answerer.texts.join('|')));
        QCOMPARE(m_fx->Container()->m_currentDevice, device);
        entry = PanelState::Describe(*m_fx->Panel());
        QVERIFY2(entry.join('\n').contains(QLatin1String("resolution=300 ")), qPrintable(entry.last()));
        ChangeSettings();
    }
    QVERIFY(PanelState::Describe(*m_fx->Panel()) != entry);

    m_fx->answerer.texts.clear();
    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    QCOMPARE(m_fx->answerer.texts, QStringList({kAskSave}));
    const QStringList diff = PanelState::Differences(entry, PanelState::Describe(*m_fx->Panel()));
    QVERIFY2(diff.isEmpty(), qPrintable(diff.join('\n')));
    QFile stored(StoredFile(device));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), kStored);

    // The next scan gets the stored settings: a grey page at 300 dpi.
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY2(!m_fx->window->PageFiles().isEmpty(), qPrintable(m_fx->answerer.texts.join('|')));
    const QString page = m_fx->window->PageFiles().first();
    QImageReader reader(page);
    const QImage image = reader.read();
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QVERIFY(image.isGrayscale());
    QCOMPARE(SimPage::FileMarker(page, 300), QStringLiteral("1A"));
}

void TestDeviceChange::noticesDuringQuestion_data()
{
    QTest::addColumn<QString>("leaveBy"); // what opens the box
    QTest::addColumn<QString>("box");     // the box the notices arrive at
    QTest::addColumn<QList<int>>("notices");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("jobs");

    // A plug-in sends one notice per interface of the scanner.
    QTest::newRow("hot-plug question")
        << "notice" << kAskSave << QList<int>{1, 1} << QStringList{kAskSave, kDone} << 1;
    QTest::newRow("switch question") << "switch" << kAskSave << QList<int>{3}
                                     << QStringList{kAskSave, kSwitched, kDone} << 2;
    QTest::newRow("return question") << "return" << kAskSave << QList<int>{3, 3}
                                     << QStringList{kAskSave, kDone} << 1;
    // The selector and panel are back on the previous scanner before the
    // failure shows, so the rebuild finds nothing changed to ask about.
    const QString failed = QStringLiteral("切换扫描仪失败:数据不合法(或找不到设备)(错误码:4)");
    QTest::newRow("failed switch") << "failed switch" << failed << QList<int>{3} << QStringList{failed, kDone}
                                   << 2;
}

// One question, then one rebuild after it (and after a switch that follows
// the question), never a second question or two jobs at once.
void TestDeviceChange::noticesDuringQuestion()
{
    QFETCH(QString, leaveBy);
    QFETCH(QString, box);
    QFETCH(QList<int>, notices);
    QFETCH(QStringList, messages);
    QFETCH(int, jobs);

    StartConnected();
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    if (leaveBy == QLatin1String("failed switch")) {
        WindowFixture::WriteScenario(QStringLiteral("devices=zylkx:KX-8000,zylkx:KX-F600"));
    } else {
        ChangeSettings();
    }
    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->answerer.beforeAnswer = [this, notices, box](QMessageBox* shown) {
        if (shown->text() == box) {
            // The monitor's notices are queued: deliver them while the box is open.
            for (int code : notices) {
                Notice(code);
            }
            QCoreApplication::sendPostedEvents(m_fx->window, QEvent::MetaCall);
        }
    };
    if (leaveBy == QLatin1String("notice")) {
        Notice(1);
    } else if (leaveBy.endsWith(QLatin1String("switch"))) {
        auto* selector = m_fx->Child<QComboBox>("cmScannerList");
        selector->setCurrentIndex(selector->findText(kWy));
    } else {
        m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    }
    QVERIFY(m_fx->WaitJobDone(jobs));
    // A further rebuild would start from the last job's after step, before
    // that job counts as done.
    QVERIFY(!m_fx->window->findChild<MaskerDialog*>()->isVisible());
    QTest::qWait(300);
    QCOMPARE(m_fx->jobsDone, 0);
    QCOMPARE(m_fx->answerer.texts, messages);
    QVERIFY(!m_fx->window->UsbPending());
    QVERIFY(!m_fx->window->UsbBusy());
    QVERIFY(m_fx->window->DeviceReady());
}

QTEST_MAIN(TestDeviceChange)
#include "tst_devicechange.moc"
