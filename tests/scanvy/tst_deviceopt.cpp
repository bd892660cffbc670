#include "deviceopt.h"
#include "execcmd.h"
#include "simpage.h"

#include <QtTest>

using Outputs = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Outputs)

namespace {

const QString kLsusb = QStringLiteral("lsusb | grep -E '0a3d|0b7e'");
const QString kKxQuery = QStringLiteral("dpkg -l zylkx |grep 'ii' | awk '/zylkx/ {print $2}{print $3}'");
const QString kKxUosQuery = QStringLiteral(
    "dpkg -l com.quvex.zyl.zylkx |grep 'ii' | awk '/com.quvex.zyl.zylkx/ {print $2}{print $3}'");
const QString kWyQuery = QStringLiteral("dpkg -l zylwy |grep 'ii' | awk '/zylwy/ {print $2}{print $3}'");
const QString kWyUosQuery = QStringLiteral(
    "dpkg -l com.quvex.zyl.zylwy |grep 'ii' | awk '/com.quvex.zyl.zylwy/ {print $2}{print $3}'");
const QString kKxTool =
    QStringLiteral("/opt/zylkx/consumables/zylkxconsumables -L |grep -v 'List of available devices:'");
const QString kWyTool =
    QStringLiteral("/opt/zylwy/consumables/zylwyconsumables -L |grep -v 'List of available devices:'");

// Answers command lines from a table (anything else prints nothing) and
// records what was run, in order.
struct ScriptedShell {
    Outputs outputs;
    QStringList calls;

    QString operator()(QString const& command)
    {
        calls.append(command);
        for (auto const& entry : outputs) {
            if (entry.first == command)
                return entry.second;
        }
        return QString();
    }
};

const QString kSimBin = QStringLiteral(SCANVY_SIM_BIN_DIR);

// The consumables tools live at fixed paths; the simulator's stand-ins
// replace them, while lsusb and dpkg are found first on PATH.
QString SimShell(QString const& command)
{
    static const QList<QPair<QString, QString>> tools{
        {QStringLiteral("/opt/zylkx/consumables/zylkxconsumables"),
         kSimBin + QStringLiteral("/zylkxconsumables")},
        {QStringLiteral("/opt/zylwy/consumables/zylwyconsumables"),
         kSimBin + QStringLiteral("/zylwyconsumables")}};
    for (auto const& tool : tools) {
        if (command.startsWith(tool.first))
            return ExecCmd(tool.second + command.mid(tool.first.size()));
    }
    return ExecCmd(command);
}

QString Describe(ScannerInfo const& info)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(info.model, info.deviceName, info.note, info.driverInfo)
        .arg(info.family);
}

} // namespace

class TestDeviceOpt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void discovers_data();
    void discovers();
    void defaultProbesRunThroughTheShell();
    void hasScanners_data();
    void hasScanners();
    void loadScanner_data();
    void loadScanner();
    void loadScannerClearsPreviousList();
    void osCodeFromLsbRelease_data();
    void osCodeFromLsbRelease();
    void getOSNameRunsLsbRelease_data();
    void getOSNameRunsLsbRelease();
};

// The simulator's stand-ins for lsusb and dpkg are found first on PATH.
void TestDeviceOpt::initTestCase()
{
    QVERIFY2(QFileInfo(kSimBin + QStringLiteral("/lsusb")).isExecutable(), qPrintable(kSimBin));
    qputenv("PATH", QFile::encodeName(kSimBin) + ':' + qgetenv("PATH"));
}

// Discovery against the simulator's stand-ins for lsusb, dpkg and the
// drivers' consumables tools.
void TestDeviceOpt::discovers_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("os");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("overhead");
    QTest::addColumn<QStringList>("scanners");

    const QString kx8000 = QStringLiteral("KX-8000|zylkx:KX-8000||zylkx 2.1.0-1|1");
    const QString kxF600 = QStringLiteral("KX-F600|zylkx:KX-F600||zylkx 2.1.0-1|1");
    const QString wy200 = QStringLiteral("WY-200|zylwy:WY200||zylwy 1.4.2-1|2");

    QTest::newRow("all simulated scanners")
        << QString() << int(OSKylin) << true << true << QStringList{kx8000, kxF600, wy200};
    QTest::newRow("sheet-fed only") << "devices=zylwy:WY200,zylkx:KX-8000\n"
                                    << int(OSOther) << true << false << QStringList{kx8000, wy200};
    QTest::newRow("overhead without drivers") << "devices=zyljn:RV920\npackages=none\n"
                                              << int(OSOther) << true << true << QStringList{};
    QTest::newRow("nothing plugged in") << "devices=\n" << int(OSOther) << false << false << QStringList{};
    QTest::newRow("kx tool fails") << "kx-tool-error=cannot reach the device\n"
                                   << int(OSNfsDesktop) << true << true << QStringList{wy200};
    QTest::newRow("wy driver only") << "packages=zylwy=1.4.2-1\n"
                                    << int(OSOther) << true << true << QStringList{wy200};
    QTest::newRow("uos package names") << "devices=zylkx:KX-F600,zylwy:WY200\npackages=com.quvex.zyl.zylkx=2."
                                          "2.0-1,com.quvex.zyl.zylwy=1.5.0-1\n"
                                       << int(OSUos) << true << false
                                       << QStringList{"KX-F600|zylkx:KX-F600||com.quvex.zyl.zylkx 2.2.0-1|1",
                                                      "WY-200|zylwy:WY200||com.quvex.zyl.zylwy 1.5.0-1|2"};
    QTest::newRow("uos with plain package names")
        << "devices=zylkx:KX-F600\n"
        << int(OSUos) << true << false << QStringList{"KX-F600|zylkx:KX-F600|||1"};
}

