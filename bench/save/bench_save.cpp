// Saving benchmark: 50 generated A4 300 dpi colour JPEG pages saved as
// multi-page TIFF, PDF and OFD and as single TIFF/PDF files, against the
// reference command lines of libtiff's tools on the same pages.
//
//   bench_save [pages] [work folder]
//
// Every measured step runs in a child process: the parent reports its wall
// time and the child's peak resident memory (wait4). Prints a markdown table.
#include "imageproc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs the command lines one after the other in fresh processes: total wall
// time, largest peak resident memory of any of them.
Result measure(const QList<QStringList>& commands)
{
    Result r;
    r.ok = true;
    QElapsedTimer timer;
    timer.start();
    for (const QStringList& args : commands) {
        std::vector<QByteArray> raw;
        for (const QString& a : args)
            raw.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& a : raw)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        r.peakKiB = qMax(r.peakKiB, long(usage.ru_maxrss));
        r.ok = r.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    r.seconds = timer.nsecsElapsed() / 1e9;
    return r;
}

Result measure(const QStringList& command)
{
    return measure(QList<QStringList>{command});
}

// A page that compresses like a scanned document: paper tone, text-like
// strokes and a photo area.
QImage makePage(int index)
{
    QImage page(2480, 3508, QImage::Format_RGB32);
    page.fill(qRgb(246, 244, 238));
    QPainter p(&page);
    p.setPen(QPen(QColor(30, 30, 40), 3));
    quint32 seed = 1234567u + quint32(index) * 7919u;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int line = 0; line < 70; ++line) {
        const int y = 300 + line * 42;
        for (int x = 250; x < 2230;) {
            const int w = 20 + int(next() % 90);
            p.drawLine(x, y, x + w, y + int(next() % 20) - 10);
            x += w + 18;
        }
    }
    QLinearGradient g(0, 0, 800, 600);
    g.setColorAt(0, QColor(40 + index, 90, 160));
    g.setColorAt(1, QColor(220, 120, 60));
    p.fillRect(1400, 400, 800, 600, g);
    p.end();
    page.setDotsPerMeterX(qRound(300 / 0.0254));
    page.setDotsPerMeterY(qRound(300 / 0.0254));
    return page;
}

QString row(const QString& what, const Result& r, const QString& note = QString())
{
    return QString("| %1 | %2 | %3 | %4 |")
        .arg(what)
        .arg(r.ok ? QString::number(r.seconds, 'f', 2) : QString("FAILED"))
        .arg(r.peakKiB / 1024.0, 0, 'f', 0)
        .arg(note);
}

QString ratio(const Result& ours, const Result& ref)
{
    return QString("ours/reference = %1").arg(ours.seconds / ref.seconds, 0, 'f', 2);
}

} // namespace

