#include "imageproc.h"
#include "syscalltrace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

QByteArray Hash(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                                          : QByteArray("<unreadable>");
}

// The child: turns the page right, again and again, until it is killed.
int RotateForever(const QString& page)
{
    ImageProc proc;
    for (;;) {
        proc.SaveAs(page, page, 90.0, true);
    }
}

} // namespace

// A page file rewritten turned in place (ImageProc::SaveAs with the same
// file as source and target); a process killed at any moment of that
// rewrite must leave the page file whole, in its old or its new
// orientation, never cut off.
class TestPageRewrite : public QObject {
    Q_OBJECT

private slots:
    void killedWhileTurning_data();
    void killedWhileTurning();
    void turnFlushedBeforeItCounts_data();
    void turnFlushedBeforeItCounts();

private:
    QHash<QString, QList<QByteArray>> m_states;
};

void TestPageRewrite::killedWhileTurning_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("writes"); // writes into the folder before the kill
    for (const char* suffix : {"jpg", "tiff"}) {
        for (int writes : {1, 12}) {
            QTest::addRow("%s, after %d writes", suffix, writes) << QString::fromLatin1(suffix) << writes;
        }
    }
}

void TestPageRewrite::killedWhileTurning()
{
    QFETCH(QString, suffix);
    QFETCH(int, writes);

    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("0001.") + suffix);
    QImage image(620, 877, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(0, 0, 150, 100, Qt::red);
    QVERIFY(image.save(page));

    // The states the page passes through, turned 0, 1, 2, ... times (the
    // same for every row of a format).
    QList<QByteArray>& states = m_states[suffix];
    if (states.isEmpty()) {
        const QString model = dir.filePath(QStringLiteral("model/0001.") + suffix);
        QVERIFY(QDir().mkpath(QFileInfo(model).path()));
        QVERIFY(QFile::copy(page, model));
        ImageProc proc;
        states << Hash(model);
        for (int i = 0; i < 30; ++i) {
            QVERIFY(proc.SaveAs(model, model, 90.0, true));
            states << Hash(model);
        }
    }
    QCOMPARE(Hash(page), states.first());

    const int watch = inotify_init1(IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_MODIFY) >= 0);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--turn-forever"), page});
    QVERIFY(child.waitForStarted());
    int seen = 0;
    char buffer[4096];
    while (seen < writes) {
        pollfd waiting{watch, POLLIN, 0};
        QVERIFY2(poll(&waiting, 1, 30000) > 0, "the page was not rewritten");
        const ssize_t got = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            seen += 1;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    close(watch);

    const QByteArray left = Hash(page);
    QVERIFY2(states.contains(left), "the page file is not one of the page's whole states");
    QVERIFY(!QImage(page).isNull());
}

void TestPageRewrite::turnFlushedBeforeItCounts_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("jpg") << "jpg";
    QTest::newRow("tiff") << "tiff";
}

// The turned page is written beside the page, flushed to disk, renamed over
// the page, and the folder flushed, in this order, before the turn is done:
// a power cut never leaves the page's name on a file without its data.
void TestPageRewrite::turnFlushedBeforeItCounts()
{
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("0001.") + suffix);
    QImage image(200, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(image.save(page));

    SyscallTrace trace;
    const QString why = trace.Start(QStringLiteral("fdatasync,fsync,rename,renameat,renameat2,link,access"),
                                    dir.filePath(QStringLiteral("trace.log")));
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    ImageProc proc;
    const bool turned = proc.SaveAs(page, page, 90.0, true);
    ::access(QFile::encodeName(page + ".turned").constData(), F_OK);
    const QList<QByteArray> lines = trace.Stop();
    QVERIFY(turned);
    QCOMPARE(QImage(page).size(), QSize(300, 200));

    const QByteArray name = QFile::encodeName(page);
    const QByteArray temp = QFile::encodeName(dir.path()) + "/.0001.part-";
    const int sync = SyscallTrace::Find(lines, 0, {"sync(", "<" + temp, ") = 0"});
    const int rename = SyscallTrace::Find(lines, sync, {"rename", "\"" + temp, "\"" + name + "\"", ") = 0"});
    const int folderSync =
        SyscallTrace::Find(lines, rename, {"fsync(", "<" + QFile::encodeName(dir.path()) + ">", ") = 0"});
    const int done = SyscallTrace::Find(lines, 0, {"access(\"" + name + ".turned\""});
    const QByteArray where = lines.join('\n');
    QVERIFY2(sync >= 0 && rename > sync, where.constData());
    QVERIFY2(folderSync > rename && done > folderSync, where.constData());
}

int main(int argc, char* argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--turn-forever") == 0) {
        QCoreApplication app(argc, argv);
        return RotateForever(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestPageRewrite test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pagerewrite.moc"
