#include "sessioncontroller.h"

#include "applog.h"
#include "fileutils.h"
#include "journalwriter.h"
#include "sessionlock.h"
#include "sessionmove.h"
#include "temppath.h"
#include "workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

SessionController::SessionController(const QString& workDir, const QStringList& earlier)
    : m_workDir(workDir), m_earlier(earlier)
{
}

SessionController::~SessionController() = default;

int SessionController::Prepare(int scanNumber)
{
    m_lock.reset(new SessionLock);
    if (!m_lock->TryLock(SessionLock::PathFor(m_workDir))) {
        // Another running session works in this folder: it is never written,
        // emptied or journalled by this one, which takes a fresh folder of
        // its own and journals there.
        qCWarning(lcApp) << "session lock held elsewhere:" << SessionLock::PathFor(m_workDir);
        if (!TakePrivateFolder()) {
            return scanNumber;
        }
        m_journal.reset(new SessionJournal(m_workDir));
        m_writer.reset(new JournalWriter(m_workDir));
        SessionJournal::State empty;
        empty.scanNumber = scanNumber;
        Record(empty);
        return scanNumber;
    }
    m_journal.reset(new SessionJournal(m_workDir));
    TakeSubFolders();
    // Temporary files are never pages: whatever an earlier run left goes.
    ClearDirectory(m_workDir + QLatin1Char('/') + QLatin1String(kTempFolderName));
    // Saves of an earlier run cut short are finished or undone before
    // anything looks at the save folders or the journal.
    SettleSaves(m_workDir);
    AdoptEarlierSession();
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

void SessionController::TakeSubFolders()
{
    // The page folder and the temporary folder are emptied and written as
    // folders of ours. A link in the place of one (to a folder of the
    // user's documents, say) is never followed: the pages a journal names
    // through it are no pages of ours, and the link gives way to a real
    // folder; what it pointed to stays as it is.
    for (const char* name : {kScanFolderName, kTempFolderName}) {
        bool replaced = false;
        if (!WorkDir::OwnSubFolder(m_workDir, QLatin1String(name), &replaced)) {
            qCWarning(lcApp) << "no folder of ours at" << m_workDir + QLatin1Char('/') + QLatin1String(name);
        } else if (replaced) {
            qCWarning(lcApp) << "replaced what was no folder at"
                             << m_workDir + QLatin1Char('/') + QLatin1String(name);
        }
    }
}

void SessionController::AdoptEarlierSession()
{
    // The session of an earlier version's folder, or of a private folder
    // whose copy did not end normally, is offered like this folder's own
    // (when this one holds none). Folders without a session go.
    const auto settle = [this](const QString& folder) { SettleSaves(folder); };
    for (const QString& folder : qAsConst(m_earlier)) {
        if (SessionMove::Adopt(folder, m_workDir, settle) != SessionMove::Result::Left) {
            // The earlier version's parent level goes too once it is empty.
            QDir().rmdir(QFileInfo(folder).path());
        }
    }
    const QStringList siblings = WorkDir::PrivateSiblings(m_workDir);
    for (const QString& folder : siblings) {
        SessionMove::Adopt(folder, m_workDir, settle);
    }
}

void SessionController::SettleSaves(const QString& folder)
{
    SaveSettle::Settle(folder, m_keepCounter, &m_unfinished);
}

SaveSettle::Unfinished SessionController::TakeUnfinishedSaves()
{
    SaveSettle::Unfinished unfinished;
    std::swap(unfinished, m_unfinished);
    return unfinished;
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
        SessionJournal::State empty;
        empty.scanNumber = state.scanNumber;
        Record(empty);
        state = SessionJournal::State();
        state.scanNumber = empty.scanNumber;
    }
    return state;
}
