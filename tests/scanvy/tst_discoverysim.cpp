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

QString Describe(ScannerInfo const& info)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(info.model, info.deviceName, info.note, info.driverInfo)
        .arg(info.family);
}

} // namespace

// Discovery against the simulator's stand-ins for lsusb, dpkg and the
// drivers' consumables tools.
class TestDiscoverySim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void discovers_data();
    void discovers();
    void defaultProbesRunThroughTheShell();
};

void TestDiscoverySim::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        QSKIP("needs the simulator's configuration folder (run through ctest)");
    QVERIFY2(QFileInfo(kSimBin + QStringLiteral("/lsusb")).isExecutable(), qPrintable(kSimBin));
    qputenv("PATH", QFile::encodeName(kSimBin) + ':' + qgetenv("PATH"));
}

void TestDiscoverySim::discovers_data()
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

void TestDiscoverySim::discovers()
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

    QList<ScannerInfo> found;
    opt.LoadScanner(found);
    QStringList described;
    for (auto const& info : found)
        described.append(Describe(info));
    QCOMPARE(described, scanners);
}

// Without injected probes the commands go through the shell runner.
void TestDiscoverySim::defaultProbesRunThroughTheShell()
{
    QVERIFY(SimPage::WriteScenario(QStringLiteral("devices=zyljn:RV920\n")));
    bool isOverhead = false;
    QVERIFY(DeviceOpt().HasScanners(isOverhead));
    QVERIFY(isOverhead);

    QVERIFY(SimPage::WriteScenario(QStringLiteral("devices=\n")));
    QVERIFY(!DeviceOpt().HasScanners(isOverhead));
    QVERIFY(!isOverhead);
}

QTEST_GUILESS_MAIN(TestDiscoverySim)
#include "tst_discoverysim.moc"
