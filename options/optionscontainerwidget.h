#pragma once

#include "optresult.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>
#include <initializer_list>

class GenericScannerOptionsWidget;
class KxScannerOptionsWidget;
class QLabel;
class ParentScannerOptions;
class RV920ScannerOptionsWidget;
class Ui_OptionsContainerWidget;
class WyScannerOptionsWidget;

// The scanner-settings page: the scanner selector, the restore-defaults
// button and one panel per scanner family, of which the one matching the
// selected device is shown.
class OptionsContainerWidget : public QWidget {
    Q_OBJECT
public:
    explicit OptionsContainerWidget(const QString& configPath, QWidget* parent = nullptr);
    ~OptionsContainerWidget() override;

    // Fills the selector and selects `selected` when the list holds it, else
    // the first device, without any signal. `models` ("vendor model" by
    // device name) become the items' tooltips.
    void InitScannerList(const QList<QString>& devices, const QString& selected = QString(),
                         const QHash<QString, QString>& models = {});
    // Hands the open device's options to the current panel and rebuilds it.
    // Does nothing when no panel matches the selected device.
    void InitWidgetByOption(const QHash<QString, Opt_Result>& options, bool useDefaults);
    // Puts back the device selected before the user's last change, silently.
    void RestoreChangeDevice();
    // Shows the panel of m_currentDevice (none when no family matches and
    // generic panels are off).
    void ShowScannerConfigInterface();
    // A device outside the families gets the panel built from its own
    // options (off: it has none). Takes effect at the next panel choice.
    void SetGenericPanels(bool on) { m_genericPanels = on; }
    // The open device's options after a change: the generic panel shows
    // them when the device reported other options (`reported`) or they are
    // not active where the panel shows them so. Nothing for a family panel.
    void ReloadPanelOptions(const QHash<QString, Opt_Result>& options, bool reported);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void changeEvent(QEvent* event) override;

public:
    // Read by the main window: the device to open and the visible panel
    // (null when no family matches the device).
    QString m_currentDevice;
    ParentScannerOptions* m_currentPanel = nullptr;

signals:
    void sglBeforeChangeDevice(QString device);
    void sglChangeDevice(QString olddevice, QString newdevice);
    void sglGetDefaultOpts(QString device);
    // The generic panel's user committed a value of (or pressed) `option`.
    void sglPanelOptionEdited(QString device, QString option);

private:
    void OnScannerChanged();
    static void KeepListsWhole(std::initializer_list<QWidget*> panels);

    Ui_OptionsContainerWidget* ui;
    KxScannerOptionsWidget* m_kxPanel;
    WyScannerOptionsWidget* m_wyPanel;
    RV920ScannerOptionsWidget* m_rv920Panel;
    GenericScannerOptionsWidget* m_genericPanel;
    bool m_genericPanels = false;
    QLabel* m_noPanelLabel;
    QString m_previousDevice;
    QString m_configPath;
};
