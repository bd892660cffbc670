#include "filecheck.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "pagefile.h"
#include "savetransaction.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QtTest>

namespace {

const int kDpi = 50;
const QString kQuestion = QStringLiteral("发现上次未保存的 %1 张图像，是否恢复？");
const QString kDamagedQuestion = QStringLiteral("发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？");
const QString kPrefix = QStringLiteral("2024");

// Where a copy of the work folder and the settings is kept as a kill at the
// last step of a save's commit leaves them: every file in place, the
// journal and the counter not yet told.
QString g_work, g_settings, g_aside;

void KeepStateAtCommit(int, bool installed)
{
    if (installed) {
        QDir(g_aside).removeRecursively();
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), g_work, g_aside});
        QFile::remove(g_aside + QStringLiteral(".ini"));
        QFile::copy(g_settings, g_aside + QStringLiteral(".ini"));
    }
}

} // namespace

// A session is killed and the program started again on the same folders
// (what each kind of step brings back is compared with a model in the killed
// sessions of tst_sessionmodel). Here: damaged pages are counted in the
// question and come back interrupted, Esc leaves everything for the next
// start, a journal that cannot be written is told in the status row, 否
// empties the folder, a save stores the counter; all with a prefix ending in
// digits and a converter's leftover named by a 17-digit stamp in the page
// folder, which is never a page and never moves the numbering.
class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void damagedPagesAndEscape();
    void unwritableJournal();
    void refusedAfterFailedSave();
    void killedAfterSave();

private:
    // The old process ends without any clean-up (its window is torn down as a
    // kill would leave it: no close, no question), a new one starts on the
    // same home and temporary folders; with `scanning` through the start-up
    // that finds the scanner, ready to scan.
    void Restart(QMessageBox::StandardButton answer, bool scanning = false);
    bool Scan(const char* action, int sheets);
    void Select(int row) { m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(row); }
    // The window against the pages it should list and its file numbering.
    void Compare(const char* where);
    QString NextFile()
    {
        return m_fx->ScanDir() +
               QStringLiteral("/%1%2.jpg").arg(kPrefix).arg(m_next++, 4, 10, QLatin1Char('0'));
    }
    QStringList FilesUnder(const QString& dir) const;

    QScopedPointer<WindowFixture> m_fx;
    QList<QString> m_pages;
    int m_next = 1;
    int m_load = 0;
    QString m_leftover;
};

void TestRecovery::initTestCase()
{
    m_fx.reset(new WindowFixture);
    m_fx->Configure({{QStringLiteral("Scanner/FilePath"), m_fx->home->path() + QStringLiteral("/out")},
                     {QStringLiteral("Scanner/FileFormat"), QStringLiteral("3")},
                     {QStringLiteral("Scanner/Prefix"), kPrefix}});
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    Restart(QMessageBox::Yes, true);
    m_next = m_fx->window->ScanNumber();
    QVERIFY(QDir().mkpath(m_fx->ScanDir()));
    m_leftover = m_fx->ScanDir() + QStringLiteral("/20241207140000123.tiff");
    QFile file(m_leftover);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a page") > 0);
}

void TestRecovery::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestRecovery::Restart(QMessageBox::StandardButton answer, bool scanning)
{
    QScopedPointer<WindowFixture> next(new WindowFixture);
    if (m_fx) {
        next->home.swap(m_fx->home);
        next->tmp.swap(m_fx->tmp);
    }
    m_fx.reset(next.take());
    m_fx->answerer.SetAnswer(answer);
    // Enter gives the question's default, 是; Esc leaves the question open.
    // Both pressed as the user presses them.
    const bool escape = answer == QMessageBox::Escape;
    m_fx->answerer.SetKey(escape ? Qt::Key_Escape : answer == QMessageBox::Yes ? Qt::Key_Return : 0);
    if (scanning) {
        QVERIFY(m_fx->Start());
        QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
        m_fx->answerer.SetKey(0);
        m_fx->SetResolution(kDpi);
        QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
        QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
        QTest::qWait(20);
        return;
    }
    m_fx->window = new MainWindow(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
    WindowFixture* fx = m_fx.data();
    QObject::connect(fx->window.data(), &MainWindow::sglJobDone, [fx] { ++fx->jobsDone; });
    m_fx->window->show();
    if (escape) {
        QTRY_COMPARE(m_fx->answerer.texts.size(), 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
    } else {
        QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
    }
    m_fx->answerer.SetKey(0);
    QTest::qWait(20);
}

bool TestRecovery::Scan(const char* action, int sheets)
{
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++m_load));
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    if (!m_fx->WaitJobDone())
        return false;
    for (int i = 0; i < sheets; ++i) {
        if (qstrcmp(action, "actionScanReplace") == 0)
            m_pages[m_fx->View()->GetCurrentIndex()] = NextFile();
        else
            m_pages << NextFile();
    }
    return true;
}

