// All-or-nothing saves of several files, permissions of replaced files, and
// the clean-up of what an interrupted save left behind.
#include "filecheck.h"
#include "hiddenfile.h"
#include "imageproc.h"
#include "pagemaker.h"
#include "saverecord.h"
#include "savetransaction.h"
#include "targetfile.h"

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

using namespace FileCheck;
using namespace PageMaker;

namespace {

QString g_folderAt;
int g_folderAfter = -1;

void blockWithFolder(int index, bool installed)
{
    if (installed && index == g_folderAfter) {
        QFile::remove(g_folderAt);
        QDir().mkpath(g_folderAt + "/inside");
    }
}

// The step at which a forked save ends its process.
int g_exitIndex = -1;
bool g_exitInstalled = false;
constexpr int kExitedAtStep = 42;

void exitAtStep(int index, bool installed)
{
    if (index == g_exitIndex && installed == g_exitInstalled)
        ::_exit(kExitedAtStep);
}

// Writes `pages` into `file` the way a save of `format` does ("pdf", "ofd",
// "tiff": one page; "multi-…": all pages).
bool writeWithWriter(ImageProc& proc, const QString& format, const QList<QString>& pages, const QString& file)
{
    if (format == "multi-tiff")
        return proc.SaveMultiTiff(pages, file);
    if (format == "multi-pdf")
        return proc.SaveMultiPDF(pages, file);
    if (format == "multi-ofd")
        return proc.SaveMultiOFD(pages, file);
    if (format == "pdf")
        return proc.SavePDF(pages.first(), file);
    if (format == "ofd")
        return proc.SaveOFD(pages.first(), file);
    return proc.SaveAs(pages.first(), file, 0.0, true);
}

} // namespace

class TestSaveTransaction : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commit_data();
    void commit();
    void cutShort_data();
    void cutShort();
    void recordOwners_data();
    void recordOwners();
    void writersCutShort_data();
    void writersCutShort();
    void unrecordedWriterFails();
    void recordText_data();
    void recordText();

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
        // The folder appears while the commit runs, after the targets before
        // it are in place.
        g_folderAt = folderAt < 0 ? QString() : path(names[folderAt]);
        g_folderAfter = folderAt - 1;
        SaveTransaction::SetStepHook(&blockWithFolder);
        const auto unhook = qScopeGuard([] { SaveTransaction::SetStepHook(nullptr); });
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
        const int mode = existing[i] == "-"      ? newMode()
                         : existing[i] == "link" ? 0640
                                                 : existing[i].toInt(nullptr, 8);
        QCOMPARE(QString::number(modeOf(path(names[i])), 8), QString::number(mode, 8));
    }
    QCOMPARE(bytes(path("elsewhere")), QByteArray("linked content"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             names.size() + 1);
}

// A save whose process ends in the middle (before its commit, after any
// step of it, or after it) is settled from its record: the folder then holds
// all old or all new files, byte for byte and with their modes, and nothing
// else of the save; files that merely look like ours stay. The save's note
// comes back when all new files are in place. A target that has become
// another file than the old one is never replaced: it stays, and so does its
// new file under the staged name.
void TestSaveTransaction::cutShort_data()
{
    QTest::addColumn<int>("exitIndex");      // -1: while the files are written; 3: after the commit
    QTest::addColumn<bool>("exitInstalled"); // after the new file is in place, else after the old is kept
    // What becomes of a staged file not yet in place afterwards: "" stays,
    // "lost" gone, "replaced" another file under its name; or of the first
    // target not yet in place: "target replaced", "target rewritten" (in
    // place), "target removed".
    QTest::addColumn<QString>("stagedAfter");
    QTest::addColumn<bool>("expectNew");
    QTest::newRow("while writing") << -1 << false << QString() << false;
    QTest::newRow("after the commit") << 3 << true << QString() << true;
    QTest::newRow("after the commit, a target replaced") << 3 << true << "target replaced" << true;
    QTest::newRow("after 0 placed, a new target replaced") << 0 << true << "target replaced" << true;
    QTest::newRow("after 2 kept, the old target rewritten") << 2 << false << "target rewritten" << true;
    QTest::newRow("after 1 placed, the old target removed") << 1 << true << "target removed" << true;
    for (int k = 0; k < 3; ++k) {
        for (bool installed : {false, true}) {
            const QByteArray at = QByteArray::number(k) + (installed ? " placed" : " kept");
            QTest::newRow("after " + at) << k << installed << QString() << true;
            if (k == 2 && installed)
                continue; // no staged file is left
            for (const QString& after : {QStringLiteral("lost"), QStringLiteral("replaced")})
                QTest::newRow("after " + at + ", a staged file " + after.toLatin1())
                    << k << installed << after << false;
        }
    }
}

