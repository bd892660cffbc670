// The family Kx panel on the options of the simulated Kx scanners.
#include "kxscanneroptionswidget.h"
#include "panelscript.h"
#include "simoptions.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

using namespace PanelHelpers;

namespace {
const QString kFeeder = QStringLiteral("zylkx:KX-8000");
const QString kFlatbed = QStringLiteral("zylkx:KX-F600");
} // namespace

class TestKxScannerOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startUpFromDevice();
    void randomSessionsKeepTheRules_data();
    void randomSessionsKeepTheRules();
    void rules_data();
    void rules();
    void resolutionBands_data();
    void resolutionBands();
    void scanPairs_data();
    void scanPairs();
    void totalScanCount_data();
    void totalScanCount();
    void mergingBlocksItemFour();
    void flatbedOnlyDevice();
    void returnKeyLeavesResolution();
    void roundTrip();

private:
    std::unique_ptr<KxScannerOptionsWidget> Start(const QString& device, bool useDefaults = false);

    std::unique_ptr<SimulatedScanners> m_sim;
    QHash<QString, QHash<QString, Opt_Result>> m_options;
    QTemporaryDir m_dir;
};

void TestKxScannerOptions::initTestCase()
{
    m_sim.reset(new SimulatedScanners);
    for (const QString& device : {kFeeder, kFlatbed}) {
        m_options[device] = m_sim->Options(device);
        QVERIFY2(m_options[device].contains(QStringLiteral("source")), qPrintable(device));
    }
}

void TestKxScannerOptions::init()
{
    SimulatedScanners::FillLimits();
    QDir(m_dir.path()).removeRecursively();
}

std::unique_ptr<KxScannerOptionsWidget> TestKxScannerOptions::Start(const QString& device, bool useDefaults)
{
    std::unique_ptr<KxScannerOptionsWidget> panel(new KxScannerOptionsWidget);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    panel->m_configPath = m_dir.path();
    panel->m_options = m_options.value(device);
    panel->InitSpecial();
    panel->InitWidgetByOption(device, useDefaults);
    return panel;
}

void TestKxScannerOptions::startUpFromDevice()
{
    auto panel = Start(kFeeder);
    QWidget* p = panel.get();
    // The device's current values; automatic size is off, so the paper size is choosable.
    PanelScript::Expect(p,
                        {"cmSource==Adf-front", "cmMode==Color", "sbResolution==200", "cmPaperSize==A4",
                         "+cmPaperSize", "-dsbBrx", "-dsbBry", "+cmBgcolor", "cbMultifeedDetection==no",
                         "+cbMultifeedDetection", "-cmMultiImageOutputList", "dsbBry^=5588", "dsbBrx^=216"});
    QCOMPARE(panel->GetMode(), QStringLiteral("Color"));
    QCOMPARE(panel->GetSource(), QStringLiteral("Adf-front"));
    QCOMPARE(Find<QTabWidget>(p, "twOptions")->currentIndex(), 0);
}

void TestKxScannerOptions::randomSessionsKeepTheRules_data()
{
    QTest::addColumn<quint32>("seed");
    // SCANVY_SEED runs one chosen seed; CI runs the fixed list.
    const QByteArray chosen = qgetenv("SCANVY_SEED");
    if (!chosen.isEmpty()) {
        QTest::newRow(chosen.constData()) << chosen.toUInt();
        return;
    }
    for (quint32 seed : {1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u}) {
        QTest::newRow(QByteArray::number(seed).constData()) << seed;
    }
}

