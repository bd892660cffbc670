#include "hiddenfile.h"
#include "mainwindow.h"
#include "ownfile.h"
#include "temppath.h"
#include "workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The work folder is emptied recursively, so the main window only takes one
// that is a real folder of the current user, closed to everyone else.
class TestWorkDir : public QObject {
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
    void defaultFolder_data();
    void defaultFolder();
    void tempPathsDistinct();
    void hiddenSiblingsNeverReused();
    void parentLevelRefused();
    void ownFileRead_data();
    void ownFileRead();

private:
    static void MakeFile(const QString& path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    static bool GiveAway(const QString& path)
    {
        const uid_t nobody = 65534;
        return chown(QFile::encodeName(path).constData(), nobody, nobody) == 0;
    }
    // The folder used and its parent: real folders of ours, closed to others.
    static void OwnAndPrivate(const QString& used)
    {
        for (const QString& level : {used, QFileInfo(used).path()}) {
            struct stat st {};
            QVERIFY(lstat(QFile::encodeName(level).constData(), &st) == 0);
            QVERIFY(S_ISDIR(st.st_mode));
            QCOMPARE(st.st_uid, geteuid());
            QCOMPARE(st.st_mode & 0777, mode_t(0700));
        }
    }
};

void TestWorkDir::choose_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected"); // relative to the root; "private" for a fresh private folder
    QTest::addColumn<bool>("needsRoot");

    const QString perUser = QStringLiteral("zir-%1/scanvy").arg(geteuid());
    QTest::newRow("nothing there yet") << "none"
                                       << "zir/scanvy" << false;
    QTest::newRow("ours but open to others") << "open"
                                             << "zir/scanvy" << false;
    QTest::newRow("ours, open to others but not the group") << "open-others"
                                                            << "zir/scanvy" << false;
    QTest::newRow("ours, open to the group only") << "open-group"
                                                  << "zir/scanvy" << false;
    QTest::newRow("zir of another user") << "zir-foreign" << perUser << true;
    QTest::newRow("scanvy of another user") << "scanvy-foreign" << perUser << true;
    QTest::newRow("zir is a link") << "zir-link" << perUser << false;
    QTest::newRow("fallback taken as well") << "both-foreign"
                                            << "private" << true;
}

void TestWorkDir::choose()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QFETCH(bool, needsRoot);

    if (needsRoot && geteuid() != 0) {
        QSKIP("giving a folder to another user needs root");
    }
    QTemporaryDir root;
    QTemporaryDir home;
    const QString base = root.path();
    const QString zir = base + QStringLiteral("/zir");
    const QString victim = base + QStringLiteral("/victim");
    QVERIFY(QDir().mkpath(victim + QStringLiteral("/sub")));
    MakeFile(victim + QStringLiteral("/file"));
    MakeFile(victim + QStringLiteral("/sub/file"));

    if (setup.startsWith(QLatin1String("open"))) {
        const bool all = setup == QLatin1String("open");
        const bool group = setup == QLatin1String("open-group");
        QVERIFY(QDir().mkpath(zir + QStringLiteral("/scanvy")));
        QVERIFY(chmod(QFile::encodeName(zir).constData(), all ? 0777 : group ? 0770 : 0701) == 0);
        QVERIFY(chmod(QFile::encodeName(zir + QStringLiteral("/scanvy")).constData(), all     ? 0755
                                                                                      : group ? 0750
                                                                                              : 0705) == 0);
    } else if (setup == QLatin1String("zir-foreign") || setup == QLatin1String("both-foreign")) {
        QVERIFY(QDir().mkpath(zir + QStringLiteral("/scanvy")));
        MakeFile(zir + QStringLiteral("/scanvy/file"));
        QVERIFY(GiveAway(zir));
        if (setup == QLatin1String("both-foreign")) {
            const QString fallback = base + QStringLiteral("/zir-%1").arg(geteuid());
            QVERIFY(QDir().mkpath(fallback));
            QVERIFY(GiveAway(fallback));
        }
    } else if (setup == QLatin1String("scanvy-foreign")) {
        QVERIFY(QDir().mkpath(zir + QStringLiteral("/scanvy")));
        MakeFile(zir + QStringLiteral("/scanvy/file"));
        QVERIFY(GiveAway(zir + QStringLiteral("/scanvy")));
    } else if (setup == QLatin1String("zir-link")) {
        QVERIFY(QDir().mkpath(victim + QStringLiteral("/scanvy")));
        MakeFile(victim + QStringLiteral("/scanvy/file"));
        QVERIFY(QFile::link(victim, zir));
    }

    MainWindow window(home.path(), zir + QStringLiteral("/scanvy"));
    const QString used = window.WorkDir();
    if (expected == QLatin1String("private")) {
        QVERIFY2(used.startsWith(base + QStringLiteral("/scanvy-%1-").arg(geteuid())), qPrintable(used));
        QVERIFY(used.endsWith(QLatin1String("/scanvy")));
    } else {
        QCOMPARE(used, base + QLatin1Char('/') + expected);
    }

    OwnAndPrivate(used);

    // Nothing was deleted anywhere else.
    QVERIFY(QFile::exists(victim + QStringLiteral("/file")));
    QVERIFY(QFile::exists(victim + QStringLiteral("/sub/file")));
    if (setup != QLatin1String("none") && !setup.startsWith(QLatin1String("open")))
        QVERIFY(QFile::exists(zir + QStringLiteral("/scanvy/file")));
    if (setup == QLatin1String("zir-link"))
        QVERIFY(QFileInfo(zir).isSymLink());
}

