#pragma once

#include "savesettle.h"
#include "sessionjournal.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class JournalWriter;
class SessionLock;

// The session's pages on disk: the lock that marks a running session in the
// work folder, the journal that every change of the page list rewrites (on
// the journal writer's thread), and the pages of a session that did not end
// normally, kept until the user has been asked about them.
class SessionController {
public:
    // earlier: folders an earlier version may have left a session in; the
    // first one found is brought into workDir when that holds none.
    explicit SessionController(const QString& workDir, const QStringList& earlier = QStringList());
    ~SessionController();
    SessionController(const SessionController&) = delete;
    SessionController& operator=(const SessionController&) = delete;

    // Takes the work folder: locks it, then either keeps the pages found for
    // the question or empties the folder. When another running session
    // holds it, that folder is left alone and this session works in a fresh
    // private folder of its own (WorkDir() tells which). The number of the
    // next page file (at least `scanNumber`).
    int Prepare(int scanNumber);

    // The folder this session works in: the one it was given, or its
    // private one; empty when it has none.
    QString WorkDir() const { return m_workDir; }

    // The writer of this session's journal (null without one): the window
    // listens to its failure reports.
    JournalWriter* Writer() const { return m_writer.get(); }

    // This session writes a journal, and no question is waiting.
    bool Recording() const { return m_writer && !m_recoveryPending; }
    // Rewrites the journal (while Recording), off this thread.
    void Record(const SessionJournal::State& state);
    // The pages are saved: on return the journal without them (with the
    // next page-file number) is on disk, and only then the page folder is
    // emptied.
    void Saved(int scanNumber);
    // Waits until the last recorded state is on disk.
    void Flush();
    // A normal end: the files go after a journal without pages is on disk,
    // unless pages still wait for the question.
    void EndCleanly(int scanNumber);

    bool RecoveryPending() const { return m_recoveryPending; }
    int PendingRecoveryCount() const { return m_recoveryPending ? int(m_recovery.pages.size()) : 0; }
    // Of those, the pages that come back as interrupted ones.
    int PendingDamagedCount() const { return m_recoveryPending ? m_recovery.damaged : 0; }
    // The answer to the question: the pages to bring back when `restore`,
    // else none and the folder is emptied. The question is then over.
    SessionJournal::State TakeRecovery(bool restore);

    // Before Prepare(): where the counter of a save that Prepare() finds
    // finished goes (stored at once; see SaveSettle).
    void SetCounterKeeper(std::function<void(int)> keep) { m_keepCounter = std::move(keep); }
    // Targets of saves cut short that Prepare() could not finish; told once.
    SaveSettle::Unfinished TakeUnfinishedSaves();
    bool HasUnfinishedSaves() const { return !m_unfinished.isEmpty(); }

private:
    bool TakePrivateFolder();
    void TakeSubFolders();
    void AdoptEarlierSession();
    void SettleSaves(const QString& folder);

    QString m_workDir;
    QStringList m_earlier;
    bool m_private = false;
    std::unique_ptr<SessionLock> m_lock;
    std::unique_ptr<SessionJournal> m_journal;
    std::unique_ptr<JournalWriter> m_writer;
    bool m_recoveryPending = false;
    SessionJournal::State m_recovery;
    std::function<void(int)> m_keepCounter;
    SaveSettle::Unfinished m_unfinished;
};
