#pragma once

#include <QStyledItemDelegate>

class ThumbnailLoader;

// Draws a row of the page column from the page list's data: the page
// number, the page's thumbnail turned by its angle, and for a page whose
// file was never completed (or is marked cut off) a crossed-out sheet with
// the mark "未完成". The row's background, border and selection come from
// the column's style; the page number is drawn in a colour that reads on
// the selected and on the plain background. Thumbnails come from `loader`;
// a row whose thumbnail is still being decoded shows its number only.
class ThumbnailItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Size of every row.
    static constexpr int kItemWidth = 110;
    static constexpr int kItemHeight = 150;
    // Height of the band with the page number at the top of a row.
    static constexpr int kNumberHeight = 22;

    explicit ThumbnailItemDelegate(ThumbnailLoader* loader, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the parts of a row lie within the row's rectangle `item`.
    static QRect NumberRect(const QRect& item);
    static QRect ImageRect(const QRect& item);
    // The small "文" plate at the right of the number row of a page whose
    // text was recognised.
    static QRect TextMarkRect(const QRect& item);
    static QRect MarkRect(const QRect& item);

    // What a row shows in its image box: the page's thumbnail turned by its
    // angle, the crossed-out sheet, or a null image while it is decoded.
    QImage Picture(const QModelIndex& index) const;
    // True when the row shows the "未完成" mark.
    bool ShowsMark(const QModelIndex& index) const;

private:
    ThumbnailLoader* m_loader;
};
