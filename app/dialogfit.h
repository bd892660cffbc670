#pragma once

class QWidget;

// Sizes a dialog that is about to be shown to fit the free area of its
// parent's screen (with room left for a window manager's frame and title,
// which are unknown before it is shown) and places it over the centre of its
// parent, wholly inside that area, so that its title and its buttons can be
// reached on small or scaled screens. A dialog whose layout cannot shrink
// that far keeps its smallest size.
void FitDialogToScreen(QWidget* dialog);
