#include "startupguard.h"

#include <QHash>
#include <QtTest>

class TestStartupGuard : public QObject {
    Q_OBJECT

private slots:
    void managerName_data();
    void managerName();
    void detachNeedsRealParent();
    void sudo_data();
    void sudo();
    void pidList_data();
    void pidList();
    void instance_data();
    void instance();
    void commands();
};

void TestStartupGuard::managerName_data()
{
    QTest::addColumn<QString>("psOutput");
    QTest::addColumn<bool>("manager");

    QTest::newRow("kx cut") << "zylkxscanmanage" << true;
    QTest::newRow("kx full") << "zylkxscanmanager" << true;
    QTest::newRow("wy cut") << "zylwyscanmanage" << true;
    QTest::newRow("wy full") << "zylwyscanmanager" << true;
    QTest::newRow("blanks and newline trimmed") << "  zylwyscanmanager\n" << true;
    QTest::newRow("appended characters") << "zylwyscanmanagerd" << false;
    QTest::newRow("appended to cut name") << "zylkxscanmanage2" << false;
    QTest::newRow("upper case") << "ZYLKXSCANMANAGER" << false;
    QTest::newRow("one letter case") << "zylkxScanmanager" << false;
    QTest::newRow("shorter") << "zylkxscanmanag" << false;
    QTest::newRow("shell") << "bash" << false;
    QTest::newRow("no ps output") << "" << false;
}

void TestStartupGuard::managerName()
{
    QFETCH(QString, psOutput);
    QFETCH(bool, manager);
    QCOMPARE(StartupGuard::IsManagerName(psOutput), manager);
    QCOMPARE(StartupGuard::ShouldDetach(4242, psOutput), manager);
}

void TestStartupGuard::detachNeedsRealParent()
{
    QVERIFY(!StartupGuard::ShouldDetach(0, QStringLiteral("zylwyscanmanager")));
    QVERIFY(!StartupGuard::ShouldDetach(-1, QStringLiteral("zylwyscanmanager")));
    QVERIFY(StartupGuard::ShouldDetach(1, QStringLiteral("zylwyscanmanager")));
}

void TestStartupGuard::sudo_data()
{
    QTest::addColumn<uint>("euid");
    QTest::addColumn<bool>("sudoUid");
    QTest::addColumn<bool>("refused");

    QTest::newRow("root through sudo") << 0u << true << true;
    QTest::newRow("root without SUDO_UID") << 0u << false << false;
    QTest::newRow("user with SUDO_UID") << 1000u << true << false;
    QTest::newRow("plain user") << 1000u << false << false;
}

void TestStartupGuard::sudo()
{
    QFETCH(uint, euid);
    QFETCH(bool, sudoUid);
    QFETCH(bool, refused);
    QCOMPARE(StartupGuard::IsSudoRefused(euid, sudoUid), refused);
}

void TestStartupGuard::pidList_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("pids");

    QTest::newRow("none") << "" << QStringList();
    QTest::newRow("one") << "4711" << QStringList{"4711"};
    QTest::newRow("two") << "4711 815" << QStringList{"4711", "815"};
    QTest::newRow("double blank") << "4711  815" << QStringList{"4711", "815"};
}

void TestStartupGuard::pidList()
{
    QFETCH(QString, output);
    QFETCH(QStringList, pids);
    QCOMPARE(StartupGuard::ParsePidList(output), pids);
}

void TestStartupGuard::instance_data()
{
    QTest::addColumn<QString>("pidof");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<bool>("refused");

    const QString here = QStringLiteral("/opt/scanvy/bin/scanvy");
    QTest::newRow("only this process") << "100" << QStringList{here} << false;
    QTest::newRow("nothing found") << "" << QStringList() << false;
    QTest::newRow("second copy here") << "100 200" << QStringList{here, here} << true;
    QTest::newRow("second copy elsewhere") << "100 200" << QStringList{here, "/home/u/scanvy"} << true;
    QTest::newRow("second copy, link unreadable") << "100 200" << QStringList{here, ""} << true;
    QTest::newRow("this process, other folder") << "100" << QStringList{"/usr/bin/scanvy"} << false;
}

void TestStartupGuard::instance()
{
    QFETCH(QString, pidof);
    QFETCH(QStringList, links);
    QFETCH(bool, refused);

    const QString appDir = QStringLiteral("/opt/scanvy/bin");
    const QStringList pids = StartupGuard::ParsePidList(pidof);
    QCOMPARE(StartupGuard::IsAnotherInstance(pids, links, appDir), refused);

    // The same decision through the command runner, which must ask for
    // exactly these commands.
    QHash<QString, QString> outputs;
    outputs.insert(QStringLiteral("pidof scanvy"), pidof);
    for (int i = 0; i < pids.size(); ++i) {
        outputs.insert(QStringLiteral("ls -ld /proc/%1/exe | awk '{print $NF}' ").arg(pids[i]), links[i]);
    }
    QStringList asked;
    const auto run = [&](const QString& command) {
        asked << command;
        return outputs.value(command, QStringLiteral("UNEXPECTED"));
    };
    QCOMPARE(StartupGuard::IsAnotherInstanceRunning(appDir, run), refused);
    QCOMPARE(asked.size(), 1 + pids.size());
    QVERIFY(!asked.contains(QStringLiteral("UNEXPECTED")));
    for (const QString& command : asked) {
        QVERIFY2(outputs.contains(command), qPrintable(command));
    }
}

void TestStartupGuard::commands()
{
    QCOMPARE(StartupGuard::ParentNameCommand(1234), QStringLiteral("ps -p 1234 -o comm="));
    QCOMPARE(StartupGuard::ExeLinkCommand(QStringLiteral(" 77\n")),
             QStringLiteral("ls -ld /proc/77/exe | awk '{print $NF}' "));
}

QTEST_APPLESS_MAIN(TestStartupGuard)
#include "tst_startupguard.moc"
