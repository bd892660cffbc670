// Per-scanner ini files on the test panel: file names, the "value|flag"
// lines, start-up order, saving and a failed save.
#include "optiontables.h"
#include "testpanel.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace OptionTables;

namespace {

const QString kDevice = QStringLiteral("zylkx:kx2000");

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteRaw(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// Limits the size of files this process may write, for provoking a failed write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestOptionPersistence : public QObject {
    Q_OBJECT
private slots:
    void init();
    void fileNames_data();
    void fileNames();
    void savedFileExists_data();
    void savedFileExists();
    void savedLines();
    void readLines_data();
    void readLines();
    void startUpOrder();
    void defaultsIgnoreTheFile();
    void savingTwiceKeepsTheSecondSet();
    void failedSaveKeepsTheOldFile();

private:
    void Start(TestPanel& panel, bool useDefaults = false,
               const QHash<QString, Opt_Result>& options = FeederDevice());
    QString FilePath() const { return m_folder + QStringLiteral("/zylkx_kx2000.ini"); }

    QTemporaryDir m_dir;
    QString m_folder;
};

void TestOptionPersistence::init()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.filePath(QStringLiteral(".config/com.quvex.zyl.scanvy"));
    QDir(m_folder).removeRecursively();
}

void TestOptionPersistence::Start(TestPanel& panel, bool useDefaults,
                                  const QHash<QString, Opt_Result>& options)
{
    panel.m_configPath = m_folder;
    panel.m_options = options;
    panel.InitSpecial();
    panel.InitWidgetByOption(kDevice, useDefaults);
}

void TestOptionPersistence::fileNames_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("file");
    QTest::newRow("overhead scanner") << "zyljn:RV920"
                                      << "zyljn_RV920.ini";
    QTest::newRow("fields after the second are ignored") << "zylkx:libusb:001:004"
                                                         << "zylkx_libusb.ini";
    QTest::newRow("no colon") << "scanner"
                              << "scanner_.ini";
    QTest::newRow("empty name") << ""
                                << "_.ini";
    QTest::newRow("slashes cannot leave the folder") << "../../etc:passwd"
                                                     << ".._.._etc_passwd.ini";
    QTest::newRow("control characters") << QString("zylwy:a\nb") << "zylwy_a_b.ini";
    QTest::newRow("chinese name") << "zylwy:扫描仪"
                                  << "zylwy_扫描仪.ini";
}

void TestOptionPersistence::fileNames()
{
    QFETCH(QString, device);
    QFETCH(QString, file);
    QCOMPARE(ParentScannerOptions::ConfigFileName(device), file);

    // The panel really uses that file inside its folder.
    TestPanel panel;
    panel.m_configPath = m_folder;
    panel.m_options = FeederDevice();
    panel.InitSpecial();
    panel.InitWidgetByOption(device, false);
    QVERIFY(panel.SaveParamsToIni());
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{file});
}

void TestOptionPersistence::savedFileExists_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::newRow("no file") << false << QByteArray() << false;
    QTest::newRow("empty file") << true << QByteArray() << false;
    QTest::newRow("blank first line") << true << QByteArray("  \t\n[ScannerOptions]\nmode=Gray|1\n") << false;
    QTest::newRow("settings") << true << QByteArray("[ScannerOptions]\nmode=Gray|1\n") << true;
}

void TestOptionPersistence::savedFileExists()
{
    QFETCH(bool, create);
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    QVERIFY(QDir().mkpath(m_folder));
    if (create)
        WriteRaw(FilePath(), content);
    TestPanel panel;
    panel.m_configPath = m_folder;
    QCOMPARE(panel.EnsureScanConfigPath(kDevice, false), exists);
    QCOMPARE(QFile::exists(FilePath()), create);

    // A file that counts as absent is not applied at start-up.
    Start(panel);
    QCOMPARE(panel.cmMode->currentData().toString(),
             exists ? QStringLiteral("Gray") : QStringLiteral("Color"));

    // reset empties the file.
    QVERIFY(!panel.EnsureScanConfigPath(kDevice, true));
    QVERIFY(QFile::exists(FilePath()));
    QCOMPARE(ReadRaw(FilePath()), QByteArray());
}

