#include "ocrqueue.h"

#include "ocrengine.h"
#include "pagestamp.h"
#include "textstore.h"

#include <QMetaObject>
#include <QMetaType>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

struct OcrQueue::Outcome {
    bool done = false; // else failed, with `message`
    bool cancelled = false;
    PageText text;
    QString message;
    bool stored = false;
};

namespace {

// How much lower than the rest of the program a worker runs. Recognition is
// background work: a worker given the same weight as the scan loop's thread
// or the interface thread takes half of a core from them whenever they share
// one, which slows the scan and stalls the window; at ten steps lower it
// gets about a tenth, and still all of any core nobody else wants.
constexpr int kWorkerNiceness = 10;

// Lowers the priority of the calling thread (on Linux the niceness belongs
// to each thread) by kWorkerNiceness; a failure leaves it as it was.
void RunInBackground()
{
    const id_t thread = id_t(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, thread, std::min(nice + kWorkerNiceness, 19));
    }
}

// Loads `language` into `engine` on a thread of its own at the lowest
// priority: making an engine reads tens of megabytes of model data and
// takes a good part of a second of processor time, which must not be taken
// from a scan or from the window.
QString LoadAtLowestPriority(OcrEngine* engine, OcrLanguage language)
{
    if (engine->Language() == language && (engine->IsReady() || language == OcrLanguage::None)) {
        return QString();
    }
    QString message;
    std::thread loader([&] {
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 19);
        message = engine->Load(language);
    });
    loader.join();
    return message;
}

// Recognises one page, or takes its stored text when that is still good.
void Recognise(OcrEngine* engine, OcrLanguage language, const QString& path, int angle,
               const std::atomic<bool>* cancel, bool* done, bool* cancelled, PageText* text, QString* message,
               bool* stored)
{
    if (TextStore::Read(path, angle, text) && text->language == OcrLanguageKey(language)) {
        *done = *stored = true;
        return;
    }
    *message = LoadAtLowestPriority(engine, language);
    if (!message->isEmpty()) {
        return;
    }
    // Taken before the page is read: if the page is replaced meanwhile, the
    // stored text names the old bytes and is never taken for the new ones.
    const PageStamp stamp = PageStamp::Of(path);
    OcrResult result = engine->Recognise(path, angle, cancel);
    *cancelled = result.status == OcrResult::Cancelled;
    *done = result.status == OcrResult::Done;
    *message = result.message;
    if (*done) {
        *text = result.text;
        *stored = TextStore::Write(path, stamp, angle, *text);
    }
}

} // namespace

OcrQueue::OcrQueue(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<PageText>("PageText");
}

OcrQueue::~OcrQueue()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
        for (auto& worker : m_workers) {
            worker->cancel = true;
        }
    }
    m_wake.notify_all();
    for (auto& worker : m_workers) {
        worker->thread.join();
    }
}

void OcrQueue::SetLanguage(OcrLanguage language)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_language == language) {
            return;
        }
        m_language = language;
    }
    m_wake.notify_all(); // the workers make their engines for it
    if (language == OcrLanguage::None) {
        CancelAll();
    }
    SetWorkerCount(WorkerCount());
}

void OcrQueue::HoldEngines(bool hold)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hold = hold;
    }
    m_wake.notify_all();
}

int OcrQueue::EngineCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_engines;
}

OcrLanguage OcrQueue::Language() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_language;
}

void OcrQueue::SetWorkerCount(int count)
{
    count = std::max(1, count);
    JoinFinished();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted = count;
    // Workers beyond the count are parked with their engines (after their
    // current page), so that they need no new engine when the count grows.
    int working = 0;
    for (auto& worker : m_workers) {
        worker->parked = working++ >= count;
    }
    m_wake.notify_all();
    // Workers start with a language, to make their engines before the
    // first page; a queue that recognises nothing costs no thread.
    if (!m_jobs.empty() || m_language != OcrLanguage::None) {
        for (; working < count; ++working) {
            m_workers.emplace_back(new Worker);
            Worker* worker = m_workers.back().get();
            worker->thread = std::thread(&OcrQueue::Run, this, worker);
        }
    }
}

int OcrQueue::WorkerCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_wanted;
}

