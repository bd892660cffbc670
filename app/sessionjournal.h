#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The small record that lets a session's pages outlive a crash, a kill, a
// logout or a power cut: the page files of the running session (they stay in
// the private work folder), their order, the current page and the next
// page-file number, plus, while a scan runs, where that scan puts its pages.
//
// The journal is the only source of page-file numbers: they are never taken
// from the names of files in the folder, where a leftover of another writer
// could pass for a page. Only when the journal itself cannot be understood
// are the folder's files offered (in name order), numbered on above all of
// them, and the journal is set aside beside the work folder for a look later.
//
// Record() rewrites the journal atomically (a new file, flushed, renamed over
// the old one, the folder flushed), so a process or machine that stops at any
// moment leaves either the previous or the new state behind.
class SessionJournal {
public:
    // A scan job that was running when the state was recorded.
    struct Scan {
        int type = 1;        // PagePlacement of the pages still to come
        int insertAt = 0;    // where the next page goes (before/after), the page it replaces (replace)
        int firstNumber = 1; // page-file number of the job's first page
        QString prefix;      // file-name prefix of the job's page files
        int minDigits = 0;   // minimum digits of the numbers (0: not recorded)
        QString extension;   // extension of the job's page files (empty: not recorded)
    };

    struct State {
        QList<QString> pages; // page files in page order (absolute paths in the scan folder)
        // How far pages are turned clockwise (90, 180 or 270), by page file;
        // a page not listed is upright.
        QHash<QString, int> angles;
        int current = 0;    // index of the current page
        int scanNumber = 1; // number of the next page file
        bool scanRunning = false;
        Scan scan;
        // Read back only: the journal says on purpose that there are no pages.
        bool settled = false;
        // Recovered only: pages that come back as interrupted ones (cut off,
        // empty or unreadable); they are among `pages`.
        int damaged = 0;
    };

    // What Recover() found on disk.
    enum class Found {
        Nothing,  // a journal without pages (or no journal and no page files)
        Listed,   // a journal that lists pages
        Missing,  // no journal, page files in the folder: they are offered
        SetAside, // a journal that could not be understood, set aside; the folder's files are offered
    };

    // Page-file numbers above this are never handed out, so counting on from
    // any recovered number can never wrap.
    static const int kHighestNumber;

    // The journal lives in workDir, the page files in workDir + "/scanimages".
    explicit SessionJournal(const QString& workDir);

    QString FilePath() const { return m_path; }
    QString ScanDir() const { return m_scanDir; }

    // Rewrites the journal with state: 0, or the errno of the step that
    // failed (the previous journal then stays as it was).
    int Record(const State& state) const;

    // Reads the journal back. False when there is none or it is unusable.
    // Entries that do not name a plain file of the scan folder are dropped.
    bool Load(State* state) const;

    // Removes the journal: nothing of this session is to be brought back.
    void Discard() const;

    // What a restart brings back: the recorded pages, plus the pages that a
    // running scan had finished but the page list had not taken yet, placed
    // as that scan would have placed them. A page that is not whole (cut off,
    // empty, only its ".part") comes back as an interrupted page: a damaged
    // file is moved to the page's ".part" name, so that the page shows as
    // interrupted and cannot be saved blank. Nothing is deleted. The current
    // page is the recorded one (or its nearest follower when it is gone).
    State Recover(Found* found = nullptr) const;

    // For a window that shares the folder of another running session: a
    // number above that session's journal and above every file name of the
    // folder.
    int NextFreeNumber() const;

    // A number above every number that a page-file name among names could be
    // made of, whatever the prefix: for each name, the longest run of digits
    // before its extension that stays at or below kHighestNumber counts.
    static int NumberAbove(const QStringList& names);

private:
    // The running scan's own page files (exact prefix, padding and extension,
    // numbers from its first one on) with their numbers, in number order;
    // ".part" files only when withPartial.
    QList<QPair<int, QString>> FilesOfScan(const State& state, bool withPartial) const;
    QList<QString> FinishedByScan(const State& state) const;
    // The next page-file number as the journal has it, counted on above a
    // running scan's own files.
    int RecordedNumber(const State& recorded) const;
    QList<QString> PagesInFolder() const;
    // Keeps the pages that exist in some form; counts and marks the damaged.
    QList<QString> CheckPages(const QList<QString>& pages, int current, int* newCurrent, int* damaged) const;
    void SetAside() const;

    QString m_workDir;
    QString m_path;
    QString m_scanDir;
};
