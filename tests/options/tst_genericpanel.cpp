// The panel of any other SANE device, built from its option descriptors:
// each option in the section of its group, in the device's order, advanced
// ones in the collapsible section, vectors left out; read-only options shown
// but neither editable, focusable nor sent to the device; inactive ones
// disabled; and the paper sizes offered for a scan area in millimetres.
#include "genericscanneroptionswidget.h"
#include "optionwidget.h"
#include "sanecatalog.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <sane/sane.h>

namespace {

Opt_Result Option(const QString& name, int type, int constraint, int number, const QString& group,
                  const QString& value)
{
    Opt_Result o;
    o.name = name;
    o.title = name;
    o.type = type;
    o.constraintType = constraint;
    o.number = number;
    o.group = group;
    o.value = value;
    if (constraint == SANE_CONSTRAINT_RANGE)
        o.range = {QStringLiteral("0"), QStringLiteral("400"), QStringLiteral("0")};
    return o;
}

QHash<QString, Opt_Result> DeviceOptions(bool withAdvanced, const QString& areaUnit = "mm")
{
    QHash<QString, Opt_Result> all;
    const auto add = [&all](const Opt_Result& o) { all.insert(o.name, o); };
    Opt_Result source =
        Option("source", SANE_TYPE_STRING, SANE_CONSTRAINT_STRING_LIST, 2, "Scan Mode", "ADF");
    source.stringList = {"Flatbed", "ADF"};
    add(source);
    Opt_Result mode = Option("mode", SANE_TYPE_STRING, SANE_CONSTRAINT_STRING_LIST, 3, "Scan Mode", "Gray");
    mode.stringList = {"Color", "Gray"};
    add(mode);
    add(Option("resolution", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, 4, "Scan Mode", "150"));
    Opt_Result pair = Option("pair", SANE_TYPE_INT, SANE_CONSTRAINT_NONE, 5, "Scan Mode", "");
    pair.valueCount = 2;
    add(pair);
    Opt_Result gamma = Option("gamma-table", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, 6, "Scan Mode", "");
    gamma.valueCount = 256;
    add(gamma);
    Opt_Result lamp = Option("lamp-on", SANE_TYPE_BOOL, SANE_CONSTRAINT_NONE, 10, "Device", "yes");
    lamp.isSettable = false;
    add(lamp);
    Opt_Result serial = Option("serial", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, 11, "Device", "A123");
    serial.isSettable = false;
    add(serial);
    Opt_Result counter = Option("counter", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, 12, "Device", "7");
    counter.isSettable = false;
    add(counter);
    Opt_Result threshold = Option("threshold", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, 13, "Device", "128");
    threshold.isActive = false;
    add(threshold);
    Opt_Result brightness = Option("brightness", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, 14, "Device", "0");
    brightness.isAdvanced = withAdvanced;
    add(brightness);
    int number = 20;
    for (const char* corner : {"tl-x", "tl-y", "br-x", "br-y"}) {
        Opt_Result o = Option(corner, SANE_TYPE_FIXED, SANE_CONSTRAINT_RANGE, number++, "Geometry",
                              QString(corner).startsWith("br") ? "400" : "0");
        o.unit = areaUnit;
        add(o);
    }
    return all;
}

// The title of the section `widget` sits in: its group box, "advanced" for
// the advanced section; "" when it is not on the panel.
QString SectionOf(QWidget* widget)
{
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (w->objectName() == "frmAdvanced")
            return "advanced";
        if (auto* box = qobject_cast<QGroupBox*>(w))
            return box->title();
        if (w->objectName() == "frmGenericOptions")
            break;
    }
    return QString();
}

int RowOf(QWidget* widget)
{
    auto* form = qobject_cast<QFormLayout*>(widget->parentWidget()->layout());
    int row = -1;
    QFormLayout::ItemRole role;
    if (form)
        form->getWidgetPosition(widget, &row, &role);
    return row;
}

} // namespace