void TestOptionPersistence::savedLines()
{
    TestPanel panel;
    Start(panel);
    panel.cmMode->setCurrentIndex(0); // Lineart
    panel.dsbBrx->setEnabled(false);
    panel.dsbBry->setValue(297.5);
    panel.cbMultifeedDetection->setEnabled(false);
    QVERIFY(panel.SaveParamsToIni());

    const QByteArray raw = ReadRaw(FilePath());
    const QList<QByteArray> lines = raw.split('\n');
    QCOMPARE(lines.value(0), QByteArray("[ScannerOptions]"));
    for (const char* line :
         {"source=Adf-duplex|1", "mode=Lineart|1", "resolution=300|1", "custom-longpage=no|1", "br-x=210|0",
          "br-y=297.5|1", "page-auto=yes|1", "multifeed-detection=yes|0", "mf-overlapping=yes|0",
          "mf-length=no|0", "gamma=1.6|1", "cropping=Old_specification|1", "jpeg=yes|1", "jpeg-quality=4|1",
          "cleanup-sharpness=None|1"})
        QVERIFY2(lines.contains(line), line);
    QCOMPARE(lines.count(QByteArray()), 1); // only the final newline
    QCOMPARE(lines.size(), 1 + panel.m_paramConfigs.size() + 1);
}

void TestOptionPersistence::readLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("combo value and flag") << QByteArray("mode=Gray|0") << "cmMode"
                                          << "Gray" << false;
    QTest::newRow("no flag keeps the enabled state") << QByteArray("mode=Gray") << "cmMode"
                                                     << "Gray" << true;
    QTest::newRow("more than one bar") << QByteArray("resolution=150|b|1") << "sbResolution"
                                       << "150" << false;
    QTest::newRow("unknown combo value") << QByteArray("mode=Sepia|1") << "cmMode"
                                         << "Color" << true;
    QTest::newRow("non-numeric spin value is clamped") << QByteArray("resolution=abc|1") << "sbResolution"
                                                       << "50" << true;
    QTest::newRow("double value") << QByteArray("br-y=355.6|1") << "dsbBry"
                                  << "355.6" << true;
    QTest::newRow("multifeed yes") << QByteArray("multifeed-detection=yes|1") << "cbMultifeedDetection"
                                   << "yes" << true;
    QTest::newRow("multifeed Stop") << QByteArray("multifeed-detection=Stop|1") << "cbMultifeedDetection"
                                    << "yes" << true;
    QTest::newRow("check box no, disabled") << QByteArray("page-auto=no|0") << "cbPageAuto"
                                            << "no" << false;
    QTest::newRow("fixed companion is not read")
        << QByteArray("mf-overlapping=no|0") << "cbMultifeedDetection"
        << "yes" << true;
    QTest::newRow("long page") << QByteArray("custom-longpage=yes|1") << "cbLongPage"
                               << "yes" << true;
    QTest::newRow("empty value leaves the widget") << QByteArray("mode=") << "cmMode"
                                                   << "Color" << true;
}

void TestOptionPersistence::readLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, object);
    QFETCH(QString, value);
    QFETCH(bool, enabled);
    QVERIFY(QDir().mkpath(m_folder));
    WriteRaw(FilePath(), "[ScannerOptions]\n" + line + "\n");
    TestPanel panel;
    Start(panel);
    auto* widget = panel.findChild<QWidget*>(object);
    QVERIFY(widget);
    panel.GetParamsEnter();
    QCOMPARE(panel.m_enterParams.value(panel.m_paramConfigs.at(0).optionName).value,
             QStringLiteral("Adf-duplex"));
    QString actual;
    for (const ParamConfig& config : panel.m_paramConfigs) {
        if (config.widget == widget) {
            actual = panel.m_enterParams.value(config.optionName).value;
            break;
        }
    }
    QCOMPARE(actual, value);
    QCOMPARE(widget->isEnabled(), enabled);
}

