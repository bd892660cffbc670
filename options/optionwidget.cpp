#include "optionwidget.h"

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
        return static_cast<const QCheckBox*>(widget)->isChecked() ? QStringLiteral("yes")
                                                                  : QStringLiteral("no");
    case OptionWidgetKind::Other:
        break;
    }
    return QString();
}

QString ComboValue(const QComboBox* combo)
{
    return combo->currentData(Qt::UserRole).toString();
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

} // namespace OptionWidget