// Random user actions on the widgets whose rules meet (source, automatic
// size, its priority, background, merging, blank-page skip); after each one
// the enabled states must be what the rules together imply. A failure names
// the seed and the actions so far.
void TestKxScannerOptions::randomSessionsKeepTheRules()
{
    QFETCH(quint32, seed);
    auto panel = Start(kFeeder);
    QWidget* p = panel.get();
    QRandomGenerator random(seed);
    const QStringList combos{"cmSource", "cmBgcolor", "cmPageAutoPriority"};
    const QStringList boxes{"cbPageAuto", "cbFrontBackMerging", "cbBlankPageSkip"};
    QStringList done;
    for (int step = 0; step < 60; ++step) {
        const int pick = random.bounded(combos.size() + boxes.size());
        if (pick < combos.size()) {
            auto* combo = Find<QComboBox>(p, combos.at(pick));
            if (!combo->isEnabled() || combo->count() < 2) {
                continue;
            }
            const int index = random.bounded(combo->count());
            combo->setCurrentIndex(index);
            done << combos.at(pick) + QLatin1Char('=') + combo->itemData(index).toString();
        } else {
            auto* box = Find<QCheckBox>(p, boxes.at(pick - combos.size()));
            if (!box->isEnabled()) {
                continue;
            }
            box->click();
            done << box->objectName() + QLatin1Char('=') + QString::number(box->isChecked());
        }

        const bool flatbed = Value(p, "cmSource") == QLatin1String("Flatbed");
        const bool pageAuto = Find<QCheckBox>(p, "cbPageAuto")->isChecked();
        const bool black = Enabled(p, "cmBgcolor") && Value(p, "cmBgcolor") == QLatin1String("Black");
        const bool merging =
            Enabled(p, "cbFrontBackMerging") && Find<QCheckBox>(p, "cbFrontBackMerging")->isChecked();
        const bool skip = Find<QCheckBox>(p, "cbBlankPageSkip")->isChecked();
        QString broken;
        if (Enabled(p, "sbBlankPageSkipSensitivity") != (!flatbed && skip)) {
            broken = QStringLiteral("blank-page sensitivity enabled %1")
                         .arg(Enabled(p, "sbBlankPageSkipSensitivity"));
        } else if (Enabled(p, "cmPageAutoPriority") && !(pageAuto && black && !flatbed)) {
            broken = QStringLiteral("priority enabled with automatic size %1, background %2, source %3")
                         .arg(pageAuto)
                         .arg(Value(p, "cmBgcolor"), Value(p, "cmSource"));
        } else if (Enabled(p, "cbEdgeRepair") && (!pageAuto || merging)) {
            broken = QStringLiteral("edge repair enabled with automatic size %1, merging %2")
                         .arg(pageAuto)
                         .arg(merging);
        } else if (Enabled(p, "cmSource") == merging) {
            broken = QStringLiteral("source choosable while merging, or locked without it");
        }
        QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("seed %1 (SCANVY_SEED=%1), after %2: %3")
                                                  .arg(seed)
                                                  .arg(done.join(QLatin1Char(' ')), broken)));
    }
}