// The usual work folder lies in the user's cache folder, which a reboot does
// not empty: "$XDG_CACHE_HOME/scanvy/work", or "$HOME/.cache/scanvy/work"
// when that variable is unset or not an absolute path, under the same rule
// as any work folder. The converters' temporary files land in its own
// folder for them (never among the pages), also when the usual folder
// belongs to someone else.
void TestWorkDir::defaultFolder_data()
{
    QTest::addColumn<QString>("xdg");      // "abs", "relative" or "unset"
    QTest::addColumn<QString>("setup");    // what is planted at "<cache>/scanvy"
    QTest::addColumn<QString>("expected"); // relative to the cache folder
    QTest::addColumn<bool>("needsRoot");

    const QString perUser = QStringLiteral("scanvy-%1/work").arg(geteuid());
    QTest::newRow("XDG_CACHE_HOME") << "abs"
                                    << "none"
                                    << "scanvy/work" << false;
    QTest::newRow("no XDG_CACHE_HOME: ~/.cache, made private") << "unset"
                                                               << "none"
                                                               << "scanvy/work" << false;
    QTest::newRow("relative XDG_CACHE_HOME is ignored") << "relative"
                                                        << "none"
                                                        << "scanvy/work" << false;
    QTest::newRow("ours but open to others") << "abs"
                                             << "open"
                                             << "scanvy/work" << false;
    QTest::newRow("scanvy is a link") << "abs"
                                      << "link" << perUser << false;
    QTest::newRow("work is a link") << "abs"
                                    << "work-link" << perUser << false;
    QTest::newRow("scanvy of another user") << "abs"
                                            << "foreign" << perUser << true;
}