void TestSaveTransaction::cutShort()
{
    QFETCH(int, exitIndex);
    QFETCH(bool, exitInstalled);
    QFETCH(QString, stagedAfter);
    QFETCH(bool, expectNew);
    const QString records = SaveTransaction::RecordFolder(path("work"));
    QVERIFY(QDir().mkpath(path("work")));
    QVERIFY(QDir().mkpath(path("out")));
    const QStringList names{"a.pdf", "b.pdf", "c.pdf"};
    QVERIFY(writeFile(path("out/a.pdf"), "old a", 0600));
    QVERIFY(writeFile(path("out/c.pdf"), "old c", 0640));
    // Look-alikes of our hidden files, of a process that has ended.
    const QString dead = QString::number(endedPid());
    for (const QString& name :
         {QStringLiteral(".thesis.save-3999999-2.pdf"), ".a.save-" + dead + "-0.pdf",
          ".c.keep-" + dead + "-1.pdf", "..a.save-" + dead + "-0.part-" + dead + "-2.pdf",
          ".b.part-" + dead + "-3.pdf"})
        QVERIFY(writeFile(path("out/" + name), name.toUtf8()));
    const QStringList before = snapshot(path("out"));

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        g_exitIndex = exitIndex;
        g_exitInstalled = exitInstalled;
        SaveTransaction::SetStepHook(&exitAtStep);
        SaveTransaction save(records);
        QStringList staged;
        for (const QString& name : names)
            staged << save.Stage(path("out/" + name));
        for (int i = 0; i < names.size(); ++i) {
            if (!writeFile(staged[i], "new " + names[i].toLatin1()))
                ::_exit(1);
        }
        save.SetNote("the pages");
        if (exitIndex < 0) {
            // A writer's file for a staged one.
            const TargetFile part(staged[1]);
            ::_exit(!part.IsValid() || !writeFile(part.tempPath(), "half") ? 1 : kExitedAtStep);
        }
        ::_exit(save.Commit() && exitIndex == names.size() ? kExitedAtStep : 2);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), kExitedAtStep);
    QCOMPARE(QDir(records).entryList(QDir::Files).size(), 1);
    QString foreign; // a file of someone else's under a recorded name
    QVector<QPair<QString, QString>> unfinished;
    const QStringList staged =
        QDir(path("out")).entryList({".?.save-" + QString::number(child) + "-*"}, QDir::Files | QDir::Hidden);
    QStringList userFiles; // what the user changed, and the new file left for it
    if (stagedAfter.startsWith("target")) {
        const QString target = path("out/" + (staged.isEmpty() ? "a" : staged.first().mid(1, 1)) + ".pdf");
        if (stagedAfter == "target removed") {
            QVERIFY(QFile::remove(target));
        } else if (stagedAfter == "target rewritten") {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("the user's") > 0);
            // Written later than the save began, whatever the clock's steps.
            const struct timespec later[2] = {{UTIME_OMIT, 0}, {time(nullptr) + 3600, 0}};
            QCOMPARE(::futimens(file.handle(), later), 0);
        } else {
            QVERIFY(writeFile(target + "-made", "the user's"));
            QCOMPARE(::rename(QFile::encodeName(target + "-made").constData(),
                              QFile::encodeName(target).constData()),
                     0);
        }
        if (stagedAfter != "target removed")
            userFiles << QFileInfo(target).fileName();
        if (stagedAfter != "target removed" && !staged.isEmpty()) {
            unfinished.append({target, path("out/" + staged.first())});
            userFiles << staged.first();
        }
    } else if (!stagedAfter.isEmpty()) {
        QVERIFY(!staged.isEmpty());
        foreign = path("out/" + staged.last());
        if (stagedAfter == "lost") {
            QVERIFY(QFile::remove(foreign));
            foreign.clear();
        } else {
            // Made beside and renamed, so that it cannot get the inode back.
            QVERIFY(writeFile(path("out/foreign"), "foreign"));
            QCOMPARE(::rename(QFile::encodeName(path("out/foreign")).constData(),
                              QFile::encodeName(foreign).constData()),
                     0);
        }
    }

    // Only saves into the folder concerned are settled before a save there.
    QVERIFY(QDir().mkpath(path("elsewhere")));
    QCOMPARE(SaveTransaction::Recover(records, path("elsewhere")), 0);
    const QStringList tampered = snapshot(path("out"));
    QVector<SaveTransaction::Recovered> recovered;
    QCOMPARE(SaveTransaction::Recover(records, path("out"), &recovered), 1);
    const bool noted = expectNew && unfinished.isEmpty();
    QCOMPARE(recovered.size(), noted || !unfinished.isEmpty() ? 1 : 0);
    if (!recovered.isEmpty()) {
        QCOMPARE(recovered.first().note, noted ? QByteArray("the pages") : QByteArray());
        QCOMPARE(recovered.first().unfinished, unfinished);
        // The record of a save noted as done stays until it is forgotten.
        QCOMPARE(QFileInfo::exists(recovered.first().record), noted);
        SaveTransaction::Forget(recovered.first().record);
    }

    QStringList expected = before;
    if (expectNew) {
        QStringList made;
        for (const QString& line : before) {
            if (!line.startsWith("a.pdf ") && !line.startsWith("c.pdf "))
                made << line;
        }
        made << "a.pdf 600 " + QByteArray("new a.pdf").toHex();
        made << "b.pdf " + QString::number(newMode(), 8) + " " + QByteArray("new b.pdf").toHex();
        made << "c.pdf 640 " + QByteArray("new c.pdf").toHex();
        expected = made;
        // What the user put at a target stays, its new file beside it.
        for (const QString& name : qAsConst(userFiles)) {
            expected = expected.filter(QRegularExpression("^(?!" + QRegularExpression::escape(name) + " )"));
            expected += tampered.filter(QRegularExpression("^" + QRegularExpression::escape(name) + " "));
        }
    }
    expected.sort();
    auto sorted = [](QStringList lines) {
        lines.sort();
        return lines;
    };
    QCOMPARE(QDir(records).entryList(QDir::Files | QDir::Hidden), QStringList());
    if (!foreign.isEmpty()) {
        QCOMPARE(bytes(foreign), QByteArray("foreign"));
        QVERIFY(QFile::remove(foreign));
    }
    QCOMPARE(sorted(snapshot(path("out"))), expected);
    // Settled once: a second look changes nothing.
    QCOMPARE(SaveTransaction::Recover(records), 0);
    QCOMPARE(sorted(snapshot(path("out"))), expected);
}