class TestGenericPanel : public QObject {
    Q_OBJECT

private slots:
    void optionTable_data();
    void optionTable();
    void advancedToggleOnlyWithAdvancedOptions();
    void paperSize();
    void feederSource_data();
    void feederSource();
    void activityDiffers();
    void editsAnnounced();
    void backendValuesTranslated();
};

void TestGenericPanel::optionTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("section"); // "" not shown
    QTest::addColumn<int>("row");         // in its section
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("enabled");

    // The geometry section starts with the paper size.
    QTest::newRow("list, first of its group") << "source"
                                              << "Scan Mode" << 0 << false << true;
    QTest::newRow("list, in the device's order") << "mode"
                                                 << "Scan Mode" << 1 << false << true;
    QTest::newRow("number") << "resolution"
                            << "Scan Mode" << 2 << false << true;
    QTest::newRow("two-value vector") << "pair"
                                      << "" << -1 << false << true;
    QTest::newRow("gamma table") << "gamma-table"
                                 << "" << -1 << false << true;
    QTest::newRow("read-only switch") << "lamp-on"
                                      << "Device" << 0 << true << true;
    QTest::newRow("read-only text") << "serial"
                                    << "Device" << 1 << true << true;
    QTest::newRow("read-only number") << "counter"
                                      << "Device" << 2 << true << true;
    QTest::newRow("inactive") << "threshold"
                              << "Device" << 3 << false << false;
    QTest::newRow("advanced") << "brightness"
                              << "advanced" << 0 << false << true;
    QTest::newRow("scan area") << "br-x"
                               << "Geometry" << 3 << false << true;
}

void TestGenericPanel::optionTable()
{
    QFETCH(QString, name);
    QFETCH(QString, section);
    QFETCH(int, row);
    QFETCH(bool, readOnly);
    QFETCH(bool, enabled);

    GenericScannerOptionsWidget panel;
    panel.ReloadOptions(DeviceOptions(true));
    QWidget* widget = panel.findChild<QWidget*>(name);
    QCOMPARE(SectionOf(widget), section);
    if (section.isEmpty())
        return;
    QCOMPARE(RowOf(widget), row);
    QCOMPARE(widget->isEnabled(), enabled);
    QCOMPARE(widget->property("readOnly").toBool(), readOnly);

    // Read-only: the device alone sets it; nothing of it goes back.
    bool bound = false;
    for (const ParamConfig& config : panel.ParamConfigs())
        bound = bound || config.optionName == name;
    QCOMPARE(bound, !readOnly);
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) {
        QCOMPARE(spin->buttonSymbols() == QAbstractSpinBox::NoButtons, readOnly);
    } else {
        QCOMPARE(widget->focusPolicy() == Qt::NoFocus, readOnly);
        QCOMPARE(widget->testAttribute(Qt::WA_TransparentForMouseEvents), readOnly);
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        QCOMPARE(combo->lineEdit()->isReadOnly(), readOnly);
}

void TestGenericPanel::advancedToggleOnlyWithAdvancedOptions()
{
    GenericScannerOptionsWidget panel;
    panel.ReloadOptions(DeviceOptions(false));
    auto* toggle = panel.findChild<QToolButton*>("btnAdvanced");
    QVERIFY(toggle);
    QVERIFY(toggle->isHidden());
    panel.ReloadOptions(DeviceOptions(true));
    toggle = panel.findChild<QToolButton*>("btnAdvanced");
    QVERIFY(toggle && !toggle->isHidden());
}

