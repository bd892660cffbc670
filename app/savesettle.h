#pragma once

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// A save that takes the pages out of the list ("保存", the save after a scan)
// notes in its record which pages it saved, the next page-file number and
// the counter after it (see SaveTransaction::SetNote). Should the program
// end before the pages have left its journal, the next start finds the note
// with the save's files in place and finishes the job, so that every page
// comes back once: in the saved files or in the list.
namespace SaveSettle {

struct Note {
    QStringList pages;  // names of the saved page files in the scan folder
    int scanNumber = 0; // the next page-file number
    int counter = 0;    // the save counter after the save
};

QByteArray Encode(const Note& note);
bool Decode(const QByteArray& text, Note* note);

// Targets a save could not finish (another file had taken the name), each
// with the hidden file that holds what the save wrote for it.
using Unfinished = QVector<QPair<QString, QString>>;

// Settles the saves that ended processes left in the records of `workDir`
// (a folder this process holds): for each one whose files are all in place
// the counter goes up to the noted one through `keepCounter`, its pages
// leave workDir's journal, and only then its record goes. What could not be
// finished is added to `unfinished`.
void Settle(const QString& workDir, const std::function<void(int)>& keepCounter, Unfinished* unfinished);

} // namespace SaveSettle
