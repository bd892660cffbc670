#include "pagelist.h"

#include <QItemSelectionModel>

#include <QHash>
#include <QSet>

#include <algorithm>

PageList::PageList(QObject* parent)
    : QAbstractListModel(parent), m_selection(new QItemSelectionModel(this, this))
{
    // A view bound to the selection moves its current index: that is a
    // request for another current page. While an operation runs, the
    // selection moves its current index by itself (its row leaving); the
    // operation puts it where the list's current row is when it ends.
    connect(m_selection, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!m_changing && current.isValid()) {
            SetCurrent(current.row());
        }
    });
}

int PageList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant PageList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count()) {
        return QVariant();
    }
    const Page& page = m_pages.at(index.row());
    // No display text: what a view copies or drags by itself is that, and
    // the page's file is private to the session.
    switch (role) {
    case PathRole:
        return page.path;
    case AngleRole:
        return page.angle;
    case InterruptedRole:
        return page.interrupted;
    case IdRole:
        return page.id;
    case HasTextRole:
        return !m_texts.value(page.id).IsEmpty();
    case PlainTextRole:
        return m_texts.value(page.id).PlainText();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> PageList::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(PathRole, "path");
    names.insert(AngleRole, "angle");
    names.insert(InterruptedRole, "interrupted");
    names.insert(IdRole, "id");
    names.insert(HasTextRole, "hasText");
    names.insert(PlainTextRole, "plainText");
    return names;
}

QString PageList::PathAt(int row) const
{
    return row >= 0 && row < Count() ? m_pages.at(row).path : QString();
}

QList<QString> PageList::Paths() const
{
    QList<QString> paths;
    paths.reserve(m_pages.size());
    for (const Page& page : m_pages) {
        paths << page.path;
    }
    return paths;
}

int PageList::RowOf(quint64 id) const
{
    for (int row = 0; row < Count(); ++row) {
        if (m_pages.at(row).id == id) {
            return row;
        }
    }
    return -1;
}

quint64 PageList::CurrentId() const
{
    return m_pages.isEmpty() ? 0 : m_pages.at(m_current).id;
}

bool PageList::SetCurrent(int row)
{
    if (row < 0 || row >= Count()) {
        return false;
    }
    if (row != m_current) {
        m_current = row;
        ShowCurrentInSelection();
        emit sglCurrentChanged(row);
        emit sglChanged();
    }
    return true;
}

void PageList::BeginChange()
{
    m_changing = true;
    emit sglAboutToChange();
}

void PageList::ShowCurrentInSelection()
{
    const QModelIndex current = m_pages.isEmpty() ? QModelIndex() : index(m_current);
    if (m_selection->currentIndex() != current) {
        const bool changing = m_changing;
        m_changing = true;
        m_selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        m_changing = changing;
    }
}

void PageList::SetCurrentQuietly(int row)
{
    m_current = m_pages.isEmpty() ? 0 : std::clamp(row, 0, Count() - 1);
}

void PageList::FinishChange(int oldCurrent, quint64 oldCurrentId)
{
    ShowCurrentInSelection();
    // Texts of pages that left go with them (one brought back by an undo
    // gets its text again from where it is stored).
    if (!m_texts.isEmpty()) {
        QSet<quint64> ids;
        ids.reserve(Count());
        for (const Page& page : qAsConst(m_pages)) {
            ids.insert(page.id);
        }
        for (auto it = m_texts.begin(); it != m_texts.end();) {
            it = ids.contains(it.key()) ? std::next(it) : m_texts.erase(it);
        }
    }
    m_changing = false;
    emit sglChanged();
    if (m_current != oldCurrent || CurrentId() != oldCurrentId) {
        emit sglCurrentChanged(m_current);
    }
}

