// Scan-loop benchmark: N A4 pages at 300 dpi colour from the simulated
// feeder into page files, by SaneScan and by scanimage --batch on the same
// device, for each page format. Run through bench/scanloop/run.sh, which sets
// up the private SANE configuration.
//
// With a recognition language (sixth argument, e.g. chi_sim+eng) a third
// side runs: the scan as the main window runs it with recognition on, on a
// job thread, each page handed as it arrives to an OcrQueue with one worker
// (the count the window keeps while scanning), together with a page of
// printed text (the simulator's pages carry little to recognise), so that
// the worker recognises all through the scan. Processor time of the scan
// loop's thread and of scanimage is reported beside the wall time.
#include "benchclock.h"
#include "ocrpage.h"
#include "ocrqueue.h"
#include "sanescan.h"
#include "textstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kDevice = QStringLiteral("zylkx:KX-8000");

// Kilobytes of a /proc/self/status field ("VmRSS", "VmHWM").
long statusKb(const char* field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void resetPeak()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Milliseconds the simulated scanner takes per page (0: as fast as it can).
int g_pageDelayMs = 0;

bool writeScenario(int sheets, const QString& load)
{
    QFile f(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + "/scenario.conf");
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QStringLiteral("sheets=%1\nload=%2\npage-delay-ms=%3\n")
                .arg(sheets)
                .arg(load)
                .arg(g_pageDelayMs)
                .toUtf8());
    return true;
}

// Page files (the stored texts of recognised pages are not counted).
int countFiles(const QString& dir, const QString& format)
{
    return QDir(dir).entryList({"*." + format}, QDir::Files).size();
}

struct Run {
    double seconds = 0;
    double cpu = 0; // of the scan loop's thread, or of scanimage
    int files = 0;
    long peakKb = 0;
    int status = 0;
    int recognised = 0; // pages the queue delivered while the scan ran
};

// Pages of printed text for the recognition side: 24 lines of 11 pt
// Chinese and English at 300 dpi, grey JPEG, in `folder`.
QStringList writeTextPages(const QString& folder, int count)
{
    const QStringList lines{"档案管理与办公室文件的扫描和保存", "本单位年度工作总结报告请各部门按时提交",
                            "Annual report of the archive office and its scanned files"};
    QStringList paths;
    for (int p = 0; p < count; ++p) {
        OcrPage::Sheet sheet;
        for (int i = 0; i < 24; ++i)
            sheet.lines.append(lines.at((i + p) % lines.size()));
        sheet.points = 11;
        const QString path = folder + QString("/text%1.jpg").arg(p);
        if (!OcrPage::Render(sheet).image.save(path, nullptr, 90))
            return {};
        paths.append(path);
    }
    return paths;
}

// The recognition that runs beside a scan: the queue, the text pages it is
// given with the scanned ones, and a folder for their per-page copies (a
// page's stored text lies beside its file, so each queued page is a file of
// its own).
struct Recognition {
    OcrLanguage language = OcrLanguage::None;
    QStringList textPages;
    QString copies;
};

Run runOursScan(SaneScan& scan, const QString& dir, const QString& format);

