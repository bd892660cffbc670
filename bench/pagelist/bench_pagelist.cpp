// Memory and time of the page list with many scanned pages.
//
//   bench_pagelist prepare <dir> <pages> jpg|tiff
//                          write A4 300 dpi pages: colour JPEG, or 1-bit
//                          uncompressed TIFF as the scanner writes them
//   bench_pagelist baseline <dir>      the workspace without pages
//   bench_pagelist add <dir> [count]   add the first `count` pages (all
//                                      thumbnails shown), as a scan does
//   bench_pagelist pages <dir> [steps] add every page, then switch pages:
//                                      `steps` single steps of "下一页" at a
//                                      reading pace, then the down arrow
//                                      held through the whole list
//   bench_pagelist decode <dir> [count]
//                          peers: full-size QImage decode of a page, and
//                          the large view's former switch (full decode,
//                          fitted by the label) of the same pages
//   bench_pagelist reorder <dir> [pages]
//                          time moves and drops of pages (writes
//                          small pages of its own into <dir>)
//   bench_pagelist turn <dir> [pages]
//                          add the pages, then turn all of them right four
//                          times; peer: the former turn, each file rewritten
//                          turned (over all cores) and its row redrawn.
//                          Rewrites the files of <dir>.
//   bench_pagelist history <dir> [pages] [changes]
//                          time deletes and moves without and with the
//                          page history, undo and redo of them, and the
//                          memory the history takes as changes add up
//   bench_pagelist historymem <pages> <changes> on|off
//                          the page list alone (no view, no files): the
//                          resident size as changes add up, with the
//                          history or without it (the peer)
//
// Switch times are measured as the user sees them: from the action (or the
// moment the key repeat delivers the key) until the label holds the new
// page's pixmap and the events it caused, painting included, are handled.
// run.sh runs the modes under /usr/bin/time -v and compares peak sizes.
#include "benchpages.h"
#include "imageproc.h"
#include "imageviewwidget.h"
#include "pagehistory.h"
#include "thumblistwidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QTextStream>
#include <QThread>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

namespace {

const QSize kA4At300Dpi(2480, 3508); // BenchPages::Letter
const int kDistinctPages = 8;
// Key repeat of a held key: about 30 per second.
const int kRepeatMs = 33;

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

QStringList PageFiles(const QString& dir)
{
    QStringList files;
    const QStringList names = QDir(dir).entryList({QStringLiteral("scan*.jpg"), QStringLiteral("scan*.tiff")},
                                                  QDir::Files, QDir::Name);
    for (const QString& name : names) {
        files << QDir(dir).filePath(name);
    }
    return files;
}

int Prepare(const QString& dir, int count, const QString& kind)
{
    const bool tiff = kind == QLatin1String("tiff");
    QDir().mkpath(dir);
    QStringList distinct;
    for (int i = 0; i < kDistinctPages; ++i) {
        const QString path =
            QDir(dir).filePath(QStringLiteral("seed%1.%2").arg(i).arg(tiff ? "tif" : "jpeg"));
        const QImage page = BenchPages::Letter(i);
        // Black and white as a scanner's threshold makes it, uncompressed.
        const bool saved =
            tiff ? page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).save(path, "TIFF")
                 : page.save(path, "JPEG", 80);
        if (!saved) {
            return 1;
        }
        distinct << path;
    }
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(dir).filePath(
            QStringLiteral("scan%1.%2").arg(i + 1, 4, 10, QLatin1Char('0')).arg(tiff ? "tiff" : "jpg"));
        QFile::remove(path);
        if (!QFile::copy(distinct.at(i % kDistinctPages), path)) {
            return 1;
        }
    }
    Out() << "prepared " << count << " " << kind << " pages of " << kA4At300Dpi.width() << "x"
          << kA4At300Dpi.height() << " in " << dir << Qt::endl;
    return 0;
}