// A record is settled only once its process has ended: not while it runs
// (process 1 always does; this test's own record is fresh), but when it has
// ended, even while its parent has not reaped it, or when this process has
// the id of an earlier one that wrote the record.
void TestSaveTransaction::recordOwners_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("settled");
    QTest::newRow("ended") << "ended" << true;
    QTest::newRow("ended, not reaped") << "zombie" << true;
    QTest::newRow("running") << "init" << false;
    QTest::newRow("this process") << "self" << false;
    QTest::newRow("an earlier process of this id") << "earlier self" << true;
}

void TestSaveTransaction::recordOwners()
{
    QFETCH(QString, owner);
    QFETCH(bool, settled);
    pid_t child = 0;
    const auto reap = qScopeGuard([&child] {
        if (child > 0)
            ::waitpid(child, nullptr, 0);
    });
    qint64 pid = getpid();
    if (owner == "ended") {
        pid = endedPid();
    } else if (owner == "init") {
        pid = 1;
    } else if (owner == "zombie") {
        // A child that has ended but is not reaped yet answers kill() too.
        child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        QTRY_VERIFY(bytes(QStringLiteral("/proc/%1/stat").arg(child)).contains(") Z "));
        pid = child;
    }
    const QString records = SaveTransaction::RecordFolder(m_dir->path());
    QVERIFY(QDir().mkpath(records));
    SaveRecord::Entry entry;
    entry.target = path("a.pdf");
    entry.staged = path(QStringLiteral(".a.save-%1-0.pdf").arg(pid));
    QVERIFY(writeFile(entry.staged, "staged"));
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(entry.staged).constData(), &st), 0);
    entry.stagedInode = quint64(st.st_ino);
    const QString record = records + QStringLiteral("/save-%1-0.rec").arg(pid);
    QVERIFY(SaveRecord::AppendStaged(record, entry));
    if (owner == "earlier self") {
        const struct timespec times[2] = {{946684800, 0}, {946684800, 0}}; // 2000-01-01
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(record).constData(), times, 0), 0);
    }
    QCOMPARE(SaveTransaction::Recover(records), settled ? 1 : 0);
    QCOMPARE(QFileInfo::exists(entry.staged), !settled);
    QCOMPARE(QFileInfo::exists(record), !settled);
}

