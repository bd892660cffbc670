// Memory and time of the page list with many scanned pages.
//
//   bench_pagelist prepare <dir> [pages]   write A4 300 dpi colour JPEG pages
//   bench_pagelist baseline <dir>          the workspace without pages
//   bench_pagelist pages <dir> [rounds]    add every page, then visit each
//                                          page `rounds` times in the large view
//   bench_pagelist decode <dir>            peer: decode every page at full size
//   bench_pagelist reorder <dir> [pages]   time moves and drops of pages (writes
//                                          small pages of its own into <dir>)
//
// run.sh runs them under /usr/bin/time -v and compares peak resident sizes.
#include "imageviewwidget.h"
#include "thumblistwidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>
#include <QVBoxLayout>
#include <cstdio>
#include <functional>

namespace {

const QSize kA4At300Dpi(2480, 3508);
const int kDistinctPages = 8;

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

// A page that looks like a scanned letter: paper tone, lines of "text" in
// varying colours, a photo-like block with noise.
QImage MakePage(int seed)
{
    QRandomGenerator random(quint32(seed + 1));
    QImage page(kA4At300Dpi, QImage::Format_RGB32);
    page.fill(QColor(246, 244, 238));
    QPainter painter(&page);
    for (int y = 300; y < 3200; y += 60) {
        int x = 250;
        while (x < 2200) {
            const int word = 40 + random.bounded(160);
            painter.fillRect(x, y, word, 30, QColor(20 + random.bounded(60), 20, 40 + random.bounded(80)));
            x += word + 25;
        }
    }
    for (int y = 2000; y < 2800; ++y) {
        auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
        for (int x = 1300; x < 2200; ++x) {
            const int v = random.bounded(256);
            line[x] = qRgb(v, (v + x) & 0xff, (v + y) & 0xff);
        }
    }
    painter.end();
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    return page;
}

QStringList PageFiles(const QString& dir)
{
    QStringList files;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
        files << QDir(dir).filePath(name);
    }
    return files;
}

int Prepare(const QString& dir, int count)
{
    QDir().mkpath(dir);
    QStringList distinct;
    for (int i = 0; i < kDistinctPages; ++i) {
        const QString path = QDir(dir).filePath(QStringLiteral("seed%1.jpeg").arg(i));
        if (!MakePage(i).save(path, "JPEG", 80)) {
            return 1;
        }
        distinct << path;
    }
    for (int i = 0; i < count; ++i) {
        const QString path =
            QDir(dir).filePath(QStringLiteral("scan%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')));
        QFile::remove(path);
        if (!QFile::copy(distinct.at(i % kDistinctPages), path)) {
            return 1;
        }
    }
    Out() << "prepared " << count << " pages of " << kA4At300Dpi.width() << "x" << kA4At300Dpi.height()
          << " in " << dir << Qt::endl;
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
};

int Baseline()
{
    Workspace ws;
    QApplication::processEvents();
    Out() << "baseline rss_kib=" << ResidentKiB() << Qt::endl;
    return 0;
}

int Pages(const QString& dir, int rounds)
{
    const QStringList files = PageFiles(dir);
    Workspace ws;
    Out() << "empty rss_kib=" << ResidentKiB() << Qt::endl;

    QElapsedTimer timer;
    timer.start();
    for (const QString& file : files) {
        ws.view->AddImage(file);
        QApplication::processEvents();
    }
    ws.view->RefreshInfos();
    ws.view->SetSelection(ws.list->count() - 1);
    QApplication::processEvents();
    Out() << "added pages=" << files.size() << " ms=" << timer.elapsed() << " rss_kib=" << ResidentKiB()
          << Qt::endl;

    for (int round = 1; round <= rounds; ++round) {
        timer.restart();
        for (int row = 0; row < ws.list->count(); ++row) {
            ws.view->JumpTo(row);
            QApplication::processEvents();
        }
        Out() << "switch round=" << round << " ms=" << timer.elapsed() << " rss_kib=" << ResidentKiB()
              << Qt::endl;
    }
    return 0;
}

int Decode(const QString& dir)
{
    const QStringList files = PageFiles(dir);
    QElapsedTimer timer;
    timer.start();
    qint64 pixels = 0;
    for (const QString& file : files) {
        const QImage image = QImageReader(file).read();
        pixels += qint64(image.width()) * image.height();
    }
    Out() << "decoded pages=" << files.size() << " ms=" << timer.elapsed()
          << " megapixels=" << pixels / 1000000 << Qt::endl;
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
        for (int row = 0; row < ws.list->count(); ++row) {
            if (selected(row)) {
                model->select(ws.list->model()->index(row, 0), QItemSelectionModel::Select);
            }
        }
    };

    ws.view->SetSelection(0);
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i < count; ++i) {
        ws.view->MoveSelection(1);
        QApplication::processEvents();
    }
    Out() << "reorder first-page-down-to-the-end steps=" << count - 1 << " ms=" << timer.elapsed()
          << Qt::endl;

    select([](int row) { return row > 0; });
    TimeReorder("all-but-first-up", [&ws] { return ws.view->MoveSelection(-1); });
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s prepare|baseline|pages|decode|reorder <dir> [n]\n", argv[0]);
        return 2;
    }
    const QString mode = args.at(1);
    const QString dir = args.at(2);
    if (mode == QLatin1String("prepare")) {
        return Prepare(dir, args.value(3, QStringLiteral("500")).toInt());
    }
    if (mode == QLatin1String("baseline")) {
        return Baseline();
    }
    if (mode == QLatin1String("pages")) {
        return Pages(dir, args.value(3, QStringLiteral("2")).toInt());
    }
    if (mode == QLatin1String("decode")) {
        return Decode(dir);
    }
    if (mode == QLatin1String("reorder")) {
        return Reorder(dir, args.value(3, QStringLiteral("500")).toInt());
    }
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
