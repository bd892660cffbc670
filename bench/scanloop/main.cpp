// Scan-loop benchmark: a feeder batch scanned into page files by our scanner
// layer (SaneScan::Scan on a job thread, the pages announced to the main
// thread's event loop, as the window runs it) and by scanimage --batch on the
// same device with the same settings, for each page format, the sides
// alternating round by round. Reported per format: the median wall and
// processor time of each side and the median over the rounds of the ratio
// ours / scanimage of the same round.
//
//   --device NAME        zylkx:KX-8000 (the simulator, default) or test:0
//                        (libsane's test backend, whose feeder holds 10
//                        sheets)
//   --sheets N           sheets in the simulated feeder (default 50)
//   --rounds N           rounds (default 5)
//   --formats LIST       page formats, e.g. jpg,tiff,pnm (the default)
//   --delay MS           the simulator's time per page (default 0)
//   --recognition LANG   a third side: ours with every page queued for
//                        recognition as it arrives (one worker)
//   --window             instead: the real main window scanning the sheets
//                        (JPEG pages) with recognition off and on
//                        (chi_sim+eng), against scanimage
//
// Both sides are timed over the same work: the library started, the device
// opened and set, the batch, the device closed and the library ended (our
// side on a job thread; scanimage as a process, so its start is in its time
// too). Processor time is that of the whole process (our side: the bench
// process, which does nothing else meanwhile; scanimage: its reaped process).
// Run through bench/scanloop/run.sh, which sets up the private SANE
// configuration.
#include "benchclock.h"
#include "ocrpage.h"
#include "ocrqueue.h"
#include "sanescan.h"
#include "scanloopbench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace ScanLoopBench {

double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

Device DeviceNamed(const QString& name, int sheets)
{
    Device d;
    d.name = name;
    if (name.startsWith(QLatin1String("test"))) {
        // The test backend's feeder: 10 sheets of 200 × 200 mm (its largest)
        // at 300 dpi colour, a colour pattern.
        d.sheets = 10;
        d.ours = {{"source", "Automatic Document Feeder"},
                  {"mode", "Color"},
                  {"resolution", "300"},
                  {"test-picture", "Color pattern"},
                  {"tl-x", "0"},
                  {"tl-y", "0"},
                  {"br-x", "200"},
                  {"br-y", "200"}};
        d.scanimage = QStringList{"--source=Automatic Document Feeder",
                                  "--mode=Color",
                                  "--resolution=300",
                                  "--test-picture=Color pattern",
                                  "-l",
                                  "0",
                                  "-t",
                                  "0",
                                  "-x",
                                  "200",
                                  "-y",
                                  "200"};
    } else {
        d.simulator = true;
        d.sheets = sheets;
        d.ours = {{"source", "Adf-front"}, {"mode", "Color"}, {"resolution", "300"}, {"paper-size", "A4"}};
        d.scanimage =
            QStringList{"--source=Adf-front", "--mode=Color", "--resolution=300", "--paper-size=A4"};
    }
    return d;
}

bool WriteScenario(const Device& device, int load, int delayMs)
{
    if (!device.simulator)
        return true;
    QFile f(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + "/scenario.conf");
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2\npage-delay-ms=%3\n")
                .arg(device.sheets)
                .arg(load)
                .arg(delayMs)
                .toUtf8());
    return true;
}

int CountFiles(const QString& dir, const QString& format)
{
    return QDir(dir).entryList({"*." + format}, QDir::Files).size();
}

void Clear(const QString& dir)
{
    QDir d(dir);
    for (const QString& f : d.entryList(QDir::Files))
        d.remove(f);
}

Run RunScanimage(const Device& device, const QString& dir, const QString& format)
{
    Run r;
    const QString sformat = format == "jpg" ? "jpeg" : format;
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    const double cpu = BenchCpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer t;
    t.start();
    p.start("scanimage", QStringList{"-d", device.name} + device.scanimage +
                             QStringList{"--format=" + sformat, "--batch=" + dir + "/s%04d." + format});
    // libsane's test backend now and then never ends a batch (scanimage
    // waits on a lock for good): such a run is given up and counted failed.
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(-1);
        r.status = -1;
        return r;
    }
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpu = BenchCpuSeconds(RUSAGE_CHILDREN) - cpu;
    r.status = p.exitCode();
    r.files = CountFiles(dir, format);
    return r;
}

} // namespace ScanLoopBench

