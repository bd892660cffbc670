#include "mainwindow.h"
#include "modalanswerer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char kConfigRel[] = "/.config/com.quvex.zyl.scanvy/SysConfig.ini";
const QString kCounterError = QStringLiteral("计数器必须大于等于1且小于20000000");
const QString kPrefixError =
    QStringLiteral("文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字");
const QString kPrefixTooLong =
    QStringLiteral("文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)");
} // namespace

class TestSysConfig : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStart();
    void readStoredValues_data();
    void readStoredValues();
    void counterCommit_data();
    void counterCommit();
    void prefixCommit_data();
    void prefixCommit();
    void unchangedPrefixWritesNothing_data();
    void unchangedPrefixWritesNothing();
    void focusAndFrameCommit();
    void pageWidgetsWriteAtOnce();
    void windowSize_data();
    void windowSize();
    void resizeStoredOnlyAfterStartup();
    void ensureScanPath();
    void switchLanguage();

private:
    QString ConfigPath() const { return m_home->path() + QLatin1String(kConfigRel); }
    void WriteConfig(const QMap<QString, QString>& values);
    QMap<QString, QString> ReadConfig() const;
    MainWindow* Open();
    void Close();
    template <typename T> T* Child(const char* name)
    {
        auto* child = m_window->findChild<T*>(QLatin1String(name));
        if (!child) {
            qFatal("no child %s", name);
        }
        return child;
    }

    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_work;
    QPointer<MainWindow> m_window;
};

void TestSysConfig::init()
{
    m_home.reset(new QTemporaryDir);
    m_work.reset(new QTemporaryDir);
    QVERIFY(m_home->isValid() && m_work->isValid());
}

void TestSysConfig::cleanup()
{
    Close();
}

