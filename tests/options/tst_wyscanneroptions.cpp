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
    void rules_data();
    void rules();
    void longPageScanPairs();
    void longPageFollowsResolutionBands_data();
    void longPageFollowsResolutionBands();
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

void TestWyScannerOptions::rules_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("start-up") << QStringList{}
                              << QStringList{"+cmPaperSize",       "-dsbBrx",      "-dsbBry",
                                             "cbLongPage==no",     "dsbBry^=3000", "dsbBrx^=218",
                                             "cmSource==Adf-front"};
    QTest::newRow("long page at 300 dpi")
        << QStringList{"sbResolution=300", "cbLongPage=1"}
        << QStringList{"cmPaperSize==Custom", "-cmPaperSize", "-dsbBrx", "-dsbBry",
                       "dsbBrx==218",         "dsbBry==1100"};
    QTest::newRow("long page off enables the size widgets")
        << QStringList{"cbLongPage=1", "cbLongPage=0"} << QStringList{"+cmPaperSize", "+dsbBrx", "+dsbBry"};
    QTest::newRow("custom paper") << QStringList{"sbResolution=250", "cmPaperSize=Custom"}
                                  << QStringList{"+dsbBrx", "+dsbBry", "dsbBry^=1100"};
    QTest::newRow("merging limit at 400 dpi") << QStringList{"sbResolution=400", "cbFrontBackMerging=1"}
                                              << QStringList{"dsbBry^=355.6", "-cmSource", "-cbSplitImage",
                                                             "+cmBackSideLocation", "+cmBackSideRotation"};
    QTest::newRow("merging limit at 300 dpi")
        << QStringList{"sbResolution=300", "cbFrontBackMerging=1"} << QStringList{"dsbBry^=863.6"};
    QTest::newRow("merging off") << QStringList{"cbFrontBackMerging=1", "cbFrontBackMerging=0"}
                                 << QStringList{"+cmSource", "+cbSplitImage", "-cmBackSideLocation"};
    QTest::newRow("mode change disables the tone group")
        << QStringList{"cmMode=Gray"}
        << QStringList{"-sbShadow",     "-sbHighlight",      "-dsbGamma",           "-sbContrast",
                       "-sbBrightness", "+cmToneAdjustment", "-cmCleanupSharpness", "-cmBwMode"};
    QTest::newRow("lineart") << QStringList{"cmMode=Lineart"}
                             << QStringList{"+cmBwMode", "-cmColorCleanup", "+cmDropOutColor"};
    QTest::newRow("split") << QStringList{"cbSplitImage=1"} << QStringList{"-cbFrontBackMerging"};
    QTest::newRow("multi-image output, split off")
        << QStringList{"cmMode=Multi-image-output", "cbSplitImage=1", "cbSplitImage=0"}
        << QStringList{"-cbFrontBackMerging", "+cmMultiImageOutputList"};
    QTest::newRow("blank page") << QStringList{"cbBlankPageSkip=1"}
                                << QStringList{"+sbBlankPageSkipSensitivity"};
    QTest::newRow("colour cleanup") << QStringList{"cmColorCleanup=Blue"}
                                    << QStringList{"+sbColorCleanupCleanness"};
}

void TestWyScannerOptions::rules()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, expected);
    auto panel = Start();
    PanelScript::Act(panel.get(), actions);
    PanelScript::Expect(panel.get(), expected);
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

void TestWyScannerOptions::longPageFollowsResolutionBands_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<double>("height");
    QTest::newRow("250 to 350, band change") << 250 << 350 << 431.8;
    QTest::newRow("350 to 400, one band") << 350 << 400 << 999.0;
    QTest::newRow("150 to 200, one band") << 150 << 200 << 999.0;
    QTest::newRow("200 to 201, band change") << 200 << 201 << 1100.0;
}

void TestWyScannerOptions::longPageFollowsResolutionBands()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(double, height);
    auto panel = Start();
    auto* bry = Find<QDoubleSpinBox>(panel.get(), "dsbBry");
    PanelScript::Act(panel.get(), {"sbResolution=" + QString::number(from), "cbLongPage=1"});
    // Pin the current size so that an untouched one shows.
    bry->setMaximum(999.0);
    bry->setValue(999.0);
    Find<QSpinBox>(panel.get(), "sbResolution")->setValue(to);
    QCOMPARE(bry->value(), height);
    QCOMPARE(Find<QDoubleSpinBox>(panel.get(), "dsbBrx")->value(), 218.0);
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
