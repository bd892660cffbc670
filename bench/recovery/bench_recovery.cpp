// What the start after a crash costs with hundreds of pages: the check of
// every page file and the journal's own writes, each against a peer measured
// in the same run.
#include "journalwriter.h"
#include "sessionjournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double Ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString scanDir = dir.path() + QStringLiteral("/scanimages");
    QDir().mkpath(scanDir);

    // An A4 sheet at 150 dpi with some text-like detail, as JPEG.
    QImage sheet(1240, 1754, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int y = 80; y < 1700; y += 28) {
        painter.drawText(
            60, y, QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(3));
    }
    painter.end();
    SessionJournal::State state;
    qint64 bytes = 0;
    for (int i = 1; i <= pages; ++i) {
        const QString path = scanDir + QStringLiteral("/%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        sheet.save(path, "JPEG", 85);
        bytes += QFileInfo(path).size();
        state.pages << path;
    }
    state.scanNumber = pages + 1;
    SessionJournal journal(dir.path());
    journal.Record(state);

    // Peer: reading every page file once, whole (warm cache, like the check).
    QElapsedTimer timer;
    timer.start();
    qint64 read = 0;
    for (const QString& page : qAsConst(state.pages)) {
        QFile file(page);
        file.open(QIODevice::ReadOnly);
        read += file.readAll().size();
    }
    const double peerMs = Ms(timer);
    timer.restart();
    const SessionJournal::State recovered = journal.Recover();
    const double recoverMs = Ms(timer);

    // Peer of a journal write: the same bytes written and renamed without
    // any flush (the journal before it was flushed).
    timer.restart();
    const int rounds = 50;
    for (int i = 0; i < rounds; ++i) {
        state.current = i;
        journal.Record(state);
    }
    const double recordMs = Ms(timer) / rounds;
    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        QFile file(dir.path() + QStringLiteral("/peer.json.new"));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(QByteArray(int(QFileInfo(journal.FilePath()).size()), 'x'));
        file.close();
        std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(dir.path() + QStringLiteral("/peer.json")).constData());
    }
    const double peerRecordMs = Ms(timer) / rounds;

    // What a change of the page list costs the interface thread now: a post.
    JournalWriter writer(dir.path());
    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        state.current = i;
        writer.Post(state);
    }
    const double postMs = Ms(timer) / rounds;
    writer.Flush();

    std::printf("pages %d (%.1f MB), recovered %d, damaged %d\n", pages, bytes / 1e6,
                int(recovered.pages.size()), recovered.damaged);
    std::printf("read every page (peer)      %8.1f ms\n", peerMs);
    std::printf("Recover with page checks    %8.1f ms  (%.2f x peer)\n", recoverMs, recoverMs / peerMs);
    std::printf("journal write, flushed      %8.2f ms\n", recordMs);
    std::printf("same bytes, no flush (peer) %8.2f ms  (%.1f x peer)\n", peerRecordMs,
                recordMs / peerRecordMs);
    std::printf("post to the writer thread   %8.1f us  (1/%.0f of a flushed write)\n", postMs * 1000,
                recordMs / postMs);
    return read > 0 ? 0 : 1;
}