// The real writers fill the staged files by renaming a complete file over
// each; a save that ends after some of them (before its commit) is undone
// whole: the folder is as before, byte for byte, and a file of someone else's
// put under a staged name afterwards stays, as does one named like a
// writer's file of that save.
void TestSaveTransaction::writersCutShort_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("written"); // files the writers finished
    QTest::addColumn<bool>("foreign");
    // The next writer's file is recorded but not yet renamed when the
    // process ends.
    QTest::addColumn<bool>("pending");
    for (const char* format : {"tiff", "pdf", "ofd"}) {
        QTest::addRow("%s, first of three written", format) << format << 1 << false << false;
        QTest::addRow("%s, all three written", format) << format << 3 << false << false;
        QTest::addRow("%s, all written, then a foreign file", format) << format << 3 << true << false;
    }
    for (const char* format : {"multi-tiff", "multi-pdf", "multi-ofd"}) {
        QTest::addRow("%s, written", format) << format << 1 << false << false;
        QTest::addRow("%s, written, then a foreign file", format) << format << 1 << true << false;
    }
    QTest::newRow("tiff, second recorded, not yet renamed") << "tiff" << 1 << false << true;
    QTest::newRow("multi-pdf, recorded, not yet renamed") << "multi-pdf" << 0 << false << true;
}

void TestSaveTransaction::writersCutShort()
{
    QFETCH(QString, format);
    QFETCH(int, written);
    QFETCH(bool, foreign);
    QFETCH(bool, pending);
    const QString records = SaveTransaction::RecordFolder(path("work"));
    for (const QString& dir : {path("work"), path("pages"), path("out")})
        QVERIFY(QDir().mkpath(dir));
    const QList<QString> pages{path("pages/1.jpg"), path("pages/2.jpg")};
    for (int i = 0; i < pages.size(); ++i)
        QVERIFY(write(pattern(80 + 20 * i, 60, QImage::Format_RGB32, 150), pages[i]));
    const QString extension = format.section('-', -1);
    const bool multi = format.startsWith("multi-");
    QStringList targets;
    for (const char* name : {"a", "b", "c"})
        targets << path("out/" + QString(name) + "." + extension);
    if (multi)
        targets = targets.mid(0, 1);
    QVERIFY(writeFile(targets.first(), "old " + targets.first().toUtf8(), 0640));
    const QStringList before = snapshot(path("out"));

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        SaveTransaction save(records);
        QStringList staged;
        for (const QString& target : targets) {
            staged << save.Stage(target);
            if (staged.last().isEmpty())
                ::_exit(1);
        }
        ImageProc proc;
        for (int i = 0; i < written; ++i) {
            if (!writeWithWriter(proc, format, multi ? pages : pages.mid(i % pages.size(), 1), staged[i]))
                ::_exit(2);
        }
        ::_exit(kExitedAtStep); // before the commit, the transaction never cleans up
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), kExitedAtStep);

    // The writers have put their files under the staged names.
    const QStringList staged =
        QDir(path("out"))
            .entryList({"*.save-" + QString::number(child) + "-*"}, QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(staged.size(), targets.size());
    int filled = 0;
    for (const QString& name : staged)
        filled += QFileInfo(path("out/" + name)).size() > 0 ? 1 : 0;
    QCOMPARE(filled, written);
    if (pending) {
        // What the process leaves when it ends between recording a writer's
        // complete file and renaming it over the staged one.
        const QString next = path("out/" + staged.at(written));
        const QFileInfo info(next);
        const QString part = QStringLiteral("%1/.%2.part-%3-9.%4")
                                 .arg(info.absolutePath(), info.completeBaseName())
                                 .arg(child)
                                 .arg(info.suffix());
        QVERIFY(writeFile(part, "the complete new file"));
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(part).constData(), &st), 0);
        SaveRecord::Entry entry;
        entry.target = targets.at(written);
        entry.staged = next;
        entry.stagedInode = quint64(st.st_ino);
        const QStringList record = QDir(records).entryList(QDir::Files);
        QCOMPARE(record.size(), 1);
        QVERIFY(SaveRecord::AppendPart(records + "/" + record.first(), {next, part, entry.stagedInode}));
        QVERIFY(SaveRecord::AppendWritten(records + "/" + record.first(), entry));
    }
    const QFileInfo first(path("out/" + staged.first()));
    const QString lookAlike = QStringLiteral("%1/.%2.part-%3-77.%4")
                                  .arg(first.absolutePath(), first.completeBaseName())
                                  .arg(child)
                                  .arg(first.suffix());
    QVERIFY(writeFile(lookAlike, "the user's"));
    QString planted;
    if (foreign) {
        // Made beside and renamed, so that it cannot have a recorded inode.
        planted = path("out/" + staged.first());
        QVERIFY(writeFile(path("out/foreign"), "foreign"));
        QCOMPARE(::rename(QFile::encodeName(path("out/foreign")).constData(),
                          QFile::encodeName(planted).constData()),
                 0);
    }

    QCOMPARE(SaveTransaction::Recover(records, path("out")), 1);
    QCOMPARE(QDir(records).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(bytes(lookAlike), QByteArray("the user's"));
    QVERIFY(QFile::remove(lookAlike));
    if (foreign) {
        QCOMPARE(bytes(planted), QByteArray("foreign"));
        QVERIFY(QFile::remove(planted));
    }
    QCOMPARE(snapshot(path("out")), before);
}