void TestRecovery::Compare(const char* where)
{
    QVERIFY2(m_fx->window->PageFiles() == m_pages, where);
    QVERIFY2(m_fx->window->ScanNumber() == m_next, where);
    QVERIFY2(QFile::exists(m_leftover), where);
}

QStringList TestRecovery::FilesUnder(const QString& dir) const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    return files;
}

// Pages damaged on disk (an empty file, a cut-off JPEG) are named in the
// question and come back as interrupted pages, ready to be replaced. Esc on
// the question keeps everything, journal included, for the next start.
void TestRecovery::damagedPagesAndEscape()
{
    QVERIFY(Scan("actionScanToLast", 3));
    {
        QFile empty(m_pages.at(0));
        QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QFile cut(m_pages.at(2));
        QVERIFY(cut.open(QIODevice::ReadWrite));
        QVERIFY(cut.resize(cut.size() / 2));
    }
    const QString journal = m_fx->window->WorkDir() + QStringLiteral("/session.json");
    Restart(QMessageBox::Escape);
    QCOMPARE(m_fx->answerer.texts, QStringList{kDamagedQuestion.arg(3).arg(2)});
    m_fx->answerer.texts.clear();
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    QVERIFY(QFile::exists(journal));
    for (const QString& page : qAsConst(m_pages))
        QVERIFY2(QFile::exists(page) || QFile::exists(PartialPagePath(page)), qPrintable(page));

    Restart(QMessageBox::Yes, true);
    QCOMPARE(m_fx->answerer.texts, QStringList{kDamagedQuestion.arg(3).arg(2)});
    m_fx->answerer.texts.clear();
    Compare("damaged, Esc, 是");
    for (int i = 0; i < m_pages.size(); ++i)
        QCOMPARE(IsPageComplete(m_pages.at(i)), i == 1);

    // An interrupted page is replaced by a new scan of it.
    Select(0);
    QVERIFY(Scan("actionScanReplace", 1));
    QCOMPARE(m_fx->window->PageFiles(), m_pages);
    QVERIFY(IsPageComplete(m_pages.first()));
}

// The journal cannot be written (its folder is gone): the window says so
// in its status row, without a box, and that the latest changes are not
// kept; it says when writing works again. A change made while it fails is
// lost when the process is killed: the pages come back as they were before.
void TestRecovery::unwritableJournal()
{
    const QString failed =
        QStringLiteral("无法保存恢复记录：工作文件夹已不存在，最近的更改尚未保留（程序意外退出时将丢失）");
    const QString work = m_fx->window->WorkDir();
    const QString away = work + QStringLiteral("-away");
    QVERIFY(QDir().rename(work, away));
    Select(1);
    m_fx->Child<QAction>("actionMoveUp")->trigger();
    QTRY_VERIFY(m_fx->window->findChild<QLabel*>(QStringLiteral("lblJournalNote")));
    QTRY_COMPARE(m_fx->LabelText("lblJournalNote"), failed);
    QVERIFY(m_fx->Child<QLabel>("lblJournalNote")->isVisible());
    QVERIFY(QDir().rename(away, work));
    m_fx->Child<QAction>("actionMoveDown")->trigger();
    QTRY_COMPARE(m_fx->LabelText("lblJournalNote"), QStringLiteral("恢复记录已恢复正常保存"));
    QVERIFY(QDir().rename(work, away));
    m_fx->Child<QAction>("actionMoveUp")->trigger();
    QTRY_COMPARE(m_fx->LabelText("lblJournalNote"), failed);
    QVERIFY(QDir().rename(away, work));
    QCOMPARE(m_fx->answerer.texts, QStringList());

    Restart(QMessageBox::Yes);
    QCOMPARE(m_fx->answerer.texts, QStringList{kDamagedQuestion.arg(3).arg(1)});
    m_fx->answerer.texts.clear();
    Compare("journal unwritable, written, unwritable again");
}

