// Saving benchmark: 50 generated A4 300 dpi colour JPEG pages saved as
// multi-page TIFF, PDF and OFD and as single TIFF/PDF files, against the
// reference command lines of libtiff's tools on the same pages; the same
// pages as uncompressed TIFF saved as PDF (size against `tiff2pdf -j`), and
// as 1-bit pages saved as OFD and PDF (sizes).
//
//   bench_save [pages] [work folder] [repetitions]
//   bench_save tiff <pages> <work folder> <rounds>
//
// The second form measures only the multi-page TIFF of the JPEG pages
// against `tiffcp -c jpeg -r 16` of the same pages (as uncompressed TIFF), the two
// alternating round by round; the fastest round of each counts.
//
// Every measured step runs in a child process: the parent reports its wall
// time, the save calls' time measured inside the child and the child's own
// peak resident memory; each step runs three times and the fastest run
// counts. Prints a markdown table.
#include "benchpages.h"
#include "imageproc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>

#include <JlCompress.h>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    double seconds = 0;
    qint64 bytes = -1;       // size of what the step wrote, where measured
    double callSeconds = -1; // the save calls alone, inside the process
    long peakKiB = 0;
    bool ok = false;
};

// Runs the command lines one after the other in fresh processes: total wall
// time, largest peak resident memory of any of them.
Result measureOnce(const QList<QStringList>& commands)
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

// Repetitions of every step; the fastest run counts (the machine is shared).
int g_repeats = 3;

// The fastest of g_repeats runs; `after` reads what the run left behind.
Result measure(const QList<QStringList>& commands, const std::function<void(Result*)>& after = nullptr)
{
    Result best;
    for (int i = 0; i < g_repeats; ++i) {
        Result r = measureOnce(commands);
        if (after)
            after(&r);
        if (i == 0 || (r.ok && r.seconds < best.seconds) || !best.ok)
            best = r;
    }
    return best;
}

Result measure(const QStringList& command)
{
    return measure(QList<QStringList>{command});
}

double calls(const Result& r)
{
    return r.callSeconds >= 0 ? r.callSeconds : r.seconds;
}

QString row(const QString& what, const Result& r, const QString& note = QString())
{
    return QString("| %1 | %2 | %3 | %4 | %5 |")
        .arg(what)
        .arg(r.ok ? QString::number(r.seconds, 'f', 2) : QString("FAILED"))
        .arg(r.callSeconds >= 0 ? QString::number(r.callSeconds, 'f', 2) : QString("-"))
        .arg(r.peakKiB / 1024.0, 0, 'f', 0)
        .arg(note);
}

QString ratio(const Result& ours, const Result& ref)
{
    return QString("%1 (save calls %2)")
        .arg(ours.seconds / ref.seconds, 0, 'f', 2)
        .arg(calls(ours) / calls(ref), 0, 'f', 2);
}

} // namespace