void TestKxScannerOptions::rules_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("automatic size off as read from the device")
        << QStringList{}
        << QStringList{"cbPageAuto==no", "+cmPaperSize", "-dsbBrx", "-cmPageAutoPriority", "-cbEdgeRepair"};
    QTest::newRow("gray") << QStringList{"cmCleanupSharpness=Smoothing", "cmMode=Gray"}
                          << QStringList{
                                 "cmCleanupSharpness==None", "-cmCleanupSharpness", "+cmDropOutColor",
                                 "+cmJpegQuality",           "-cmBwMode",           "+cmColorCleanup"};
    QTest::newRow("lineart with iDTC")
        << QStringList{"cmMode=Lineart", "cmBwMode=SDTC", "cmBwMode=iDTC"}
        << QStringList{
               "-cmToneAdjustment",    "-sbShadow",         "-sbHighlight",        "-dsbGamma",
               "-sbContrast",          "-sbBrightness",     "-cmCleanupSharpness", "+sbBWIDTCSensitivity",
               "+sbBWIDTCBGThreshold", "-cmBwSdtcVariance", "-sbThreshold",        "+cmBwMode",
               "-cmJpegQuality",       "-cmColorCleanup"};
    QTest::newRow("lineart with threshold")
        << QStringList{"cmMode=Lineart", "cmBwMode=Threshold"}
        << QStringList{"+sbThreshold", "-sbBWIDTCSensitivity", "+cmToneAdjustment", "+cmCleanupSharpness",
                       "-sbShadow"};
    QTest::newRow("custom tone") << QStringList{"cmToneAdjustment=Custom"}
                                 << QStringList{"+sbShadow", "+sbHighlight", "+dsbGamma", "+sbContrast",
                                                "+sbBrightness"};
    QTest::newRow("flatbed") << QStringList{"cmSource=Flatbed"}
                             << QStringList{"cmPaperSize==Custom",
                                            "-cmPaperSize",
                                            "-cbMultifeedDetection",
                                            "-cbBlankPageSkip",
                                            "-cmBgcolor",
                                            "-cmPageAutoPriority",
                                            "+dsbBrx",
                                            "+dsbBry",
                                            "-cbFrontBackMerging",
                                            "dsbBry^=297",
                                            "dsbBrx^=215.9"};
    QTest::newRow("flatbed with automatic size")
        << QStringList{"cbPageAuto=1", "cmSource=Flatbed"}
        << QStringList{"-dsbBrx", "-dsbBry", "+cbEdgeRepair", "+cbHolePunchRemoval"};
    QTest::newRow("back to the feeder") << QStringList{"cmSource=Flatbed", "cmSource=Adf-duplex"}
                                        << QStringList{"+cmPaperSize", "+cbMultifeedDetection", "+cmBgcolor",
                                                       "+cbFrontBackMerging", "-cmPageAutoPriority"};
    QTest::newRow("custom paper") << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom"}
                                  << QStringList{"+cmPaperSize", "+dsbBrx", "+dsbBry", "dsbBry^=5588"};
    QTest::newRow("automatic size, black, accuracy")
        << QStringList{"cbPageAuto=1"}
        << QStringList{"+cmPageAutoPriority", "+cbEdgeRepair", "-cmPaperSize", "-dsbBrx"};
    QTest::newRow("speed disables edge repair")
        << QStringList{"cbPageAuto=1", "cmPageAutoPriority=Speed"} << QStringList{"-cbEdgeRepair"};
    QTest::newRow("accuracy again") << QStringList{"cbPageAuto=1", "cmPageAutoPriority=Speed",
                                                   "cmPageAutoPriority=Accuracy"}
                                    << QStringList{"+cbEdgeRepair"};
    QTest::newRow("accuracy while merging")
        << QStringList{"cbPageAuto=1", "cbFrontBackMerging=1", "cmPageAutoPriority=Speed",
                       "cmPageAutoPriority=Accuracy"}
        << QStringList{"-cbEdgeRepair", "+cmPageAutoPriority"};
    QTest::newRow("white background")
        << QStringList{"cbPageAuto=1", "cbHolePunchRemoval=1", "cmBgcolor=White"}
        << QStringList{"-cmPageAutoPriority", "-cbEdgeRepair", "-cbHolePunchRemoval",
                       "-cmHolePunchRemovalFillColor", "-cmHolePunchRemovalMode"};
    QTest::newRow("black background again")
        << QStringList{"cbPageAuto=1", "cbHolePunchRemoval=1", "cmBgcolor=White", "cmBgcolor=Black"}
        << QStringList{"+cmPageAutoPriority", "+cbEdgeRepair", "+cbHolePunchRemoval",
                       "+cmHolePunchRemovalFillColor", "+cmHolePunchRemovalMode"};
    QTest::newRow("black background while merging")
        << QStringList{"cbPageAuto=1", "cbFrontBackMerging=1", "cmBgcolor=White", "cmBgcolor=Black"}
        << QStringList{"-cbEdgeRepair", "+cmPageAutoPriority"};
    QTest::newRow("hole punch") << QStringList{"cbHolePunchRemoval=1"}
                                << QStringList{"+cmHolePunchRemovalFillColor", "+cmHolePunchRemovalMode"};
    QTest::newRow("blank page") << QStringList{"cbBlankPageSkip=1"}
                                << QStringList{"+sbBlankPageSkipSensitivity"};
    QTest::newRow("colour cleanup") << QStringList{"cmColorCleanup=Red"}
                                    << QStringList{"+sbColorCleanupCleanness"};
    QTest::newRow("split") << QStringList{"cbSplitImage=1"} << QStringList{"-cbFrontBackMerging"};
    QTest::newRow("split off") << QStringList{"cbSplitImage=1", "cbSplitImage=0"}
                               << QStringList{"+cbFrontBackMerging"};
    QTest::newRow("multi-image output")
        << QStringList{"cmMode=Multi-image-output"}
        << QStringList{"+cmMultiImageOutputList", "-cbFrontBackMerging", "-cmDropOutColor", "+cmJpegQuality"};
    QTest::newRow("merging") << QStringList{"cbPageAuto=1", "cbFrontBackMerging=1"}
                             << QStringList{"-cmSource",           "-cbSplitImage",       "-cbEdgeRepair",
                                            "+cmBackSideLocation", "+cmBackSideRotation", "+cmRotation"};
    QTest::newRow("merging off") << QStringList{"cbPageAuto=1", "cbFrontBackMerging=1",
                                                "cbFrontBackMerging=0"}
                                 << QStringList{"+cmSource", "+cbSplitImage", "+cbEdgeRepair",
                                                "-cmBackSideLocation", "-cmBackSideRotation"};
    QTest::newRow("merging limit at 300 dpi")
        << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "sbResolution=300",
                       "cbFrontBackMerging=1"}
        << QStringList{"dsbBry^=863.6"};
    QTest::newRow("merging limit at 301 dpi")
        << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "cbFrontBackMerging=1",
                       "sbResolution=301"}
        << QStringList{"dsbBry^=431.8"};
    QTest::newRow("feeder limit at 600 dpi")
        << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "sbResolution=600"}
        << QStringList{"dsbBry^=863.6"};
    QTest::newRow("feeder limit at 350 dpi")
        << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "sbResolution=350"}
        << QStringList{"dsbBry^=1727.2"};
}