bool OcrQueue::IsRecognising(quint64 pageId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::unique_ptr<Worker>& worker : m_workers) {
        if (worker->serial != 0 && worker->pageId == pageId) {
            return true;
        }
    }
    return false;
}

void OcrQueue::Add(quint64 pageId, const QString& path, int angle)
{
    if (Language() == OcrLanguage::None) {
        return;
    }
    Cancel(pageId);
    if (IsIdle()) {
        m_done = m_total = 0;
    }
    quint64 serial = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        serial = m_nextSerial++;
        m_jobs.push_back(Job{serial, pageId, path, angle});
    }
    m_live.insert(serial, pageId);
    ++m_total;
    SetWorkerCount(WorkerCount()); // starts the workers that are missing
    m_wake.notify_one();
    emit sglProgress(m_done, m_total);
}

void OcrQueue::Cancel(quint64 pageId)
{
    QList<quint64> serials;
    for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
        if (it.value() == pageId) {
            serials.append(it.key());
        }
    }
    Drop(serials);
}

void OcrQueue::CancelAll()
{
    Drop(m_live.keys());
}

void OcrQueue::Drop(const QList<quint64>& serials)
{
    if (serials.isEmpty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.erase(std::remove_if(m_jobs.begin(), m_jobs.end(),
                                    [&](const Job& job) { return serials.contains(job.serial); }),
                     m_jobs.end());
        for (auto& worker : m_workers) {
            if (worker->serial != 0 && serials.contains(worker->serial)) {
                worker->cancel = true;
            }
        }
    }
    for (quint64 serial : serials) {
        m_live.remove(serial);
    }
    m_total -= serials.size();
    emit sglProgress(m_done, m_total);
}

void OcrQueue::JoinFinished()
{
    std::vector<std::unique_ptr<Worker>> ended;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if ((*it)->finished) {
                ended.push_back(std::move(*it));
                it = m_workers.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& worker : ended) {
        worker->thread.join();
    }
}

void OcrQueue::Run(Worker* worker)
{
    RunInBackground();
    OcrEngine engine;
    OcrLanguage made = OcrLanguage::None; // the language last loaded, or tried
    for (;;) {
        Job job;
        OcrLanguage language = OcrLanguage::None;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // While engines are held, a worker without one for the language
            // makes none and takes no page.
            const auto ready = [&] { return engine.Language() == m_language && engine.IsReady(); };
            m_wake.wait(lock, [&] {
                return m_stopping || (!m_hold && made != m_language) ||
                       (!worker->parked && !m_jobs.empty() && (!m_hold || ready()));
            });
            if (m_stopping) {
                m_engines -= engine.IsReady() ? 1 : 0;
                worker->finished = true;
                return;
            }
            language = m_language;
            if (m_hold || made == m_language) {
                job = m_jobs.front();
                m_jobs.pop_front();
                worker->serial = job.serial;
                worker->pageId = job.pageId;
                worker->cancel = false;
            }
        }
        if (job.serial == 0) {
            // No page yet: the engine is made now, while nothing is scanned.
            const bool had = engine.IsReady();
            made = language;
            LoadAtLowestPriority(&engine, language);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_engines += int(engine.IsReady()) - int(had);
            continue;
        }
        const bool had = engine.IsReady();
        auto outcome = std::make_shared<Outcome>();
        Recognise(&engine, language, job.path, job.angle, &worker->cancel, &outcome->done,
                  &outcome->cancelled, &outcome->text, &outcome->message, &outcome->stored);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            worker->serial = 0;
            m_engines += int(engine.IsReady()) - int(had);
        }
        const quint64 serial = job.serial;
        QMetaObject::invokeMethod(
            this, [this, serial, outcome] { Deliver(serial, *outcome); }, Qt::QueuedConnection);
    }
}

void OcrQueue::Deliver(quint64 serial, const Outcome& outcome)
{
    const auto it = m_live.find(serial);
    if (it == m_live.end()) {
        return; // cancelled meanwhile
    }
    const quint64 pageId = it.value();
    m_live.erase(it);
    ++m_done;
    if (outcome.done) {
        emit sglPageDone(pageId, outcome.text, outcome.stored);
    } else {
        emit sglPageFailed(pageId, outcome.cancelled ? tr("文字识别已取消") : outcome.message);
    }
    emit sglProgress(m_done, m_total);
    JoinFinished();
}
