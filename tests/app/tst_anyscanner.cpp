// The real main window on libsane's own "test" backend, a device nobody here
// wrote: the device list with "显示所有SANE扫描仪", the panel built from the
// device's options, its reloads, and scans compared pixel by pixel with
// scanimage on the same backend and options.
#include "genericscanneroptionswidget.h"
#include "optionscontainerwidget.h"
#include "optionwidget.h"
#include "sanescan.h"
#include "windowfixture.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtEndian>
#include <QtTest>

#include <tiffio.h>

namespace {

const QString kTest = QStringLiteral("test:0");

// Samples of one page, row by row, as numbers (16-bit samples in the
// machine's order), with the frame's shape.
struct Samples {
    int width = 0;
    int height = 0;
    int channels = 0;
    int depth = 0;
    QVector<quint16> values;
    QString error;
};

// A PNM file as scanimage writes it (P4, P5, P6; maximum 255 or 65535).
Samples ReadPnm(const QString& path)
{
    Samples s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Samples{0, 0, 0, 0, {}, QStringLiteral("cannot open ") + path};
    QList<QByteArray> fields;
    const QByteArray all = file.readAll();
    int pos = 0;
    const int wanted = all.startsWith("P4") ? 3 : 4;
    while (fields.size() < wanted && pos < all.size()) {
        if (all[pos] == '#') {
            pos = all.indexOf('\n', pos) + 1;
            continue;
        }
        if (QChar::isSpace(all[pos])) {
            ++pos;
            continue;
        }
        int end = pos;
        while (end < all.size() && !QChar::isSpace(all[end]))
            ++end;
        fields.append(all.mid(pos, end - pos));
        pos = end;
    }
    ++pos; // the one white space after the header
    s.width = fields.value(1).toInt();
    s.height = fields.value(2).toInt();
    s.channels = fields.value(0) == "P6" ? 3 : 1;
    s.depth = fields.value(0) == "P4" ? 1 : (fields.value(3).toInt() > 255 ? 16 : 8);
    const QByteArray data = all.mid(pos);
    if (s.depth == 1) {
        for (char c : data)
            s.values.append(quint8(c));
    } else if (s.depth == 8) {
        for (char c : data)
            s.values.append(quint8(c));
    } else {
        for (int i = 0; i + 1 < data.size(); i += 2)
            s.values.append(qFromBigEndian<quint16>(data.constData() + i));
    }
    return s;
}

// A page file as libtiff reads it (samples in the machine's order).
Samples ReadTiff(const QString& path)
{
    Samples s;
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return Samples{0, 0, 0, 0, {}, QStringLiteral("libtiff cannot open ") + path};
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 0;
    uint16_t channels = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &channels);
    s.width = int(width);
    s.height = int(height);
    s.depth = bits;
    s.channels = channels;
    QByteArray row(int(TIFFScanlineSize(tif)), '\0');
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
            s.error = QStringLiteral("libtiff cannot read row %1 of %2").arg(y).arg(path);
            break;
        }
        if (bits == 16) {
            for (int i = 0; i + 1 < row.size(); i += 2)
                s.values.append(*reinterpret_cast<const quint16*>(row.constData() + i));
        } else {
            for (char c : row)
                s.values.append(quint8(c));
        }
    }
    TIFFClose(tif);
    return s;
}

} // namespace

class TestAnyScanner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void deviceList_data();
    void deviceList();
    void panelWidgets_data();
    void panelWidgets();
    void reloadUpdatesPanel_data();
    void reloadUpdatesPanel();
    void scanEqualsScanimage_data();
    void scanEqualsScanimage();
    void settingsPersistAndDefaultsReturn();
    void wheelScrollsInsteadOfChanging();

private:
    bool Start(bool showAll, const QString& devices);
    GenericScannerOptionsWidget* Panel() const;
    template <typename T> T* Option(const char* name) const;
    // Picks a value (combo box or spin box) and commits it as the user does;
    // waits for the job that hands it to the device.
    bool Commit(const char* name, const QString& value);

    QScopedPointer<WindowFixture> m_fx;
};

