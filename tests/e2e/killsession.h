#pragma once

#include "pagemodel.h"

#include <QMap>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class WindowFixture;

// What a session killed at random moments needs of the seeded session on the
// real window: the same steps, drawn the same way in whichever process runs
// them, and the model they are compared with.
class KillableSession {
public:
    virtual ~KillableSession() = default;

    // Starts the window on these folders; a recovery question is answered
    // `answer`. False when the window did not come up ready to scan.
    virtual bool Open(const QString& home, const QString& tmp, QMessageBox::StandardButton answer) = 0;
    virtual WindowFixture* Fixture() const = 0;
    virtual PageModel::Model& State() = 0;
    // The action of step `index` of the session `seed`; it depends on
    // nothing else, so that a restarted process goes on where it stopped.
    virtual int DrawStep(quint32 seed, int index) = 0;
    // Where the action puts the pages it scans (the journal's placement:
    // 1 after the last page, 2 before, 3 after the current page, 4 in its
    // place), 0 for an action that does not scan pages of its own.
    virtual int ScanPlacement(int action) const = 0;
    virtual bool IsSave(int action) const = 0;
    // The action scans pages into the list (also one that ends in a jam).
    virtual bool AddsPages(int action) const = 0;
    // Runs the action: empty when the window then agrees with the model,
    // else what differs.
    virtual QString RunStep(int action) = 0;
    // Empty when the window agrees with the model.
    virtual QString Compare() const = 0;
    // The steps so far, as the user would tell them.
    virtual const QStringList& Trail() const = 0;
    // A new process knows no earlier steps: its history begins with the
    // pages recovered (one step back to an empty list when there are some).
    virtual void StartHistory() = 0;
    // Lines added to the simulator's scenario of the following scans.
    virtual void SetScenarioExtra(const QString& lines) = 0;
};

// The seeded session in child processes (this test program started again
// with SCANVY_KILL_CHILD naming its orders), each one killed by SIGKILL at a
// random moment: between two steps once the window is idle, just after a
// step while the journal may still be written, during a scan after one of
// its pages, during a save. The next child starts on the same folders,
// answers the recovery question 是 (now and then 否), and checks that the
// recovered list is the state before or after the step that was cut off,
// never a mix, and that no finished page is lost; then the session goes on.
namespace KillSession {

// How the kills landed, by kind and by what came back.
struct Tally {
    QMap<QString, int> kills;
    QMap<QString, int> outcomes;
    int restarts = 0;
    QStringList trail; // the steps, kills and restarts of the last session
    QString Text() const;
};

// True in a child process.
bool IsChild();
// The child's part: returns its exit code (0: every step done).
int RunChild(KillableSession* session);
// The parent's part: `steps` steps of session `seed` (in one child that is
// not killed, without `kills`); empty when every child agreed with the
// model, else the seed, the steps and what differed.
QString Run(quint32 seed, int steps, bool kills, Tally* tally);

} // namespace KillSession
