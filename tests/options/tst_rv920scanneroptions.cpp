// The overhead scanner panel on the options of the simulated RV920.
#include "panelscript.h"
#include "rv920scanneroptionswidget.h"
#include "simoptions.h"

#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

using namespace PanelHelpers;

namespace {
const QString kDevice = QStringLiteral("zyljn:RV920");
} // namespace

class TestRV920ScannerOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { QDir(m_dir.path()).removeRecursively(); }
    void startsAt200DpiOnTheThirdMode_data();
    void startsAt200DpiOnTheThirdMode();
    void pageSizeSentUnderItsOwnNames_data();
    void pageSizeSentUnderItsOwnNames();
    void roundTrip();

private:
    std::unique_ptr<RV920ScannerOptionsWidget> Start(const QHash<QString, Opt_Result>& options);
    std::unique_ptr<RV920ScannerOptionsWidget> Start() { return Start(m_options); }

    QHash<QString, Opt_Result> m_options;
    QTemporaryDir m_dir;
};

void TestRV920ScannerOptions::initTestCase()
{
    SimulatedScanners sim;
    m_options = sim.Options(kDevice);
    QVERIFY(m_options.contains(QStringLiteral("resolution")));
}

std::unique_ptr<RV920ScannerOptionsWidget>
TestRV920ScannerOptions::Start(const QHash<QString, Opt_Result>& options)
{
    std::unique_ptr<RV920ScannerOptionsWidget> panel(new RV920ScannerOptionsWidget);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    panel->m_configPath = m_dir.path();
    panel->m_options = options;
    panel->InitSpecial();
    panel->InitWidgetByOption(kDevice, false);
    return panel;
}

void TestRV920ScannerOptions::startsAt200DpiOnTheThirdMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("resolution");
    QTest::newRow("device defaults") << "Color"
                                     << "200";
    QTest::newRow("device on lineart at 600 dpi") << "Lineart"
                                                  << "600";
    QTest::newRow("device on gray at 100 dpi") << "Gray"
                                               << "100";
}

void TestRV920ScannerOptions::startsAt200DpiOnTheThirdMode()
{
    QFETCH(QString, mode);
    QFETCH(QString, resolution);
    QHash<QString, Opt_Result> options = m_options;
    options["mode"].value = mode;
    options["resolution"].value = resolution;
    auto panel = Start(options);
    QCOMPARE(Find<QComboBox>(panel.get(), "cmMode")->currentIndex(), 2);
    PanelScript::Expect(panel.get(),
                        {"cmResolution==200", "-cmPaperSize", "-dsbPageWidth", "-dsbPageHeight"});
    QCOMPARE(Find<QComboBox>(panel.get(), "cmResolution")->itemText(5), QStringLiteral("600"));
    QCOMPARE(panel->GetMode(), QStringLiteral("Color"));
    QCOMPARE(panel->GetTotalScanCount(), 1);
}

void TestRV920ScannerOptions::pageSizeSentUnderItsOwnNames_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("sizePairs");
    QTest::newRow("disabled size widgets") << QStringList{} << QStringList{};
    QTest::newRow("custom size") << QStringList{"cbPageAuto=1", "cbPageAuto=0", "dsbPageWidth=300",
                                                "dsbPageHeight=210.5"}
                                 << QStringList{"page-width=300", "page-height=210.5"};
}

void TestRV920ScannerOptions::pageSizeSentUnderItsOwnNames()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, sizePairs);
    auto panel = Start();
    PanelScript::Act(panel.get(), actions);
    const QStringList pairs = ScanPairs(*panel);
    QStringList sizes;
    for (const QString& p : pairs) {
        if (p.startsWith("page-width") || p.startsWith("page-height") || p.startsWith("br-"))
            sizes << p;
    }
    QCOMPARE(sizes, sizePairs);
    QVERIFY(pairs.contains("resolution=200"));
    QCOMPARE(pairs.first(), QStringLiteral("source=Simplex-scan"));
}

void TestRV920ScannerOptions::roundTrip()
{
    auto panel = Start();
    PanelScript::Act(panel.get(),
                     {"cmMode=Lineart", "cmResolution=400", "cbPageAuto=1", "cbPageAuto=0",
                      "dsbPageWidth=250.25", "sbThreshold=77", "cbTimeScan=1", "sbIntervalTime=9"});
    QVERIFY(panel->SaveParamsToIni());
    QVERIFY(QFile::exists(m_dir.filePath("zyljn_RV920.ini")));
    auto rebuilt = Start();
    QCOMPARE(State(*rebuilt), State(*panel));
    QCOMPARE(Find<QComboBox>(rebuilt.get(), "cmMode")->currentIndex(), 0);
}

QTEST_MAIN(TestRV920ScannerOptions)
#include "tst_rv920scanneroptions.moc"
