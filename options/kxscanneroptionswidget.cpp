#include "kxscanneroptionswidget.h"

#include "gdata.h"
#include "optionwidget.h"
#include "saneoptions.h"
#include "ui_kxscanneroptionswidget.h"

#include <QEvent>

namespace {

using OptionWidget::ComboValue;
using SheetFedRules::kMinCustomLength;

double Limit(const QString& text)
{
    return OptionWidget::TextToDouble(text);
}

// The largest merged page above 300 dpi, in millimetres.
constexpr double kMergedLimitAbove300 = 431.8;
// The custom size a flatbed-only scanner starts with: A4.
constexpr double kFlatbedStartWidth = 210.0;
constexpr double kFlatbedStartHeight = 297.0;

} // namespace

KxScannerOptionsWidget::KxScannerOptionsWidget(QWidget* parent)
    : SheetFedOptionsWidget({{51, 200}, {201, 300}, {301, 400}, {401, 600}}, parent),
      ui(new Ui_KxScannerOptionsWidget)
{
    ui->setupUi(this);
    SheetFedWidgets widgets = SheetFedWidgets::FromUi(ui);
    widgets.cmJpegQuality = ui->cmJpegQuality;
    TakeForm(widgets);
    InitWidgetMap();
}

KxScannerOptionsWidget::~KxScannerOptionsWidget()
{
    delete ui;
}

void KxScannerOptionsWidget::InitWidgetMap()
{
    AddParamConfigs({
        {ui->cmSource, "source", ParamNormal, "Adf-duplex"},
        {ui->cmMode, "mode", ParamNormal, "Color"},
        {ui->cmMultiImageOutputList, "multi-image-output-list", ParamNormal, "Color+BW"},
        {ui->sbResolution, "resolution", ParamNormal, "200"},
        {ui->cmPaperSize, "paper-size", ParamNormal, "A4"},
        {ui->dsbBrx, "br-x", ParamNormal, "210"},
        {ui->dsbBry, "br-y", ParamNormal, "297"},
        {ui->cbFrontBackMerging, "front-back-merging", ParamNormal, "no"},
        {ui->cmBackSideLocation, "back-side-location", ParamNormal, "Top"},
        {ui->cmBackSideRotation, "back-side-rotation", ParamNormal, "0"},
        {ui->cbPageAuto, "page-auto", ParamNormal, "yes"},
        {ui->cmBgcolor, "bgcolor", ParamNormal, "Black"},
        {ui->cmPageAutoPriority, "page-auto-priority", ParamNormal, "Accuracy"},
        {ui->cbEdgeRepair, "edge-repair", ParamNormal, "yes"},
        {ui->cbHolePunchRemoval, "hole-punch-removal", ParamNormal, "no"},
        {ui->cmHolePunchRemovalFillColor, "hole-punch-removal-fillcolor", ParamNormal, "Background-color"},
        {ui->cmHolePunchRemovalMode, "hole-punch-removal-mode", ParamNormal, "Standard"},
        {ui->cbMultifeedDetection, "multifeed-detection", ParamNormal, "no"},
        {ui->cbMultifeedDetection, "mf-overlapping", ParamFixed, "yes"},
        {ui->cbMultifeedDetection, "mf-length", ParamFixed, "no"},
        {ui->cbBlankPageSkip, "blank-page-skip", ParamNormal, "no"},
        {ui->sbBlankPageSkipSensitivity, "blank-page-skip-sensitivity", ParamNormal, "3"},
        {ui->cmBwMode, "bw-mode", ParamNormal, "iDTC"},
        {ui->sbThreshold, "threshold", ParamNormal, "128"},
        {ui->cmBwSdtcVariance, "bw-sdtc-variance", ParamNormal, "Mid"},
        {ui->sbBWIDTCSensitivity, "bw-idtc-sensitivity", ParamNormal, "0"},
        {ui->sbBWIDTCBGThreshold, "bw-idtc-background-threshold", ParamNormal, "0"},
        {ui->cmToneAdjustment, "tone-adjustment", ParamNormal, "Automatic"},
        {ui->sbBrightness, "brightness", ParamNormal, "0"},
        {ui->sbContrast, "contrast", ParamNormal, "0"},
        {ui->sbShadow, "shadow", ParamNormal, "10"},
        {ui->sbHighlight, "highlight", ParamNormal, "230"},
        {ui->dsbGamma, "gamma", ParamNormal, "1.6"},
        {ui->cmCropping, "cropping", ParamNormal, "Old_specification"},
        {ui->cmJpegQuality, "jpeg", ParamFixed, "yes"},
        {ui->cmJpegQuality, "jpeg-quality", ParamNormal, "4"},
        {ui->cmDropOutColor, "dropoutcolor", ParamNormal, "Green"},
        {ui->cmCleanupSharpness, "cleanup-sharpness", ParamNormal, "None"},
        {ui->cmRotation, "rotation", ParamNormal, "0"},
        {ui->cbSplitImage, "split-image", ParamNormal, "no"},
        {ui->cmColorCleanup, "color-cleanup", ParamNormal, "None"},
        {ui->sbColorCleanupCleanness, "color-cleanup-cleanness", ParamNormal, "0"},
    });
}

void KxScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    ui->cbMultifeedDetection->setEnabled(m_options.value(SaneOption::kMultifeedDetection).isActive);
    ShowDeviceMultifeed();

    ui->cmBgcolor->setEnabled(GetSource() != SaneValue::kFlatbed);
    m_flatbedSelected = false;

    if (!m_flatbedOnly) {
        SetFeederSizeRanges();
    } else {
        const GData& limits = GData::ctx();
        m_flatbedSelected = true;
        ui->cmPaperSize->addItem(QObject::tr("自定义"), QString(SaneValue::kCustom));
        ui->dsbBry->setRange(kMinCustomLength, Limit(limits.m_flatbedMaxY));
        ui->dsbBry->setValue(kFlatbedStartHeight);
        ui->dsbBrx->setRange(kMinCustomLength, Limit(limits.m_flatbedMaxX));
        ui->dsbBrx->setValue(kFlatbedStartWidth);
    }
    // The device's automatic-size value decides the size widgets exactly as
    // the user's tick would (signals are blocked here, so call the rule).
    OnPageAutoChanged();
}

void KxScannerOptionsWidget::InitOther()
{
    CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());
    m_flatbedSelected = GetSource() == SaneValue::kFlatbed;
    ResolutionOpt();
}

void KxScannerOptionsWidget::ResolutionOpt()
{
    if (!m_flatbedSelected) {
        SetFeederHeightRange(kMergedLimitAbove300);
    } else if (!m_flatbedOnly && !ui->cbPageAuto->isChecked()) {
        const GData& limits = GData::ctx();
        ui->dsbBry->setRange(kMinCustomLength, Limit(limits.m_flatbedMaxY));
        ui->dsbBrx->setRange(kMinCustomLength, Limit(limits.m_flatbedMaxX));
    }
}

bool KxScannerOptionsWidget::CroppingSpecialOpt()
{
    const bool autoSize = ui->cbPageAuto->isChecked();
    if (GetSource() != SaneValue::kFlatbed && ComboValue(ui->cmBgcolor) != SaneValue::kWhite &&
        (!autoSize || ComboValue(ui->cmCropping) != SaneValue::kOverscan))
        m_scanParams.append({SaneOption::kCropping, ComboValue(ui->cmCropping)});
    return true;
}

void KxScannerOptionsWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        RetranslateValueNames();
    }
    SheetFedOptionsWidget::changeEvent(event);
}
