// Recognition benchmark: the same page files recognised by the queue with
// two workers (two engines, one thread each) and by the `tesseract` command
// in two processes side by side (each one thread, given half of the pages
// as a list, so each loads its data once as an engine does, at the lower
// priority the queue's workers run at), alternating
// round by round; the fastest round of each side counts. Both sides start
// with loading the language data. Each side's processor time (user + system,
// from getrusage: this process for the queue, the reaped children for the
// command) is counted too: it depends far less on what else the machine runs
// than the wall time. Also the peak resident memory of the two engines above
// this program's before any recognition.
//
//   bench_ocr [pages] [rounds] [language key] [work folder]
//
// Pages: 300 dpi grey JPEG pages of 24 lines of Chinese and English text.
// Prints one line per round on the error stream and a markdown table row.
#include "benchclock.h"
#include "ocrpage.h"
#include "ocrqueue.h"
#include "textstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long StatusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Wall and processor seconds of one side's run.
struct Cost {
    double wall = 1e9;
    double cpu = 1e9;
};

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("5");
    }
}

QStringList WritePages(const QString& folder, int count)
{
    const QStringList chinese{"档案管理与办公室文件的扫描和保存", "本单位年度工作总结报告请各部门按时提交",
                              "文字识别在后台进行不影响扫描速度"};
    const QStringList english{"Annual report of the archive office and its scanned files",
                              "Please return the signed forms to the office by Friday"};
    QStringList paths;
    for (int p = 0; p < count; ++p) {
        OcrPage::Sheet sheet;
        for (int i = 0; i < 24; ++i) {
            sheet.lines.append(i % 3 == 2 ? english.at((i + p) % english.size())
                                          : chinese.at((i + p) % chinese.size()));
        }
        sheet.points = 11;
        sheet.dpi = 300;
        sheet.ink = OcrPage::Ink::Grey;
        const QString path = folder + QString("/scan%1.jpg").arg(p + 1, 4, 10, QChar('0'));
        if (!OcrPage::Render(sheet).image.save(path, nullptr, 90)) {
            return {};
        }
        paths.append(path);
    }
    return paths;
}

// The queue with two workers recognising every page.
Cost RunQueue(const QStringList& pages, OcrLanguage language, int* failures)
{
    for (const QString& page : pages) {
        TextStore::Remove(page);
    }
    const double cpu = BenchCpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    OcrQueue queue;
    queue.SetLanguage(language);
    queue.SetWorkerCount(2);
    QEventLoop loop;
    *failures = 0;
    QObject::connect(&queue, &OcrQueue::sglPageFailed, [&](quint64, const QString&) { ++*failures; });
    QObject::connect(&queue, &OcrQueue::sglProgress, [&](int done, int total) {
        if (done == total && total == pages.size()) {
            loop.quit();
        }
    });
    for (int i = 0; i < pages.size(); ++i) {
        queue.Add(quint64(i + 1), pages.at(i), 0);
    }
    loop.exec();
    return Cost{timer.elapsed() / 1000.0, BenchCpuSeconds(RUSAGE_SELF) - cpu};
}

