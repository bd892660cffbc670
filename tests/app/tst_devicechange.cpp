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
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

// The connected scanner through start-up, hot-plug notices and switches in
// the scanner selector, on one window that lives through the whole session,
// with the simulator and its stand-in discovery tools.
class TestDeviceChange : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase();

    void startup_data();
    void startup();
    void noticesWait_data();
    void noticesWait();
    void switchThenDecline_data();
    void switchThenDecline();
    void chosenScannerStays_data();
    void chosenScannerStays();

private:
    QStringList Selector() const;
    bool SwitchTo(const QString& device);
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
    bool ScanOffered() const
    {
        return m_fx->Child<QAction>("actionScanToLast")->isEnabled() || GData::ctx().m_scannerReady;
    }

    QScopedPointer<WindowFixture> m_fx;
};

namespace {
const QString kKx = QStringLiteral("zylkx:KX-8000");
const QString kWy = QStringLiteral("zylwy:WY200");
const QString kF600 = QStringLiteral("zylkx:KX-F600");
const QString kRV920 = QStringLiteral("zyljn:RV920");
const QString kDone = QStringLiteral("检测扫描仪操作已完成\r\n[本窗口自动关闭]");
const QString kAskSave = QStringLiteral("扫描配置已修改，是否要保存？");
const QString kPlugged = QStringLiteral("检测到插入扫描设备\r\n正在进行配置...");
const QString kUnplugged = QStringLiteral("检测到拔出扫描设备\r\n正在进行配置...");
// What every scanner has stored: not what the devices or panels start with.
const QByteArray kStored("[ScannerOptions]\nresolution=300|1\nmode=Gray|1\n");
} // namespace

void TestDeviceChange::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
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
    QTest::addColumn<QString>("message"); // after which the program ends with status 0

    QTest::newRow("no scanner") << "usb=none"
                                << "未找到扫描仪";
    // The window of the rest of the session: it stays open and offers no
    // scan until a plug-in notice, then takes the scanner.
    QTest::newRow("a scanner on the bus without a device") << "usb=0b7e:2f4c\ndevices="
                                                           << "";
}

void TestDeviceChange::startup()
{
    QFETCH(QString, scenario);
    QFETCH(QString, message);
    WindowFixture::WriteScenario(scenario);
    m_fx.reset(new WindowFixture);
    QVERIFY(QDir().mkpath(QFileInfo(StoredFile(kKx)).path()));
    for (const QString& d : {kKx, kF600, kWy, kRV920}) {
        QFile file(StoredFile(d));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kStored) == kStored.size());
    }
    bool quit = false;
    QVERIFY(!m_fx->Start(&quit));
    QCOMPARE(quit, !message.isEmpty());
    QCOMPARE(m_fx->quitStatus, message.isEmpty() ? -100 : 0);
    QCOMPARE(m_fx->answerer.texts, message.isEmpty() ? QStringList() : QStringList({message}));
    QVERIFY(!m_fx->Monitor()->isRunning());
    if (!message.isEmpty()) {
        return;
    }
    QVERIFY(!ScanOffered() && !m_fx->window->DeviceReady());
    // Plugged in: the scanner is taken; with the overhead scanner attached
    // the list is SANE's.
    WindowFixture::WriteScenario(QString());
    Notice(1);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(MaskerText(), kPlugged);
    QCOMPARE(m_fx->answerer.texts, QStringList({kDone}));
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + kKx);
    QVERIFY(ScanOffered() && m_fx->window->DeviceReady());
    QCOMPARE(Selector(), QStringList({kKx, kF600, kWy, kRV920}));
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

// Moves the visible panel's resolution and mode away from what it shows.
void TestDeviceChange::ChangeSettings()
{
    auto* panel = dynamic_cast<QWidget*>(m_fx->Panel());
    if (auto* spin = panel->findChild<QSpinBox*>(QStringLiteral("sbResolution"))) {
        spin->setValue(150);
    } else {
        auto* combo = panel->findChild<QComboBox*>(QStringLiteral("cmResolution"));
        combo->setCurrentIndex(combo->findData(QStringLiteral("150")));
    }
    auto* mode = panel->findChild<QComboBox*>(QStringLiteral("cmMode"));
    mode->setCurrentIndex(mode->findData(QStringLiteral("Color")));
}

