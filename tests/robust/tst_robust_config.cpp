// Settings files with garbage, binary data, huge values, duplicate keys and
// wrong types, and a configuration folder that cannot be written: settings
// are read as far as they make sense, writes that succeed are reported as
// such, and the main window still runs.
#include "configsetting.h"
#include "mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char kConfigRel[] = "/.config/com.quvex.zyl.scanvy";

QByteArray noise(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestRobustConfig : public QObject {
    Q_OBJECT
private slots:
    void init();
    void damagedFile_data();
    void damagedFile();
    void unwritableFile_data();
    void unwritableFile();
    void windowWithDamagedSysConfig_data();
    void windowWithDamagedSysConfig();
    void windowWithUnwritableConfigFolder_data();
    void windowWithUnwritableConfigFolder();
    void hostileStoredValues_data();
    void hostileStoredValues();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRobustConfig::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestRobustConfig::damagedFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("kept"); // value of ScannerOptions/resolution that must survive
    const QByteArray good = "[ScannerOptions]\nresolution=300|1\n";
    QTest::newRow("one control byte") << QByteArray("\x01") << QString();
    QTest::newRow("garbage line after good ones") << good + "\x01\x02 = = [[\n"
                                                  << "300|1";
    QTest::newRow("binary noise") << noise(4096, 3) << QString();
    QTest::newRow("good lines then binary") << good + noise(2048, 4) << "300|1";
    QTest::newRow("NUL bytes") << good + QByteArray(64, '\0') << "300|1";
    QTest::newRow("huge value") << "[ScannerOptions]\nresolution=" + QByteArray(1 << 20, '9') + "\n"
                                << QString(1 << 20, QLatin1Char('9'));
    QTest::newRow("duplicate keys, last wins") << good + "resolution=600|1\n"
                                               << "600|1";
    QTest::newRow("duplicate sections") << good + "[ScannerOptions]\nmode=Gray|1\n"
                                        << "300|1";
    QTest::newRow("wrong types") << QByteArray("[ScannerOptions]\nresolution=@Variant(\\0\\0\\0\\x7f)\n")
                                 << QString();
    QTest::newRow("unterminated section") << QByteArray("[ScannerOptions\nresolution=300|1\n") << QString();
    QTest::newRow("no final line feed") << QByteArray("[ScannerOptions]\nresolution=300|1") << "300|1";
    QTest::newRow("CRLF and BOM") << QByteArray("\xEF\xBB\xBF[ScannerOptions]\r\nresolution=300|1\r\n")
                                  << "300|1";
    QTest::newRow("invalid UTF-8") << good + "prefix=\xC3\x28\xFF\n"
                                   << "300|1";
}

// Whatever the file held, a value written afterwards is stored, reported as
// stored, and reads back from the rewritten file; what could be read survives.
void TestRobustConfig::damagedFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, kept);
    const QString path = m_dir->filePath("KX-8000.ini");
    QVERIFY(writeFile(path, contents));
    QString value;
    {
        ConfigSetting settings(path);
        QVERIFY(settings.readInit("ScannerOptions", "resolution", value));
        if (!kept.isEmpty())
            QCOMPARE(value, kept);
        QVERIFY(settings.writeInit("ScannerOptions", "mode", "Color|1"));
        QVERIFY(settings.Sync());
        // A second change in the same session is judged on its own.
        QVERIFY(settings.writeInit("ScannerOptions", "source", "Adf-front|1"));
        QVERIFY(settings.Sync());
    }
    ConfigSetting again(path);
    QVERIFY(again.readInit("ScannerOptions", "mode", value));
    QCOMPARE(value, QStringLiteral("Color|1"));
    QVERIFY(again.readInit("ScannerOptions", "source", value));
    QCOMPARE(value, QStringLiteral("Adf-front|1"));
    if (!kept.isEmpty()) {
        QVERIFY(again.readInit("ScannerOptions", "resolution", value));
        QCOMPARE(value, kept);
    }
    QSettings check(path, QSettings::IniFormat);
    QCOMPARE(check.status(), QSettings::NoError);
}

void TestRobustConfig::unwritableFile_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("file is a folder") << "folder";
    QTest::newRow("file in the way of the folder") << "parent file";
    QTest::newRow("full disk") << "full";
}

