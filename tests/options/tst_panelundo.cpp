// Seeded random user actions on each family panel. Every action is followed
// by a check of the enabled states (and on the Wy panel the ranges) the
// rules imply together (a small model of the rules below).
// Declining to save changed settings ("否") must then give back the panel the
// user entered: the whole panel is compared with its entry snapshot. The
// restored panel must also go on behaving like the entered one: the same
// further actions on it and on a second panel brought to the entry state by
// the same steps must give the same panels.
//
// A failing seed prints the seed and the actions that took effect
// ("cmMode=Gray", "cbPageAuto=1", "sbResolution=300", "dsbBry=400.5"), plus
// "defaults" for the restore-defaults rebuild.
#include "kxscanneroptionswidget.h"
#include "panelstate.h"
#include "rv920scanneroptionswidget.h"
#include "simoptions.h"
#include "wyscanneroptionswidget.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>

namespace {

const char kDefaults[] = "defaults";

using PanelState::Differences;
using PanelState::ItemEnabled;
using PanelState::OptionWidgets;

bool On(QWidget* panel, const char* name)
{
    return panel->findChild<QWidget*>(name)->isEnabled();
}

bool Checked(QWidget* panel, const char* name)
{
    return panel->findChild<QCheckBox*>(name)->isChecked();
}

QString Current(QWidget* panel, const char* name)
{
    return panel->findChild<QComboBox*>(name)->currentData().toString();
}

// The names of the widgets whose enabled state is not the one expected.
QString Mismatches(QWidget* panel, const QList<QPair<const char*, bool>>& expected)
{
    QStringList wrong;
    for (const auto& e : expected) {
        if (!panel->findChild<QWidget*>(e.first))
            wrong << QString("no widget %1").arg(e.first);
        else if (On(panel, e.first) != e.second)
            wrong << QString("%1 should be %2").arg(e.first, e.second ? "on" : "off");
    }
    return wrong.join(", ");
}

// The rules the Kx and Wy panels share: colour mode, black-and-white mode,
// tone, clean-up, multi-image output and front/back merging.
QString SheetFedRules(QWidget* p, QList<QPair<const char*, bool>> expected)
{
    const QString mode = Current(p, "cmMode");
    const bool line = mode == "Lineart";
    const bool colour = mode == "Color" || mode == "Auto-color-detect" || mode == "Multi-image-output";
    const QString bw = Current(p, "cmBwMode");
    const bool tone = !(line && bw == "iDTC");
    const bool custom = tone && Current(p, "cmToneAdjustment") == "Custom";
    const bool merging = Checked(p, "cbFrontBackMerging");
    const bool mergeOn = merging && On(p, "cbFrontBackMerging");
    expected += {{"sbBlankPageSkipSensitivity", On(p, "cbBlankPageSkip") && Checked(p, "cbBlankPageSkip")},
                 {"cmBwMode", line},
                 {"sbBWIDTCSensitivity", line && bw == "iDTC"},
                 {"cmBwSdtcVariance", line && bw == "SDTC"},
                 {"sbThreshold", line && bw == "Threshold"},
                 {"cmToneAdjustment", tone},
                 {"sbShadow", custom},
                 {"sbHighlight", custom},
                 {"sbContrast", custom},
                 {"dsbGamma", custom},
                 {"sbBrightness", custom},
                 {"cmCleanupSharpness", line ? tone : colour},
                 {"cmDropOutColor", !colour},
                 {"cmColorCleanup", !line},
                 {"sbColorCleanupCleanness", !line && Current(p, "cmColorCleanup") != "None"},
                 {"cmMultiImageOutputList", mode == "Multi-image-output"},
                 {"cmSource", !merging},
                 {"cbSplitImage", !merging},
                 {"cmBackSideLocation", mergeOn},
                 {"cmBackSideRotation", mergeOn}};
    const QString broken = Mismatches(p, expected);
    if (!broken.isEmpty())
        return broken;
    for (const char* combo : {"cmRotation", "cmMode"}) {
        if (PanelState::ItemEnabled(p->findChild<QComboBox*>(combo), 4) == merging)
            return QString("item 4 of %1 while merging is %2").arg(combo).arg(merging);
    }
    return {};
}

// The family Kx rules: the source, automatic size, its priority and the
// background colour decide the paper size, edge repair and hole removal.
QString KxRules(QWidget* p)
{
    const bool flatbed = Current(p, "cmSource") == "Flatbed";
    const bool pageAuto = Checked(p, "cbPageAuto");
    const bool black = !flatbed && Current(p, "cmBgcolor") == "Black";
    const bool mergeOn = Checked(p, "cbFrontBackMerging") && On(p, "cbFrontBackMerging");
    const bool accuracy = Current(p, "cmPageAutoPriority") == "Accuracy";
    const bool holes = flatbed || black;
    return SheetFedRules(p,
                         {{"cbBlankPageSkip", !flatbed},
                          {"cbMultifeedDetection", !flatbed},
                          {"cmBgcolor", !flatbed},
                          {"cmPageAutoPriority", pageAuto && black},
                          {"cbEdgeRepair", pageAuto && !mergeOn && (flatbed || (black && accuracy))},
                          {"cbHolePunchRemoval", holes},
                          {"cmHolePunchRemovalFillColor", holes && Checked(p, "cbHolePunchRemoval")},
                          {"cbFrontBackMerging", !flatbed && Current(p, "cmMode") != "Multi-image-output" &&
                                                     !Checked(p, "cbSplitImage")},
                          {"cmPaperSize", !pageAuto && !flatbed},
                          {"dsbBrx", !pageAuto && (flatbed || Current(p, "cmPaperSize") == "Custom")},
                          {"dsbBry", !pageAuto && (flatbed || Current(p, "cmPaperSize") == "Custom")}});
}

// The family Wy rules, with the limits SimulatedScanners::FillLimits(true) sets.
QString WyRules(QWidget* p)
{
    const bool merging = Checked(p, "cbFrontBackMerging");
    const bool mergeOn = merging && On(p, "cbFrontBackMerging");
    const bool longPage = Checked(p, "cbLongPage");
    const bool paperCustom = Current(p, "cmPaperSize") == "Custom";
    const QString broken = SheetFedRules(
        p,
        {{"cbFrontBackMerging", Current(p, "cmMode") != "Multi-image-output" && !Checked(p, "cbSplitImage")},
         {"cmPaperSize", !longPage},
         {"dsbBrx", !longPage && paperCustom},
         {"dsbBry", !longPage && paperCustom}});
    if (!broken.isEmpty())
        return broken;
    if (longPage && !paperCustom)
        return "long page without the custom paper size";
    auto* brx = p->findChild<QDoubleSpinBox*>("dsbBrx");
    auto* bry = p->findChild<QDoubleSpinBox*>("dsbBry");
    const int resolution = p->findChild<QSpinBox*>("sbResolution")->value();
    double height = resolution <= 200 ? 3000 : resolution <= 300 ? 1100 : 431.8;
    if (merging)
        height = resolution <= 300 ? 863.6 : 355.6;
    // A merging box checked but disabled leaves the range open to either.
    if ((merging == mergeOn && !qFuzzyCompare(bry->maximum(), height)) || !qFuzzyCompare(brx->maximum(), 218))
        return QString("size range %1 x %2 at %3 dpi, merging %4")
            .arg(brx->maximum())
            .arg(bry->maximum())
            .arg(resolution)
            .arg(merging);
    if (longPage && (bry->value() != bry->maximum() || brx->value() != brx->maximum()))
        return "a long page is not the largest size";
    // The feeder crops to the chosen size only when the size is not automatic.
    const QStringList scan = PanelState::Describe(*dynamic_cast<ParentScannerOptions*>(p)).last().split(' ');
    const bool cropping =
        std::any_of(scan.begin(), scan.end(), [](const QString& s) { return s.startsWith("cropping="); });
    if (cropping != (Current(p, "cmSource") != "Flatbed" && !Checked(p, "cbPageAuto")))
        return QString("cropping sent: %1").arg(cropping);
    return {};
}

QString RV920Rules(QWidget* p)
{
    const int mode = p->findChild<QComboBox*>("cmMode")->currentIndex();
    const bool pageAuto = Checked(p, "cbPageAuto");
    const bool custom = p->findChild<QComboBox*>("cmPaperSize")->currentIndex() == 0;
    return Mismatches(p, {{"cmDropOutColor", mode != 2},
                          {"sbThreshold", mode == 0},
                          {"cmPaperSize", !pageAuto},
                          {"dsbPageWidth", !pageAuto && custom},
                          {"dsbPageHeight", !pageAuto && custom},
                          {"sbIntervalTime", Checked(p, "cbTimeScan")}});
}

// A scanner and a way to build its family's panel the way the container does.
struct Scanner {
    QString device;
    bool familyWy = false;
    std::function<QWidget*()> make;
    std::function<QString(QWidget*)> rules;
    // Actions after which the rules hold: the panel comes up partly in
    // the device's state, which is the start-up tests' concern.
    QStringList arm;
};

class Panel {
public:
    Panel(const Scanner& scanner, const QHash<QString, Opt_Result>& options, const QString& configPath)
        : m_scanner(scanner), m_optionsTable(options), m_widget(scanner.make()),
          m_options(dynamic_cast<ParentScannerOptions*>(m_widget.get()))
    {
        m_widget->setAttribute(Qt::WA_DeleteOnClose, false);
        m_options->m_configPath = configPath;
        Rebuild(false);
    }

