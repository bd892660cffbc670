#pragma once

#include "sheetfedoptionswidget.h"

class Ui_WyScannerOptionsWidget;

// Settings panel of the family Wy sheet-fed scanners (backend "zylwy"),
// which can scan long pages at the largest custom size.
class WyScannerOptionsWidget : public SheetFedOptionsWidget {
    Q_OBJECT
public:
    explicit WyScannerOptionsWidget(QWidget* parent = nullptr);
    ~WyScannerOptionsWidget() override;

    void InitOptionsByDefault() override;
    void InitOther() override;
    void InitWidgetEvent() override;
    bool CroppingSpecialOpt() override;
    void LongpageSpecialOpt() override;

protected:
    // The form's texts and the value lists in the language now installed.
    void changeEvent(QEvent* event) override;

private:
    void InitWidgetMap();
    void ResolutionOpt();
    // Custom width and then height to their maximums.
    void SetToMaximum();

    // The dependency rules of this family, one per trigger widget.
    void OnResolutionChanged(int resolution);
    void OnPaperSizeChanged();
    void OnLongPageChanged();
    void OnSplitImageChanged();
    void OnFrontBackMergingChanged();

    Ui_WyScannerOptionsWidget* ui;
};