void TestSysConfig::WriteConfig(const QMap<QString, QString>& values)
{
    QDir().mkpath(QFileInfo(ConfigPath()).path());
    QSettings settings(ConfigPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    for (auto it = values.begin(); it != values.end(); ++it) {
        settings.setValue(it.key(), it.value());
    }
}

QMap<QString, QString> TestSysConfig::ReadConfig() const
{
    QSettings settings(ConfigPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    QMap<QString, QString> values;
    for (const QString& key : settings.allKeys()) {
        values.insert(key, settings.value(key).toString());
    }
    return values;
}

MainWindow* TestSysConfig::Open()
{
    m_window = new MainWindow(m_home->path(), m_work->path() + QStringLiteral("/zir/scanvy"));
    return m_window;
}

void TestSysConfig::Close()
{
    // Destroying the window writes the settings file.
    delete m_window.data();
}

void TestSysConfig::firstStart()
{
    QVERIFY(!QFile::exists(ConfigPath()));
    Open();
    QVERIFY(QFile::exists(ConfigPath()));
    QCOMPARE(Child<QLineEdit>("txtSysImagePath")->text(), m_home->path() + QStringLiteral("/scanvyimg"));
    QCOMPARE(Child<QLineEdit>("txtSysScanCount")->text(), QStringLiteral("1"));
    QCOMPARE(Child<QComboBox>("cbMinCountSize")->currentText(), QStringLiteral("4"));
    QCOMPARE(Child<QComboBox>("cmImageFormat")->currentIndex(), 0);
    QVERIFY(!Child<QCheckBox>("cbSaveAfterScan")->isChecked());
    Close();

    const QMap<QString, QString> expected{
        {"Scanner/FileFormat", "0"},
        {"Scanner/ScanCount", "1"},
        {"Scanner/ScanMinCountSize", "4"},
        {"System/Language", "0"},
    };
    QCOMPARE(ReadConfig(), expected);
    QVERIFY2(!QDir(m_home->path() + "/scanvyimg").exists(), "the save folder is made only when saving");
}

void TestSysConfig::readStoredValues_data()
{
    QTest::addColumn<QString>("fileFormat");
    QTest::addColumn<QString>("scanCount");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("saveAfter");
    QTest::addColumn<int>("formatIndex");
    QTest::addColumn<QString>("digitsShown");
    QTest::addColumn<bool>("checked");

    QTest::newRow("pdf, 6 digits, save on") << "6"
                                            << "12"
                                            << "6"
                                            << "2" << 6 << "6" << true;
    QTest::newRow("ofd, 10 digits, save off") << "8"
                                              << "19999999"
                                              << "10"
                                              << "0" << 8 << "10" << false;
    QTest::newRow("any other text means on") << "1"
                                             << "3"
                                             << "1"
                                             << "yes" << 1 << "1" << true;
    QTest::newRow("format out of range keeps box") << "9"
                                                   << "5"
                                                   << "4"
                                                   << "" << 0 << "4" << false;
    QTest::newRow("bad counter gives the first number") << "0"
                                                        << "abc"
                                                        << "4"
                                                        << "0" << 0 << "4" << false;
}

void TestSysConfig::readStoredValues()
{
    QFETCH(QString, fileFormat);
    QFETCH(QString, scanCount);
    QFETCH(QString, digits);
    QFETCH(QString, saveAfter);
    QFETCH(int, formatIndex);
    QFETCH(QString, digitsShown);
    QFETCH(bool, checked);

    QMap<QString, QString> stored{
        {"Scanner/FilePath", m_home->path() + "/somewhere"},
        {"Scanner/Prefix", "scan_"},
        {"Scanner/FileFormat", fileFormat},
        {"Scanner/ScanCount", scanCount},
        {"Scanner/ScanMinCountSize", digits},
        {"System/Language", "0"},
    };
    if (!saveAfter.isEmpty()) {
        stored.insert("Scanner/SaveAfterScan", saveAfter);
    }
    WriteConfig(stored);
    Open();
    QCOMPARE(Child<QLineEdit>("txtSysImagePath")->text(), m_home->path() + "/somewhere");
    QCOMPARE(Child<QLineEdit>("txtSysFileNamePrefix")->text(), QStringLiteral("scan_"));
    QCOMPARE(Child<QComboBox>("cmImageFormat")->currentIndex(), formatIndex);
    // The counter in use is shown; an unusable stored text gives the first number.
    QCOMPARE(Child<QLineEdit>("txtSysScanCount")->text(),
             scanCount == QLatin1String("abc") ? "1" : scanCount);
    QCOMPARE(Child<QComboBox>("cbMinCountSize")->currentText(), digitsShown);
    QCOMPARE(Child<QCheckBox>("cbSaveAfterScan")->isChecked(), checked);
    Close();
    QCOMPARE(ReadConfig(), stored);
}

void TestSysConfig::counterCommit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("1") << "1" << true;
    QTest::newRow("largest") << "19999999" << true;
    QTest::newRow("blanks around") << " 42 " << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("20000000") << "20000000" << false;
    QTest::newRow("-5") << "-5" << false;
    QTest::newRow("word") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("fraction") << "1.5" << false;
}

void TestSysConfig::counterCommit()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);

    WriteConfig({{"Scanner/ScanCount", "7"}});
    Open();
    ModalAnswerer answerer;
    auto* field = Child<QLineEdit>("txtSysScanCount");
    field->setText(typed);
    m_window->SaveSysScanCount();
    if (accepted) {
        QVERIFY(answerer.texts.isEmpty());
        QCOMPARE(field->text(), typed);
    } else {
        QCOMPARE(answerer.texts, QStringList{kCounterError});
        QCOMPARE(answerer.titles, QStringList{QStringLiteral("错误")});
        QCOMPARE(field->text(), QStringLiteral("7"));
    }
    Close();
    QCOMPARE(ReadConfig().value("Scanner/ScanCount"),
             accepted ? QString::number(typed.toInt()) : QStringLiteral("7"));
}

void TestSysConfig::prefixCommit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");

    // Every file name made from the prefix must fit 255 bytes.
    QTest::newRow("too long for a file name") << QString(100, QChar(0x626B)) << false << "old";
    QTest::newRow("longest that fits") << QString(71, QChar(0x626B)) << true << QString(71, QChar(0x626B));
    QTest::newRow("blank inside") << "a b" << false << "old";
    QTest::newRow("dot") << "a.b" << false << "old";
    QTest::newRow("slash") << "a/b" << false << "old";
    QTest::newRow("backslash") << "a\\b" << false << "old";
    QTest::newRow("accented latin") << QStringLiteral("é") << false << "old";
    QTest::newRow("full-width underscore") << QStringLiteral("＿") << false << "old";
    QTest::newRow("CJK punctuation") << QStringLiteral("扫描。") << false << "old";
    QTest::newRow("mixed") << QStringLiteral("扫描_Scan-01") << true << QStringLiteral("扫描_Scan-01");
    QTest::newRow("extension A") << QStringLiteral("\u3400x") << true << QStringLiteral("\u3400x");
    QTest::newRow("compatibility ideograph") << QStringLiteral("\uF900") << true << QStringLiteral("\uF900");
    QTest::newRow("extension B, outside the BMP")
        << QString::fromUcs4(U"\U00020000") << true << QString::fromUcs4(U"\U00020000");
    QTest::newRow("outside the supplementary range") << QString::fromUcs4(U"\U0002EBF0") << false << "old";
    QTest::newRow("trimmed") << "  ab  " << true << "ab";
    QTest::newRow("only blanks") << "   " << true << "";
}

