#pragma once

#include "parentscanneroptions.h"
#include "sheetfedrules.h"

#include <QPair>
#include <QVector>
#include <QWidget>

class Ui_KxScannerOptionsWidget;

// Settings panel of the family Kx sheet-fed scanners (backend "zylkx"), some
// of which also have a flatbed. Keeps its widgets consistent through one rule
// per trigger widget.
class KxScannerOptionsWidget : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit KxScannerOptionsWidget(QWidget* parent = nullptr);
    ~KxScannerOptionsWidget() override;

    void InitOptionsByDefault() override;
    void InitOther() override;
    void InitWidgetEvent() override;
    bool CroppingSpecialOpt() override;
    void ShowStandardTab() override;
    int GetTotalScanCount() override;
    QString GetMode() override;
    QString GetSource() override;
    bool IsMultifeedChecked() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitWidgetMap();
    // Bounds the custom width and height by source, resolution and merging.
    void ResolutionOpt();

    // The dependency rules, one per trigger widget.
    void OnModeChanged();
    void OnSourceChanged();
    void OnResolutionChanged(int resolution);
    void OnPaperSizeChanged();
    void OnPageAutoChanged();
    void OnPageAutoPriorityChanged();
    void OnBwModeChanged();
    void OnBlankPageSkipChanged();
    void OnToneAdjustmentChanged();
    void OnHolePunchRemovalChanged();
    void OnSplitImageChanged();
    void OnFrontBackMergingChanged();
    void OnColorCleanupChanged();
    void OnBgcolorChanged();

    // Helpers of the rules.
    bool PageAutoOn() const;
    bool MergeOn() const;
    bool PriorityOk() const;
    bool BlackBackground() const;
    void SetCustomSizeEnabled(bool enabled);
    void UpdateHolePunchWidgets(bool allowed);

    Ui_KxScannerOptionsWidget* ui;
    int m_lastResolution = 0;
    SheetFedRules::ResolutionBands m_resolutionBands;
    SheetFedWidgets m_shared;
};
