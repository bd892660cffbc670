#pragma once

#include "pagefileops.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include <sane/sane.h>

struct ScanJob;

// Makes the pages of one scan job durable on a thread of its own, so that
// the scan loop reads the next sheet from the device while the previous
// page's data goes to disk. A complete page is flushed (fdatasync), closed
// and renamed to its final name, then the folder is flushed, once for all
// the pages renamed together; an interrupted page is only closed (it keeps
// its ".part"). Pages settle in the order they were handed over, and the
// scan loop announces them in that order once they have settled.
//
// After a page fails to settle, the pages handed over after it are dropped:
// their files are removed and they are never announced, as if the job had
// ended at the failed page.
class PageFlusher {
public:
    // At most this many pages wait to be flushed; Add blocks while they do,
    // so that memory and what a power cut loses stay bounded.
    static constexpr int kMaxWaiting = 32;

    // A page that has settled: complete and durable (SANE_STATUS_GOOD), a
    // page that could not be made durable (SANE_STATUS_ACCESS_DENIED), or an
    // interrupted page with the status that cut it.
    struct Settled {
        int number = 0;
        QByteArray final;
        SANE_Status status = SANE_STATUS_GOOD;
    };

    explicit PageFlusher(ScanJob& job);
    // Waits for the pages handed over.
    ~PageFlusher();
    PageFlusher(const PageFlusher&) = delete;
    PageFlusher& operator=(const PageFlusher&) = delete;

    // The scan loop has created the ".part" file of page `number`: until the
    // page settles, that name does not keep an earlier page from the number.
    void Claim(int number);
    // The page of `number` was dropped before it was handed over.
    void Release(int number);

    // Hands over a page whose reading has ended, with its open file: `status`
    // is SANE_STATUS_GOOD for a complete page, else the status that cut it.
    void Add(const PageSlot& slot, SANE_Status status);
    // The pages that settled since the last call, in order; never blocks.
    QList<Settled> Take();
    // Blocks until every page handed over has settled.
    void Wait();
    // True once a page could not be made durable: the job is to end.
    bool Failed() const { return m_failed; }

private:
    struct Pending {
        PageSlot slot;
        SANE_Status status = SANE_STATUS_GOOD;
    };

    void Run();
    // Settles `batch` in order; what is announced goes to `settled`.
    void SettleBatch(std::deque<Pending>& batch, QList<Settled>& settled);
    static void Drop(const PageSlot& slot, bool renamed);

    ScanJob& m_job;
    std::mutex m_mutex;
    std::condition_variable m_wake;  // the flushing thread: pages to settle, or stop
    std::condition_variable m_moved; // the scan loop: pages settled
    std::deque<Pending> m_waiting;
    std::set<int> m_claimed;
    int m_unsettled = 0; // handed over and not settled yet
    QList<Settled> m_settled;
    std::atomic<int> m_ready{0}; // size of m_settled, read without the lock
    std::atomic<bool> m_failed{false};
    int m_lowest = 0; // the first number the next complete page may take
    bool m_stopping = false;
    std::thread m_thread;
};
