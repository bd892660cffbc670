#pragma once

#include "pagelist.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

// The changes of a page list that can be undone and redone. Every change of
// the pages (not a move of the current page or of the selection alone) is
// one step, or part of the group that is open; a step holds the states of
// the list before and after it (file names and page states, never images).
//
// The history owns the files of pages that its steps took out of the list:
// they stay where they are while a step could bring them back, and are
// removed once no step can (the step dropped, redone steps cut off by a new
// change, the history dropped or destroyed).
class PageHistory : public QObject {
    Q_OBJECT
public:
    // Steps kept; the oldest one falls off beyond this.
    static const int kDefaultLimit = 100;

    explicit PageHistory(PageList* list, QObject* parent = nullptr);
    ~PageHistory() override;

    // The changes from now to EndGroup() make one step, named `name` there.
    void BeginGroup();
    void EndGroup(const QString& name);
    bool GroupOpen() const { return m_grouping; }
    // Names the newest step (a change made as one operation), and takes the
    // current page and selection the operation ended with as its own.
    void NameLast(const QString& name);

    bool CanUndo() const { return m_index > 0; }
    bool CanRedo() const { return m_index < m_steps.size(); }
    QString UndoName() const;
    QString RedoName() const;
    int StepCount() const { return int(m_steps.size()); }
    bool Undo();
    bool Redo();

    // Forgets every step; the files only they held are removed.
    void Drop();
    void SetLimit(int steps);

    // Files that steps hold and the list does not.
    QStringList KeptFiles() const;

signals:
    // The steps or the place among them changed.
    void sglChanged();

private:
    struct Step {
        PageList::State before;
        PageList::State after;
        QString name;
    };

    void OnListChanging();
    void OnListChanged();
    void Push(Step step);
    void Hold(const Step& step, int delta, QStringList* released);
    void Release(const QStringList& files);
    void Go(const PageList::State& state);

    QPointer<PageList> m_list;
    QVector<Step> m_steps;
    int m_index = 0; // steps below it are done
    int m_limit = kDefaultLimit;
    // The list as a change starts, then as it ended.
    PageList::State m_seen;
    PageList::State m_groupBefore;
    bool m_grouping = false;
    bool m_applying = false;
    // How many steps hold each file.
    QHash<QString, int> m_refs;
};
