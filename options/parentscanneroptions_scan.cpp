// The scan pairs, snapshots and undo of ParentScannerOptions.
#include "parentscanneroptions.h"

#include "optionwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>

void ParentScannerOptions::GetParamsForScan()
{
    m_scanParams.clear();
    for (const ParamConfig& config : qAsConst(m_paramConfigs)) {
        if (config.widget->isEnabled())
            AddScanParam(config);
    }
    LongpageSpecialOpt();
}

namespace {

// The value a binding sends: its fixed text, or the widget's value.
QString BoundValue(const ParamConfig& config)
{
    return config.paramType == ParamFixed ? config.defaultValue : OptionWidget::ValueText(config.widget);
}

} // namespace

void ParentScannerOptions::AddScanParam(const ParamConfig& config)
{
    switch (OptionWidget::KindOf(config.widget)) {
    case OptionWidgetKind::ComboBox:
        AddComboParam(config);
        break;
    case OptionWidgetKind::SpinBox:
        m_scanParams.append({config.optionName, BoundValue(config)});
        break;
    case OptionWidgetKind::DoubleSpinBox:
        AddDoubleSpinParam(config);
        break;
    case OptionWidgetKind::CheckBox:
        AddCheckBoxParam(config);
        break;
    case OptionWidgetKind::Other:
        break;
    }
}

void ParentScannerOptions::AddComboParam(const ParamConfig& config)
{
    if (config.optionName != SaneOption::kCropping) {
        m_scanParams.append({config.optionName, BoundValue(config)});
        return;
    }
    if (!CroppingSpecialOpt())
        m_scanParams.append({config.optionName, OptionWidget::ValueText(config.widget)});
}

void ParentScannerOptions::AddDoubleSpinParam(const ParamConfig& config)
{
    const QString& name = config.optionName;
    const bool brx = name == SaneOption::kBrX;
    if (!brx && name != SaneOption::kBrY) {
        m_scanParams.append({name, BoundValue(config)});
        return;
    }
    const QString value = OptionWidget::ValueText(config.widget);
    // Feeder scanners take the custom size as page size and scan area.
    if (!m_flatbedOnly && !m_flatbedSelected)
        m_scanParams.append({brx ? SaneOption::kPageWidth : SaneOption::kPageHeight, value});
    m_scanParams.append({name, value});
}

void ParentScannerOptions::AddCheckBoxParam(const ParamConfig& config)
{
    const QString& name = config.optionName;
    const bool checked = static_cast<const QCheckBox*>(config.widget)->isChecked();
    if (config.paramType == ParamFixed) {
        if (checked)
            m_scanParams.append({name, config.defaultValue});
    } else if (name == SaneOption::kMultifeedDetection) {
        m_scanParams.append({name, checked ? SaneValue::kStop : SaneValue::kDoNotDetect});
    } else {
        m_scanParams.append({name, OptionWidget::ValueText(config.widget)});
    }
}

void ParentScannerOptions::FillSnapshot(QHash<QString, ParamConfigCMP>& snapshot) const
{
    snapshot.clear();
    for (const ParamConfig& config : m_paramConfigs) {
        snapshot.insert(config.optionName, ParamConfigCMP{config.optionName, config.widget->isEnabled(),
                                                          OptionWidget::ValueText(config.widget)});
    }
}

QList<QWidget*> ParentScannerOptions::OptionWidgets() const
{
    QList<QWidget*> widgets;
    for (const ParamConfig& config : m_paramConfigs) {
        if (!widgets.contains(config.widget))
            widgets.append(config.widget);
    }
    if (const auto* panel = dynamic_cast<const QWidget*>(this)) {
        for (QWidget* child : panel->findChildren<QWidget*>()) {
            // A button option has no value, but its enabled state follows
            // the device like every other option's.
            const bool button = qstrcmp(child->metaObject()->className(), "QPushButton") == 0;
            if ((button || OptionWidget::KindOf(child) != OptionWidgetKind::Other) &&
                !widgets.contains(child))
                widgets.append(child);
        }
    }
    return widgets;
}

void ParentScannerOptions::GetParamsEnter()
{
    m_leaveParams.clear();
    FillSnapshot(m_enterParams);
    m_enterWidgets.clear();
    for (QWidget* widget : OptionWidgets())
        m_enterWidgets.append(OptionWidget::Capture(widget));
    m_enterFlatbedSelected = m_flatbedSelected;
}

void ParentScannerOptions::GetParamsLeave()
{
    FillSnapshot(m_leaveParams);
}

bool ParentScannerOptions::ScanParamsChanged() const
{
    for (const ParamConfig& config : m_paramConfigs) {
        if (config.paramType == ParamFixed)
            continue;
        if (m_leaveParams.value(config.optionName).value != m_enterParams.value(config.optionName).value)
            return true;
    }
    return false;
}

void ParentScannerOptions::SetParamsToWidget()
{
    // Restoring widget by widget while the rules ran let a rule act on a
    // half-restored panel (a height clamped by a limit that the next widget
    // lifts again). The whole state is put back silently instead.
    for (const OptionWidget::State& state : qAsConst(m_enterWidgets))
        OptionWidget::Restore(state);
    if (m_enterWidgets.isEmpty())
        return;
    m_flatbedSelected = m_enterFlatbedSelected;
    // The rules remember what they saw last (the resolution band); they
    // start again from the restored panel.
    InitWidgetEvent();
}
