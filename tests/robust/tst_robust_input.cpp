// Malformed input from outside the program: kernel uevent datagrams, output
// of the discovery tools, option values typed or stored as text.
#include "deviceopt.h"
#include "optionvalueparser.h"
#include "ueventmatch.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// A well-formed add event of a Kx scanner interface.
QByteArray scannerEvent(const QByteArray& action)
{
    QByteArray m = action + "@/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0";
    m += '\0';
    m += "ACTION=" + action;
    m += '\0';
    m += "DEVTYPE=usb_interface";
    m += '\0';
    m += "PRODUCT=a3d/4021/100";
    m += '\0';
    m += "MODALIAS=usb:v0A3Dp4021d0100dc00dsc00dp00ic06isc01ip01in00";
    m += '\0';
    return m;
}

QByteArray noise(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(rng.bounded(256));
    return b;
}

} // namespace

class TestRobustInput : public QObject {
    Q_OBJECT
private slots:
    void uevents_data();
    void uevents();
    void toolOutput_data();
    void toolOutput();
    void optionValues_data();
    void optionValues();
};

void TestRobustInput::uevents_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("expected");

    const QByteArray add = scannerEvent("add");
    QTest::newRow("whole add") << add << int(UeventAdded);
    QTest::newRow("whole remove") << scannerEvent("remove") << int(UeventRemoved);
    QTest::newRow("empty") << QByteArray() << int(UeventIgnored);
    QTest::newRow("one byte") << QByteArray("a") << int(UeventIgnored);
    QTest::newRow("action only") << QByteArray("add@") << int(UeventIgnored);
    // Cut before the MODALIAS record: not enough to tell a scanner.
    QTest::newRow("truncated") << add.left(add.indexOf("MODALIAS")) << int(UeventIgnored);
    QByteArray noNul = add;
    noNul.replace('\0', '\n');
    // Records separated by line feeds still carry the same keys.
    QTest::newRow("no NUL at all") << noNul << int(UeventAdded);
    QByteArray cutNoNul = add;
    cutNoNul.chop(1);
    QTest::newRow("last record without NUL") << cutNoNul << int(UeventAdded);
    QTest::newRow("4096 bytes of noise") << noise(4096, 11) << int(UeventIgnored);
    QTest::newRow("noise after a valid event") << add + noise(4096, 12) << int(UeventAdded);
    QTest::newRow("noise before the action") << noise(64, 13) + add << int(UeventIgnored);
    QTest::newRow("bind action") << scannerEvent("bind") << int(UeventIgnored);
    QByteArray lower = add;
    lower.replace("usb:v0A3D", "usb:v0a3d");
    QTest::newRow("modalias in lower case") << lower << int(UeventIgnored);
    QTest::newRow("all NULs") << QByteArray(4096, '\0') << int(UeventIgnored);
}

void TestRobustInput::uevents()
{
    QFETCH(QByteArray, message);
    QFETCH(int, expected);
    QCOMPARE(int(MatchScannerUevent(message)), expected);
}

void TestRobustInput::toolOutput_data()
{
    QTest::addColumn<QString>("consumables");
    QTest::addColumn<QStringList>("models");

    QTest::newRow("ordinary") << "KX-8000\nKX-F600" << QStringList{"KX-8000", "KX-F600"};
    QTest::newRow("blank lines and CRs") << "\r\n\nKX-8000\r\n\n" << QStringList{"KX-8000"};
    const QString longLine(200000, QLatin1Char('K'));
    QTest::newRow("very long line") << longLine << QStringList{longLine};
    QString binary = QString::fromLatin1(noise(2048, 21));
    binary.remove(QLatin1Char('\n'));
    QTest::newRow("binary, one line") << binary << QStringList{binary.trimmed()};
    QTest::newRow("tool failure text") << "zylkxconsumables: no device" << QStringList();
    QTest::newRow("only white space") << " \n\t\n " << QStringList();
}

// The Kx family's listing is the runner's answer for the consumables tool;
// whatever it prints, discovery keeps one entry per non-empty line, trimmed,
// and never mixes lines.
void TestRobustInput::toolOutput()
{
    QFETCH(QString, consumables);
    QFETCH(QStringList, models);
    DeviceOpt opt(
        [&](const QString& command) -> QString {
            if (command.contains(QLatin1String("dpkg")))
                return command.contains(QLatin1String("zylkx")) ? QStringLiteral("zylkx 2.1.0-1") : QString();
            if (command.contains(QLatin1String("zylkxconsumables")))
                return consumables.trimmed();
            return QString();
        },
        [] { return int(OSOther); });
    QList<ScannerInfo> found;
    opt.LoadScanner(found);
    QStringList got;
    for (const ScannerInfo& info : found) {
        QCOMPARE(info.family, 1);
        QCOMPARE(info.deviceName, QStringLiteral("zylkx:") + info.model);
        got << info.model;
    }
    QCOMPARE(got, models);
}

void TestRobustInput::optionValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("count");

    const int i = SANE_TYPE_INT, f = SANE_TYPE_FIXED;
    QTest::newRow("empty") << QByteArray() << i << int(SANE_UNIT_DPI) << 1;
    QTest::newRow("huge number") << QByteArray("1e999") << f << int(SANE_UNIT_MM) << 1;
    QTest::newRow("negative huge") << QByteArray("-1e308") << i << int(SANE_UNIT_NONE) << 1;
    QTest::newRow("nan") << QByteArray("nan") << f << int(SANE_UNIT_MM) << 1;
    QTest::newRow("index far out") << QByteArray("[2147483647]5") << i << int(SANE_UNIT_NONE) << 4;
    QTest::newRow("negative index") << QByteArray("[-3]5") << i << int(SANE_UNIT_NONE) << 4;
    QTest::newRow("open index") << QByteArray("[12") << i << int(SANE_UNIT_NONE) << 4;
    QTest::newRow("ramp beyond vector") << QByteArray("0-255") << i << int(SANE_UNIT_NONE) << 3;
    QTest::newRow("only separators") << QByteArray(",,,---,,") << i << int(SANE_UNIT_NONE) << 8;
    QTest::newRow("embedded NUL") << QByteArray("12\0mm", 5) << f << int(SANE_UNIT_MM) << 1;
    QTest::newRow("long vector") << QByteArray("1,").repeated(5000) << i << int(SANE_UNIT_NONE) << 256;
    QTest::newRow("noise") << noise(4096, 31) << f << int(SANE_UNIT_MM) << 16;
}

// Whatever the text, the parser hands back exactly as many words as the
// option holds (the caller copies them into a buffer of that size), and every
// diagnostic is one complete line.
void TestRobustInput::optionValues()
{
    QFETCH(QByteArray, text);
    QFETCH(int, type);
    QFETCH(int, unit);
    QFETCH(int, count);
    OptionValueParser parser("tl-x", SANE_Value_Type(type), SANE_Unit(unit));
    const OptionValueParser::Result r = parser.Parse(text, count);
    QCOMPARE(r.words.size(), count);
    for (const QString& line : r.messages) {
        QVERIFY(line.endsWith(QLatin1Char('\n')));
        QCOMPARE(line.count(QLatin1Char('\n')), 1);
    }
}

QTEST_APPLESS_MAIN(TestRobustInput)
#include "tst_robust_input.moc"
