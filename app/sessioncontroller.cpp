#include "sessioncontroller.h"

#include "applog.h"
#include "fileutils.h"
#include "sessionlock.h"
#include "sessionmove.h"
#include "temppath.h"
#include "workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SessionController::SessionController(const QString& workDir, const QStringList& earlier)
    : m_workDir(workDir), m_earlier(earlier)
{
}

SessionController::~SessionController() = default;

int SessionController::Prepare(int scanNumber)
{
    m_journal.reset(new SessionJournal(m_workDir));
    m_lock.reset(new SessionLock);
    if (!m_lock->TryLock(SessionLock::PathFor(m_workDir))) {
        // Another running session works in this folder: it is never written,
        // emptied or journalled by this one, which takes a folder of its own.
        qCWarning(lcApp) << "session lock held elsewhere:" << SessionLock::PathFor(m_workDir);
        m_journal.reset();
        if (TakePrivateFolder()) {
            m_journal.reset(new SessionJournal(m_workDir));
        }
        return scanNumber;
    }
    // Temporary files are never pages: whatever an earlier run left goes.
    ClearDirectory(m_workDir + QLatin1Char('/') + QLatin1String(kTempFolderName));
    AdoptEarlierSession();
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

bool SessionController::TakePrivateFolder()
{
    const QString shared = m_workDir;
    m_workDir.clear();
    // The copy that holds the shared folder removes, when it starts, the
    // private folders it can lock that hold no journal; should that happen
    // between making this folder and locking it, another one is made.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString own = WorkDir::MakePrivateSibling(shared);
        if (own.isEmpty()) {
            break;
        }
        if (m_lock->TryLock(SessionLock::PathFor(own)) && WorkDir::IsOwnedFolder(own)) {
            m_workDir = own;
            m_private = true;
            qCWarning(lcApp) << "working in a private folder:" << own;
            return true;
        }
        m_lock->Unlock();
    }
    qCWarning(lcApp) << "no private work folder beside" << shared << "- pages cannot be scanned";
    return false;
}

void SessionController::AdoptEarlierSession()
{
    // The session of an earlier version's folder, or of a private folder
    // whose copy did not end normally, is offered like this folder's own
    // (when this one holds none). Folders without a session go.
    for (const QString& folder : qAsConst(m_earlier)) {
        if (SessionMove::Adopt(folder, m_workDir) != SessionMove::Result::Left) {
            // The earlier version's parent level goes too once it is empty.
            QDir().rmdir(QFileInfo(folder).path());
        }
    }
    const QStringList siblings = WorkDir::PrivateSiblings(m_workDir);
    for (const QString& folder : siblings) {
        SessionMove::Adopt(folder, m_workDir);
    }
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
    if (m_private) {
        // Nothing of a private folder outlives its session; its lock file
        // goes while it is still held.
        SessionMove::RemoveFolder(m_workDir);
        QFile::remove(m_lock->Path());
        m_lock->Unlock();
    }
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