using namespace ScanLoopBench;

namespace {

// Pages of printed text for the recognition side: 24 lines of 11 pt
// Chinese and English at 300 dpi, grey JPEG, in `folder`.
QStringList WriteTextPages(const QString& folder, int count)
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
// given with the scanned ones (the simulator's pages carry little to
// recognise), and a folder for their per-page copies.
struct Recognition {
    OcrLanguage language = OcrLanguage::None;
    QStringList textPages;
    QString copies;
};

Run ScanOnJobThread(SaneScan& scan, const Device& device, const QString& dir, const QString& format)
{
    Run r;
    QEventLoop loop;
    std::thread job([&] {
        // Timed as scanimage is: the library started, the device opened and
        // set, the batch, the device closed and the library ended.
        const double cpu = BenchCpuSeconds(RUSAGE_SELF);
        QElapsedTimer t;
        t.start();
        scan.Init();
        // The device by its name, without asking SANE for its device list
        // (as scanimage -d does): that would load and probe every backend.
        scan.ResetScannerList({device.name});
        if (scan.OpenDevice(device.name) != SANE_STATUS_GOOD) {
            r.status = -1;
        } else {
            scan.GetAllOptions();
            for (const auto& option : device.ours) {
                if (!scan.SetOption(option.first, option.second))
                    std::fprintf(stderr, "option %s not set\n", qPrintable(option.first));
            }
            QElapsedTimer batch;
            batch.start();
            r.status = scan.Scan(dir + "/p", format, 1, 4, 0);
            r.batchSeconds = batch.nsecsElapsed() / 1e9;
            scan.CloseDevice();
        }
        scan.Exit();
        r.seconds = t.nsecsElapsed() / 1e9;
        r.cpu = BenchCpuSeconds(RUSAGE_SELF) - cpu;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    job.join();
    return r;
}

Run RunOurs(const Device& device, const QString& dir, const QString& format,
            const Recognition* recognition = nullptr)
{
    if (recognition != nullptr) {
        QDir(recognition->copies).removeRecursively();
        QDir().mkpath(recognition->copies);
    }
    SaneScan scan;
    std::unique_ptr<OcrQueue> queue;
    int arrived = 0;
    int recognised = 0;
    if (recognition != nullptr) {
        queue.reset(new OcrQueue);
        queue->SetLanguage(recognition->language);
        queue->SetWorkerCount(1);
        // The engine is made before the scan, as the window makes it.
        QElapsedTimer waited;
        waited.start();
        while (queue->EngineCount() < 1 && waited.elapsed() < 60000)
            QThread::msleep(20);
        queue->HoldEngines(true);
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
    Run r = ScanOnJobThread(scan, device, dir, format);
    if (queue) {
        // The pages announced last are still in the loop's queue.
        QCoreApplication::processEvents();
        r.recognised = recognised;
        queue->CancelAll();
        queue.reset();
    }
    r.files = CountFiles(dir, format);
    return r;
}

struct Options {
    QString device = QStringLiteral("zylkx:KX-8000");
    int sheets = 50;
    int rounds = 5;
    QStringList formats{"jpg", "tiff", "pnm"};
    int delay = 0;
    QString recognition;
    bool window = false;
};

bool Parse(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const QString value = args.value(i + 1);
        if (a == "--window") {
            o.window = true;
            continue;
        }
        if (value.isEmpty())
            return false;
        ++i;
        if (a == "--device")
            o.device = value;
        else if (a == "--sheets")
            o.sheets = value.toInt();
        else if (a == "--rounds")
            o.rounds = value.toInt();
        else if (a == "--formats")
            o.formats = value.split(',');
        else if (a == "--delay")
            o.delay = value.toInt();
        else if (a == "--recognition")
            o.recognition = value;
        else
            return false;
    }
    return o.sheets > 0 && o.rounds > 0;
}

QString Fixed(double v)
{
    return QString::number(v, 'f', 2);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // the text pages are drawn with a font; the window case
    Options o;
    if (!Parse(app.arguments(), o)) {
        std::fprintf(stderr, "usage: bench_scanloop [--device NAME] [--sheets N] [--rounds N] [--formats "
                             "jpg,tiff,pnm] [--delay MS] [--recognition LANG] [--window]\n");
        return 2;
    }
    const Device device = DeviceNamed(o.device, o.sheets);
    std::fprintf(stderr, "load average before: %s\n", BenchLoadAverage().constData());
    QTemporaryDir tmp;
    if (o.window) {
        const int status = RunWindowCase(device, o.rounds, o.delay, tmp.path());
        std::fprintf(stderr, "load average after: %s\n", BenchLoadAverage().constData());
        return status;
    }
    const QString dir = tmp.path() + "/pages";
    QDir().mkpath(dir);
    Recognition recognition;
    if (!o.recognition.isEmpty()) {
        recognition.language = OcrLanguageFromKey(o.recognition);
        recognition.textPages = WriteTextPages(tmp.path(), 4);
        recognition.copies = tmp.path() + "/text";
        if (recognition.language == OcrLanguage::None || recognition.textPages.isEmpty()) {
            std::fprintf(stderr, "recognition %s cannot run\n", qPrintable(o.recognition));
            return 2;
        }
    }
    const QStringList names{"scanimage", "ours", "ours+recognition"};
    const int sides = recognition.language == OcrLanguage::None ? 2 : 3;

    QTextStream out(stdout);
    out << "| Device | Format | Side | Median (s) | Median CPU (s) | Ratio to scanimage (time), median "
           "[range] | Ratio (CPU), median |\n";
    out << "|---|---|---|---|---|---|---|\n";
    int load = 0;
    for (const QString& format : o.formats) {
        QList<double> seconds[3], cpu[3], ratio[3], cpuRatio[3];
        for (int round = 0; round < o.rounds; ++round) {
            // Rotate the order so that no side always finds a warm cache or
            // a quiet machine.
            Run runs[3];
            for (int k = 0; k < sides; ++k) {
                const int side = (round + k) % sides;
                WriteScenario(device, ++load, o.delay);
                Run r;
                for (int attempt = 0; attempt < 3; ++attempt) {
                    r = side == 0   ? RunScanimage(device, dir, format)
                        : side == 1 ? RunOurs(device, dir, format)
                                    : RunOurs(device, dir, format, &recognition);
                    if (r.status != -1)
                        break;
                    std::fprintf(stderr, "round %d %s %s: hung, run again\n", round + 1, qPrintable(format),
                                 qPrintable(names.at(side)));
                    Clear(dir);
                    WriteScenario(device, ++load, o.delay);
                }
                std::fprintf(stderr, "round %d %s %s: %.2f s (the batch %.2f s), cpu %.2f s%s\n", round + 1,
                             qPrintable(format), qPrintable(names.at(side)), r.seconds, r.batchSeconds, r.cpu,
                             side == 2
                                 ? qPrintable(QString(", %1 pages recognised meanwhile").arg(r.recognised))
                                 : "");
                if (r.files != device.sheets) {
                    std::fprintf(stderr, "%s %s: %d files (status %d)\n", qPrintable(names.at(side)),
                                 qPrintable(format), r.files, r.status);
                    return 1;
                }
                runs[side] = r;
                Clear(dir);
            }
            for (int side = 0; side < sides; ++side) {
                seconds[side] << runs[side].seconds;
                cpu[side] << runs[side].cpu;
                ratio[side] << runs[side].seconds / runs[0].seconds;
                cpuRatio[side] << runs[side].cpu / runs[0].cpu;
            }
        }
        for (int side = 1; side < sides; ++side) {
            out << "| " << device.name << " | " << format << " | " << names.at(side) << " | "
                << Fixed(Median(seconds[side])) << " | " << Fixed(Median(cpu[side])) << " | "
                << Fixed(Median(ratio[side])) << " ["
                << Fixed(*std::min_element(ratio[side].begin(), ratio[side].end())) << " - "
                << Fixed(*std::max_element(ratio[side].begin(), ratio[side].end())) << "] | "
                << Fixed(Median(cpuRatio[side])) << " |\n";
        }
        out << "| " << device.name << " | " << format << " | scanimage | " << Fixed(Median(seconds[0]))
            << " | " << Fixed(Median(cpu[0])) << " | | |\n";
        out.flush();
    }
    std::fprintf(stderr, "load average after: %s\n", BenchLoadAverage().constData());
    return 0;
}