// Peak resident memory of this process (VmHWM), in KiB.
long peakKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// One measured step, run in its own process: bench_save --step <name> <pages> <work folder>
int runStep(const QString& step, int count, const QString& work)
{
    QList<QString> pages, tiffs, bilevel;
    for (int i = 0; i < count; ++i) {
        pages << work + QString("/pages/page%1.jpg").arg(i, 4, 10, QChar('0'));
        tiffs << work + QString("/pages/page%1.tif").arg(i, 4, 10, QChar('0'));
        bilevel << work + QString("/pages/bw%1.tiff").arg(i, 4, 10, QChar('0'));
    }
    const QString out = work + "/out";
    ImageProc proc;
    bool ok = true;
    QElapsedTimer timer;
    timer.start();
    if (step == "convert") {
        for (int i = 0; i < count && ok; ++i)
            ok = QImage(pages[i]).save(out + QString("/conv%1.tif").arg(i), "TIFF");
    } else if (step == "multitiff") {
        ok = proc.SaveMultiTiff(pages, out + QString("/all%1.tiff").arg(count));
    } else if (step == "multipdf") {
        ok = proc.SaveMultiPDF(pages, out + QString("/all%1.pdf").arg(count));
    } else if (step == "multiofd") {
        ok = proc.SaveMultiOFD(pages, out + QString("/all%1.ofd").arg(count));
    } else if (step == "tiffpdf") {
        ok = proc.SaveMultiPDF(tiffs, out + QString("/tiffpdf%1.pdf").arg(count));
    } else if (step == "bwofd") {
        ok = proc.SaveMultiOFD(bilevel, out + QString("/bwofd%1.ofd").arg(count));
    } else if (step == "bwpdf") {
        ok = proc.SaveMultiPDF(bilevel, out + QString("/bwpdf%1.pdf").arg(count));
    } else if (step == "singletiff") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SaveAs(pages[i], out + QString("/one%1.tiff").arg(i), 0.0, true);
    } else if (step == "singlepdf") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SavePDF(pages[i], out + QString("/one%1.pdf").arg(i));
    } else if (step == "singleofd") {
        for (int i = 0; i < count && ok; ++i)
            ok = proc.SaveOFD(pages[i], out + QString("/one%1.ofd").arg(i));
    } else if (step == "ofdpeer") {
        // The plain procedure: decode every page to learn its size, then zip
        // the package tree (unpacked from a SaveMultiOFD run) with JlCompress.
        for (int i = 0; i < count && ok; ++i)
            ok = !QImage(pages[i]).isNull();
        ok = ok && JlCompress::compressDir(out + QString("/peer%1.ofd").arg(count), work + "/ofdtree", true);
    } else {
        ok = false;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile report(out + "/" + step + QString::number(count) + ".secs");
    if (report.open(QIODevice::WriteOnly))
        report.write(QByteArray::number(seconds, 'f', 4) + " " + QByteArray::number(qlonglong(peakKiB())));
    return ok ? 0 : 1;
}

// A step of ours, run in a child process; the child reports its save-call
// time and its own high-water mark (wait4's figure would include the memory
// of the process it was forked from). `output`: the file whose size counts.
Result step(const QString& self, const QString& work, const QString& name, int n,
            const QString& output = QString())
{
    const QString secs = work + "/out/" + name + QString::number(n) + ".secs";
    return measure(QList<QStringList>{{self, "--step", name, QString::number(n), work}}, [&](Result* r) {
        QFile report(secs);
        if (report.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> fields = report.readAll().split(' ');
            r->callSeconds = fields.value(0).toDouble();
            r->peakKiB = fields.value(1).toLong();
        }
        if (!output.isEmpty())
            r->bytes = QFileInfo(work + "/out/" + output.arg(n)).size();
    });
}

qint64 sizeOf(const QStringList& files)
{
    qint64 total = 0;
    for (const QString& f : files)
        total += QFileInfo(f).size();
    return total;
}

