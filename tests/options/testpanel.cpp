#include "testpanel.h"

#include <QVBoxLayout>

TestPanel::TestPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto add = [layout](auto* widget, const char* objectName) {
        widget->setObjectName(QLatin1String(objectName));
        layout->addWidget(widget);
        return widget;
    };
    cmSource = add(new QComboBox, "cmSource");
    cmMode = add(new QComboBox, "cmMode");
    sbResolution = add(new QSpinBox, "sbResolution");
    cbLongPage = add(new QCheckBox, "cbLongPage");
    dsbBrx = add(new QDoubleSpinBox, "dsbBrx");
    dsbBry = add(new QDoubleSpinBox, "dsbBry");
    cbPageAuto = add(new QCheckBox, "cbPageAuto");
    cbMultifeedDetection = add(new QCheckBox, "cbMultifeedDetection");
    dsbGamma = add(new QDoubleSpinBox, "dsbGamma");
    cmCropping = add(new QComboBox, "cmCropping");
    cmJpegQuality = add(new QComboBox, "cmJpegQuality");
    cmCleanupSharpness = add(new QComboBox, "cmCleanupSharpness");

    AddParamConfig(cmSource, QStringLiteral("source"), ParamNormal, QStringLiteral("Adf-duplex"));
    AddParamConfig(cmMode, QStringLiteral("mode"), ParamNormal, QStringLiteral("Color"));
    AddParamConfig(sbResolution, QStringLiteral("resolution"), ParamNormal, QStringLiteral("200"));
    AddParamConfig(cbLongPage, QStringLiteral("custom-longpage"), ParamNormal, QStringLiteral("no"));
    AddParamConfig(dsbBrx, QStringLiteral("br-x"), ParamNormal, QStringLiteral("210"));
    AddParamConfig(dsbBry, QStringLiteral("br-y"), ParamNormal, QStringLiteral("297"));
    AddParamConfig(cbPageAuto, QStringLiteral("page-auto"), ParamNormal, QStringLiteral("yes"));
    AddParamConfig(cbMultifeedDetection, QStringLiteral("multifeed-detection"), ParamNormal,
                   QStringLiteral("no"));
    AddParamConfig(cbMultifeedDetection, QStringLiteral("mf-overlapping"), ParamFixed, QStringLiteral("yes"));
    AddParamConfig(cbMultifeedDetection, QStringLiteral("mf-length"), ParamFixed, QStringLiteral("no"));
    AddParamConfig(dsbGamma, QStringLiteral("gamma"), ParamNormal, QStringLiteral("1.6"));
    AddParamConfig(cmCropping, QStringLiteral("cropping"), ParamNormal, QStringLiteral("Old_specification"));
    AddParamConfig(cmJpegQuality, QStringLiteral("jpeg"), ParamFixed, QStringLiteral("yes"));
    AddParamConfig(cmJpegQuality, QStringLiteral("jpeg-quality"), ParamNormal, QStringLiteral("4"));
    AddParamConfig(cmCleanupSharpness, QStringLiteral("cleanup-sharpness"), ParamNormal,
                   QStringLiteral("None"));
    InitCleanupSharpness(cmCleanupSharpness);
}

void TestPanel::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    // Like the families: the multifeed box follows the device's own value.
    const Opt_Result multifeed = m_options.value(QStringLiteral("multifeed-detection"));
    cbMultifeedDetection->setChecked(multifeed.value == QLatin1String("Stop"));
    cbMultifeedDetection->setEnabled(multifeed.isActive && !multifeed.name.isEmpty());
}
