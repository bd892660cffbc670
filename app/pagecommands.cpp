#include "pagecommands.h"

#include "pageasker.h"
#include "pagehistory.h"
#include "pagelist.h"

#include <QItemSelectionModel>
#include <QSet>
#include <QVector>

#include <utility>

namespace {

// The history's name of a turn of `pages` pages by `degrees`.
QString TurnName(int degrees, int pages)
{
    switch (((degrees / 90) % 4 + 4) % 4) {
    case 1:
        return PageCommands::tr("向右旋转 %n 张图像", nullptr, pages);
    case 3:
        return PageCommands::tr("向左旋转 %n 张图像", nullptr, pages);
    default:
        return PageCommands::tr("旋转180° %n 张图像", nullptr, pages);
    }
}

} // namespace

PageCommands::PageCommands(PageList* pages, PageHistory* history, PageAsker* asker, QObject* parent)
    : QObject(parent), m_pages(pages), m_history(history), m_asker(asker)
{
}

void PageCommands::SetConditions(std::function<bool()> working, std::function<bool()> shown)
{
    m_working = std::move(working);
    m_shown = std::move(shown);
    emit sglRulesChanged();
}

bool PageCommands::Working() const
{
    return m_working && m_working();
}

bool PageCommands::Shown() const
{
    return !m_shown || m_shown();
}

bool PageCommands::Free() const
{
    return Shown() && !Working() && !m_busy;
}

void PageCommands::SetBusy(bool busy)
{
    m_busy = busy;
    emit sglRulesChanged();
}

PageCommands::Rules PageCommands::CurrentRules() const
{
    Rules rules;
    const bool shown = Shown();
    const int count = m_pages->Count();
    const int current = m_pages->Current();
    rules.edit = shown && count > 0;
    rules.move = shown && count >= 2 && !Working();
    const bool history = Free();
    rules.undo = history && m_history->CanUndo();
    rules.redo = history && m_history->CanRedo();
    rules.undoText = m_history->CanUndo() ? tr("撤销%1").arg(m_history->UndoName()) : tr("撤销");
    rules.redoText = m_history->CanRedo() ? tr("重做%1").arg(m_history->RedoName()) : tr("重做");
    if (shown && count >= 2) {
        rules.first = rules.prev = current > 0;
        rules.next = rules.last = current < count - 1;
        rules.jump = true;
    }
    return rules;
}

void PageCommands::SelectCurrentOnly()
{
    QItemSelectionModel* selection = m_pages->Selection();
    if (m_pages->IsEmpty()) {
        selection->clearSelection();
        return;
    }
    selection->select(m_pages->index(m_pages->Current()),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool PageCommands::Delete()
{
    const QList<int> rows = m_pages->SelectedRows();
    if (!Free() || rows.isEmpty()) {
        return false;
    }
    // The pages the question names are those that go, whatever rows they
    // hold by the time it is answered.
    QSet<quint64> asked;
    for (int row : rows) {
        asked.insert(m_pages->At(row).id);
    }
    const int count = int(rows.size());
    SetBusy(true);
    const QString question = count == 1 ? tr("是否删除选中的 %1 张图像？", "one page")
                                        : tr("是否删除选中的 %1 张图像？", "several pages");
    const bool yes = m_asker->Ask(question.arg(count));
    SetBusy(false);
    if (!yes) {
        return false;
    }
    QList<int> going;
    for (int row = 0; row < m_pages->Count(); ++row) {
        if (asked.contains(m_pages->At(row).id)) {
            going << row;
        }
    }
    m_history->BeginGroup();
    const bool removed = m_pages->RemoveRows(going);
    // The page that takes the current place is the one selected.
    SelectCurrentOnly();
    m_history->EndGroup(tr("删除 %n 张图像", nullptr, int(going.size())));
    if (removed) {
        emit sglPagesChanged();
    }
    return removed;
}

bool PageCommands::Clear()
{
    const int count = m_pages->Count();
    if (!Free() || count == 0) {
        return false;
    }
    SetBusy(true);
    const QString question = count == 1 ? tr("是否清除全部 %1 张图像？", "one page")
                                        : tr("是否清除全部 %1 张图像？", "several pages");
    const bool yes = m_asker->Ask(question.arg(count));
    SetBusy(false);
    if (!yes || m_pages->IsEmpty()) {
        return false;
    }
    // The files stay while 撤销 can bring the pages back; the history
    // removes them once it cannot.
    const int cleared = m_pages->Count();
    m_history->BeginGroup();
    m_pages->Clear();
    m_history->EndGroup(tr("清除全部 %n 张图像", nullptr, cleared));
    emit sglPagesChanged();
    return true;
}

bool PageCommands::Move(int step)
{
    const int count = m_pages->Count();
    if (!Free() || count < 2 || (step != -1 && step != 1)) {
        return false;
    }
    QVector<bool> selected(count, false);
    for (int row : m_pages->SelectedRows()) {
        selected[row] = true;
    }
    QVector<int> order(count);
    for (int row = 0; row < count; ++row) {
        order[row] = row;
    }
    // A selected page changes places with the unselected one next to it in
    // the direction of the move. Walking against that direction moves a run
    // of selected pages one place as a whole.
    if (step < 0) {
        for (int row = 1; row < count; ++row) {
            if (selected[order[row]] && !selected[order[row - 1]]) {
                std::swap(order[row], order[row - 1]);
            }
        }
    } else {
        for (int row = count - 2; row >= 0; --row) {
            if (selected[order[row]] && !selected[order[row + 1]]) {
                std::swap(order[row], order[row + 1]);
            }
        }
    }
    if (!m_pages->Reorder(order)) {
        return false;
    }
    Moved();
    emit sglPagesChanged();
    return true;
}

void PageCommands::Moved()
{
    const int moved = int(m_pages->SelectedRows().size());
    m_history->NameLast(tr("移动 %n 张图像", nullptr, moved));
}

bool PageCommands::Turn(int degrees)
{
    if (!Free()) {
        return false;
    }
    // Only the angles change: the views draw the pages turned, the file is
    // turned once, when the pages are saved.
    const QList<int> rows = m_pages->SelectedRows();
    if (!m_pages->Turn(rows, degrees)) {
        return false;
    }
    m_history->NameLast(TurnName(degrees, int(rows.size())));
    return true;
}

bool PageCommands::Undo()
{
    if (!Free() || !m_history->Undo()) {
        return false;
    }
    emit sglPagesChanged();
    return true;
}

bool PageCommands::Redo()
{
    if (!Free() || !m_history->Redo()) {
        return false;
    }
    emit sglPagesChanged();
    return true;
}

bool PageCommands::Go(int row)
{
    if (row < 0 || row >= m_pages->Count()) {
        return false;
    }
    m_pages->SetCurrent(row);
    SelectCurrentOnly();
    emit sglNavigated(row);
    return true;
}

bool PageCommands::First()
{
    return Go(0);
}

bool PageCommands::Prev()
{
    return m_pages->Current() > 0 && Go(m_pages->Current() - 1);
}

bool PageCommands::Next()
{
    return Go(m_pages->Current() + 1);
}

bool PageCommands::Last()
{
    return Go(m_pages->Count() - 1);
}

bool PageCommands::JumpTo(int row)
{
    return !Working() && !m_busy && Go(row);
}