// A writer whose file cannot be recorded (when it is made, or when it is
// about to be renamed over the staged file) does not rename it: the save
// fails, and the transaction, never committed, leaves nothing behind of
// either target (one replacing a file, one new).
void TestSaveTransaction::unrecordedWriterFails()
{
    const QString records = SaveTransaction::RecordFolder(path("work"));
    QVERIFY(QDir().mkpath(path("work")));
    QVERIFY(write(pattern(80, 60, QImage::Format_RGB32, 150), path("1.jpg")));
    QVERIFY(QDir().mkpath(path("out")));
    QVERIFY(writeFile(path("out/a.tiff"), "old a", 0600));
    const QStringList before = snapshot(path("out"));
    QString record;
    {
        SaveTransaction save(records);
        const QString staged = save.Stage(path("out/a.tiff"));
        QVERIFY(!staged.isEmpty());
        QVERIFY(writeFile(save.Stage(path("out/b.tiff")), "new b"));
        const QStringList names = QDir(records).entryList(QDir::Files);
        QCOMPARE(names.size(), 1);
        TargetFile made(staged);
        QVERIFY(made.IsValid() && writeFile(made.tempPath(), "complete"));
        // The record can no longer be written to (a folder under its name
        // holds even against root).
        record = records + "/" + names.first();
        QVERIFY(QFile::rename(record, record + ".aside"));
        QVERIFY(QDir().mkdir(record));
        QVERIFY(!made.Commit());
        ImageProc proc;
        QVERIFY(!proc.SaveAs(path("1.jpg"), staged, 0.0, true));
        QCOMPARE(QFileInfo(staged).size(), 0);
    }
    QCOMPARE(snapshot(path("out")), before);
    QVERIFY(QDir().rmdir(record));
}

// A record is read only as it was written whole: staged lines (a last line
// cut short is dropped), or a commit with all its entries and its end.
void TestSaveTransaction::recordText_data()
{
    const QByteArray a = QByteArray("/out/a.pdf").toBase64(),
                     sa = QByteArray("/out/.a.save-1-0.pdf").toBase64();
    const QByteArray b = QByteArray("/out/b.pdf").toBase64(),
                     sb = QByteArray("/out/.b.save-1-1.pdf").toBase64();
    const QByteArray header = "scanvy-save 1\n";
    const QByteArray staged = "staged 11 " + a + " " + sa + "\nstaged 12 " + b + " " + sb + "\n";
    const QByteArray commit =
        "commit\nentry 11 0 " + a + " " + sa + " -\nentry 12 5 " + b + " " + sb + " " + b + "\n";
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("entries"); // -1: no record
    QTest::addColumn<bool>("committing");
    QTest::newRow("staged files") << header + staged << 2 << false;
    QTest::newRow("staged, the last line cut short") << header + staged.chopped(3) << 1 << false;
    QTest::newRow("whole commit") << header + commit + "end\n" << 2 << true;
    QTest::newRow("commit without its end") << header + commit << -1 << false;
    QTest::newRow("commit, its end cut short") << header + commit + "en" << -1 << false;
    QTest::newRow("another header") << "scanvy-save 2\n" + staged << -1 << false;
}

void TestSaveTransaction::recordText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, entries);
    QFETCH(bool, committing);
    QVERIFY(writeFile(path("record"), text));
    SaveRecord record;
    QCOMPARE(SaveRecord::Read(path("record"), &record), entries >= 0);
    if (entries >= 0) {
        QCOMPARE(record.entries.size(), entries);
        QCOMPARE(record.committing, committing);
    }
}

QTEST_MAIN(TestSaveTransaction)
#include "tst_savetransaction.moc"