void TestAnyScanner::initTestCase()
{
    // libsane's own test backend joins the simulated ones, with one device.
    const QString conf = QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR"));
    QFile dll(conf + QStringLiteral("/dll.conf"));
    QVERIFY(dll.open(QIODevice::Append));
    dll.write("test\n");
    QFile::remove(conf + QStringLiteral("/test.conf"));
    QVERIFY(QFile::copy(QStringLiteral(SCANVY_SOURCE_DIR "/sim/test-backend.conf"),
                        conf + QStringLiteral("/test.conf")));
}

void TestAnyScanner::init()
{
    m_fx.reset(new WindowFixture);
}

void TestAnyScanner::cleanup()
{
    // The backend keeps its option values until SANE stops; the next
    // window starts from the device's defaults.
    if (m_fx->window)
        m_fx->Session()->Exit();
    m_fx.reset();
}

bool TestAnyScanner::Start(bool showAll, const QString& devices)
{
    const QString dir = m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy");
    QDir().mkpath(dir);
    QFile ini(dir + QStringLiteral("/SysConfig.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write(showAll ? "[Scanner]\nShowAllScanners=2\n" : "[Scanner]\nShowAllScanners=0\n");
    ini.close();
    WindowFixture::WriteScenario(QStringLiteral("devices=%1\nsheets=2").arg(devices));
    return m_fx->Start();
}

GenericScannerOptionsWidget* TestAnyScanner::Panel() const
{
    return dynamic_cast<GenericScannerOptionsWidget*>(m_fx->Panel());
}

template <typename T> T* TestAnyScanner::Option(const char* name) const
{
    // The widget the panel binds now, not one it keeps for another device.
    for (const ParamConfig& config : Panel()->ParamConfigs()) {
        if (config.optionName == QLatin1String(name))
            return qobject_cast<T*>(config.widget);
    }
    // A read-only one: the one laid out in the panel.
    const auto* shown = Panel()->findChild<QWidget*>(QStringLiteral("frmGenericOptions"));
    return shown ? shown->template findChild<T*>(QLatin1String(name)) : nullptr;
}

bool TestAnyScanner::Commit(const char* name, const QString& value)
{
    QWidget* widget = Option<QWidget>(name);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const int index = combo->findData(value);
        if (index < 0)
            return false;
        if (index == combo->currentIndex())
            return true; // nothing to commit
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) {
        if (spin->value() == value.toDouble())
            return true;
        spin->setValue(value.toDouble());
        emit spin->editingFinished();
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        if (box->isChecked() == (value == QLatin1String("yes")))
            return true;
        box->click();
    } else {
        return false;
    }
    return m_fx->WaitJobDone();
}

void TestAnyScanner::deviceList_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("panel"); // class of the first device's panel

    QTest::newRow("off: families only")
        << false << "zylkx:KX-8000,zylwy:WY200" << QStringList{"zylkx:KX-8000", "zylwy:WY200"}
        << "KxScannerOptionsWidget";
    QTest::newRow("on: other devices after the families")
        << true << "zylkx:KX-8000,zylwy:WY200" << QStringList{"zylkx:KX-8000", "zylwy:WY200", kTest}
        << "KxScannerOptionsWidget";
    QTest::newRow("on: no family scanner opens the other device")
        << true << "" << QStringList{kTest} << "GenericScannerOptionsWidget";
}

void TestAnyScanner::deviceList()
{
    QFETCH(bool, showAll);
    QFETCH(QString, devices);
    QFETCH(QStringList, list);
    QFETCH(QString, panel);
    QVERIFY(Start(showAll, devices));
    QCOMPARE(QStringList(m_fx->window->DeviceList()), list);
    auto* selector = m_fx->Child<QComboBox>("cmScannerList");
    QCOMPARE(selector->count(), list.size());
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：%1").arg(list.first()));
    QCOMPARE(QString::fromLatin1(dynamic_cast<QWidget*>(m_fx->Panel())->metaObject()->className()), panel);
    if (!list.contains(kTest) || list.first() == kTest)
        return;
    // Switching to the other device shows its own panel.
    selector->setCurrentIndex(list.indexOf(kTest));
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(Panel());
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：%1").arg(kTest));
    QVERIFY(Option<QComboBox>("mode"));
}

