// The ini accessor: UTF-8 text, and a cleared file keeping only the new keys,
// also over a file with a line it cannot read; a write that cannot reach the
// disk is reported and leaves the old file as it was.
#include "configsetting.h"
#include "pagemaker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using PageMaker::bytes;

class TestConfigSetting : public QObject {
    Q_OBJECT
private slots:
    void rewrite_data();
    void rewrite();
};

void TestConfigSetting::rewrite_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<bool>("diskFull");

    const QByteArray sound("[ScannerOptions]\nold-option=x|1\nmode=Gray|1\n");
    const QByteArray damaged("[ScannerOptions]\nmode=Gray|1\n[broken\n");
    QTest::newRow("over a sound file") << sound << false;
    QTest::newRow("over a damaged file") << damaged << false;
    QTest::newRow("over a sound file, disk full") << sound << true;
    QTest::newRow("over a damaged file, disk full") << damaged << true;
}

void TestConfigSetting::rewrite()
{
    QFETCH(QByteArray, old);
    QFETCH(bool, diskFull);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clear.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const QString prefix = QStringLiteral("扫描文件_合同").repeated(3);
    ConfigSetting config(path);
    config.Clear();
    QVERIFY(config.writeInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"), prefix));
    QVERIFY(!config.writeInit(QString(), QStringLiteral("mode"), prefix));
    if (diskFull) {
        // Room for a copy of the old file, none for the new one.
        const PageMaker::FileSizeLimit full(old.size() + 1);
        QVERIFY(!config.Sync());
        QCOMPARE(bytes(path), old);
        return;
    }
    QVERIFY(config.Sync());
    QCOMPARE(bytes(path), "[ScannerOptions]\nmode=" + prefix.toUtf8() + "\n");
    ConfigSetting reread(path);
    QString value;
    QVERIFY(reread.readInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"), value));
    QCOMPARE(value, prefix);
}

QTEST_GUILESS_MAIN(TestConfigSetting)
#include "tst_configsetting.moc"
