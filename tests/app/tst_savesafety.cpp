// Saves through the main window on the simulated feeder, one window for the
// whole run: what a save writes and under which names, and that a save that
// fails or is refused keeps the pages, the counter and the user's old files.
#include "filecheck.h"
#include "mainwindow.h"
#include "pagemaker.h"
#include "saverecord.h"
#include "savetransaction.h"
#include "sessioncheck.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kExt[] = {"tiff", "tiff", "pnm", "jpg", "png", "pdf", "pdf", "ofd", "ofd"};
const QString kQuestion = QStringLiteral("保存路径有重复文件，\r\n确定要覆盖吗？\r\n");

bool IsMulti(int format)
{
    return format == 1 || format == 6 || format == 8;
}

// "<k>": the number base + k as the file names write it; "%b": `blocked`.
QString Fill(QString text, int base, const QString& blocked)
{
    for (int k = 0; k < 4; ++k)
        text.replace(QStringLiteral("<%1>").arg(k),
                     QStringLiteral("%1").arg(base + k, 4, 10, QLatin1Char('0')));
    return text.replace(QStringLiteral("%b"), blocked);
}

} // namespace

class TestSaveSafety : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void save_data();
    void save();
    void saveAfterScan_data();
    void saveAfterScan();
    void onlyRecordedLeftoversGo();
    void cutShortSaveSettledAtStart();

private:
    bool Scan(int sheets);
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }
    QString Target(int number, int format) const
    {
        return Out() + QStringLiteral("/a%1.%2").arg(number, 4, 10, QLatin1Char('0')).arg(kExt[format]);
    }
    QString StoredCounter() const
    {
        return QSettings(m_fx->window->ConfigFilePath(), QSettings::IniFormat)
            .value(QStringLiteral("Scanner/ScanCount"))
            .toString();
    }
    void CheckNothingChanged(const QList<QString>& pages, int counter);
    QString PlantCutShortSave(const QString& workDir, const QString& folder, const QString& pid);

    QScopedPointer<WindowFixture> m_fx;
    int m_load = 0;
};

void TestSaveSafety::initTestCase()
{
    m_fx.reset(new WindowFixture);
    m_fx->Configure({{QStringLiteral("Scanner/FilePath"), Out()},
                     {QStringLiteral("Scanner/Prefix"), QStringLiteral("a")},
                     {QStringLiteral("Scanner/ScanCount"), QStringLiteral("8")},
                     {QStringLiteral("Scanner/ScanMinCountSize"), QStringLiteral("4")},
                     {QStringLiteral("Scanner/SaveAfterScan"), QStringLiteral("0")}});
    WindowFixture::WriteScenario(QStringLiteral("sheets=0\nsource=Adf-front"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(75);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
}

// Every row starts with no pages and an empty save folder.
void TestSaveSafety::init()
{
    QVERIFY(m_fx->window);
    QTRY_VERIFY(!m_fx->window->JobRunning());
    m_fx->Child<QCheckBox>("cbSaveAfterScan")->setChecked(false);
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    m_fx->jobsDone = 0;
    if (!m_fx->window->PageFiles().isEmpty()) {
        m_fx->Child<QAction>("actionBroom")->trigger();
    }
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    QVERIFY(QDir(Out()).removeRecursively());
    QVERIFY(QDir().mkpath(Out()));
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
}

void TestSaveSafety::cleanupTestCase()
{
    m_fx.reset();
}

bool TestSaveSafety::Scan(int sheets)
{
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++m_load));
    m_fx->jobsDone = 0;
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitIdle();
}

void TestSaveSafety::CheckNothingChanged(const QList<QString>& pages, int counter)
{
    QCOMPARE(m_fx->window->PageFiles(), pages);
    for (const QString& page : pages)
        QVERIFY(QFileInfo::exists(page) || QFileInfo::exists(page + ".part"));
    QCOMPARE(m_fx->window->Counter(), counter);
    QCOMPARE(StoredCounter(), QString::number(counter));
    QVERIFY(m_fx->Child<QAction>("actionSave")->isEnabled());
}

