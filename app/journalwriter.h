#pragma once

#include "sessionjournal.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <thread>

// Writes the session journal off the user-interface thread. States are
// written in the order they were handed over; a state that is overtaken by a
// newer one before its turn is skipped (the newest always wins).
//
// A failing write is reported once (sglWriteFailed with the errno) until a
// write works again (sglWriteWorks); both are emitted on the writer's thread
// and reach receivers of other threads queued.
class JournalWriter : public QObject {
    Q_OBJECT
public:
    explicit JournalWriter(const QString& workDir, QObject* parent = nullptr);
    // Writes what is still waiting, then ends the thread.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void Post(const SessionJournal::State& state);
    // Waits until everything posted so far is done; false when the last
    // journal write failed.
    bool Flush();

signals:
    void sglWriteFailed(int error);
    void sglWriteWorks();

private:
    void Run();

    SessionJournal m_journal;
    QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_done;
    QList<SessionJournal::State> m_tasks;
    bool m_busy = false;
    bool m_stop = false;
    bool m_failing = false;
    std::thread m_thread;
};
