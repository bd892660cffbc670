// A whole session at scale through the real main window: the program's
// start-up job on the simulated feeder, then
//   save   for each multi-page format a feeder batch of N sheets into the page
//          list and the save by the "保存" action;
//   after  for each multi-page format a batch with "扫描完立即保存" on (the
//          scan and the save that follows it, as one step);
//   pages  a batch, "顺时针90°" on its first 50 pages (and the same turns one
//          by one on one thread, for reference), "删除" of every page, another
//          batch and "清除全部".
//   ocr    text recognition: a batch with recognition off; its pages
//          rewritten as pages of printed text (the simulator's carry little to
//          recognise); recognition switched on ("简体中文+英文"), which queues
//          them, and at once another batch scanned while they are recognised
//          (one worker while the scanner runs); then the wait until every page
//          of both batches is recognised (one worker per core); "清除全部".
// Prints one line per step: wall time, the step's peak resident memory
// (VmHWM after resetting it) and the longest lateness of a 10 ms timer on the
// user-interface thread during the step.
//
// usage: bench_session <sheets> <work folder> [save,after,pages,ocr] [page-delay-ms]
// Needs SANE_CONFIG_DIR / LD_LIBRARY_PATH of the simulator (run.sh sets them).
#include "deviceopt.h"
#include "execcmd.h"
#include "imageproc.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "ocrpage.h"
#include "pagerecognition.h"
#include "splashdialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <functional>
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

// Presses 是 (or else 确定) in every message box that comes up (the
// questions, the "保存成功" note and the like), printing its text.
void AnswerBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", qPrintable(box->text()));
            QAbstractButton* button = box->button(QMessageBox::Yes);
            if (!button) {
                button = box->button(QMessageBox::Ok);
            }
            if (button) {
                button->click(); // what the box reports is the button clicked
            }
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

// Runs an action (none when null) until `done` holds and no background job runs, with a 10 ms
// timer on the user-interface thread recording its longest lateness. The
// action may open a modal question first (answered by AnswerBoxes); the timer
// goes on running inside it.
Step RunUntil(MainWindow* window, const char* action, const std::function<bool()>& done)
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
    beat.start();
    ticker.start(10);
    if (action != nullptr) {
        window->findChild<QAction*>(QLatin1String(action))->trigger();
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() && !window->JobRunning()) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
    ticker.stop();
    step.seconds = clock.elapsed() / 1000.0;
    step.peakKb = StatusKb("VmHWM");
    return step;
}

