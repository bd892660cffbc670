// Per-scanner ini files on the test panel: where they go, how their
// "value|flag" lines are read back, hostile contents, saving over an old
// file and a failed save.
#include "optiontables.h"
#include "pagemaker.h"
#include "testpanel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using PageMaker::bytes;

namespace {

QByteArray Ini(const char* lines)
{
    return "[ScannerOptions]\n" + QByteArray(lines) + "\n";
}

enum Save { NoSave, Saved, SaveFails };

} // namespace

class TestOptionPersistence : public QObject {
    Q_OBJECT
private slots:
    void readBack_data();
    void readBack();
};

void TestOptionPersistence::readBack_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("ini"); // null: no file
    QTest::addColumn<int>("save");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected"); // "option=value|enabled" on a panel started afresh

    const QString kx = QStringLiteral("zylkx:kx2000");
    const QString file = QStringLiteral("zylkx_kx2000.ini");
    QTest::newRow("saved over an old file")
        << kx << QByteArray("[ScannerOptions]\nold-option=x|1\n\n[Other]\nkey=1\n") << int(Saved) << file
        << QStringList{"resolution=600|1", "mode=Gray|1"};
    QTest::newRow("failed save keeps the old file")
        << kx << Ini("resolution=150|1") << int(SaveFails) << file << QStringList{};
    QTest::newRow("value and flag") << kx << Ini("mode=Gray|0") << int(NoSave) << file
                                    << QStringList{"mode=Gray|0", "source=Adf-duplex|1"};
    QTest::newRow("no flag keeps the enabled state")
        << kx << Ini("mode=Gray") << int(NoSave) << file << QStringList{"mode=Gray|1"};
    QTest::newRow("more than one bar")
        << kx << Ini("resolution=150|b|1") << int(NoSave) << file << QStringList{"resolution=150|0"};
    QTest::newRow("unknown combo value")
        << kx << Ini("mode=Sepia|1") << int(NoSave) << file << QStringList{"mode=Color|1"};
    QTest::newRow("non-numeric spin value is clamped")
        << kx << Ini("resolution=abc|1") << int(NoSave) << file << QStringList{"resolution=50|1"};
    QTest::newRow("fixed companion is not read") << kx << Ini("mf-overlapping=no|0") << int(NoSave) << file
                                                 << QStringList{"multifeed-detection=yes|1"};
    QTest::newRow("blank first line counts as no file")
        << kx << QByteArray("  \t\n[ScannerOptions]\nmode=Gray|1\n") << int(NoSave) << file
        << QStringList{"mode=Color|1"};
    QTest::newRow("fields after the second are ignored")
        << "zylkx:libusb:001:004" << QByteArray() << int(Saved) << "zylkx_libusb.ini"
        << QStringList{"mode=Gray|1"};
    QTest::newRow("slashes cannot leave the folder") << "../../etc:passwd" << QByteArray() << int(Saved)
                                                     << ".._.._etc_passwd.ini" << QStringList{"mode=Gray|1"};
}

void TestOptionPersistence::readBack()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, ini);
    QFETCH(int, save);
    QFETCH(QString, file);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral(".config/scanvy"));
    const QString path = folder + QLatin1Char('/') + ParentScannerOptions::ConfigFileName(device);
    QVERIFY(QDir().mkpath(folder));
    if (!ini.isNull()) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(ini);
    }
    const auto start = [&](TestPanel& panel) {
        panel.m_configPath = folder;
        panel.m_options = OptionTables::FeederDevice();
        panel.InitSpecial();
        panel.InitWidgetByOption(device, false);
    };
    TestPanel panel;
    start(panel);
    panel.sbResolution->setValue(600);
    panel.cmMode->setCurrentIndex(1);
    if (save == Saved) {
        QVERIFY(panel.SaveParamsToIni());
        QVERIFY2(!bytes(path).contains("old-option") && !bytes(path).contains("[Other]"), bytes(path));
    } else if (save == SaveFails) {
        // Files of this process may not grow past 16 bytes while saving.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        const PageMaker::FileSizeLimit full(16);
        QVERIFY(!panel.SaveParamsToIni());
    }
    if (save != Saved)
        QCOMPARE(bytes(path), ini.isNull() ? QByteArray() : ini);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{file});

    TestPanel reread;
    start(reread);
    reread.GetParamsEnter();
    for (const QString& e : expected) {
        const QString option = e.section(QLatin1Char('='), 0, 0);
        const auto config = std::find_if(reread.m_paramConfigs.begin(), reread.m_paramConfigs.end(),
                                         [&](const ParamConfig& c) { return c.optionName == option; });
        QVERIFY2(config != reread.m_paramConfigs.end(), qPrintable(option));
        const QString got = option + QLatin1Char('=') + reread.m_enterParams.value(option).value +
                            (config->widget->isEnabled() ? "|1" : "|0");
        QCOMPARE(got, e);
    }
}

QTEST_MAIN(TestOptionPersistence)
#include "tst_optionpersistence.moc"
