// The option base on the test panel: filling widgets from option records, the
// scan pairs and change detection.
#include "optiontables.h"
#include "testpanel.h"

#include <QFontComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>
#include <functional>

using namespace OptionTables;

using Options = QHash<QString, Opt_Result>;
using OptionsEdit = std::function<void(Options&)>;
using PanelEdit = std::function<void(TestPanel&)>;
Q_DECLARE_METATYPE(OptionsEdit)
Q_DECLARE_METATYPE(PanelEdit)

namespace {

void Start(TestPanel& panel, const Options& options)
{
    panel.m_options = options;
    panel.InitSpecial();
    panel.InitWidgetByOption(QStringLiteral("zylkx:test"), true);
}

QStringList Pairs(const TestPanel& panel)
{
    QStringList out;
    for (const auto& pair : panel.m_scanParams)
        out << pair.first + QLatin1Char('=') + pair.second;
    return out;
}

QStringList ItemData(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemData(i).toString();
    return out;
}

QStringList ItemTexts(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QString EnabledItems(const QComboBox* combo)
{
    auto* model = qobject_cast<const QStandardItemModel*>(combo->model());
    QString out;
    for (int i = 0; i < combo->count(); ++i)
        out += model->item(i)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

} // namespace

class TestParentScannerOptions : public QObject {
    Q_OBJECT
private slots:
    void refusesUnboundableWidgets();
    void fill_data();
    void fill();
    void deviceFeatures_data();
    void deviceFeatures();
    void cleanupSharpnessItems_data();
    void cleanupSharpnessItems();
    void setComboboxValueIsSilent();
    void scanPairs_data();
    void scanPairs();
    void changeDetection_data();
    void changeDetection();
};

void TestParentScannerOptions::refusesUnboundableWidgets()
{
#ifdef QT_NO_DEBUG
    TestPanel panel;
    const int before = panel.m_paramConfigs.size();
    QLineEdit edit;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not bound"));
    QVERIFY(!panel.Bind(&edit, QStringLiteral("prefix")));
    // A subclass of a bindable class is not one of the four kinds either.
    QFontComboBox fancy;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not bound"));
    QVERIFY(!panel.Bind(&fancy, QStringLiteral("mode2")));
    QCOMPARE(panel.m_paramConfigs.size(), before);
    QVERIFY(panel.Bind(new QSpinBox(&panel), QStringLiteral("threshold")));
    QCOMPARE(panel.m_paramConfigs.size(), before + 1);
#else
    QSKIP("refused bindings assert in debug builds");
#endif
}

// The state a start-up gives the widget bound to `option`, as text: enabled
// state, then the value and what limits it.
QString FilledState(TestPanel& panel, const QString& option)
{
    QWidget* w = nullptr;
    for (const ParamConfig& c : panel.ParamConfigs()) {
        if (c.optionName == option)
            w = c.widget;
    }
    QString out = w->isEnabled() ? QStringLiteral("on ") : QStringLiteral("off ");
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return out + QString("%1 [%2] [%3]")
                         .arg(combo->currentData().toString(), ItemData(combo).join(','),
                              ItemTexts(combo).join(','));
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return out + QString("%1 in %2..%3 step %4")
                         .arg(spin->value())
                         .arg(spin->minimum())
                         .arg(spin->maximum())
                         .arg(spin->singleStep());
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(w))
        return out + QString("%1 in %2..%3, %4 decimals")
                         .arg(spin->value())
                         .arg(spin->minimum())
                         .arg(spin->maximum())
                         .arg(spin->decimals());
    return out + (qobject_cast<QCheckBox*>(w)->isChecked() ? "checked" : "unchecked");
}

void TestParentScannerOptions::fill_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<Opt_Result>("record");
    QTest::addColumn<QString>("state");