// One measured step, run in its own process: bench_save --step <name> <pages> <work folder>
int runStep(const QString& step, int count, const QString& work)
{
    QList<QString> pages;
    for (int i = 0; i < count; ++i)
        pages << work + QString("/pages/page%1.jpg").arg(i, 4, 10, QChar('0'));
    const QString out = work + "/out";
    ImageProc proc;
    bool ok = true;
    if (step == "convert") {
        for (int i = 0; i < count && ok; ++i)
            ok = QImage(pages[i]).save(out + QString("/conv%1.tif").arg(i), "TIFF");
    } else if (step == "multitiff") {
        ok = proc.SaveMultiTiff(pages, out + QString("/all%1.tiff").arg(count));
    } else if (step == "multipdf") {
        ok = proc.SaveMultiPDF(pages, out + QString("/all%1.pdf").arg(count));
    } else if (step == "multiofd") {
        ok = proc.SaveMultiOFD(pages, out + QString("/all%1.ofd").arg(count));
    } else if (step == "singletiff") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SaveAs(pages[i], out + QString("/one%1.tiff").arg(i), 0.0, true);
    } else if (step == "singlepdf") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SavePDF(pages[i], out + QString("/one%1.pdf").arg(i));
    } else if (step == "singleofd") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SaveOFD(pages[i], out + QString("/one%1.ofd").arg(i));
    } else {
        ok = false;
    }
    return ok ? 0 : 1;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == "--step")
        return runStep(args[2], args[3].toInt(), args[4]);

    const int count = args.size() > 1 ? args[1].toInt() : 50;
    const QString work = args.size() > 2 ? args[2] : QDir::tempPath() + "/scanvy-bench-save";
    const QString pagesDir = work + "/pages";
    const QString out = work + "/out";
    QDir().mkpath(pagesDir);
    QDir(out).removeRecursively();
    QDir().mkpath(out);

    QList<QString> pages, tiffs;
    for (int i = 0; i < count; ++i) {
        const QString jpg = pagesDir + QString("/page%1.jpg").arg(i, 4, 10, QChar('0'));
        const QString tif = pagesDir + QString("/page%1.tif").arg(i, 4, 10, QChar('0'));
        if (!QFileInfo::exists(jpg) || !QFileInfo::exists(tif)) {
            const QImage page = makePage(i);
            if (!page.save(jpg, "JPEG", 85) || !page.convertToFormat(QImage::Format_RGB888).save(tif, "TIFF"))
                return 1;
        }
        pages << jpg;
        tiffs << tif;
    }
    qint64 jpegBytes = 0;
    for (const QString& p : pages)
        jpegBytes += QFileInfo(p).size();
    const QString self = app.applicationFilePath();
    auto step = [&](const QString& name, int n) {
        return measure(QStringList{self, "--step", name, QString::number(n), work});
    };

    const Result refConvert = step("convert", count);
    const Result refTiff =
        measure(QStringList{"tiffcp", "-c", "jpeg", "-r", "16"} + tiffs + QStringList{out + "/ref.tif"});
    const Result refPdf = measure(QStringList{"tiff2pdf", "-j", "-o", out + "/ref.pdf", out + "/ref.tif"});
    Result refPipeline = refTiff;
    refPipeline.seconds += refPdf.seconds;
    refPipeline.peakKiB = qMax(refTiff.peakKiB, refPdf.peakKiB);
    QList<QStringList> perPageTiffcp, perPageTiff2pdf;
    for (int i = 0; i < count; ++i) {
        perPageTiffcp << QStringList{
            "tiffcp", "-c", "jpeg", "-r", "16", tiffs[i], out + QString("/ref%1.tif").arg(i)};
        perPageTiff2pdf << QStringList{"tiff2pdf", "-j", "-o", out + QString("/ref%1.pdf").arg(i), tiffs[i]};
    }
    const Result refSingleTiff = measure(perPageTiffcp);
    const Result refSinglePdf = measure(perPageTiff2pdf);

    const Result multiTiff = step("multitiff", count);
    const Result multiPdf = step("multipdf", count);
    const Result multiOfd = step("multiofd", count);
    const Result singleTiff = step("singletiff", count);
    const Result singlePdf = step("singlepdf", count);
    const Result singleOfd = step("singleofd", count);
    const int few = qMax(1, count / 5);
    const Result fewTiff = step("multitiff", few);
    const Result fewPdf = step("multipdf", few);
    const Result fewOfd = step("multiofd", few);

    QStringList lines;
    lines << QString("%1 pages of 2480 x 3508 pixels (A4, 300 dpi), colour JPEG, %2 MB in all.")
                 .arg(count)
                 .arg(jpegBytes / 1048576.0, 0, 'f', 1);
    lines << ""
          << "| Step | Time (s) | Peak memory (MiB) | Note |"
          << "|---|---|---|---|";
    lines << row("reference: pages to TIFF with QImage (input of the reference, not counted)", refConvert);
    lines << row("reference: `tiffcp -c jpeg -r 16` of all pages", refTiff);
    lines << row("reference: `tiff2pdf -j` of that file", refPdf);
    lines << row("reference: multi-page PDF pipeline (both)", refPipeline);
    lines << row("reference: `tiffcp -c jpeg -r 16` per page", refSingleTiff);
    lines << row("reference: `tiff2pdf -j` per page", refSinglePdf);
    lines << row("ours: SaveMultiTiff", multiTiff, ratio(multiTiff, refTiff));
    lines << row(
        "ours: SaveMultiPDF", multiPdf,
        ratio(multiPdf, refPipeline) +
            QString("; against tiff2pdf alone %1").arg(multiPdf.seconds / refPdf.seconds, 0, 'f', 2));
    lines << row("ours: SaveMultiOFD", multiOfd);
    lines << row("ours: SaveAs to TIFF, per page", singleTiff, ratio(singleTiff, refSingleTiff));
    lines << row("ours: SavePDF, per page", singlePdf, ratio(singlePdf, refSinglePdf));
    lines << row("ours: SaveOFD, per page", singleOfd);
    lines << row(QString("ours: SaveMultiTiff, %1 pages").arg(few), fewTiff);
    lines << row(QString("ours: SaveMultiPDF, %1 pages").arg(few), fewPdf);
    lines << row(QString("ours: SaveMultiOFD, %1 pages").arg(few), fewOfd);
    std::printf("%s\n", qPrintable(lines.join('\n')));
    return 0;
}
