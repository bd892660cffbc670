#include "mainwindow.h"

#include <QtTest>

class TestSaneStatus : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void ioErrorHasFourLines();
};

void TestSaneStatus::text_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("expected");

    const QString nl = QStringLiteral("\r\n");
    QTest::newRow("0") << 0 << "" << QStringLiteral("正常");
    QTest::newRow("1") << 1 << "" << QStringLiteral("设置了不正确的选项(错误码:1)");
    QTest::newRow("2") << 2 << "" << QStringLiteral("操作被取消(错误码:2)");
    QTest::newRow("3") << 3 << ""
                       << QStringLiteral("设备忙碌(错误码:3)") + nl +
                              QStringLiteral("请检查扫描仪是否被占用");
    QTest::newRow("4") << 4 << "" << QStringLiteral("数据不合法(或找不到设备)(错误码:4)");
    QTest::newRow("5") << 5 << "" << QStringLiteral("没有更多可用数据(已到达文件尾部)(错误码:5)");

    const QString multifeed =
        QStringLiteral("检测到多页进纸(错误码:6)") + nl + QStringLiteral("请取出堵塞的纸张");
    const QString jam = QStringLiteral("检测到卡纸(错误码:6)") + nl + QStringLiteral("请取出堵塞的纸张");
    QTest::newRow("6 multifeed 755") << 6 << "0x03800755" << multifeed;
    QTest::newRow("6 multifeed 756") << 6 << "0x03800756" << multifeed;
    QTest::newRow("6 upper-case code") << 6 << "0X03800756" << jam;
    QTest::newRow("6 upper-case digits") << 6 << "0x0380075A" << jam;
    QTest::newRow("6 code with blank") << 6 << "0x03800756 " << jam;
    QTest::newRow("6 other code") << 6 << "0x03800700" << jam;
    QTest::newRow("6 no code") << 6 << "" << jam;
    QTest::newRow("3 ignores multifeed code")
        << 3 << "0x03800756"
        << QStringLiteral("设备忙碌(错误码:3)") + nl + QStringLiteral("请检查扫描仪是否被占用");

    QTest::newRow("7") << 7 << ""
                       << QStringLiteral("进纸器没有纸张(错误码:7)") + nl + QStringLiteral("请放入纸张");
    QTest::newRow("8") << 8 << ""
                       << QStringLiteral("进纸器被打开(错误码:8)") + nl + QStringLiteral("请关闭进纸器");
    QTest::newRow("9") << 9 << ""
                       << QStringLiteral("设备在输入/输出过程中出现错误(错误码:9)") + nl +
                              QStringLiteral("请打开进纸器并清洁传感器") + nl +
                              QStringLiteral("或确认运输锁开关已解锁") + nl + QStringLiteral("或重启扫描仪");
    QTest::newRow("10") << 10 << "" << QStringLiteral("扫描过程中内存不足(错误码:10)");
    QTest::newRow("11") << 11 << ""
                        << QStringLiteral("无法读写文件(错误码:11)") + nl +
                               QStringLiteral("请确认文件保存路径有读写权限");
    QTest::newRow("12") << 12 << "" << QStringLiteral("未知错误");
    QTest::newRow("-1") << -1 << "" << QStringLiteral("未知错误");
    QTest::newRow("large") << 1000 << "" << QStringLiteral("未知错误");
}

void TestSaneStatus::text()
{
    QFETCH(int, status);
    QFETCH(QString, detail);
    QFETCH(QString, expected);
    QCOMPARE(MainWindow::SaneStatusText(status, detail), expected);
}

void TestSaneStatus::ioErrorHasFourLines()
{
    const QString text = MainWindow::SaneStatusText(9, QString());
    QCOMPARE(text.split(QStringLiteral("\r\n")).size(), 4);
    QVERIFY(!text.contains(QLatin1Char('%')));
}

QTEST_APPLESS_MAIN(TestSaneStatus)
#include "tst_sanestatus.moc"
