// Background jobs of the main window: the busy overlay, one job thread with
// its Worker, and the two completion steps queued back to this thread.
#include "mainwindow.h"

#include "applog.h"
#include "maskerdialog.h"
#include "worker.h"

#include <QThread>

bool MainWindow::ExecLambda(const QString& message, std::function<void()> work,
                            std::function<void()> finished, std::function<void()> after, bool stoppable)
{
    // One job at a time: a second one would share the scanner session and
    // the page list with the first.
    if (m_jobActive) {
        qCWarning(lcApp) << "job refused while another runs:" << message;
        return false;
    }
    if (m_masker) {
        m_masker->SetMsg(message);
    } else {
        m_masker = new MaskerDialog(message, this);
        m_masker->setWindowTitle(tr("正在进行处理"));
        m_masker->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_masker.data(), &MaskerDialog::sglStopRequested, this, &MainWindow::StopScan);
    }
    m_masker->SetStoppable(stoppable);

    m_jobActive = true;
    ApplyReorderRule();
    auto* thread = new QThread;
    auto* worker = new Worker;
    worker->moveToThread(thread);
    m_jobThread = thread;
    m_worker = worker;
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QObject::destroyed, this, [this, thread] {
        if (m_jobThread == thread) {
            m_jobThread = nullptr;
        }
    });
    connect(worker, &QObject::destroyed, this, [this, worker] {
        if (m_worker == worker) {
            m_worker = nullptr;
        }
    });
    connect(thread, &QThread::started, worker, &Worker::OnWorkerStart);
    connect(
        worker, &Worker::sglWorkerProgress, worker, [work] { work(); }, Qt::DirectConnection);
    connect(worker, &Worker::sglWorkerFinished, this, [finished] { finished(); });
    connect(worker, &Worker::sglWorkerFinishedOther, this, [this, after] {
        m_jobActive = false;
        ApplyReorderRule();
        after();
        // A hot-plug notice parked while this job ran, unless the job's own
        // after step has already taken it up.
        if (m_usbPending && !m_jobActive && !m_scanning && !m_pageBusy) {
            m_usbPending = false;
            StartUsbDetect(m_usbEvent);
        }
        emit sglJobDone();
    });

    m_masker->setWindowModality(Qt::WindowModal);
    m_masker->open();
    MoveMaskerToCenter();
    thread->start(QThread::InheritPriority);
    return true;
}

void MainWindow::StopJobThread()
{
    if (m_jobThread && m_jobThread->isRunning()) {
        m_jobThread->requestInterruption();
        m_jobThread->quit();
        m_jobThread->wait();
    }
}

void MainWindow::HideMasker()
{
    if (m_masker) {
        m_masker->hide();
    }
}
