#include "fileutils.h"
#include "sessionjournal.h"
#include "sessionlock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

Q_DECLARE_METATYPE(SessionJournal::Scan)

namespace {

// "type,insertAt,firstNumber,prefix": a scan that was running.
SessionJournal::Scan ScanOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    SessionJournal::Scan scan;
    scan.type = parts.value(0).toInt();
    scan.insertAt = parts.value(1).toInt();
    scan.firstNumber = parts.value(2).toInt();
    scan.prefix = parts.value(3);
    return scan;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

// The journal of the running session and what a restart brings back from it:
// recorded states are written, the page files are laid out on disk as a
// crash leaves them, and the recovered page list is compared with the list
// the user had.
class TestSessionJournal : public QObject {
    Q_OBJECT

private slots:
    void init();

    void recover_data();
    void recover();
    void hostileJournal_data();
    void hostileJournal();
    void lockHeldUntilReleased();
    void lockSurvivesEmptiedFolder();

private:
    QString Scan(const QString& name) const { return m_dir->path() + QStringLiteral("/scanimages/") + name; }
    QStringList Names(const QList<QString>& paths) const;

    QScopedPointer<QTemporaryDir> m_dir;
};

void TestSessionJournal::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/scanimages")));
}

QStringList TestSessionJournal::Names(const QList<QString>& paths) const
{
    QStringList names;
    for (const QString& path : paths) {
        names << (QFileInfo(path).path() == m_dir->path() + QStringLiteral("/scanimages")
                      ? QFileInfo(path).fileName()
                      : QStringLiteral("<outside>") + path);
    }
    return names;
}

void TestSessionJournal::recover_data()
{
    QTest::addColumn<QStringList>("recorded"); // page list at the crash
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("scanNumber");
    QTest::addColumn<QString>("scan");       // running scan, or empty
    QTest::addColumn<QStringList>("onDisk"); // files in the scan folder (".part": interrupted)
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("expectedCurrent");
    QTest::addColumn<int>("expectedNumber");

    const QStringList three{"0001.jpg", "0002.jpg", "0003.jpg"};
    QTest::newRow("all complete") << three << 1 << 4 << "" << three << three << 1 << 4;
    QTest::newRow("interrupted page left out, follower current")
        << three << 1 << 4 << "" << QStringList{"0001.jpg", "0002.jpg.part", "0003.jpg"}
        << QStringList{"0001.jpg", "0003.jpg"} << 1 << 4;
    QTest::newRow("file gone") << three << 0 << 4 << "" << QStringList{"0002.jpg", "0003.jpg"}
                               << QStringList{"0002.jpg", "0003.jpg"} << 0 << 4;
    QTest::newRow("deleted pages stay deleted, numbers above them")
        << QStringList{"0002.jpg"} << 0 << 3 << "" << QStringList{"0001.jpg", "0002.jpg", "0009.jpg.part"}
        << QStringList{"0002.jpg"} << 0 << 10;
    QTest::newRow("scan to last: finished pages not yet listed")
        << QStringList{"0001.jpg", "0002.jpg"} << 0 << 3 << "1,2,3,"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg.part"}
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"} << 0 << 6;
    // [1 2 3], current page 2, scan before it: 4 listed, 5 and 6 finished.
    QTest::newRow("scan before current: order and current page kept")
        << QStringList{"0001.jpg", "0004.jpg", "0002.jpg", "0003.jpg"} << 2 << 5 << "2,2,4,"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg", "0006.jpg"}
        << QStringList{"0001.jpg", "0004.jpg", "0005.jpg", "0006.jpg", "0002.jpg", "0003.jpg"} << 4 << 7;
    QTest::newRow("replacement finished")
        << three << 1 << 4 << "4,1,4," << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"}
        << QStringList{"0001.jpg", "0004.jpg", "0003.jpg"} << 1 << 5;
    QTest::newRow("replacement interrupted keeps the page")
        << three << 1 << 4 << "4,1,4," << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg.part"}
        << three << 1 << 5;
    QTest::newRow("prefix with pattern characters")
        << QStringList{} << 0 << 1 << "1,0,1,扫描+(1)" << QStringList{"扫描+(1)0001.jpg", "扫描x0002.jpg"}
        << QStringList{"扫描+(1)0001.jpg"} << 0 << 3;
}

void TestSessionJournal::recover()
{
    QFETCH(QStringList, recorded);
    QFETCH(int, current);
    QFETCH(int, scanNumber);
    QFETCH(QString, scan);
    QFETCH(QStringList, onDisk);
    QFETCH(QStringList, expected);
    QFETCH(int, expectedCurrent);
    QFETCH(int, expectedNumber);

    for (const QString& name : onDisk)
        QVERIFY(WriteFile(Scan(name), name.toUtf8()));
    SessionJournal journal(m_dir->path());
    SessionJournal::State state;
    for (const QString& name : recorded)
        state.pages << Scan(name);
    state.current = current;
    state.scanNumber = scanNumber;
    if (!scan.isEmpty()) {
        state.scanRunning = true;
        state.scan = ScanOf(scan);
    }
    QVERIFY(journal.Record(state));

    // A new process reads what the old one left.
    const SessionJournal::State recovered = SessionJournal(m_dir->path()).Recover();
    QCOMPARE(Names(recovered.pages), expected);
    QCOMPARE(recovered.current, expectedCurrent);
    QCOMPARE(recovered.scanNumber, expectedNumber);
    for (const QString& page : recovered.pages)
        QCOMPARE(QFile(page).size(), qint64(QFileInfo(page).fileName().toUtf8().size()));
}

