#include "sessioncontroller.h"

#include "applog.h"
#include "fileutils.h"
#include "journalwriter.h"
#include "sessionlock.h"

#include <algorithm>

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
    m_writer.reset(new JournalWriter(m_workDir));
    SessionJournal::Found how = SessionJournal::Found::Nothing;
    const SessionJournal::State found = m_journal->Recover(&how);
    if (how == SessionJournal::Found::SetAside) {
        qCWarning(lcApp) << "session journal unreadable, set aside; pages taken from the folder";
    }
    const int next = std::max(scanNumber, found.scanNumber);
    if (!found.pages.isEmpty()) {
        // Nothing is touched until the user has answered.
        m_recoveryPending = true;
        m_recovery = found;
        return next;
    }
    ClearDirectory(m_workDir);
    SessionJournal::State empty;
    empty.scanNumber = next;
    Record(empty);
    return next;
}

void SessionController::Record(const SessionJournal::State& state)
{
    if (Recording()) {
        m_writer->Post(state);
    }
}

void SessionController::Saved(int scanNumber)
{
    if (!Recording()) {
        return;
    }
    SessionJournal::State empty;
    empty.scanNumber = scanNumber;
    m_writer->Post(empty);
    // A kill from here on finds the journal without the saved pages.
    m_writer->Flush();
    ClearDirectory(m_journal->ScanDir());
}

void SessionController::Flush()
{
    if (m_writer) {
        m_writer->Flush();
    }
}

void SessionController::EndCleanly(int scanNumber)
{
    if (!Recording()) {
        return;
    }
    SessionJournal::State empty;
    empty.scanNumber = scanNumber;
    m_writer->Post(empty);
    m_writer->Flush();
    ClearDirectory(m_workDir);
}

SessionJournal::State SessionController::TakeRecovery(bool restore)
{
    m_recoveryPending = false;
    SessionJournal::State state;
    std::swap(state, m_recovery);
    if (!restore) {
        ClearDirectory(m_workDir);
        SessionJournal::State empty;
        empty.scanNumber = state.scanNumber;
        Record(empty);
        state = SessionJournal::State();
        state.scanNumber = empty.scanNumber;
    }
    return state;
}
