#include "mainwindow.h"
#include "modalanswerer.h"
#include "pagerecognition.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The system settings page's file-name prefix and counter: what a commit
// accepts, refuses with which message, and what reaches the settings file.
// One window serves all rows.
class TestSysConfig : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commit_data();
    void commit();
    void ocrLanguage_data();
    void ocrLanguage();

private:
    // The file as the program reads it; QSettings shares one cache per file
    // within the process, so this sees what the window wrote.
    QString Stored(const QString& key) const
    {
        QSettings settings(m_home.path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                           QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        return settings.value(key).toString();
    }
    void Store(const QString& key, const QString& value) const
    {
        QSettings settings(m_home.path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                           QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        settings.setValue(key, value);
        settings.sync();
    }

    QTemporaryDir m_home;
    QTemporaryDir m_work;
    QPointer<MainWindow> m_window;
};

namespace {
const QString kCounterError = QStringLiteral("计数器必须大于等于1且小于20000000");
const QString kPrefixError =
    QStringLiteral("文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字");
const QString kPrefixTooLong =
    QStringLiteral("文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)");
} // namespace

void TestSysConfig::initTestCase()
{
    m_window = new MainWindow(m_home.path(), m_work.path() + QStringLiteral("/zir/scanvy"));
}

void TestSysConfig::cleanupTestCase()
{
    delete m_window.data();
}

void TestSysConfig::commit_data()
{
    QTest::addColumn<bool>("counter"); // else the prefix
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // "" when refused with message

    QTest::newRow("counter 1") << true << "1"
                               << "1";
    QTest::newRow("largest counter") << true << "19999999"
                                     << "19999999";
    QTest::newRow("counter with blanks around") << true << " 42 "
                                                << "42";
    QTest::newRow("counter 0") << true << "0"
                               << "";
    QTest::newRow("counter 20000000") << true << "20000000"
                                      << "";
    QTest::newRow("negative counter") << true << "-5"
                                      << "";
    QTest::newRow("counter word") << true << "abc"
                                  << "";
    QTest::newRow("empty counter") << true << ""
                                   << "";
    QTest::newRow("counter fraction") << true << "1.5"
                                      << "";
    // Every file name made from the prefix must fit 255 bytes.
    QTest::newRow("prefix too long for a file name") << false << QString(100, QChar(0x626B)) << "";
    QTest::newRow("longest prefix that fits")
        << false << QString(71, QChar(0x626B)) << QString(71, QChar(0x626B));
    QTest::newRow("blank inside") << false << "a b"
                                  << "";
    QTest::newRow("dot") << false << "a.b"
                         << "";
    QTest::newRow("slash") << false << "a/b"
                           << "";
    QTest::newRow("accented latin") << false << QStringLiteral("é") << "";
    QTest::newRow("full-width underscore") << false << QStringLiteral("＿") << "";
    QTest::newRow("CJK punctuation") << false << QStringLiteral("扫描。") << "";
    QTest::newRow("mixed") << false << QStringLiteral("扫描_Scan-01") << QStringLiteral("扫描_Scan-01");
    QTest::newRow("extension A") << false << QStringLiteral("\u3400x") << QStringLiteral("\u3400x");
    QTest::newRow("extension B, outside the BMP")
        << false << QString::fromUcs4(U"\U00020000") << QString::fromUcs4(U"\U00020000");
    QTest::newRow("outside the supplementary range") << false << QString::fromUcs4(U"\U0002EBF0") << "";
    QTest::newRow("trimmed prefix") << false << "  ab  "
                                    << "ab";
}

void TestSysConfig::commit()
{
    QFETCH(bool, counter);
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    auto* field = m_window->findChild<QLineEdit*>(counter ? "txtSysScanCount" : "txtSysFileNamePrefix");
    const QString key = counter ? QStringLiteral("Scanner/ScanCount") : QStringLiteral("Scanner/Prefix");
    const QString old = counter ? QStringLiteral("7") : QStringLiteral("old");
    const auto save = [this, counter] { counter ? m_window->SaveSysScanCount() : m_window->SaveSysPrefix(); };
    field->setText(old);
    save();
    QCOMPARE(Stored(key), old);

    ModalAnswerer answerer;
    field->setText(typed);
    save();
    if (stored.isEmpty()) {
        const bool tooLong = !counter && QFile::encodeName(typed).size() > 215;
        QCOMPARE(answerer.texts, QStringList{counter   ? kCounterError
                                             : tooLong ? kPrefixTooLong
                                                       : kPrefixError});
        QCOMPARE(answerer.titles, QStringList{QStringLiteral("错误")});
        QCOMPARE(field->text(), old);
        QCOMPARE(Stored(key), old);
    } else {
        QVERIFY(answerer.texts.isEmpty());
        QCOMPARE(Stored(key), stored);
    }
}

// The recognition language: a stored value read back as the box's choice
// (anything unknown leaves recognition off), and a choice in the box stored
// under its stable key and passed to the background recognition.
void TestSysConfig::ocrLanguage_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("chosen"); // the box's text chosen next
    QTest::addColumn<QString>("key");    // stored for it

    QTest::newRow("nothing stored") << ""
                                    << "不识别"
                                    << "英文"
                                    << "eng";
    QTest::newRow("english") << "eng"
                             << "英文"
                             << "简体中文+英文"
                             << "chi_sim+eng";
    QTest::newRow("simplified") << "chi_sim+eng"
                                << "简体中文+英文"
                                << "繁體中文+英文"
                                << "chi_tra+eng";
    QTest::newRow("traditional") << "chi_tra+eng"
                                 << "繁體中文+英文"
                                 << "不识别"
                                 << "none";
    QTest::newRow("unknown") << "klingon"
                             << "不识别"
                             << "英文"
                             << "eng";
    QTest::newRow("a box text, not a key") << "英文"
                                           << "不识别"
                                           << "英文"
                                           << "eng";
    QTest::newRow("an index, not a key") << "3"
                                         << "不识别"
                                         << "简体中文+英文"
                                         << "chi_sim+eng";
}

void TestSysConfig::ocrLanguage()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, chosen);
    QFETCH(QString, key);

    const QString setting = QStringLiteral("Scanner/OcrLanguage");
    Store(setting, stored);
    m_window->ReadSysConfig();
    auto* box = m_window->findChild<QComboBox*>(QStringLiteral("cmOcrLanguage"));
    QVERIFY(box);
    QCOMPARE(box->count(), 4);
    QCOMPARE(box->currentText(), shown);

    box->setCurrentIndex(box->findText(chosen));
    QCOMPARE(Stored(setting), key);
    QCOMPARE(OcrLanguageText(m_window->Recognition()->Language()), chosen);
    m_window->ReadSysConfig();
    QCOMPARE(box->currentText(), chosen);
}

QTEST_MAIN(TestSysConfig)
#include "tst_sysconfig.moc"
