// Scan-loop benchmark: N A4 pages at 300 dpi colour from the simulated
// feeder into page files, by SaneScan and by scanimage --batch on the same
// device, for each page format. Run through bench/scanloop/run.sh, which sets
// up the private SANE configuration.
#include "sanescan.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

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

int countFiles(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files).size();
}

struct Run {
    double seconds = 0;
    int files = 0;
    long peakKb = 0;
    int status = 0;
};

Run runOurs(const QString& dir, const QString& format, int sheets)
{
    Run r;
    writeScenario(sheets, dir);
    SaneScan scan;
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
    QElapsedTimer t;
    t.start();
    r.status = scan.Scan(dir + "/p", format, 1, 4, 0);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.peakKb = statusKb("VmHWM") - baseline;
    scan.CloseDevice();
    scan.Exit();
    r.files = countFiles(dir);
    return r;
}

Run runScanimage(const QString& dir, const QString& format, int sheets)
{
    Run r;
    writeScenario(sheets, dir);
    const QString sformat = format == "jpg" ? "jpeg" : format;
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start("scanimage", {"-d", kDevice, "--source=Adf-front", "--mode=Color", "--resolution=300",
                          "--paper-size=A4", "--format=" + sformat, "--batch=" + dir + "/s%04d." + format});
    p.waitForFinished(-1);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.status = p.exitCode();
    r.files = countFiles(dir);
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
    QCoreApplication app(argc, argv);
    const int sheets = argc > 1 ? QString(argv[1]).toInt() : 50;
    const int rounds = argc > 2 ? QString(argv[2]).toInt() : 3;
    QTextStream out(stdout);
    QTemporaryDir tmp;
    const QString dir = tmp.path();

    out << "| Format | Ours (s) | scanimage (s) | Ratio ours/scanimage | Our peak memory above baseline "
           "(MiB) |\n";
    out << "|---|---|---|---|---|\n";
    const QStringList formats = QString(argc > 3 ? argv[3] : "jpg,tiff,pnm").split(',');
    g_pageDelayMs = argc > 4 ? QString(argv[4]).toInt() : 0;
    for (const QString& format : formats) {
        double best[2] = {1e9, 1e9};
        long peak = 0;
        for (int round = 0; round < rounds; ++round) {
            // Alternate the order so that neither side always finds a warm cache.
            for (int k = 0; k < 2; ++k) {
                const bool oursFirst = round % 2 == 0;
                const bool ours = (k == 0) == oursFirst;
                const Run r = ours ? runOurs(dir, format, sheets) : runScanimage(dir, format, sheets);
                if (r.files != sheets) {
                    std::fprintf(stderr, "%s %s: %d files (status %d)\n", ours ? "ours" : "scanimage",
                                 qPrintable(format), r.files, r.status);
                    return 1;
                }
                double& b = best[ours ? 0 : 1];
                b = qMin(b, r.seconds);
                if (ours)
                    peak = qMax(peak, r.peakKb);
                clear(dir);
            }
        }
        out << "| " << format << " | " << QString::number(best[0], 'f', 2) << " | "
            << QString::number(best[1], 'f', 2) << " | " << QString::number(best[0] / best[1], 'f', 2)
            << " | " << QString::number(peak / 1024.0, 'f', 1) << " |\n";
        out.flush();
    }
    return 0;
}