    void Rebuild(bool useDefaults)
    {
        m_options->m_options = m_optionsTable;
        m_options->InitSpecial();
        m_options->InitWidgetByOption(m_scanner.device, useDefaults);
    }

    // Does what a user would do; false when the user could not (the widget
    // or the item is disabled, or there is no such item).
    bool Apply(const QString& action)
    {
        if (action == QLatin1String(kDefaults)) {
            Rebuild(true);
            return true;
        }
        const QString name = action.section('=', 0, 0);
        const QString value = action.section('=', 1);
        auto* w = m_widget->findChild<QWidget*>(name);
        if (!w || !w->isEnabled())
            return false;
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            const int index = combo->findData(value);
            if (index < 0 || !ItemEnabled(combo, index))
                return false;
            combo->setCurrentIndex(index);
        } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
            spin->setValue(value.toInt());
        } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(w)) {
            dspin->setValue(value.toDouble());
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            box->setChecked(value == QLatin1String("1"));
        }
        return true;
    }

    QStringList Describe() { return PanelState::Describe(*m_options); }
    QWidget* Widget() const { return m_widget.get(); }
    ParentScannerOptions& Options() { return *m_options; }

private:
    Scanner m_scanner;
    QHash<QString, Opt_Result> m_optionsTable;
    std::unique_ptr<QWidget> m_widget;
    ParentScannerOptions* m_options;
};

