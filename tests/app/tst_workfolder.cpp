#include "filecheck.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "pagemaker.h"
#include "saverecord.h"
#include "savetransaction.h"
#include "sessionjournal.h"
#include "sessionlock.h"
#include "sessionmove.h"
#include "temppath.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kQuestion = QStringLiteral("发现上次未保存的 %1 张图像，是否恢复？");

// Every file below folder (links and folders included) with its bytes' hash.
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QByteArray digest = info.isSymLink() ? QByteArray("link")
                            : info.isDir()   ? QByteArray("dir")
                                             : QByteArray();
        if (digest.isEmpty()) {
            QFile file(path);
            digest = file.open(QIODevice::ReadOnly)
                         ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()
                         : QByteArray("unreadable");
        }
        files.insert(QDir(folder).relativeFilePath(path), digest);
    }
    return files;
}

// A session as a killed copy leaves it: `count` finished pages and a journal
// listing them.
bool PlantSession(const QString& workDir, int count)
{
    if (!QDir().mkpath(workDir + QStringLiteral("/scanimages"))) {
        return false;
    }
    SessionJournal::State state;
    for (int i = 1; i <= count; ++i) {
        const QString page = workDir + QStringLiteral("/scanimages/r%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (!PageMaker::write(PageMaker::pattern(80, 60, QImage::Format_RGB32, 100 + i), page)) {
            return false;
        }
        state.pages << page;
    }
    state.scanNumber = count + 1;
    return SessionJournal(workDir).Record(state) == 0;
}

} // namespace

// Where the session's pages live: a per-user folder that a reboot leaves
// alone, taken by one copy of the program at a time; the folder an earlier
// version kept under the system temporary folder is brought over once.
class TestWorkFolder : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void earlierSession_data();
    void earlierSession();
    void secondCopyKeepsAway();
    void tempFilesNeverPages();
    void sessionSurvivesBootCleaning();
    void pageFolderLink();
    void sharedCacheFolder();

private:
    // A window on the usual folder; recovery questions are answered `answer`.
    MainWindow* Start(QMessageBox::StandardButton answer);
    void Configure(const QString& home);

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_cache; // XDG_CACHE_HOME
    QString m_tmp;   // TMPDIR
    QString m_home;
    QByteArray m_cacheBefore, m_tmpBefore;
    ModalAnswerer m_answerer;
};

void TestWorkFolder::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_cache = m_dir->filePath(QStringLiteral("home/.cache"));
    m_tmp = m_dir->filePath(QStringLiteral("tmp"));
    m_home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_home));
    m_cacheBefore = qgetenv("XDG_CACHE_HOME");
    m_tmpBefore = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    m_answerer.texts.clear();
    m_answerer.titles.clear();
    Configure(m_home);
}

