#include "deviceopt.h"

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

void TestDeviceOpt::hasScanners_data()
{
    QTest::addColumn<QString>("lsusb");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("overhead");

    QTest::newRow("nothing attached") << QString() << false << false;
    QTest::newRow("vendor 0a3d") << "Bus 001 Device 004: ID 0a3d:1234 Sheet-fed scanner" << true << false;
    QTest::newRow("vendor 0b7e overhead") << "Bus 003 Device 002: ID 0b7e:2f4c RV920" << true << true;
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

    QTest::newRow("uos package names") << int(OSUos)
                                       << Outputs{{kKxUosQuery, "com.quvex.zyl.zylkx\n2.1.0"},
                                                  {kWyUosQuery, "com.quvex.zyl.zylwy\n3.0.1"},
                                                  {kKxTool, "KX-10"},
                                                  {kWyTool, "WY-20"}}
                                       << QStringList{kKxUosQuery, kWyUosQuery, kKxTool, kWyTool}
                                       << QStringList{"KX-10|zylkx:KX-10||com.quvex.zyl.zylkx 2.1.0|1",
                                                      "WY-20|zylwy:WY20||com.quvex.zyl.zylwy 3.0.1|2"};

    // The entries carry the first query's text, which is empty here.
    QTest::newRow("uos falls back to the plain package name")
        << int(OSUos) << Outputs{{kKxQuery, "zylkx\n1.0.3"}, {kKxTool, "KX-10"}}
        << QStringList{kKxUosQuery, kKxQuery, kWyUosQuery, kWyQuery, kKxTool}
        << QStringList{"KX-10|zylkx:KX-10|||1"};

    QTest::newRow("tool lists nothing but its header")
        << int(OSOther) << Outputs{{kKxQuery, "zylkx\n1.0.3"}, {kKxTool, ""}}
        << QStringList{kKxQuery, kWyQuery, kWyQuery, kKxTool} << QStringList{};

    QTest::newRow("tool error text") << int(OSNfsDesktop)
                                     << Outputs{{kKxQuery, "zylkx\n1.0.3"},
                                                {kWyQuery, "zylwy\n1.1"},
                                                {kKxTool,
                                                 "zylkxconsumables: cannot reach the scanner service"},
                                                {kWyTool, "WY-S3"}}
                                     << QStringList{kKxQuery, kWyQuery, kKxTool, kWyTool}
                                     << QStringList{"WY-S3|zylwy:WYS3||zylwy 1.1|2"};

    QTest::newRow("blank lines and padding")
        << int(OSOther) << Outputs{{kWyQuery, "zylwy\n1.1"}, {kWyTool, "  WY-1 \n\n \t\nWY-2-A\t\n"}}
        << QStringList{kKxQuery, kKxQuery, kWyQuery, kWyTool}
        << QStringList{"WY-1|zylwy:WY1||zylwy 1.1|2", "WY-2-A|zylwy:WY2A||zylwy 1.1|2"};

    QTest::newRow("both families, kx first")
        << int(OSKylin)
        << Outputs{{kKxQuery, "zylkx\n1.0.3"},
                   {kWyQuery, "zylwy\n1.1"},
                   {kKxTool, "KX-10\nKX-11"},
                   {kWyTool, "WY-S3-100"}}
        << QStringList{kKxQuery, kWyQuery, kKxTool, kWyTool}
        << QStringList{"KX-10|zylkx:KX-10||zylkx 1.0.3|1", "KX-11|zylkx:KX-11||zylkx 1.0.3|1",
                       "WY-S3-100|zylwy:WYS3100||zylwy 1.1|2"};
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
