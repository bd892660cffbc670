#include "savesettle.h"

#include "applog.h"
#include "savetransaction.h"
#include "sessionjournal.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

// The journal of `workDir` without the pages of `note`; false when it
// cannot be written.
bool DropSavedPages(const QString& workDir, const SaveSettle::Note& note)
{
    const SessionJournal journal(workDir);
    SessionJournal::State state;
    if (!journal.Load(&state)) {
        return true; // nothing listed
    }
    const QSet<QString> saved(note.pages.cbegin(), note.pages.cend());
    SessionJournal::State kept = state;
    kept.pages.clear();
    kept.angles.clear();
    int current = state.current;
    for (int i = 0; i < state.pages.size(); ++i) {
        const QString& page = state.pages.at(i);
        if (saved.contains(QFileInfo(page).fileName())) {
            current -= i < state.current ? 1 : 0;
            continue;
        }
        kept.pages << page;
        if (state.angles.contains(page)) {
            kept.angles.insert(page, state.angles.value(page));
        }
    }
    kept.current = std::max(0, std::min(current, int(kept.pages.size()) - 1));
    kept.scanNumber = std::max(state.scanNumber, note.scanNumber);
    // The pages were saved after their scan had ended.
    kept.scanRunning = false;
    if (kept.pages.size() == state.pages.size() && kept.scanNumber == state.scanNumber &&
        !state.scanRunning) {
        return true;
    }
    return journal.Record(kept) == 0;
}

} // namespace

QByteArray SaveSettle::Encode(const Note& note)
{
    QJsonObject root;
    root.insert(QStringLiteral("pages"), QJsonArray::fromStringList(note.pages));
    root.insert(QStringLiteral("scanNumber"), note.scanNumber);
    root.insert(QStringLiteral("counter"), note.counter);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool SaveSettle::Decode(const QByteArray& text, Note* note)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonObject root = document.object();
    const QJsonValue pages = root.value(QStringLiteral("pages"));
    if (!document.isObject() || !pages.isArray()) {
        return false;
    }
    Note read;
    for (const QJsonValue& page : pages.toArray()) {
        read.pages << page.toString();
    }
    read.scanNumber = std::max(
        0, std::min(root.value(QStringLiteral("scanNumber")).toInt(), SessionJournal::kHighestNumber));
    read.counter = std::max(0, root.value(QStringLiteral("counter")).toInt());
    *note = read;
    return true;
}

void SaveSettle::Settle(const QString& workDir, const std::function<void(int)>& keepCounter,
                        Unfinished* unfinished)
{
    QVector<SaveTransaction::Recovered> recovered;
    SaveTransaction::Recover(SaveTransaction::RecordFolder(workDir), QString(), &recovered);
    for (const SaveTransaction::Recovered& save : qAsConst(recovered)) {
        *unfinished += save.unfinished;
        if (save.note.isEmpty()) {
            continue;
        }
        Note note;
        if (!Decode(save.note, &note)) {
            qCWarning(lcApp) << "save record with an unreadable note:" << save.record;
            SaveTransaction::Forget(save.record);
            continue;
        }
        // In this order, as after a save: the counter, the journal, then the
        // record; a stop on the way does it all again at the next start.
        if (keepCounter && note.counter > 0) {
            keepCounter(note.counter);
        }
        if (DropSavedPages(workDir, note)) {
            SaveTransaction::Forget(save.record);
        }
    }
}