QMap<QString, Result> runAll(const QString& self, const QString& work, const QList<QString>& pages,
                             const QStringList& tiffs)
{
    const QString out = work + "/out";
    const int count = pages.size();
    QMap<QString, Result> r;
    r["convert"] = step(self, work, "convert", count);
    r["tiffcp"] =
        measure(QStringList{"tiffcp", "-c", "jpeg", "-r", "16"} + tiffs + QStringList{out + "/ref.tif"});
    r["tiff2pdf"] = measure(QStringList{"tiff2pdf", "-j", "-o", out + "/ref.pdf", out + "/ref.tif"});
    QList<QStringList> perPageTiffcp, perPageTiff2pdf;
    for (int i = 0; i < count; ++i) {
        perPageTiffcp << QStringList{
            "tiffcp", "-c", "jpeg", "-r", "16", tiffs[i], out + QString("/ref%1.tif").arg(i)};
        perPageTiff2pdf << QStringList{"tiff2pdf", "-j", "-o", out + QString("/ref%1.pdf").arg(i), tiffs[i]};
    }
    r["tiffcp per page"] = measure(perPageTiffcp);
    r["tiff2pdf per page"] = measure(perPageTiff2pdf);
    QStringList refPdfs;
    for (int i = 0; i < count; ++i)
        refPdfs << out + QString("/ref%1.pdf").arg(i);
    r["tiff2pdf per page"].bytes = sizeOf(refPdfs);
    r["multiofd"] = step(self, work, "multiofd", count);
    // The peer zips the package tree of our OFD.
    QDir(work + "/ofdtree").removeRecursively();
    QDir().mkpath(work + "/ofdtree");
    if (!measureOnce(QList<QStringList>{
                         {"unzip", "-q", out + QString("/all%1.ofd").arg(count), "-d", work + "/ofdtree"}})
             .ok)
        r["multiofd"].ok = false;
    for (const char* name : {"multitiff", "multipdf", "ofdpeer", "singletiff", "singlepdf", "singleofd"})
        r[name] = step(self, work, name, count);
    r["tiffpdf"] = step(self, work, "tiffpdf", count, "tiffpdf%1.pdf");
    r["bwofd"] = step(self, work, "bwofd", count, "bwofd%1.ofd");
    r["bwpdf"] = step(self, work, "bwpdf", count, "bwpdf%1.pdf");
    const int few = qMax(1, count / 5);
    for (const char* name : {"multitiff", "multipdf", "multiofd"})
        r[QString(name) + " few"] = step(self, work, name, few);
    return r;
}

Result sum(const Result& a, const Result& b)
{
    Result s = a;
    s.seconds += b.seconds;
    s.callSeconds = -1;
    s.peakKiB = qMax(a.peakKiB, b.peakKiB);
    s.ok = a.ok && b.ok;
    return s;
}

QString mib(qint64 bytes)
{
    return QString::number(bytes / 1048576.0, 'f', 1) + " MiB";
}

