// What the save record costs: the same pages saved as single files through
// SaveTransaction with a record folder (every staged file recorded, and each
// writer's complete file recorded and flushed before it takes the staged
// name) and without one (no record at all), the two alternating round by
// round; the fastest round of each counts.
//
//   bench_savetransaction [pages] [work folder] [rounds] [format]
//
// `format` is the extension of the saved files: "jpg" (the default: the
// page's bytes are copied, so the record's share is the largest) or "tiff".
// Prints a markdown table.
#include "imageproc.h"
#include "savetransaction.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

// Saves every page into `out` as "<n>.<format>" in one transaction; the
// seconds taken, or -1 when anything failed.
double SaveAll(const QList<QString>& pages, const QString& out, const QString& format,
               const QString& recordFolder)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    ImageProc proc;
    QElapsedTimer timer;
    timer.start();
    SaveTransaction save(recordFolder);
    for (int i = 0; i < pages.size(); ++i) {
        const QString staged = save.Stage(QStringLiteral("%1/%2.%3").arg(out).arg(i + 1).arg(format));
        if (staged.isEmpty() || !proc.SaveAs(pages.at(i), staged, 0.0, true))
            return -1;
    }
    if (!save.Commit())
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 200;
    const QString work =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/bench-savetransaction");
    const int rounds = argc > 3 ? atoi(argv[3]) : 5;
    const QString format = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("jpg");
    QDir(work).removeRecursively();
    QDir().mkpath(work + "/pages");
    QList<QString> pages;
    for (int i = 0; i < count; ++i) {
        // A4 at 100 dpi, a different colour per page.
        QImage page(827, 1169, QImage::Format_RGB32);
        page.fill(QColor::fromHsv(i * 7 % 360, 80, 230));
        pages << QStringLiteral("%1/pages/%2.jpg").arg(work).arg(i + 1, 4, 10, QLatin1Char('0'));
        if (!page.save(pages.last(), "JPEG", 85)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(pages.last()));
            return 1;
        }
    }
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        for (int recorded = 0; recorded < 2; ++recorded) {
            const double s = SaveAll(pages, work + "/out", format, recorded ? work + "/saves" : QString());
            if (s < 0) {
                std::fprintf(stderr, "save failed\n");
                return 1;
            }
            best[recorded] = qMin(best[recorded], s);
        }
    }
    std::printf("| %d pages as %s | without record (s) | with record (s) | ratio with/without |\n", count,
                qPrintable(format));
    std::printf("|---|---|---|---|\n");
    std::printf("| best of %d rounds | %.3f | %.3f | %.2f |\n", rounds, best[0], best[1], best[1] / best[0]);
    return 0;
}
