// The ini accessor: group/key rules, UTF-8 storage, re-pointing to another file.
#include "configsetting.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConfigSetting : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void groupAndKeyRules_data();
    void groupAndKeyRules();
    void missingKeyReadsEmpty();
    void chineseTextIsUtf8();
    void setConfigPathWritesTheFirstFile();
    void clearLeavesOnlyNewKeys();

private:
    QTemporaryDir m_dir;
};

void TestConfigSetting::groupAndKeyRules_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("group and key") << "ScannerOptions"
                                   << "mode" << true;
    QTest::newRow("empty key") << "ScannerOptions"
                               << "" << false;
    QTest::newRow("empty group") << ""
                                 << "mode" << false;
    QTest::newRow("both empty") << ""
                                << "" << false;
}

void TestConfigSetting::groupAndKeyRules()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(bool, accepted);
    const QString path = m_dir.filePath(QStringLiteral("rules.ini"));
    QFile::remove(path);
    {
        ConfigSetting config(path);
        QCOMPARE(config.writeInit(group, key, QStringLiteral("Gray")), accepted);
        QString value = QStringLiteral("left over");
        QCOMPARE(config.readInit(group, key, value), accepted);
        QCOMPARE(value, accepted ? QStringLiteral("Gray") : QString());
    }
    // A refused write leaves no file behind; an accepted one is in the file.
    QCOMPARE(QFile::exists(path), accepted);
    if (accepted) {
        ConfigSetting reread(path);
        QString value;
        QVERIFY(reread.readInit(group, key, value));
        QCOMPARE(value, QStringLiteral("Gray"));
    }
}

void TestConfigSetting::missingKeyReadsEmpty()
{
    const QString path = m_dir.filePath(QStringLiteral("missing.ini"));
    ConfigSetting config(path);
    config.writeInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"), QStringLiteral("Color"));
    QString value = QStringLiteral("x");
    QVERIFY(config.readInit(QStringLiteral("ScannerOptions"), QStringLiteral("resolution"), value));
    QVERIFY(value.isEmpty());
    QVERIFY(config.readInit(QStringLiteral("Other"), QStringLiteral("mode"), value));
    QVERIFY(value.isEmpty());
}

void TestConfigSetting::chineseTextIsUtf8()
{
    const QString path = m_dir.filePath(QStringLiteral("utf8.ini"));
    const QString prefix = QStringLiteral("扫描文件_合同");
    const QString folder = QStringLiteral("/home/用户/文档");
    {
        ConfigSetting config(path);
        QVERIFY(config.writeInit(QStringLiteral("SysConfig"), QStringLiteral("prefix"), prefix));
        QVERIFY(config.writeInit(QStringLiteral("SysConfig"), QStringLiteral("savePath"), folder));
    }
    const QByteArray raw = ReadRaw(path);
    QVERIFY2(raw.contains("[SysConfig]"), raw.constData());
    QVERIFY2(raw.contains("prefix=" + prefix.toUtf8()), raw.constData());
    QVERIFY2(raw.contains("savePath=" + folder.toUtf8()), raw.constData());

    ConfigSetting reread(path);
    QString value;
    QVERIFY(reread.readInit(QStringLiteral("SysConfig"), QStringLiteral("prefix"), value));
    QCOMPARE(value, prefix);
    QVERIFY(reread.readInit(QStringLiteral("SysConfig"), QStringLiteral("savePath"), value));
    QCOMPARE(value, folder);
}

void TestConfigSetting::setConfigPathWritesTheFirstFile()
{
    const QString first = m_dir.filePath(QStringLiteral("first.ini"));
    const QString second = m_dir.filePath(QStringLiteral("second.ini"));
    ConfigSetting config(first);
    QVERIFY(config.writeInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"),
                             QStringLiteral("Lineart")));
    config.SetConfigPath(second);
    QVERIFY(ReadRaw(first).contains("mode=Lineart"));
    QString value;
    QVERIFY(config.readInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"), value));
    QVERIFY(value.isEmpty());
    QCOMPARE(config.FilePath(), second);
}

void TestConfigSetting::clearLeavesOnlyNewKeys()
{
    const QString path = m_dir.filePath(QStringLiteral("clear.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[ScannerOptions]\nold-option=x|1\nmode=Gray|1\n");
    }
    ConfigSetting config(path);
    config.Clear();
    QVERIFY(config.writeInit(QStringLiteral("ScannerOptions"), QStringLiteral("mode"),
                             QStringLiteral("Color|1")));
    QVERIFY(config.Sync());
    const QByteArray raw = ReadRaw(path);
    QVERIFY2(!raw.contains("old-option"), raw.constData());
    QVERIFY2(raw.contains("mode=Color|1"), raw.constData());
}

QTEST_GUILESS_MAIN(TestConfigSetting)
#include "tst_configsetting.moc"