Run runOurs(const QString& dir, const QString& format, int sheets, const Recognition* recognition = nullptr)
{
    if (recognition != nullptr)
        QDir(recognition->copies).removeRecursively();
    if (recognition != nullptr && !QDir().mkpath(recognition->copies))
        return Run{0, 0, 0, 0, -1, 0};
    Run r;
    writeScenario(sheets, dir);
    SaneScan scan;
    std::unique_ptr<OcrQueue> queue;
    int arrived = 0;
    int recognised = 0;
    if (recognition != nullptr) {
        queue.reset(new OcrQueue);
        queue->SetLanguage(recognition->language);
        queue->SetWorkerCount(1);
        QObject::connect(&scan, &SaneScan::sglScanOneImageDone, queue.get(), [&](const QString& path) {
            const QString text = recognition->copies + QString("/t%1.jpg").arg(arrived, 4, 10, QChar('0'));
            if (::link(QFile::encodeName(recognition->textPages.at(arrived % recognition->textPages.size()))
                           .constData(),
                       QFile::encodeName(text).constData()) != 0)
                std::fprintf(stderr, "cannot link %s\n", qPrintable(text));
            queue->Add(quint64(2 * arrived + 1), path, 0);
            queue->Add(quint64(2 * arrived + 2), text, 0);
            ++arrived;
        });
        QObject::connect(queue.get(), &OcrQueue::sglPageDone, [&recognised] { ++recognised; });
    }
    QEventLoop loop;
    // The window's job thread: every SANE call there, pages announced to
    // this thread's loop (both of our sides scan this way).
    std::thread job([&] {
        r = runOursScan(scan, dir, format);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    job.join();
    if (queue) {
        // The pages announced last are still in the loop's queue.
        QCoreApplication::processEvents();
        r.recognised = recognised;
        queue->CancelAll();
        queue.reset();
    }
    r.files = countFiles(dir, format);
    return r;
}

Run runOursScan(SaneScan& scan, const QString& dir, const QString& format)
{
    Run r;
    scan.Init();
    QList<QString> names;
    scan.GetDeviceList(names);
    if (scan.OpenDevice(kDevice) != SANE_STATUS_GOOD) {
        r.status = -1;
        scan.Exit();
        return r;
    }
    scan.GetAllOptions();
    scan.SetOption("source", "Adf-front");
    scan.SetOption("mode", "Color");
    scan.SetOption("resolution", "300");
    scan.SetOption("paper-size", "A4");
    resetPeak();
    const long baseline = statusKb("VmRSS");
    const double cpu = BenchCpuSeconds(RUSAGE_THREAD);
    QElapsedTimer t;
    t.start();
    r.status = scan.Scan(dir + "/p", format, 1, 4, 0);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpu = BenchCpuSeconds(RUSAGE_THREAD) - cpu;
    r.peakKb = statusKb("VmHWM") - baseline;
    scan.CloseDevice();
    scan.Exit();
    return r;
}

Run runScanimage(const QString& dir, const QString& format, int sheets)
{
    Run r;
    writeScenario(sheets, dir);
    const QString sformat = format == "jpg" ? "jpeg" : format;
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    const double cpu = BenchCpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer t;
    t.start();
    p.start("scanimage", {"-d", kDevice, "--source=Adf-front", "--mode=Color", "--resolution=300",
                          "--paper-size=A4", "--format=" + sformat, "--batch=" + dir + "/s%04d." + format});
    p.waitForFinished(-1);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpu = BenchCpuSeconds(RUSAGE_CHILDREN) - cpu;
    r.status = p.exitCode();
    r.files = countFiles(dir, format);
    return r;
}

void clear(const QString& dir)
{
    QDir d(dir);
    for (const QString& f : d.entryList(QDir::Files))
        d.remove(f);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // the text pages are drawn with a font
    const int sheets = argc > 1 ? QString(argv[1]).toInt() : 50;
    const int rounds = argc > 2 ? QString(argv[2]).toInt() : 3;
    QTextStream out(stdout);
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/pages";
    QDir().mkpath(dir);
    const QStringList formats = QString(argc > 3 ? argv[3] : "jpg,tiff,pnm").split(',');
    g_pageDelayMs = argc > 4 ? QString(argv[4]).toInt() : 0;
    Recognition recognition;
    if (argc > 5) {
        recognition.language = OcrLanguageFromKey(argv[5]);
        if (recognition.language == OcrLanguage::None) {
            std::fprintf(stderr, "unknown recognition language %s\n", argv[5]);
            return 2;
        }
        recognition.textPages = writeTextPages(tmp.path(), 4);
        recognition.copies = tmp.path() + "/text";
        if (recognition.textPages.isEmpty()) {
            std::fprintf(stderr, "cannot write the text pages\n");
            return 1;
        }
    }
    // The sides: scanimage, ours, and ours with recognition when asked for.
    const QStringList names{"scanimage", "ours", "ours+recognition"};
    const int sides = recognition.language == OcrLanguage::None ? 2 : 3;
    std::fprintf(stderr, "load average before: %s\n", BenchLoadAverage().constData());

    out << "| Format | Side | Best (s) | Ratio to scanimage (time) | CPU of the scan (s) | Ratio to "
           "scanimage "
           "(CPU) | Peak memory above baseline (MiB) |\n";
    out << "|---|---|---|---|---|---|---|\n";
    for (const QString& format : formats) {
        double best[3] = {1e9, 1e9, 1e9};
        double cpu[3] = {1e9, 1e9, 1e9};
        long peak[3] = {0, 0, 0};
        for (int round = 0; round < rounds; ++round) {
            // Rotate the order so that no side always finds a warm cache or
            // a quiet machine.
            for (int k = 0; k < sides; ++k) {
                const int side = (round + k) % sides;
                const Run r = side == 0   ? runScanimage(dir, format, sheets)
                              : side == 1 ? runOurs(dir, format, sheets)
                                          : runOurs(dir, format, sheets, &recognition);
                std::fprintf(stderr, "round %d %s %s: %.2f s, cpu %.2f s%s\n", round + 1, qPrintable(format),
                             qPrintable(names.at(side)), r.seconds, r.cpu,
                             side == 2
                                 ? qPrintable(QString(", %1 pages recognised meanwhile").arg(r.recognised))
                                 : "");
                if (r.files != sheets) {
                    std::fprintf(stderr, "%s %s: %d files (status %d)\n", qPrintable(names.at(side)),
                                 qPrintable(format), r.files, r.status);
                    return 1;
                }
                best[side] = qMin(best[side], r.seconds);
                cpu[side] = qMin(cpu[side], r.cpu);
                peak[side] = qMax(peak[side], r.peakKb);
                clear(dir);
            }
        }
        for (int side = 1; side < sides; ++side) {
            out << "| " << format << " | " << names.at(side) << " | " << QString::number(best[side], 'f', 2)
                << " | " << QString::number(best[side] / best[0], 'f', 2) << " | "
                << QString::number(cpu[side], 'f', 2) << " | " << QString::number(cpu[side] / cpu[0], 'f', 2)
                << " | " << QString::number(peak[side] / 1024.0, 'f', 1) << " |\n";
        }
        out << "| " << format << " | scanimage | " << QString::number(best[0], 'f', 2) << " | | "
            << QString::number(cpu[0], 'f', 2) << " | | |\n";
        out.flush();
    }
    std::fprintf(stderr, "load average after: %s\n", BenchLoadAverage().constData());
    return 0;
}