void TestDeviceOpt::discovers()
{
    QFETCH(QString, scenario);
    QFETCH(int, os);
    QFETCH(bool, present);
    QFETCH(bool, overhead);
    QFETCH(QStringList, scanners);

    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        QSKIP("needs the simulator's configuration folder (run through ctest)");
    QVERIFY(SimPage::WriteScenario(scenario));
    DeviceOpt opt(SimShell, [os] { return os; });

    bool isOverhead = !overhead;
    QCOMPARE(opt.HasScanners(isOverhead), present);
    QCOMPARE(isOverhead, overhead);

    QList<ScannerInfo> found;
    opt.LoadScanner(found);
    QStringList described;
    for (auto const& info : found)
        described.append(Describe(info));
    QCOMPARE(described, scanners);
}

// Without injected probes the commands go through the shell runner.
void TestDeviceOpt::defaultProbesRunThroughTheShell()
{
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        QSKIP("needs the simulator's configuration folder (run through ctest)");
    QVERIFY(SimPage::WriteScenario(QStringLiteral("devices=zyljn:RV920\n")));
    bool isOverhead = false;
    QVERIFY(DeviceOpt().HasScanners(isOverhead));
    QVERIFY(isOverhead);

    QVERIFY(SimPage::WriteScenario(QStringLiteral("devices=\n")));
    QVERIFY(!DeviceOpt().HasScanners(isOverhead));
    QVERIFY(!isOverhead);
}

void TestDeviceOpt::hasScanners_data()
{
    QTest::addColumn<QString>("lsusb");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("overhead");

    QTest::newRow("upper-case overhead") << "Bus 003 Device 002: ID 0B7E:2F4C RV920" << true << true;
    QTest::newRow("overhead on second line")
        << "Bus 001 Device 004: ID 0a3d:1234 Sheet-fed\nBus 003 Device 002: ID 0b7e:2f4c RV920" << true
        << true;
    QTest::newRow("2f4c as vendor is not the overhead")
        << "Bus 002 Device 007: ID 2f4c:0a3d Other" << true << false;
}

void TestDeviceOpt::hasScanners()
{
    QFETCH(QString, lsusb);
    QFETCH(bool, present);
    QFETCH(bool, overhead);

    ScriptedShell shell{{{kLsusb, lsusb}}, {}};
    DeviceOpt opt([&shell](QString const& c) { return shell(c); }, [] { return int(OSOther); });
    bool isOverhead = !overhead;
    QCOMPARE(opt.HasScanners(isOverhead), present);
    QCOMPARE(isOverhead, overhead);
    QCOMPARE(shell.calls, QStringList{kLsusb});
}

