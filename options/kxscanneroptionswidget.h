#pragma once

#include "sheetfedoptionswidget.h"

class Ui_KxScannerOptionsWidget;

// Settings panel of the family Kx sheet-fed scanners (backend "zylkx"), some
// of which also have a flatbed. Keeps its widgets consistent through one rule
// per trigger widget.
class KxScannerOptionsWidget : public SheetFedOptionsWidget {
    Q_OBJECT
public:
    explicit KxScannerOptionsWidget(QWidget* parent = nullptr);
    ~KxScannerOptionsWidget() override;

    void InitOptionsByDefault() override;
    void InitOther() override;
    void InitWidgetEvent() override;
    bool CroppingSpecialOpt() override;

protected:
    // The form's texts and the value lists in the language now installed.
    void changeEvent(QEvent* event) override;

private:
    void InitWidgetMap();
    // Bounds the custom width and height by source, resolution and merging.
    void ResolutionOpt();

    // The dependency rules of this family, one per trigger widget.
    void OnSourceChanged();
    void OnResolutionChanged(int resolution);
    void OnPaperSizeChanged();
    void OnPageAutoChanged();
    void OnPageAutoPriorityChanged();
    void OnHolePunchRemovalChanged();
    void OnSplitImageChanged();
    void OnFrontBackMergingChanged();
    void OnBgcolorChanged();

    // Helpers of the rules.
    bool PageAutoOn() const;
    bool MergeOn() const;
    bool PriorityOk() const;
    bool BlackBackground() const;
    void SetCustomSizeEnabled(bool enabled);
    void UpdateHolePunchWidgets(bool allowed);

    Ui_KxScannerOptionsWidget* ui;
};