void TestKxScannerOptions::rules()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, expected);
    auto panel = Start(kFeeder);
    PanelScript::Act(panel.get(), actions);
    PanelScript::Expect(panel.get(), expected);
}

void TestKxScannerOptions::resolutionBands_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("applied");
    QTest::newRow("150 to 180, one band") << 150 << 180 << false;
    QTest::newRow("180 to 250, band change") << 180 << 250 << true;
    QTest::newRow("250 to 300, one band") << 250 << 300 << false;
    QTest::newRow("from a band's top, one band") << 200 << 150 << false;
    QTest::newRow("400 to 401, band change") << 400 << 401 << true;
    QTest::newRow("50 is outside every band") << 60 << 50 << true;
}

void TestKxScannerOptions::resolutionBands()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, applied);
    auto panel = Start(kFeeder);
    PanelScript::Act(panel.get(), {"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom",
                                   "sbResolution=" + QString::number(from)});
    auto* bry = Find<QDoubleSpinBox>(panel.get(), "dsbBry");
    // Move every limit, so that any new application of the limits shows.
    for (const char* key : {"200", "300", "400", "600"})
        GData::ctx().m_resMaxHeight[key] = QStringLiteral("500");
    const double before = bry->maximum();
    QVERIFY(!qFuzzyCompare(before, 500.0));
    Find<QSpinBox>(panel.get(), "sbResolution")->setValue(to);
    QCOMPARE(qFuzzyCompare(bry->maximum(), 500.0), applied);
}

void TestKxScannerOptions::scanPairs_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("flatbed") << QStringList{"cmSource=Flatbed"} << QStringList{"br-x", "br-y"}
                             << QStringList{"page-width", "page-height", "cropping", "multifeed-detection",
                                            "paper-size"};
    QTest::newRow("feeder custom size")
        << QStringList{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "dsbBry=297.5"}
        << QStringList{"page-width=210", "br-x=210", "page-height=297.5", "br-y=297.5",
                       "cropping=Old_specification"}
        << QStringList{};
    QTest::newRow("white background")
        << QStringList{"cmBgcolor=White"} << QStringList{"bgcolor=White"} << QStringList{"cropping"};
    QTest::newRow("automatic size with overscan") << QStringList{"cbPageAuto=1", "cmCropping=Overscan"}
                                                  << QStringList{"page-auto=yes"} << QStringList{"cropping"};
    QTest::newRow("overscan without automatic size")
        << QStringList{"cmCropping=Overscan"} << QStringList{"cropping=Overscan"} << QStringList{};
    QTest::newRow("gray") << QStringList{"cmMode=Gray"}
                          << QStringList{"mode=Gray", "jpeg=yes", "jpeg-quality=4"}
                          << QStringList{"bw-mode", "cleanup-sharpness", "multi-image-output-list"};
    QTest::newRow("lineart") << QStringList{"cmMode=Lineart"} << QStringList{"mode=Lineart", "bw-mode"}
                             << QStringList{"jpeg", "jpeg-quality", "color-cleanup"};
}

void TestKxScannerOptions::scanPairs()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    auto panel = Start(kFeeder);
    PanelScript::Act(panel.get(), actions);
    const QStringList pairs = ScanPairs(*panel);
    QStringList names = Names(pairs);
    for (const QString& p : present)
        QVERIFY2(p.contains(QLatin1Char('=')) ? pairs.contains(p) : names.contains(p), qPrintable(p));
    for (const QString& a : absent)
        QVERIFY2(!names.contains(a), qPrintable(a));
    QCOMPARE(names.removeDuplicates(), 0);
}

