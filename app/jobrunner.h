#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class MaskerDialog;
class QThread;
class QWidget;

// Runs one background job at a time for a window: the work on a new thread
// with its Worker, the finished and after steps queued back to the
// user-interface thread in that order, and the busy overlay over the window
// while it runs. A finished step with much to do on this thread (redrawing
// many rows) hands it to FinishInSteps: the overlay stays, the event loop
// turns between the steps, and the after step runs once they are done.
class JobRunner : public QObject {
    Q_OBJECT
public:
    // The overlay is a child of `window` and is kept at its centre.
    explicit JobRunner(QWidget* window);
    ~JobRunner() override;

    // Refused (false) while another job runs. A stoppable job's overlay
    // offers "停止扫描" (sglStopRequested).
    bool Start(const QString& message, std::function<void()> work, std::function<void()> finished,
               std::function<void()> after, bool stoppable = false);
    // From a finished step: go on with `step` on this thread, run again
    // until it returns true.
    void FinishInSteps(std::function<bool()> step);
    // Waits for the job thread to end (its work has returned by then).
    void StopThread();
    void HideMasker();
    void SetMessage(const QString& text);
    void CenterMasker();

    bool Active() const { return m_active; }
    MaskerDialog* Masker() const;

signals:
    // A job started (true) or is about to run its after step (false).
    void sglActiveChanged(bool active);
    // The overlay's "停止扫描", Esc or close request.
    void sglStopRequested();
    // A job has run its after step.
    void sglEnded();

private:
    void ShowMasker(const QString& message, bool stoppable);
    void RunStep();
    void End(const std::function<void()>& after);

    QWidget* m_window;
    QPointer<MaskerDialog> m_masker;
    QThread* m_thread = nullptr;
    bool m_active = false;
    std::function<bool()> m_step;
    std::function<void()> m_deferredAfter;
};
