// Recognition benchmark: the same page files recognised by the queue with
// two workers (two engines, one thread each) and by the `tesseract` command
// in two processes side by side (each one thread, given half of the pages
// as a list, so each loads its data once as an engine does), alternating
// round by round; the fastest round of each side counts. Both sides start
// with loading the language data. Also the peak resident memory of the two
// engines above this program's before any recognition.
//
//   bench_ocr [pages] [rounds] [language key] [work folder]
//
// Pages: 300 dpi grey JPEG pages of 24 lines of Chinese and English text.
// Prints a markdown table row.
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

// Seconds for the queue with two workers to recognise every page.
double RunQueue(const QStringList& pages, OcrLanguage language, int* failures)
{
    for (const QString& page : pages) {
        TextStore::Remove(page);
    }
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
    return timer.elapsed() / 1000.0;
}

// Seconds for two tesseract processes, each with half of the pages.
double RunCommand(const QStringList& pages, const QString& languages, const QString& folder, bool* ok)
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
    QElapsedTimer timer;
    timer.start();
    QProcess processes[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("OMP_THREAD_LIMIT", "1");
        processes[i].setProcessEnvironment(environment);
        processes[i].setStandardOutputFile(QProcess::nullDevice());
        processes[i].start("tesseract", {lists.at(i), "stdout", "-l", languages});
    }
    *ok = true;
    for (QProcess& process : processes) {
        *ok = process.waitForFinished(-1) && process.exitCode() == 0 && *ok;
    }
    return timer.elapsed() / 1000.0;
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

    // Memory first, in a process that has recognised nothing yet.
    const long baseline = StatusKb("VmRSS");
    ResetPeak();
    int failures = 0;
    double ours = RunQueue(pages, language, &failures);
    const long peak = StatusKb("VmHWM") - baseline;
    double theirs = 1e9;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        bool roundOk = false;
        theirs = std::min(theirs, RunCommand(pages, key, folder, &roundOk));
        ok = ok && roundOk;
        if (round > 0) {
            ours = std::min(ours, RunQueue(pages, language, &failures));
        }
    }
    if (failures > 0 || !ok) {
        std::fprintf(stderr, "failed: %d pages of ours, tesseract %s\n", failures, ok ? "ok" : "failed");
        return 1;
    }
    std::printf(
        "| Language | Pages | Ours (s) | Ours (pages/min) | tesseract ×2 (s) | tesseract (pages/min) | Ratio "
        "ours/tesseract (time) | Peak memory of two engines (MiB) |\n|---|---|---|---|---|---|---|---|\n");
    std::printf("| %s | %d | %.2f | %.1f | %.2f | %.1f | %.2f | %.0f |\n", qPrintable(key), pageCount, ours,
                pageCount * 60.0 / ours, theirs, pageCount * 60.0 / theirs, ours / theirs, peak / 1024.0);
    return 0;
}
