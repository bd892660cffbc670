#include "thumbnailitemdelegate.h"

ThumbnailItemDelegate::ThumbnailItemDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

void ThumbnailItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) const
{
    Q_UNUSED(index);
    if (editor != nullptr) {
        editor->setGeometry(option.rect);
    }
}
