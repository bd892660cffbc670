#include "cancelbuttonrectstyle.h"
#include "gdata.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "sessioncheck.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTranslator>
#include <QtTest>

using namespace SessionCheck;

namespace {

const int kDpi = 75;
const QString kDone = QStringLiteral("检测扫描仪操作已完成\r\n[本窗口自动关闭]");
const QString kNoScanner = QStringLiteral("未连接扫描仪");

} // namespace

// The program started the way main starts it, on the simulated scanners:
// settings kept across a restart, and the scanner pulled out in the middle of
// a scan. (Page edits, saves, jams and an unplug while idle are in
// tst_sessionmodel's random sessions.)
class TestE2eSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void settingsSurviveRestart();
    void unplugDuringScan();

private:
    void Start(int format, const QString& scenario = QStringLiteral("sheets=0"));
    bool Trigger(const char* action);
    bool Scan(const char* action, const QString& scenario);
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }

    QScopedPointer<WindowFixture> m_fx;
    QTranslator m_qtTranslator;
    int m_load = 0;
};

void TestE2eSession::initTestCase()
{
    // What main installs before it builds the window.
    if (m_qtTranslator.load(QStringLiteral(":/trans/qtbase_zh_CN.qm"))) {
        QApplication::installTranslator(&m_qtTranslator);
    }
    QApplication::setStyle(new CancelButtonRectStyle);
}

void TestE2eSession::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestE2eSession::Start(int format, const QString& scenario)
{
    m_fx.reset(new WindowFixture);
    {
        QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), Out());
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("s"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("7"));
        ini.setValue(QStringLiteral("Scanner/ScanMinCountSize"), QStringLiteral("4"));
        ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
    }
    WindowFixture::WriteScenario(scenario);
    QVERIFY(m_fx->Start());
    QVERIFY(m_fx->window->isVisible());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QCOMPARE(m_fx->Child<QComboBox>("cmImageFormat")->currentIndex(), format);
}

bool TestE2eSession::Trigger(const char* action)
{
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return true;
}

bool TestE2eSession::Scan(const char* action, const QString& scenario)
{
    WindowFixture::WriteScenario(scenario + QStringLiteral("\nload=%1").arg(++m_load));
    return Trigger(action) && m_fx->WaitJobDone();
}

// Settings changed on the scan-settings page and kept on leaving it are shown
// again after a restart and sent with the next scan.
void TestE2eSession::settingsSurviveRestart()
{
    Start(3, QStringLiteral("sheets=0"));
    QVERIFY(Trigger("actionScanConfig"));
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Gray")));
    m_fx->SetResolution(100);
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    QCOMPARE(m_fx->answerer.texts,
             QStringList({QStringLiteral("扫描配置已修改，是否要保存？"), QStringLiteral("扫描配置已保存")}));

    // Close the window as the user does, then start again on the same home.
    QVERIFY(m_fx->window->close());
    QScopedPointer<QTemporaryDir> home;
    home.swap(m_fx->home);
    m_fx.reset();
    m_fx.reset(new WindowFixture);
    m_fx->home.swap(home);
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    QCOMPARE(m_fx->Child<QComboBox>("cmMode")->currentData().toString(), QStringLiteral("Gray"));
    QCOMPARE(m_fx->Child<QSpinBox>("sbResolution")->value(), 100);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), 1);
    const QImage page(m_fx->window->PageFiles().first());
    QVERIFY(page.isGrayscale());
    QCOMPARE(page.width(), 827); // 210 mm at 100 dpi
    QCOMPARE(Reading(page, 100), QStringLiteral("1A"));
}

// The scanner is pulled out while a page is read: the pages read before stay,
// the notice waits for the scan and is then acted on; plugged in again, the
// next scan works.
void TestE2eSession::unplugDuringScan()
{
    Start(6);
    WindowFixture::WriteScenario(QStringLiteral("sheets=6\nsource=Adf-front\npage-delay-ms=400\nload=slow"));
    QVERIFY(Trigger("actionScanToLast"));
    QTRY_VERIFY_WITH_TIMEOUT(m_fx->window->PageFiles().size() >= 1, 10000);
    WindowFixture::WriteScenario(QStringLiteral(
        "sheets=6\nsource=Adf-front\npage-delay-ms=400\nload=slow\nusb=none\ndevices=zylkx:KX-F600"));
    emit m_fx->Monitor()->sglUSBListChanged(2);
    // The scan job, then the rebuild it starts.
    QVERIFY(m_fx->WaitJobDone(2, 60000));
    QTest::qWait(300);
    QVERIFY(!m_fx->window->UsbPending());
    const QList<QString> kept = m_fx->window->PageFiles();
    // The complete pages, then, when the unplug came in the middle of a page
    // rather than between two, the interrupted one whose data (possibly none
    // yet) stays in its ".part" file.
    QVERIFY2(kept.size() >= 1 && kept.size() < 6, qPrintable(QString::number(kept.size())));
    const bool cut = !QFileInfo::exists(kept.last());
    const int complete = cut ? kept.size() - 1 : kept.size();
    for (int i = 0; i < complete; ++i) {
        QCOMPARE(Reading(QImage(kept.at(i)), kDpi), QStringLiteral("%1A").arg(i + 1));
    }
    if (cut) {
        QVERIFY(QFileInfo::exists(kept.last() + QStringLiteral(".part")));
    }

    QCOMPARE(m_fx->answerer.texts.size(), 2);
    QVERIFY2(m_fx->answerer.texts.first().contains(QStringLiteral("(错误码:9)")),
             qPrintable(m_fx->answerer.texts.first()));
    QCOMPARE(m_fx->answerer.texts.last(), kDone);
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), kNoScanner);

    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    emit m_fx->Monitor()->sglUSBListChanged(1);
    QVERIFY(m_fx->WaitJobDone());
    QTRY_VERIFY(m_fx->LabelText("lblScannerInfo") != kNoScanner);
    m_fx->SetResolution(kDpi);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), kept.size() + 1);
    QCOMPARE(m_fx->window->PageFiles().mid(0, kept.size()), kept);
}

QTEST_MAIN(TestE2eSession)
#include "tst_e2esession.moc"
