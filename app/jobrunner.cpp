#include "jobrunner.h"

#include "applog.h"
#include "maskerdialog.h"
#include "worker.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

JobRunner::JobRunner(QWidget* window) : QObject(window), m_window(window)
{
}

JobRunner::~JobRunner()
{
    StopThread();
}

void JobRunner::ShowMasker(const QString& message, bool stoppable)
{
    if (m_masker) {
        m_masker->SetMsg(message);
    } else {
        m_masker = new MaskerDialog(message, m_window);
        m_masker->setWindowTitle(tr("正在进行处理"));
        m_masker->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_masker.data(), &MaskerDialog::sglStopRequested, this, &JobRunner::sglStopRequested);
    }
    m_masker->SetStoppable(stoppable);
}

bool JobRunner::Start(const QString& message, std::function<void()> work, std::function<void()> finished,
                      std::function<void()> after, bool stoppable)
{
    // One job at a time: a second one would share the scanner session and
    // the page list with the first.
    if (m_active) {
        qCWarning(lcApp) << "job refused while another runs:" << message;
        return false;
    }
    ShowMasker(message, stoppable);

    m_active = true;
    emit sglActiveChanged(true);
    auto* thread = new QThread;
    auto* worker = new Worker;
    worker->moveToThread(thread);
    m_thread = thread;
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QObject::destroyed, this, [this, thread] {
        if (m_thread == thread) {
            m_thread = nullptr;
        }
    });
    connect(thread, &QThread::started, worker, &Worker::OnWorkerStart);
    connect(
        worker, &Worker::sglWorkerProgress, worker, [work = std::move(work)] { work(); },
        Qt::DirectConnection);
    connect(worker, &Worker::sglWorkerFinished, this, [finished = std::move(finished)] { finished(); });
    connect(worker, &Worker::sglWorkerFinishedOther, this, [this, after = std::move(after)] {
        if (m_step) {
            // The finished step goes on in steps; after waits for their end.
            m_deferredAfter = after;
            return;
        }
        End(after);
    });

    m_masker->setWindowModality(Qt::WindowModal);
    m_masker->open();
    CenterMasker();
    thread->start(QThread::InheritPriority);
    return true;
}

void JobRunner::End(const std::function<void()>& after)
{
    m_active = false;
    emit sglActiveChanged(false);
    after();
    emit sglEnded();
}

void JobRunner::FinishInSteps(std::function<bool()> step)
{
    m_step = std::move(step);
    QTimer::singleShot(0, this, &JobRunner::RunStep);
}

void JobRunner::RunStep()
{
    if (!m_step) {
        return;
    }
    if (!m_step()) {
        // The event loop turns (input, painting, timers) before the next one.
        QTimer::singleShot(0, this, &JobRunner::RunStep);
        return;
    }
    m_step = nullptr;
    HideMasker();
    if (m_deferredAfter) {
        const std::function<void()> after = std::move(m_deferredAfter);
        m_deferredAfter = nullptr;
        End(after);
    }
}

void JobRunner::StopThread()
{
    if (m_thread && m_thread->isRunning()) {
        m_thread->requestInterruption();
        m_thread->quit();
        m_thread->wait();
    }
}

void JobRunner::HideMasker()
{
    if (m_masker) {
        m_masker->hide();
    }
}

void JobRunner::SetMessage(const QString& text)
{
    if (m_masker) {
        m_masker->SetMsg(text);
    }
}

void JobRunner::CenterMasker()
{
    if (!m_masker || !m_masker->isVisible()) {
        return;
    }
    const QWidget* w = m_window;
    m_masker->move(w->x() + w->width() / 2 - m_masker->width() / 2,
                   w->y() + w->height() / 2 - m_masker->height() / 2);
}

MaskerDialog* JobRunner::Masker() const
{
    return m_masker.data();
}