void TestSaveSafety::save_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("existing"); // old files, readable by the user only, at the first targets
    // "folder before": a folder has the third target's name from the start
    // (then removed and saved again); "folder during": it appears while the
    // pages are written, so the failure comes when the files are put in
    // place; "damaged": the second page's file holds noise; "interrupted":
    // the pages whose scan did not complete (by index).
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<QString>("message"); // the last box, as Fill() reads it

    const QString ok = QStringLiteral("保存成功\n");
    const QString folder = QStringLiteral("保存失败\n已有同名文件夹：%b");
    const QString damaged = QStringLiteral("保存失败\n第2页图像文件已损坏，无法读取");
    QTest::newRow("JPEG, two overwritten") << 3 << 2 << "" << true << ok;
    QTest::newRow("OFD, one file overwritten") << 8 << 1 << "" << true << ok;
    QTest::newRow("PDF, four there, declined")
        << 5 << 4 << "" << false << kQuestion + "a<0>.pdf\r\na<1>.pdf\r\na<2>.pdf\r\n等 4 个文件";
    for (int format : {5, 7})
        QTest::addRow("%s, folder during", kExt[format]) << format << 2 << "folder during" << true << folder;
    QTest::newRow("PDF, folder before") << 5 << 1 << "folder before" << true << folder;
    QTest::newRow("multi TIFF, damaged") << 1 << 1 << "damaged" << true << damaged;
    QTest::newRow("single OFD, damaged") << 7 << 2 << "damaged" << true << damaged;
    QTest::newRow("PDF, one interrupted")
        << 5 << 1 << "interrupted 1" << true << "第2页扫描未完成，请替换扫描或删除该页后再保存";
    QTest::newRow("OFD, two interrupted")
        << 8 << 1 << "interrupted 0 3" << true << "第1、4页扫描未完成，请替换扫描或删除该页后再保存";
}

// A save writes the pages under the next numbers and keeps the mode of the
// files it overwrites; a failed, refused or declined one leaves the folder,
// the pages and the counter as they were.
void TestSaveSafety::save()
{
    QFETCH(int, format);
    QFETCH(int, existing);
    QFETCH(QString, fault);
    QFETCH(bool, agree);
    QFETCH(QString, message);

    m_fx->Child<QComboBox>("cmImageFormat")->setCurrentIndex(format);
    const int base = m_fx->window->Counter();
    QVERIFY(Scan(4));
    const QList<QString> pages = m_fx->window->PageFiles();
    QCOMPARE(pages.size(), 4);
    const int files = IsMulti(format) ? 1 : 4;
    for (int i = 0; i < existing; ++i)
        QVERIFY(FileCheck::writeFile(Target(base + i, format), "old " + QByteArray::number(i), 0600));
    const QString blocked = Target(base + 2, format);
    if (fault == "folder before")
        QVERIFY(QDir().mkpath(blocked + "/keep"));
    if (fault == "damaged") {
        QByteArray noise(4000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        QVERIFY(FileCheck::writeFile(pages.at(1), noise));
    }
    if (fault.startsWith("interrupted")) {
        for (const QString& index : fault.split(' ').mid(1)) // what a cut-off page leaves
            QVERIFY(QFile::rename(pages.at(index.toInt()), pages.at(index.toInt()) + ".part"));
    }
    if (fault == "folder during") {
        const QString last = QStringLiteral("正在保存第4个%1文件").arg(QString(kExt[format]).toUpper());
        connect(
            m_fx->window.data(), &MainWindow::sglUpdateMaskerMessage, this,
            [last, blocked](const QString& text) {
                if (text == last)
                    QDir().mkpath(blocked + "/keep");
            },
            Qt::DirectConnection);
    }
    // The first page is shown turned right: it is saved so.
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);
    m_fx->Child<QAction>("actionRotateRight")->trigger();
    const QStringList before = FileCheck::snapshot(Out());

    m_fx->answerer.SetAnswer(agree ? QMessageBox::Yes : QMessageBox::No);
    m_fx->Child<QAction>("actionSave")->trigger();
    // Refused saves ask nothing; others ask first when a target is there.
    const bool asks = existing > 0 && !fault.startsWith("interrupted");
    QTRY_COMPARE(m_fx->answerer.texts.size(), asks && agree ? 2 : 1);
    QTRY_VERIFY(!m_fx->window->JobRunning());
    QTest::qWait(50);
    disconnect(m_fx->window.data(), &MainWindow::sglUpdateMaskerMessage, this, nullptr);
    message = Fill(message, base, blocked);
    QCOMPARE(m_fx->answerer.texts.size(), asks && agree ? 2 : 1);
    QCOMPARE(m_fx->answerer.texts.first().startsWith(kQuestion), asks);
    QVERIFY2(m_fx->answerer.texts.last().startsWith(message), qPrintable(m_fx->answerer.texts.last()));

    if (message.startsWith("保存成功")) {
        QCOMPARE(m_fx->answerer.texts.last(),
                 QStringLiteral("保存成功\n已写入 %1 个文件到 %2").arg(files).arg(Out()));
        QStringList expected;
        for (int i = 0; i < files; ++i) {
            expected << QFileInfo(Target(base + i, format)).fileName();
            QVERIFY(PageMaker::bytes(Target(base + i, format)).size() > 100);
            QCOMPARE(QString::number(FileCheck::modeOf(Target(base + i, format)), 8),
                     QString::number(i < existing ? 0600 : FileCheck::newMode(0666), 8));
        }
        QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        if (format == 3) {
            QCOMPARE(SessionCheck::Reading(QImage(Target(base, format)), 75), QStringLiteral("1A@90"));
            QCOMPARE(SessionCheck::Reading(QImage(Target(base + 1, format)), 75), QStringLiteral("2A"));
        }
        QCOMPARE(m_fx->window->Counter(), base + files);
        QCOMPARE(StoredCounter(), QString::number(base + files));
        QVERIFY(m_fx->window->PageFiles().isEmpty());
        return;
    }
    QStringList after = FileCheck::snapshot(Out());
    if (fault == "folder during") // the folder the test made is the only change
        after.removeAll(QFileInfo(blocked).fileName() + " " + QString::number(FileCheck::newMode(0777), 8) +
                        " <dir>");
    QCOMPARE(after, before);
    CheckNothingChanged(pages, base);

    if (fault == "folder before") {
        // Once the way is free, a retry writes the whole set under the same names.
        QVERIFY(QDir(blocked).removeRecursively());
        m_fx->jobsDone = 0;
        m_fx->Child<QAction>("actionSave")->trigger();
        QVERIFY(m_fx->WaitJobDone());
        QVERIFY(m_fx->answerer.texts.last().startsWith("保存成功"));
        QCOMPARE(QDir(Out()).entryList(QDir::Files).size(), 4);
        QCOMPARE(m_fx->window->Counter(), base + 4);
    }
}

