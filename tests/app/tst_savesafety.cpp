// Saves that fail after the user agreed to overwrite, pages whose scan was
// interrupted, and leftovers of interrupted saves, through the main window
// on the simulated scanner.
#include "mainwindow.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content, int mode = -1)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        return false;
    f.close();
    return mode < 0 || ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Every entry of a folder, hidden ones included, with mode and content.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        out << e.fileName() + " " + QString::number(modeOf(e.filePath()), 8) + " " +
                   (e.isDir() ? QStringLiteral("<dir>") : QString::fromLatin1(bytesOf(e.filePath()).toHex()));
    }
    return out;
}

const char* const kExt[] = {"tiff", "tiff", "pnm", "jpg", "png", "pdf", "pdf", "ofd", "ofd"};

bool isMulti(int format)
{
    return format == 1 || format == 6 || format == 8;
}

} // namespace

class TestSaveSafety : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void overwriteThenFail_data();
    void overwriteThenFail();
    void interruptedPages_data();
    void interruptedPages();
    void interruptedPageAfterScan();
    void leftoversOfInterruptedSaves();

private:
    void StartWith(int format);
    bool ScanSheets(int sheets);
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }
    QString Target(int number, int format) const
    {
        return Out() + QStringLiteral("/a%1.%2").arg(number, 4, 10, QLatin1Char('0')).arg(kExt[format]);
    }
    QString StoredCounter() const
    {
        QSettings ini(m_fx->window->ConfigFilePath(), QSettings::IniFormat);
        return ini.value(QStringLiteral("Scanner/ScanCount")).toString();
    }

    QScopedPointer<WindowFixture> m_fx;
};

void TestSaveSafety::cleanup()
{
    m_fx.reset();
}

void TestSaveSafety::StartWith(int format)
{
    m_fx.reset(new WindowFixture);
    {
        QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), Out());
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("a"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("12"));
        ini.setValue(QStringLiteral("Scanner/ScanMinCountSize"), QStringLiteral("4"));
        ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
        ini.setValue(QStringLiteral("Scanner/SaveAfterScan"), QStringLiteral("0"));
    }
    WindowFixture::WriteScenario(QStringLiteral("sheets=0\nsource=Adf-front"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(75);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(QDir().mkpath(Out()));
}

bool TestSaveSafety::ScanSheets(int sheets)
{
    static int load = 0;
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++load));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitIdle();
}

void TestSaveSafety::overwriteThenFail_data()
{
    QTest::addColumn<int>("format");
    // "folder before": a folder has the third target's name from the start;
    // "folder during": it appears while the pages are written, so that the
    // failure comes when the files are put in place; "damaged page": the
    // second page's file holds random bytes; "none": the save succeeds.
    QTest::addColumn<QString>("fault");

    const char* const names[] = {"TIFF",    "多页TIFF", "PNM",     "JPEG", "PNG",
                                 "单页PDF", "PDF",      "单页OFD", "OFD"};
    for (int format : {0, 2, 3, 4, 5, 7})
        QTest::addRow("%s, folder during", names[format]) << format << "folder during";
    QTest::addRow("%s, folder before", names[5]) << 5 << "folder before";
    for (int format : {1, 3, 6, 7, 8})
        QTest::addRow("%s, damaged page", names[format]) << format << "damaged page";
    for (int format : {5, 8})
        QTest::addRow("%s, none", names[format]) << format << "none";
}

// The old files the user agreed to overwrite keep their content and mode
// when the save fails, no new file appears, and the pages and the counter
// stay; a successful overwrite keeps the old files' mode.
void TestSaveSafety::overwriteThenFail()
{
    QFETCH(int, format);
    QFETCH(QString, fault);
    StartWith(format);
    QVERIFY(ScanSheets(3));
    const QList<QString> pages = m_fx->window->PageFiles();
    QCOMPARE(pages.size(), 3);

    // a0012 (and a0013 for one file per page) exist, readable by the user only.
    const int files = isMulti(format) ? 1 : 3;
    const int existing = isMulti(format) ? 1 : 2;
    for (int i = 0; i < existing; ++i)
        QVERIFY(writeFile(Target(12 + i, format), "old content " + QByteArray::number(i), 0600));
    const QString blocked = Target(14, format);
    if (fault == "folder before")
        QVERIFY(QDir().mkpath(blocked + "/keep"));
    if (fault == "damaged page") {
        QByteArray noise(4000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        QVERIFY(writeFile(pages.at(1), noise));
    }
    if (fault == "folder during") {
        const QString last =
            QStringLiteral("正在保存第3个%1文件").arg(QString::fromLatin1(kExt[format]).toUpper());
        connect(
            m_fx->window.data(), &MainWindow::sglUpdateMaskerMessage, this,
            [last, blocked](const QString& text) {
                if (text == last)
                    QDir().mkpath(blocked + "/keep");
            },
            Qt::DirectConnection);
    }
    const QStringList before = snapshot(Out());

    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(m_fx->answerer.texts.value(0).startsWith(
        QStringLiteral("保存路径有重复文件，\r\n确定要覆盖吗？\r\n")));

    if (fault == "none") {
        QVERIFY(m_fx->answerer.texts.last().startsWith(QStringLiteral("保存成功\n")));
        for (int i = 0; i < files; ++i) {
            QVERIFY(bytesOf(Target(12 + i, format)).size() > 100);
            const mode_t mask = ::umask(0);
            ::umask(mask);
            QCOMPARE(QString::number(modeOf(Target(12 + i, format)), 8),
                     QString::number(i < existing ? 0600 : int(0666 & ~mask), 8));
        }
        QCOMPARE(m_fx->window->Counter(), 12 + files);
        QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden).size(), files);
        return;
    }

    QString expected = fault == "damaged page" ? QStringLiteral("保存失败\n第2页图像文件已损坏，无法读取")
                                               : QStringLiteral("保存失败\n已有同名文件夹：") + blocked;
    QCOMPARE(m_fx->answerer.titles.last(), QStringLiteral("错误"));
    QCOMPARE(m_fx->answerer.texts.last(), expected);
    QStringList after = snapshot(Out());
    if (fault == "folder during") { // the folder the test made is the only change
        const mode_t mask = ::umask(0);
        ::umask(mask);
        after.removeAll(QFileInfo(blocked).fileName() + " " + QString::number(0777 & ~mask, 8) + " <dir>");
    }
    QCOMPARE(after, before);
    for (int i = 0; i < existing; ++i) {
        QCOMPARE(bytesOf(Target(12 + i, format)), "old content " + QByteArray::number(i));
        QCOMPARE(modeOf(Target(12 + i, format)), 0600);
    }
    QCOMPARE(m_fx->window->PageFiles(), pages);
    QCOMPARE(m_fx->window->Counter(), 12);
    QCOMPARE(StoredCounter(), QStringLiteral("12"));
    for (const QString& page : pages)
        QVERIFY(QFileInfo::exists(page));
    QVERIFY(m_fx->Child<QAction>("actionSave")->isEnabled());
}