// A write that cannot reach the disk is reported, and never damages what was there.
void TestRobustConfig::unwritableFile()
{
    QFETCH(QString, obstacle);
    QString path = m_dir->filePath("cfg/SysConfig.ini");
    QByteArray before;
    if (obstacle == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (obstacle == "parent file") {
        QVERIFY(writeFile(m_dir->filePath("cfg"), "not a folder"));
        before = "not a folder";
    } else {
        before = "[Scanner]\nPrefix=keep\n";
        QVERIFY(writeFile(path, before));
        // Room for the old file but not for the new one.
        QVERIFY(QDir().mkpath(m_dir->filePath("small")));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=4k", "tmpfs", m_dir->filePath("small")}) !=
            0)
            QSKIP("no tmpfs mount here");
        path = m_dir->filePath("small/SysConfig.ini");
        QVERIFY(writeFile(path, before));
        QVERIFY(writeFile(m_dir->filePath("small/filler"), QByteArray(4096 - before.size(), 'x')) || true);
    }
    {
        ConfigSetting settings(path);
        QVERIFY(settings.writeInit("Scanner", "Prefix", QString(64 * 1024, QLatin1Char('a'))));
        QVERIFY(!settings.Sync());
    }
    if (obstacle == "folder")
        QVERIFY(QFileInfo(path).isDir());
    else if (obstacle == "parent file")
        QCOMPARE(readFile(m_dir->filePath("cfg")), before);
    else {
        QCOMPARE(readFile(path), before);
        QProcess::execute("umount", {m_dir->filePath("small")});
    }
}

void TestRobustConfig::windowWithDamagedSysConfig_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("binary noise") << noise(8192, 9);
    QTest::newRow("counter not a number") << QByteArray("[Scanner]\nScanCount=abc\n");
    QTest::newRow("counter negative") << QByteArray("[Scanner]\nScanCount=-5\n");
    QTest::newRow("counter huge") << QByteArray("[Scanner]\nScanCount=99999999999999999999\n");
    QTest::newRow("format out of range") << QByteArray("[Scanner]\nFileFormat=99\n");
    QTest::newRow("format negative") << QByteArray("[Scanner]\nFileFormat=-1\n");
    QTest::newRow("digits not a number") << QByteArray("[Scanner]\nScanMinCountSize=x\n");
    QTest::newRow("language out of range") << QByteArray("[System]\nLanguage=7\n");
    QTest::newRow("screen huge") << QByteArray("[Screen]\nWidth=2147483647\nHeight=2147483647\n");
    QTest::newRow("screen negative") << QByteArray("[Screen]\nWidth=-100\nHeight=-1\n");
    QTest::newRow("huge prefix") << "[Scanner]\nPrefix=" + QByteArray(1 << 20, 'p') + "\n";
    QTest::newRow("save path is garbage")
        << "[Scanner]\nFilePath=" + noise(300, 10).replace('\n', 'x') + "\n";
    QTest::newRow("duplicate keys") << QByteArray("[Scanner]\nFileFormat=3\nFileFormat=6\n");
}

// The window comes up and closes with any "SysConfig.ini"; what it shows is
// a choice it offers, and the file it leaves behind is well-formed.
void TestRobustConfig::windowWithDamagedSysConfig()
{
    QFETCH(QByteArray, contents);
    const QString home = m_dir->filePath("home");
    const QString config = home + kConfigRel + "/SysConfig.ini";
    QVERIFY(writeFile(config, contents));
    {
        MainWindow window(home, m_dir->filePath("work/zir/scanvy"));
        // Checked before showing: a window sized from a damaged file would ask
        // for a backing store of petabytes.
        QVERIFY2(window.width() > 0 && window.width() < 100000 && window.height() > 0 &&
                     window.height() < 100000,
                 qPrintable(QStringLiteral("%1 x %2").arg(window.width()).arg(window.height())));
        window.show();
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
        auto* format = window.findChild<QComboBox*>("cmImageFormat");
        QVERIFY(format);
        QVERIFY(format->currentIndex() >= 0 && format->currentIndex() < format->count());
        QVERIFY(window.width() < 100000 && window.height() < 100000);
    }
    QSettings check(config, QSettings::IniFormat);
    QCOMPARE(check.status(), QSettings::NoError);
}

void TestRobustConfig::windowWithUnwritableConfigFolder_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("file in place of the folder") << "folder";
    QTest::newRow("folder in place of SysConfig.ini") << "file";
}

// The settings cannot be kept: the window still runs on its defaults, and
// what is in the way stays as it was.
void TestRobustConfig::windowWithUnwritableConfigFolder()
{
    QFETCH(QString, obstacle);
    const QString home = m_dir->filePath("home");
    const QString folder = home + kConfigRel;
    if (obstacle == "folder")
        QVERIFY(writeFile(folder, "in the way"));
    else
        QVERIFY(QDir().mkpath(folder + "/SysConfig.ini"));
    {
        MainWindow window(home, m_dir->filePath("work/zir/scanvy"));
        window.show();
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
        QCOMPARE(window.findChild<QLineEdit*>("txtSysImagePath")->text(), home + "/scanvyimg");
        QCOMPARE(window.findChild<QLineEdit*>("txtSysScanCount")->text(), QStringLiteral("1"));
    }
    if (obstacle == "folder")
        QCOMPARE(readFile(folder), QByteArray("in the way"));
    else
        QVERIFY(QFileInfo(folder + "/SysConfig.ini").isDir());
}

