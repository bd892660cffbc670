// Bringing back a killed session of many pages through the real main window,
// and how long the interface thread is kept from its event loop meanwhile.
//
//   bench_restore <work folder> <pages> [rounds] [rows-at-once,restore]
//
// The pages are A4 300 dpi colour JPEG files, drawn once into
// <work folder>/pages (8 distinct pages, the rest hard links to them, so
// that the files on disk stay small; each link is decoded like a page of
// its own). Each round measures, in this order:
//   rows-at-once  the page list filled the way the window brought a session
//                 back before: ImageViewWidget::AddImage for every page on
//                 the window's own workspace, each drawing its thumbnail on
//                 the interface thread, then the page numbers and the
//                 current page (the journal's 是 path only adds the combo
//                 box and the menus to this);
//   restore       a new window on a work folder holding the pages and the
//                 journal of a killed session; the recovery question is
//                 answered 是 and the clock starts at that click.
// Both run until every row shows its thumbnail. A 1 ms timer on the
// interface thread records the longest gap between its ticks (the longest
// time the window could not answer input or paint), and the number of gaps
// over 100 ms.
#include "benchpages.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "sessionjournal.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

const int kDistinctPages = 8;

QString PageName(int i)
{
    return QStringLiteral("%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
}

// The page files, drawn on the first run only.
bool PreparePages(const QString& dir, int count)
{
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        const QString path = dir + QLatin1Char('/') + PageName(i);
        if (QFile::exists(path)) {
            continue;
        }
        if (i < kDistinctPages) {
            if (!BenchPages::Letter(i).save(path, "JPEG", 85)) {
                return false;
            }
        } else if (::link(
                       QFile::encodeName(dir + QLatin1Char('/') + PageName(i % kDistinctPages)).constData(),
                       QFile::encodeName(path).constData()) != 0) {
            return false;
        }
    }
    return true;
}

// Links the pages into `scanDir` under the names a session gives them.
QList<QString> LinkPages(const QString& pagesDir, const QString& scanDir, int count)
{
    QDir().mkpath(scanDir);
    QList<QString> pages;
    for (int i = 0; i < count; ++i) {
        const QString target = scanDir + QLatin1Char('/') + PageName(i);
        QFile::remove(target);
        if (::link(QFile::encodeName(pagesDir + QLatin1Char('/') + PageName(i)).constData(),
                   QFile::encodeName(target).constData()) != 0) {
            return {};
        }
        pages << target;
    }
    return pages;
}

// Longest gap between the ticks of a 1 ms timer since Start().
class Watchdog {
public:
    Watchdog()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        m_longest = 0;
        m_over100 = 0;
        m_beat.start();
        m_timer.start(1);
    }
    void Stop()
    {
        Tick();
        m_timer.stop();
    }
    qint64 Longest() const { return m_longest; }
    int Over100() const { return m_over100; }

private:
    void Tick()
    {
        const qint64 gap = m_beat.restart();
        m_longest = std::max(m_longest, gap);
        m_over100 += gap > 100 ? 1 : 0;
    }

    QTimer m_timer;
    QElapsedTimer m_beat;
    qint64 m_longest = 0;
    int m_over100 = 0;
};

// True when all `count` rows are in the column and the thumbnails it asked
// for (those of the rows in view) have come.
bool AllThumbnailsIn(const MainWindow& window, int count)
{
    const auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
    const auto* view = window.findChild<ImageViewWidget*>();
    return list != nullptr && view != nullptr && list->model()->rowCount() == count &&
           !view->IsLoadingThumbnails();
}

void WaitUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(20);
    loop.exec();
}

void Report(const char* way, int pages, qint64 ms, const Watchdog& watchdog)
{
    std::printf(
        "%-13s %5d pages: all thumbnails in %6lld ms, longest stall %5lld ms, stalls over 100 ms: %d\n", way,
        pages, static_cast<long long>(ms), static_cast<long long>(watchdog.Longest()), watchdog.Over100());
    std::fflush(stdout);
}

void RowsAtOnce(const QString& root, const QString& pagesDir, int count)
{
    MainWindow window(root + QStringLiteral("/home-a"), root + QStringLiteral("/tmp-a"));
    window.show();
    QApplication::processEvents();
    auto* view = window.findChild<ImageViewWidget*>();
    QList<QString> pages;
    for (int i = 0; i < count; ++i) {
        pages << pagesDir + QLatin1Char('/') + PageName(i);
    }
    Watchdog watchdog;
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        clock.start();
        watchdog.Start();
        for (const QString& page : qAsConst(pages)) {
            view->AddImage(page);
        }
        view->RefreshInfos();
        view->SetSelection(0);
    });
    WaitUntil([&] { return clock.isValid() && AllThumbnailsIn(window, count); });
    const qint64 ms = clock.elapsed();
    watchdog.Stop();
    Report("rows-at-once", count, ms, watchdog);
}

void Restore(const QString& root, const QString& pagesDir, int count)
{
    const QString home = root + QStringLiteral("/home-b");
    const QString base = root + QStringLiteral("/tmp-b");
    QString workDir;
    {
        // Finds (and takes, empty) the window's work folder.
        MainWindow probe(home, base);
        workDir = probe.WorkDir();
    }
    SessionJournal journal(workDir);
    SessionJournal::State state;
    state.pages = LinkPages(pagesDir, journal.ScanDir(), count);
    state.current = 0;
    state.scanNumber = count + 1;
    if (state.pages.size() != count || journal.Record(state) != 0) {
        std::fprintf(stderr, "cannot set up the killed session in %s\n", qPrintable(workDir));
        return;
    }

    Watchdog watchdog;
    QElapsedTimer clock;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->button(QMessageBox::Yes) != nullptr && !clock.isValid()) {
            clock.start();
            watchdog.Start();
            box->button(QMessageBox::Yes)->click();
        }
    });
    answer.start(10);
    MainWindow window(home, base);
    window.show();
    WaitUntil([&] { return clock.isValid() && AllThumbnailsIn(window, count); });
    const qint64 ms = clock.elapsed();
    watchdog.Stop();
    answer.stop();
    Report("restore", count, ms, watchdog);
    if (window.PageFiles() != state.pages) {
        std::fprintf(stderr, "the restored page list differs from the journal\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_restore <work folder> <pages> [rounds] [rows-at-once,restore]\n");
        return 2;
    }
    const QString root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int count = QByteArray(argv[2]).toInt();
    const int rounds = argc > 3 ? QByteArray(argv[3]).toInt() : 1;
    const QList<QByteArray> ways = QByteArray(argc > 4 ? argv[4] : "rows-at-once,restore").split(',');
    const QString pagesDir = root + QStringLiteral("/pages");
    if (count <= 0 || !PreparePages(pagesDir, count)) {
        std::fprintf(stderr, "cannot write the pages into %s\n", qPrintable(pagesDir));
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        if (ways.contains("rows-at-once")) {
            RowsAtOnce(root, pagesDir, count);
        }
        if (ways.contains("restore")) {
            Restore(root, pagesDir, count);
        }
    }
    return 0;
}
