#include "pagedecoder.h"

#include "pagereader.h"
#include "pageturn.h"

#include <QMutexLocker>
#include <QThread>
#include <QtMath>

#include <algorithm>

namespace {

// A fitted page is decoded at a reduction that keeps at least this share of
// the fitted size and then scaled to it: JPEG pages can then use the
// decoder's 1/4 step for an A4 page fitted into 880 pixels of height.
const double kFitSharpness = 0.9;

} // namespace

DecodedPage DecodePage(const PageRequest& request)
{
    DecodedPage page;
    page.request = request;
    PageReader reader(request.path);
    page.stamp = reader.Stamp();
    if (!reader.IsValid()) {
        return page;
    }
    const int turn = NormalTurn(request.angle);
    if (turn < 0) {
        return page;
    }
    // The file is decoded upright at the size the turned page needs, and
    // turned after: turning the smaller image costs less.
    const bool swap = TurnSwapsSides(turn);
    const QSize size = swap ? reader.Size().transposed() : reader.Size();
    page.pageSize = size;
    QImage upright;
    if (request.IsFull()) {
        upright = reader.Read(1);
    } else {
        const double scale = std::min(double(request.fit.width()) / size.width(),
                                      double(request.fit.height()) / size.height());
        QSize fitted(std::max(1, qRound(size.width() * scale)), std::max(1, qRound(size.height() * scale)));
        if (swap) {
            fitted.transpose();
        }
        const QSize least(qCeil(fitted.width() * kFitSharpness), qCeil(fitted.height() * kFitSharpness));
        // Without a cheaper reduction the whole page is kept as it is:
        // scaling it would cost the same as the view's own scaling and lose
        // detail.
        const int factor = reader.FactorFor(least);
        upright = factor > 1 ? reader.ReadAt(fitted, kFitSharpness) : reader.Read(1);
    }
    page.image = turn == 0 ? upright : TurnImage(upright, turn);
    return page;
}

PageDecoder::PageDecoder(int threads, QObject* parent) : QObject(parent)
{
    for (int i = 0; i < std::max(1, threads); ++i) {
        QThread* thread = QThread::create([this]() { Work(); });
        thread->setObjectName(QStringLiteral("PageDecoder"));
        m_threads.append(thread);
        thread->start(QThread::LowPriority);
    }
}

PageDecoder::~PageDecoder()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_work.wakeAll();
    }
    for (QThread* thread : qAsConst(m_threads)) {
        thread->wait();
        delete thread;
    }
}

bool PageDecoder::IsKnownLocked(const PageRequest& request) const
{
    if (m_queue.contains(request) || m_running.contains(request)) {
        return true;
    }
    return std::any_of(m_finished.cbegin(), m_finished.cend(),
                       [&request](const DecodedPage& page) { return page.request == request; });
}

void PageDecoder::Queue(const QList<PageRequest>& requests)
{
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
    for (const PageRequest& request : requests) {
        if (!request.path.isEmpty() && !IsKnownLocked(request)) {
            m_queue.append(request);
        }
    }
    if (!m_queue.isEmpty()) {
        m_work.wakeAll();
    }
}

DecodedPage PageDecoder::Decode(const PageRequest& request)
{
    {
        QMutexLocker lock(&m_mutex);
        m_queue.removeAll(request);
        // Under way: waiting costs less than starting again.
        while (m_running.contains(request)) {
            m_done.wait(&m_mutex);
        }
        for (int i = 0; i < m_finished.size(); ++i) {
            if (m_finished.at(i).request == request) {
                return m_finished.takeAt(i);
            }
        }
    }
    return DecodePage(request);
}

QList<DecodedPage> PageDecoder::TakeFinished()
{
    QMutexLocker lock(&m_mutex);
    QList<DecodedPage> finished;
    finished.swap(m_finished);
    return finished;
}

void PageDecoder::Forget(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                 [&path](const PageRequest& request) { return request.path == path; }),
                  m_queue.end());
    m_finished.erase(std::remove_if(m_finished.begin(), m_finished.end(),
                                    [&path](const DecodedPage& page) { return page.request.path == path; }),
                     m_finished.end());
}

void PageDecoder::Clear()
{
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
    m_finished.clear();
}

bool PageDecoder::IsIdle() const
{
    QMutexLocker lock(&m_mutex);
    return m_queue.isEmpty() && m_running.isEmpty();
}

void PageDecoder::Work()
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        while (!m_stopping && m_queue.isEmpty()) {
            m_work.wait(&m_mutex);
        }
        if (m_stopping) {
            return;
        }
        const PageRequest request = m_queue.takeFirst();
        m_running.append(request);
        lock.unlock();
        DecodedPage page = DecodePage(request);
        lock.relock();
        m_running.removeOne(request);
        m_finished.append(std::move(page));
        m_done.wakeAll();
        lock.unlock();
        emit sglFinished();
        lock.relock();
    }
}