void TestDeviceChange::noticesWait_data()
{
    QTest::addColumn<QString>("during"); // what runs when the notices come
    QTest::addColumn<QString>("box");    // the box the notices arrive at
    QTest::addColumn<QList<int>>("notices");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<QString>("device"); // connected afterwards, "" for not checked
    QTest::addColumn<QString>("masker"); // of the one rebuild: the last code wins

    const QString jam = QStringLiteral("检测到卡纸(错误码:6)\r\n请取出堵塞的纸张");
    const QString changed = QStringLiteral("检测到扫描设备的变动\r\n正在进行配置...");
    const QString failed = QStringLiteral("切换扫描仪失败:数据不合法(或找不到设备)(错误码:4)");
    // Its number is the page count at the time: filled in by the test.
    const QString clear = QStringLiteral("是否清除全部 %1 张图像？");
    QTest::newRow("scan") << "scan"
                          << "" << QList<int>{1, 3} << QStringList{jam, kDone} << 2 << kKx << changed;
    // Cleared with 是: the notice waits for the question.
    QTest::newRow("clear question") << "clear" << clear << QList<int>{2} << QStringList{clear, kDone} << 1
                                    << kKx << kUnplugged;
    QTest::newRow("rebuild") << "rebuild"
                             << "" << QList<int>{2, 2} << QStringList{kDone} << 1 << kKx << kPlugged;
    // A plug-in sends one notice per interface of the scanner.
    QTest::newRow("hot-plug question")
        << "notice" << kAskSave << QList<int>{1, 1} << QStringList{kAskSave, kDone} << 1 << kKx << kPlugged;
    QTest::newRow("return question") << "return" << kAskSave << QList<int>{3, 3}
                                     << QStringList{kAskSave, kDone} << 1 << kKx << changed;
    // The selector and panel are back on the previous scanner before the
    // failure shows, so the rebuild finds nothing changed to ask about.
    QTest::newRow("failed switch") << "failed switch" << failed << QList<int>{3} << QStringList{failed, kDone}
                                   << 2 << kKx << changed;
}