    const QStringList list{"Flatbed", "A4", "Adf-duplex"};
    const QString items = QStringLiteral("[Flatbed,A4,Adf-duplex] [平板,A4,进纸器(双面)]");
    QTest::newRow("string list, device value")
        << "source" << StringListOpt("source", list, "A4") << "on A4 " + items;
    QTest::newRow("string list, empty value takes the default")
        << "source" << StringListOpt("source", list, "") << "on Adf-duplex " + items;
    QTest::newRow("string list, unknown value keeps the first item")
        << "source" << StringListOpt("source", list, "Nope") << "on Flatbed " + items;
    QTest::newRow("string list, inactive option is filled but disabled")
        << "source" << StringListOpt("source", list, "Flatbed", false) << "off Flatbed " + items;
    QTest::newRow("word list as numbers") << "source" << WordListOpt("source", {75, 300.5, 1200}, "1200")
                                          << "on 1200 [75,300.5,1200] [75,300.5,1200]";
    QTest::newRow("range constraint adds no items")
        << "source" << RangeOpt("source", Int, "0", "9", "1", "3") << "on  [] []";
    QTest::newRow("absent string list") << "source" << Opt_Result() << "off  [] []";

    QTest::newRow("int device value") << "resolution" << RangeOpt("resolution", Int, "50", "600", "10", "300")
                                      << "on 300 in 50..600 step 10";
    QTest::newRow("int empty value takes the default")
        << "resolution" << RangeOpt("resolution", Int, "50", "600", "1", "") << "on 200 in 50..600 step 1";
    QTest::newRow("int value outside the range is clamped")
        << "resolution" << RangeOpt("resolution", Int, "50", "600", "1", "1200")
        << "on 600 in 50..600 step 1";
    QTest::newRow("int no step") << "resolution" << RangeOpt("resolution", Int, "50", "600", "", "150")
                                 << "on 150 in 50..600 step 0";
    QTest::newRow("int decimal limits")
        << "resolution" << RangeOpt("resolution", Int, "50.000000", "600.000000", "", "300.0")
        << "on 300 in 50..600 step 0";
    QTest::newRow("int inactive") << "resolution"
                                  << RangeOpt("resolution", Int, "50", "600", "1", "400", false)
                                  << "off 400 in 50..600 step 1";
    // Absent: the default in the widget's own range (0..99), disabled.
    QTest::newRow("absent int") << "resolution" << Opt_Result() << "off 99 in 0..99 step 1";

    QTest::newRow("fixed device value") << "gamma" << RangeOpt("gamma", Fixed, "0.1", "10", "0.1", "2.25")
                                        << "on 2.25 in 0.1..10, 2 decimals";
    QTest::newRow("fixed empty value takes the default")
        << "gamma" << RangeOpt("gamma", Fixed, "0.1", "10", "0.1", "") << "on 1.6 in 0.1..10, 2 decimals";
    QTest::newRow("fixed rounded to two decimals")
        << "gamma" << RangeOpt("gamma", Fixed, "0.1", "10", "", "1.234") << "on 1.23 in 0.1..10, 2 decimals";
    QTest::newRow("fixed inactive") << "gamma" << RangeOpt("gamma", Fixed, "0.1", "10", "", "3", false)
                                    << "off 3 in 0.1..10, 2 decimals";
    // Absent: only disabled; the value set before the start-up stays.
    QTest::newRow("absent fixed") << "gamma" << Opt_Result() << "off 7.5 in 0..99.99, 2 decimals";

    QTest::newRow("bool 1") << "page-auto" << BoolOpt("page-auto", "1") << "on checked";
    QTest::newRow("bool 0") << "page-auto" << BoolOpt("page-auto", "0") << "on unchecked";
    // The default "yes" is compared with "1", so it leaves the box unchecked.
    QTest::newRow("bool empty with default yes") << "page-auto" << BoolOpt("page-auto", "") << "on unchecked";
    QTest::newRow("bool inactive and set")
        << "page-auto" << BoolOpt("page-auto", "1", false) << "off checked";
    QTest::newRow("absent bool") << "page-auto" << Opt_Result() << "off unchecked";
}

// One option record in place of the device's, the others as the device has them.
void TestParentScannerOptions::fill()
{
    QFETCH(QString, option);
    QFETCH(Opt_Result, record);
    TestPanel panel;
    panel.dsbGamma->setValue(7.5);
    panel.cbPageAuto->setChecked(true);
    Options options = FeederDevice();
    options.remove(option);
    if (!record.name.isEmpty())
        options.insert(record.name, record);
    Start(panel, options);
    QTEST(FilledState(panel, option), "state");
}