QList<int> PageList::SelectedRows() const
{
    QList<int> rows;
    const QModelIndexList indexes = m_selection->selectedRows();
    for (const QModelIndex& index : indexes) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<Page> PageList::WithIds(QList<Page> pages)
{
    for (Page& page : pages) {
        page.id = ++m_lastId;
    }
    return pages;
}

void PageList::BeginPlacement(PagePlacement placement)
{
    m_placement = placement;
    m_next = FirstPlacementRow(placement, Count(), m_current);
}

void PageList::SetPlacement(PagePlacement placement, int next)
{
    m_placement = placement;
    m_next = next;
}

void PageList::PlacePages(const QList<Page>& pages)
{
    if (pages.isEmpty()) {
        return;
    }
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    const QList<Page> arriving = WithIds(pages);
    const int count = Count();
    const PlacedPages<Page> placed = ::PlacePages(m_placement, m_pages, m_current, m_next, arriving);
    const int inserted = int(placed.rows.size()) - count;
    // A replacement changes the row it replaced; further pages follow it.
    const bool replaced = m_placement == PagePlacement::Replace && placed.placement == PagePlacement::After;
    const int first = placed.next - inserted;
    if (replaced) {
        // The replaced row changes first, then the rows after it come.
        const int row = first - 1;
        m_pages[row] = placed.rows.at(row);
        emit dataChanged(index(row), index(row));
    }
    if (inserted > 0) {
        beginInsertRows(QModelIndex(), first, first + inserted - 1);
    }
    m_pages = placed.rows;
    m_current = placed.current;
    m_next = placed.next;
    m_placement = placed.placement;
    if (inserted > 0) {
        endInsertRows();
    }
    FinishChange(oldCurrent, oldId);
}

void PageList::AppendPages(const QList<Page>& pages)
{
    if (pages.isEmpty()) {
        return;
    }
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    const int count = Count();
    beginInsertRows(QModelIndex(), count, count + int(pages.size()) - 1);
    m_pages.append(WithIds(pages));
    endInsertRows();
    FinishChange(oldCurrent, oldId);
}

bool PageList::ReplacePage(int row, const Page& page)
{
    if (row < 0 || row >= Count()) {
        return false;
    }
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    Page& held = m_pages[row];
    const quint64 id = held.id;
    if (held.path != page.path) {
        // The text was recognised from the old file.
        m_texts.remove(id);
    }
    held = page;
    // The same page in another form: it keeps its place for the views.
    held.id = id;
    emit dataChanged(index(row), index(row));
    FinishChange(oldCurrent, oldId);
    return true;
}

bool PageList::SetText(quint64 id, const PageText& text)
{
    const int row = RowOf(id);
    if (row < 0) {
        return false;
    }
    m_texts.insert(id, text);
    emit dataChanged(index(row), index(row), {HasTextRole, PlainTextRole});
    return true;
}

bool PageList::Turn(QList<int> rows, int degrees)
{
    if (degrees % 90 != 0 || degrees % 360 == 0) {
        return false;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [this](int row) { return row < 0 || row >= Count(); }),
        rows.end());
    if (rows.isEmpty()) {
        return false;
    }
    BeginChange();
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    for (int row : qAsConst(rows)) {
        Page& page = m_pages[row];
        page.angle = ((page.angle + degrees) % 360 + 360) % 360;
    }
    // One signal per run of neighbouring rows.
    for (int i = 0; i < rows.size();) {
        int j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) == rows.at(j) + 1) {
            ++j;
        }
        emit dataChanged(index(rows.at(i)), index(rows.at(j)), {AngleRole});
        i = j + 1;
    }
    FinishChange(oldCurrent, oldId);
    return true;
}

bool PageList::RemoveRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [this](int row) { return row < 0 || row >= Count(); }),
        rows.end());
    if (rows.isEmpty()) {
        return false;
    }
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    RemoveSortedRows(rows);
    // Deleting keeps the place in the list, not the page.
    SetCurrentQuietly(oldCurrent);
    if (m_next > Count()) {
        m_next = Count();
    }
    FinishChange(oldCurrent, oldId);
    return true;
}

void PageList::RemoveSortedRows(const QList<int>& rows)
{
    // Runs of neighbouring rows go at once, the last run first so that the
    // rows of the others keep their numbers.
    int end = int(rows.size()) - 1;
    while (end >= 0) {
        int start = end;
        while (start > 0 && rows.at(start - 1) == rows.at(start) - 1) {
            --start;
        }
        const int first = rows.at(start);
        const int last = rows.at(end);
        beginRemoveRows(QModelIndex(), first, last);
        m_pages.erase(m_pages.begin() + first, m_pages.begin() + last + 1);
        endRemoveRows();
        end = start - 1;
    }
}

