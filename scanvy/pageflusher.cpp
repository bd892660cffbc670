#include "pageflusher.h"

#include "scanjob.h"

#include <unistd.h>

PageFlusher::PageFlusher(ScanJob& job) : m_job(job), m_lowest(job.fileCounter)
{
    m_thread = std::thread(&PageFlusher::Run, this);
}

PageFlusher::~PageFlusher()
{
    Wait();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void PageFlusher::Claim(int number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_claimed.insert(number);
}

void PageFlusher::Release(int number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_claimed.erase(number);
}

void PageFlusher::Add(const PageSlot& slot, SANE_Status status)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_moved.wait(lock, [this] { return m_unsettled < kMaxWaiting; });
    m_waiting.push_back(Pending{slot, status});
    ++m_unsettled;
    lock.unlock();
    m_wake.notify_one();
}

QList<PageFlusher::Settled> PageFlusher::Take()
{
    if (m_ready.load() == 0)
        return {};
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<Settled> settled;
    settled.swap(m_settled);
    m_ready = 0;
    return settled;
}

void PageFlusher::Wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_moved.wait(lock, [this] { return m_unsettled == 0; });
}

void PageFlusher::Run()
{
    for (;;) {
        std::deque<Pending> batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_waiting.empty())
                return; // stopping, and nothing left
            batch.swap(m_waiting);
        }
        const int count = int(batch.size());
        QList<Settled> settled;
        SettleBatch(batch, settled);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_settled.append(settled);
            m_ready = m_settled.size();
            m_unsettled -= count;
        }
        m_moved.notify_all();
    }
}

void PageFlusher::SettleBatch(std::deque<Pending>& batch, QList<Settled>& settled)
{
    const auto claimed = [this](int number) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_claimed.count(number) > 0;
    };
    // Pages renamed and waiting for their folder's flush: one flush for
    // all of them, before anything after them is announced.
    QList<PageSlot> renamed;
    const auto flushRenamed = [&] {
        if (renamed.isEmpty())
            return;
        if (PageFileOps::SyncFolder(m_job)) {
            for (const PageSlot& slot : renamed)
                settled.append(Settled{slot.number, slot.final, SANE_STATUS_GOOD});
        } else {
            // The first of them fails, as its own flush would have; the
            // pages after it are taken back.
            m_failed = true;
            settled.append(Settled{renamed.first().number, renamed.first().final, SANE_STATUS_ACCESS_DENIED});
            for (int i = 1; i < renamed.size(); ++i)
                Drop(renamed.at(i), true);
        }
        renamed.clear();
    };
    for (Pending& page : batch) {
        const int claim = page.slot.number;
        if (m_failed) {
            Drop(page.slot, false);
        } else if (page.status != SANE_STATUS_GOOD) {
            // An interrupted page keeps its ".part".
            flushRenamed();
            if (m_failed) {
                Drop(page.slot, false);
            } else {
                std::fclose(page.slot.file);
                settled.append(Settled{page.slot.number, page.slot.final, page.status});
            }
        } else if (PageFileOps::Settle(m_job, page.slot, m_lowest, claimed) == SANE_STATUS_GOOD) {
            m_lowest = page.slot.number + 1;
            renamed.append(page.slot);
        } else {
            flushRenamed();
            if (m_failed) {
                Drop(page.slot, false);
            } else {
                m_failed = true;
                settled.append(Settled{page.slot.number, page.slot.final, SANE_STATUS_ACCESS_DENIED});
            }
        }
        Release(claim);
    }
    flushRenamed();
}

void PageFlusher::Drop(const PageSlot& slot, bool renamed)
{
    if (slot.file != nullptr)
        std::fclose(slot.file);
    ::unlink(renamed ? slot.final.constData() : slot.part.constData());
}