void TestSysConfig::prefixCommit()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);

    WriteConfig({{"Scanner/Prefix", "old"}});
    Open();
    ModalAnswerer answerer;
    auto* field = Child<QLineEdit>("txtSysFileNamePrefix");
    field->setText(typed);
    m_window->SaveSysPrefix();
    if (accepted) {
        QVERIFY(answerer.texts.isEmpty());
    } else {
        const bool tooLong = QFile::encodeName(typed).size() > 215;
        QCOMPARE(answerer.texts, QStringList{tooLong ? kPrefixTooLong : kPrefixError});
        QCOMPARE(field->text(), QStringLiteral("old"));
    }
    Close();
    QCOMPARE(ReadConfig().value("Scanner/Prefix"), stored);
}

void TestSysConfig::unchangedPrefixWritesNothing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("written");

    QTest::newRow("same") << "abc" << false;
    QTest::newRow("same after trimming") << " abc " << false;
    QTest::newRow("changed") << "abd" << true;
}

void TestSysConfig::unchangedPrefixWritesNothing()
{
    QFETCH(QString, typed);
    QFETCH(bool, written);

    WriteConfig({{"Scanner/Prefix", "abc"},
                 {"Scanner/FileFormat", "0"},
                 {"Scanner/ScanCount", "1"},
                 {"Scanner/ScanMinCountSize", "4"},
                 {"System/Language", "0"}});
    const QDateTime old = QDateTime::currentDateTime().addDays(-10);
    {
        QFile file(ConfigPath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    Open();
    Child<QLineEdit>("txtSysFileNamePrefix")->setText(typed);
    m_window->SaveSysPrefix();
    Close();
    const QDateTime modified = QFileInfo(ConfigPath()).lastModified();
    QCOMPARE(modified > old.addSecs(60), written);
}

void TestSysConfig::focusAndFrameCommit()
{
    WriteConfig({{"Scanner/ScanCount", "7"}, {"Scanner/Prefix", "p"}});
    Open();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_window->findChild<QAction*>("actionSystemConfig")->trigger();

    auto* counter = Child<QLineEdit>("txtSysScanCount");
    auto* prefix = Child<QLineEdit>("txtSysFileNamePrefix");
    counter->setFocus();
    QTRY_VERIFY(counter->hasFocus());
    counter->setText(QStringLiteral("250"));
    prefix->setFocus(); // the counter loses focus: committed
    QTRY_VERIFY(prefix->hasFocus());
    prefix->setText(QStringLiteral("pre"));
    QTest::mouseClick(Child<QFrame>("frmSystemSetting"), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    Close();
    const QMap<QString, QString> values = ReadConfig();
    QCOMPARE(values.value("Scanner/ScanCount"), QStringLiteral("250"));
    QCOMPARE(values.value("Scanner/Prefix"), QStringLiteral("pre"));
}

void TestSysConfig::pageWidgetsWriteAtOnce()
{
    Open();
    Child<QComboBox>("cmImageFormat")->setCurrentIndex(5);
    Child<QComboBox>("cbMinCountSize")->setCurrentIndex(6);
    Child<QCheckBox>("cbSaveAfterScan")->setChecked(true);
    Child<QComboBox>("cmLanguage")->setCurrentIndex(2);
    QMap<QString, QString> values;
    {
        // The window is still open: the values must already be in the file's cache
        // and reach the disk when it closes.
        Close();
        values = ReadConfig();
    }
    QCOMPARE(values.value("Scanner/FileFormat"), QStringLiteral("5"));
    QCOMPARE(values.value("Scanner/ScanMinCountSize"), QStringLiteral("7"));
    QCOMPARE(values.value("Scanner/SaveAfterScan"), QStringLiteral("2"));
    QCOMPARE(values.value("System/Language"), QStringLiteral("2"));

    WriteConfig({{"Scanner/SaveAfterScan", "2"}});
    Open();
    Child<QCheckBox>("cbSaveAfterScan")->setChecked(false);
    Close();
    QCOMPARE(ReadConfig().value("Scanner/SaveAfterScan"), QStringLiteral("0"));
}

void TestSysConfig::windowSize_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("nothing stored") << ""
                                    << "" << QSize(920, 620);
    QTest::newRow("0 x 0") << "0"
                           << "0" << QSize(920, 620);
    QTest::newRow("width 0") << "0"
                             << "700" << QSize(920, 620);
    QTest::newRow("stored") << "1000"
                            << "700" << QSize(1000, 700);
}

void TestSysConfig::windowSize()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);

    QMap<QString, QString> stored;
    if (!width.isEmpty()) {
        stored.insert("Screen/Width", width);
        stored.insert("Screen/Height", height);
    }
    WriteConfig(stored);
    Open();
    QCOMPARE(m_window->size(), expected);
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(m_window->pos(), QPoint((desktop.width() - expected.width()) / 2,
                                     (desktop.height() - expected.height()) / 2 - 50));
}

