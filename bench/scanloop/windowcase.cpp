// The window case of the scan-loop benchmark: the real MainWindow (its
// start-up job on the simulated feeder, then "扫描到最后") scanning a batch of
// A4 colour sheets at 300 dpi into JPEG pages, with recognition off and with
// it on ("简体中文+英文", its engines made before the scan as the window makes
// them), against scanimage --batch on the same device writing JPEG, the three
// sides rotating round by round. A side's time runs from the action to the
// end of the scan job (every page in the list, no job running); its
// processor time is that of the whole process meanwhile (the interface
// thread, the scan job, the flusher, thumbnails, recognition).
#include "benchclock.h"
#include "deviceopt.h"
#include "execcmd.h"
#include "mainwindow.h"
#include "pagerecognition.h"
#include "scanloopbench.h"
#include "splashdialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace ScanLoopBench {

namespace {

// Presses 是 (or else 确定) in every message box that comes up ("清除全部"
// asks).
void AnswerBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QAbstractButton* button = box->button(QMessageBox::Yes);
            if (!button)
                button = box->button(QMessageBox::Ok);
            if (button)
                button->click();
        }
    });
    timer->start(10);
}

// Runs the event loop until `done` holds (polled every 5 ms) or `timeoutMs`
// passes; false on the timeout.
bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

MainWindow* StartWindow(const QString& work)
{
    const QString home = work + QStringLiteral("/home");
    QDir().mkpath(home);
    {
        QSettings ini(home + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), work + QStringLiteral("/out"));
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("b"));
    }
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
    bool started = false;
    QObject::connect(window, &MainWindow::sglStartupDone, [&started] { started = true; });
    QObject::connect(splash, &SplashDialog::sglSplashFinished, window, [splash, window] {
        splash->close();
        window->show();
    });
    splash->open();
    splash->DoInitJob();
    if (!RunUntil([&] { return started; }, 60000) || !window->DeviceReady())
        return nullptr;
    auto* resolution = window->findChild<QSpinBox*>(QStringLiteral("sbResolution"));
    resolution->setValue(300);
    emit resolution->editingFinished();
    auto* mode = window->findChild<QComboBox*>(QStringLiteral("cmMode"));
    mode->setCurrentIndex(mode->findData(QStringLiteral("Color")));
    auto* paper = window->findChild<QComboBox*>(QStringLiteral("cmPaperSize"));
    paper->setCurrentIndex(paper->findData(QStringLiteral("A4")));
    return window;
}

// Recognition off or on; on, the engines are made (at idle, before the
// scan) before this returns.
bool SetRecognition(MainWindow* window, bool on)
{
    auto* language = window->findChild<QComboBox*>(QStringLiteral("cmOcrLanguage"));
    language->setCurrentIndex(
        language->findData(on ? QStringLiteral("chi_sim+eng") : QStringLiteral("none")));
    PageRecognition* recognition = window->Recognition();
    if (!on)
        return recognition->Language() == OcrLanguage::None;
    return recognition->Language() != OcrLanguage::None &&
           RunUntil([recognition] { return recognition->EngineCount() >= recognition->WorkerCount(); },
                    120000);
}

Run ScanInWindow(MainWindow* window, int sheets)
{
    Run r;
    const double cpu = BenchCpuSeconds(RUSAGE_SELF);
    QElapsedTimer t;
    t.start();
    window->findChild<QAction*>(QStringLiteral("actionScanToLast"))->trigger();
    const bool done =
        RunUntil([&] { return window->PageFiles().size() >= sheets && !window->JobRunning(); }, 600000);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpu = BenchCpuSeconds(RUSAGE_SELF) - cpu;
    r.files = window->PageFiles().size();
    r.status = done ? 0 : 1;
    r.recognised = window->Recognition()->DoneCount();
    return r;
}

// Empties the page list ("清除全部") and waits until recognition has stopped.
bool ClearWindow(MainWindow* window)
{
    window->findChild<QAction*>(QStringLiteral("actionBroom"))->trigger();
    PageRecognition* recognition = window->Recognition();
    const bool cleared = RunUntil(
        [&] { return window->PageFiles().isEmpty() && !window->JobRunning() && !recognition->HasPending(); },
        60000);
    // A page being recognised stops at its next word.
    QThread::msleep(300);
    return cleared;
}

QString Fixed(double v)
{
    return QString::number(v, 'f', 2);
}

} // namespace

int RunWindowCase(const Device& device, int rounds, int delayMs, const QString& work)
{
    if (!device.simulator) {
        std::fprintf(stderr, "the window case scans the simulator's feeder\n");
        return 2;
    }
    WriteScenario(device, 0, delayMs);
    AnswerBoxes();
    MainWindow* window = StartWindow(work);
    if (window == nullptr) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }
    const QString peerDir = work + QStringLiteral("/peer");
    QDir().mkpath(peerDir);
    const QStringList names{"scanimage", "window, recognition off", "window, recognition on"};
    QList<double> seconds[3], cpu[3], ratio[3], cpuRatio[3];
    int load = 0;
    for (int round = 0; round < rounds; ++round) {
        Run runs[3];
        for (int k = 0; k < 3; ++k) {
            const int side = (round + k) % 3;
            if (side != 0 && !SetRecognition(window, side == 2)) {
                std::fprintf(stderr, "recognition cannot be set\n");
                return 1;
            }
            WriteScenario(device, ++load, delayMs);
            const Run r = side == 0 ? RunScanimage(device, peerDir, QStringLiteral("jpg"))
                                    : ScanInWindow(window, device.sheets);
            std::fprintf(stderr, "round %d %s: %.2f s, cpu %.2f s, %d pages%s\n", round + 1,
                         qPrintable(names.at(side)), r.seconds, r.cpu, r.files,
                         side == 2 ? qPrintable(QString(", %1 recognised meanwhile").arg(r.recognised)) : "");
            if (r.files != device.sheets) {
                std::fprintf(stderr, "%s: %d pages\n", qPrintable(names.at(side)), r.files);
                return 1;
            }
            runs[side] = r;
            if (side == 0)
                Clear(peerDir);
            else if (!ClearWindow(window))
                return 1;
        }
        for (int side = 0; side < 3; ++side) {
            seconds[side] << runs[side].seconds;
            cpu[side] << runs[side].cpu;
            ratio[side] << runs[side].seconds / runs[0].seconds;
            cpuRatio[side] << runs[side].cpu / runs[0].cpu;
        }
    }
    QTextStream out(stdout);
    out << "| Side | Median (s) | Median CPU (s) | Ratio to scanimage (time), median [range] | Ratio (CPU), "
           "median [range] |\n|---|---|---|---|---|\n";
    for (int side = 1; side < 3; ++side) {
        out << "| " << names.at(side) << " | " << Fixed(Median(seconds[side])) << " | "
            << Fixed(Median(cpu[side])) << " | " << Fixed(Median(ratio[side])) << " ["
            << Fixed(*std::min_element(ratio[side].begin(), ratio[side].end())) << " - "
            << Fixed(*std::max_element(ratio[side].begin(), ratio[side].end())) << "] | "
            << Fixed(Median(cpuRatio[side])) << " ["
            << Fixed(*std::min_element(cpuRatio[side].begin(), cpuRatio[side].end())) << " - "
            << Fixed(*std::max_element(cpuRatio[side].begin(), cpuRatio[side].end())) << "] |\n";
    }
    out << "| scanimage | " << Fixed(Median(seconds[0])) << " | " << Fixed(Median(cpu[0])) << " | | |\n";
    out.flush();
    delete window;
    return 0;
}

} // namespace ScanLoopBench
