#pragma once

#include "parentscanneroptions.h"

#include <QWidget>

class Ui_RV920ScannerOptionsWidget;

// Settings panel of the overhead scanner RV920 ("zyljn:RV920"): one page
// face up, resolution from a list, page width and height set directly.
class RV920ScannerOptionsWidget : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit RV920ScannerOptionsWidget(QWidget* parent = nullptr);
    ~RV920ScannerOptionsWidget() override;

    void InitOptionsByDefault() override;
    void InitWidgetEvent() override;
    void ShowStandardTab() override;
    int GetTotalScanCount() override { return 1; }
    QString GetMode() override;
    QString GetSource() override;

protected:
    // The form's texts and the value lists in the language now installed.
    void changeEvent(QEvent* event) override;

private:
    void InitWidgetMap();

    // The dependency rules; mode and paper size work on the item index.
    void OnModeChanged(int index);
    void OnPaperSizeChanged(int index);
    void OnPageAutoChanged();
    void OnTimeScanChanged();

    Ui_RV920ScannerOptionsWidget* ui;
};
