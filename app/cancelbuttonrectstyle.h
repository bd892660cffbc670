#pragma once

#include <QProxyStyle>

// Application style: the platform's default style without keyboard-focus
// rectangles.
class CancelButtonRectStyle : public QProxyStyle {
    Q_OBJECT
public:
    CancelButtonRectStyle() = default;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
