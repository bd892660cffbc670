#include "optionvalueparser.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<SANE_Word>)

namespace {

constexpr SANE_Word fix(double v)
{
    return SANE_Word(v * 65536.0 + (v < 0 ? -0.5 : 0.5));
}

} // namespace

class TestOptionValueParser : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestOptionValueParser::parse_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVector<SANE_Word>>("words");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("messages");

    const int I = SANE_TYPE_INT, F = SANE_TYPE_FIXED;
    using W = QVector<SANE_Word>;
    const QStringList none;

    QTest::newRow("plain int") << I << int(SANE_UNIT_NONE) << 1 << QByteArray("100") << W{100} << true
                               << none;
    QTest::newRow("fixed mm") << F << int(SANE_UNIT_MM) << 1 << QByteArray("10.5mm") << W{fix(10.5)} << true
                              << none;
    QTest::newRow("fixed inch") << F << int(SANE_UNIT_MM) << 1 << QByteArray("1in") << W{fix(25.4)} << true
                                << none;
    QTest::newRow("fixed cm") << F << int(SANE_UNIT_MM) << 1 << QByteArray("2.5cm") << W{fix(25)} << true
                              << none;
    QTest::newRow("int inch rounds") << I << int(SANE_UNIT_MM) << 1 << QByteArray("1in") << W{25} << true
                                     << none;
    QTest::newRow("bad unit") << F << int(SANE_UNIT_MM) << 1 << QByteArray("3kg") << W{0} << false
                              << QStringList{"scanvy: option --opt: illegal unit (rest of option: kg)\n"};
    QTest::newRow("dpi suffix") << I << int(SANE_UNIT_DPI) << 1 << QByteArray("300dpi") << W{300} << true
                                << none;
    QTest::newRow("bits") << I << int(SANE_UNIT_BIT) << 1 << QByteArray("12b") << W{12} << true << none;
    QTest::newRow("bytes") << I << int(SANE_UNIT_BIT) << 1 << QByteArray("2B") << W{16} << true << none;
    QTest::newRow("bad value goes on with 0")
        << I << int(SANE_UNIT_NONE) << 1 << QByteArray("abc") << W{0} << true
        << QStringList{"scanvy: option --opt: bad option value (rest of option: abc)\n",
                       "scanvy: option --opt: illegal separator (rest of option: abc)\n"};
    QTest::newRow("vector") << I << int(SANE_UNIT_NONE) << 4 << QByteArray("1,2,3,4") << W{1, 2, 3, 4} << true
                            << none;
    QTest::newRow("short vector zero-filled")
        << I << int(SANE_UNIT_NONE) << 4 << QByteArray("7,8") << W{7, 8, 0, 0} << true << none;
    QTest::newRow("bracketed index") << I << int(SANE_UNIT_NONE) << 4 << QByteArray("[2]9") << W{0, 0, 9, 0}
                                     << true << none;
    QTest::newRow("ramp truncates toward zero")
        << I << int(SANE_UNIT_NONE) << 4 << QByteArray("0-[3]10") << W{0, 3, 6, 10} << true << none;
    QTest::newRow("mm vector, unit on last")
        << F << int(SANE_UNIT_MM) << 2 << QByteArray("1,2cm") << W{fix(1), fix(20)} << true << none;
    QTest::newRow("index out of range not stored")
        << I << int(SANE_UNIT_NONE) << 2 << QByteArray("1,2,3") << W{1, 2} << true
        << QStringList{"scanvy: option --opt: index 2 out of range [0..1]\n"};
    QTest::newRow("closing bracket missing")
        << I << int(SANE_UNIT_NONE) << 4 << QByteArray("[2x7") << W{0, 0, 7, 0} << true
        << QStringList{"scanvy: option --opt: closing bracket missing (rest of option: x7)\n"};
    QTest::newRow("illegal separator stores and stops")
        << I << int(SANE_UNIT_NONE) << 3 << QByteArray("5;6") << W{5, 0, 0} << true
        << QStringList{"scanvy: option --opt: illegal separator (rest of option: ;6)\n"};
    QTest::newRow("huge value clamps")
        << I << int(SANE_UNIT_NONE) << 1 << QByteArray("99999999999") << W{INT_MAX} << true << none;
}

void TestOptionValueParser::parse()
{
    QFETCH(int, type);
    QFETCH(int, unit);
    QFETCH(int, count);
    QFETCH(QByteArray, text);
    QFETCH(QVector<SANE_Word>, words);
    QFETCH(bool, ok);
    QFETCH(QStringList, messages);

    OptionValueParser parser("opt", SANE_Value_Type(type), SANE_Unit(unit));
    const OptionValueParser::Result r = parser.Parse(text, count);
    QCOMPARE(r.messages, messages);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.words, words);
}

QTEST_APPLESS_MAIN(TestOptionValueParser)
#include "tst_optionvalueparser.moc"
