#pragma once

#include "optionwidget.h"
#include "optresult.h"
#include "paramconfig.h"
#include "saneoptions.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

#include <initializer_list>

class ConfigSetting;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;
class QWidget;

// What the scanner option panels have in common: the bindings of SANE options
// to widgets, filling the widgets from the device, the (option, value) pairs of
// a scan, snapshots for change detection and the per-scanner ini file.
//
// Each family panel is a QWidget that also derives from this class. The
// container assigns m_configPath and m_options, then calls InitSpecial() and
// InitWidgetByOption().
class ParentScannerOptions {
public:
    ParentScannerOptions();
    virtual ~ParentScannerOptions();
    ParentScannerOptions(const ParentScannerOptions&) = delete;
    ParentScannerOptions& operator=(const ParentScannerOptions&) = delete;

    // Hooks; see the family panels for what they add.
    virtual void InitOptionsByDefault();
    virtual void InitOther() {}
    virtual void InitWidgetEvent() {}
    // True when the family has handled the "cropping" pair itself.
    virtual bool CroppingSpecialOpt() { return false; }
    // May append pairs at the end of m_scanParams.
    virtual void LongpageSpecialOpt() {}
    virtual void ShowStandardTab() {}
    virtual int GetTotalScanCount() { return 0; }
    virtual QString GetMode() { return SaneValue::kColor; }
    virtual QString GetSource() { return SaneValue::kAdfDuplex; }
    virtual bool IsMultifeedChecked() { return false; }

    // Rebuilds m_scanParams from the enabled widgets, in binding order.
    void GetParamsForScan();

    // Snapshots taken when the settings page is entered and left. The entry
    // snapshot also keeps the whole state of every option widget of the panel
    // (ranges and item flags included) for SetParamsToWidget.
    void GetParamsEnter();
    void GetParamsLeave();
    // True when a value (not only an enabled state) differs between the snapshots.
    bool ScanParamsChanged() const;
    // Puts the panel back exactly as it was at GetParamsEnter: values, enabled
    // states, ranges and item flags, without running any dependency rule on
    // the way. Without an entry snapshot the panel is left as it is.
    void SetParamsToWidget();

    // Reads the device's features from m_options and disables the widgets
    // whose option the device lacks.
    void InitSpecial();
    // Start-up of the panel for device name: device values and family defaults,
    // then (unless useDefaults) the saved file, then the family's rules.
    // Unless useDefaults, the panel then shows the scanner's stored settings
    // and takes its entry snapshot of them; the defaults keep the snapshot, so
    // that declining to save them brings the stored settings back.
    void InitWidgetByOption(const QString& name, bool useDefaults);

    // Writes every binding to the scanner's ini file. The new file replaces the
    // old one only when it was written completely; false otherwise.
    bool SaveParamsToIni();

    // Points m_config at the ini file of device name. reset deletes the file
    // and re-creates it empty (result false). Otherwise nothing is written and
    // the result says whether the file holds settings (a non-blank first line).
    bool EnsureScanConfigPath(const QString& name, bool reset);
    void InitOptionsFromIni();
    void ReadParamsFromIni();

    // The ini file name for a SANE device name ("zyljn:RV920" -> "zyljn_RV920.ini").
    static QString ConfigFileName(const QString& deviceName);

    // Display text of a device value; the value itself when there is none.
    QString DisplayName(const QString& value) const;
    // The display texts in the language now installed, also on the items of
    // the panel's value lists.
    void RetranslateValueNames();

    // Selects the item whose data equals value without emitting a change;
    // no match keeps the current item.
    static void SetComboboxValue(QComboBox* combo, const QString& value);
    // True for the colour image modes ("Color", "Auto-color-detect",
    // "Multi-image-output").
    static bool IsColourMode(const QString& mode);
    static void InitCleanupSharpness(QComboBox* combo);
    static void CleanupSharpnessOpt(QComboBox* combo, const QString& mode);
    static void SetComboItemEnabled(QComboBox* combo, int index, bool enabled);

    // The bindings in declaration order (the order of scan pairs and file lines).
    const QList<ParamConfig>& ParamConfigs() const { return m_paramConfigs; }

    void DisableWidgetsNotInDirver();
    void BlockAllWidgetsSignals(bool block);

    // Assigned by the options container before InitSpecial().
    QString m_configPath;
    QHash<QString, Opt_Result> m_options;
    // The pairs of the next scan, read by the main window after GetParamsForScan().
    QVector<QPair<QString, QString>> m_scanParams;

protected:
    void InitComboBox(QComboBox* combo, const QString& name, const QString& defaultValue);
    void InitSpinBox(QSpinBox* spin, const QString& name, const QString& defaultValue);
    void InitDoubleSpinBox(QDoubleSpinBox* spin, const QString& name, const QString& defaultValue);
    void InitCheckBox(QCheckBox* box, const QString& name, const QString& defaultValue);

    // Appends a binding. Only the four widget classes can be bound; any other
    // widget is refused (an assertion in debug builds) and the result is false.
    bool AddParamConfig(QWidget* widget, const QString& optionName, ParamType type,
                        const QString& defaultValue);

    // One row of a panel's binding table.
    struct Binding {
        QWidget* widget;
        const char* optionName;
        ParamType type;
        const char* defaultValue;
    };
    // Appends the bindings of a table, in its order.
    void AddParamConfigs(std::initializer_list<Binding> bindings);

    ConfigSetting* m_config = nullptr;
    QHash<QString, QString> m_valueNames;
    QHash<QString, ParamConfigCMP> m_enterParams;
    QHash<QString, ParamConfigCMP> m_leaveParams;
    QList<ParamConfig> m_paramConfigs;
    QList<QWidget*> m_notInDriver;
    bool m_flatbedOnly = false;
    bool m_hasHolePunchMode = false;
    bool m_hasPageAutoPriority = false;
    bool m_flatbedSelected = false;
    QString m_scannerName;

private:
    // Every option widget of the panel: the bound ones in binding order, then
    // any other (a family may keep unbound widgets that its rules switch).
    QList<QWidget*> OptionWidgets() const;
    void InitNames();
    void AddScanParam(const ParamConfig& config);
    void AddComboParam(const ParamConfig& config);
    void AddDoubleSpinParam(const ParamConfig& config);
    void AddCheckBoxParam(const ParamConfig& config);
    void FillSnapshot(QHash<QString, ParamConfigCMP>& snapshot) const;
    void ReadParamsFromIniInternal(QWidget* widget, const QString& optionName, ParamType paramType);
    void SaveParamsToIniInternal(QWidget* widget, const QString& optionName, ParamType paramType,
                                 const QString& defaultValue);
    QString ConfigFilePath(const QString& name) const;
    Opt_Result Option(const QString& name) const;

    QList<OptionWidget::State> m_enterWidgets;
    bool m_enterFlatbedSelected = false;
};
