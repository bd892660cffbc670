#pragma once

#include <QList>
#include <QStringList>

#include <algorithm>

// Where the pages of a scan go in the page list. The values are the ones the
// recovery journal stores for a running scan; they never change.
enum class PagePlacement {
    Append = 1,  // after the last page
    Before = 2,  // before the current page
    After = 3,   // after the current page
    Replace = 4, // in place of the current page
};

// True for the four stored values.
bool IsPagePlacement(int value);

// A page list after pages arrived.
template <class T> struct PlacedPages {
    QList<T> rows;
    // The page that was current stays current (the first arriving page when
    // the list was empty).
    int current = 0;
    // Where the next arriving page of the same scan goes, and how: a
    // replaced page is followed by any further page of its scan.
    int next = 0;
    PagePlacement placement = PagePlacement::Append;
};

// The row where a scan's first page goes in a list of `count` pages whose
// current row is `current`.
int FirstPlacementRow(PagePlacement placement, int count, int current);

// Places `arriving`, in their order, into `rows`. `next` is the row where the
// next page goes (FirstPlacementRow for a scan's first pages, then the
// result's `next`); a row outside the list puts the pages at its nearer end.
// A page to replace that is not there is appended: no arriving page is ever
// left out. Placing pages one at a time, each time with the previous
// result's `next` and `placement`, gives the same list as placing them all
// at once.
template <class T>
PlacedPages<T> PlacePages(PagePlacement placement, const QList<T>& rows, int current, int next,
                          const QList<T>& arriving);

namespace PagePlacementDetail {
int ClampCurrent(int current, int count);
}

template <class T>
PlacedPages<T> PlacePages(PagePlacement placement, const QList<T>& rows, int current, int next,
                          const QList<T>& arriving)
{
    PlacedPages<T> placed;
    placed.rows = rows;
    const int count = int(rows.size());
    const int added = int(arriving.size());
    placed.current = PagePlacementDetail::ClampCurrent(current, count);
    if (placement == PagePlacement::Replace && (next < 0 || next >= count)) {
        placement = PagePlacement::Append;
    }
    placed.placement = placement;
    if (placement == PagePlacement::Replace) {
        if (added == 0) {
            placed.next = next;
            return placed;
        }
        placed.rows[next] = arriving.first();
        for (int i = 1; i < added; ++i) {
            placed.rows.insert(next + i, arriving.at(i));
        }
        if (next < placed.current) {
            placed.current += added - 1;
        }
        placed.next = next + added;
        placed.placement = PagePlacement::After;
        return placed;
    }
    const int at = placement == PagePlacement::Append ? count : std::clamp(next, 0, count);
    for (int i = 0; i < added; ++i) {
        placed.rows.insert(at + i, arriving.at(i));
    }
    // The current page keeps being current wherever it went.
    if (count > 0 && at <= placed.current) {
        placed.current += added;
    }
    placed.next = at + added;
    return placed;
}