void TestAnyScanner::panelWidgets_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("kind"); // "" when the option has no widget
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("advanced");

    QTest::newRow("string list") << "mode"
                                 << "QComboBox" << true << false << false;
    QTest::newRow("word list") << "depth"
                               << "QComboBox" << true << false << false;
    QTest::newRow("fixed range") << "resolution"
                                 << "QDoubleSpinBox" << true << false << false;
    QTest::newRow("inactive bool") << "three-pass"
                                   << "QCheckBox" << false << false << false;
    QTest::newRow("soft detect only") << "bool-soft-detect"
                                      << "QCheckBox" << true << true << true;
    QTest::newRow("int without constraint") << "int"
                                            << "QSpinBox" << true << false << true;
    QTest::newRow("int range") << "int-constraint-range"
                               << "QSpinBox" << true << false << true;
    QTest::newRow("free string") << "string"
                                 << "QComboBox" << true << false << false;
    QTest::newRow("button") << "button"
                            << "QPushButton" << true << false << false;
    QTest::newRow("vector left out") << "int-constraint-array"
                                     << "" << false << false << false;
    QTest::newRow("gamma table left out") << "gamma-table"
                                          << "" << false << false << false;
}

void TestAnyScanner::panelWidgets()
{
    QFETCH(QString, option);
    QFETCH(QString, kind);
    QFETCH(bool, enabled);
    QFETCH(bool, readOnly);
    QFETCH(bool, advanced);
    QVERIFY(Start(true, QString()));
    QVERIFY(Commit("enable-test-options", QStringLiteral("yes")));
    QWidget* widget = Option<QWidget>(option.toLatin1().constData());
    if (kind.isEmpty()) {
        QVERIFY2(!widget, "a vector option has a widget");
        return;
    }
    QVERIFY2(widget, "no widget");
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    QCOMPARE(widget->isEnabled(), enabled);
    QCOMPARE(widget->property("readOnly").toBool(), readOnly);
    QCOMPARE(Panel()->findChild<QWidget*>(QStringLiteral("frmAdvanced"))->isAncestorOf(widget), advanced);
    // Only what the user may set is bound (sent for a scan, saved).
    bool bound = false;
    for (const ParamConfig& config : Panel()->ParamConfigs())
        bound = bound || config.optionName == option;
    QCOMPARE(bound, !readOnly && kind != QLatin1String("QPushButton"));
}

void TestAnyScanner::reloadUpdatesPanel_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("dependent");

    QTest::newRow("colour mode activates three-pass") << "mode"
                                                      << "Color"
                                                      << "three-pass";
    QTest::newRow("test options switch on") << "enable-test-options"
                                            << "yes"
                                            << "int";
    QTest::newRow("read limit activates its size") << "read-limit"
                                                   << "yes"
                                                   << "read-limit-size";
}

void TestAnyScanner::reloadUpdatesPanel()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, dependent);
    QVERIFY(Start(true, QString()));
    Panel()->findChild<QToolButton*>(QStringLiteral("btnAdvanced"))->setChecked(true);
    QWidget* before = Option<QWidget>(dependent.toLatin1().constData());
    QVERIFY(before);
    QVERIFY(!before->isEnabled());
    QWidget* edited = Option<QWidget>(option.toLatin1().constData());
    edited->setFocus();
    QVERIFY(Commit(option.toLatin1().constData(), value));
    QWidget* after = Option<QWidget>(dependent.toLatin1().constData());
    QVERIFY(after->isEnabled());
    // The user's place: the same widget, the value kept, the section open.
    QCOMPARE(Option<QWidget>(option.toLatin1().constData()), edited);
    QVERIFY(Panel()->findChild<QWidget*>(QStringLiteral("frmAdvanced"))->isVisibleTo(Panel()));
    if (auto* combo = qobject_cast<QComboBox*>(edited))
        QCOMPARE(combo->currentData().toString(), value);
}

void TestAnyScanner::scanEqualsScanimage_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("pages");

    QTest::newRow("gray 8 bit") << "Gray"
                                << "8"
                                << "75"
                                << "Flatbed" << 1;
    QTest::newRow("gray 1 bit") << "Gray"
                                << "1"
                                << "100"
                                << "Flatbed" << 1;
    QTest::newRow("colour 8 bit") << "Color"
                                  << "8"
                                  << "50"
                                  << "Flatbed" << 1;
    QTest::newRow("colour 16 bit") << "Color"
                                   << "16"
                                   << "40"
                                   << "Flatbed" << 1;
    // The backend's feeder is empty after ten sheets.
    QTest::newRow("feeder until empty") << "Gray"
                                        << "8"
                                        << "30"
                                        << "Automatic Document Feeder" << 10;
}

