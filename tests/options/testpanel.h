#pragma once

#include "parentscanneroptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

// A small panel on the option base, so that the base can be exercised without
// a family panel.
class TestPanel : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit TestPanel(QWidget* parent = nullptr);

    void InitOptionsByDefault() override;
    void InitOther() override {}
    void InitWidgetEvent() override {}
    bool CroppingSpecialOpt() override { return false; }
    void LongpageSpecialOpt() override {}
    void ShowStandardTab() override {}

    using ParentScannerOptions::m_enterParams;
    using ParentScannerOptions::m_paramConfigs;

    QComboBox* cmSource;
    QComboBox* cmMode;
    QSpinBox* sbResolution;
    QCheckBox* cbLongPage;
    QDoubleSpinBox* dsbBrx;
    QDoubleSpinBox* dsbBry;
    QCheckBox* cbPageAuto;
    QCheckBox* cbMultifeedDetection;
    QDoubleSpinBox* dsbGamma;
    QComboBox* cmCropping;
    QComboBox* cmJpegQuality;
    QComboBox* cmCleanupSharpness;
};