void TestSaveSafety::saveAfterScan_data()
{
    QTest::addColumn<QString>("existing"); // in the save folder ("x/": a folder)
    QTest::addColumn<bool>("agree");
    QTest::addColumn<bool>("interrupted"); // a page of an earlier scan is cut off
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("saved") << "" << true << false << QStringList();
    QTest::newRow("overwrite declined") << "1" << false << false << QStringList{kQuestion + "a<1>.jpg"};
    QTest::newRow("target blocked") << "2/" << true << false
                                    << QStringList{"保存失败\n已有同名文件夹：%b/a<2>.jpg"};
    QTest::newRow("earlier page interrupted")
        << "" << true << true << QStringList{"第2页扫描未完成，请替换扫描或删除该页后再保存"};
}

// With "扫描完立即保存" the save follows the scan; when it does not get
// through, the pages stay. A save that worked says so in the status area.
void TestSaveSafety::saveAfterScan()
{
    QFETCH(QString, existing);
    QFETCH(bool, agree);
    QFETCH(bool, interrupted);
    QFETCH(QStringList, messages);

    m_fx->Child<QComboBox>("cmImageFormat")->setCurrentIndex(3);
    const int base = m_fx->window->Counter();
    int sheets = 3;
    if (interrupted) {
        QVERIFY(Scan(2));
        const QString page = m_fx->window->PageFiles().at(1);
        QVERIFY(QFile::rename(page, page + ".part"));
        sheets = 1;
    }
    if (!existing.isEmpty()) {
        const QString path = Target(base + existing.left(1).toInt(), 3);
        QVERIFY(existing.endsWith('/') ? QDir().mkpath(path + "/keep") : FileCheck::writeFile(path, "old"));
    }
    const QStringList before = FileCheck::snapshot(Out());
    m_fx->Child<QCheckBox>("cbSaveAfterScan")->setChecked(true);
    m_fx->answerer.SetAnswer(agree ? QMessageBox::Yes : QMessageBox::No);
    QVERIFY(Scan(sheets));
    QTest::qWait(50);

    for (QString& m : messages)
        m = Fill(m, base, Out());
    QTRY_COMPARE(m_fx->answerer.texts, messages);
    auto* note = m_fx->Child<QLabel>("lblSaveNote");
    if (messages.isEmpty()) {
        QCOMPARE(QDir(Out()).entryList(QDir::Files).size(), 3);
        QVERIFY(m_fx->window->PageFiles().isEmpty());
        QCOMPARE(m_fx->window->Counter(), base + 3);
        QCOMPARE(note->text(), Fill(QStringLiteral("已保存 a<0>.jpg 至 a<2>.jpg（3 页）"), base, QString()));
        return;
    }
    QCOMPARE(FileCheck::snapshot(Out()), before);
    QCOMPARE(m_fx->window->PageFiles().size(), 3);
    CheckNothingChanged(m_fx->window->PageFiles(), base);
}

