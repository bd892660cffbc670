// A whole session at scale through the real main window: the program's
// start-up job on the simulated feeder, then for each multi-page format a
// feeder batch of N sheets into the page list and the save by the "保存"
// action. Prints one line per step: wall time, the step's peak resident
// memory (VmHWM after resetting it) and, for the scans, the longest delay of a
// 10 ms timer on the user-interface thread while pages arrived.
//
// usage: bench_session <sheets> <work folder>
// Needs SANE_CONFIG_DIR / LD_LIBRARY_PATH of the simulator (run.sh sets them).
#include "deviceopt.h"
#include "execcmd.h"
#include "mainwindow.h"
#include "splashdialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

long StatusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("5");
    }
}

void WriteScenario(const QString& text)
{
    QFile f(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + QStringLiteral("/scenario.conf"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(text.toUtf8());
    }
}

// Presses the default button of every message box that comes up (the
// "保存成功" note and the like), printing its text.
void AnswerBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", qPrintable(box->text()));
            box->done(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok);
        }
    });
    timer->start(10);
}

bool WaitFor(QObject* sender, const char* signal, int timeoutMs)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    loop.exec();
    // Still running: the loop ended through the signal.
    return timeout.isActive();
}

struct Step {
    double seconds = 0;
    long peakKb = 0;
    int maxDelayMs = 0;
};

// Runs an action to the end of its background job.
Step RunJob(MainWindow* window, const char* action, bool watchLatency)
{
    Step step;
    QElapsedTimer beat;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const int delay = int(beat.restart()) - 10;
        step.maxDelayMs = qMax(step.maxDelayMs, delay);
    });
    ResetPeak();
    QElapsedTimer clock;
    clock.start();
    if (watchLatency) {
        beat.start();
        ticker.start(10);
    }
    window->findChild<QAction*>(QLatin1String(action))->trigger();
    if (!WaitFor(window, SIGNAL(sglJobDone()), 30 * 60 * 1000)) {
        std::fprintf(stderr, "%s: the job did not end\n", action);
    }
    ticker.stop();
    step.seconds = clock.elapsed() / 1000.0;
    step.peakKb = StatusKb("VmHWM");
    return step;
}

void Print(const char* name, const Step& s, int pages)
{
    std::printf("%-10s %8.2f s  peak %7.1f MiB  pages %4d", name, s.seconds, s.peakKb / 1024.0, pages);
    if (s.maxDelayMs > 0) {
        std::printf("  max event-loop delay %d ms", s.maxDelayMs);
    }
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_session <sheets> <work folder>\n");
        return 2;
    }
    const int sheets = QString::fromLocal8Bit(argv[1]).toInt();
    const QString work = QString::fromLocal8Bit(argv[2]);
    const QString home = work + QStringLiteral("/home");
    const QString out = work + QStringLiteral("/out");
    const QString keep = work + QStringLiteral("/pages");
    QDir().mkpath(home);
    QDir().mkpath(keep);
    {
        QSettings ini(home + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), out);
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("b"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("1"));
    }
    WriteScenario(QStringLiteral("sheets=0\n"));
    AnswerBoxes();

    std::printf("start      VmRSS %ld KiB\n", StatusKb("VmRSS"));
    auto* window = new MainWindow(home, work + QStringLiteral("/tmp"));
    const QByteArray simBin = qgetenv("SCANVY_SIM_BIN");
    window->SetDeviceOpt(DeviceOpt(
        [simBin](const QString& command) {
            QString line = command;
            line.replace(QStringLiteral("/opt/zylkx/consumables/"), QString::fromLocal8Bit(simBin) + '/');
            line.replace(QStringLiteral("/opt/zylwy/consumables/"), QString::fromLocal8Bit(simBin) + '/');
            return ExecCmd(line);
        },
        GetOSName));
    auto* splash = new SplashDialog(window, QStringLiteral("0"));
    QObject::connect(splash, &SplashDialog::sglSplashFinished, window, [splash, window] {
        splash->close();
        window->show();
    });
    splash->open();
    splash->DoInitJob();
    if (!WaitFor(window, SIGNAL(sglStartupDone(bool)), 60000) || !window->DeviceReady()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }
    auto* resolution = window->findChild<QSpinBox*>(QStringLiteral("sbResolution"));
    resolution->setValue(300);
    emit resolution->editingFinished();
    auto* mode = window->findChild<QComboBox*>(QStringLiteral("cmMode"));
    mode->setCurrentIndex(mode->findData(QStringLiteral("Color")));
    auto* paper = window->findChild<QComboBox*>(QStringLiteral("cmPaperSize"));
    paper->setCurrentIndex(paper->findData(QStringLiteral("A4")));
    std::printf("ready      VmRSS %ld KiB\n", StatusKb("VmRSS"));

    const struct {
        const char* name;
        int format;
    } saves[] = {{"PDF", 6}, {"OFD", 8}, {"TIFF", 1}};
    auto* format = window->findChild<QComboBox*>(QStringLiteral("cmImageFormat"));
    int load = 0;
    long sessionPeakKb = 0;
    for (const auto& save : saves) {
        WriteScenario(QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2\n").arg(sheets).arg(++load));
        const Step scan = RunJob(window, "actionScanToLast", true);
        const int pages = window->PageFiles().size();
        Print("scan", scan, pages);
        sessionPeakKb = qMax(sessionPeakKb, scan.peakKb);
        if (load == 1) {
            // The pages for the reference tools (hard links: no copy).
            for (const QString& page : window->PageFiles()) {
                const QString target = keep + QLatin1Char('/') + QFileInfo(page).fileName();
                if (::link(QFile::encodeName(page).constData(), QFile::encodeName(target).constData()) != 0) {
                    std::fprintf(stderr, "cannot keep %s for the reference tools\n", qPrintable(page));
                }
            }
        }
        format->setCurrentIndex(save.format);
        const Step saved = RunJob(window, "actionSave", false);
        Print(save.name, saved, pages);
        sessionPeakKb = qMax(sessionPeakKb, saved.peakKb);
    }
    std::printf("session    peak %.1f MiB, files in %s: %s\n", sessionPeakKb / 1024.0, qPrintable(out),
                qPrintable(QDir(out).entryList(QDir::Files).join(QLatin1Char(' '))));
    delete window;
    return 0;
}
