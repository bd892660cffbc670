#pragma once

#include <QStyledItemDelegate>

// Item delegate of the thumbnail column; an editor, should one ever be
// opened, covers the whole item rectangle.
class ThumbnailItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ThumbnailItemDelegate(QObject* parent = nullptr);

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};
