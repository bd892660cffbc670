#pragma once

#include "parentscanneroptions.h"
#include "sheetfedrules.h"

#include <QWidget>

class Ui_WyScannerOptionsWidget;

// Settings panel of the family Wy sheet-fed scanners (backend "zylwy"),
// which can scan long pages at the largest custom size.
class WyScannerOptionsWidget : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit WyScannerOptionsWidget(QWidget* parent = nullptr);
    ~WyScannerOptionsWidget() override;

    void InitOptionsByDefault() override;
    void InitOther() override;
    void InitWidgetEvent() override;
    bool CroppingSpecialOpt() override;
    void LongpageSpecialOpt() override;
    void ShowStandardTab() override;
    int GetTotalScanCount() override;
    QString GetMode() override;
    QString GetSource() override;
    bool IsMultifeedChecked() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitWidgetMap();
    void ResolutionOpt();
    // Custom width and then height to their maximums.
    void SetToMaximum();

    // The dependency rules, one per trigger widget.
    void OnModeChanged();
    void OnResolutionChanged(int resolution);
    void OnPaperSizeChanged();
    void OnLongPageChanged();
    void OnBwModeChanged();
    void OnBlankPageSkipChanged();
    void OnToneAdjustmentChanged();
    void OnSplitImageChanged();
    void OnFrontBackMergingChanged();
    void OnColorCleanupChanged();

    Ui_WyScannerOptionsWidget* ui;
    int m_lastResolution = 0;
    SheetFedRules::ResolutionBands m_resolutionBands;
    SheetFedWidgets m_shared;
};
