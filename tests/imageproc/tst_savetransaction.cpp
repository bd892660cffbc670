// All-or-nothing saves of several files, permissions of replaced files, and
// the clean-up of what an interrupted save left behind.
#include "pagemaker.h"
#include "savetransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PageMaker;

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool writeFile(const QString& path, const QByteArray& content, int mode = -1)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        return false;
    f.close();
    return mode < 0 || ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

int newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return int(0666 & ~mask);
}

// A process id that surely ran and has ended.
qint64 endedPid()
{
    QProcess p;
    p.start("sleep", {"0.05"});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

// Name, content and mode of every entry of a folder, hidden ones included.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        QString line = e.fileName() + " " + QString::number(modeOf(e.filePath()), 8);
        if (e.isSymLink())
            line += " -> " + e.symLinkTarget();
        else if (e.isDir())
            line += " <dir>";
        else
            line += " " + QString::fromLatin1(bytes(e.filePath()).toHex());
        out << line;
    }
    return out;
}

} // namespace

class TestSaveTransaction : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commit_data();
    void commit();
    void uncommittedLeavesNothing();
    void leftovers();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestSaveTransaction::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestSaveTransaction::commit_data()
{
    // Targets a.pdf, b.pdf, c.pdf, d.pdf. `existing`: octal modes of the
    // targets that exist before the save ("-" for none). `folderAt`: a folder
    // takes that target's name after staging, so that putting it in place
    // fails (-1: none).
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<int>("folderAt");
    QTest::newRow("overwrite keeps modes") << QStringList{"600", "640", "-", "604"} << -1;
    QTest::newRow("fails at the third, two old files before") << QStringList{"600", "640", "-", "-"} << 2;
    QTest::newRow("fails at the last, old and new before") << QStringList{"-", "600", "-", "644"} << 3;
    QTest::newRow("old file is a link") << QStringList{"link", "-", "-", "-"} << 1;
}

void TestSaveTransaction::commit()
{
    QFETCH(QStringList, existing);
    QFETCH(int, folderAt);
    const QStringList names{"a.pdf", "b.pdf", "c.pdf", "d.pdf"};
    QVERIFY(writeFile(path("elsewhere"), "linked content", 0640));
    for (int i = 0; i < names.size(); ++i) {
        if (existing[i] == "link")
            QVERIFY(QFile::link(path("elsewhere"), path(names[i])));
        else if (existing[i] != "-")
            QVERIFY(writeFile(path(names[i]), "old " + names[i].toLatin1(), existing[i].toInt(nullptr, 8)));
    }
    const QStringList before = snapshot(m_dir->path());
    // Everything as before, apart from the folder that blocked the save.
    auto without = [&](const QStringList& lines) {
        QStringList kept;
        for (const QString& line : lines) {
            if (!line.startsWith(names[qMax(0, folderAt)] + " "))
                kept << line;
        }
        return kept;
    };

    bool ok = false;
    {
        SaveTransaction save;
        QStringList staged;
        for (const QString& name : names) {
            staged << save.Stage(path(name));
            QVERIFY(!staged.last().isEmpty());
        }
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(writeFile(staged[i], "new " + names[i].toLatin1()));
        if (folderAt >= 0) {
            QFile::remove(path(names[folderAt]));
            QVERIFY(QDir().mkpath(path(names[folderAt] + "/inside")));
        }
        ok = save.Commit();
        if (!ok) {
            QCOMPARE(save.Failure().reason, SaveFailure::TargetIsFolder);
            QCOMPARE(save.Failure().path, path(names[folderAt]));
            QCOMPARE(without(snapshot(m_dir->path())), without(before)); // at once, not only when it goes
        }
    }
    QCOMPARE(ok, folderAt < 0);
    if (!ok) {
        QCOMPARE(without(snapshot(m_dir->path())), without(before));
        QCOMPARE(bytes(path("elsewhere")), QByteArray("linked content"));
        return;
    }
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(bytes(path(names[i])), "new " + names[i].toLatin1());
        const int mode = existing[i] == "-"      ? newFileMode()
                         : existing[i] == "link" ? 0640
                                                 : existing[i].toInt(nullptr, 8);
        QCOMPARE(QString::number(modeOf(path(names[i])), 8), QString::number(mode, 8));
    }
    QCOMPARE(bytes(path("elsewhere")), QByteArray("linked content"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             names.size() + 1);
}

