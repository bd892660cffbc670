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

void ParentScannerOptions::AddScanParam(const ParamConfig& config)
{
    const QString& name = config.optionName;
    const bool fixed = config.paramType == ParamFixed;
    const QString value = OptionWidget::ValueText(config.widget);
    switch (OptionWidget::KindOf(config.widget)) {
    case OptionWidgetKind::ComboBox:
        if (name == QLatin1String("cropping")) {
            if (!CroppingSpecialOpt())
                m_scanParams.append({name, value});
        } else {
            m_scanParams.append({name, fixed ? config.defaultValue : value});
        }
        break;
    case OptionWidgetKind::SpinBox:
        m_scanParams.append({name, fixed ? config.defaultValue : value});
        break;
    case OptionWidgetKind::DoubleSpinBox: {
        const bool brx = name == QLatin1String("br-x");
        if (brx || name == QLatin1String("br-y")) {
            // Feeder scanners take the custom size as page size and scan area.
            if (!m_flatbedOnly && !m_flatbedSelected)
                m_scanParams.append(
                    {brx ? QStringLiteral("page-width") : QStringLiteral("page-height"), value});
            m_scanParams.append({name, value});
        } else {
            m_scanParams.append({name, fixed ? config.defaultValue : value});
        }
        break;
    }
    case OptionWidgetKind::CheckBox: {
        const bool checked = static_cast<const QCheckBox*>(config.widget)->isChecked();
        if (fixed) {
            if (checked)
                m_scanParams.append({name, config.defaultValue});
        } else if (name == QLatin1String("multifeed-detection")) {
            m_scanParams.append({name, checked ? QStringLiteral("Stop") : QStringLiteral("Do-not-detect")});
        } else {
            m_scanParams.append({name, value});
        }
        break;
    }
    case OptionWidgetKind::Other:
        break;
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

void ParentScannerOptions::GetParamsEnter()
{
    m_leaveParams.clear();
    FillSnapshot(m_enterParams);
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
    for (const ParamConfig& config : qAsConst(m_paramConfigs)) {
        if (config.paramType == ParamFixed)
            continue;
        // A missing entry reads as an empty value and a disabled widget.
        const ParamConfigCMP entry = m_enterParams.value(config.optionName);
        switch (OptionWidget::KindOf(config.widget)) {
        case OptionWidgetKind::ComboBox:
            SetComboboxValue(static_cast<QComboBox*>(config.widget), entry.value);
            break;
        case OptionWidgetKind::SpinBox:
            static_cast<QSpinBox*>(config.widget)->setValue(OptionWidget::TextToInt(entry.value));
            break;
        case OptionWidgetKind::DoubleSpinBox:
            static_cast<QDoubleSpinBox*>(config.widget)->setValue(OptionWidget::TextToDouble(entry.value));
            break;
        case OptionWidgetKind::CheckBox:
            static_cast<QCheckBox*>(config.widget)
                ->setChecked(entry.value == QLatin1String("yes") || entry.value == QLatin1String("Stop"));
            break;
        case OptionWidgetKind::Other:
            break;
        }
        config.widget->setEnabled(entry.enabled);
    }
}