// A save into `folder` cut short by the end of process `pid`, as it left its
// files and its record: x0001.pdf was being replaced (its old content kept
// aside as a second link), x0002.pdf is new and already in place, x0003.pdf
// is new and still staged. Returns the record's path.
QString TestSaveSafety::PlantCutShortSave(const QString& workDir, const QString& folder, const QString& pid)
{
    const QString records = SaveTransaction::RecordFolder(workDir);
    if (!QDir().mkpath(records) || !QDir().mkpath(folder))
        return QString();
    auto inode = [](const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
    };
    QVector<SaveRecord::Entry> entries;
    for (int i = 1; i <= 3; ++i) {
        SaveRecord::Entry e;
        e.target = folder + QStringLiteral("/x%1.pdf").arg(i, 4, 10, QLatin1Char('0'));
        e.staged =
            folder + QStringLiteral("/.x%1.save-%2-%3.pdf").arg(i, 4, 10, QLatin1Char('0')).arg(pid).arg(i);
        if (!FileCheck::writeFile(e.staged, "new x" + QByteArray::number(i), 0640))
            return QString();
        e.stagedInode = inode(e.staged);
        entries << e;
    }
    SaveRecord::Entry& old = entries[0];
    old.backup = folder + QStringLiteral("/.x0001.keep-%1-7.pdf").arg(pid);
    if (!FileCheck::writeFile(old.target, "old x1", 0640))
        return QString();
    if (::link(QFile::encodeName(old.target).constData(), QFile::encodeName(old.backup).constData()) != 0)
        return QString();
    old.oldInode = inode(old.target);
    if (!QFile::rename(entries[1].staged, entries[1].target))
        return QString();
    const QString record = records + QStringLiteral("/save-%1-9.rec").arg(pid);
    return SaveRecord::WriteCommit(record, entries) ? record : QString();
}

// A save settles first what an earlier save of ours into its folder left
// cut short, from that save's record; the record of a save whose folder is
// not there stays.
void TestSaveSafety::onlyRecordedLeftoversGo()
{
    m_fx->Child<QComboBox>("cmImageFormat")->setCurrentIndex(6);
    const int base = m_fx->window->Counter();
    QVERIFY(Scan(1));
    const QString dead = QString::number(FileCheck::endedPid());
    QVERIFY(!PlantCutShortSave(m_fx->window->WorkDir(), Out(), dead).isEmpty());
    const QString unplugged = m_fx->home->path() + "/unplugged";
    const QString waiting =
        PlantCutShortSave(m_fx->window->WorkDir(), unplugged, QString::number(FileCheck::endedPid()));
    QVERIFY(!waiting.isEmpty());
    QVERIFY(QDir().rename(unplugged, unplugged + "-away"));

    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{QFileInfo(Target(base, 6)).fileName(), "x0001.pdf", "x0002.pdf", "x0003.pdf"}));
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(PageMaker::bytes(Out() + QStringLiteral("/x000%1.pdf").arg(i)),
                 "new x" + QByteArray::number(i));
    QCOMPARE(FileCheck::modeOf(Out() + "/x0001.pdf"), 0640);
    // The emptying of the work folder after the save kept the waiting record.
    QVERIFY(QFileInfo::exists(waiting));
    QCOMPARE(QDir(unplugged + "-away").entryList(QDir::Files | QDir::Hidden).size(), 5);
}

// The start of the program settles a save cut short in any folder; a new
// file never goes over one that is not the old one any more: that file
// stays, and the user is told once.
void TestSaveSafety::cutShortSaveSettledAtStart()
{
    const QString folder = m_fx->home->path() + "/elsewhere";
    const QString work = m_fx->home->path() + "/second/zir/scanvy";
    const QString pid = QString::number(FileCheck::endedPid());
    const QString record = PlantCutShortSave(work, folder, pid);
    QVERIFY(!record.isEmpty());
    QVERIFY(FileCheck::writeFile(folder + "/x0003.pdf", "the user's"));
    {
        MainWindow second(m_fx->home->path(), work);
        QVERIFY(!QFileInfo::exists(record));
        second.show();
        QTRY_COMPARE(m_fx->answerer.titles, QStringList{"提示"});
    }
    QCOMPARE(m_fx->answerer.texts,
             QStringList{"上次中断的保存未能完成以下文件：同名文件已被替换，现有文件保持不变。\n" + folder +
                         "/x0003.pdf（新内容在隐藏文件 .x0003.save-" + pid + "-3.pdf 中）"});
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{".x0003.save-" + pid + "-3.pdf", "x0001.pdf", "x0002.pdf", "x0003.pdf"}));
    for (int i = 1; i <= 2; ++i)
        QCOMPARE(PageMaker::bytes(folder + QStringLiteral("/x000%1.pdf").arg(i)),
                 "new x" + QByteArray::number(i));
    QCOMPARE(PageMaker::bytes(folder + "/x0003.pdf"), QByteArray("the user's"));
}

QTEST_MAIN(TestSaveSafety)
#include "tst_savesafety.moc"