void TestWorkFolder::cleanup()
{
    qputenv("XDG_CACHE_HOME", m_cacheBefore);
    qputenv("TMPDIR", m_tmpBefore);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestWorkFolder::Configure(const QString& home)
{
    QSettings ini(home + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Scanner/FilePath"), home + QStringLiteral("/out"));
    ini.setValue(QStringLiteral("Scanner/FileFormat"), QStringLiteral("3"));
}

MainWindow* TestWorkFolder::Start(QMessageBox::StandardButton answer)
{
    m_answerer.SetAnswer(answer);
    auto* window = new MainWindow(m_home, QString());
    window->show();
    return window;
}

// A session left in an earlier version's folder, or in the private folder of
// a copy that was killed, is moved (a second link, or a synced copy across
// file systems) into the work folder and offered there, once; the old folder
// is then gone. When it cannot be moved whole, nothing of it is lost and it
// stays where it was. Such a folder without a session is removed.
void TestWorkFolder::earlierSession_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("outcome"); // "moved", "left" or "removed"
    QTest::newRow("same file system") << "same"
                                      << "moved";
    QTest::newRow("another file system") << "shm"
                                         << "moved";
    QTest::newRow("per-user fallback folder") << "per-user"
                                              << "moved";
    QTest::newRow("private folder of a killed copy") << "orphan"
                                                     << "moved";
    // Its hidden files in the save folder go first.
    QTest::newRow("killed copy in the middle of a save") << "orphan-saving"
                                                         << "moved";
    // The usual folder keeps a journal without pages after every save.
    QTest::newRow("killed copy beside a journal without pages") << "orphan-settled"
                                                                << "moved";
    QTest::newRow("empty private folder of a killed copy") << "orphan-empty"
                                                           << "removed";
    QTest::newRow("earlier folder without a session") << "empty"
                                                      << "removed";
    QTest::newRow("move fails half-way") << "blocked"
                                         << "left";
    QTest::newRow("an old copy still works there") << "locked"
                                                   << "left";
    QTest::newRow("earlier folder in another user's level") << "foreign"
                                                            << "left";
    QTest::newRow("a link among the pages") << "link"
                                            << "left";
    QTest::newRow("the new folder has a session of its own") << "own"
                                                             << "left";
    QTest::newRow("the new folder's journal does not read") << "own-unreadable"
                                                            << "left";
}

void TestWorkFolder::earlierSession()
{
    QFETCH(QString, setup);
    QFETCH(QString, outcome);

    QScopedPointer<QTemporaryDir> shm;
    if (setup == QLatin1String("shm")) {
        struct stat a {
        }, b{};
        shm.reset(new QTemporaryDir(QStringLiteral("/dev/shm/scanvy-test-XXXXXX")));
        if (!shm->isValid() || stat("/dev/shm", &a) != 0 ||
            stat(QFile::encodeName(m_cache.section('/', 0, -3)).constData(), &b) != 0 ||
            a.st_dev == b.st_dev) {
            QSKIP("no second file system at /dev/shm");
        }
        m_tmp = shm->path();
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }
    const QString work = m_cache + QStringLiteral("/scanvy/work");
    const bool orphan = setup.startsWith(QLatin1String("orphan"));
    const QString zir =
        orphan ? m_cache + QStringLiteral("/scanvy")
               : m_tmp + (setup == QLatin1String("per-user") ? QStringLiteral("/zir-%1").arg(geteuid())
                                                             : QStringLiteral("/zir"));
    const QString old = orphan ? work + QStringLiteral("-Ab12Cd") : zir + QStringLiteral("/scanvy");
    if (setup.endsWith(QLatin1String("empty"))) {
        QVERIFY(QDir().mkpath(old + QStringLiteral("/scanimages")));
    } else {
        QVERIFY(PlantSession(old, 3));
        QVERIFY(QFile::copy(old + QStringLiteral("/scanimages/r0003.jpg"),
                            old + QStringLiteral("/scanimages/r0004.jpg.part")));
    }
    QVERIFY(::chmod(QFile::encodeName(zir).constData(), 0700) == 0);
    SessionLock oldCopy;
    if (setup == QLatin1String("blocked")) {
        // Something in the way of the third page in the new folder: what was
        // placed before it is taken back.
        QVERIFY(QDir().mkpath(work + QStringLiteral("/scanimages/r0003.jpg/x")));
        QCOMPARE(SessionMove::Adopt(old, work), SessionMove::Result::Left);
        QCOMPARE(QDir(work + QStringLiteral("/scanimages")).entryList(QDir::Files | QDir::Hidden),
                 QStringList());
        QVERIFY(!QFileInfo::exists(work + QStringLiteral("/session.json")));
    } else if (setup == QLatin1String("foreign")) {
        if (geteuid() != 0) {
            QSKIP("giving a folder to another user needs root");
        }
        QVERIFY(::chown(QFile::encodeName(zir).constData(), 65534, 65534) == 0);
    } else if (setup == QLatin1String("locked")) {
        QVERIFY(oldCopy.TryLock(SessionLock::PathFor(old)));
    } else if (setup == QLatin1String("link")) {
        QVERIFY(
            QFile::link(m_home + QStringLiteral("/.config"), old + QStringLiteral("/scanimages/r0009.jpg")));
    } else if (setup.startsWith(QLatin1String("own"))) {
        QVERIFY(PlantSession(work, 1));
        if (setup.endsWith(QLatin1String("unreadable"))) {
            QFile journal(work + QStringLiteral("/session.json"));
            QVERIFY(journal.open(QIODevice::WriteOnly) && journal.write("{\"pages\": [") > 0);
        }
    } else if (setup == QLatin1String("orphan-saving")) {
        SaveRecord::Entry entry;
        entry.target = m_home + QStringLiteral("/out/a.pdf");
        entry.staged = m_home + QStringLiteral("/out/.a.save-%1-1.pdf").arg(FileCheck::endedPid());
        struct stat st {};
        QVERIFY(QDir().mkpath(m_home + QStringLiteral("/out")) &&
                FileCheck::writeFile(entry.staged, "new a") &&
                ::lstat(QFile::encodeName(entry.staged).constData(), &st) == 0);
        entry.stagedInode = quint64(st.st_ino);
        const QString records = SaveTransaction::RecordFolder(old);
        QVERIFY(QDir().mkpath(records) &&
                SaveRecord::AppendStaged(
                    records + QStringLiteral("/save-%1-1.rec").arg(FileCheck::endedPid()), entry));
    } else if (setup == QLatin1String("orphan-settled")) {
        QVERIFY(QDir().mkpath(work + QStringLiteral("/scanimages")));
        QCOMPARE(SessionJournal(work).Record(SessionJournal::State()), 0);
    }
    const QMap<QString, QByteArray> before = Snapshot(old);

    QScopedPointer<MainWindow> window(Start(QMessageBox::Yes));
    QCOMPARE(window->WorkDir(), work);
    const bool moved = outcome == QLatin1String("moved");
    const int expected = moved ? 3 : setup.startsWith(QLatin1String("own")) ? 1 : 0;
    QTRY_COMPARE(m_answerer.texts, expected ? QStringList{kQuestion.arg(expected)} : QStringList());
    QCOMPARE(window->PageFiles().size(), expected);

    QCOMPARE(QDir(m_home + QStringLiteral("/out")).entryList(QDir::Files | QDir::Hidden), QStringList());
    if (outcome == QLatin1String("left")) {
        QCOMPARE(Snapshot(old), before);
        return;
    }
    // The old folder is gone, and an earlier version's parent level with it.
    QVERIFY2(!QFileInfo::exists(old), qPrintable(old));
    QCOMPARE(QFileInfo::exists(zir), orphan);
    if (!moved) {
        return;
    }
    QVERIFY(!QFileInfo::exists(old + QStringLiteral(".lock")));
    for (int i = 1; i <= 3; ++i) {
        const QString name = QStringLiteral("scanimages/r%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QCOMPARE(window->PageFiles().at(i - 1), work + QLatin1Char('/') + name);
        QCOMPARE(QCryptographicHash::hash(PageMaker::bytes(work + QLatin1Char('/') + name),
                                          QCryptographicHash::Sha256)
                     .toHex(),
                 before.value(name));
    }
    // A normal end, then a new start: nothing more is offered.
    m_answerer.SetAnswer(QMessageBox::Yes);
    QVERIFY(window->close());
    window.reset();
    m_answerer.texts.clear();
    window.reset(Start(QMessageBox::Yes));
    QTest::qWait(50);
    QCOMPARE(m_answerer.texts, QStringList());
    QCOMPARE(window->PageFiles().size(), 0);
}

// A second copy that reaches the same work folder (same cache folder, another
// HOME) never writes, empties or journals it: it works in a private folder of
// its own, removed at its normal end. The first copy's files stay byte for
// byte and its save works.
void TestWorkFolder::secondCopyKeepsAway()
{
    const QString work = m_cache + QStringLiteral("/scanvy/work");
    QVERIFY(PlantSession(work, 2));
    QScopedPointer<MainWindow> first(Start(QMessageBox::Yes));
    QTRY_COMPARE(first->PageFiles().size(), 2);
    // A converter's file in flight in the first copy's folder.
    const QString inFlight = GetTempFilePath(QStringLiteral("tiff"));
    QVERIFY(inFlight.startsWith(work + QLatin1Char('/')));
    QVERIFY(PageMaker::write(PageMaker::pattern(40, 30, QImage::Format_RGB32, 100), inFlight));
    // The first copy writes its journal on a thread of its own: the folder
    // is taken once that write is on disk.
    QMap<QString, QByteArray> before = Snapshot(work);
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(150);
        const QMap<QString, QByteArray> now = Snapshot(work);
        if (now == before) {
            break;
        }
        before = now;
    }

    const QString otherHome = m_dir->filePath(QStringLiteral("other"));
    Configure(otherHome);
    QString own;
    {
        MainWindow second(otherHome, QString());
        second.show();
        own = second.WorkDir();
        QVERIFY2(own.startsWith(work + QLatin1Char('-')), qPrintable(own));
        // It holds its folder's lock, so that no start-up clean-up takes it.
        SessionLock probe;
        QVERIFY(!probe.TryLock(SessionLock::PathFor(own)));
        QCOMPARE(FileCheck::modeOf(own), 0700);
        QCOMPARE(second.PendingRecoveryCount(), 0);
        QCOMPARE(second.ScanDir(), own + QStringLiteral("/scanimages"));
        // Its temporary files follow its own folder.
        QVERIFY2(GetTempFilePath(QStringLiteral("tiff")).startsWith(own + QLatin1Char('/')), qPrintable(own));
        QTest::qWait(50);
        QCOMPARE(Snapshot(work), before);
        m_answerer.SetAnswer(QMessageBox::Yes);
        QVERIFY(second.close());
    }
    QCOMPARE(Snapshot(work), before);
    QVERIFY2(!QFileInfo::exists(own), qPrintable(own));
    QVERIFY(!QFileInfo::exists(own + QStringLiteral(".lock")));

    m_answerer.titles.clear();
    first->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(
        first->PageFiles().isEmpty() || m_answerer.titles.contains(QStringLiteral("错误")), 20000);
    QTRY_VERIFY(!first->JobRunning());
    QVERIFY2(!m_answerer.titles.contains(QStringLiteral("错误")), qPrintable(m_answerer.texts.join('|')));
    QVERIFY(!QDir(m_home + QStringLiteral("/out")).entryList(QDir::Files).isEmpty());
}

// Temporary files lie beside the page folder, never in it; whatever an
// earlier run left there goes at the start of the copy that holds the folder,
// also while its pages wait for the question, and is never offered as a page.
void TestWorkFolder::tempFilesNeverPages()
{
    const QString work = m_cache + QStringLiteral("/scanvy/work");
    QVERIFY(PlantSession(work, 1));
    const QString leftover = GetTempFilePath(QStringLiteral("tiff"));
    QCOMPARE(QFileInfo(leftover).path(), work + QStringLiteral("/tmp"));
    QVERIFY(PageMaker::write(PageMaker::pattern(40, 30, QImage::Format_RGB32, 100), leftover));
    QCOMPARE(FileCheck::modeOf(work + QStringLiteral("/tmp")), 0700);

    QScopedPointer<MainWindow> window(Start(QMessageBox::Yes));
    QVERIFY(!QFileInfo::exists(leftover));
    QTRY_COMPARE(m_answerer.texts, QStringList{kQuestion.arg(1)});
    QCOMPARE(window->PageFiles(), QList<QString>{work + QStringLiteral("/scanimages/r0001.jpg")});
}

// The system temporary folder is emptied at boot (systemd-tmpfiles with the
// distribution's tmp.conf); the session of a killed copy is still offered.
void TestWorkFolder::sessionSurvivesBootCleaning()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("systemd-tmpfiles"));
    const QString conf = QStringLiteral("/usr/lib/tmpfiles.d/tmp.conf");
    if (tool.isEmpty() || !QFileInfo::exists(conf)) {
        QSKIP("systemd-tmpfiles or its tmp.conf is not installed");
    }
    // A fake root: the user's home and the system temporary folder inside.
    const QString root = m_dir->path();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/usr/lib/tmpfiles.d")));
    QVERIFY(QFile::copy(conf, root + QStringLiteral("/usr/lib/tmpfiles.d/tmp.conf")));

    QString work;
    {
        MainWindow killed(m_home, QString());
        work = killed.WorkDir();
        QVERIFY(PlantSession(work, 2));
        // Torn down without its normal end, as a kill leaves it.
    }
    QVERIFY(QFile::copy(conf, m_tmp + QStringLiteral("/canary")));
    QProcess boot;
    boot.start(tool,
               {QStringLiteral("--remove"), QStringLiteral("--boot"), QStringLiteral("--root=") + root});
    QVERIFY(boot.waitForFinished(30000));
    QCOMPARE(boot.exitCode(), 0);
    QVERIFY2(!QFileInfo::exists(m_tmp + QStringLiteral("/canary")), "the boot cleaning did not run");

    QScopedPointer<MainWindow> window(Start(QMessageBox::Yes));
    QCOMPARE(window->WorkDir(), work);
    QTRY_COMPARE(m_answerer.texts, QStringList{kQuestion.arg(2)});
    QCOMPARE(window->PageFiles().size(), 2);
}

