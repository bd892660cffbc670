#pragma once

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

// The page list as the user should see it, followed step by step by the
// seeded sessions on the real window.
namespace PageModel {

// A page whose scan was cut off: no file, what was read is in its ".part".
const QString kPart = QStringLiteral("part");

struct ModelPage {
    QString path;
    QString marker; // "2A"; kPart for a cut-off page
    int turn = 0;   // clockwise degrees
    QString Reading() const
    {
        return marker == kPart || turn == 0 ? marker : marker + '@' + QString::number(turn);
    }
};

// What the user should see: the pages in order, the current one and the
// selected ones. Every step of the session changes it the way the window
// is meant to change its page list.
struct Model {
    QList<ModelPage> pages;
    int current = 0;
    QList<int> selected;
    int counter = 1;
    // Files of pages taken off the list: they may stay in the scan folder
    // until the list is cleared or saved.
    QStringList dropped;

    void SelectOnly(int row)
    {
        current = row;
        selected = pages.isEmpty() ? QList<int>() : QList<int>{row};
    }
    void Insert(int at, const QList<ModelPage>& added)
    {
        for (int i = 0; i < added.size(); ++i) {
            pages.insert(at + i, added.at(i));
        }
    }
    // Each selected page changes places with the unselected neighbour in the
    // direction of the move; current page and selection go with their pages.
    void Move(int step)
    {
        QList<bool> sel;
        for (int i = 0; i < pages.size(); ++i) {
            sel << selected.contains(i);
        }
        const ModelPage cur = pages.value(current);
        for (int k = 0; k < pages.size() - 1; ++k) {
            const int row = step < 0 ? k + 1 : pages.size() - 2 - k;
            const int other = row + step;
            if (sel.at(row) && !sel.at(other)) {
                pages.swapItemsAt(row, other);
                sel.swapItemsAt(row, other);
            }
        }
        Follow(cur, sel);
    }
    // The selected pages dropped into the gap before row `gap`.
    void Drop(int gap)
    {
        const ModelPage cur = pages.value(current);
        QList<ModelPage> moved, kept;
        QList<bool> sel;
        int at = 0;
        for (int i = 0; i < pages.size(); ++i) {
            (selected.contains(i) ? moved : kept) << pages.at(i);
            at += (i < gap && !selected.contains(i)) ? 1 : 0;
        }
        pages = kept;
        Insert(at, moved);
        for (int i = 0; i < pages.size(); ++i) {
            sel << (i >= at && i < at + moved.size());
        }
        Follow(cur, sel);
    }
    void Follow(const ModelPage& cur, const QList<bool>& sel)
    {
        selected.clear();
        for (int i = 0; i < pages.size(); ++i) {
            if (sel.at(i)) {
                selected << i;
            }
            if (pages.at(i).path == cur.path) {
                current = i;
            }
        }
    }
    // Deleting: the page at the old current row (or the last one) becomes
    // current; from the first row, the first.
    void Delete()
    {
        const int old = current;
        std::sort(selected.begin(), selected.end());
        for (int k = selected.size() - 1; k >= 0; --k) {
            dropped << QFileInfo(pages.at(selected.at(k)).path).fileName();
            dropped << dropped.last() + QStringLiteral(".part");
            pages.removeAt(selected.at(k));
        }
        SelectOnly(pages.isEmpty() || old == 0 ? 0 : qMin(old, pages.size() - 1));
    }
};

// The model as text, for a session that goes on in another process.
inline QJsonObject ToJson(const Model& model)
{
    QJsonArray pages;
    for (const ModelPage& page : model.pages) {
        pages.append(QJsonObject{{"path", page.path}, {"marker", page.marker}, {"turn", page.turn}});
    }
    QJsonArray selected;
    for (int row : model.selected) {
        selected.append(row);
    }
    return QJsonObject{{"pages", pages},
                       {"current", model.current},
                       {"selected", selected},
                       {"counter", model.counter},
                       {"dropped", QJsonArray::fromStringList(model.dropped)}};
}

inline Model FromJson(const QJsonObject& object)
{
    Model model;
    for (const QJsonValue& value : object.value("pages").toArray()) {
        const QJsonObject page = value.toObject();
        model.pages << ModelPage{page.value("path").toString(), page.value("marker").toString(),
                                 page.value("turn").toInt()};
    }
    model.current = object.value("current").toInt();
    for (const QJsonValue& row : object.value("selected").toArray()) {
        model.selected << row.toInt();
    }
    model.counter = object.value("counter").toInt(1);
    for (const QJsonValue& name : object.value("dropped").toArray()) {
        model.dropped << name.toString();
    }
    return model;
}

} // namespace PageModel
