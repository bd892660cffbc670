#include "optionwidget.h"

#include "saneoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <cmath>
#include <cstring>

namespace OptionWidget {

OptionWidgetKind KindOf(const QWidget* widget)
{
    if (!widget)
        return OptionWidgetKind::Other;
    const char* name = widget->metaObject()->className();
    if (std::strcmp(name, "QComboBox") == 0)
        return OptionWidgetKind::ComboBox;
    if (std::strcmp(name, "QSpinBox") == 0)
        return OptionWidgetKind::SpinBox;
    if (std::strcmp(name, "QDoubleSpinBox") == 0)
        return OptionWidgetKind::DoubleSpinBox;
    if (std::strcmp(name, "QCheckBox") == 0)
        return OptionWidgetKind::CheckBox;
    return OptionWidgetKind::Other;
}

QString ValueText(const QWidget* widget)
{
    switch (KindOf(widget)) {
    case OptionWidgetKind::ComboBox:
        return static_cast<const QComboBox*>(widget)->currentData(Qt::UserRole).toString();
    case OptionWidgetKind::SpinBox:
        return QString::number(static_cast<const QSpinBox*>(widget)->value());
    case OptionWidgetKind::DoubleSpinBox:
        return QString::number(static_cast<const QDoubleSpinBox*>(widget)->value(), 'g', 6);
    case OptionWidgetKind::CheckBox:
        return static_cast<const QCheckBox*>(widget)->isChecked() ? QString(SaneValue::kYes)
                                                                  : QString(SaneValue::kNo);
    case OptionWidgetKind::Other:
        break;
    }
    return QString();
}

QString ComboValue(const QComboBox* combo)
{
    return combo->currentData(Qt::UserRole).toString();
}

bool ComboIs(const QComboBox* combo, QLatin1String value)
{
    return ComboValue(combo) == value;
}

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* widget : widgets)
        widget->setEnabled(enabled);
}

int TextToInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok)
        return value;
    // Devices report some integer limits as decimal text ("300.000000").
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return 0;
    if (d >= 2147483647.0)
        return 2147483647;
    if (d <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(d);
}

double TextToDouble(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

namespace {

// The parts of a spin box's state both kinds of spin box have.
template <typename Spin> void CaptureSpin(const Spin* spin, State& state)
{
    state.value = spin->value();
    state.minimum = spin->minimum();
    state.maximum = spin->maximum();
    state.step = spin->singleStep();
}

// The range comes before the value, so a value the range allowed then is
// not clamped by the range of now.
template <typename Spin, typename Number> void RestoreSpin(Spin* spin, const State& state)
{
    spin->setRange(static_cast<Number>(state.minimum), static_cast<Number>(state.maximum));
    spin->setSingleStep(static_cast<Number>(state.step));
    spin->setValue(static_cast<Number>(state.value));
}

} // namespace

State Capture(QWidget* widget)
{
    State state;
    state.widget = widget;
    state.enabled = widget->isEnabled();
    switch (KindOf(widget)) {
    case OptionWidgetKind::ComboBox: {
        const auto* combo = static_cast<const QComboBox*>(widget);
        state.index = combo->currentIndex();
        state.data = ComboValue(combo);
        state.itemFlags.reserve(combo->count());
        for (int i = 0; i < combo->count(); ++i)
            state.itemFlags.append(combo->itemData(i, kItemFlagsRole));
        state.editable = combo->isEditable();
        if (state.editable) {
            for (int i = 0; i < combo->count(); ++i) {
                state.itemTexts.append(combo->itemText(i));
                state.itemValues.append(combo->itemData(i, Qt::UserRole).toString());
            }
        }
        break;
    }
    case OptionWidgetKind::SpinBox:
        CaptureSpin(static_cast<const QSpinBox*>(widget), state);
        break;
    case OptionWidgetKind::DoubleSpinBox: {
        const auto* spin = static_cast<const QDoubleSpinBox*>(widget);
        CaptureSpin(spin, state);
        state.decimals = spin->decimals();
        break;
    }
    case OptionWidgetKind::CheckBox:
        state.checked = static_cast<const QCheckBox*>(widget)->isChecked();
        break;
    case OptionWidgetKind::Other:
        break;
    }
    return state;
}

namespace {

void RestoreCombo(QComboBox* combo, const State& state)
{
    // Typed text became an item's text and value: the items go back first.
    if (state.editable && combo->isEditable()) {
        combo->clear();
        for (int i = 0; i < state.itemTexts.size(); ++i)
            combo->addItem(state.itemTexts.at(i), state.itemValues.at(i));
    }
    // The items are the device's; only their flags are the rules' business.
    if (state.itemFlags.size() == combo->count()) {
        for (int i = 0; i < combo->count(); ++i)
            combo->setItemData(i, state.itemFlags.at(i), kItemFlagsRole);
    }
    if (state.index >= 0 && state.index < combo->count() &&
        combo->itemData(state.index, Qt::UserRole).toString() == state.data) {
        combo->setCurrentIndex(state.index);
        return;
    }
    const int index = combo->findData(state.data, Qt::UserRole, Qt::MatchExactly);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

} // namespace

void Restore(const State& state)
{
    QWidget* widget = state.widget;
    const bool wasBlocked = widget->blockSignals(true);
    switch (KindOf(widget)) {
    case OptionWidgetKind::ComboBox:
        RestoreCombo(static_cast<QComboBox*>(widget), state);
        break;
    case OptionWidgetKind::SpinBox:
        RestoreSpin<QSpinBox, int>(static_cast<QSpinBox*>(widget), state);
        break;
    case OptionWidgetKind::DoubleSpinBox: {
        auto* spin = static_cast<QDoubleSpinBox*>(widget);
        spin->setDecimals(state.decimals);
        RestoreSpin<QDoubleSpinBox, double>(spin, state);
        break;
    }
    case OptionWidgetKind::CheckBox:
        static_cast<QCheckBox*>(widget)->setChecked(state.checked);
        break;
    case OptionWidgetKind::Other:
        break;
    }
    widget->setEnabled(state.enabled);
    widget->blockSignals(wasBlocked);
}

} // namespace OptionWidget