struct Workspace {
    QWidget host;
    ThumbListWidget* list = nullptr;
    ImageViewWidget* view = nullptr;

    Workspace()
    {
        auto* row = new QHBoxLayout(&host);
        list = new ThumbListWidget(&host);
        row->addWidget(list);
        auto* right = new QVBoxLayout;
        row->addLayout(right);
        view = new ImageViewWidget(list, right, &host);
        host.resize(1200, 900);
        host.show();
        QApplication::processEvents();
    }
    ~Workspace() { delete view; }

    QLabel* Label() const { return host.findChild<QLabel*>(QStringLiteral("largeLabel")); }
    qint64 Shown() const { return Label()->pixmap(Qt::ReturnByValue).cacheKey(); }

    bool ThumbnailsLoading() const { return view->IsLoadingThumbnails(); }

    // Adds pages as a scan does: one row per page, then numbers and the
    // last page current. Returns when every thumbnail is drawn.
    qint64 Add(const QStringList& files)
    {
        QElapsedTimer timer;
        timer.start();
        for (const QString& file : files) {
            view->AddImage(file);
            QApplication::processEvents();
        }
        view->RefreshInfos();
        view->SetSelection(list->RowCount() - 1);
        QApplication::processEvents();
        while (ThumbnailsLoading()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return timer.elapsed();
    }

    // Handles events until the large view has left the pixmap `before`
    // (or `limitMs` passed) and no event waits.
    void WaitShown(qint64 before, int limitMs = 10000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (Shown() == before && timer.elapsed() < limitMs) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        QApplication::processEvents();
    }

    // Handles events for `ms` milliseconds.
    static void Idle(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
    }
};

struct Stats {
    std::vector<double> ms;

