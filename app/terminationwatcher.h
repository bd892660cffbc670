#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Ends the program at once on SIGTERM and SIGHUP (logout, shutdown, a closed
// terminal), without any question to the user. The signal handler only
// writes the signal number into a pipe; the event loop of the main thread
// then calls lastWords (which must not wait for the user) and the process
// ends by the signal's own default action.
class TerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit TerminationWatcher(std::function<void(int)> lastWords, QObject* parent = nullptr);
    ~TerminationWatcher() override;

    // False when the pipe or the handlers could not be set up; the signals
    // then keep their default action (the program still ends at once).
    bool IsActive() const { return m_notifier != nullptr; }

    // Puts the handlers back where something else replaced them. Some SANE
    // backends set SIGTERM for their reader while they scan and leave it at
    // the default afterwards; the window calls this after every job.
    void Rearm();

private:
    void OnSignal();

    std::function<void(int)> m_lastWords;
    QSocketNotifier* m_notifier = nullptr;
};