void TestSaveSafety::interruptedPages_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<int>>("interrupted"); // page indexes whose file is gone
    QTest::addColumn<QString>("message");
    QTest::newRow("one page") << 5 << QList<int>{1} << "第2页扫描未完成，请替换扫描或删除该页后再保存";
    QTest::newRow("two pages, multi-page")
        << 8 << QList<int>{0, 3} << "第1、4页扫描未完成，请替换扫描或删除该页后再保存";
    QTest::newRow("last page, JPEG") << 3 << QList<int>{3} << "第4页扫描未完成，请替换扫描或删除该页后再保存";
}

// A save with pages whose scan did not complete writes nothing, asks nothing
// and names the pages.
void TestSaveSafety::interruptedPages()
{
    QFETCH(int, format);
    QFETCH(QList<int>, interrupted);
    QFETCH(QString, message);
    StartWith(format);
    QVERIFY(ScanSheets(4));
    const QList<QString> pages = m_fx->window->PageFiles();
    for (int index : interrupted) {
        // What an interrupted page leaves: at most its partial file.
        QVERIFY(QFile::rename(pages.at(index), pages.at(index) + ".part"));
    }
    QVERIFY(writeFile(Target(12, format), "old"));
    const QStringList before = snapshot(Out());

    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_VERIFY(!m_fx->answerer.texts.isEmpty());
    QTest::qWait(200);
    QCOMPARE(m_fx->answerer.texts, QStringList{message});
    QCOMPARE(m_fx->answerer.titles, QStringList{"错误"});
    QCOMPARE(snapshot(Out()), before);
    QCOMPARE(m_fx->window->PageFiles(), pages);
    QCOMPARE(m_fx->window->Counter(), 12);
    QCOMPARE(StoredCounter(), QStringLiteral("12"));
}

// The save right after a scan refuses the same way.
void TestSaveSafety::interruptedPageAfterScan()
{
    StartWith(3);
    QVERIFY(ScanSheets(2));
    QVERIFY(QFile::remove(m_fx->window->PageFiles().at(1)));
    m_fx->Child<QCheckBox>("cbSaveAfterScan")->setChecked(true);
    QVERIFY(ScanSheets(1));
    QCOMPARE(m_fx->answerer.texts, QStringList{"第2页扫描未完成，请替换扫描或删除该页后再保存"});
    QCOMPARE(m_fx->window->PageFiles().size(), 3);
    QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(m_fx->window->Counter(), 12);
    QVERIFY(m_fx->Child<QAction>("actionSave")->isEnabled());
}

// A save removes what an interrupted save of ours left in the folder, and
// nothing else.
void TestSaveSafety::leftoversOfInterruptedSaves()
{
    StartWith(6);
    QVERIFY(ScanSheets(1));
    QProcess ended;
    ended.start("sleep", {"0.05"});
    QVERIFY(ended.waitForStarted());
    const QString dead = QString::number(ended.processId());
    QVERIFY(ended.waitForFinished());
    const QStringList stale = {".a0009.part-" + dead + "-4.pdf", ".a0010.save-" + dead + "-0.pdf",
                               "..a0011.save-" + dead + "-1.part-" + dead + "-7.pdf"};
    const QStringList kept = {".a0020.part-" + QString::number(getpid()) + "-1.pdf",
                              ".notes.part-" + dead + "-1.txt", "a0009.part-" + dead + "-4.pdf",
                              "letter.pdf"};
    for (const QString& name : stale + kept)
        QVERIFY(writeFile(Out() + "/" + name, name.toUtf8()));

    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(m_fx->answerer.texts.last().startsWith(QStringLiteral("保存成功\n")));
    QStringList expected = kept;
    expected << "a0012.pdf";
    expected.sort();
    QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    for (const QString& name : kept)
        QCOMPARE(bytesOf(Out() + "/" + name), name.toUtf8());
}

QTEST_MAIN(TestSaveSafety)
#include "tst_savesafety.moc"