// Where the actions of one phase come from: a fixed list (replay) or a
// seeded generator that looks at the panel for what a user could change.
class Actions {
public:
    static Actions Fixed(const QStringList& list)
    {
        Actions a;
        a.m_list = list;
        return a;
    }
    // The fixed opening first (if any), then count generated actions.
    static Actions Random(std::mt19937* rng, int count, bool withDefaults, const QStringList& opening = {})
    {
        Actions a;
        a.m_list = opening;
        a.m_rng = rng;
        a.m_count = count;
        a.m_withDefaults = withDefaults;
        return a;
    }

    bool Next(QWidget* panel, QString* action)
    {
        if (m_next < m_list.size()) {
            *action = m_list.at(m_next++);
            return true;
        }
        if (!m_rng || m_next++ >= m_list.size() + m_count)
            return false;
        *action = Generate(panel);
        return true;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(*m_rng); }

    QString Generate(QWidget* panel)
    {
        if (m_withDefaults && Pick(20) == 0)
            return QLatin1String(kDefaults);
        QList<QWidget*> usable;
        for (QWidget* w : OptionWidgets(panel)) {
            auto* combo = qobject_cast<QComboBox*>(w);
            if (w->isEnabled() && (!combo || combo->count() > 1))
                usable << w;
        }
        if (usable.isEmpty())
            return QLatin1String(kDefaults);
        QWidget* w = usable.at(Pick(usable.size()));
        const QString name = w->objectName() + '=';
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QList<int> items;
            for (int i = 0; i < combo->count(); ++i) {
                if (ItemEnabled(combo, i) && i != combo->currentIndex())
                    items << i;
            }
            const int index = items.isEmpty() ? combo->currentIndex() : items.at(Pick(items.size()));
            return name + combo->itemData(index).toString();
        }
        if (auto* box = qobject_cast<QCheckBox*>(w))
            return name + (box->isChecked() ? "0" : "1");
        if (auto* spin = qobject_cast<QSpinBox*>(w)) {
            // The resolution's band edges matter to the rules.
            QList<int> values{spin->minimum(), spin->maximum(),
                              std::uniform_int_distribution<int>(spin->minimum(), spin->maximum())(*m_rng)};
            if (w->objectName() == QLatin1String("sbResolution"))
                values << 150 << 200 << 201 << 300 << 301 << 400 << 401;
            return name + QString::number(values.at(Pick(values.size())));
        }
        auto* spin = static_cast<QDoubleSpinBox*>(w);
        // Heights around the limits of merging and of the resolution bands.
        const QList<double> values{
            spin->minimum(),
            spin->maximum(),
            std::round(std::uniform_real_distribution<double>(spin->minimum(), spin->maximum())(*m_rng) *
                       100.0) /
                100.0,
            355.6,
            431.8,
            863.6,
            1000.0};
        return name + QString::number(values.at(Pick(values.size())), 'g', 6);
    }

    QStringList m_list;
    std::mt19937* m_rng = nullptr;
    int m_count = 0;
    bool m_withDefaults = false;
    int m_next = 0;
};

