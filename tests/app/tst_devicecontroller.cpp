#include "devicecontroller.h"
#include "sanescan.h"
#include "windowfixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

// The device list on its own, against the simulated scanners and libsane's
// test backend: random plug and unplug steps, each followed by the rebuild a
// hot-plug notice runs, checked against what is plugged in.
class TestDeviceController : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void rebuildsFollowThePluggedDevices_data();
    void rebuildsFollowThePluggedDevices();

private:
    static void Plug(const QStringList& devices);
};

namespace {

// Listed by the consumables tools of each family, the Kx family first.
const QStringList kFamily = {QStringLiteral("zylkx:KX-8000"), QStringLiteral("zylkx:KX-F600"),
                             QStringLiteral("zylwy:WY200")};
const QString kOther = QStringLiteral("test:0");

} // namespace

void TestDeviceController::initTestCase()
{
    const QByteArray conf = qgetenv("SANE_CONFIG_DIR");
    QFile dll(QFile::decodeName(conf) + QStringLiteral("/dll.conf"));
    QVERIFY(dll.open(QIODevice::Append));
    dll.write("test\n");
    // One test device, the one the demo shows.
    const QString testConf = QFile::decodeName(conf) + QStringLiteral("/test.conf");
    QFile::remove(testConf);
    QVERIFY(QFile::copy(QStringLiteral(SCANVY_SOURCE_DIR "/sim/test-backend.conf"), testConf));
    WindowFixture::PrependSimToolsToPath();
}

void TestDeviceController::Plug(const QStringList& devices)
{
    QFile file(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + QStringLiteral("/scenario.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("devices=" + devices.join(QLatin1Char(',')).toUtf8() + "\n");
}

void TestDeviceController::rebuildsFollowThePluggedDevices_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u}) {
        QTest::addRow("families only, seed %u", seed) << false << seed;
        QTest::addRow("all SANE devices, seed %u", seed) << true << seed;
    }
}

void TestDeviceController::rebuildsFollowThePluggedDevices()
{
    QFETCH(bool, showAll);
    QFETCH(quint32, seed);
    SaneScan sane;
    DeviceController devices(&sane);
    devices.SetDeviceOpt(WindowFixture::SimDeviceOpt());
    devices.SetShowAllDevices(showAll);
    QRandomGenerator random(seed);
    QVector<bool> present(kFamily.size(), true);
    Plug(kFamily);
    QCOMPARE(int(devices.Discover()), int(DeviceController::Discovery::Ready));
    devices.SetConnectedDevice(devices.FirstDevice());
    QString steps;
    for (int step = 0; step < 8; ++step) {
        const int toggled = int(random.bounded(kFamily.size()));
        present[toggled] = !present[toggled];
        steps += (present[toggled] ? QStringLiteral(" +") : QStringLiteral(" -")) + kFamily.at(toggled);
        QStringList plugged;
        for (int i = 0; i < kFamily.size(); ++i) {
            if (present[i])
                plugged << kFamily.at(i);
        }
        Plug(plugged);
        const QString before = devices.ConnectedDevice();
        devices.Forget();
        devices.Rediscover();
        QStringList expected = plugged;
        if (showAll)
            expected << kOther;
        QVERIFY2(QStringList(devices.DeviceList()) == expected,
                 qPrintable(
                     QStringLiteral("after%1: %2").arg(steps, devices.DeviceList().join(QLatin1Char(',')))));
        QCOMPARE(devices.Connected(), !expected.isEmpty());
        // The window keeps the connected scanner while it is there.
        devices.SetConnectedDevice(expected.contains(before) ? before : expected.value(0));
        QCOMPARE(devices.Replaced(before),
                 !expected.contains(before) && !expected.isEmpty() && !before.isEmpty());
    }
    sane.Exit();
}

QTEST_MAIN(TestDeviceController)
#include "tst_devicecontroller.moc"
