#include "devicecontroller.h"
#include "sanescan.h"
#include "windowfixture.h"

#include <QFile>
#include <QtTest>

// The device list on its own, against the simulated scanners and libsane's
// test backend: plug and unplug steps, each followed by the rebuild a
// hot-plug notice runs, checked against what is plugged in. The rows are
// steps of one session.
class TestDeviceController : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rebuildFollowsThePluggedDevices_data();
    void rebuildFollowsThePluggedDevices();

private:
    static void Plug(const QStringList& devices);

    SaneScan m_sane;
    QScopedPointer<DeviceController> m_devices;
};

namespace {

// Listed by the consumables tools of each family, the Kx family first.
const QString kKx = QStringLiteral("zylkx:KX-8000");
const QString kWy = QStringLiteral("zylwy:WY200");
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

    m_devices.reset(new DeviceController(&m_sane));
    m_devices->SetDeviceOpt(WindowFixture::SimDeviceOpt());
}

void TestDeviceController::cleanupTestCase()
{
    m_devices.reset();
    m_sane.Exit();
}

void TestDeviceController::Plug(const QStringList& devices)
{
    QFile file(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + QStringLiteral("/scenario.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("devices=" + devices.join(QLatin1Char(',')).toUtf8() + "\n");
}

void TestDeviceController::rebuildFollowsThePluggedDevices_data()
{
    QTest::addColumn<QStringList>("plugged"); // in the tools' order
    QTest::addColumn<bool>("showAll");        // "显示所有SANE扫描仪"

    // A rebuild with family scanners runs their tools: few such rows.
    QTest::newRow("families, then the other devices") << QStringList{kKx, kWy} << true;
    QTest::newRow("the connected one unplugged") << QStringList{} << true;
    QTest::newRow("nothing left, families only") << QStringList{} << false;
}

void TestDeviceController::rebuildFollowsThePluggedDevices()
{
    QFETCH(QStringList, plugged);
    QFETCH(bool, showAll);

    Plug(plugged);
    m_devices->SetShowAllDevices(showAll);
    const QString before = m_devices->ConnectedDevice();
    m_devices->Forget();
    m_devices->Rediscover();
    const QStringList expected = showAll ? plugged + QStringList{kOther} : plugged;
    QCOMPARE(QStringList(m_devices->DeviceList()), expected);
    QCOMPARE(m_devices->Connected(), !expected.isEmpty());
    // The window keeps the connected scanner while it is there.
    m_devices->SetConnectedDevice(expected.contains(before) ? before : expected.value(0));
    QCOMPARE(m_devices->Replaced(before),
             !expected.contains(before) && !expected.isEmpty() && !before.isEmpty());
}

QTEST_MAIN(TestDeviceController)
#include "tst_devicecontroller.moc"