// Two tesseract processes, each with half of the pages.
Cost RunCommand(const QStringList& pages, const QString& languages, const QString& folder, bool* ok)
{
    QStringList lists;
    for (int half = 0; half < 2; ++half) {
        const QString list = folder + QString("/list%1.txt").arg(half);
        QFile f(list);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (int i = half; i < pages.size(); i += 2) {
            f.write(QFile::encodeName(pages.at(i)) + '\n');
        }
        lists.append(list);
    }
    const double cpu = BenchCpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    QProcess processes[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("OMP_THREAD_LIMIT", "1");
        processes[i].setProcessEnvironment(environment);
        processes[i].setStandardOutputFile(QProcess::nullDevice());
        // At the priority the queue's workers give themselves (ten steps
        // below the program), so that neither side yields more to the rest
        // of the machine.
        processes[i].start("nice", {"-n", "10", "tesseract", lists.at(i), "stdout", "-l", languages});
    }
    *ok = true;
    for (QProcess& process : processes) {
        *ok = process.waitForFinished(-1) && process.exitCode() == 0 && *ok;
    }
    return Cost{timer.elapsed() / 1000.0, BenchCpuSeconds(RUSAGE_CHILDREN) - cpu};
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pageCount = args.size() > 1 ? args.at(1).toInt() : 8;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 3;
    const QString key = args.size() > 3 ? args.at(3) : QStringLiteral("chi_sim+eng");
    QTemporaryDir temporary;
    const QString folder = args.size() > 4 ? args.at(4) : temporary.path();
    const OcrLanguage language = OcrLanguageFromKey(key);
    if (language == OcrLanguage::None || pageCount < 2) {
        std::fprintf(stderr, "usage: bench_ocr [pages>=2] [rounds] [chi_sim+eng|chi_tra+eng|eng] [folder]\n");
        return 2;
    }
    QDir().mkpath(folder);
    const QStringList pages = WritePages(folder, pageCount);
    if (pages.isEmpty()) {
        std::fprintf(stderr, "cannot write the pages in %s\n", qPrintable(folder));
        return 1;
    }

    // Memory first, in a process that has recognised nothing yet; then the
    // sides alternate: ours first in even rounds, the command first in odd.
    const QByteArray loadBefore = BenchLoadAverage();
    const long baseline = StatusKb("VmRSS");
    ResetPeak();
    int failures = 0;
    Cost ours = RunQueue(pages, language, &failures);
    const long peak = StatusKb("VmHWM") - baseline;
    Cost theirs;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        Cost mine = round == 0 ? ours : Cost();
        bool roundOk = false;
        if (round % 2 == 1) {
            const Cost command = RunCommand(pages, key, folder, &roundOk);
            mine = RunQueue(pages, language, &failures);
            theirs = Cost{std::min(theirs.wall, command.wall), std::min(theirs.cpu, command.cpu)};
            std::fprintf(stderr, "round %d: tesseract %.2f s (cpu %.2f s), ours %.2f s (cpu %.2f s)\n",
                         round + 1, command.wall, command.cpu, mine.wall, mine.cpu);
        } else {
            if (round > 0) {
                mine = RunQueue(pages, language, &failures);
            }
            const Cost command = RunCommand(pages, key, folder, &roundOk);
            theirs = Cost{std::min(theirs.wall, command.wall), std::min(theirs.cpu, command.cpu)};
            std::fprintf(stderr, "round %d: ours %.2f s (cpu %.2f s), tesseract %.2f s (cpu %.2f s)\n",
                         round + 1, mine.wall, mine.cpu, command.wall, command.cpu);
        }
        ours = Cost{std::min(ours.wall, mine.wall), std::min(ours.cpu, mine.cpu)};
        ok = ok && roundOk;
    }
    std::fprintf(stderr, "load average before %s, after %s\n", loadBefore.constData(),
                 BenchLoadAverage().constData());
    if (failures > 0 || !ok) {
        std::fprintf(stderr, "failed: %d pages of ours, tesseract %s\n", failures, ok ? "ok" : "failed");
        return 1;
    }
    std::printf(
        "| Language | Pages | Ours (s) | tesseract ×2 (s) | Ratio ours/tesseract (time) | Ours CPU (s) | "
        "tesseract CPU (s) | Ratio ours/tesseract (CPU) | Ours pages/min on 2 cores (CPU) | Peak memory "
        "of two engines (MiB) |\n|---|---|---|---|---|---|---|---|---|---|\n");
    std::printf("| %s | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f | %.0f |\n", qPrintable(key),
                pageCount, ours.wall, theirs.wall, ours.wall / theirs.wall, ours.cpu, theirs.cpu,
                ours.cpu / theirs.cpu, pageCount * 60.0 * 2 / ours.cpu, peak / 1024.0);
    return 0;
}
