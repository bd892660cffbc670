#include "mainwindow.h"

#include <QtTest>

// The status text is a table; what is checked here is the logic around it:
// which jam detail codes mean a multi-feed, and what falls outside the table.
class TestSaneStatus : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
};

void TestSaneStatus::text_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("firstLine");

    QTest::newRow("multifeed 755") << 6 << "0x03800755" << QStringLiteral("检测到多页进纸(错误码:6)");
    QTest::newRow("multifeed 756") << 6 << "0x03800756" << QStringLiteral("检测到多页进纸(错误码:6)");
    QTest::newRow("upper-case prefix") << 6 << "0X03800756" << QStringLiteral("检测到卡纸(错误码:6)");
    QTest::newRow("code with blank") << 6 << "0x03800756 " << QStringLiteral("检测到卡纸(错误码:6)");
    QTest::newRow("other code") << 6 << "0x03800700" << QStringLiteral("检测到卡纸(错误码:6)");
    QTest::newRow("no code") << 6 << "" << QStringLiteral("检测到卡纸(错误码:6)");
    QTest::newRow("busy ignores code") << 3 << "0x03800756" << QStringLiteral("设备忙碌(错误码:3)");
    QTest::newRow("past the table") << 12 << "" << QStringLiteral("未知错误");
    QTest::newRow("negative") << -1 << "" << QStringLiteral("未知错误");
}

void TestSaneStatus::text()
{
    QFETCH(int, status);
    QFETCH(QString, detail);
    QFETCH(QString, firstLine);
    const QString text = MainWindow::SaneStatusText(status, detail);
    QCOMPARE(text.split(QStringLiteral("\r\n")).first(), firstLine);
    QVERIFY(!text.contains(QLatin1Char('%')));
}

QTEST_APPLESS_MAIN(TestSaneStatus)
#include "tst_sanestatus.moc"
