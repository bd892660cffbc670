#pragma once

#include <QString>
#include <initializer_list>

class QComboBox;
class QWidget;

// The four widget classes an option can be bound to. The kind is the exact
// class of the widget: a subclass of QComboBox is not a combo box here.
enum class OptionWidgetKind { Other, ComboBox, SpinBox, DoubleSpinBox, CheckBox };

namespace OptionWidget {

OptionWidgetKind KindOf(const QWidget* widget);

// The widget's value as option text: a combo box's current item data, a spin
// box's value in decimal, a double spin box's value with six significant
// digits, "yes"/"no" for a check box. Empty for any other widget.
QString ValueText(const QWidget* widget);

// The device value of a combo box's current item (its user data as text).
QString ComboValue(const QComboBox* combo);

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// Option text to a number; text that is not a number gives 0.
int TextToInt(const QString& text);
double TextToDouble(const QString& text);

} // namespace OptionWidget