// A save fails and the process is killed: the pages are offered; 否 empties
// the folder and the question is not asked again.
void TestRecovery::refusedAfterFailedSave()
{
    // The interrupted page goes (a save refuses it).
    Select(2);
    m_fx->Child<QAction>("actionDelete")->trigger();
    m_pages.removeAt(2);
    QFile blocker(m_fx->home->path() + QStringLiteral("/out")); // where the save folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_COMPARE(m_fx->answerer.titles, QStringList{"错误"});
    QTRY_VERIFY(!m_fx->window->JobRunning());
    QVERIFY(blocker.remove());
    QCOMPARE(m_fx->window->PageFiles(), m_pages);
    m_fx->answerer.texts.clear();
    Restart(QMessageBox::No);
    QCOMPARE(m_fx->answerer.texts, QStringList{kQuestion.arg(2)});
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    // Only the journal is left, with the numbering and no page, once the
    // journal's thread has written it (its new file goes by another name
    // until then).
    QTRY_COMPARE(FilesUnder(m_fx->window->WorkDir()).join(QLatin1Char(' ')), QStringLiteral("session.json"));
    QCOMPARE(m_fx->window->ScanNumber(), m_next);
    m_fx->answerer.texts.clear();
    Restart(QMessageBox::Yes);
    QCOMPARE(m_fx->answerer.texts, QStringList());
    m_pages.clear();
}

// "另存为…", then the process is killed: every page is offered again. A
// save, and the process is killed the moment its last file is in place: the
// saved pages are not offered again and the stored counter moves on.
void TestRecovery::killedAfterSave()
{
    Restart(QMessageBox::Yes, true);
    QVERIFY(QDir().mkpath(m_fx->ScanDir()));
    QFile leftover(m_leftover);
    QVERIFY(leftover.open(QIODevice::WriteOnly) && leftover.write("not a page") > 0);
    leftover.close();
    QVERIFY(Scan("actionScanToLast", 2));
    // "另存为…" writes a copy: killed right after it, every page comes back.
    const QString copy = m_fx->home->path() + QStringLiteral("/copy");
    QVERIFY(m_fx->SaveAs(copy, 6));
    QTRY_VERIFY(QFile::exists(copy + QStringLiteral(".pdf")) && !m_fx->window->JobRunning());
    Restart(QMessageBox::Yes, true);
    Compare("killed after 另存为");
    QVERIFY(QDir().mkpath(m_fx->home->path() + QStringLiteral("/out")));
    const int counter = m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt();
    g_work = m_fx->window->WorkDir();
    g_settings = m_fx->SettingsFile();
    g_aside = m_fx->tmp->path() + QStringLiteral("/aside");
    SaveTransaction::SetStepHook(&KeepStateAtCommit);
    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_VERIFY(!m_fx->window->JobRunning());
    SaveTransaction::SetStepHook(nullptr);
    QTRY_COMPARE(m_fx->window->PageFiles(), QList<QString>());
    QCOMPARE(m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt(), counter + 2);
    // The journal's thread may still be writing the emptied list (under
    // another name until it is complete).
    QTRY_COMPARE(FilesUnder(g_work).join(QLatin1Char(' ')), QStringLiteral("session.json"));
    // Back to the moment of the kill, the record of a process that has ended.
    QVERIFY(QDir(g_work).removeRecursively() && QDir().rename(g_aside, g_work));
    QVERIFY(QFile::remove(g_settings) && QFile::rename(g_aside + QStringLiteral(".ini"), g_settings));
    const QString records = SaveTransaction::RecordFolder(g_work);
    const QStringList record = QDir(records).entryList(QDir::Files);
    QCOMPARE(record.size(), 1);
    QVERIFY(QFile::rename(records + "/" + record.first(),
                          records + QStringLiteral("/save-%1-1.rec").arg(FileCheck::endedPid())));
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
    Restart(QMessageBox::Yes);
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    QCOMPARE(m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt(), counter + 2);
    QCOMPARE(m_fx->window->ScanNumber(), m_next);
    QCOMPARE(QDir(records).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