// One run and what it did: the actions that took effect in each phase and,
// when the panel went wrong, how.
struct Outcome {
    QStringList before; // up to the entry snapshot
    QStringList during; // changed on the settings page, then declined
    QStringList after;  // further changes on the restored panel
    QString failure;

    QString Reproduction() const
    {
        return QString("before entering: [%1]\n  on the page, then 否: [%2]\n  then: [%3]")
            .arg(before.join(", "), during.join(", "), after.join(", "));
    }
};

} // namespace

class TestPanelUndo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void declineRestoresEntry_data();
    void declineRestoresEntry();
    void sheetFedDetails_data();
    void sheetFedDetails();

private:
    Outcome Run(const Scanner& scanner, Actions before, Actions during, Actions after);
    static QStringList Play(Panel& panel, Actions& actions, const Scanner& scanner, QString* broken);

    QHash<QString, QHash<QString, Opt_Result>> m_options;
    QTemporaryDir m_dir;
};

void TestPanelUndo::initTestCase()
{
    SimulatedScanners sim;
    for (const char* device : {"zylkx:KX-8000", "zylkx:KX-F600", "zylwy:WY200", "zyljn:RV920"}) {
        m_options[device] = sim.Options(device);
        QVERIFY2(m_options[device].contains(QStringLiteral("mode")), device);
    }
}

QStringList TestPanelUndo::Play(Panel& panel, Actions& actions, const Scanner& scanner, QString* broken)
{
    QStringList applied;
    QString action;
    bool checking = bool(scanner.rules);
    while (broken->isEmpty() && actions.Next(panel.Widget(), &action)) {
        if (!panel.Apply(action))
            continue;
        applied << action;
        // A rebuild with the defaults is back in the start-up state.
        checking = checking && action != QLatin1String(kDefaults);
        const QString rule = checking ? scanner.rules(panel.Widget()) : QString();
        if (!rule.isEmpty())
            *broken = "after " + action + " the rules do not hold: " + rule;
    }
    return applied;
}

