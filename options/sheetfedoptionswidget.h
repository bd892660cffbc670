#pragma once

#include "parentscanneroptions.h"
#include "sheetfedrules.h"

#include <QWidget>

// What the panels of the two sheet-fed families (Kx and Wy) have in common
// beyond their forms: the shared widgets and rules, the resolution bands of
// the feeder height limits and the answers the main window asks for.
class SheetFedOptionsWidget : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    void ShowStandardTab() override;
    int GetTotalScanCount() override;
    QString GetMode() override;
    QString GetSource() override;
    bool IsMultifeedChecked() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    SheetFedOptionsWidget(SheetFedRules::ResolutionBands bands, QWidget* parent);

    // Takes the family's form once it is set up.
    void TakeForm(const SheetFedWidgets& widgets);

    // Connects the rules both families share to their trigger widgets
    // (dropping what was connected before) and starts the resolution band
    // from the current resolution.
    void ConnectSharedRules();

    // The device's multi-feed detection setting, read from m_options onto
    // the check box.
    void ShowDeviceMultifeed();
    // The custom page width and height up to the feeder's limits.
    void SetFeederSizeRanges();
    // The custom page height up to the feeder's limit at the current
    // resolution; with front/back merging on, up to the merged page's
    // limit (863.6 mm up to 300 dpi, `mergedLimitAbove300` above).
    void SetFeederHeightRange(double mergedLimitAbove300);
    // Remembers `resolution`; true when it lies in another band than the
    // one remembered before.
    bool LeavesResolutionBand(int resolution);

    // The rules both families share, one per trigger widget.
    void OnModeChanged();
    void OnBwModeChanged();
    void OnBlankPageSkipChanged();
    void OnToneAdjustmentChanged();
    void OnColorCleanupChanged();

    SheetFedWidgets m_shared;

private:
    SheetFedRules::ResolutionBands m_resolutionBands;
    int m_lastResolution = 0;
};