// A page folder that is a link (to the user's documents, say) is never
// followed: the pages a journal names through it are not offered, nothing
// there is read or removed, and a real folder takes the link's place.
void TestWorkFolder::pageFolderLink()
{
    const QString work = m_cache + QStringLiteral("/scanvy/work");
    const QString documents = m_home + QStringLiteral("/Documents");
    QVERIFY(PlantSession(work, 2));
    QVERIFY(QDir().rename(work + QStringLiteral("/scanimages"), documents));
    QVERIFY(QDir().mkpath(documents + QStringLiteral("/sub")));
    QVERIFY(
        QFile::copy(documents + QStringLiteral("/r0001.jpg"), documents + QStringLiteral("/sub/r0001.jpg")));
    QVERIFY(QFile::link(documents, work + QStringLiteral("/scanimages")));
    const QMap<QString, QByteArray> before = Snapshot(documents);

    QScopedPointer<MainWindow> window(Start(QMessageBox::Yes));
    QCOMPARE(window->PendingRecoveryCount(), 0);
    const QFileInfo folder(window->ScanDir());
    QVERIFY(folder.isDir() && !folder.isSymLink());
    QTest::qWait(50);
    QCOMPARE(m_answerer.texts, QStringList());
    QCOMPARE(Snapshot(documents), before);
}