// A notice that comes while a scan, a page action, a question or a rebuild
// runs waits for it; then exactly one rebuild follows, never two jobs at once.
void TestDeviceChange::noticesWait()
{
    QFETCH(QString, during);
    QFETCH(QString, box);
    QFETCH(QList<int>, notices);
    QFETCH(QStringList, messages);
    QFETCH(int, jobs);
    QFETCH(QString, device);
    QFETCH(QString, masker);

    WindowFixture::WriteScenario(QStringLiteral("sheets=3"));
    if (m_fx->Container()->isVisible()) {
        m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    }
    QVERIFY(SwitchTo(kKx));
    const int pages = m_fx->window->PageFiles().size();
    if (during == QLatin1String("clear")) {
        box = box.arg(pages);
        messages.replaceInStrings(QStringLiteral("%1"), QString::number(pages));
    }
    m_fx->answerer.texts.clear();
    m_fx->answerer.SetAnswer(during == QLatin1String("clear") ? QMessageBox::Yes : QMessageBox::No);
    bool parked = false;
    QString shownWithBox; // selector and panel while the box shows
    m_fx->answerer.beforeAnswer = [&](QMessageBox* shown) {
        if (shown->text() == box) {
            shownWithBox = m_fx->Child<QComboBox>("cmScannerList")->currentText() + QLatin1Char('|') +
                           m_fx->Container()->m_currentDevice;
            // The monitor's notices are queued: deliver them while the box is open.
            for (int code : notices) {
                Notice(code);
            }
            QCoreApplication::sendPostedEvents(m_fx->window, QEvent::MetaCall);
            parked = m_fx->window->UsbPending() && !m_fx->window->UsbBusy();
        }
    };
    if (during == QLatin1String("scan")) {
        m_fx->SetResolution(75);
        WindowFixture::WriteScenario(QStringLiteral(
            "sheets=3\nload=slow\npage-delay-ms=300\nerror=jam\nerror-sheet=3\nerror-at=start"));
        m_fx->Child<QAction>("actionScanToLast")->trigger();
        QTest::qWait(100);
        for (int code : notices) {
            Notice(code);
        }
        QTRY_VERIFY(m_fx->window->UsbPending());
        QVERIFY(m_fx->answerer.texts.isEmpty());
    } else if (during == QLatin1String("clear")) {
        QVERIFY(pages > 0);
        m_fx->Child<QAction>("actionBroom")->trigger();
    } else if (during == QLatin1String("rebuild")) {
        Notice(1);
        for (int code : notices) {
            Notice(code);
        }
    } else {
        m_fx->Child<QAction>("actionScanConfig")->trigger();
        if (during == QLatin1String("failed switch")) {
            WindowFixture::WriteScenario(QStringLiteral("devices=zylkx:KX-8000,zylkx:KX-F600"));
        } else {
            ChangeSettings();
        }
        if (during == QLatin1String("notice")) {
            Notice(1);
        } else if (during.endsWith(QLatin1String("switch"))) {
            auto* selector = m_fx->Child<QComboBox>("cmScannerList");
            selector->setCurrentIndex(selector->findText(kWy));
        } else {
            m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
        }
    }
    QVERIFY(m_fx->WaitJobDone(jobs));
    m_fx->answerer.beforeAnswer = nullptr;
    QVERIFY(parked || during != QLatin1String("clear"));
    if (during == QLatin1String("failed switch")) {
        // The failure is shown with the selector and panel back on the old scanner.
        QCOMPARE(shownWithBox, kKx + QLatin1Char('|') + kKx);
    }
    // A further rebuild would start from the last job's after step, before
    // that job counts as done.
    QVERIFY(!m_fx->window->findChild<MaskerDialog*>()->isVisible());
    QTest::qWait(200);
    QCOMPARE(m_fx->jobsDone, 0);
    QCOMPARE(m_fx->answerer.texts, messages);
    QCOMPARE(MaskerText(), masker);
    QVERIFY(!m_fx->window->UsbPending());
    QVERIFY(!m_fx->window->UsbBusy());
    QVERIFY(m_fx->window->DeviceReady());
    if (!device.isEmpty()) {
        QCOMPARE(m_fx->Container()->m_currentDevice, device);
        QCOMPARE(m_fx->Child<QComboBox>("cmScannerList")->currentText(), device);
        QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + device);
    }
    const QHash<QString, int> added{{QStringLiteral("scan"), 2}, {QStringLiteral("clear"), -pages}};
    QCOMPARE(m_fx->window->PageFiles().size(), pages + added.value(during));
}

void TestDeviceChange::switchThenDecline_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("rebuild"); // a scanner to switch to, "hot-plug" or "defaults"
    QTest::addColumn<QString>("device");  // the scanner whose panel shows then

    // Every panel kind is left once and entered once.
    const QList<QPair<QString, QString>> switches{{kKx, kWy}, {kWy, kRV920}, {kRV920, kF600}, {kF600, kKx}};
    for (const auto& change : switches) {
        QTest::addRow("%s to %s", qPrintable(change.first), qPrintable(change.second))
            << change.first << change.second << change.second;
    }
    // The scanner in use stays chosen across the rebuild.
    QTest::newRow("hot-plug while the Wy panel shows") << kWy << "hot-plug" << kWy;
    QTest::newRow("defaults on the Kx feeder") << kKx << "defaults" << kKx;
}