void TestParentScannerOptions::deviceFeatures_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<bool>("flatbedOnly");
    QTest::addColumn<bool>("holePunchMode");
    QTest::addColumn<bool>("priority");
    QTest::addColumn<QStringList>("expectedNotInDriver");

    QTest::newRow("full feeder") << QStringList{"Flatbed", "Adf-front"} << QStringList() << QStringList()
                                 << false << false << false << QStringList();
    QTest::newRow("extras") << QStringList{"Adf-front"}
                            << QStringList{"hole-punch-removal-mode", "page-auto-priority"} << QStringList()
                            << false << true << true << QStringList();
    QTest::newRow("flatbed only, no scan area options")
        << QStringList{"Flatbed"} << QStringList() << QStringList{"br-x", "br-y"} << true << false << false
        << QStringList();
    QTest::newRow("feeder without scan area options")
        << QStringList{"Adf-front"} << QStringList() << QStringList{"br-x", "br-y"} << false << false << false
        << QStringList{"dsbBrx", "dsbBry"};
    QTest::newRow("companion shares the widget")
        << QStringList{"Flatbed", "Adf-front"} << QStringList() << QStringList{"mf-overlapping", "mf-length"}
        << false << false << false << QStringList{"cbMultifeedDetection", "cbMultifeedDetection"};
}

void TestParentScannerOptions::deviceFeatures()
{
    QFETCH(QStringList, sources);
    QFETCH(QStringList, missing);
    TestPanel panel;
    Options options = FeederDevice();
    options["source"].stringList = sources;
    options["source"].value = sources.first();
    QFETCH(QStringList, extra);
    for (const QString& name : extra)
        options.insert(name, StringListOpt(name, {"Standard"}, "Standard"));
    for (const QString& name : missing)
        options.remove(name);
    Start(panel, options);

    QFETCH(bool, flatbedOnly);
    QCOMPARE(panel.m_flatbedOnly, flatbedOnly);
    QFETCH(bool, holePunchMode);
    QCOMPARE(panel.m_hasHolePunchMode, holePunchMode);
    QFETCH(bool, priority);
    QCOMPARE(panel.m_hasPageAutoPriority, priority);
    QStringList notInDriver;
    for (QWidget* widget : panel.m_notInDriver)
        notInDriver << widget->objectName();
    QFETCH(QStringList, expectedNotInDriver);
    QCOMPARE(notInDriver, expectedNotInDriver);
    for (QWidget* widget : panel.m_notInDriver)
        QVERIFY(!widget->isEnabled());
    // The long-page switch is not a device option and is never disabled for it.
    QVERIFY(panel.cbLongPage->isEnabled());
}

void TestParentScannerOptions::cleanupSharpnessItems_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("Color") << "Color"
                           << "101111111";
    QTest::newRow("Auto-color-detect") << "Auto-color-detect"
                                       << "101111111";
    QTest::newRow("Multi-image-output") << "Multi-image-output"
                                        << "101111111";
    QTest::newRow("Lineart") << "Lineart"
                             << "111110000";
    QTest::newRow("Gray") << "Gray"
                          << "000000000";
}

void TestParentScannerOptions::cleanupSharpnessItems()
{
    QFETCH(QString, mode);
    TestPanel panel;
    panel.cmCleanupSharpness->setCurrentIndex(3);
    ParentScannerOptions::CleanupSharpnessOpt(panel.cmCleanupSharpness, QStringLiteral("Lineart"));
    ParentScannerOptions::CleanupSharpnessOpt(panel.cmCleanupSharpness, mode);
    QFETCH(QString, enabled);
    QCOMPARE(EnabledItems(panel.cmCleanupSharpness), enabled);
    QCOMPARE(panel.cmCleanupSharpness->currentIndex(), 3);
}

