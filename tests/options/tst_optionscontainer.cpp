// The settings page: the panel chosen by device name, and the selector put
// back after a refused scanner switch.
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

namespace {

// Which panel the page shows: "kx", "wy", "rv920" or "none" (the message).
QString Shown(OptionsContainerWidget& page)
{
    for (const char* name : {"Kx", "Wy", "RV920"}) {
        QWidget* w = page.findChild<QWidget*>(QString("%1ScannerOptionsWidget").arg(name));
        if (w && w->isVisibleTo(&page))
            return QString(name).toLower();
    }
    return page.findChild<QLabel*>("lblNoPanel")->isVisibleTo(&page) ? "none" : "";
}

} // namespace

class TestOptionsContainer : public QObject {
    Q_OBJECT
private slots:
    void panelByPrefix_data();
    void panelByPrefix();
    void restoreChangeDeviceIsSilent();
};

void TestOptionsContainer::panelByPrefix_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("shown");
    QTest::newRow("RV920 with a suffix") << "zyljn:RV920-2"
                                         << "rv920";
    QTest::newRow("other zyljn device") << "zyljn:RV930"
                                        << "none";
    QTest::newRow("Kx") << "zylkx:libusb:001:004"
                        << "kx";
    QTest::newRow("Wy") << "zylwy:WY200"
                        << "wy";
}

// Each family panel loads with the widgets the other tests drive by name.
void TestOptionsContainer::panelByPrefix()
{
    QFETCH(QString, device);
    QFETCH(QString, shown);
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({device});
    QCOMPARE(Shown(page), shown);
    QCOMPARE(page.m_currentPanel != nullptr, shown != QLatin1String("none"));
    if (!page.m_currentPanel)
        return;
    auto* panel = dynamic_cast<QWidget*>(page.m_currentPanel);
    QCOMPARE(panel->findChild<QTabWidget*>("twOptions")->currentIndex(), 0);
    for (const char* name : {"cmMode", "cmPaperSize", "cbPageAuto"})
        QVERIFY2(panel->findChild<QWidget*>(name), name);
}

void TestOptionsContainer::restoreChangeDeviceIsSilent()
{
    const QString kx = QStringLiteral("zylkx:KX-8000");
    OptionsContainerWidget page(QStringLiteral("/nonexistent"));
    page.InitScannerList({kx, QStringLiteral("zylwy:WY200")});
    auto* list = page.findChild<QComboBox*>("cmScannerList");
    list->setCurrentIndex(1);
    QSignalSpy before(&page, &OptionsContainerWidget::sglBeforeChangeDevice);
    QSignalSpy change(&page, &OptionsContainerWidget::sglChangeDevice);
    page.RestoreChangeDevice();
    QCOMPARE(list->currentText(), kx);
    QCOMPARE(page.m_currentDevice, kx);
    QCOMPARE(before.count() + change.count(), 0);
    // The visible panel is left for the caller.
    QCOMPARE(Shown(page), QStringLiteral("wy"));
}

QTEST_MAIN(TestOptionsContainer)
#include "tst_optionscontainer.moc"