    void Add(qint64 ns) { ms.push_back(ns / 1e6); }
    double Percentile(double p)
    {
        if (ms.empty()) {
            return 0;
        }
        std::sort(ms.begin(), ms.end());
        const size_t rank = size_t(std::max(1.0, std::ceil(p * double(ms.size()))));
        return ms.at(std::min(ms.size(), rank) - 1);
    }
    QString Line()
    {
        return QStringLiteral("n=%1 median_ms=%2 p95_ms=%3 max_ms=%4")
            .arg(ms.size())
            .arg(Percentile(0.5), 0, 'f', 2)
            .arg(Percentile(0.95), 0, 'f', 2)
            .arg(Percentile(1.0), 0, 'f', 2);
    }
};

int Baseline()
{
    Workspace ws;
    QApplication::processEvents();
    Out() << "baseline rss_kib=" << ResidentKiB() << Qt::endl;
    return 0;
}

int Add(const QString& dir, int count)
{
    const QStringList files = PageFiles(dir).mid(0, count);
    Workspace ws;
    const qint64 ms = ws.Add(files);
    Out() << "added pages=" << files.size() << " ms=" << ms << " rss_kib=" << ResidentKiB() << Qt::endl;
    return 0;
}

// "下一页" once, then a pause as when the user reads the page.
void SingleSteps(Workspace& ws, int steps)
{
    ws.view->FirstPage();
    ws.WaitShown(0);
    Workspace::Idle(300);
    Stats stats;
    QElapsedTimer timer;
    for (int i = 0; i < steps && ws.view->GetCurrentIndex() + 1 < ws.list->RowCount(); ++i) {
        const qint64 before = ws.Shown();
        timer.start();
        ws.view->NextPage();
        ws.WaitShown(before);
        stats.Add(timer.nsecsElapsed());
        Workspace::Idle(150);
    }
    Out() << "single_step " << stats.Line() << " cached_pages=" << ws.view->CachedPageCount()
          << " cached_mib=" << ws.view->CachedPageBytes() / (1024 * 1024) << " rss_kib=" << ResidentKiB()
          << Qt::endl;
}

// The down arrow held on the thumbnail list from the first to the last
// page. Key repeats arrive every kRepeatMs; one that is due while the
// program is still busy waits, and its switch is timed from when it was due
// until the view shows the page (its thumbnail, when it is not decoded yet).
void HeldKey(Workspace& ws)
{
    ws.view->FirstPage();
    ws.WaitShown(0);
    Workspace::Idle(300);
    ws.list->setFocus();
    Stats stats;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    while (ws.view->GetCurrentIndex() + 1 < ws.list->RowCount()) {
        due += qint64(kRepeatMs) * 1000000;
        while (clock.nsecsElapsed() < due) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        const qint64 before = ws.Shown();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(ws.list, &press);
        ws.WaitShown(before);
        stats.Add(clock.nsecsElapsed() - due);
    }
    // After the key is let go: until the last page is drawn from its file
    // (pages passed on the way may have shown their thumbnails).
    QElapsedTimer settle;
    settle.start();
    while (ws.view->IsDecoding()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    QApplication::processEvents();
    Out() << "held_key " << stats.Line() << " settle_ms=" << settle.elapsed()
          << " elapsed_ms=" << clock.elapsed() << " cached_pages=" << ws.view->CachedPageCount()
          << " cached_mib=" << ws.view->CachedPageBytes() / (1024 * 1024) << " rss_kib=" << ResidentKiB()
          << Qt::endl;
}

int Pages(const QString& dir, int steps)
{
    const QStringList files = PageFiles(dir);
    Workspace ws;
    Out() << "empty rss_kib=" << ResidentKiB() << Qt::endl;
    const qint64 ms = ws.Add(files);
    Out() << "added pages=" << files.size() << " ms=" << ms << " rss_kib=" << ResidentKiB() << Qt::endl;
    SingleSteps(ws, steps);
    HeldKey(ws);
    return 0;
}

// The large view as it was: the whole page decoded and given to the label,
// which fits it into the view when it paints.
int Decode(const QString& dir, int count)
{
    const QStringList files = PageFiles(dir).mid(0, count);
    Stats decode;
    QElapsedTimer timer;
    for (const QString& file : files) {
        timer.start();
        const QImage image = QImageReader(file).read();
        decode.Add(timer.nsecsElapsed());
        if (image.isNull()) {
            return 1;
        }
    }
    Out() << "full_decode " << decode.Line() << Qt::endl;

    QScrollArea area;
    auto* label = new QLabel;
    label->setScaledContents(true);
    area.setWidget(label);
    area.resize(1040, 900);
    area.show();
    QApplication::processEvents();
    const QSize view = area.viewport()->size();
    Stats shown;
    for (const QString& file : files) {
        timer.start();
        const QImage image = QImageReader(file).read();
        label->setPixmap(QPixmap::fromImage(image));
        label->resize(image.size().scaled(view, Qt::KeepAspectRatio));
        QApplication::processEvents();
        shown.Add(timer.nsecsElapsed());
    }
    Out() << "former_switch " << shown.Line() << Qt::endl;
    return 0;
}

// Times one reorder, including the relayout of the column that follows it.
void TimeReorder(const char* name, const std::function<bool()>& reorder)
{
    QElapsedTimer timer;
    timer.start();
    const bool moved = reorder();
    QApplication::processEvents();
    Out() << "reorder " << name << " moved=" << moved << " ms=" << timer.elapsed() << Qt::endl;
}

int Reorder(const QString& dir, int count)
{
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        QImage page(60, 80, QImage::Format_RGB32);
        page.fill(QColor::fromHsv(i * 7 % 360, 160, 230));
        files << QStringLiteral("%1/r%2.png").arg(dir).arg(i, 4, 10, QLatin1Char('0'));
        if (!page.save(files.last())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
            return 1;
        }
    }
    Workspace ws;
    for (const QString& file : qAsConst(files)) {
        ws.view->AddImage(file);
    }
    ws.view->RefreshInfos();
    ws.view->SetReorderEnabled(true);
    QApplication::processEvents();
    auto select = [&ws](const std::function<bool(int)>& selected) {
        QItemSelectionModel* model = ws.list->selectionModel();
        model->clearSelection();
        for (int row = 0; row < ws.list->RowCount(); ++row) {
            if (selected(row)) {
                model->select(ws.list->model()->index(row, 0), QItemSelectionModel::Select);
            }
        }
    };

    ws.view->SetSelection(0);
    QElapsedTimer timer;
    timer.start();
    // The page moves down one place a step: dropped into the gap after its
    // lower neighbour.
    for (int i = 1; i < count; ++i) {
        ws.view->MoveRows({i - 1}, i + 1);
        QApplication::processEvents();
    }
    Out() << "reorder first-page-down-to-the-end steps=" << count - 1 << " ms=" << timer.elapsed()
          << Qt::endl;

    select([](int row) { return row > 0; });
    QList<int> allButFirst;
    for (int row = 1; row < count; ++row) {
        allButFirst << row;
    }
    TimeReorder("all-but-first-up", [&] { return ws.view->MoveRows(allButFirst, 0); });
    select([](int row) { return row % 2 == 0; });
    QList<int> even;
    for (int row = 0; row < count; row += 2) {
        even << row;
    }
    TimeReorder("every-second-page-dropped-at-the-end", [&] { return ws.view->MoveRows(even, count); });
    select([count](int row) { return row == count - 1; });
    TimeReorder("last-page-dropped-first", [&] { return ws.view->MoveRows({count - 1}, 0); });
    return 0;
}

// Turning every page of the list on the interface thread: from the action
// until the large view shows the current page turned, no thumbnail is
// being drawn and no event waits.
int Turn(const QString& dir, int count)
{
    const QStringList files = PageFiles(dir).mid(0, count);
    Workspace ws;
    Out() << "turn pages=" << files.size() << " added_ms=" << ws.Add(files) << Qt::endl;
    Stats turns;
    for (int i = 0; i < 4; ++i) {
        ws.list->selectAll();
        QApplication::processEvents();
        const qint64 before = ws.Shown();
        QElapsedTimer timer;
        timer.start();
        ws.view->RotateRight();
        ws.WaitShown(before);
        while (ws.ThumbnailsLoading()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        turns.Add(timer.nsecsElapsed());
    }
    Out() << "turn all, angle in the list: " << turns.Line() << Qt::endl;

    // The former turn of the same pages: the files rewritten on every core,
    // then each row drawn again from its file.
    QElapsedTimer timer;
    timer.start();
    std::atomic<int> failed{0};
    QtConcurrent::blockingMap(files, [&failed](const QString& file) {
        ImageProc proc;
        if (!proc.SaveAs(file, file, 90.0, true)) {
            ++failed;
        }
    });
    const qint64 written = timer.elapsed();
    for (const QString& file : files) {
        ws.view->RedrawPage(file);
    }
    while (ws.ThumbnailsLoading()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    QApplication::processEvents();
    const double peer = timer.nsecsElapsed() / 1e6;
    Out() << "peer: files rewritten turned, rows redrawn: ms=" << peer << " (files " << written
          << " ms, failed " << failed << ")" << Qt::endl;
    Out() << "ratio turn median / peer = " << turns.Percentile(0.5) / peer << Qt::endl;
    return failed == 0 ? 0 : 1;
}

// The process's resident size in KiB.
long ResidentKib()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * 4;
}

// Times of one kind of operation: the median and the slowest, in ms.
struct Times {
    std::vector<double> ms;
    void Add(const QElapsedTimer& timer) { ms.push_back(timer.nsecsElapsed() / 1e6); }
    QString Line()
    {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? QStringLiteral("n=0")
                          : QStringLiteral("n=%1 median_ms=%2 max_ms=%3")
                                .arg(ms.size())
                                .arg(ms.at(ms.size() / 2), 0, 'f', 2)
                                .arg(ms.back(), 0, 'f', 2);
    }
};

int History(const QString& dir, int count, int changes)
{
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count + changes + 50; ++i) {
        QImage page(60, 80, QImage::Format_RGB32);
        page.fill(QColor::fromHsv(i * 7 % 360, 160, 230));
        files << QStringLiteral("%1/h%2.png").arg(dir).arg(i, 5, 10, QLatin1Char('0'));
        if (!page.save(files.last())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
            return 1;
        }
    }
    Workspace ws;
    QStringList shown = files.mid(0, count);
    ws.view->AddImages(shown, 0);
    ws.view->RefreshInfos();
    QApplication::processEvents();
    QRandomGenerator random(7);
    int spare = count;
    // One change: a page deleted and a new one appended (the list keeps its
    // size), or the selected page moved down.
    auto change = [&](Times* deletes, Times* moves, int i) {
        QElapsedTimer timer;
        const int row = int(random.bounded(ws.view->Pages()->Count() - 1));
        ws.view->SetSelection(row);
        QApplication::processEvents();
        timer.start();
        if (i % 2 == 0) {
            ws.view->Delete();
            QApplication::processEvents();
            deletes->Add(timer);
            ws.view->AddImage(files.at(spare++ % files.size()));
        } else {
            ws.view->MoveRows({row}, row + 2);
            QApplication::processEvents();
            moves->Add(timer);
        }
        QApplication::processEvents();
    };
    // The peer: the same changes without a history.
    Times plainDeletes, plainMoves;
    for (int i = 0; i < 40; ++i) {
        change(&plainDeletes, &plainMoves, i);
    }
    Out() << "without_history delete " << plainDeletes.Line() << Qt::endl;
    Out() << "without_history move " << plainMoves.Line() << Qt::endl;

    PageHistory history(ws.view->Pages());
    Times deletes, moves, undos, redos;
    const long before = ResidentKib();
    for (int i = 0; i < changes; ++i) {
        change(&deletes, &moves, i);
        if (i % 10 == 9) {
            for (int k = 0; k < 3; ++k) {
                QElapsedTimer timer;
                timer.start();
                history.Undo();
                ws.view->FollowList();
                QApplication::processEvents();
                undos.Add(timer);
            }
            for (int k = 0; k < 3; ++k) {
                QElapsedTimer timer;
                timer.start();
                history.Redo();
                ws.view->FollowList();
                QApplication::processEvents();
                redos.Add(timer);
            }
        }
        if ((i + 1) % (changes / 4) == 0) {
            Out() << "changes=" << i + 1 << " steps=" << history.StepCount()
                  << " rss_above_start_kib=" << ResidentKib() - before << Qt::endl;
        }
    }
    Out() << "with_history delete " << deletes.Line() << Qt::endl;
    Out() << "with_history move " << moves.Line() << Qt::endl;
    Out() << "undo " << undos.Line() << Qt::endl;
    Out() << "redo " << redos.Line() << Qt::endl;
    return 0;
}

int HistoryMemory(int count, int changes, bool on)
{
    PageList list;
    QList<Page> pages;
    for (int i = 0; i < count; ++i) {
        pages << Page{QStringLiteral("/work/scanimages/IMG%1.jpg").arg(i, 6, 10, QLatin1Char('0')), 0, false,
                      0};
    }
    list.AppendPages(pages);
    std::unique_ptr<PageHistory> history(on ? new PageHistory(&list) : nullptr);
    QRandomGenerator random(11);
    int next = count;
    const long start = ResidentKib();
    for (int i = 0; i < changes; ++i) {
        if (i % 2 == 0) {
            list.RemoveRows({int(random.bounded(list.Count()))});
            list.AppendPages(
                {Page{QStringLiteral("/work/scanimages/IMG%1.jpg").arg(next++, 6, 10, QLatin1Char('0')), 0,
                      false, 0}});
        } else {
            QVector<int> order(list.Count());
            std::iota(order.begin(), order.end(), 0);
            order.move(int(random.bounded(list.Count())), int(random.bounded(list.Count())));
            list.Reorder(order);
        }
        if ((i + 1) % (changes / 8) == 0) {
            Out() << "history=" << (on ? "on" : "off") << " changes=" << i + 1
                  << " steps=" << (history ? history->StepCount() : 0)
                  << " rss_above_start_kib=" << ResidentKib() - start << Qt::endl;
        }
    }
    return 0;
}

// A session of `count` pages brought back at once (as after a kill), then
// Ctrl+A, each in a fresh workspace, `rounds` times: the time until the
// large view shows the current page, until no thumbnail is being decoded
// any more (what the column decodes up front), and of selecting every page
// with its repaint.
int Open(const QString& dir, int count, int rounds)
{
    QStringList files = PageFiles(dir);
    while (!files.isEmpty() && files.size() < count) {
        files += files.mid(0, count - files.size());
    }
    files = files.mid(0, count);
    Stats shown;
    Stats settled;
    Stats selectAll;
    for (int round = 0; round < rounds; ++round) {
        Workspace ws;
        QElapsedTimer timer;
        timer.start();
        ws.view->AddImages(files, 0);
        while (ws.Label()->pixmap(Qt::ReturnByValue).isNull() && timer.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        shown.Add(timer.nsecsElapsed());
        while (ws.view->IsLoadingThumbnails() && timer.elapsed() < 600000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
        QApplication::processEvents();
        settled.Add(timer.nsecsElapsed());
        Workspace::Idle(200);
        timer.restart();
        ws.view->SelectAll();
        ws.host.repaint();
        QApplication::processEvents();
        selectAll.Add(timer.nsecsElapsed());
        if (ws.view->SelectedRows().size() != count) {
            std::fprintf(stderr, "select all left pages out\n");
            return 1;
        }
    }
    Out() << "open pages=" << count << " large view shown: " << shown.Line() << Qt::endl;
    Out() << "open pages=" << count << " thumbnails settled: " << settled.Line() << Qt::endl;
    Out() << "select all pages=" << count << ": " << selectAll.Line() << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(
            stderr,
            "usage: %s prepare|baseline|add|pages|decode|reorder|turn|open|history|historymem <dir> [n] "
            "[jpg|tiff]\n",
            argv[0]);
        return 2;
    }
    const QString mode = args.at(1);
    const QString dir = args.at(2);
    if (mode == QLatin1String("prepare")) {
        return Prepare(dir, args.value(3, QStringLiteral("500")).toInt(),
                       args.value(4, QStringLiteral("jpg")));
    }
    if (mode == QLatin1String("baseline")) {
        return Baseline();
    }
    if (mode == QLatin1String("add")) {
        return Add(dir, args.value(3, QStringLiteral("110")).toInt());
    }
    if (mode == QLatin1String("pages")) {
        return Pages(dir, args.value(3, QStringLiteral("100")).toInt());
    }
    if (mode == QLatin1String("decode")) {
        return Decode(dir, args.value(3, QStringLiteral("50")).toInt());
    }
    if (mode == QLatin1String("historymem")) {
        return HistoryMemory(dir.toInt(), args.value(3, QStringLiteral("800")).toInt(),
                             args.value(4) != QLatin1String("off"));
    }
    if (mode == QLatin1String("history")) {
        return History(dir, args.value(3, QStringLiteral("500")).toInt(),
                       args.value(4, QStringLiteral("400")).toInt());
    }
    if (mode == QLatin1String("reorder")) {
        return Reorder(dir, args.value(3, QStringLiteral("500")).toInt());
    }
    if (mode == QLatin1String("open")) {
        return Open(dir, args.value(3, QStringLiteral("1000")).toInt(),
                    args.value(4, QStringLiteral("3")).toInt());
    }
    if (mode == QLatin1String("turn")) {
        return Turn(dir, args.value(3, QStringLiteral("500")).toInt());
    }
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
