#pragma once

#include "pageturn.h"
#include "savefailure.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class ImageProc;
class QDate;
class QUrl;
class QWidget;

// Saving the pages into the save folder, all or nothing: every file is
// written under a hidden name first and put in place only when all are
// complete; if anything fails, every target is as it was before (old files
// keep their content and permissions). Also the questions and messages of a
// save. It keeps what the last save did; the caller keeps the pages, the
// settings and the counter.
class SaveController : public QObject {
    Q_OBJECT
public:
    // The entries of the format box, in order.
    enum FormatIndex {
        FormatTiff = 0,
        FormatMultiTiff = 1,
        FormatPnm = 2,
        FormatJpeg = 3,
        FormatPng = 4,
        FormatPdf = 5,
        FormatMultiPdf = 6,
        FormatOfd = 7,
        FormatMultiOfd = 8
    };

    // Where and under which names a save writes: folder/prefix + counter
    // with at least minDigits digits + "." + extension.
    struct Target {
        QString folder;
        QString prefix;
        int minDigits = 4;
        int format = FormatTiff;
        QString extension;
    };

    // Boxes are raised over `dialogParent`; `imageProc` does the writing.
    SaveController(ImageProc* imageProc, QWidget* dialogParent);

    static bool IsMultiFile(int format);
    static QString FileName(const Target& target, int number);
    // The files a save of `pageCount` pages from `counter` would overwrite,
    // in the order it writes them.
    static QStringList ExistingTargets(const Target& target, int pageCount, int counter);

    // Writes `pages` from `counter` on (from any thread). True when every
    // file is in place; the numbers used are then SavedFiles().size().
    // A `note` goes into the save's record, which then stays until
    // ForgetSave() (see SaveTransaction::SetNote).
    bool Write(const Target& target, const QList<QString>& pages, int counter);
    // The same for pages that may be turned: each file shows its page
    // turned by the page's angle.
    bool Write(const Target& target, const QList<SavePage>& pages, int counter,
               const QByteArray& note = QByteArray());
    // The same with the files named by the caller (one per page, or one for
    // a multi-page format), in any folder.
    bool WriteFiles(int format, const QList<QString>& pages, const QStringList& targets);
    bool WriteFiles(int format, const QList<SavePage>& pages, const QStringList& targets,
                    const QByteArray& note = QByteArray());
    // The caller has acted on the last save: its record goes.
    void ForgetSave();
    // The name "另存为…" offers: the prefix and the counter as "保存" would
    // name its first file, or, without a prefix, `word` and the date.
    static QString SaveAsSuggestion(const QString& prefix, int counter, int minDigits, const QString& word,
                                    const QDate& date);
    // The files "另存为…" writes for the name the user chose.
    static QStringList SaveAsFileNames(const QString& chosen, const QString& extension, bool multi,
                                       int pageCount);
    const SaveFailure& Failure() const { return m_failure; }
    QStringList SavedFiles() const { return m_savedFiles; }
    int SavedPages() const { return m_savedPages; }
    // The last Write succeeded.
    bool Succeeded() const { return m_succeeded; }
    void Reset();

    static QString FailureText(const SaveFailure& failure);
    // "已保存 …" after the last save, empty when it wrote nothing.
    QString SavedNote() const;

    // Asks before overwriting `existing` (listed, the first few by name).
    bool AskOverwrite(const QStringList& existing);
    // Refuses to save while a page's file is incomplete (an interrupted
    // scan), naming the pages in a box. True when refused.
    bool RefuseIncompletePages(const QList<QString>& pages);
    void ShowFailure();
    // "保存成功" with "打开文件夹", which opens `folder` through the opener;
    // `nameFiles`: the box names the files written, else counts them.
    void ShowSuccess(const QString& folder, bool nameFiles = false);
    void SetFolderOpener(std::function<bool(const QUrl&)> opener) { m_openFolder = std::move(opener); }
    // Where saves keep their records (see SaveTransaction); none when empty.
    void SetRecordFolder(const QString& folder) { m_recordFolder = folder; }

signals:
    // The file being written, for the busy overlay.
    void sglProgress(const QString& text);

private:
    bool WriteFile(int format, const QList<SavePage>& pages, const QString& file);
    void FailWriting(const QString& staged, const QString& target, int index, bool multi);

    ImageProc* m_imageProc;
    QWidget* m_dialogParent;
    std::function<bool(const QUrl&)> m_openFolder;
    QString m_recordFolder;
    SaveFailure m_failure;
    QStringList m_savedFiles; // what the last save wrote
    QString m_keptRecord;     // the record of a save with a note
    int m_savedPages = 0;
    bool m_succeeded = false;
};
