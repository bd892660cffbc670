#include "sessioncontroller.h"

#include "applog.h"
#include "fileutils.h"
#include "sessionlock.h"

SessionController::SessionController(const QString& workDir) : m_workDir(workDir)
{
}

SessionController::~SessionController() = default;

int SessionController::Prepare(int scanNumber)
{
    m_journal.reset(new SessionJournal(m_workDir));
    m_lock.reset(new SessionLock);
    if (!m_lock->TryLock(SessionLock::PathFor(m_workDir))) {
        // Another running session of this user works in this folder: its
        // pages are neither emptied nor taken. This window keeps no journal
        // and numbers its page files after theirs.
        qCWarning(lcApp) << "session lock held elsewhere:" << SessionLock::PathFor(m_workDir);
        const int next = m_journal->NextFreeNumber();
        m_journal.reset();
        return next;
    }
    const SessionJournal::State found = m_journal->Recover();
    if (!found.pages.isEmpty()) {
        m_recoveryPending = true;
        m_recovery = found;
        return found.scanNumber;
    }
    ClearDirectory(m_workDir);
    m_journal->Discard();
    return scanNumber;
}

void SessionController::Record(const SessionJournal::State& state)
{
    if (!Recording()) {
        return;
    }
    if (!m_journal->Record(state)) {
        qCWarning(lcApp) << "session journal not written:" << m_journal->FilePath();
    }
}

void SessionController::Discard()
{
    if (m_journal) {
        m_journal->Discard();
    }
}

void SessionController::EndCleanly()
{
    if (!Recording()) {
        return;
    }
    m_journal->Discard();
    ClearDirectory(m_workDir);
}

SessionJournal::State SessionController::TakeRecovery(bool restore)
{
    m_recoveryPending = false;
    SessionJournal::State state;
    std::swap(state, m_recovery);
    if (!restore) {
        ClearDirectory(m_workDir);
        state = SessionJournal::State();
    }
    return state;
}