// The paper sizes go with a scan area in millimetres only; a size the device
// is too short for is still recognised, and a chosen one starts at the top
// edge of the device's area.
void TestGenericPanel::paperSize()
{
    GenericScannerOptionsWidget panel;
    panel.ReloadOptions(DeviceOptions(false, "pel"));
    QCOMPARE(SectionOf(panel.findChild<QComboBox*>("cmPaperSize")), QString());

    QHash<QString, Opt_Result> options = DeviceOptions(false);
    options["tl-y"].range.min = "10";
    options["tl-y"].value = "10";
    options["br-y"].range.max = "250";
    options["br-x"].value = "210";
    options["br-y"].value = "250";
    panel.ReloadOptions(options);
    panel.InitOther();
    auto* paper = panel.findChild<QComboBox*>("cmPaperSize");
    QCOMPARE(SectionOf(paper), QString("Geometry"));
    QCOMPARE(paper->currentData().toString(), QString("A4"));

    options["br-y"].range.max = "400";
    panel.ReloadOptions(options);
    panel.InitOther();
    paper = panel.findChild<QComboBox*>("cmPaperSize");
    const int a5 = paper->findData("A5");
    QVERIFY(a5 >= 0);
    paper->setCurrentIndex(a5);
    emit paper->activated(a5);
    QCOMPARE(OptionWidget::ValueText(panel.findChild<QWidget*>("br-x")).toDouble(), 148.0);
    QCOMPARE(OptionWidget::ValueText(panel.findChild<QWidget*>("br-y")).toDouble(), 220.0);
}

// A source that feeds sheets scans until the feeder is empty.
void TestGenericPanel::feederSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("feeder");
    QTest::newRow("ADF") << "ADF" << true;
    QTest::newRow("Automatic Document Feeder") << "Automatic Document Feeder" << true;
    QTest::newRow("ADF Duplex") << "ADF Duplex" << true;
    QTest::newRow("Duplex") << "Duplex" << true;
    QTest::newRow("Flatbed") << "Flatbed" << false;
    QTest::newRow("Transparency Adapter") << "Transparency Adapter" << false;
}

void TestGenericPanel::feederSource()
{
    QFETCH(QString, source);
    QFETCH(bool, feeder);
    QCOMPARE(GenericScannerOptionsWidget::IsFeederSource(source), feeder);
}

// Whether the device now holds another activity than the panel shows.
void TestGenericPanel::activityDiffers()
{
    GenericScannerOptionsWidget panel;
    QHash<QString, Opt_Result> options = DeviceOptions(true);
    panel.ReloadOptions(options);
    QVERIFY(!panel.ActivityDiffers(options));
    options["threshold"].isActive = true;
    QVERIFY(panel.ActivityDiffers(options));
    options["threshold"].isActive = false;
    options["mode"].isActive = false;
    QVERIFY(panel.ActivityDiffers(options));
}

// Leaving a number field is an edit only when its value changed.
void TestGenericPanel::editsAnnounced()
{
    GenericScannerOptionsWidget panel;
    panel.ReloadOptions(DeviceOptions(true));
    panel.InitOther();
    QSignalSpy edited(&panel, &GenericScannerOptionsWidget::sglOptionEdited);
    auto* spin = panel.findChild<QSpinBox*>("resolution");
    QVERIFY(spin);
    emit spin->editingFinished();
    QCOMPARE(edited.count(), 0);
    spin->setValue(300);
    emit spin->editingFinished();
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.at(0).at(0).toString(), QString("resolution"));
}

// List values without a name of the program's own come in the backends'
// translation.
void TestGenericPanel::backendValuesTranslated()
{
    SaneCatalog::SetLanguage("zh_CN");
    const auto reset = qScopeGuard([] { SaneCatalog::SetLanguage(QString()); });
    QHash<QString, Opt_Result> options = DeviceOptions(true);
    options["source"].stringList = {"Flatbed", "Transparency Adapter"};
    options["source"].value = "Transparency Adapter";
    GenericScannerOptionsWidget panel;
    panel.ReloadOptions(options);
    auto* source = panel.findChild<QComboBox*>("source");
    QVERIFY(source);
    const int adapter = source->findData("Transparency Adapter");
    QVERIFY(adapter >= 0);
    QCOMPARE(source->itemText(adapter), QString::fromUtf8("透扫适配器"));
}

QTEST_MAIN(TestGenericPanel)
#include "tst_genericpanel.moc"
