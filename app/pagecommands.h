#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class PageAsker;
class PageHistory;
class PageList;

// The commands that change the pages of a list and move about in it: 删除
// and 清除全部 (after a question), moving the selected pages, turning them,
// 撤销 and 重做, and the page navigation; with the rules that say which of
// them can be used now. They work on the list and its history only: the
// current page and the selection they leave are the list's, and views take
// them from there when told (sglPagesChanged, sglNavigated).
class PageCommands : public QObject {
    Q_OBJECT
public:
    // Which of the commands can be used now.
    struct Rules {
        bool edit = false; // 删除, 清除全部 and the turns
        bool move = false; // 上移, 下移 and dragging
        bool undo = false;
        bool redo = false;
        bool first = false;
        bool prev = false;
        bool jump = false;
        bool next = false;
        bool last = false;
        QString undoText;
        QString redoText;
    };

    PageCommands(PageList* pages, PageHistory* history, PageAsker* asker, QObject* parent = nullptr);

    // What the commands ask of their surroundings: whether a job works on
    // the pages (a scan, a save), and whether the pages are on show. The
    // pages change only when they show and no job works on them (default:
    // they show, no job).
    void SetConditions(std::function<bool()> working, std::function<bool()> shown);

    // A command is under way (its question is open).
    bool Busy() const { return m_busy; }
    Rules CurrentRules() const;

    // Each returns true when it changed the pages (or, for navigation, the
    // current page).
    bool Delete();
    bool Clear();
    // Moves every selected page one place up (-1) or down (+1); a run of
    // selected pages moves as one, a run at the edge stays.
    bool Move(int step);
    // A move made elsewhere (a drop in the page column) is named as a step.
    void Moved();
    // A further clockwise turn of the selected pages (a multiple of 90).
    bool Turn(int degrees);
    bool Undo();
    bool Redo();

    bool First();
    bool Prev();
    bool Next();
    bool Last();
    // To `row`, refused while a job works on the pages or a command is
    // under way.
    bool JumpTo(int row);

signals:
    // A command changed the pages and left the list's current page and
    // selection as they are to be shown.
    void sglPagesChanged();
    // The current page is `row`, the only one selected.
    void sglNavigated(int row);
    // The rules may have changed without a change of the pages.
    void sglRulesChanged();

private:
    bool Working() const;
    bool Shown() const;
    // The pages may change now.
    bool Free() const;
    bool Go(int row);
    void SelectCurrentOnly();
    void SetBusy(bool busy);

    PageList* m_pages;
    PageHistory* m_history;
    PageAsker* m_asker;
    std::function<bool()> m_working;
    std::function<bool()> m_shown;
    bool m_busy = false;
};
