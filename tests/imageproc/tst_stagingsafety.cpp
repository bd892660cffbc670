// Saving documents while another account has prepared the shared
// temporary folder: planted links and folders of others at the places the
// program's temporary folder and its OFD staging used to have. Nothing
// outside the program's own private folder may be created, changed or
// removed, and the save still succeeds.
#include "imageproc.h"
#include "pagemaker.h"
#include "temppath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace PageMaker;

namespace {

// Every entry below `root` (links not followed) with type, owner, mode and
// content, except the private folder `skip`, its contents and the folders
// leading to it.
QStringList tree(const QString& root, const QString& skip)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!skip.isEmpty() && (path == skip || path.startsWith(skip + "/") || skip.startsWith(path + "/")))
            continue;
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        QString line =
            QDir(root).relativeFilePath(path) + QString(" %1 %2 ").arg(st.st_uid).arg(st.st_mode, 0, 8);
        if (S_ISLNK(st.st_mode))
            line += "-> " + QFile::symLinkTarget(path);
        else if (S_ISREG(st.st_mode))
            line += QCryptographicHash::hash(bytes(path), QCryptographicHash::Sha1).toHex();
        out << line;
    }
    out.sort();
    return out;
}

bool giveAway(const QString& path)
{
    const passwd* nobody = ::getpwnam("nobody");
    return nobody && ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
}

bool makeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

} // namespace

class TestStagingSafety : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void plantedTemporaryFolders_data();
    void plantedTemporaryFolders();

private:
    QByteArray m_tmpdir;
};

void TestStagingSafety::initTestCase()
{
    m_tmpdir = qgetenv("TMPDIR");
}

void TestStagingSafety::cleanupTestCase()
{
    qputenv("TMPDIR", m_tmpdir);
}

void TestStagingSafety::plantedTemporaryFolders_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("format");
    // Other accounts' folders at the program's own place are tst_workdir's.
    const char* setups[] = {"scanvy is a link", "ofdtemp is a link", "ofdtemp of another user"};
    const char* formats[] = {"tiff", "pdf", "ofd"};
    for (const char* setup : setups)
        for (const char* format : formats)
            QTest::addRow("%s, %s", setup, format) << setup << format;
}

void TestStagingSafety::plantedTemporaryFolders()
{
    QFETCH(QString, setup);
    QFETCH(QString, format);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString root = base.filePath("tmp");
    const QString victim = base.filePath("Documents");
    const QString pagesDir = base.filePath("pages");
    const QString out = base.filePath("out");
    for (const QString& dir : {root, victim + "/deep", pagesDir, out})
        QVERIFY(QDir().mkpath(dir));
    QVERIFY(makeFile(victim + "/letter.txt", "the victim's letter"));
    QVERIFY(makeFile(victim + "/deep/notes.txt", "the victim's notes"));

    const QString zir = root + "/scanvy"; // the program's level of the cache folder
    if (setup == "scanvy is a link") {
        QVERIFY(QFile::link(victim, zir));
    } else if (setup == "ofdtemp is a link") {
        QVERIFY(QDir().mkpath(zir + "/work"));
        QVERIFY(::chmod(QFile::encodeName(zir).constData(), 0700) == 0);
        QVERIFY(::chmod(QFile::encodeName(zir + "/work").constData(), 0700) == 0);
        QVERIFY(QFile::link(victim, zir + "/work/ofdtemp"));
    } else {
        QVERIFY(QDir().mkpath(zir + "/work/ofdtemp"));
        QVERIFY(makeFile(zir + "/work/ofdtemp/theirs.txt", "another user's file"));
        if (!giveAway(zir + "/work/ofdtemp") || !giveAway(zir + "/work/ofdtemp/theirs.txt"))
            QSKIP("cannot give a folder to another account here");
    }

    const QList<QString> pages{pagesDir + "/p1.jpg", pagesDir + "/p2.png", pagesDir + "/p3.pnm"};
    QVERIFY(write(pattern(120, 90, QImage::Format_RGB32, 200), pages[0]));
    QVERIFY(write(pattern(120, 90, QImage::Format_Grayscale8, 200), pages[1]));
    QVERIFY(write(pattern(120, 90, QImage::Format_RGB32, 200), pages[2], 200));
    const QStringList victimBefore = tree(victim, QString());

    const QByteArray cacheBefore = qgetenv("XDG_CACHE_HOME");
    qputenv("TMPDIR", QFile::encodeName(root));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root));
    const QStringList rootBefore = tree(root, QString());
    // What the other account planted, wherever it is (even inside a folder
    // that the program may use), stays as it was.
    QStringList planted;
    for (const QString& line : rootBefore) {
        if (line.section(' ', 0, 0).contains("ofdtemp") || line.contains("theirs.txt"))
            planted << line;
    }
    const QString target = out + "/doc." + format;
    bool ok = false;
    {
        ImageProc proc;
        ok = format == "tiff"  ? proc.SaveMultiTiff(pages, target)
             : format == "pdf" ? proc.SaveMultiPDF(pages, target)
                               : proc.SaveMultiOFD(pages, target);
    }
    const QString privateDir = GetTempDir();
    qputenv("TMPDIR", m_tmpdir);
    qputenv("XDG_CACHE_HOME", cacheBefore);

    QVERIFY(ok);
    QVERIFY(QFileInfo(target).isFile());
    QVERIFY(privateDir.startsWith(root + "/"));
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(privateDir).constData(), &st) == 0);
    QVERIFY(S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0);
    QCOMPARE(tree(victim, QString()), victimBefore);
    const QStringList now = tree(root, QString());
    for (const QString& line : planted)
        QVERIFY2(now.contains(line), qPrintable(line));
    QStringList expected;
    for (const QString& line : rootBefore) {
        const QString rel = line.section(' ', 0, 0);
        const QString abs = root + "/" + rel;
        if (!(abs == privateDir || abs.startsWith(privateDir + "/") || privateDir.startsWith(abs + "/")))
            expected << line;
    }
    QCOMPARE(tree(root, privateDir), expected);
}

QTEST_MAIN(TestStagingSafety)
#include "tst_stagingsafety.moc"