void TestKxScannerOptions::totalScanCount_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("count");
    QTest::newRow("one sheet") << QStringList{} << 1;
    QTest::newRow("split") << QStringList{"cbSplitImage=1"} << 2;
    QTest::newRow("multi-image output") << QStringList{"cmMode=Multi-image-output"} << 2;
    QTest::newRow("split and multi-image output")
        << QStringList{"cbSplitImage=1", "cmMode=Multi-image-output"} << 4;
    QTest::newRow("flatbed") << QStringList{"cbSplitImage=1", "cmSource=Flatbed"} << 0;
}

void TestKxScannerOptions::totalScanCount()
{
    QFETCH(QStringList, actions);
    auto panel = Start(kFeeder);
    PanelScript::Act(panel.get(), actions);
    QTEST(panel->GetTotalScanCount(), "count");
}

void TestKxScannerOptions::mergingBlocksItemFour()
{
    auto panel = Start(kFeeder);
    auto* rotation = Find<QComboBox>(panel.get(), "cmRotation");
    auto* mode = Find<QComboBox>(panel.get(), "cmMode");
    rotation->setCurrentIndex(4);
    Check(panel.get(), "cbFrontBackMerging", true);
    QCOMPARE(rotation->currentIndex(), 0);
    const auto flags = [](QComboBox* c) { return c->model()->flags(c->model()->index(4, 0)); };
    QVERIFY(!(flags(rotation) & Qt::ItemIsEnabled));
    QVERIFY(!(flags(mode) & Qt::ItemIsEnabled));
    Check(panel.get(), "cbFrontBackMerging", false);
    QVERIFY(flags(rotation) & Qt::ItemIsEnabled);
    QVERIFY(flags(mode) & Qt::ItemIsEnabled);
}

void TestKxScannerOptions::flatbedOnlyDevice()
{
    auto panel = Start(kFlatbed);
    QWidget* p = panel.get();
    QCOMPARE(Find<QComboBox>(p, "cmPaperSize")->findData("Custom") >= 0, true);
    PanelScript::Expect(p, {"dsbBry^=297", "dsbBrx^=215.9", "-cmPaperSize"});
    PanelScript::Act(p, {"cbPageAuto=1", "cbPageAuto=0"});
    const QStringList pairs = ScanPairs(*panel);
    QVERIFY2(Names(pairs).contains("br-x") && Names(pairs).contains("br-y"), qPrintable(pairs.join(' ')));
    QVERIFY(!Names(pairs).contains("page-width"));
    QVERIFY(!Names(pairs).contains("page-height"));
    QCOMPARE(panel->GetTotalScanCount(), 0);
}

void TestKxScannerOptions::returnKeyLeavesResolution()
{
    auto panel = Start(kFeeder);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    auto* resolution = Find<QSpinBox>(panel.get(), "sbResolution");
    resolution->setFocus();
    QTRY_VERIFY(resolution->hasFocus());
    QTest::keyClick(resolution, Qt::Key_Enter);
    QVERIFY(!resolution->hasFocus());
    QVERIFY(panel->hasFocus());
    resolution->setFocus();
    QTest::keyClick(resolution, Qt::Key_5);
    QVERIFY(resolution->hasFocus());
}

void TestKxScannerOptions::roundTrip()
{
    auto panel = Start(kFeeder);
    PanelScript::Act(panel.get(),
                     {"cmSource=Adf-duplex", "cmMode=Lineart", "cmBwMode=Threshold", "sbThreshold=99",
                      "sbResolution=300", "cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom",
                      "dsbBry=400.5", "cbMultifeedDetection=1", "cbHolePunchRemoval=1", "cmRotation=90"});
    QVERIFY(panel->SaveParamsToIni());
    QVERIFY(QFile::exists(m_dir.filePath("zylkx_KX-8000.ini")));

    // The rebuilt panel has the saved values and enabled states.
    auto rebuilt = Start(kFeeder);
    QCOMPARE(State(*rebuilt), State(*panel));
    QCOMPARE(ScanPairs(*rebuilt), ScanPairs(*panel));

    // Restoring defaults ignores the file.
    auto defaults = Start(kFeeder, true);
    PanelScript::Expect(defaults.get(), {"cmMode==Color", "sbResolution==200"});
}

QTEST_MAIN(TestKxScannerOptions)
#include "tst_kxscanneroptions.moc"