Outcome TestPanelUndo::Run(const Scanner& scanner, Actions before, Actions during, Actions after)
{
    SimulatedScanners::FillLimits(scanner.familyWy);
    Outcome out;
    Panel panel(scanner, m_options.value(scanner.device), m_dir.path());
    for (const QString& action : scanner.arm)
        panel.Apply(action);
    out.before = Play(panel, before, scanner, &out.failure);
    panel.Options().GetParamsEnter();
    const QStringList entry = panel.Describe();

    out.during = Play(panel, during, scanner, &out.failure);
    if (!out.failure.isEmpty())
        return out;
    panel.Options().GetParamsLeave();
    panel.Options().SetParamsToWidget();
    QStringList diff = Differences(entry, panel.Describe());
    if (!diff.isEmpty()) {
        out.failure = "after 否 the panel differs from its entry snapshot:\n" + diff.join('\n');
        return out;
    }

    // A second panel brought to the entry state by the same steps.
    Panel reference(scanner, m_options.value(scanner.device), m_dir.path());
    for (const QString& action : scanner.arm)
        reference.Apply(action);
    Actions replay = Actions::Fixed(out.before);
    QString unused;
    if (Play(reference, replay, Scanner(), &unused) != out.before || reference.Describe() != entry) {
        out.failure = "the same steps do not give the same panel twice (test problem)";
        return out;
    }
    out.after = Play(panel, after, scanner, &out.failure);
    if (!out.failure.isEmpty())
        return out;
    Actions again = Actions::Fixed(out.after);
    Play(reference, again, Scanner(), &unused);
    diff = Differences(reference.Describe(), panel.Describe());
    if (!diff.isEmpty())
        out.failure = "the restored panel reacts unlike the entered one:\n" + diff.join('\n');
    return out;
}

void TestPanelUndo::declineRestoresEntry_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("familyWy");
    QTest::addColumn<int>("runs");

    QTest::newRow("KX-8000") << "zylkx:KX-8000" << false << 100;
    QTest::newRow("KX-F600") << "zylkx:KX-F600" << false << 40;
    QTest::newRow("WY200") << "zylwy:WY200" << true << 100;
    QTest::newRow("RV920") << "zyljn:RV920" << false << 60;
}

void TestPanelUndo::declineRestoresEntry()
{
    QFETCH(QString, device);
    QFETCH(bool, familyWy);
    QFETCH(int, runs);

    Scanner scanner{device, familyWy, nullptr, nullptr, {}};
    // Openings that reach the states the rules care most about (custom
    // sizes near their limits, the flatbed, long pages), which a few random
    // clicks among some forty widgets rarely reach.
    QList<QStringList> openings;
    if (device.startsWith("zylkx")) {
        scanner.make = [] { return new KxScannerOptionsWidget; };
        scanner.rules = KxRules;
        scanner.arm = QStringList{"cmMode=Gray", "cmMode=Color", "cbBlankPageSkip=1", "cbBlankPageSkip=0"};
        openings = {{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "dsbBry=1000"},
                    {"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom", "sbResolution=300"},
                    {"cmSource=Flatbed", "cbPageAuto=1", "cbPageAuto=0"},
                    {"cbPageAuto=1", "cbFrontBackMerging=1", "cmBgcolor=White", "cmBgcolor=Black"},
                    {"cmMode=Lineart"}};
    } else if (familyWy) {
        scanner.make = [] { return new WyScannerOptionsWidget; };
        scanner.rules = WyRules;
        scanner.arm = QStringList{"cmMode=Gray", "cmMode=Color", "cbBlankPageSkip=1", "cbBlankPageSkip=0"};
        openings = {{"cmPaperSize=Custom", "dsbBry=1000"}, {"cbLongPage=1"}, {"cmMode=Lineart"}};
    } else {
        scanner.make = [] { return new RV920ScannerOptionsWidget; };
        scanner.rules = RV920Rules;
        scanner.arm =
            QStringList{"cmMode=Lineart", "cmMode=Color", "cbPageAuto=1", "cbPageAuto=0", "cbPageAuto=1"};
        openings = {{"cbPageAuto=0"}, {"cbTimeScan=1"}};
    }

    for (int seed = 1; seed <= runs; ++seed) {
        std::mt19937 rng(seed);
        const int before = std::uniform_int_distribution<int>(0, 8)(rng);
        const int during = std::uniform_int_distribution<int>(1, 12)(rng);
        const int after = std::uniform_int_distribution<int>(1, 6)(rng);
        const int opening = std::uniform_int_distribution<int>(-openings.size(), openings.size() - 1)(rng);
        const Outcome outcome = Run(scanner, Actions::Random(&rng, before, false, openings.value(opening)),
                                    Actions::Random(&rng, during, true), Actions::Random(&rng, after, false));
        if (outcome.failure.isEmpty())
            continue;
        QFAIL(qPrintable(QString("seed %1 on %2: %3\n  reproduced by\n  %4")
                             .arg(seed)
                             .arg(device, outcome.failure, outcome.Reproduction())));
    }
}

