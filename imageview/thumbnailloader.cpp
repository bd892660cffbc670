#include "thumbnailloader.h"

#include "pagefile.h"
#include "pagereader.h"

#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>

namespace {

// Threads for the thumbnails; half the cores, so that the large view's
// decoding keeps its share.
class ThumbnailThreads : public QThreadPool {
public:
    ThumbnailThreads() { setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2)); }
};
Q_GLOBAL_STATIC(ThumbnailThreads, thumbnailThreads)

// Size of the thumbnail of a page of `page` pixels: fitted into the box,
// neither side below 2 pixels.
QSize ThumbnailSize(const QSize& page)
{
    const int box = ThumbnailLoader::kBoxSize;
    const int w = page.width();
    const int h = page.height();
    double s = std::min(double(box) / w, double(box) / h);
    if (w * s < 2.0) {
        s = 2.0 / w;
    }
    if (h * s < 2.0) {
        s = 2.0 / h;
    }
    return QSize(qRound(w * s), qRound(h * s));
}

} // namespace

ThumbnailLoader::ThumbnailLoader(QObject* parent, int keep) : QObject(parent), m_keep(std::max(1, keep))
{
}

ThumbnailLoader::~ThumbnailLoader()
{
    for (QFutureWatcher<Result>* watcher : qAsConst(m_running)) {
        watcher->disconnect(this);
        watcher->future().cancel();
        watcher->waitForFinished();
    }
}

QImage ThumbnailLoader::Decode(const QString& path)
{
    PageReader reader(path);
    if (!reader.IsValid()) {
        return QImage();
    }
    const QImage image = reader.ReadAt(ThumbnailSize(reader.Size()));
    if (image.isNull()) {
        return image;
    }
    return image.scaled(kBoxSize, kBoxSize, Qt::KeepAspectRatio, Qt::FastTransformation);
}

ThumbnailLoader::State ThumbnailLoader::Find(const QString& path, QImage* image)
{
    auto found = m_entries.constFind(path);
    if (found != m_entries.cend() && PageStamp::Of(path) != found->stamp) {
        Forget(path);
        found = m_entries.constFind(path);
    }
    if (found == m_entries.cend()) {
        if (!path.isEmpty() && !m_running.contains(path)) {
            Start(path);
        }
        return path.isEmpty() ? State::Unreadable : State::Decoding;
    }
    // Asked for again: the last to be dropped.
    if (m_order.last() != path) {
        m_order.removeOne(path);
        m_order.append(path);
    }
    if (image != nullptr) {
        *image = found->image;
    }
    return found->state;
}

void ThumbnailLoader::Start(const QString& path)
{
    auto* watcher = new QFutureWatcher<Result>(this);
    m_running.insert(path, watcher);
    connect(watcher, &QFutureWatcher<Result>::finished, this,
            [this, watcher, path]() { OnFinished(watcher, path); });
    // The file is opened there: a file held open for every waiting page
    // would run out of descriptors on a long list.
    watcher->setFuture(QtConcurrent::run(thumbnailThreads(), [path]() {
        Result result;
        result.stamp = PageStamp::Of(path);
        result.complete = IsPageComplete(path);
        if (result.complete) {
            result.image = Decode(path);
        }
        return result;
    }));
}

void ThumbnailLoader::OnFinished(QFutureWatcher<Result>* watcher, const QString& path)
{
    watcher->deleteLater();
    // A decode of a file forgotten meanwhile is not shown.
    if (m_running.value(path) != watcher) {
        return;
    }
    m_running.remove(path);
    if (watcher->isCanceled()) {
        return;
    }
    const Result result = watcher->result();
    Entry entry;
    entry.image = result.image;
    entry.stamp = result.stamp;
    entry.state = !result.complete        ? State::Incomplete
                  : result.image.isNull() ? State::Unreadable
                                          : State::Ready;
    Keep(path, entry);
    emit sglReady(path);
}

void ThumbnailLoader::Keep(const QString& path, const Entry& entry)
{
    m_entries.insert(path, entry);
    m_order.removeOne(path);
    m_order.append(path);
    while (m_order.size() > m_keep) {
        m_entries.remove(m_order.takeFirst());
    }
}

void ThumbnailLoader::Forget(const QString& path)
{
    if (m_entries.remove(path) > 0) {
        m_order.removeOne(path);
    }
    if (QFutureWatcher<Result>* watcher = m_running.take(path)) {
        // A decode that has not started is skipped; one under way ends unseen.
        watcher->future().cancel();
    }
}

void ThumbnailLoader::Clear()
{
    m_entries.clear();
    m_order.clear();
    for (QFutureWatcher<Result>* watcher : qAsConst(m_running)) {
        watcher->future().cancel();
    }
    m_running.clear();
}

bool ThumbnailLoader::WaitForDecodes(int msecs)
{
    return thumbnailThreads()->waitForDone(msecs);
}
