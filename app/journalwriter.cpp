#include "journalwriter.h"

#include "applog.h"

#include <cstring>

JournalWriter::JournalWriter(const QString& workDir, QObject* parent)
    : QObject(parent), m_journal(workDir), m_thread([this] { Run(); })
{
}

JournalWriter::~JournalWriter()
{
    {
        QMutexLocker locker(&m_mutex);
        m_stop = true;
        m_wake.wakeAll();
    }
    m_thread.join();
}

void JournalWriter::Post(const SessionJournal::State& state)
{
    QMutexLocker locker(&m_mutex);
    if (!m_tasks.isEmpty()) {
        m_tasks.last() = state; // not written yet: the newer state replaces it
    } else {
        m_tasks.append(state);
    }
    m_wake.wakeAll();
}

bool JournalWriter::Flush()
{
    QMutexLocker locker(&m_mutex);
    while (!m_tasks.isEmpty() || m_busy) {
        m_done.wait(&m_mutex);
    }
    return !m_failing;
}

void JournalWriter::Run()
{
    QMutexLocker locker(&m_mutex);
    for (;;) {
        while (m_tasks.isEmpty() && !m_stop) {
            m_wake.wait(&m_mutex);
        }
        if (m_tasks.isEmpty()) {
            return; // stopping, and nothing is left to write
        }
        const SessionJournal::State state = m_tasks.takeFirst();
        m_busy = true;
        locker.unlock();
        const int error = m_journal.Record(state);
        locker.relock();
        m_busy = false;
        if (error != 0 && !m_failing) {
            m_failing = true;
            qCWarning(lcApp) << "session journal not written:" << m_journal.FilePath()
                             << std::strerror(error);
            emit sglWriteFailed(error);
        } else if (error == 0 && m_failing) {
            m_failing = false;
            emit sglWriteWorks();
        }
        m_done.wakeAll();
    }
}