// In a shared cache folder where another account owns both usual names, the
// private folders earlier starts made are looked at again: one is taken
// again, the session a killed copy left in another is brought over, empty
// ones go; a folder not as such a start makes it (open to others) stays.
void TestWorkFolder::sharedCacheFolder()
{
    if (geteuid() != 0) {
        QSKIP("giving a folder to another user needs root");
    }
    QVERIFY(QDir().mkpath(m_cache) && chmod(QFile::encodeName(m_cache).constData(), 01777) == 0);
    for (const QString& name : {QStringLiteral("scanvy"), QStringLiteral("scanvy-%1").arg(geteuid())}) {
        QVERIFY(QDir().mkpath(m_cache + QLatin1Char('/') + name));
        QVERIFY(chown(QFile::encodeName(m_cache + QLatin1Char('/') + name).constData(), 65534, 65534) == 0);
    }
    // A: open to others, with a session; B: empty; C: a killed copy's session; D: empty.
    const QString own = m_cache + QStringLiteral("/scanvy-%1-").arg(geteuid());
    QVERIFY(QDir().mkpath(own + QStringLiteral("BBBBBB/work")) &&
            QDir().mkpath(own + QStringLiteral("DDDDDD/work")));
    QVERIFY(PlantSession(own + QStringLiteral("AAAAAA/work"), 1) &&
            PlantSession(own + QStringLiteral("CCCCCC/work"), 2));
    for (const char* id : {"AAAAAA", "BBBBBB", "CCCCCC", "DDDDDD"}) {
        QVERIFY(chmod(QFile::encodeName(own + QLatin1String(id)).constData(), id[0] == 'A' ? 0755 : 0700) ==
                0);
    }

    QScopedPointer<MainWindow> window(Start(QMessageBox::Yes));
    QCOMPARE(window->WorkDir(), own + QStringLiteral("BBBBBB/work"));
    QTRY_COMPARE(m_answerer.texts, QStringList{kQuestion.arg(2)});
    QCOMPARE(window->PageFiles().size(), 2);
    QVERIFY(!QFileInfo::exists(own + QStringLiteral("CCCCCC")) &&
            !QFileInfo::exists(own + QStringLiteral("DDDDDD")));
    QVERIFY(QFileInfo::exists(own + QStringLiteral("AAAAAA/work/session.json")));
}

QTEST_MAIN(TestWorkFolder)
#include "tst_workfolder.moc"