void TestParentScannerOptions::setComboboxValueIsSilent()
{
    TestPanel panel;
    Start(panel, FeederDevice());
    QSignalSpy spy(panel.cmMode, QOverload<int>::of(&QComboBox::currentIndexChanged));
    ParentScannerOptions::SetComboboxValue(panel.cmMode, QStringLiteral("Gray"));
    QCOMPARE(panel.cmMode->currentData().toString(), QStringLiteral("Gray"));
    ParentScannerOptions::SetComboboxValue(panel.cmMode, QStringLiteral("Sepia"));
    QCOMPARE(panel.cmMode->currentData().toString(), QStringLiteral("Gray"));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!panel.cmMode->signalsBlocked());
    // A caller's blocking survives the call.
    panel.cmMode->blockSignals(true);
    ParentScannerOptions::SetComboboxValue(panel.cmMode, QStringLiteral("Color"));
    QVERIFY(panel.cmMode->signalsBlocked());
}

void TestParentScannerOptions::scanPairs_data()
{
    QTest::addColumn<OptionsEdit>("device");
    QTest::addColumn<PanelEdit>("edit");
    QTest::addColumn<QStringList>("pairs");

    const OptionsEdit asIs = [](Options&) {};
    const PanelEdit none = [](TestPanel&) {};
    const QStringList head{"source=Adf-duplex", "mode=Color", "resolution=300", "custom-longpage=no"};
    const QStringList size{"page-width=210", "br-x=210", "page-height=297", "br-y=297"};
    const QStringList tail{"page-auto=yes",
                           "multifeed-detection=Stop",
                           "mf-overlapping=yes",
                           "mf-length=no",
                           "gamma=1.6",
                           "cropping=Old_specification",
                           "jpeg=yes",
                           "jpeg-quality=4",
                           "cleanup-sharpness=None"};

    QTest::newRow("device values") << asIs << none << head + size + tail;

    QStringList flatbedOnly = head + QStringList{"br-x=210", "br-y=297"} + tail;
    flatbedOnly[0] = "source=Flatbed";
    QTest::newRow("flatbed-only source list") << OptionsEdit([](Options& o) {
        o["source"].stringList = {"Flatbed"};
        o["source"].value = "Flatbed";
    }) << none << flatbedOnly;
    QTest::newRow("flatbed selected") << asIs << PanelEdit([](TestPanel& p) { p.m_flatbedSelected = true; })
                                      << head + QStringList{"br-x=210", "br-y=297"} + tail;

    QStringList numbers =
        head + QStringList{"page-width=210", "br-x=210", "page-height=297.5", "br-y=297.5"} + tail;
    numbers[numbers.indexOf("gamma=1.6")] = "gamma=0.25";
    QTest::newRow("number texts") << asIs << PanelEdit([](TestPanel& p) {
        p.dsbBrx->setValue(210);
        p.dsbBry->setValue(297.5);
        p.dsbGamma->setValue(0.25);
    }) << numbers;

    QStringList noMultifeed = head + size + tail;
    noMultifeed[noMultifeed.indexOf("multifeed-detection=Stop")] = "multifeed-detection=Do-not-detect";
    noMultifeed.removeAll("mf-overlapping=yes");
    noMultifeed.removeAll("mf-length=no");
    QTest::newRow("multifeed unchecked")
        << asIs << PanelEdit([](TestPanel& p) { p.cbMultifeedDetection->setChecked(false); }) << noMultifeed;

    QStringList noCompanion = head + size + tail;
    noCompanion.removeAll("multifeed-detection=Stop");
    noCompanion.removeAll("mf-overlapping=yes");
    noCompanion.removeAll("mf-length=no");
    QTest::newRow("device without a companion option disables the shared box")
        << OptionsEdit([](Options& o) { o.remove("mf-length"); }) << none << noCompanion;

    QStringList disabled = head + size + tail;
    disabled.removeAll("resolution=300");
    disabled.removeAll("jpeg=yes");
    disabled.removeAll("jpeg-quality=4");
    disabled.removeAll("multifeed-detection=Stop");
    disabled.removeAll("mf-overlapping=yes");
    disabled.removeAll("mf-length=no");
    QTest::newRow("disabled widgets send nothing") << asIs << PanelEdit([](TestPanel& p) {
        p.sbResolution->setEnabled(false);
        p.cmJpegQuality->setEnabled(false);
        p.cbMultifeedDetection->setEnabled(false);
    }) << disabled;

    QStringList inactive = head + size + tail;
    inactive.removeAll("mode=Color");
    QTest::newRow("inactive option") << OptionsEdit([](Options& o) { o["mode"].isActive = false; }) << none
                                     << inactive;

    QStringList absent = head + size + tail;
    absent.removeAll("gamma=1.6");
    QTest::newRow("absent option") << OptionsEdit([](Options& o) { o.remove("gamma"); }) << none << absent;

    QStringList unknown = head + size + tail;
    unknown[0] = "source=A4";
    QTest::newRow("value without display text") << OptionsEdit([](Options& o) {
        o["source"].stringList << "A4";
        o["source"].value = "A4";
    }) << none << unknown;

    QStringList ownCropping = head + size + tail;
    ownCropping[ownCropping.indexOf("cropping=Old_specification")] = "cropping=Automatic-size";
    QTest::newRow("cropping from the family hook") << asIs << PanelEdit([](TestPanel& p) {
        p.m_croppingHandled = true;
        p.m_ownCropping = "Automatic-size";
    }) << ownCropping;
    QStringList noCropping = head + size + tail;
    noCropping.removeAll("cropping=Old_specification");
    QTest::newRow("cropping withheld by the family hook")
        << asIs << PanelEdit([](TestPanel& p) { p.m_croppingHandled = true; }) << noCropping;

    QTest::newRow("long-page pairs at the end")
        << asIs << PanelEdit([](TestPanel& p) { p.m_longpageTail = true; })
        << head + size + tail + QStringList{"paper-size=Custom"};

    QStringList unchecked = head + size + tail;
    unchecked[unchecked.indexOf("page-auto=yes")] = "page-auto=no";
    unchecked[3] = "custom-longpage=yes";
    QTest::newRow("check boxes as yes and no") << asIs << PanelEdit([](TestPanel& p) {
        p.cbPageAuto->setChecked(false);
        p.cbLongPage->setChecked(true);
    }) << unchecked;
}

