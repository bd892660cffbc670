#include "thumbnailitemdelegate.h"

#include "interruptedpage.h"
#include "pagelist.h"
#include "pageturn.h"
#include "thumbnailloader.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace {

// Page-number colours, each at least 4.5:1 (WCAG) against the row's
// background: white on the selected blue (#0173C7, 4.9:1), a dark red on
// the plain grey (#E0E0E0, 5.6:1; 4.8:1 on the hover grey).
const QColor kNumberSelected(0xFF, 0xFF, 0xFF);
const QColor kNumberPlain(0xB0, 0x00, 0x00);
// The interrupted-scan mark sits on its own white plate, so that it reads
// the same on every row state: dark red on white, 7.4:1.
const QColor kMarkText(0xB0, 0x00, 0x00);
const QColor kMarkPlate(0xFF, 0xFF, 0xFF);
// A recognised page: white on dark green, plain and selected rows alike.
const QColor kTextMarkText(0xFF, 0xFF, 0xFF);
const QColor kTextMarkPlate(0x1B, 0x5E, 0x20);
const int kBorder = 2;

// The sheet drawn for a page that was never completed: an upright A4 sheet
// fitted into the box like a page, with the mark in the present language.
QImage InterruptedSheet()
{
    static QString text;
    static QImage sheet;
    if (sheet.isNull() || text != InterruptedPage::MarkText()) {
        text = InterruptedPage::MarkText();
        sheet =
            InterruptedPage::Picture(QSize(ThumbnailLoader::kBoxSize * 210 / 297, ThumbnailLoader::kBoxSize));
    }
    return sheet;
}

} // namespace

ThumbnailItemDelegate::ThumbnailItemDelegate(ThumbnailLoader* loader, QObject* parent)
    : QStyledItemDelegate(parent), m_loader(loader)
{
}

QSize ThumbnailItemDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                      const QModelIndex& /*index*/) const
{
    return QSize(kItemWidth, kItemHeight);
}

QRect ThumbnailItemDelegate::NumberRect(const QRect& item)
{
    const QRect inner = item.adjusted(kBorder, kBorder, -kBorder, -kBorder);
    return QRect(inner.left(), inner.top(), inner.width(), kNumberHeight);
}

QRect ThumbnailItemDelegate::ImageRect(const QRect& item)
{
    const int box = ThumbnailLoader::kBoxSize;
    const QRect number = NumberRect(item);
    return QRect(item.left() + (item.width() - box) / 2, number.bottom() + 1, box, box);
}

QRect ThumbnailItemDelegate::TextMarkRect(const QRect& item)
{
    const QRect number = NumberRect(item);
    const int side = number.height() - 4;
    return QRect(number.right() - side - 4, number.top() + 2, side, side);
}

QRect ThumbnailItemDelegate::MarkRect(const QRect& item)
{
    const QRect inner = item.adjusted(kBorder, kBorder, -kBorder, -kBorder);
    const int top = ImageRect(item).bottom() + 1;
    return QRect(inner.left(), top, inner.width(), std::max(0, inner.bottom() - top + 1));
}

bool ThumbnailItemDelegate::ShowsMark(const QModelIndex& index) const
{
    if (index.data(PageList::InterruptedRole).toBool()) {
        return true;
    }
    return m_loader->Find(index.data(PageList::PathRole).toString()) == ThumbnailLoader::State::Incomplete;
}

QImage ThumbnailItemDelegate::Picture(const QModelIndex& index) const
{
    if (ShowsMark(index)) {
        return InterruptedSheet();
    }
    QImage image;
    if (m_loader->Find(index.data(PageList::PathRole).toString(), &image) != ThumbnailLoader::State::Ready) {
        return QImage();
    }
    const int angle = NormalTurn(index.data(PageList::AngleRole).toInt());
    return angle == 0 ? image : TurnImage(image, angle);
}

void ThumbnailItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    // The row itself (background, border, selection) as the style draws it.
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    row.text.clear();
    row.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &row, painter, widget);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(selected ? kNumberSelected : kNumberPlain);
    painter->setFont(option.font);
    painter->drawText(NumberRect(option.rect), Qt::AlignCenter, QString::number(index.row() + 1));

    if (index.data(PageList::HasTextRole).toBool()) {
        const QRect mark = TextMarkRect(option.rect);
        painter->fillRect(mark, kTextMarkPlate);
        QFont small = option.font;
        small.setPixelSize(std::max(8, mark.height() - 4));
        painter->setFont(small);
        painter->setPen(kTextMarkText);
        painter->drawText(mark, Qt::AlignCenter, tr("文"));
        painter->setFont(option.font);
    }

    const QImage picture = Picture(index);
    if (!picture.isNull()) {
        const QRect box = ImageRect(option.rect);
        QRect place(QPoint(0, 0),
                    picture.size().scaled(box.size(), Qt::KeepAspectRatio).boundedTo(picture.size()));
        place.moveCenter(box.center());
        painter->drawImage(place, picture);
    }
    if (ShowsMark(index)) {
        const QString text = InterruptedPage::MarkText();
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        const QFontMetrics metrics(bold);
        const QRect area = MarkRect(option.rect);
        QRect plate(0, 0, metrics.horizontalAdvance(text) + 8, std::min(area.height(), metrics.height()));
        plate.moveCenter(area.center());
        painter->fillRect(plate, kMarkPlate);
        painter->setPen(kMarkText);
        painter->drawText(plate, Qt::AlignCenter, text);
    }
    painter->restore();
}
