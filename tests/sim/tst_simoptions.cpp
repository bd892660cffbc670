// The simulated devices' options, driven through libsane: names the panels
// and the scan workflow use, types and constraints, clamping, inactive states
// and the feeder page-height limit per resolution.
#include <QtTest>

#include "simsession.h"

using namespace simtest;

namespace {

QString GetText(SANE_Handle h, const char* name)
{
    int n = FindOption(h, name);
    if (n < 0)
        return QStringLiteral("<absent>");
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, n);
    if (d->type == SANE_TYPE_STRING)
        return GetString(h, name);
    SANE_Status st;
    SANE_Word w = GetWord(h, name, &st);
    if (st != SANE_STATUS_GOOD)
        return QStringLiteral("<status %1>").arg(st);
    return d->type == SANE_TYPE_FIXED ? QString::number(SANE_UNFIX(w), 'g', 6) : QString::number(w);
}

SANE_Status SetText(SANE_Handle h, const char* name, const QString& text, SANE_Int* info = nullptr)
{
    int n = FindOption(h, name);
    if (n < 0)
        return SANE_STATUS_UNSUPPORTED;
    switch (sane_get_option_descriptor(h, n)->type) {
    case SANE_TYPE_STRING:
        return SetString(h, name, text, info);
    case SANE_TYPE_FIXED:
        return SetWord(h, name, SANE_FIX(text.toDouble()), info);
    default:
        return SetWord(h, name, text.toInt(), info);
    }
}

// Applies "name=value;name=value" settings; fails the test on a refusal.
bool Apply(SANE_Handle h, const QString& settings)
{
    for (const QString& pair : settings.split(';', Qt::SkipEmptyParts)) {
        QString name = pair.section('=', 0, 0);
        if (SetText(h, name.toUtf8().constData(), pair.section('=', 1)) != SANE_STATUS_GOOD) {
            qWarning("cannot set %s", qPrintable(pair));
            return false;
        }
    }
    return true;
}

} // namespace

class TestSimOptions : public QObject {
    Q_OBJECT

    SANE_Handle m_handle = nullptr;

    bool Open(const QString& device)
    {
        return sane_open(device.toUtf8().constData(), &m_handle) == SANE_STATUS_GOOD;
    }

private slots:
    void init()
    {
        QVERIFY(WriteScenario("sheets=3\n"));
        QCOMPARE(sane_init(nullptr, nullptr), SANE_STATUS_GOOD);
        const SANE_Device** list = nullptr;
        QCOMPARE(sane_get_devices(&list, SANE_TRUE), SANE_STATUS_GOOD);
    }

    void cleanup()
    {
        if (m_handle)
            sane_close(m_handle);
        m_handle = nullptr;
        sane_exit();
    }

