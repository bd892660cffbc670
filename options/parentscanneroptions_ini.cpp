// Per-scanner ini files and the start-up order of a panel.
#include "parentscanneroptions.h"

#include "configsetting.h"
#include "optionslog.h"
#include "optionwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>

namespace {

const QString kGroup = QStringLiteral("ScannerOptions");

// A device name field as part of a file name: nothing in it may lead out of
// the configuration folder or break the name.
QString FileNameField(const QString& field)
{
    QString result = field;
    for (QChar& c : result) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('_');
    }
    return result;
}

} // namespace

QString ParentScannerOptions::ConfigFileName(const QString& deviceName)
{
    const QStringList fields = deviceName.split(QLatin1Char(':'));
    return FileNameField(fields.value(0)) + QLatin1Char('_') + FileNameField(fields.value(1)) +
           QStringLiteral(".ini");
}

QString ParentScannerOptions::ConfigFilePath(const QString& name) const
{
    return m_configPath + QLatin1Char('/') + ConfigFileName(name);
}

bool ParentScannerOptions::EnsureScanConfigPath(const QString& name, bool reset)
{
    if (m_configPath.isEmpty())
        return false;
    const QString path = ConfigFilePath(name);
    if (!m_config)
        m_config = new ConfigSetting(path);
    else
        m_config->SetConfigPath(path);
    if (reset) {
        QDir().mkpath(m_configPath);
        QFile::remove(path);
        QFile empty(path);
        if (!empty.open(QIODevice::WriteOnly))
            qCWarning(lcOptions) << "cannot create" << path << empty.errorString();
        empty.close();
        m_config->SetConfigPath(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return !QString::fromUtf8(file.readLine()).trimmed().isEmpty();
}

void ParentScannerOptions::InitOptionsFromIni()
{
    if (EnsureScanConfigPath(m_scannerName, false))
        ReadParamsFromIni();
}

void ParentScannerOptions::ReadParamsFromIni()
{
    if (!m_config)
        return;
    for (const ParamConfig& config : qAsConst(m_paramConfigs))
        ReadParamsFromIniInternal(config.widget, config.optionName, config.paramType);
}

void ParentScannerOptions::ReadParamsFromIniInternal(QWidget* widget, const QString& optionName,
                                                     ParamType paramType)
{
    if (paramType == ParamFixed)
        return;
    QString text;
    m_config->readInit(kGroup, optionName, text);
    if (text.isEmpty())
        return;
    // "value|flag"; a line without the flag leaves the enabled state alone.
    const QStringList parts = text.split(QLatin1Char('|'));
    const QString value = parts.size() < 2 ? text : parts.at(0);
    switch (OptionWidget::KindOf(widget)) {
    case OptionWidgetKind::ComboBox:
        SetComboboxValue(static_cast<QComboBox*>(widget), value);
        break;
    case OptionWidgetKind::CheckBox:
        static_cast<QCheckBox*>(widget)->setChecked(value == SaneValue::kYes || value == SaneValue::kStop);
        break;
    case OptionWidgetKind::SpinBox:
        static_cast<QSpinBox*>(widget)->setValue(OptionWidget::TextToInt(value));
        break;
    case OptionWidgetKind::DoubleSpinBox:
        static_cast<QDoubleSpinBox*>(widget)->setValue(OptionWidget::TextToDouble(value));
        break;
    case OptionWidgetKind::Other:
        break;
    }
    if (parts.size() >= 2)
        widget->setEnabled(parts.at(1) == QLatin1String("1"));
}

bool ParentScannerOptions::SaveParamsToIni()
{
    if (m_configPath.isEmpty() || !QDir().mkpath(m_configPath)) {
        qCWarning(lcOptions) << "no configuration folder for" << m_scannerName << m_configPath;
        return false;
    }
    EnsureScanConfigPath(m_scannerName, false);
    // The whole set is written as a new file that replaces the old one only
    // once complete, so options no longer bound disappear and a failed write
    // keeps the previous settings.
    m_config->Clear();
    for (const ParamConfig& config : qAsConst(m_paramConfigs))
        SaveParamsToIniInternal(config.widget, config.optionName, config.paramType, config.defaultValue);
    if (!m_config->Sync()) {
        qCWarning(lcOptions) << "cannot write" << m_config->FilePath();
        return false;
    }
    return true;
}

void ParentScannerOptions::SaveParamsToIniInternal(QWidget* widget, const QString& optionName,
                                                   ParamType paramType, const QString& defaultValue)
{
    QString text = paramType == ParamFixed ? defaultValue : OptionWidget::ValueText(widget);
    text += widget->isEnabled() ? QStringLiteral("|1") : QStringLiteral("|0");
    m_config->writeInit(kGroup, optionName, text);
}

void ParentScannerOptions::InitWidgetByOption(const QString& name, bool useDefaults)
{
    m_flatbedSelected = false;
    m_scannerName = name;
    BlockAllWidgetsSignals(true);
    InitOptionsByDefault();
    if (!useDefaults)
        InitOptionsFromIni();
    InitOther();
    InitWidgetEvent();
    DisableWidgetsNotInDirver();
    BlockAllWidgetsSignals(false);
    if (!useDefaults)
        GetParamsEnter();
}