void TestSessionJournal::hostileJournal_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("expectedNumber");

    QTest::newRow("not JSON") << QByteArray("\x01\x02garbage") << QStringList{} << 3;
    QTest::newRow("cut off while written by someone else")
        << QByteArray(R"({"version":1,"pages":["0001.jpg","00)") << QStringList{} << 3;
    QTest::newRow("unknown version") << QByteArray(R"({"version":7,"pages":["0001.jpg"]})") << QStringList{}
                                     << 3;
    QTest::newRow("names leading out of the folder")
        << QByteArray(
               R"({"version":1,"pages":["../0001.jpg","/etc/passwd","..","0002.jpg","sub/0001.jpg",""]})")
        << QStringList{"0002.jpg"} << 3;
    QTest::newRow("numbers out of range")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"current":-5,"scanNumber":1e300})")
        << QStringList{"0001.jpg"} << 1073741823;
    QTest::newRow("number one past the highest")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"scanNumber":1073741824})")
        << QStringList{"0001.jpg"} << 1073741823;
    QTest::newRow("wrong types") << QByteArray(
                                        R"({"version":1,"pages":[1,null,{"a":1},"0001.jpg"],"scan":7})")
                                 << QStringList{"0001.jpg"} << 3;
}

// Whatever the journal holds, nothing outside the scan folder is ever named,
// and new page files are numbered above the files that are there.
void TestSessionJournal::hostileJournal()
{
    QFETCH(QByteArray, journal);
    QFETCH(QStringList, expected);
    QFETCH(int, expectedNumber);

    QVERIFY(WriteFile(Scan(QStringLiteral("0001.jpg")), "1"));
    QVERIFY(WriteFile(Scan(QStringLiteral("0002.jpg")), "2"));
    QVERIFY(WriteFile(m_dir->path() + QStringLiteral("/0001.jpg"), "outside"));
    SessionJournal reader(m_dir->path());
    QVERIFY(WriteFile(reader.FilePath(), journal));
    const SessionJournal::State recovered = reader.Recover();
    QCOMPARE(Names(recovered.pages), expected);
    QCOMPARE(recovered.current, 0);
    QCOMPARE(recovered.scanNumber, expectedNumber);
}

// flock(1) judges the lock from another process, as a second copy of the
// program would meet it.
void TestSessionJournal::lockHeldUntilReleased()
{
    const QString path = SessionLock::PathFor(m_dir->path() + QStringLiteral("/work"));
    QCOMPARE(path, m_dir->path() + QStringLiteral("/work.lock"));
    auto takenElsewhere = [&path] {
        return QProcess::execute(QStringLiteral("flock"),
                                 {QStringLiteral("-n"), path, QStringLiteral("true")}) == 0;
    };
    {
        SessionLock lock;
        QVERIFY(lock.TryLock(path));
        QVERIFY(!takenElsewhere());
        SessionLock second;
        QVERIFY(!second.TryLock(path));
    }
    QVERIFY(takenElsewhere());
    SessionLock again;
    QVERIFY(again.TryLock(path));

    // A link put in place of the lock file is not followed.
    const QString link = m_dir->path() + QStringLiteral("/linked.lock");
    QVERIFY(QFile::link(m_dir->path() + QStringLiteral("/elsewhere"), link));
    SessionLock linked;
    QVERIFY(!linked.TryLock(link));
    QVERIFY(!QFile::exists(m_dir->path() + QStringLiteral("/elsewhere")));
}

// Emptying the work folder (save, "清除全部") keeps the running session's
// lock: a second session still finds it held; it never reaches through links.
void TestSessionJournal::lockSurvivesEmptiedFolder()
{
    const QString work = m_dir->path();
    SessionLock lock;
    QVERIFY(lock.TryLock(SessionLock::PathFor(work)));
    QVERIFY(WriteFile(work + QStringLiteral("/scanimages/0001.jpg"), "x"));
    // Links in the folder go, what they point to stays.
    QTemporaryDir outside;
    QVERIFY(WriteFile(outside.filePath(QStringLiteral("keep.pdf")), "keep"));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("keep.pdf")),
                        work + QStringLiteral("/scanimages/l.pdf")));
    QVERIFY(QFile::link(outside.path(), work + QStringLiteral("/linkdir")));
    ClearDirectory(work);
    QCOMPARE(QDir(work + QStringLiteral("/scanimages"))
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
    QVERIFY(!QFileInfo(work + QStringLiteral("/linkdir")).isSymLink());
    QVERIFY(QFile::exists(outside.filePath(QStringLiteral("keep.pdf"))));
    SessionLock second;
    QVERIFY(!second.TryLock(SessionLock::PathFor(work)));
}

QTEST_MAIN(TestSessionJournal)
#include "tst_sessionjournal.moc"
