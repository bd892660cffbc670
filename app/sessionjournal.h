#pragma once

#include <QList>
#include <QString>

// The small record that lets a session's pages outlive a crash, a kill or a
// logout: the page files of the running session (they stay in the private
// work folder), their order, the current page and the next page-file number,
// plus, while a scan runs, where that scan puts its pages.
//
// Every change of the page list goes through Record(), which rewrites the
// journal atomically (a new file renamed over the old one), so a process that
// dies at any moment leaves either the previous or the new state behind. At
// start-up Recover() turns what is on disk into the page list to offer back.
class SessionJournal {
public:
    // A scan job that was running when the state was recorded.
    struct Scan {
        int type = 1;        // ScanType of the job
        int insertAt = 0;    // next insert position (before/after), the replaced page (replace)
        int firstNumber = 1; // page-file number of the job's first page
        QString prefix;      // file-name prefix of the job's page files
    };

    struct State {
        QList<QString> pages; // page files in page order (absolute paths in the scan folder)
        int current = 0;      // index of the current page
        int scanNumber = 1;   // number of the next page file
        bool scanRunning = false;
        Scan scan;
    };

    // The journal lives in workDir, the page files in workDir + "/scanimages".
    explicit SessionJournal(const QString& workDir);

    QString FilePath() const { return m_path; }
    QString ScanDir() const { return m_scanDir; }

    // Rewrites the journal with state. False when it could not be written;
    // the previous journal then stays as it was.
    bool Record(const State& state) const;

    // Reads the journal back. False when there is none or it is unusable.
    // Entries that do not name a plain file of the scan folder are dropped.
    bool Load(State* state) const;

    // Removes the journal: nothing of this session is to be brought back.
    void Discard() const;

    // What a restart brings back: the recorded pages whose files are complete
    // (an interrupted page has only its ".part" and is left out), plus the
    // pages that a running scan had finished but the page list had not taken
    // yet, placed as that scan would have placed them. The current page is the
    // recorded one (or its nearest follower when it is left out), and the
    // next page-file number lies above every page file of the folder.
    State Recover() const;

    // 1 + the highest number at the end of a page-file name in the scan folder
    // (".part" files included); 1 for an empty folder.
    int NextFreeNumber() const;

private:
    QList<QString> FinishedByScan(const State& state) const;

    QString m_path;
    QString m_scanDir;
};