void TestWorkDir::defaultFolder()
{
    QFETCH(QString, xdg);
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QFETCH(bool, needsRoot);
    if (needsRoot && geteuid() != 0) {
        QSKIP("giving a folder to another user needs root");
    }
    QTemporaryDir root;
    const QString home = root.filePath(QStringLiteral("home"));
    const QString victim = root.filePath(QStringLiteral("victim"));
    QVERIFY(QDir().mkpath(home) && QDir().mkpath(victim + QStringLiteral("/work")));
    MakeFile(victim + QStringLiteral("/work/file"));
    const QString cache = xdg == QLatin1String("abs") ? root.filePath(QStringLiteral("cache"))
                                                      : home + QStringLiteral("/.cache");
    const QByteArray homeBefore = qgetenv("HOME");
    const QByteArray xdgBefore = qgetenv("XDG_CACHE_HOME");
    qputenv("HOME", QFile::encodeName(home));
    if (xdg == QLatin1String("abs")) {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    } else if (xdg == QLatin1String("relative")) {
        qputenv("XDG_CACHE_HOME", "cache");
    } else {
        qunsetenv("XDG_CACHE_HOME");
    }
    const QString scanvy = cache + QStringLiteral("/scanvy");
    if (setup == QLatin1String("open")) {
        QVERIFY(QDir().mkpath(scanvy + QStringLiteral("/work")));
        QVERIFY(chmod(QFile::encodeName(scanvy).constData(), 0755) == 0);
    } else if (setup == QLatin1String("link")) {
        QVERIFY(QDir().mkpath(cache));
        QVERIFY(QFile::link(victim, scanvy));
    } else if (setup == QLatin1String("work-link")) {
        QVERIFY(QDir().mkpath(scanvy));
        QVERIFY(QFile::link(victim + QStringLiteral("/work"), scanvy + QStringLiteral("/work")));
    } else if (setup == QLatin1String("foreign")) {
        QVERIFY(QDir().mkpath(scanvy + QStringLiteral("/work")));
        MakeFile(scanvy + QStringLiteral("/work/file"));
        QVERIFY(GiveAway(scanvy));
    }

    const QString chosen = WorkDir::Choose();
    const QString tempDir = GetTempDir();
    const QString tempFile = GetTempFilePath(QStringLiteral("tiff"));
    QString used;
    {
        MainWindow window(home, QString());
        used = window.WorkDir();
    }
    qputenv("HOME", homeBefore);
    qputenv("XDG_CACHE_HOME", xdgBefore);

    const QString want = cache + QLatin1Char('/') + expected;
    QCOMPARE(chosen, want);
    QCOMPARE(tempDir, want);
    QCOMPARE(used, want);
    QCOMPARE(QFileInfo(tempFile).path(), want + QStringLiteral("/tmp"));
    OwnAndPrivate(used);
    if (xdg != QLatin1String("abs")) {
        // A cache folder made by us is private as well.
        struct stat st {};
        QVERIFY(stat(QFile::encodeName(cache).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }
    QVERIFY(QFile::exists(victim + QStringLiteral("/work/file")));
    if (setup == QLatin1String("foreign")) {
        QVERIFY(QFile::exists(scanvy + QStringLiteral("/work/file")));
    }
}

// Two threads asking at once never get the same name, nor the name of a file
// that is already there (this second's names are all taken in advance).
void TestWorkDir::tempPathsDistinct()
{
    // Names handed out but not made yet are not handed out again.
    QStringList fresh;
    for (int n = 0; n < 100; ++n)
        fresh << GetTempFilePath("fresh");
    fresh.removeDuplicates();
    QCOMPARE(fresh.size(), 100);

    const QString folder = QFileInfo(GetTempFilePath("x")).path();
    const QDateTime now = QDateTime::currentDateTime();
    for (int ms = 0; ms < 3000; ++ms)
        MakeFile(folder + "/" + now.addMSecs(ms).toString("yyyyMMddHHmmsszzz") + ".taken");
    QVector<QStringList> names(2);
    auto ask = [&names](int i) {
        for (int n = 0; n < 500; ++n)
            names[i] << GetTempFilePath("taken");
    };
    std::thread a(ask, 0), b(ask, 1);
    a.join();
    b.join();
    QStringList all = names[0] + names[1];
    for (const QString& name : all)
        QVERIFY2(!QFileInfo::exists(name), qPrintable(name));
    all.removeDuplicates();
    QCOMPARE(all.size(), 1000);
}

// A writer's hidden file beside the user's file never takes over a file that
// already has the name it would get.
void TestWorkDir::hiddenSiblingsNeverReused()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("doc.pdf"));
    const quint32 next = NextHiddenNumber() + 1;
    QStringList taken;
    for (quint32 n = next; n < next + 3; ++n) {
        taken << HiddenSiblingPath(target, "part", n);
        MakeFile(taken.last());
    }
    const QString made = CreateHiddenSibling(target, "part");
    QVERIFY2(!made.isEmpty() && !taken.contains(made), qPrintable(made));
    QCOMPARE(QFileInfo(made).size(), qint64(0));
}

// A relative work path that climbs out of the current folder never gets that
// folder's parent taken over (made private); a folder of our own is used.
void TestWorkDir::parentLevelRefused()
{
    QTemporaryDir root;
    const QString inner = root.filePath(QStringLiteral("inner"));
    QVERIFY(QDir().mkpath(inner));
    QVERIFY(chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(inner));
    const QString used = WorkDir::ChooseFor(QStringLiteral("../scanvy"));
    QDir::setCurrent(before);
    struct stat st {};
    QVERIFY(stat(QFile::encodeName(root.path()).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0755));
    QVERIFY2(!used.isEmpty() && !used.startsWith(QLatin1String("../")), qPrintable(used));
}

void TestWorkDir::ownFileRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error"); // 0: read
    QTest::newRow("regular file of ours") << "file" << 0;
    QTest::newRow("one byte over the limit") << "large" << int(EFBIG);
    QTest::newRow("link to a file of ours") << "link" << int(ELOOP);
    QTest::newRow("FIFO nobody writes to") << "fifo" << int(EINVAL);
    QTest::newRow("file of another user") << "foreign" << int(EPERM);
}

// What lies under the name of a file the program reads back from its folders
// is read only when it is a regular file of ours within the size the program
// writes there: never through a link, never waiting on a FIFO.
void TestWorkDir::ownFileRead()
{
    QFETCH(QString, kind);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));
    const QString real = dir.filePath(QStringLiteral("real"));
    MakeFile(real);
    if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(real, path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QVERIFY(QFile::copy(real, path) && QFile(path).resize(kind == QLatin1String("large") ? 5 : 4));
    }
    if (kind == QLatin1String("foreign") && !GiveAway(path)) {
        QSKIP("giving a file to another user needs root");
    }
    QByteArray data("old");
    errno = 0;
    QCOMPARE(OwnFile::Read(path, 4, &data), error == 0);
    QCOMPARE(errno, error);
    QCOMPARE(data, error == 0 ? QByteArray("keep") : QByteArray());
    // A folder whose file system cannot flush folders has nothing to flush.
    QCOMPARE(OwnFile::SyncFolder(QStringLiteral("/proc")), 0);
}

QTEST_MAIN(TestWorkDir)
#include "tst_workdir.moc"
