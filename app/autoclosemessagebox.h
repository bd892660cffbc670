#pragma once

#include <QString>

class QWidget;

// The information box shown after a scanner change: it closes itself after
// a short delay unless the user presses OK first.
class AutoCloseMessageBox {
public:
    static constexpr int kDefaultDelayMs = 500;

    static void information(QWidget* parent, const QString& title, const QString& text,
                            int delayMs = kDefaultDelayMs);
};