void TestPanelUndo::sheetFedDetails_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("limitsApplied");
    QTest::addColumn<int>("scanCount");

    const QStringList custom{"cbPageAuto=1", "cbPageAuto=0", "cmPaperSize=Custom"};
    QTest::newRow("within one band") << custom << 250 << 300 << false << 1;
    QTest::newRow("from a band's top, one band") << custom << 200 << 150 << false << 1;
    QTest::newRow("to a band's bottom, one band") << custom << 300 << 201 << false << 1;
    QTest::newRow("into the next band") << custom << 400 << 401 << true << 1;
    QTest::newRow("split") << QStringList{"cbSplitImage=1"} << 200 << 200 << false << 2;
    QTest::newRow("split and multi-image output")
        << QStringList{"cbSplitImage=1", "cmMode=Multi-image-output"} << 200 << 200 << false << 4;
    QTest::newRow("flatbed") << QStringList{"cbSplitImage=1", "cmSource=Flatbed"} << 200 << 200 << false << 0;
}

// The Kx panel: a resolution change applies new size limits only when it
// leaves its band; the sheets counted per scan; Return and keypad Enter
// leave the resolution box.
void TestPanelUndo::sheetFedDetails()
{
    QFETCH(QStringList, actions);
    QFETCH(int, from);
    QFETCH(int, to);
    SimulatedScanners::FillLimits();
    Scanner scanner{"zylkx:KX-8000", false, [] { return new KxScannerOptionsWidget; }, nullptr, {}};
    Panel panel(scanner, m_options.value(scanner.device), m_dir.path());
    for (const QString& action : actions + QStringList{"sbResolution=" + QString::number(from)})
        QVERIFY2(panel.Apply(action), qPrintable(action));
    // Move every limit, so that any new application of the limits shows.
    for (const char* key : {"200", "300", "400", "600"})
        GData::ctx().m_resMaxHeight[key] = QStringLiteral("500");
    auto* bry = panel.Widget()->findChild<QDoubleSpinBox*>("dsbBry");
    panel.Apply("sbResolution=" + QString::number(to));
    QTEST(qFuzzyCompare(bry->maximum(), 500.0), "limitsApplied");
    QTEST(panel.Options().GetTotalScanCount(), "scanCount");

    panel.Widget()->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.Widget()));
    auto* resolution = panel.Widget()->findChild<QSpinBox*>("sbResolution");
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        resolution->setFocus();
        QTRY_VERIFY(resolution->hasFocus());
        QTest::keyClick(resolution, key);
        QVERIFY2(!resolution->hasFocus(), key == Qt::Key_Enter ? "Enter" : "Return");
    }
}

QTEST_MAIN(TestPanelUndo)
#include "tst_panelundo.moc"
