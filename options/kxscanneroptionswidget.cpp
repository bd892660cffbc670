#include "kxscanneroptionswidget.h"

#include "gdata.h"
#include "optionwidget.h"
#include "ui_kxscanneroptionswidget.h"

namespace {

using OptionWidget::ComboValue;

double Limit(const QString& text)
{
    return OptionWidget::TextToDouble(text);
}

constexpr double kMinLength = 26.0;

} // namespace

KxScannerOptionsWidget::KxScannerOptionsWidget(QWidget* parent)
    : QWidget(parent),
      ui(new Ui_KxScannerOptionsWidget), m_resolutionBands{{51, 200}, {201, 300}, {301, 400}, {401, 600}}
{
    ui->setupUi(this);
    m_shared = SheetFedWidgets::FromUi(ui);
    m_shared.cmJpegQuality = ui->cmJpegQuality;
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    ui->sbResolution->installEventFilter(this);
    InitWidgetMap();
    InitCleanupSharpness(ui->cmCleanupSharpness);
}

KxScannerOptionsWidget::~KxScannerOptionsWidget()
{
    delete ui;
}

void KxScannerOptionsWidget::InitWidgetMap()
{
    const struct {
        QWidget* widget;
        const char* name;
        ParamType type;
        const char* defaultValue;
    } bindings[] = {
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
    };
    for (const auto& b : bindings)
        AddParamConfig(b.widget, QLatin1String(b.name), b.type, QLatin1String(b.defaultValue));
}

void KxScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    const Opt_Result multifeed = m_options.value(QStringLiteral("multifeed-detection"));
    ui->cbMultifeedDetection->setEnabled(multifeed.isActive);
    ui->cbMultifeedDetection->setChecked(multifeed.value == QLatin1String("Stop"));

    ui->cmBgcolor->setEnabled(GetSource() != QLatin1String("Flatbed"));
    ui->cmPaperSize->setEnabled(false);
    SetCustomSizeEnabled(false);
    m_flatbedSelected = false;

    const GData& limits = GData::ctx();
    if (!m_flatbedOnly) {
        ui->dsbBry->setRange(kMinLength, Limit(limits.m_resMaxHeight.value(QStringLiteral("200"))));
        ui->dsbBrx->setRange(kMinLength, Limit(limits.m_pageWidthMax));
    } else {
        m_flatbedSelected = true;
        ui->cmPaperSize->addItem(QObject::tr("自定义"), QStringLiteral("Custom"));
        ui->dsbBry->setRange(kMinLength, Limit(limits.m_flatbedMaxY));
        ui->dsbBry->setValue(297.0);
        ui->dsbBrx->setRange(kMinLength, Limit(limits.m_flatbedMaxX));
        ui->dsbBrx->setValue(210.0);
    }
}

void KxScannerOptionsWidget::InitOther()
{
    CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());
    m_flatbedSelected = GetSource() == QLatin1String("Flatbed");
    ResolutionOpt();
}

void KxScannerOptionsWidget::ResolutionOpt()
{
    const int res = ui->sbResolution->value();
    const GData& limits = GData::ctx();
    if (!m_flatbedSelected) {
        if (ui->cbFrontBackMerging->isChecked()) {
            ui->dsbBry->setRange(kMinLength, res <= 300 ? 863.6 : 431.8);
            return;
        }
        ui->dsbBry->setRange(kMinLength, Limit(SheetFedRules::FeederHeightLimit(m_resolutionBands, res)));
    } else if (!m_flatbedOnly && !ui->cbPageAuto->isChecked()) {
        ui->dsbBry->setRange(kMinLength, Limit(limits.m_flatbedMaxY));
        ui->dsbBrx->setRange(kMinLength, Limit(limits.m_flatbedMaxX));
    }
}

bool KxScannerOptionsWidget::CroppingSpecialOpt()
{
    const bool autoSize = ui->cbPageAuto->isChecked();
    if (GetSource() != QLatin1String("Flatbed") && ComboValue(ui->cmBgcolor) != QLatin1String("White") &&
        (!autoSize || ComboValue(ui->cmCropping) != QLatin1String("Overscan")))
        m_scanParams.append({QStringLiteral("cropping"), ComboValue(ui->cmCropping)});
    return true;
}

void KxScannerOptionsWidget::ShowStandardTab()
{
    ui->twOptions->setCurrentIndex(0);
}

int KxScannerOptionsWidget::GetTotalScanCount()
{
    return SheetFedRules::TotalScanCount(m_shared);
}

QString KxScannerOptionsWidget::GetMode()
{
    return ComboValue(ui->cmMode);
}

QString KxScannerOptionsWidget::GetSource()
{
    return ComboValue(ui->cmSource);
}

bool KxScannerOptionsWidget::IsMultifeedChecked()
{
    return ui->cbMultifeedDetection->isChecked();
}

bool KxScannerOptionsWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->sbResolution && SheetFedRules::IsReturnKeyPress(event)) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
