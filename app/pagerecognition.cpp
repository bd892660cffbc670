#include "pagerecognition.h"

#include "ocrqueue.h"
#include "pagelist.h"
#include "pagestamp.h"
#include "textstore.h"

#include <QThread>

#include <algorithm>

PageRecognition::PageRecognition(PageList* pages, QObject* parent)
    : QObject(parent), m_pages(pages), m_queue(new OcrQueue(this))
{
    SetScanning(false);
    connect(m_pages, &PageList::sglChanged, this, &PageRecognition::Sync);
    connect(m_queue, &OcrQueue::sglPageDone, this,
            [this](quint64 pageId, const PageText& text, bool) { OnDone(pageId, text); });
    connect(m_queue, &OcrQueue::sglPageFailed, this, &PageRecognition::OnFailed);
    connect(m_queue, &OcrQueue::sglProgress, this,
            [this](int done, int total) { emit sglProgress(done, m_pending.isEmpty() ? 0 : total); });
    Sync();
}

PageRecognition::~PageRecognition() = default;

int PageRecognition::WorkerCount() const
{
    return m_queue->WorkerCount();
}

int PageRecognition::EngineCount() const
{
    return m_queue->EngineCount();
}

int PageRecognition::DoneCount() const
{
    return m_queue->DoneCount();
}

int PageRecognition::TotalCount() const
{
    return m_queue->TotalCount();
}

void PageRecognition::SetLanguage(OcrLanguage language)
{
    if (language == m_language) {
        return;
    }
    m_language = language;
    m_queue->SetLanguage(language);
    if (language == OcrLanguage::None) {
        m_queue->CancelAll();
        m_pending.clear();
        emit sglProgress(0, 0);
        emit sglIdle();
    }
    // Pages without text are looked at again: queued in the new language
    // (the pages pending are recognised in it already).
    for (const Page& page : m_pages->Pages()) {
        if (!m_pages->IsRecognised(page.id) && !m_pending.contains(page.id)) {
            m_seen.remove(page.id);
        }
    }
    Sync();
}

void PageRecognition::SetScanning(bool scanning)
{
    m_scanning = scanning;
    // Engines are made before a scan or after it, never during it.
    m_queue->HoldEngines(scanning);
    m_queue->SetWorkerCount(scanning ? 1 : std::max(1, QThread::idealThreadCount()));
}

void PageRecognition::Sync()
{
    QSet<quint64> present;
    present.reserve(m_pages->Count());
    const QList<Page> pages = m_pages->Pages();
    for (const Page& page : pages) {
        present.insert(page.id);
        const QPair<QString, int> key(page.path, page.angle);
        const auto seen = m_seen.constFind(page.id);
        if (seen != m_seen.constEnd() && seen.value() == key) {
            continue;
        }
        if (m_language == OcrLanguage::None || page.interrupted) {
            // Looked at again when recognition is switched on (or the page
            // is replaced).
            if (m_pending.remove(page.id)) {
                m_queue->Cancel(page.id);
            }
            continue;
        }
        const bool turned = seen != m_seen.constEnd() && seen.value().first == page.path;
        m_seen.insert(page.id, key);
        if (turned && m_pages->IsRecognised(page.id) && !m_pending.contains(page.id)) {
            // A turn keeps the text (its boxes are in the file's pixels);
            // what is stored beside the file follows, so that a restored
            // session finds it for the page's new angle.
            const PageStamp stamp = PageStamp::Of(page.path);
            if (stamp.IsValid()) {
                TextStore::Write(page.path, stamp, page.angle, m_pages->TextOf(page.id));
            }
            continue;
        }
        if (m_pages->IsRecognised(page.id)) {
            continue;
        }
        // A page queued under its id before is replaced in the queue. What
        // was recognised before a restart comes back from beside the file,
        // when it still belongs to these bytes and angle: the queue's worker
        // looks, never this thread (whatever lies under that name).
        m_queue->Add(page.id, page.path, page.angle);
        m_pending.insert(page.id);
    }
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        if (present.contains(it.key())) {
            ++it;
            continue;
        }
        if (m_pending.remove(it.key())) {
            m_queue->Cancel(it.key());
        }
        it = m_seen.erase(it);
    }
    if (m_pending.isEmpty()) {
        emit sglProgress(0, 0);
        emit sglIdle();
    } else {
        emit sglProgress(m_queue->DoneCount(), m_queue->TotalCount());
    }
}

void PageRecognition::OnDone(quint64 pageId, const PageText& text)
{
    m_pages->SetText(pageId, text);
    Settle(pageId);
}

void PageRecognition::OnFailed(quint64 pageId, const QString& message)
{
    if (!message.isEmpty() && !m_told.contains(message)) {
        m_told.insert(message);
        emit sglMessage(message);
    }
    Settle(pageId);
}

void PageRecognition::Settle(quint64 pageId)
{
    m_pending.remove(pageId);
    if (m_pending.isEmpty()) {
        emit sglProgress(0, 0);
        emit sglIdle();
    }
}
