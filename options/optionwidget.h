#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <initializer_list>

class QComboBox;
class QWidget;

// The four widget classes an option can be bound to. The kind is the exact
// class of the widget: a subclass of QComboBox is not a combo box here.
enum class OptionWidgetKind { Other, ComboBox, SpinBox, DoubleSpinBox, CheckBox };

namespace OptionWidget {

// Where a combo box's standard model keeps an item's flags.
constexpr int kItemFlagsRole = Qt::UserRole - 1;

OptionWidgetKind KindOf(const QWidget* widget);

// The widget's value as option text: a combo box's current item data, a spin
// box's value in decimal, a double spin box's value with six significant
// digits, "yes"/"no" for a check box. Empty for any other widget.
QString ValueText(const QWidget* widget);

// The device value of a combo box's current item (its user data as text).
QString ComboValue(const QComboBox* combo);
// True when that value is `value`.
bool ComboIs(const QComboBox* combo, QLatin1String value);

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// Option text to a number; text that is not a number gives 0.
int TextToInt(const QString& text);
double TextToDouble(const QString& text);

// Everything of an option widget that the user or a panel's rules can change:
// the value, the enabled state, a spin box's range and step, a combo box's
// current item and the enabled flags of its items (and the items of an
// editable one). Of any other widget (a button), the enabled state.
struct State {
    QWidget* widget = nullptr;
    bool enabled = false;
    bool checked = false;
    int index = -1;
    QString data;
    QVector<QVariant> itemFlags;
    // An editable combo box: its items, which the typed text changes.
    bool editable = false;
    QStringList itemTexts;
    QStringList itemValues;
    double value = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    double step = 0.0;
    int decimals = 0;
};

State Capture(QWidget* widget);
// Puts a captured state back without emitting any change signal, so that no
// rule runs half-way. The range comes before the value, so a value the
// range allowed then is not clamped by the range of now.
void Restore(const State& state);

} // namespace OptionWidget
