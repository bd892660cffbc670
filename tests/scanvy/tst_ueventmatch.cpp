#include "ueventmatch.h"

#include <QtTest>

namespace {

// A kernel uevent datagram: header, then NUL-terminated KEY=value records.
QByteArray Uevent(std::initializer_list<const char*> records)
{
    QByteArray message;
    for (const char* record : records) {
        message.append(record);
        message.append('\0');
    }
    return message;
}

const char* const kIfPath = "/devices/platform/soc/xhci-hcd.0.auto/usb1/1-1/1-1:1.0";

QByteArray Interface(const char* action, const char* product, const char* modalias)
{
    const QByteArray header = QByteArray(action) + '@' + kIfPath;
    const QByteArray act = QByteArray("ACTION=") + action;
    const QByteArray prod = QByteArray("PRODUCT=") + product;
    const QByteArray alias = QByteArray("MODALIAS=") + modalias;
    return Uevent({header.constData(), act.constData(),
                   "DEVPATH=/devices/platform/soc/xhci-hcd.0.auto/usb1/1-1/1-1:1.0", "SUBSYSTEM=usb",
                   "DEVTYPE=usb_interface", prod.constData(), "TYPE=0/0/0", "INTERFACE=255/0/0",
                   alias.constData(), "SEQNUM=4012"});
}

const char* const kKxAlias = "usb:v0A3Dp1234d0100dc00dsc00dp00icFFisc00ip00in00";
const char* const kOverheadAlias = "usb:v0B7Ep2F4Cd0100dc00dsc00dp00icFFisc00ip00in00";

} // namespace

class TestUeventMatch : public QObject {
    Q_OBJECT
private slots:
    void classifies_data();
    void classifies();
};

void TestUeventMatch::classifies_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("expected");

    QTest::newRow("0a3d interface add") << Interface("add", "a3d/1234/100", kKxAlias) << int(UeventAdded);
    QTest::newRow("0a3d interface remove")
        << Interface("remove", "a3d/1234/100", kKxAlias) << int(UeventRemoved);
    QTest::newRow("0a3d interface bind") << Interface("bind", "a3d/1234/100", kKxAlias) << int(UeventIgnored);
    QTest::newRow("0b7e interface add")
        << Interface("add", "b7e/2f4c/100", kOverheadAlias) << int(UeventAdded);
    QTest::newRow("other vendor add")
        << Interface("add", "46d/c52b/1211", "usb:v046DpC52Bd1211dc00dsc00dp00ic03isc01ip01in00")
        << int(UeventIgnored);
    QTest::newRow("vendor 1a3d ends like 0a3d")
        << Interface("add", "1a3d/1234/100", "usb:v1A3Dp1234d0100dc00dsc00dp00icFFisc00ip00in00")
        << int(UeventIgnored);
    QTest::newRow("product of one vendor, alias of the other")
        << Interface("add", "a3d/1234/100", kOverheadAlias) << int(UeventIgnored);
    QTest::newRow("lower-case alias does not match")
        << Interface("add", "a3d/1234/100", "usb:v0a3dp1234d0100dc00dsc00dp00icffisc00ip00in00")
        << int(UeventIgnored);
    // The whole device's own uevent (DEVTYPE=usb_device) comes beside its
    // interfaces' on every plug-in.
    QTest::newRow("scanner ids on another device type")
        << Interface("add", "a3d/1234/100", kKxAlias).replace("DEVTYPE=usb_interface", "DEVTYPE=usb_device")
        << int(UeventIgnored);
    QTest::newRow("empty datagram") << QByteArray() << int(UeventIgnored);
}

void TestUeventMatch::classifies()
{
    QFETCH(QByteArray, message);
    QFETCH(int, expected);
    QCOMPARE(int(MatchScannerUevent(message)), expected);
}

QTEST_GUILESS_MAIN(TestUeventMatch)
#include "tst_ueventmatch.moc"