void TestSaveTransaction::uncommittedLeavesNothing()
{
    QVERIFY(writeFile(path("a.jpg"), "old", 0600));
    const QStringList before = snapshot(m_dir->path());
    {
        SaveTransaction save;
        QVERIFY(writeFile(save.Stage(path("a.jpg")), "new a"));
        QVERIFY(writeFile(save.Stage(path("b.jpg")), "new b"));
    }
    QCOMPARE(snapshot(m_dir->path()), before);
}

// Hidden files of our naming patterns left by a process that has ended go;
// those of a running process and every look-alike stay.
void TestSaveTransaction::leftovers()
{
    const QString dead = QString::number(endedPid());
    const QString self = QString::number(getpid());
    // A child that has ended but is not reaped yet answers kill() too.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    QVERIFY(child > 0);
    const auto reap = qScopeGuard([child] { ::waitpid(child, nullptr, 0); });
    QTRY_VERIFY(bytes(QStringLiteral("/proc/%1/stat").arg(child)).contains(") Z "));
    const QString zombie = QString::number(child);
    struct Row {
        QString name;
        const char* outcome; // "gone", "stays", "restored" (renamed to its target)
    };
    const QList<Row> rows = {
        {".a0012.part-" + dead + "-0.pdf", "gone"},
        {"..a0014.save-" + dead + "-1.part-" + dead + "-2.ofd", "gone"},
        {".a0015.keep-" + dead + "-5.tiff", "gone"}, // a0015.tiff exists
        {".a0016.keep-" + dead + "-6.png", "restored"},
        {".a0020.part-" + self + "-1.pdf", "stays"},
        {".a0021.save-1-2.pdf", "stays"}, // process 1 always runs
        {".a0023.save-" + zombie + "-8.pdf", "gone"},
        {"a0012.part-" + dead + "-0.pdf", "stays"},
        {".a0012.part-" + dead + ".pdf", "stays"},
        {".a0012.PART-" + dead + "-0.pdf", "stays"},
        {".a0012.part-" + dead + "-0.pdf.bak", "stays"},
        {".part-" + dead + "-0.pdf", "stays"},
    };
    for (const Row& row : rows)
        QVERIFY(writeFile(path(row.name), row.name.toUtf8()));
    QVERIFY(writeFile(path("a0015.tiff"), "current a0015"));
    QVERIFY(QDir().mkpath(path(".a0040.part-" + dead + "-0.pdf/inner")));
    QVERIFY(QFile::link(path("a0015.tiff"), path(".a0041.part-" + dead + "-0.pdf")));

    int expectedCount = 0;
    for (const Row& row : rows)
        expectedCount += QByteArray(row.outcome) != "stays";
    QCOMPARE(SaveTransaction::RemoveLeftovers(m_dir->path()), expectedCount);

    for (const Row& row : rows) {
        const QByteArray outcome(row.outcome);
        QVERIFY2(QFileInfo::exists(path(row.name)) == (outcome == "stays"), qPrintable(row.name));
        if (outcome == "stays")
            QCOMPARE(bytes(path(row.name)), row.name.toUtf8());
    }
    QCOMPARE(bytes(path("a0015.tiff")), QByteArray("current a0015"));
    QCOMPARE(bytes(path("a0016.png")), (".a0016.keep-" + dead + "-6.png").toUtf8());
    QVERIFY(QFileInfo(path(".a0040.part-" + dead + "-0.pdf/inner")).isDir());
    QVERIFY(QFileInfo(path(".a0041.part-" + dead + "-0.pdf")).isSymLink());
}

QTEST_MAIN(TestSaveTransaction)
#include "tst_savetransaction.moc"