// The panel is rebuilt while the settings page shows; leaving it after a
// change and answering 否 gives back the panel as it was rebuilt (for the
// defaults: as it was entered), keeps the stored file and scans with it.
void TestDeviceChange::switchThenDecline()
{
    QFETCH(QString, from);
    QFETCH(QString, rebuild);
    QFETCH(QString, device);

    WindowFixture::WriteScenario(QStringLiteral("sheets=1"));
    if (Selector().size() < 4) {
        Notice(1);
        QVERIFY(m_fx->WaitJobDone());
    }
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    QVERIFY(SwitchTo(from));
    m_fx->answerer.texts.clear();

    QStringList entry;
    if (rebuild == QLatin1String("defaults")) {
        entry = PanelState::Describe(*m_fx->Panel());
        m_fx->Child<QPushButton>("btnGetDefaultSetting")->click();
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(MaskerText(), QStringLiteral("正在获取默认参数..."));
    } else {
        if (rebuild == QLatin1String("hot-plug")) {
            Notice(3);
            QVERIFY(m_fx->WaitJobDone());
        } else {
            // A manual feed pass chosen on the scanner left behind must not
            // stay chosen on one without a feeder.
            auto* pass = m_fx->Child<QAction>("actionPassManual");
            pass->setEnabled(true);
            pass->setChecked(true);
            QVERIFY(SwitchTo(rebuild));
            if (rebuild == kRV920) {
                QVERIFY(!pass->isChecked() && !pass->isEnabled());
            }
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
    const int pages = m_fx->window->PageFiles().size();
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(m_fx->window->PageFiles().size(), pages + 1);
    const QString page = m_fx->window->PageFiles().last();
    const QImage image = QImageReader(page).read();
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QVERIFY(image.isGrayscale());
    QCOMPARE(SimPage::FileMarker(page, 300), QStringLiteral("1A"));
}

namespace {
const QStringList kAll{kKx, kF600, kWy, kRV920};

QString Devices(const QStringList& devices)
{
    return QStringLiteral("devices=") + devices.join(QLatin1Char(',')) + QLatin1Char('\n');
}

// Each scanner's stored resolution is its own, so that a page tells whose
// settings it was scanned with.
int StoredDpi(const QString& device)
{
    const QHash<QString, int> dpi{{kKx, 250}, {kF600, 150}, {kWy, 300}, {kRV920, 100}};
    return dpi.value(device);
}

QString PanelClass(const QString& device)
{
    if (device.startsWith(QLatin1String("zylkx")))
        return QStringLiteral("KxScannerOptionsWidget");
    if (device.startsWith(QLatin1String("zylwy")))
        return QStringLiteral("WyScannerOptionsWidget");
    return QStringLiteral("RV920ScannerOptionsWidget");
}
} // namespace

void TestDeviceChange::chosenScannerStays_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("before"); // plugged in when the notice comes
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("parked"); // the notice comes during a scan
    QTest::addColumn<QString>("expected");

    for (const QString& chosen : kAll) {
        // The other scanner is the last one: taking it away or adding it
        // never makes the chosen one the first of the list by itself.
        QStringList others = kAll;
        others.removeOne(chosen);
        const QString other = others.last();
        QStringList withoutOther = kAll;
        withoutOther.removeOne(other);
        for (bool parked : {false, true}) {
            const char* when = parked ? "during a scan" : "idle";
            QTest::addRow("%s, %s plugged in, %s", qPrintable(chosen), qPrintable(other), when)
                << chosen << withoutOther << kAll << 1 << parked << chosen;
            QTest::addRow("%s, %s unplugged, %s", qPrintable(chosen), qPrintable(other), when)
                << chosen << kAll << withoutOther << 2 << parked << chosen;
            QTest::addRow("%s itself unplugged, %s", qPrintable(chosen), when)
                << chosen << kAll << others << 2 << parked << others.first();
        }
    }
}

// A rebuild after a notice keeps the scanner the user chose while it is
// there: selector, panel, label and the next scan stay with it. When it
// went away, the completion box names the one that took its place.
void TestDeviceChange::chosenScannerStays()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(int, code);
    QFETCH(bool, parked);
    QFETCH(QString, expected);

    if (!m_fx || !m_fx->window->isVisible()) { // run on its own
        WindowFixture::WriteScenario(Devices(kAll));
        m_fx.reset(new WindowFixture);
        QVERIFY(QDir().mkpath(QFileInfo(StoredFile(kKx)).path()));
        QVERIFY(m_fx->Start());
    }
    for (const QString& device : kAll) {
        QFile file(StoredFile(device));
        const QByteArray stored =
            "[ScannerOptions]\nresolution=" + QByteArray::number(StoredDpi(device)) + "|1\nmode=Gray|1\n";
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
    }
    if (m_fx->Container()->isVisible()) {
        m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    }
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
    // Every panel is built again from its stored file by a rebuild with
    // `before` plugged in, and the chosen scanner is selected then.
    WindowFixture::WriteScenario(Devices(kAll));
    Notice(1);
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(SwitchTo(chosen));
    if (before != kAll) {
        WindowFixture::WriteScenario(Devices(before));
        Notice(2);
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(m_fx->Container()->m_currentDevice, chosen);
    }
    m_fx->answerer.texts.clear();
    const int pages = m_fx->window->PageFiles().size();
    if (parked) {
        // A scanner pulled out under the scan: its pages come slowly enough to be cut off.
        const QString slow = expected != chosen ? "sheets=2\nload=slow\npage-delay-ms=1500"
                                                : "sheets=2\nload=slow\npage-delay-ms=300";
        WindowFixture::WriteScenario(Devices(before) + slow);
        m_fx->Child<QAction>("actionScanToLast")->trigger();
        QTest::qWait(100);
        // The notice first: a scanner unplugged under the scan ends it at once.
        Notice(code);
        QTRY_VERIFY(m_fx->window->UsbPending());
        WindowFixture::WriteScenario(Devices(after) + slow);
        QVERIFY(m_fx->WaitJobDone(2));
    } else {
        WindowFixture::WriteScenario(Devices(after));
        Notice(code);
        QVERIFY(m_fx->WaitJobDone());
    }
    QString done = kDone;
    if (expected != chosen) {
        done += QStringLiteral("\r\n已断开：%1\r\n当前连接：%2").arg(chosen, expected);
    }
    // A scanner pulled out under its own scan ends the scan with an error;
    // the pages read before stay, the one being read as its ".part".
    const bool cut = parked && expected != chosen;
    QCOMPARE(m_fx->answerer.texts.size(), cut ? 2 : 1);
    QVERIFY2(!cut || m_fx->answerer.texts.first().contains(QStringLiteral("(错误码:9)")),
             qPrintable(m_fx->answerer.texts.first()));
    QCOMPARE(m_fx->answerer.texts.last(), done);
    const QList<QString> kept = m_fx->window->PageFiles().mid(pages);
    QCOMPARE(kept.size() >= 1, parked);
    for (int i = 0; i < kept.size(); ++i) {
        const bool whole = QFileInfo::exists(kept.at(i));
        QVERIFY(whole || (cut && i == kept.size() - 1 && QFileInfo::exists(kept.at(i) + ".part")));
        QVERIFY(!whole ||
                SimPage::FileMarker(kept.at(i), StoredDpi(chosen)) == QStringLiteral("%1A").arg(i + 1));
    }
    QCOMPARE(m_fx->Child<QComboBox>("cmScannerList")->currentText(), expected);
    QCOMPARE(m_fx->Container()->m_currentDevice, expected);
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + expected);
    QCOMPARE(QString::fromLatin1(dynamic_cast<QObject*>(m_fx->Panel())->metaObject()->className()),
             PanelClass(expected));

    // The next scan: one page of the scanner in use, with its settings.
    WindowFixture::WriteScenario(Devices(after) + "sheets=1\nload=" + QString::number(pages));
    const int scanned = m_fx->window->PageFiles().size();
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(m_fx->window->PageFiles().size(), scanned + 1);
    const QImage image = QImageReader(m_fx->window->PageFiles().last()).read();
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), StoredDpi(expected));
}

QTEST_MAIN(TestDeviceChange)
#include "tst_devicechange.moc"