// Rewrites every page file as a page of 24 printed lines of Chinese and
// English (300 dpi grey JPEG, four different pages in turn), atomically.
bool WriteTextPages(const QList<QString>& pages)
{
    const QStringList lines{"档案管理与办公室文件的扫描和保存", "本单位年度工作总结报告请各部门按时提交",
                            "Annual report of the archive office and its scanned files"};
    QList<QByteArray> drawn;
    for (int p = 0; p < 4; ++p) {
        OcrPage::Sheet sheet;
        for (int i = 0; i < 24; ++i) {
            sheet.lines.append(lines.at((i + p) % lines.size()));
        }
        sheet.points = 11;
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        if (!buffer.open(QIODevice::WriteOnly) || !OcrPage::Render(sheet).image.save(&buffer, "JPEG", 90)) {
            return false;
        }
        drawn.append(jpeg);
    }
    for (int i = 0; i < pages.size(); ++i) {
        QSaveFile file(pages.at(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(drawn.at(i % drawn.size())) < 0 ||
            !file.commit()) {
            return false;
        }
    }
    return true;
}

void Print(const char* name, const Step& s, int pages)
{
    std::printf("%-16s %8.2f s  peak %7.1f MiB  pages %4d  longest stall %d ms\n", name, s.seconds,
                s.peakKb / 1024.0, pages, s.maxDelayMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_session <sheets> <work folder> [save,after,pages,ocr] [page-delay-ms]\n");
        return 2;
    }
    const QStringList steps = QString::fromLatin1(argc > 3 ? argv[3] : "save,after,pages").split(',');
    const int sheets = QString::fromLocal8Bit(argv[1]).toInt();
    const int pageDelayMs = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;
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
    auto* saveAfterScan = window->findChild<QCheckBox*>(QStringLiteral("cbSaveAfterScan"));
    int load = 0;
    long sessionPeakKb = 0;
    auto scan = [&](const char* name) {
        WriteScenario(QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2\npage-delay-ms=%3\n")
                          .arg(sheets)
                          .arg(++load)
                          .arg(pageDelayMs));
        const int before = window->PageFiles().size();
        const Step step = RunUntil(window, "actionScanToLast", [&] {
            return saveAfterScan->isChecked() ? window->PageFiles().isEmpty()
                                              : window->PageFiles().size() > before;
        });
        Print(name, step, sheets);
        sessionPeakKb = qMax(sessionPeakKb, step.peakKb);
    };
    auto pagesGone = [window] { return window->PageFiles().isEmpty(); };

    if (steps.contains(QLatin1String("save"))) {
        for (const auto& save : saves) {
            scan("scan");
            if (load == 1) {
                // The pages for the reference tools (hard links: no copy).
                for (const QString& page : window->PageFiles()) {
                    const QString target = keep + QLatin1Char('/') + QFileInfo(page).fileName();
                    if (::link(QFile::encodeName(page).constData(), QFile::encodeName(target).constData()) !=
                        0) {
                        std::fprintf(stderr, "cannot keep %s for the reference tools\n", qPrintable(page));
                    }
                }
            }
            format->setCurrentIndex(save.format);
            const Step saved = RunUntil(window, "actionSave", pagesGone);
            Print(save.name, saved, sheets);
            sessionPeakKb = qMax(sessionPeakKb, saved.peakKb);
        }
    }
    if (steps.contains(QLatin1String("after"))) {
        // "扫描完立即保存": the scan and the save that follows it, as one step.
        saveAfterScan->setChecked(true);
        for (const auto& save : saves) {
            format->setCurrentIndex(save.format);
            scan(qPrintable(QStringLiteral("scan+save %1").arg(QLatin1String(save.name))));
        }
        saveAfterScan->setChecked(false);
    }
    if (steps.contains(QLatin1String("pages"))) {
        auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
        scan("scan");
        const QList<QString> pages = window->PageFiles();
        // Turning the first 50 pages: by the action (their angles in the
        // list), then the same files rewritten turned one by one on this
        // thread, the way a turn was made before.
        const int turned = qMin(50, pages.size());
        list->clearSelection();
        for (int row = 0; row < turned; ++row) {
            list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
        }
        PageList* model = window->findChild<ImageViewWidget*>()->Pages();
        const Step rotate = RunUntil(window, "actionRotateRight", [&] {
            return model->At(turned - 1).angle == 90 && model->At(0).angle == 90;
        });
        Print("rotate", rotate, turned);
        QElapsedTimer one;
        one.start();
        ImageProc proc;
        for (int row = 0; row < turned; ++row) {
            proc.SaveAs(pages.at(row), pages.at(row), 90.0, true);
        }
        std::printf("%-16s %8.2f s  pages %4d  ratio action/rewrite %.4f\n", "rewrite, 1 thread",
                    one.elapsed() / 1000.0, turned, rotate.seconds / (one.elapsed() / 1000.0));

        list->selectAll();
        Print("delete all", RunUntil(window, "actionDelete", pagesGone), pages.size());
        scan("scan");
        Print("clear all", RunUntil(window, "actionBroom", pagesGone), sheets);
    }
    if (steps.contains(QLatin1String("ocr"))) {
        auto* language = window->findChild<QComboBox*>(QStringLiteral("cmOcrLanguage"));
        PageRecognition* recognition = window->Recognition();
        PageList* model = window->findChild<ImageViewWidget*>()->Pages();
        scan("scan, ocr off");
        if (!WriteTextPages(window->PageFiles())) {
            std::fprintf(stderr, "cannot write the text pages\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        language->setCurrentIndex(language->findData(QStringLiteral("chi_sim+eng")));
        if (recognition->Language() == OcrLanguage::None) {
            std::fprintf(stderr, "recognition did not start\n");
            return 1;
        }
        scan("scan, ocr on");
        const Step idle = RunUntil(window, nullptr, [recognition] { return !recognition->HasPending(); });
        int recognised = 0;
        int words = 0;
        for (const Page& page : model->Pages()) {
            if (model->IsRecognised(page.id)) {
                ++recognised;
                for (const TextParagraph& paragraph : model->TextOf(page.id).paragraphs) {
                    for (const TextLine& line : paragraph.lines) {
                        words += line.words.size();
                    }
                }
            }
        }
        Print("ocr, idle", idle, model->Count());
        std::printf("%-16s %8.2f s  pages %4d of %d recognised, %d words\n", "ocr, all",
                    clock.elapsed() / 1000.0, recognised, model->Count(), words);
        language->setCurrentIndex(language->findData(QStringLiteral("none")));
        Print("clear all", RunUntil(window, "actionBroom", pagesGone), model->Count());
    }
    std::printf("session    peak %.1f MiB, files in %s: %s\n", sessionPeakKb / 1024.0, qPrintable(out),
                qPrintable(QDir(out).entryList(QDir::Files).join(QLatin1Char(' '))));
    delete window;
    return 0;
}