void TestParentScannerOptions::scanPairs()
{
    QFETCH(OptionsEdit, device);
    QFETCH(PanelEdit, edit);
    Options options = FeederDevice();
    device(options);
    TestPanel panel;
    Start(panel, options);
    edit(panel);

    panel.m_scanParams.append({QStringLiteral("stale"), QStringLiteral("pair")});
    panel.GetParamsForScan();
    QFETCH(QStringList, pairs);
    QCOMPARE(Pairs(panel), pairs);
}

void TestParentScannerOptions::changeDetection_data()
{
    QTest::addColumn<PanelEdit>("edit");
    QTest::addColumn<bool>("changed");

    QTest::newRow("nothing") << PanelEdit([](TestPanel&) {}) << false;
    QTest::newRow("enabled states only") << PanelEdit([](TestPanel& p) {
        p.sbResolution->setEnabled(false);
        p.cmMode->setEnabled(false);
    }) << false;
    QTest::newRow("resolution") << PanelEdit([](TestPanel& p) { p.sbResolution->setValue(301); }) << true;
    QTest::newRow("mode") << PanelEdit([](TestPanel& p) { p.cmMode->setCurrentIndex(0); }) << true;
    QTest::newRow("gamma") << PanelEdit([](TestPanel& p) { p.dsbGamma->setValue(2.2); }) << true;
    QTest::newRow("long page") << PanelEdit([](TestPanel& p) { p.cbLongPage->setChecked(true); }) << true;
    QTest::newRow("changed and changed back") << PanelEdit([](TestPanel& p) {
        p.sbResolution->setValue(600);
        p.sbResolution->setValue(300);
    }) << false;
}

void TestParentScannerOptions::changeDetection()
{
    QFETCH(PanelEdit, edit);
    TestPanel panel;
    Start(panel, FeederDevice());
    panel.GetParamsEnter();
    QVERIFY(panel.m_leaveParams.isEmpty());
    edit(panel);
    panel.GetParamsLeave();
    QFETCH(bool, changed);
    QCOMPARE(panel.ScanParamsChanged(), changed);
    QCOMPARE(panel.m_leaveParams.size(), panel.m_enterParams.size());
}

QTEST_MAIN(TestParentScannerOptions)
#include "tst_parentscanneroptions.moc"