void TestDeviceOpt::loadScanner_data()
{
    QTest::addColumn<int>("os");
    QTest::addColumn<Outputs>("outputs");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("scanners");

    QTest::newRow("no driver") << int(OSKylin) << Outputs{}
                               << QStringList{kKxQuery, kKxQuery, kWyQuery, kWyQuery} << QStringList{};

    QTest::newRow("kx driver, kx hyphens kept")
        << int(OSOther) << Outputs{{kKxQuery, "zylkx\n1.0.3"}, {kKxTool, "KX-1200 Pro\nKX-800"}}
        << QStringList{kKxQuery, kWyQuery, kWyQuery, kKxTool}
        << QStringList{"KX-1200 Pro|zylkx:KX-1200 Pro||zylkx 1.0.3|1", "KX-800|zylkx:KX-800||zylkx 1.0.3|1"};

    // The entries carry the first query's text, which is empty here.
    QTest::newRow("uos falls back to the plain package name")
        << int(OSUos) << Outputs{{kKxQuery, "zylkx\n1.0.3"}, {kKxTool, "KX-10"}}
        << QStringList{kKxUosQuery, kKxQuery, kWyUosQuery, kWyQuery, kKxTool}
        << QStringList{"KX-10|zylkx:KX-10|||1"};

    QTest::newRow("tool lists nothing but its header")
        << int(OSOther) << Outputs{{kKxQuery, "zylkx\n1.0.3"}, {kKxTool, ""}}
        << QStringList{kKxQuery, kWyQuery, kWyQuery, kKxTool} << QStringList{};

    QTest::newRow("blank lines and padding")
        << int(OSOther) << Outputs{{kWyQuery, "zylwy\n1.1"}, {kWyTool, "  WY-1 \n\n \t\nWY-2-A\t\n"}}
        << QStringList{kKxQuery, kKxQuery, kWyQuery, kWyTool}
        << QStringList{"WY-1|zylwy:WY1||zylwy 1.1|2", "WY-2-A|zylwy:WY2A||zylwy 1.1|2"};
}

void TestDeviceOpt::loadScanner()
{
    QFETCH(int, os);
    QFETCH(Outputs, outputs);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, scanners);

    ScriptedShell shell{outputs, {}};
    DeviceOpt opt([&shell](QString const& c) { return shell(c); }, [os] { return os; });
    QList<ScannerInfo> found;
    opt.LoadScanner(found);

    QStringList described;
    for (auto const& info : found)
        described.append(Describe(info));
    QCOMPARE(described, scanners);
    QCOMPARE(shell.calls, calls);
}

void TestDeviceOpt::loadScannerClearsPreviousList()
{
    DeviceOpt opt([](QString const&) { return QString(); }, [] { return int(OSOther); });
    QList<ScannerInfo> found{ScannerInfo{"old", "zylkx:old", "", "", 1}};
    opt.LoadScanner(found);
    QVERIFY(found.isEmpty());
}

void TestDeviceOpt::osCodeFromLsbRelease_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("code");

    QTest::newRow("kylin") << QByteArray("Distributor ID:\tKylin\n") << int(OSKylin);
    QTest::newRow("uos") << QByteArray("Distributor ID:\tuos\n") << int(OSUos);
    QTest::newRow("UOS upper case") << QByteArray("Distributor ID:\tUOS\n") << int(OSUos);
    QTest::newRow("nfsdesktop") << QByteArray("Distributor ID:\tnfsdesktop\n") << int(OSNfsDesktop);
    QTest::newRow("debian") << QByteArray("Distributor ID:\tDebian\n") << int(OSOther);
    QTest::newRow("no output") << QByteArray() << int(OSOther);
    QTest::newRow("trailing blank is kept") << QByteArray("Distributor ID:\tKylin \n") << int(OSOther);
    QTest::newRow("blanks instead of tab") << QByteArray("Distributor ID:  Kylin\n") << int(OSOther);
    QTest::newRow("text after NUL dropped") << QByteArray("Distributor ID:\tuos\n\0xyz", 25) << int(OSUos);
}

void TestDeviceOpt::osCodeFromLsbRelease()
{
    QFETCH(QByteArray, output);
    QFETCH(int, code);
    QCOMPARE(OSCodeFromLsbRelease(output), code);
}

void TestDeviceOpt::getOSNameRunsLsbRelease_data()
{
    QTest::addColumn<QString>("distributor");
    QTest::addColumn<int>("code");

    QTest::newRow("uos") << "uos" << int(OSUos);
    QTest::newRow("Kylin") << "Kylin" << int(OSKylin);
    QTest::newRow("no lsb_release on PATH") << QString() << int(OSOther);
}

// A stand-in lsb_release on PATH answers only the "-i" query.
void TestDeviceOpt::getOSNameRunsLsbRelease()
{
    QFETCH(QString, distributor);
    QFETCH(int, code);

    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    if (!distributor.isEmpty()) {
        QFile tool(bin.filePath("lsb_release"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write(QStringLiteral("#!/bin/sh\n[ \"$*\" = \"-i\" ] || exit 1\n"
                                  "printf 'Distributor ID:\\t%1\\n'\n")
                       .arg(distributor)
                       .toUtf8());
        tool.close();
        QVERIFY(tool.setPermissions(tool.permissions() | QFileDevice::ExeUser));
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    const int result = GetOSName();
    qputenv("PATH", savedPath);
    QCOMPARE(result, code);
}

QTEST_GUILESS_MAIN(TestDeviceOpt)
#include "tst_deviceopt.moc"
