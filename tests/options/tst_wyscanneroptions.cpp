// The family Wy panel on the options of the simulated Wy scanner.
#include "panelscript.h"
#include "simoptions.h"
#include "wyscanneroptionswidget.h"

#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

using namespace PanelHelpers;

namespace {
const QString kDevice = QStringLiteral("zylwy:WY200");
} // namespace

class TestWyScannerOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startUp();
    void longPageScanPairs();
    void toneGroupNeverSentAfterModeChange();
    void splitIgnoresTheSource();
    void cropping_data();
    void cropping();
    void roundTrip();

private:
    std::unique_ptr<WyScannerOptionsWidget> Start(const QHash<QString, Opt_Result>& options);
    std::unique_ptr<WyScannerOptionsWidget> Start() { return Start(m_options); }

    QHash<QString, Opt_Result> m_options;
    QTemporaryDir m_dir;
};

void TestWyScannerOptions::initTestCase()
{
    SimulatedScanners sim;
    m_options = sim.Options(kDevice);
    QVERIFY(m_options.contains(QStringLiteral("source")));
}

void TestWyScannerOptions::init()
{
    SimulatedScanners::FillLimits(true);
    QDir(m_dir.path()).removeRecursively();
}

std::unique_ptr<WyScannerOptionsWidget> TestWyScannerOptions::Start(const QHash<QString, Opt_Result>& options)
{
    std::unique_ptr<WyScannerOptionsWidget> panel(new WyScannerOptionsWidget);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    panel->m_configPath = m_dir.path();
    panel->m_options = options;
    panel->InitSpecial();
    panel->InitWidgetByOption(kDevice, false);
    return panel;
}

void TestWyScannerOptions::startUp()
{
    auto panel = Start();
    PanelScript::Expect(panel.get(), {"+cmPaperSize", "-dsbBrx", "-dsbBry", "cbLongPage==no", "dsbBry^=3000",
                                      "cmSource==Adf-front"});
}

void TestWyScannerOptions::longPageScanPairs()
{
    auto panel = Start();
    PanelScript::Act(panel.get(), {"sbResolution=300", "cbLongPage=1"});
    const QStringList pairs = ScanPairs(*panel);
    const QStringList tail{"paper-size=Custom", "page-width=218", "br-x=218", "page-height=1100",
                           "br-y=1100"};
    QCOMPARE(pairs.mid(pairs.size() - 5), tail);
    QCOMPARE(pairs.mid(0, 4),
             (QStringList{"source=Adf-front", "mode=Color", "resolution=300", "custom-longpage=yes"}));
    QCOMPARE(Names(pairs).count("br-x"), 1);
    QCOMPARE(Names(pairs).count("paper-size"), 1);
}

void TestWyScannerOptions::toneGroupNeverSentAfterModeChange()
{
    auto panel = Start();
    PanelHelpers::Choose(panel.get(), "cmMode", "Gray");
    const QStringList names = Names(ScanPairs(*panel));
    for (const char* name : {"brightness", "contrast", "shadow", "highlight", "gamma"})
        QVERIFY2(!names.contains(name), name);
    QVERIFY(panel->SaveParamsToIni());
    QFile file(m_dir.filePath("zylwy_WY200.ini"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    for (const char* line : {"brightness=0|0", "shadow=", "gamma=1.6|0"})
        QVERIFY2(raw.contains(line) && !raw.contains(QByteArray(line).split('|').first() + "|1"), line);
}

void TestWyScannerOptions::splitIgnoresTheSource()
{
    QHash<QString, Opt_Result> options = m_options;
    options["source"].stringList.prepend(QStringLiteral("Flatbed"));
    auto panel = Start(options);
    PanelScript::Act(panel.get(), {"cmSource=Flatbed", "cbSplitImage=1", "cbSplitImage=0"});
    PanelScript::Expect(panel.get(), {"+cbFrontBackMerging"});
    QCOMPARE(panel->GetTotalScanCount(), 0);
}

void TestWyScannerOptions::cropping_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<bool>("sent");
    QTest::newRow("feeder, fixed size") << QStringList{} << true;
    QTest::newRow("automatic size") << QStringList{"cbPageAuto=1"} << false;
}

void TestWyScannerOptions::cropping()
{
    QFETCH(QStringList, actions);
    QFETCH(bool, sent);
    auto panel = Start();
    PanelScript::Act(panel.get(), actions);
    QCOMPARE(Names(ScanPairs(*panel)).contains("cropping"), sent);
}

void TestWyScannerOptions::roundTrip()
{
    auto panel = Start();
    PanelScript::Act(panel.get(), {"cmSource=Adf-duplex", "sbResolution=300", "cbLongPage=1", "cmMode=Gray",
                                   "cbMultifeedDetection=1", "cbSplitImage=1", "cmRotation=180",
                                   "cbBlankPageSkip=1", "sbBlankPageSkipSensitivity=5"});
    QVERIFY(panel->SaveParamsToIni());
    auto rebuilt = Start();
    QCOMPARE(State(*rebuilt), State(*panel));
    QCOMPARE(ScanPairs(*rebuilt), ScanPairs(*panel));
    QCOMPARE(rebuilt->GetTotalScanCount(), 2);
}

QTEST_MAIN(TestWyScannerOptions)
#include "tst_wyscanneroptions.moc"