void TestSysConfig::resizeStoredOnlyAfterStartup()
{
    Open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->resize(990, 660);
    QTRY_COMPARE(m_window->size(), QSize(990, 660));
    m_window->OnSplashWorkerFinished();
    m_window->resize(1010, 680);
    QTRY_COMPARE(m_window->size(), QSize(1010, 680));
    Close();
    const QMap<QString, QString> values = ReadConfig();
    QCOMPARE(values.value("Screen/Width"), QStringLiteral("1010"));
    QCOMPARE(values.value("Screen/Height"), QStringLiteral("680"));
}

void TestSysConfig::ensureScanPath()
{
    Open();
    m_window->EnsureScanPath();
    QVERIFY(QFileInfo(m_home->path() + "/scanvyimg").isDir());
    Close();

    const QString chosen = m_home->path() + QStringLiteral("/扫描/文件");
    WriteConfig({{"Scanner/FilePath", chosen}});
    Open();
    m_window->EnsureScanPath();
    QVERIFY(QFileInfo(chosen).isDir());
}

void TestSysConfig::switchLanguage()
{
    // A small catalogue of our own, built with the same tool as the program's.
    const QString lrelease = QStandardPaths::findExecutable(QStringLiteral("lrelease"));
    if (lrelease.isEmpty()) {
        QSKIP("lrelease not installed");
    }
    const QString ts = m_work->path() + QStringLiteral("/test_en.ts");
    const QString qm = m_work->path() + QStringLiteral("/test_en.qm");
    QFile file(ts);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS><TS version="2.1" language="en_US"><context><name>MainWindow</name>
<message><source>文件(&amp;F)</source><translation>&amp;File</translation></message>
<message><source>当前图像数量：%1</source><translation>Pages: %1</translation></message>
<message><source>多页TIFF</source><translation>Multi-page TIFF</translation></message>
<message><source>跳转</source><translation>Go to</translation></message>
</context></TS>
)");
    file.close();
    QCOMPARE(QProcess::execute(lrelease, {QStringLiteral("-silent"), ts, QStringLiteral("-qm"), qm}), 0);

    Open();
    auto* fileMenu = Child<QMenu>("menuFile");
    auto* count = Child<QLabel>("lblImgInfo");
    m_window->SwitchLanguage(qm);
    QCOMPARE(fileMenu->title(), QStringLiteral("&File"));
    QCOMPARE(count->text(), QStringLiteral("Pages: 0"));
    QCOMPARE(Child<QComboBox>("cmImageFormat")->itemText(1), QStringLiteral("Multi-page TIFF"));
    QCOMPARE(Child<QComboBox>("cmPageJump")->toolTip(), QStringLiteral("Go to"));

    // The built-in catalogues carry no entries: back to the source texts.
    m_window->SwitchLanguage(QStringLiteral(":/trans/zh_CN.qm"));
    QCOMPARE(fileMenu->title(), QStringLiteral("文件(&F)"));
    QCOMPARE(count->text(), QStringLiteral("当前图像数量：0"));

    // A file that cannot be loaded leaves no program translation installed.
    m_window->SwitchLanguage(qm);
    QCOMPARE(fileMenu->title(), QStringLiteral("&File"));
    m_window->SwitchLanguage(m_work->path() + QStringLiteral("/missing.qm"));
    QCOMPARE(fileMenu->title(), QStringLiteral("文件(&F)"));
    QCOMPARE(count->text(), QStringLiteral("当前图像数量：0"));
}

QTEST_MAIN(TestSysConfig)
#include "tst_sysconfig.moc"
