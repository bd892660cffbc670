#pragma once

#include "parentscanneroptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

// A small panel on the option base, so that the base can be exercised without
// a family panel. Its hooks record when they run and can add pairs.
class TestPanel : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit TestPanel(QWidget* parent = nullptr);

    void InitOptionsByDefault() override;
    void InitOther() override;
    void InitWidgetEvent() override;
    bool CroppingSpecialOpt() override;
    void LongpageSpecialOpt() override;
    void ShowStandardTab() override { m_calls << QStringLiteral("ShowStandardTab"); }

    // Binds a widget of any class, for checking that the base refuses it.
    bool Bind(QWidget* widget, const QString& name) { return AddParamConfig(widget, name, ParamNormal, {}); }

    using ParentScannerOptions::m_enterParams;
    using ParentScannerOptions::m_flatbedOnly;
    using ParentScannerOptions::m_flatbedSelected;
    using ParentScannerOptions::m_hasHolePunchMode;
    using ParentScannerOptions::m_hasPageAutoPriority;
    using ParentScannerOptions::m_leaveParams;
    using ParentScannerOptions::m_notInDriver;
    using ParentScannerOptions::m_paramConfigs;
    using ParentScannerOptions::m_valueNames;

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

    // What the hooks saw and do.
    QStringList m_calls;
    QString m_modeSeenByInitOther;
    bool m_signalsBlockedInInitOther = false;
    int m_ruleRuns = 0;
    bool m_croppingHandled = false;
    QString m_ownCropping; // sent by the cropping hook when not empty
    bool m_longpageTail = false;
};