bool PageList::Reorder(const QVector<int>& order)
{
    const int count = Count();
    if (order.size() != count) {
        return false;
    }
    QVector<bool> seen(count, false);
    bool identity = true;
    for (int i = 0; i < count; ++i) {
        const int row = order.at(i);
        if (row < 0 || row >= count || seen.at(row)) {
            return false;
        }
        seen[row] = true;
        identity = identity && row == i;
    }
    if (identity) {
        return false;
    }
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    Permute(order);
    FinishChange(oldCurrent, oldId);
    return true;
}

void PageList::Permute(const QVector<int>& order)
{
    const int count = Count();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<int> newRow(count);
    QList<Page> pages;
    pages.reserve(count);
    for (int i = 0; i < count; ++i) {
        pages << m_pages.at(order.at(i));
        newRow[order.at(i)] = i;
    }
    // The selection and every other persistent index follow their pages.
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent) {
        moved << index(newRow.at(old.row()));
    }
    changePersistentIndexList(persistent, moved);
    m_pages = pages;
    if (count > 0) {
        m_current = newRow.at(m_current);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void PageList::Clear()
{
    Restore(QList<Page>(), 0);
}

void PageList::Restore(const QList<Page>& pages, int current)
{
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    beginResetModel();
    m_pages = WithIds(pages);
    SetCurrentQuietly(current);
    m_placement = PagePlacement::Append;
    m_next = Count();
    endResetModel();
    FinishChange(oldCurrent, oldId);
}

PageList::State PageList::Snapshot() const
{
    State state;
    state.pages = m_pages;
    state.current = m_current;
    const QModelIndexList selected = m_selection->selectedRows();
    for (const QModelIndex& index : selected) {
        state.selected << m_pages.at(index.row()).id;
    }
    return state;
}

void PageList::Return(const State& state)
{
    const int oldCurrent = m_current;
    const quint64 oldId = CurrentId();
    BeginChange();
    QHash<quint64, int> wanted; // id -> row in the state
    wanted.reserve(state.pages.size());
    for (int row = 0; row < state.pages.size(); ++row) {
        wanted.insert(state.pages.at(row).id, row);
    }
    // The pages the state lacks leave.
    QList<int> gone;
    QSet<quint64> held;
    for (int row = 0; row < Count(); ++row) {
        const quint64 id = m_pages.at(row).id;
        if (wanted.contains(id)) {
            held.insert(id);
        } else {
            gone << row;
        }
    }
    RemoveSortedRows(gone);
    // Those it has come at the end, then every page goes to its row.
    QList<Page> coming;
    for (const Page& page : state.pages) {
        if (!held.contains(page.id)) {
            coming << page;
        }
        m_lastId = std::max(m_lastId, page.id);
    }
    if (!coming.isEmpty()) {
        const int count = Count();
        beginInsertRows(QModelIndex(), count, count + int(coming.size()) - 1);
        m_pages.append(coming);
        endInsertRows();
    }
    QVector<int> order(Count());
    bool identity = true;
    for (int row = 0; row < Count(); ++row) {
        const int to = wanted.value(m_pages.at(row).id);
        order[to] = row;
        identity = identity && to == row;
    }
    if (!identity) {
        Permute(order);
    }
    // A page in another form (file, turn, mark) takes the state's.
    for (int row = 0; row < Count(); ++row) {
        const Page& page = state.pages.at(row);
        if (!(m_pages.at(row) == page)) {
            m_pages[row] = page;
            emit dataChanged(index(row), index(row));
        }
    }
    SetCurrentQuietly(state.current);
    m_placement = PagePlacement::Append;
    m_next = Count();
    QItemSelection selection;
    for (quint64 id : state.selected) {
        const int row = wanted.value(id, -1);
        if (row >= 0) {
            selection.select(index(row), index(row));
        }
    }
    m_selection->select(selection, QItemSelectionModel::ClearAndSelect);
    FinishChange(oldCurrent, oldId);
}