    void optionNamesOfEachFamily_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("names");
        const QString sheet =
            "source mode multi-image-output-list resolution paper-size br-x br-y tl-x tl-y "
            "page-width page-height front-back-merging back-side-location back-side-rotation "
            "page-auto multifeed-detection mf-overlapping blank-page-skip "
            "blank-page-skip-sensitivity bw-mode brightness contrast shadow highlight gamma "
            "cropping dropoutcolor cleanup-sharpness rotation split-image color-cleanup "
            "color-cleanup-cleanness autofeed prepick get-sc-error";
        QTest::newRow("Kx feeder") << "zylkx:KX-8000"
                                   << sheet + " bgcolor page-auto-priority edge-repair "
                                              "hole-punch-removal hole-punch-removal-fillcolor "
                                              "hole-punch-removal-mode mf-length threshold "
                                              "bw-sdtc-variance bw-idtc-sensitivity "
                                              "bw-idtc-background-threshold tone-adjustment jpeg "
                                              "jpeg-quality";
        QTest::newRow("Wy") << "zylwy:WY200" << sheet;
        QTest::newRow("RV920") << "zyljn:RV920"
                               << "source mode resolution paper-size page-width page-height "
                                  "page-auto brightness contrast threshold dropoutcolor time-scan "
                                  "interval-time get-sc-error";
        QTest::newRow("Kx flatbed") << "zylkx:KX-F600"
                                    << "source mode resolution br-x br-y tl-x tl-y page-auto "
                                       "edge-repair hole-punch-removal get-sc-error";
    }

    // Every option the panels bind and the workflow sets exists and is found by
    // a front end that keeps only soft-selectable, soft-detectable options.
    void optionNamesOfEachFamily()
    {
        QFETCH(QString, device);
        QFETCH(QString, names);
        QVERIFY(Open(device));
        for (const QString& name : names.split(' ', Qt::SkipEmptyParts)) {
            int n = FindOption(m_handle, name.toUtf8().constData());
            QVERIFY2(n > 0, qPrintable(device + " lacks " + name));
            SANE_Int cap = sane_get_option_descriptor(m_handle, n)->cap;
            QVERIFY2((cap & SANE_CAP_SOFT_SELECT) && (cap & SANE_CAP_SOFT_DETECT) &&
                         !(cap & SANE_CAP_HARD_SELECT),
                     qPrintable(name));
        }
    }

    void optionTypes_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("constraint");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("values"); // string list, word list or "min..max"
        QTest::newRow("Kx source") << "zylkx:KX-8000"
                                   << "source" << int(SANE_TYPE_STRING) << int(SANE_CONSTRAINT_STRING_LIST)
                                   << int(SANE_UNIT_NONE) << "Flatbed Adf-front Adf-back Adf-duplex";
        QTest::newRow("Kx resolution") << "zylkx:KX-8000"
                                       << "resolution" << int(SANE_TYPE_INT) << int(SANE_CONSTRAINT_RANGE)
                                       << int(SANE_UNIT_DPI) << "50..600";
        QTest::newRow("RV920 resolution")
            << "zyljn:RV920"
            << "resolution" << int(SANE_TYPE_INT) << int(SANE_CONSTRAINT_WORD_LIST) << int(SANE_UNIT_DPI)
            << "100 150 200 300 400 600";
        QTest::newRow("Kx br-y") << "zylkx:KX-8000"
                                 << "br-y" << int(SANE_TYPE_FIXED) << int(SANE_CONSTRAINT_RANGE)
                                 << int(SANE_UNIT_MM) << "0..5588";
        QTest::newRow("Wy page-height") << "zylwy:WY200"
                                        << "page-height" << int(SANE_TYPE_FIXED) << int(SANE_CONSTRAINT_RANGE)
                                        << int(SANE_UNIT_MM) << "25.4..3000";
        QTest::newRow("multifeed") << "zylkx:KX-8000"
                                   << "multifeed-detection" << int(SANE_TYPE_STRING)
                                   << int(SANE_CONSTRAINT_STRING_LIST) << int(SANE_UNIT_NONE)
                                   << "Do-not-detect Stop";
        QTest::newRow("autofeed") << "zylwy:WY200"
                                  << "autofeed" << int(SANE_TYPE_BOOL) << int(SANE_CONSTRAINT_NONE)
                                  << int(SANE_UNIT_NONE) << "";
    }

    void optionTypes()
    {
        QFETCH(QString, device);
        QFETCH(QString, option);
        QFETCH(int, type);
        QFETCH(int, constraint);
        QFETCH(int, unit);
        QFETCH(QString, values);
        QVERIFY(Open(device));
        int n = FindOption(m_handle, option.toUtf8().constData());
        QVERIFY(n > 0);
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, n);
        QCOMPARE(int(d->type), type);
        QCOMPARE(int(d->constraint_type), constraint);
        QCOMPARE(int(d->unit), unit);
        QStringList got;
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
                got << QString::fromUtf8(*s);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            for (int i = 1; i <= d->constraint.word_list[0]; ++i)
                got << QString::number(d->constraint.word_list[i]);
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            const SANE_Range* r = d->constraint.range;
            bool fixed = d->type == SANE_TYPE_FIXED;
            got << (fixed ? QString::number(SANE_UNFIX(r->min), 'g', 6) : QString::number(r->min)) + ".." +
                       (fixed ? QString::number(SANE_UNFIX(r->max), 'g', 6) : QString::number(r->max));
        }
        QCOMPARE(got.join(' '), values);
    }

    void clamping_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("inexact");
        const QString kx = "zylkx:KX-8000";
        const int good = SANE_STATUS_GOOD, inval = SANE_STATUS_INVAL;
        QTest::newRow("resolution in range") << kx << ""
                                             << "resolution"
                                             << "300" << good << "300" << false;
        QTest::newRow("resolution above") << kx << ""
                                          << "resolution"
                                          << "1200" << good << "600" << true;
        QTest::newRow("resolution below") << kx << ""
                                          << "resolution"
                                          << "10" << good << "50" << true;
        QTest::newRow("brightness above") << kx << "tone-adjustment=Custom"
                                          << "brightness"
                                          << "300" << good << "127" << true;
        QTest::newRow("width above") << kx << "paper-size=Custom"
                                     << "page-width"
                                     << "300" << good << "216" << true;
        QTest::newRow("width in range") << kx << "paper-size=Custom"
                                        << "page-width"
                                        << "100.5" << good << "100.5" << false;
        QTest::newRow("height above 600 dpi limit") << kx << "resolution=600;paper-size=Custom"
                                                    << "page-height"
                                                    << "1000" << good << "863.6" << true;
        QTest::newRow("br-y above 300 dpi limit") << kx << "resolution=300"
                                                  << "br-y"
                                                  << "4000" << good << "3175" << true;
        QTest::newRow("flatbed br-x above bed") << kx << "source=Flatbed"
                                                << "br-x"
                                                << "300" << good << "215.9" << true;
        QTest::newRow("word list nearest") << "zyljn:RV920"
                                           << ""
                                           << "resolution"
                                           << "280" << good << "300" << true;
        QTest::newRow("string other case") << kx << ""
                                           << "mode"
                                           << "gray" << good << "Gray" << true;
        QTest::newRow("string unknown") << kx << ""
                                        << "mode"
                                        << "Sepia" << inval << "Color" << false;
        QTest::newRow("bool not 0/1") << kx << ""
                                      << "autofeed"
                                      << "2" << inval << "1" << false;
        QTest::newRow("inactive option") << kx << "paper-size=A4"
                                         << "page-width"
                                         << "100" << inval << "<status 4>" << false;
        QTest::newRow("inactive on flatbed") << kx << "source=Flatbed"
                                             << "paper-size"
                                             << "A5" << inval << "<error>" << false;
    }

    void clamping()
    {
        QFETCH(QString, device);
        QFETCH(QString, setup);
        QFETCH(QString, option);
        QFETCH(QString, value);
        QFETCH(int, status);
        QFETCH(QString, stored);
        QFETCH(bool, inexact);
        QVERIFY(Open(device));
        QVERIFY(Apply(m_handle, setup));
        SANE_Int info = 0;
        QByteArray name = option.toUtf8();
        QCOMPARE(int(SetText(m_handle, name.constData(), value, &info)), status);
        QCOMPARE(bool(info & SANE_INFO_INEXACT), inexact);
        QCOMPARE(GetText(m_handle, name.constData()), stored);
    }

    void activeStates_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("inactive");
        const QString kx = "zylkx:KX-8000";
        QTest::newRow("Kx defaults") << kx << ""
                                     << "paper-size autofeed multifeed-detection bgcolor"
                                     << "page-width page-height mf-overlapping bw-mode "
                                        "multi-image-output-list brightness";
        QTest::newRow("custom paper") << kx << "paper-size=Custom"
                                      << "page-width page-height"
                                      << "";
        QTest::newRow("flatbed") << kx << "source=Flatbed"
                                 << "br-x br-y"
                                 << "paper-size page-width page-height autofeed prepick "
                                    "multifeed-detection blank-page-skip front-back-merging bgcolor";
        QTest::newRow("multifeed stop") << kx << "multifeed-detection=Stop"
                                        << "mf-overlapping mf-length"
                                        << "";
        QTest::newRow("lineart iDTC") << kx << "mode=Lineart;bw-mode=iDTC"
                                      << "bw-mode bw-idtc-sensitivity dropoutcolor"
                                      << "threshold bw-sdtc-variance tone-adjustment jpeg";
        QTest::newRow("custom tone") << kx << "tone-adjustment=Custom"
                                     << "brightness contrast shadow highlight gamma"
                                     << "";
        QTest::newRow("RV920 delay") << "zyljn:RV920"
                                     << "time-scan=1"
                                     << "interval-time"
                                     << "";
    }

    void activeStates()
    {
        QFETCH(QString, device);
        QFETCH(QString, setup);
        QFETCH(QString, active);
        QFETCH(QString, inactive);
        QVERIFY(Open(device));
        QVERIFY(Apply(m_handle, setup));
        for (const QString& name : active.split(' ', Qt::SkipEmptyParts))
            QVERIFY2(IsActive(m_handle, name.toUtf8().constData()), qPrintable(name + " inactive"));
        for (const QString& name : inactive.split(' ', Qt::SkipEmptyParts)) {
            QVERIFY2(FindOption(m_handle, name.toUtf8().constData()) > 0, qPrintable(name));
            QVERIFY2(!IsActive(m_handle, name.toUtf8().constData()), qPrintable(name + " active"));
        }
    }

    // Switching the activity of other options is announced to the front end.
    void reloadOnActivityChange()
    {
        QVERIFY(Open("zylkx:KX-8000"));
        SANE_Int info = 0;
        QCOMPARE(SetString(m_handle, "paper-size", "Custom", &info), SANE_STATUS_GOOD);
        QVERIFY(info & SANE_INFO_RELOAD_OPTIONS);
        QCOMPARE(SetWord(m_handle, "edge-repair", SANE_TRUE, &info), SANE_STATUS_GOOD);
        QVERIFY(!(info & SANE_INFO_RELOAD_OPTIONS));
    }

    void pageHeightLimitPerResolution_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QList<int>>("resolutions");
        QTest::addColumn<QStringList>("limits");
        QTest::newRow("Kx") << "zylkx:KX-8000" << QList<int>{600, 400, 300, 200}
                            << QStringList{"863.6", "1727.2", "3175", "5588"};
        QTest::newRow("Wy") << "zylwy:WY200" << QList<int>{600, 300, 200}
                            << QStringList{"431.8", "1100", "3000"};
    }

    // The scan-area probe: on the feeder with a custom paper size, ask for the
    // largest height the descriptor allows at each resolution and read back
    // what the device kept.
    void pageHeightLimitPerResolution()
    {
        QFETCH(QString, device);
        QFETCH(QList<int>, resolutions);
        QFETCH(QStringList, limits);
        QVERIFY(Open(device));
        int n = FindOption(m_handle, "page-height");
        QVERIFY(n > 0);
        SANE_Word maxHeight = sane_get_option_descriptor(m_handle, n)->constraint.range->max;
        QCOMPARE(SetString(m_handle, "source", "Adf-front"), SANE_STATUS_GOOD);
        QStringList got, gotBry;
        for (int res : resolutions) {
            QCOMPARE(SetWord(m_handle, "resolution", res), SANE_STATUS_GOOD);
            QCOMPARE(SetString(m_handle, "paper-size", "Custom"), SANE_STATUS_GOOD);
            SANE_Int info = 0;
            QCOMPARE(SetWord(m_handle, "page-height", maxHeight, &info), SANE_STATUS_GOOD);
            got << GetText(m_handle, "page-height");
            QCOMPARE(SetWord(m_handle, "br-y", maxHeight), SANE_STATUS_GOOD);
            gotBry << GetText(m_handle, "br-y");
        }
        QCOMPARE(got, limits);
        QCOMPARE(gotBry, limits);
    }

    // A lower resolution limit shortens a page that was set at a higher one.
    void resolutionChangeClampsHeight()
    {
        QVERIFY(Open("zylkx:KX-8000"));
        QVERIFY(Apply(m_handle, "paper-size=Custom;resolution=200;page-height=2000"));
        QCOMPARE(GetText(m_handle, "page-height"), QString("2000"));
        SANE_Int info = 0;
        QCOMPARE(SetWord(m_handle, "resolution", 600, &info), SANE_STATUS_GOOD);
        QVERIFY(info & SANE_INFO_RELOAD_OPTIONS);
        QCOMPARE(GetText(m_handle, "page-height"), QString("863.6"));
        QCOMPARE(GetText(m_handle, "br-y"), QString("863.6"));
    }

    void paperSizeMovesScanArea_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("widthOption");
        QTest::addColumn<QString>("heightOption");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("Kx A5") << "zylkx:KX-8000"
                               << "paper-size=A5"
                               << "br-x"
                               << "br-y"
                               << "148"
                               << "210";
        QTest::newRow("Kx custom") << "zylkx:KX-8000"
                                   << "paper-size=Custom;page-width=100;page-height=150"
                                   << "br-x"
                                   << "br-y"
                                   << "100"
                                   << "150";
        QTest::newRow("Kx flatbed") << "zylkx:KX-8000"
                                    << "paper-size=A5;source=Flatbed"
                                    << "br-x"
                                    << "br-y"
                                    << "215.9"
                                    << "297";
        QTest::newRow("Wy Letter") << "zylwy:WY200"
                                   << "paper-size=Letter"
                                   << "br-x"
                                   << "br-y"
                                   << "215.9"
                                   << "279.4";
        QTest::newRow("RV920 custom") << "zyljn:RV920"
                                      << ""
                                      << "page-width"
                                      << "page-height"
                                      << "355.6"
                                      << "216";
    }

    void paperSizeMovesScanArea()
    {
        QFETCH(QString, device);
        QFETCH(QString, setup);
        QFETCH(QString, widthOption);
        QFETCH(QString, heightOption);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QVERIFY(Open(device));
        QVERIFY(Apply(m_handle, setup));
        QCOMPARE(GetText(m_handle, widthOption.toUtf8().constData()), width);
        QCOMPARE(GetText(m_handle, heightOption.toUtf8().constData()), height);
    }
};

QTEST_GUILESS_MAIN(TestSimOptions)
#include "tst_simoptions.moc"