QStringList report(const QMap<QString, Result>& r, int count, qint64 jpegBytes, qint64 bilevelBytes)
{
    const int few = qMax(1, count / 5);
    const Result pipeline = sum(r["tiffcp"], r["tiff2pdf"]);
    const Result convertAndCopy = sum(r["convert"], r["tiffcp"]);
    const Result convertCopyPdf = sum(convertAndCopy, r["tiff2pdf"]);
    QStringList lines;
    lines << QString("%1 pages of 2480 x 3508 pixels (A4, 300 dpi), colour JPEG, %2 MB in all; fastest of %3 "
                     "runs.")
                 .arg(count)
                 .arg(jpegBytes / 1048576.0, 0, 'f', 1)
                 .arg(g_repeats);
    lines << ""
          << "| Step | Process (s) | Save calls (s) | Peak memory (MiB) | Ratio ours/peer: process (save "
             "calls) |"
          << "|---|---|---|---|---|";
    lines << row("reference: pages to uncompressed TIFF with QImage", r["convert"]);
    lines << row("reference: `tiffcp -c jpeg -r 16` of all pages", r["tiffcp"]);
    lines << row("reference: `tiff2pdf -j` of that file", r["tiff2pdf"]);
    lines << row("reference: multi-page PDF pipeline (both)", pipeline);
    lines << row("reference: `tiffcp -c jpeg -r 16` per page", r["tiffcp per page"]);
    lines << row("reference: `tiff2pdf -j` per page", r["tiff2pdf per page"]);
    lines << row("peer for OFD: decode every page, JlCompress::compressDir of the package", r["ofdpeer"]);
    lines << row("ours: SaveMultiTiff", r["multitiff"],
                 "vs tiffcp alone " + ratio(r["multitiff"], r["tiffcp"]) + "; vs conversion + tiffcp " +
                     ratio(r["multitiff"], convertAndCopy));
    lines << row("ours: SaveMultiPDF", r["multipdf"],
                 "vs tiff2pdf alone " + ratio(r["multipdf"], r["tiff2pdf"]) + "; vs tiffcp + tiff2pdf " +
                     ratio(r["multipdf"], pipeline) + "; vs conversion + tiffcp + tiff2pdf " +
                     ratio(r["multipdf"], convertCopyPdf));
    lines << row("ours: SaveMultiOFD", r["multiofd"],
                 "vs plain procedure " + ratio(r["multiofd"], r["ofdpeer"]));
    lines << row("ours: SaveAs to TIFF, per page", r["singletiff"],
                 "vs tiffcp per page " + ratio(r["singletiff"], r["tiffcp per page"]));
    lines << row("ours: SavePDF, per page", r["singlepdf"],
                 "vs tiff2pdf per page " + ratio(r["singlepdf"], r["tiff2pdf per page"]));
    lines << row("ours: SaveOFD, per page", r["singleofd"]);
    lines << row(QString("ours: SaveMultiTiff, %1 pages").arg(few), r["multitiff few"]);
    lines << row(QString("ours: SaveMultiPDF, %1 pages").arg(few), r["multipdf few"]);
    lines << row(QString("ours: SaveMultiOFD, %1 pages").arg(few), r["multiofd few"]);
    lines << row("ours: SaveMultiPDF of the pages as uncompressed TIFF", r["tiffpdf"],
                 QString("%1 against %2 of `tiff2pdf -j` per page: size %3")
                     .arg(mib(r["tiffpdf"].bytes), mib(r["tiff2pdf per page"].bytes))
                     .arg(double(r["tiffpdf"].bytes) / r["tiff2pdf per page"].bytes, 0, 'f', 3));
    lines << row("ours: SaveMultiOFD of the pages in 1 bit (uncompressed TIFF)", r["bwofd"],
                 QString("%1 from %2 of pages; %3 of the PDF's size")
                     .arg(mib(r["bwofd"].bytes), mib(bilevelBytes))
                     .arg(double(r["bwofd"].bytes) / r["bwpdf"].bytes, 0, 'f', 2));
    lines << row("ours: SaveMultiPDF of the pages in 1 bit", r["bwpdf"], mib(r["bwpdf"].bytes));
    lines << ""
          << QString(
                 "Peak memory of the reference tools is wait4's figure, at least this driver's own %1 MiB.")
                 .arg(peakKiB() / 1024.0, 0, 'f', 0);
    return lines;
}

// Makes the missing page files: bench_save --generate <pages> <work folder>
int generate(int count, const QString& work)
{
    for (int i = 0; i < count; ++i) {
        const QString jpg = work + QString("/pages/page%1.jpg").arg(i, 4, 10, QChar('0'));
        const QString tif = work + QString("/pages/page%1.tif").arg(i, 4, 10, QChar('0'));
        const QString bw = work + QString("/pages/bw%1.tiff").arg(i, 4, 10, QChar('0'));
        if (QFileInfo::exists(jpg) && QFileInfo::exists(tif) && QFileInfo::exists(bw))
            continue;
        const QImage page = BenchPages::Document(i);
        if (!page.save(jpg, "JPEG", 85) || !page.convertToFormat(QImage::Format_RGB888).save(tif, "TIFF") ||
            !page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).save(bw, "TIFF"))
            return 1;
    }
    return 0;
}

