// The settings page: scanner selector, its signals and the choice of panel.
#include "optionscontainerwidget.h"
#include "panelhelpers.h"
#include "parentscanneroptions.h"
#include "simoptions.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace PanelHelpers;

namespace {

const QString kKx = QStringLiteral("zylkx:KX-8000");
const QString kWy = QStringLiteral("zylwy:WY200");
const QString kRv = QStringLiteral("zyljn:RV920");

// Which panel the page shows: "kx", "wy", "rv920", "none" (message) or "" (nothing).
QString Shown(OptionsContainerWidget& page)
{
    QStringList shown;
    const QPair<const char*, const char*> panels[] = {{"KxScannerOptionsWidget", "kx"},
                                                      {"WyScannerOptionsWidget", "wy"},
                                                      {"RV920ScannerOptionsWidget", "rv920"}};
    for (const auto& panel : panels) {
        QWidget* w = page.findChild<QWidget*>(QString::fromLatin1(panel.first));
        if (w && w->isVisibleTo(&page))
            shown << QString::fromLatin1(panel.second);
    }
    if (Find<QLabel>(&page, "lblNoPanel")->isVisibleTo(&page))
        shown << QStringLiteral("none");
    return shown.join(QLatin1Char(','));
}

// The family panel widget behind the page's current panel.
QWidget* CurrentPanelWidget(OptionsContainerWidget& page)
{
    return dynamic_cast<QWidget*>(page.m_currentPanel);
}

} // namespace

class TestOptionsContainer : public QObject {
    Q_OBJECT
private slots:
    void initScannerListIsSilent();
    void userChangeSignalsInOrder();
    void restoreChangeDeviceIsSilent();
    void mousePressRemembersTheSelection();
    void panelByPrefix_data();
    void panelByPrefix();
    void defaultsButton();
    void optionsReachTheCurrentPanel();
};

void TestOptionsContainer::initScannerListIsSilent()
{
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    QSignalSpy before(&page, &OptionsContainerWidget::sglBeforeChangeDevice);
    QSignalSpy change(&page, &OptionsContainerWidget::sglChangeDevice);
    page.InitScannerList({kKx, kWy});
    QCOMPARE(page.m_currentDevice, kKx);
    QCOMPARE(Shown(page), QStringLiteral("kx"));
    QCOMPARE(before.count() + change.count(), 0);
    // The previous device is the same, so an undo keeps K.
    page.RestoreChangeDevice();
    QCOMPARE(page.m_currentDevice, kKx);

    page.InitScannerList({});
    QCOMPARE(page.m_currentDevice, QString());
    QVERIFY(!page.m_currentPanel);
    QCOMPARE(Shown(page), QString());
    QCOMPARE(before.count() + change.count(), 0);
}

void TestOptionsContainer::userChangeSignalsInOrder()
{
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({kKx, kWy});
    QStringList seen;
    connect(&page, &OptionsContainerWidget::sglBeforeChangeDevice, this,
            [&](const QString& device) { seen << "before " + device + " current " + page.m_currentDevice; });
    connect(&page, &OptionsContainerWidget::sglChangeDevice, this,
            [&](const QString& oldDevice, const QString& newDevice) {
                seen << "change " + oldDevice + " " + newDevice + " shown " + Shown(page);
            });
    Find<QComboBox>(&page, "cmScannerList")->setCurrentIndex(1);
    QCOMPARE(seen,
             (QStringList{"before " + kKx + " current " + kKx, "change " + kKx + " " + kWy + " shown wy"}));
    QCOMPARE(page.m_currentDevice, kWy);
    QCOMPARE(CurrentPanelWidget(page)->objectName(), QStringLiteral("WyScannerOptionsWidget"));
}

void TestOptionsContainer::restoreChangeDeviceIsSilent()
{
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({kKx, kWy});
    auto* list = Find<QComboBox>(&page, "cmScannerList");
    list->setCurrentIndex(1);
    QSignalSpy before(&page, &OptionsContainerWidget::sglBeforeChangeDevice);
    QSignalSpy change(&page, &OptionsContainerWidget::sglChangeDevice);
    page.RestoreChangeDevice();
    QCOMPARE(list->currentText(), kKx);
    QCOMPARE(page.m_currentDevice, kKx);
    QCOMPARE(before.count() + change.count(), 0);
    // The visible panel is left for the caller.
    QCOMPARE(Shown(page), QStringLiteral("wy"));
}

void TestOptionsContainer::mousePressRemembersTheSelection()
{
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({kKx, kWy, kRv});
    auto* list = Find<QComboBox>(&page, "cmScannerList");
    list->setCurrentIndex(1);
    // Without a press the undo goes back to the first device; after one it stays.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(list, &press);
    list->hidePopup();
    list->setCurrentIndex(2);
    page.RestoreChangeDevice();
    QCOMPARE(page.m_currentDevice, kWy);
}

void TestOptionsContainer::panelByPrefix_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("shown");
    QTest::newRow("RV920") << "zyljn:RV920"
                           << "rv920";
    QTest::newRow("RV920 with a suffix") << "zyljn:RV920-2"
                                         << "rv920";
    QTest::newRow("other zyljn device") << "zyljn:RV930"
                                        << "none";
    QTest::newRow("Kx") << "zylkx:libusb:001:004"
                        << "kx";
    QTest::newRow("Wy") << "zylwy:WY200"
                        << "wy";
    QTest::newRow("prefix is case-sensitive") << "ZYLKX:KX-8000"
                                              << "none";
    QTest::newRow("another backend") << "test:0"
                                     << "none";
}

void TestOptionsContainer::panelByPrefix()
{
    QFETCH(QString, device);
    QFETCH(QString, shown);
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({device});
    QCOMPARE(Shown(page), shown);
    QCOMPARE(page.m_currentPanel != nullptr, shown != QLatin1String("none"));
    if (page.m_currentPanel)
        QCOMPARE(Find<QTabWidget>(CurrentPanelWidget(page), "twOptions")->currentIndex(), 0);
}

void TestOptionsContainer::defaultsButton()
{
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({kKx, kWy});
    QSignalSpy defaults(&page, &OptionsContainerWidget::sglGetDefaultOpts);
    QSignalSpy change(&page, &OptionsContainerWidget::sglChangeDevice);
    Find<QPushButton>(&page, "btnGetDefaultSetting")->click();
    QCOMPARE(defaults.count(), 1);
    QCOMPARE(defaults.first().first().toString(), kKx);
    QCOMPARE(change.count(), 0);
    QCOMPARE(page.m_currentDevice, kKx);
}

void TestOptionsContainer::optionsReachTheCurrentPanel()
{
    QTemporaryDir dir;
    SimulatedScanners::FillLimits();
    SimulatedScanners sim;
    OptionsContainerWidget page(dir.path());
    page.InitScannerList({kKx, kRv});
    page.InitWidgetByOption(sim.Options(kKx), false);
    QWidget* kx = CurrentPanelWidget(page);
    QCOMPARE(Value(kx, "cmSource"), QStringLiteral("Adf-front"));
    QVERIFY(page.m_currentPanel->SaveParamsToIni());
    QVERIFY(QFile::exists(dir.filePath("zylkx_KX-8000.ini")));

    // A device without a panel gets nothing handed over.
    page.InitScannerList({QStringLiteral("zyljn:RV100")});
    page.InitWidgetByOption(sim.Options(kRv), false);
    QVERIFY(!page.m_currentPanel);
    QCOMPARE(Value(kx, "cmSource"), QStringLiteral("Adf-front"));
}

QTEST_MAIN(TestOptionsContainer)
#include "tst_optionscontainer.moc"
