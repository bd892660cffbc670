#pragma once

#include "ocrlanguage.h"
#include "pagetext.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Recognises pages in the background, in the order they were added, on a
// number of worker threads with one engine each (made as soon as a language
// is set, at the lowest priority, and kept). A page's text is stored beside it (TextStore); a page whose
// stored text is still good is not recognised again. Results are delivered
// on the thread the queue lives in, by its signals. Nothing happens while
// the language is None.
class OcrQueue : public QObject {
    Q_OBJECT
public:
    explicit OcrQueue(QObject* parent = nullptr);
    // Cancels the pages being recognised and waits for the workers.
    ~OcrQueue() override;

    // The language of the pages recognised from now on; None drops every
    // page not yet delivered.
    void SetLanguage(OcrLanguage language);
    OcrLanguage Language() const;

    // How many pages are recognised at once (at least 1): one while the
    // scanner runs, one per core when the program is idle. Workers beyond
    // the count take no page after their current one, and keep their
    // engines for when the count grows again.
    void SetWorkerCount(int count);
    int WorkerCount() const;

    // While held (a scan runs), no engine is made: the pages wait for a
    // worker whose engine is ready, or for the hold to end.
    void HoldEngines(bool hold);
    // Engines loaded and ready, over all workers.
    int EngineCount() const;

    // Recognises page file `path` of page `pageId`, turned clockwise by
    // `angle` as the user sees it. A page already queued under `pageId` is
    // replaced (a page that was re-scanned or turned).
    void Add(quint64 pageId, const QString& path, int angle);
    // Forgets page `pageId`: taken out of the queue, or its recognition
    // stopped; nothing is delivered for it.
    void Cancel(quint64 pageId);
    void CancelAll();

    // Pages delivered (done or failed) and pages added, since the queue was
    // last idle; both drop to 0 when a page is added to an idle queue.
    int DoneCount() const { return m_done; }
    int TotalCount() const { return m_total; }
    bool IsIdle() const { return m_done == m_total; }
    // True while a worker recognises page `pageId`.
    bool IsRecognising(quint64 pageId) const;

signals:
    // `text` is in the pixels of the page file; `stored` is false when its
    // file could not be written beside the page (the text is good even so).
    void sglPageDone(quint64 pageId, const PageText& text, bool stored);
    void sglPageFailed(quint64 pageId, const QString& message);
    void sglProgress(int done, int total);

private:
    struct Job {
        quint64 serial = 0;
        quint64 pageId = 0;
        QString path;
        int angle = 0;
    };
    struct Worker {
        std::thread thread;
        quint64 serial = 0; // of the job being recognised, 0 when none
        quint64 pageId = 0;
        std::atomic<bool> cancel{false};
        bool parked = false;   // takes no page (beyond the count)
        bool finished = false; // the thread has ended, join it
    };
    struct Outcome;

    void Run(Worker* worker);
    void Deliver(quint64 serial, const Outcome& outcome);
    void Drop(const QList<quint64>& serials);
    void JoinFinished();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::vector<std::unique_ptr<Worker>> m_workers;
    int m_wanted = 1;
    bool m_stopping = false;
    bool m_hold = false;
    int m_engines = 0;
    OcrLanguage m_language = OcrLanguage::None;
    quint64 m_nextSerial = 1;

    // Owned by the queue's thread: the jobs added and neither delivered nor
    // dropped, serial to page id.
    QHash<quint64, quint64> m_live;
    int m_done = 0;
    int m_total = 0;
};