// bench_save tiff <pages> <work folder> <rounds>
int runTiffOnly(const QString& self, int count, const QString& work, int rounds)
{
    const QString out = work + "/out";
    QStringList tiffs;
    qint64 jpegBytes = 0;
    for (int i = 0; i < count; ++i) {
        tiffs << work + QString("/pages/page%1.tif").arg(i, 4, 10, QChar('0'));
        jpegBytes += QFileInfo(work + QString("/pages/page%1.jpg").arg(i, 4, 10, QChar('0'))).size();
    }
    g_repeats = 1;
    Result ours, peer;
    for (int round = 0; round < rounds; ++round) {
        // Alternate which side goes first.
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == (round % 2 == 0)) {
                const Result r = measure(QStringList{"tiffcp", "-c", "jpeg", "-r", "16"} + tiffs +
                                         QStringList{out + "/ref.tif"});
                if (round == 0 || (r.ok && r.seconds < peer.seconds))
                    peer = r;
            } else {
                const Result r = step(self, work, "multitiff", count, "all%1.tiff");
                if (round == 0 || (r.ok && r.seconds < ours.seconds))
                    ours = r;
            }
        }
    }
    QStringList lines;
    lines << QString("%1 pages of 2480 x 3508 pixels (A4, 300 dpi), colour JPEG, %2 MB in all; fastest of %3 "
                     "rounds, the two sides alternating.")
                 .arg(count)
                 .arg(jpegBytes / 1048576.0, 0, 'f', 1)
                 .arg(rounds)
          << ""
          << "| Step | Process (s) | Save calls (s) | Peak memory (MiB) | Ratio ours/peer: process (save "
             "calls) |"
          << "|---|---|---|---|---|";
    lines << row("reference: `tiffcp -c jpeg -r 16` of the pages as uncompressed TIFF", peer,
                 mib(QFileInfo(out + "/ref.tif").size()));
    lines << row("ours: SaveMultiTiff of the JPEG pages", ours,
                 ratio(ours, peer) + "; " + mib(QFileInfo(out + QString("/all%1.tiff").arg(count)).size()));
    std::printf("%s\n", qPrintable(lines.join('\n')));
    return ours.ok && peer.ok ? 0 : 1;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && QByteArray(argv[1]).startsWith("--")) {
        // Image work happens only in these child processes, so that the
        // driver stays small and its memory does not count for its children.
        QGuiApplication app(argc, argv);
        const QStringList args = app.arguments();
        if (args[1] == "--generate")
            return generate(args[3].toInt(), args[4]);
        return runStep(args[2], args[3].toInt(), args[4]);
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    const bool tiffOnly = args.size() == 5 && args[1] == "tiff";
    const QStringList rest = tiffOnly ? QStringList(args.mid(1)) : args;
    const int count = rest.size() > 1 ? rest[1].toInt() : 50;
    const QString work = rest.size() > 2 ? rest[2] : QDir::tempPath() + "/scanvy-bench-save";
    // The steps' temporary files (page conversions, the OFD staging folder)
    // stay inside the work folder.
    QDir().mkpath(work + "/tmp");
    qputenv("TMPDIR", QFile::encodeName(work + "/tmp"));
    const QString pagesDir = work + "/pages";
    const QString out = work + "/out";
    QDir().mkpath(pagesDir);
    QDir(out).removeRecursively();
    QDir().mkpath(out);

    const QString self = app.applicationFilePath();
    g_repeats = rest.size() > 3 ? qMax(1, rest[3].toInt()) : 3;
    if (!measureOnce(QList<QStringList>{{self, "--generate", "-", QString::number(count), work}}).ok)
        return 1;
    if (tiffOnly)
        return runTiffOnly(self, count, work, g_repeats);
    QList<QString> pages, tiffs;
    QStringList bilevel;
    for (int i = 0; i < count; ++i) {
        pages << pagesDir + QString("/page%1.jpg").arg(i, 4, 10, QChar('0'));
        tiffs << pagesDir + QString("/page%1.tif").arg(i, 4, 10, QChar('0'));
        bilevel << pagesDir + QString("/bw%1.tiff").arg(i, 4, 10, QChar('0'));
    }
    qint64 jpegBytes = 0;
    for (const QString& p : pages)
        jpegBytes += QFileInfo(p).size();
    const QMap<QString, Result> r = runAll(self, work, pages, tiffs);
    const QStringList lines = report(r, count, jpegBytes, sizeOf(bilevel));
    std::printf("%s\n", qPrintable(lines.join('\n')));
    return 0;
}
