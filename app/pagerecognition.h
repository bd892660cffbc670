#pragma once

#include "ocrlanguage.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

class OcrQueue;
class PageList;
struct PageText;

// Keeps the pages of a list recognised in the background. It watches the
// list: a page that arrives (scanned, replaced, brought back) is queued
// while a language is chosen, and the queue takes the text stored beside its
// file when that is still good; a page that leaves is cancelled. Results go into the
// list, which owns them. One queue; one worker while the scanner runs, one
// per core when idle.
class PageRecognition : public QObject {
    Q_OBJECT
public:
    explicit PageRecognition(PageList* pages, QObject* parent = nullptr);
    ~PageRecognition() override;

    // None stops recognition (pages already recognised keep their text);
    // another language queues every page still without text.
    void SetLanguage(OcrLanguage language);
    OcrLanguage Language() const { return m_language; }
    // A scan runs: recognition gives way to it (one worker, and no engine
    // is made until it ends).
    void SetScanning(bool scanning);

    // Pages of the list queued and not delivered yet.
    int PendingCount() const { return int(m_pending.size()); }
    bool HasPending() const { return !m_pending.isEmpty(); }
    // The queue's workers: one while a scan runs, one per core otherwise.
    int WorkerCount() const;
    // Recognition engines made and ready (made as soon as a language is
    // chosen, never while a scan runs).
    int EngineCount() const;
    // The queue's counts since it was last idle.
    int DoneCount() const;
    int TotalCount() const;

signals:
    // The counts changed; `total` is 0 when nothing is pending.
    void sglProgress(int done, int total);
    // A page could not be recognised, for a reason not told before (a
    // missing language pack is told once).
    void sglMessage(const QString& message);
    // The last pending page was delivered.
    void sglIdle();

private:
    void Sync();
    void OnDone(quint64 pageId, const PageText& text);
    void OnFailed(quint64 pageId, const QString& message);
    void Settle(quint64 pageId);

    PageList* m_pages;
    OcrQueue* m_queue;
    OcrLanguage m_language = OcrLanguage::None;
    bool m_scanning = false;
    // Per page id, the file and angle last looked at (stored text read, or
    // queued): the page is looked at again only when they change.
    QHash<quint64, QPair<QString, int>> m_seen;
    QSet<quint64> m_pending;
    QSet<QString> m_told;
};
