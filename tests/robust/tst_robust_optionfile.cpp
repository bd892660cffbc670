// A scanner's option file that was damaged on disk: the panel starts with
// values it can offer, and saving the settings works and repairs the file.
#include "optiontables.h"
#include "testpanel.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray noise(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

} // namespace

class TestRobustOptionFile : public QObject {
    Q_OBJECT
private slots:
    void damagedOptionFile_data();
    void damagedOptionFile();
};

void TestRobustOptionFile::damagedOptionFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    const QByteArray head = "[ScannerOptions]\n";
    QTest::newRow("binary noise") << noise(4096, 5);
    QTest::newRow("good line then a control byte") << head + "resolution=300|1\n\x01\n";
    QTest::newRow("huge numbers") << head + "resolution=99999999999999999999|1\nbr-y=1e308|1\n";
    QTest::newRow("negative numbers") << head + "resolution=-600|1\nbr-y=-5|1\n";
    QTest::newRow("not a number") << head + "br-y=nan|1\nresolution=0x12|1\n";
    QTest::newRow("duplicate keys") << head + "mode=Gray|1\nmode=Sepia|0\nmode=Lineart|1\n";
    QTest::newRow("huge text") << head + "mode=" + QByteArray(1 << 20, 'M') + "|1\n";
    QTest::newRow("only bars") << head + "mode=|||\nresolution=|\n";
    QTest::newRow("NUL in value") << head + QByteArray("mode=Gr\0ay|1\n", 14);
}

void TestRobustOptionFile::damagedOptionFile()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    const QString folder = dir.filePath(".config/com.quvex.zyl.scanvy");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/zylkx_kx2000.ini";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    TestPanel panel;
    panel.m_configPath = folder;
    panel.m_options = OptionTables::FeederDevice();
    panel.InitSpecial();
    panel.InitWidgetByOption("zylkx:kx2000", false);

    // Every bound widget shows a value inside its own range.
    QVERIFY(panel.sbResolution->value() >= panel.sbResolution->minimum() &&
            panel.sbResolution->value() <= panel.sbResolution->maximum());
    QVERIFY(panel.cmMode->currentIndex() >= 0);
    QVERIFY(!panel.cmMode->currentData().toString().isEmpty());

    // Saving succeeds, is reported as such, and leaves a file that reads back.
    panel.sbResolution->setValue(200);
    QVERIFY(panel.SaveParamsToIni());
    panel.sbResolution->setValue(300);
    QVERIFY(panel.SaveParamsToIni());
    TestPanel reread;
    reread.m_configPath = folder;
    reread.m_options = OptionTables::FeederDevice();
    reread.InitSpecial();
    reread.InitWidgetByOption("zylkx:kx2000", false);
    QCOMPARE(reread.sbResolution->value(), 300);
    QCOMPARE(reread.cmMode->currentIndex(), panel.cmMode->currentIndex());
}

QTEST_MAIN(TestRobustOptionFile)
#include "tst_robust_optionfile.moc"
