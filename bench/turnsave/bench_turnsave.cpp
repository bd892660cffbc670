// Saving turned JPEG pages: generated A4 300 dpi colour JPEG pages, turned
// by a quarter, saved as one JPEG file each, as one PDF and as one
// multi-page TIFF, against the same saves of the unturned pages and against
// decoding, turning and encoding each page (what a save must do when the
// blocks do not allow a turn without decoding).
//
//   bench_turnsave [pages] [work folder] [rounds]
//
// The pages are 2480 x 3504 (whole 16-pixel block rows and columns, so every
// quarter turn can be made without decoding) and 2480 x 3508 (A4 at 300 dpi:
// a partial block row, so that a turn by 90 is decoded and encoded). The
// steps alternate round by round in this one process; the fastest round of
// each counts. Prints a markdown table.
#include "benchpages.h"
#include "imageproc.h"
#include "pageimage.h"
#include "pageturn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

// Decoded, turned and encoded at the quality single JPEG saves use.
bool decodeTurnEncode(const QString& src, const QString& dst, int angle)
{
    const QImage turned = TurnImage(LoadPageImage(src), angle);
    QImageWriter writer(dst, "JPEG");
    writer.setQuality(80);
    return !turned.isNull() && writer.write(turned);
}

struct Step {
    const char* name = "";
    std::function<bool(int round)> run;
    double best = std::numeric_limits<double>::max();
    qint64 bytes = 0;
    QString output; // file or folder whose size is reported
};

qint64 sizeOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return info.size();
    qint64 total = 0;
    for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files))
        total += f.size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? QString(argv[1]).toInt() : 100;
    const QString work = argc > 2 ? QString(argv[2]) : QDir::tempPath() + "/bench_turnsave";
    const int rounds = argc > 3 ? QString(argv[3]).toInt() : 3;
    QDir(work).removeRecursively();
    QDir().mkpath(work + "/in");

    // Ten distinct pages of each height, copied to `count` files.
    QList<QString> whole, partial;
    for (int i = 0; i < count; ++i) {
        const QString a = QString("%1/in/whole%2.jpg").arg(work).arg(i, 3, 10, QChar('0'));
        const QString b = QString("%1/in/a4%2.jpg").arg(work).arg(i, 3, 10, QChar('0'));
        if (i < 10) {
            if (!BenchPages::Document(i, 3504).save(a, "JPEG", 85) ||
                !BenchPages::Document(i, 3508).save(b, "JPEG", 85))
                return 1;
        } else if (!QFile::copy(whole.at(i % 10), a) || !QFile::copy(partial.at(i % 10), b)) {
            return 1;
        }
        whole << a;
        partial << b;
    }
    auto turned = [](const QList<QString>& pages, int angle) {
        QList<SavePage> list;
        for (const QString& p : pages)
            list.append(SavePage{p, angle});
        return list;
    };
    auto folder = [&work](const char* name) {
        const QString dir = work + "/" + name;
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        return dir;
    };

    ImageProc proc;
    QList<Step> steps;
    auto add = [&steps](const char* name, const QString& output, std::function<bool(int)> run) {
        Step step;
        step.name = name;
        step.run = std::move(run);
        step.output = output;
        steps.append(step);
    };
    // Each page saved as a JPEG file of its own into a fresh folder.
    auto jpegFiles = [&](const QList<QString>& pages, int angle, const char* name) {
        const QString out = folder(name);
        for (int i = 0; i < pages.size(); ++i)
            if (!proc.SaveAs(SavePage{pages.at(i), angle}, QString("%1/%2.jpg").arg(out).arg(i), true))
                return false;
        return true;
    };
    add("JPEG files, turned 90, whole blocks (no decoding)", work + "/lossless",
        [&](int) { return jpegFiles(whole, 90, "lossless"); });
    add("JPEG files, decoded, turned 90 and encoded (peer)", work + "/peer", [&](int) {
        const QString out = folder("peer");
        for (int i = 0; i < count; ++i)
            if (!decodeTurnEncode(whole.at(i), QString("%1/%2.jpg").arg(out).arg(i), 90))
                return false;
        return true;
    });
    add("JPEG files, A4 turned 90 (partial block row: decoded)", work + "/a4",
        [&](int) { return jpegFiles(partial, 90, "a4"); });
    add("JPEG files, A4 turned 270 (no decoding)", work + "/a4270",
        [&](int) { return jpegFiles(partial, 270, "a4270"); });
    add("PDF, A4 unturned", work + "/plain.pdf",
        [&](int) { return proc.SaveMultiPDF(turned(partial, 0), work + "/plain.pdf"); });
    add("PDF, A4 turned 90", work + "/turned.pdf",
        [&](int) { return proc.SaveMultiPDF(turned(partial, 90), work + "/turned.pdf"); });
    add("multi-page TIFF, whole blocks unturned", work + "/plain.tiff",
        [&](int) { return proc.SaveMultiTiff(turned(whole, 0), work + "/plain.tiff"); });
    add("multi-page TIFF, whole blocks turned 90", work + "/turned.tiff",
        [&](int) { return proc.SaveMultiTiff(turned(whole, 90), work + "/turned.tiff"); });

    for (int round = 0; round < rounds; ++round) {
        for (Step& step : steps) {
            QElapsedTimer timer;
            timer.start();
            if (!step.run(round)) {
                std::fprintf(stderr, "%s failed\n", step.name);
                return 1;
            }
            step.best = std::min(step.best, timer.nsecsElapsed() / 1e9);
            step.bytes = sizeOf(step.output);
        }
    }
    std::printf("| %d pages | seconds | per page (ms) | output (MB) |\n|---|---:|---:|---:|\n", count);
    for (const Step& step : steps)
        std::printf("| %s | %.2f | %.1f | %.1f |\n", step.name, step.best, step.best * 1000 / count,
                    step.bytes / 1e6);
    std::printf("\nTurned without decoding against the peer: %.2fx faster\n",
                steps.at(1).best / steps.at(0).best);
    QDir(work).removeRecursively();
    return 0;
}
