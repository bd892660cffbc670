#pragma once

#include "pageplacement.h"
#include "pagetext.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

class QItemSelectionModel;

// One scanned page of the list.
struct Page {
    QString path;
    // Clockwise turn in degrees that the page is shown and saved with.
    int angle = 0;
    // The page was cut off or damaged: its file is incomplete.
    bool interrupted = false;
    // Given by the list when the page enters it, unique within the list;
    // views follow a page through moves by it.
    quint64 id = 0;
    bool operator==(const Page& other) const
    {
        return path == other.path && angle == other.angle && interrupted == other.interrupted;
    }
};

// The session's pages in their order, the current page, the selection and
// where a running scan puts its pages. It is the one owner of that state:
// views bind to it and the recovery journal listens to it. Every change goes
// through one of the operations below; each emits the model's own signals
// and then sglChanged() once.
class PageList : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole,
        AngleRole,
        InterruptedRole,
        IdRole,
        // The page holds recognised words (bool), and its text as plain text.
        HasTextRole,
        PlainTextRole,
    };

    explicit PageList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int Count() const { return int(m_pages.size()); }
    bool IsEmpty() const { return m_pages.isEmpty(); }
    const QList<Page>& Pages() const { return m_pages; }
    const Page& At(int row) const { return m_pages.at(row); }
    // The page file of `row`; empty outside the list.
    QString PathAt(int row) const;
    QList<QString> Paths() const;
    // The first row holding `id`, -1 when none does.
    int RowOf(quint64 id) const;

    // The current row: 0 for an empty list, else always a row of the list.
    int Current() const { return m_current; }
    // Rows outside the list are refused (false).
    bool SetCurrent(int row);

    // The selection; it follows its pages through every operation. Its
    // current index is the current row (none for an empty list): views bound
    // to it show the current page, and setting it sets the current row.
    QItemSelectionModel* Selection() const { return m_selection; }
    // The selected rows in row order.
    QList<int> SelectedRows() const;

    // A scan begins: its pages go as `placement` says, from the current page.
    void BeginPlacement(PagePlacement placement);
    // Puts back a running scan's placement as recorded.
    void SetPlacement(PagePlacement placement, int next);
    PagePlacement Placement() const { return m_placement; }
    // Where the next arriving page goes (the replaced row for Replace).
    int InsertRow() const { return m_next; }

    // Pages arrive: they are placed as the running scan's placement says.
    void PlacePages(const QList<Page>& pages);
    // Appends pages, whatever a scan's placement; the placement's row is not
    // moved (a session brought back into a list).
    void AppendPages(const QList<Page>& pages);
    // Another file (or another turn, or mark) for the page of `row`. False
    // for a row outside the list. Another file drops the text the old one
    // was recognised from.
    bool ReplacePage(int row, const Page& page);
    // Turns the pages of `rows` (any order, repeats ignored) a further
    // `degrees` clockwise (a multiple of 90, negative turns left); angles stay
    // 0, 90, 180 or 270. No file changes. False when no row turned.
    bool Turn(QList<int> rows, int degrees);
    // Removes `rows` (any order, repeats ignored). The current row keeps its
    // number, or becomes the last row when that is gone. False when nothing
    // was removed.
    bool RemoveRows(QList<int> rows);
    // Reorders the pages: order[i] is the row that becomes row i. The
    // current page and the selection stay with their pages. False for an
    // order that is no permutation of the rows or changes nothing.
    bool Reorder(const QVector<int>& order);
    // The words recognised on page `id`, boxes in its file's pixels; empty
    // until recognised. Kept by id: the text moves with its page and stays
    // through a turn; another file for the page (ReplacePage with another
    // path, a replace scan's new page) has none.
    PageText TextOf(quint64 id) const { return m_texts.value(id); }
    // Page `id` was recognised (its text may hold no word: a blank page).
    bool IsRecognised(quint64 id) const { return m_texts.contains(id); }
    // The recognised text of page `id` arrived (or was read back). It is no
    // edit of the list: no history step, no sglChanged, only the row's data
    // changes. False when no page holds `id`.
    bool SetText(quint64 id, const PageText& text);

    // Removes every page.
    void Clear();
    // Replaces the whole list (pages brought back, or a state taken earlier).
    void Restore(const QList<Page>& pages, int current);

    // The pages with their ids, the current row and the selected pages: what
    // an earlier state of the list is put back from.
    struct State {
        QList<Page> pages;
        int current = 0;
        QList<quint64> selected;
    };
    State Snapshot() const;
    // Puts back a state taken by Snapshot(): pages that are in both keep
    // their place for the views (by id), the others leave or come, and the
    // order, the current row and the selection become the state's. The
    // state's ids are kept.
    void Return(const State& state);

signals:
    // At the start of every operation that changes the pages, before any of
    // the model's signals (what a record of earlier states listens to).
    void sglAboutToChange();
    // After every operation that changed the pages or the current row, once
    // (what a record of the list listens to).
    void sglChanged();
    // The current row is another one (also when its page moved to another
    // row, or another page came to be current); sglChanged follows.
    void sglCurrentChanged(int row);

private:
    QList<Page> WithIds(QList<Page> pages);
    void SetCurrentQuietly(int row);
    void BeginChange();
    // The selection's current index becomes the current row.
    void ShowCurrentInSelection();
    void FinishChange(int oldCurrent, quint64 oldCurrentId);
    quint64 CurrentId() const;
    // RemoveRows and Reorder without their checks and closing signals.
    void RemoveSortedRows(const QList<int>& rows);
    void Permute(const QVector<int>& order);

    QList<Page> m_pages;
    // Recognised texts by page id; none for a page that left the list.
    QHash<quint64, PageText> m_texts;
    int m_current = 0;
    PagePlacement m_placement = PagePlacement::Append;
    int m_next = 0;
    quint64 m_lastId = 0;
    QItemSelectionModel* m_selection = nullptr;
    // Between the start and the end of an operation (and while the list
    // moves the selection's current index itself).
    bool m_changing = false;
};
