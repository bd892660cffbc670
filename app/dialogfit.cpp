#include "dialogfit.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {
// A typical frame: a border on each side and a title bar on top.
const int kFrameSide = 8;
const int kFrameTitle = 32;
} // namespace

void FitDialogToScreen(QWidget* dialog)
{
    const QWidget* parent = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    const QScreen* screen = parent ? parent->screen() : dialog->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize room =
        (available.size() - QSize(2 * kFrameSide, kFrameTitle + kFrameSide)).expandedTo(QSize(1, 1));
    // A dialog not yet resized by its code opens at its layout's size.
    const QSize wanted = dialog->testAttribute(Qt::WA_Resized) ? dialog->size() : dialog->sizeHint();
    const QSize size =
        wanted.boundedTo(room).expandedTo(dialog->minimumSizeHint()).expandedTo(dialog->minimumSize());
    dialog->resize(size);
    // A window is moved by its frame's corner: the whole frame, as far as it
    // can be foreseen, goes inside the free area.
    const QSize outer = size + QSize(2 * kFrameSide, kFrameTitle + kFrameSide);
    const QPoint centre = parent ? parent->geometry().center() : available.center();
    const int x = qBound(available.left(), centre.x() - outer.width() / 2,
                         qMax(available.left(), available.right() - outer.width() + 1));
    const int y = qBound(available.top(), centre.y() - outer.height() / 2,
                         qMax(available.top(), available.bottom() - outer.height() + 1));
    dialog->move(x, y);
}