void TestAnyScanner::scanEqualsScanimage()
{
    QFETCH(QString, mode);
    QFETCH(QString, depth);
    QFETCH(QString, resolution);
    QFETCH(QString, source);
    QFETCH(int, pages);
    QVERIFY(Start(true, QString()));
    QVERIFY(Commit("mode", mode));
    QVERIFY(Commit("depth", depth));
    QVERIFY(Commit("resolution", resolution));
    QVERIFY(Commit("source", source));
    QVERIFY(Commit("test-picture", QStringLiteral("Color pattern")));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitIdle(60000));
    const QList<QString> files = m_fx->window->PageFiles();
    QCOMPARE(files.size(), pages);

    QTemporaryDir peer;
    QProcess scanimage;
    scanimage.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scanimage.start(
        QStringLiteral("scanimage"),
        {QStringLiteral("-d"), kTest, QStringLiteral("--format=pnm"), QStringLiteral("--mode"), mode,
         QStringLiteral("--depth"), depth, QStringLiteral("--resolution"), resolution,
         QStringLiteral("--source"), source, QStringLiteral("--test-picture"),
         QStringLiteral("Color pattern"), QStringLiteral("--batch=") + peer.filePath("p%d.pnm"),
         // a flatbed never runs empty; the feeder does after its sheets
         QStringLiteral("--batch-count=%1").arg(source == QLatin1String("Flatbed") ? pages : pages + 1)});
    QVERIFY(scanimage.waitForFinished(60000));
    for (int i = 0; i < pages; ++i) {
        const Samples ours = ReadTiff(files.at(i));
        const Samples theirs = ReadPnm(peer.filePath(QStringLiteral("p%1.pnm").arg(i + 1)));
        QVERIFY2(ours.error.isEmpty(), qPrintable(ours.error));
        QVERIFY2(theirs.error.isEmpty(), qPrintable(theirs.error));
        QCOMPARE(ours.width, theirs.width);
        QCOMPARE(ours.height, theirs.height);
        QCOMPARE(ours.channels, theirs.channels);
        QCOMPARE(ours.depth, theirs.depth);
        QVERIFY2(ours.values == theirs.values, qPrintable(QStringLiteral("page %1 differs").arg(i + 1)));
    }
    QVERIFY(!QFile::exists(peer.filePath(QStringLiteral("p%1.pnm").arg(pages + 1))));
}

void TestAnyScanner::settingsPersistAndDefaultsReturn()
{
    QVERIFY(Start(true, QString()));
    QVERIFY(Commit("mode", QStringLiteral("Color")));
    QVERIFY(Commit("resolution", QStringLiteral("150")));
    QVERIFY(Panel()->SaveParamsToIni());
    QFile ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/test_0.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    QVERIFY2(saved.contains("mode=Color|1") && saved.contains("resolution=150|1"), saved.constData());

    // "恢复默认参数": the device's own defaults, the file left alone.
    m_fx->Child<QPushButton>("btnGetDefaultSetting")->click();
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(Option<QComboBox>("mode")->currentData().toString(), QStringLiteral("Gray"));
    QCOMPARE(Option<QDoubleSpinBox>("resolution")->value(), 75.0);

    // A switch back to the device reads the saved settings again.
    m_fx->window->findChild<OptionsContainerWidget*>()->InitWidgetByOption(Panel()->m_options, false);
    QCOMPARE(Option<QComboBox>("mode")->currentData().toString(), QStringLiteral("Color"));
    QCOMPARE(Option<QDoubleSpinBox>("resolution")->value(), 150.0);
}

void TestAnyScanner::wheelScrollsInsteadOfChanging()
{
    // Scrolling down a long panel passes over lists and numbers; a wheel
    // turn must not change one the user did not pick.
    QVERIFY(Start(true, QString()));
    for (const char* name : {"mode", "resolution"}) {
        auto* widget = Option<QWidget>(name);
        QVERIFY2(widget, name);
        QVERIFY(!widget->hasFocus());
        const QString before = OptionWidget::ValueText(widget);
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &wheel);
        QCOMPARE(OptionWidget::ValueText(widget), before);
    }
}

QTEST_MAIN(TestAnyScanner)
#include "tst_anyscanner.moc"