void TestOptionPersistence::startUpOrder()
{
    QVERIFY(QDir().mkpath(m_folder));
    // The saved file enables gamma, which the device lacks.
    WriteRaw(FilePath(), "[ScannerOptions]\nmode=Gray|1\ngamma=2|1\npage-auto=no|1\n");
    QHash<QString, Opt_Result> options = FeederDevice();
    options.remove(QStringLiteral("gamma"));
    TestPanel panel;
    QSignalSpy modeSpy(panel.cmMode, QOverload<int>::of(&QComboBox::currentIndexChanged));
    QSignalSpy autoSpy(panel.cbPageAuto, &QCheckBox::stateChanged);
    Start(panel, false, options);

    QCOMPARE(panel.m_calls,
             QStringList({"InitOptionsByDefault", "ShowStandardTab", "InitOther", "InitWidgetEvent"}));
    QCOMPARE(panel.m_modeSeenByInitOther, QStringLiteral("Gray"));
    QVERIFY(panel.m_signalsBlockedInInitOther);
    QCOMPARE(modeSpy.count(), 0);
    QCOMPARE(autoSpy.count(), 0);
    QCOMPARE(panel.m_ruleRuns, 0);
    QVERIFY(!panel.dsbGamma->isEnabled());
    QVERIFY(!panel.cbPageAuto->isChecked());

    // Signals are live again, and a second start-up does not connect twice.
    Start(panel, false, options);
    panel.cbPageAuto->setChecked(true);
    QCOMPARE(panel.m_ruleRuns, 1);
    QCOMPARE(autoSpy.count(), 1);
}

void TestOptionPersistence::defaultsIgnoreTheFile()
{
    QVERIFY(QDir().mkpath(m_folder));
    const QByteArray saved("[ScannerOptions]\nmode=Gray|0\nresolution=600|1\n");
    WriteRaw(FilePath(), saved);
    TestPanel panel;
    Start(panel, true);
    QCOMPARE(panel.cmMode->currentData().toString(), QStringLiteral("Color"));
    QVERIFY(panel.cmMode->isEnabled());
    QCOMPARE(panel.sbResolution->value(), 300);
    QCOMPARE(ReadRaw(FilePath()), saved);
}

void TestOptionPersistence::savingTwiceKeepsTheSecondSet()
{
    QVERIFY(QDir().mkpath(m_folder));
    WriteRaw(FilePath(), "[ScannerOptions]\nold-option=x|1\n\n[Other]\nkey=1\n");
    TestPanel panel;
    Start(panel);
    panel.sbResolution->setValue(150);
    QVERIFY(panel.SaveParamsToIni());
    panel.sbResolution->setValue(600);
    panel.cmMode->setCurrentIndex(1);
    QVERIFY(panel.SaveParamsToIni());

    const QByteArray raw = ReadRaw(FilePath());
    QVERIFY2(raw.contains("resolution=600|1\n"), raw.constData());
    QVERIFY2(raw.contains("mode=Gray|1\n"), raw.constData());
    QVERIFY2(!raw.contains("150"), raw.constData());
    QVERIFY2(!raw.contains("old-option"), raw.constData());
    QVERIFY2(!raw.contains("[Other]"), raw.constData());
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"zylkx_kx2000.ini"});

    TestPanel reread;
    Start(reread);
    QCOMPARE(reread.sbResolution->value(), 600);
}

void TestOptionPersistence::failedSaveKeepsTheOldFile()
{
    TestPanel panel;
    Start(panel);
    QVERIFY(panel.SaveParamsToIni());
    const QByteArray before = ReadRaw(FilePath());
    QVERIFY(before.contains("resolution=300|1"));

    panel.sbResolution->setValue(600);
    {
        FileSizeLimit limit(16);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        QVERIFY(!panel.SaveParamsToIni());
    }
    QCOMPARE(ReadRaw(FilePath()), before);
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"zylkx_kx2000.ini"});

    // Once writing works again the new settings are saved.
    QVERIFY(panel.SaveParamsToIni());
    QVERIFY(ReadRaw(FilePath()).contains("resolution=600|1"));
}

QTEST_MAIN(TestOptionPersistence)
#include "tst_optionpersistence.moc"
