#include "deviceopt.h"
#include "execcmd.h"
#include "simpage.h"

#include <QtTest>

namespace {

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

// What LoadScanner finds, one "model|device|note|driver|family" line each.
QStringList Loaded(DeviceOpt& opt)
{
    QList<ScannerInfo> found{ScannerInfo{"old", "zylkx:old", "", "", 1}}; // replaced, not added to
    opt.LoadScanner(found);
    QStringList described;
    for (auto const& info : found)
        described.append(QStringLiteral("%1|%2|%3|%4|%5")
                             .arg(info.model, info.deviceName, info.note, info.driverInfo)
                             .arg(info.family));
    return described;
}

} // namespace

class TestDeviceOpt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void discovers_data();
    void discovers();
    void osCodeFromLsbRelease_data();
    void osCodeFromLsbRelease();
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
    QTest::newRow("nothing plugged in") << "devices=\n" << int(OSOther) << false << false << QStringList{};
    QTest::newRow("kx tool fails") << "kx-tool-error=cannot reach the device\n"
                                   << int(OSNfsDesktop) << true << true << QStringList{wy200};
    QTest::newRow("uos package names") << "devices=zylkx:KX-F600,zylwy:WY200\npackages=com.quvex.zyl.zylkx=2."
                                          "2.0-1,com.quvex.zyl.zylwy=1.5.0-1\n"
                                       << int(OSUos) << true << false
                                       << QStringList{"KX-F600|zylkx:KX-F600||com.quvex.zyl.zylkx 2.2.0-1|1",
                                                      "WY-200|zylwy:WY200||com.quvex.zyl.zylwy 1.5.0-1|2"};
}

void TestDeviceOpt::discovers()
{
    QFETCH(QString, scenario);
    QFETCH(int, os);
    QFETCH(bool, present);
    QFETCH(bool, overhead);
    QFETCH(QStringList, scanners);

    QVERIFY(SimPage::WriteScenario(scenario));
    DeviceOpt opt(SimShell, [os] { return os; });

    bool isOverhead = !overhead;
    QCOMPARE(opt.HasScanners(isOverhead), present);
    QCOMPARE(isOverhead, overhead);
    QCOMPARE(Loaded(opt), scanners);
}

void TestDeviceOpt::osCodeFromLsbRelease_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("code");

    QTest::newRow("kylin") << QByteArray("Distributor ID:\tKylin\n") << int(OSKylin);
    QTest::newRow("uos") << QByteArray("Distributor ID:\tuos\n") << int(OSUos);
    QTest::newRow("UOS upper case") << QByteArray("Distributor ID:\tUOS\n") << int(OSUos);
    QTest::newRow("NFS desktop") << QByteArray("Distributor ID:\tNFSDesktop\n") << int(OSNfsDesktop);
    QTest::newRow("debian") << QByteArray("Distributor ID:\tDebian\n") << int(OSOther);
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

QTEST_GUILESS_MAIN(TestDeviceOpt)
#include "tst_deviceopt.moc"