void TestRobustConfig::hostileStoredValues_data()
{
    // One stored value per row, and the file name of a save that the program
    // then makes for counter value `counter` (prefix + padded counter +
    // extension of the format the box shows) in the save folder.
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("counterShown");

    // Defaults around the row's value: prefix "p", counter 7, 4 digits, JPEG.
    QTest::newRow("prefix climbing out of the folder") << "Prefix"
                                                       << "../../x/e_"
                                                       << "0007.jpg"
                                                       << "7";
    QTest::newRow("prefix with a backslash") << "Prefix"
                                             << "a\\b"
                                             << "0007.jpg"
                                             << "7";
    QTest::newRow("prefix with a control character") << "Prefix"
                                                     << "a\tb"
                                                     << "0007.jpg"
                                                     << "7";
    QTest::newRow("prefix of 100 ideographs") << "Prefix" << QString(100, QChar(0x626B)) << "0007.jpg"
                                              << "7";
    QTest::newRow("prefix of 70 ideographs still fits")
        << "Prefix" << QString(70, QChar(0x626B)) << QString(70, QChar(0x626B)) + "0007.jpg"
        << "7";
    QTest::newRow("prefix of 215 letters fits")
        << "Prefix" << QString(215, 'a') << QString(215, 'a') + "0007.jpg"
        << "7";
    QTest::newRow("prefix of 216 letters does not") << "Prefix" << QString(216, 'a') << "0007.jpg"
                                                    << "7";
    QTest::newRow("largest int as counter") << "ScanCount"
                                            << "2147483647"
                                            << "p19999999.jpg"
                                            << "19999999";
    QTest::newRow("counter past any int") << "ScanCount"
                                          << "99999999999999999999"
                                          << "p19999999.jpg"
                                          << "19999999";
    QTest::newRow("counter 0") << "ScanCount"
                               << "0"
                               << "p0001.jpg"
                               << "1";
    QTest::newRow("negative counter") << "ScanCount"
                                      << "-5"
                                      << "p0001.jpg"
                                      << "1";
    QTest::newRow("counter not a number") << "ScanCount"
                                          << "abc"
                                          << "p0001.jpg"
                                          << "1";
    QTest::newRow("negative digit count") << "ScanMinCountSize"
                                          << "-4"
                                          << "p0007.jpg"
                                          << "7";
    QTest::newRow("digit count 11") << "ScanMinCountSize"
                                    << "11"
                                    << "p0007.jpg"
                                    << "7";
    QTest::newRow("digit count 10") << "ScanMinCountSize"
                                    << "10"
                                    << "p0000000007.jpg"
                                    << "7";
    QTest::newRow("format 42") << "FileFormat"
                               << "42"
                               << "p0007.tiff"
                               << "7";
    QTest::newRow("format not a number") << "FileFormat"
                                         << "pdf"
                                         << "p0007.tiff"
                                         << "7";
}

// A hostile "SysConfig.ini" value never leads a file out of the save or work
// folder, never makes a negative or wrapped number, and never leaves the
// format box showing one format while another extension is written.
void TestRobustConfig::hostileStoredValues()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, fileName);
    QFETCH(QString, counterShown);

    const QString home = m_dir->filePath("home");
    const QString config = home + kConfigRel + "/SysConfig.ini";
    QDir().mkpath(QFileInfo(config).path());
    {
        QSettings ini(config, QSettings::IniFormat);
        ini.setValue("Scanner/FilePath", m_dir->filePath("out"));
        ini.setValue("Scanner/Prefix", "p");
        ini.setValue("Scanner/ScanCount", "7");
        ini.setValue("Scanner/ScanMinCountSize", "4");
        ini.setValue("Scanner/FileFormat", "3");
        ini.setValue("Scanner/" + key, stored);
    }
    MainWindow window(home, m_dir->filePath("work/zir/scanvy"));
    auto* format = window.findChild<QComboBox*>("cmImageFormat");
    const QString extension = format->currentData().toString();
    const QString target = window.GetScanFile(window.Counter(), extension);
    QCOMPARE(QFileInfo(target).path(), m_dir->filePath("out"));
    QCOMPARE(QFileInfo(target).fileName(), fileName);
    QCOMPARE(window.findChild<QLineEdit*>("txtSysScanCount")->text(), counterShown);
    QVERIFY(window.Counter() >= 1);
    // What the box shows is what is written.
    QVERIFY(!extension.isEmpty());
    // The prefix field shows the prefix in use.
    QVERIFY(fileName.startsWith(window.findChild<QLineEdit*>("txtSysFileNamePrefix")->text()));
}

QTEST_MAIN(TestRobustConfig)
#include "tst_robust_config.moc"
