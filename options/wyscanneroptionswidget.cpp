#include "wyscanneroptionswidget.h"

#include "gdata.h"
#include "optionwidget.h"
#include "ui_wyscanneroptionswidget.h"

namespace {

using OptionWidget::ComboValue;

bool Is(const QComboBox* combo, const char* value)
{
    return ComboValue(combo) == QLatin1String(value);
}

constexpr double kMinLength = 26.0;

} // namespace

WyScannerOptionsWidget::WyScannerOptionsWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui_WyScannerOptionsWidget), m_resolutionBands{{51, 200}, {201, 300}, {301, 600}}
{
    ui->setupUi(this);
    m_shared = SheetFedWidgets::FromUi(ui);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    ui->sbResolution->installEventFilter(this);
    InitWidgetMap();
    InitCleanupSharpness(ui->cmCleanupSharpness);
}

WyScannerOptionsWidget::~WyScannerOptionsWidget()
{
    delete ui;
}

void WyScannerOptionsWidget::InitWidgetMap()
{
    // Tone adjustment and the black-and-white sub-settings are on the form
    // but bound to no option.
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
        {ui->cbLongPage, "custom-longpage", ParamNormal, "no"},
        {ui->cmPaperSize, "paper-size", ParamNormal, "A4"},
        {ui->dsbBrx, "br-x", ParamNormal, "210"},
        {ui->dsbBry, "br-y", ParamNormal, "297"},
        {ui->cbFrontBackMerging, "front-back-merging", ParamNormal, "no"},
        {ui->cmBackSideLocation, "back-side-location", ParamNormal, "Top"},
        {ui->cmBackSideRotation, "back-side-rotation", ParamNormal, "0"},
        {ui->cbPageAuto, "page-auto", ParamNormal, "yes"},
        {ui->cbMultifeedDetection, "multifeed-detection", ParamNormal, "no"},
        {ui->cbMultifeedDetection, "mf-overlapping", ParamFixed, "yes"},
        {ui->cbBlankPageSkip, "blank-page-skip", ParamNormal, "no"},
        {ui->sbBlankPageSkipSensitivity, "blank-page-skip-sensitivity", ParamNormal, "3"},
        {ui->cmBwMode, "bw-mode", ParamNormal, "iDTC"},
        {ui->sbBrightness, "brightness", ParamNormal, "0"},
        {ui->sbContrast, "contrast", ParamNormal, "0"},
        {ui->sbShadow, "shadow", ParamNormal, "10"},
        {ui->sbHighlight, "highlight", ParamNormal, "230"},
        {ui->dsbGamma, "gamma", ParamNormal, "1.6"},
        {ui->cmCropping, "cropping", ParamNormal, "Old_specification"},
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

void WyScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    ui->cbMultifeedDetection->setChecked(m_options.value(QStringLiteral("multifeed-detection")).value ==
                                         QLatin1String("Stop"));
    ui->cmPaperSize->setEnabled(true);
    ui->dsbBrx->setEnabled(false);
    ui->dsbBry->setEnabled(false);
    ui->cbLongPage->setChecked(false);
    const GData& limits = GData::ctx();
    ui->dsbBry->setRange(kMinLength,
                         OptionWidget::TextToDouble(limits.m_resMaxHeight.value(QStringLiteral("200"))));
    ui->dsbBrx->setRange(kMinLength, OptionWidget::TextToDouble(limits.m_pageWidthMax));
}

void WyScannerOptionsWidget::InitOther()
{
    CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());
    ResolutionOpt();
}

void WyScannerOptionsWidget::ResolutionOpt()
{
    const int res = ui->sbResolution->value();
    if (ui->cbFrontBackMerging->isChecked()) {
        ui->dsbBry->setRange(kMinLength, res <= 300 ? 863.6 : 355.6);
        return;
    }
    ui->dsbBry->setRange(
        kMinLength, OptionWidget::TextToDouble(SheetFedRules::FeederHeightLimit(m_resolutionBands, res)));
}

void WyScannerOptionsWidget::SetToMaximum()
{
    ui->dsbBrx->setValue(ui->dsbBrx->maximum());
    ui->dsbBry->setValue(ui->dsbBry->maximum());
}

bool WyScannerOptionsWidget::CroppingSpecialOpt()
{
    if (GetSource() != QLatin1String("Flatbed") && !ui->cbPageAuto->isChecked())
        m_scanParams.append({QStringLiteral("cropping"), ComboValue(ui->cmCropping)});
    return true;
}

void WyScannerOptionsWidget::LongpageSpecialOpt()
{
    if (!ui->cbLongPage->isChecked())
        return;
    const QString width = QString::number(ui->dsbBrx->value(), 'g', 6);
    const QString height = QString::number(ui->dsbBry->value(), 'g', 6);
    m_scanParams.append({QStringLiteral("paper-size"), QStringLiteral("Custom")});
    m_scanParams.append({QStringLiteral("page-width"), width});
    m_scanParams.append({QStringLiteral("br-x"), width});
    m_scanParams.append({QStringLiteral("page-height"), height});
    m_scanParams.append({QStringLiteral("br-y"), height});
}

void WyScannerOptionsWidget::ShowStandardTab()
{
    ui->twOptions->setCurrentIndex(0);
}

int WyScannerOptionsWidget::GetTotalScanCount()
{
    return SheetFedRules::TotalScanCount(m_shared);
}

QString WyScannerOptionsWidget::GetMode()
{
    return ComboValue(ui->cmMode);
}

QString WyScannerOptionsWidget::GetSource()
{
    return ComboValue(ui->cmSource);
}

bool WyScannerOptionsWidget::IsMultifeedChecked()
{
    return ui->cbMultifeedDetection->isChecked();
}

bool WyScannerOptionsWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->sbResolution && SheetFedRules::IsReturnKeyPress(event)) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WyScannerOptionsWidget::InitWidgetEvent()
{
    const QList<QWidget*> triggers{ui->cmMode,           ui->sbResolution, ui->cmPaperSize,
                                   ui->cbLongPage,       ui->cmBwMode,     ui->cbBlankPageSkip,
                                   ui->cmToneAdjustment, ui->cbSplitImage, ui->cbFrontBackMerging,
                                   ui->cmColorCleanup};
    for (QWidget* trigger : triggers)
        disconnect(trigger, nullptr, this, nullptr);
    m_lastResolution = ui->sbResolution->value();

    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->cmMode, comboChanged, this, &WyScannerOptionsWidget::OnModeChanged);
    connect(ui->sbResolution, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &WyScannerOptionsWidget::OnResolutionChanged);
    connect(ui->cmPaperSize, comboChanged, this, &WyScannerOptionsWidget::OnPaperSizeChanged);
    connect(ui->cbLongPage, &QCheckBox::stateChanged, this, &WyScannerOptionsWidget::OnLongPageChanged);
    connect(ui->cmBwMode, comboChanged, this, &WyScannerOptionsWidget::OnBwModeChanged);
    connect(ui->cbBlankPageSkip, &QCheckBox::stateChanged, this,
            &WyScannerOptionsWidget::OnBlankPageSkipChanged);
    connect(ui->cmToneAdjustment, comboChanged, this, &WyScannerOptionsWidget::OnToneAdjustmentChanged);
    connect(ui->cbSplitImage, &QCheckBox::stateChanged, this, &WyScannerOptionsWidget::OnSplitImageChanged);
    connect(ui->cbFrontBackMerging, &QCheckBox::stateChanged, this,
            &WyScannerOptionsWidget::OnFrontBackMergingChanged);
    connect(ui->cmColorCleanup, comboChanged, this, &WyScannerOptionsWidget::OnColorCleanupChanged);
}

void WyScannerOptionsWidget::OnModeChanged()
{
    SheetFedRules::ModeChanged(m_shared);
}

void WyScannerOptionsWidget::OnResolutionChanged(int resolution)
{
    const int old = m_lastResolution;
    m_lastResolution = resolution;
    if (SheetFedRules::SameBand(m_resolutionBands, old, resolution))
        return;
    ResolutionOpt();
    if (ui->cbLongPage->isChecked())
        SetToMaximum();
}

void WyScannerOptionsWidget::OnPaperSizeChanged()
{
    const bool custom = Is(ui->cmPaperSize, "Custom");
    OptionWidget::SetEnabled({ui->dsbBrx, ui->dsbBry}, custom);
    if (custom)
        ResolutionOpt();
}

void WyScannerOptionsWidget::OnLongPageChanged()
{
    const bool longPage = ui->cbLongPage->isChecked();
    if (longPage) {
        ResolutionOpt();
        SetToMaximum();
        SetComboboxValue(ui->cmPaperSize, QStringLiteral("Custom"));
    }
    OptionWidget::SetEnabled({ui->cmPaperSize, ui->dsbBry, ui->dsbBrx}, !longPage);
}

void WyScannerOptionsWidget::OnBwModeChanged()
{
    SheetFedRules::BwModeChanged(m_shared);
}

void WyScannerOptionsWidget::OnBlankPageSkipChanged()
{
    SheetFedRules::BlankPageSkipChanged(m_shared);
}

void WyScannerOptionsWidget::OnToneAdjustmentChanged()
{
    SheetFedRules::ToneAdjustmentChanged(m_shared);
}

void WyScannerOptionsWidget::OnSplitImageChanged()
{
    if (ui->cbSplitImage->isChecked())
        ui->cbFrontBackMerging->setEnabled(false);
    else
        ui->cbFrontBackMerging->setEnabled(!Is(ui->cmMode, "Multi-image-output"));
}

void WyScannerOptionsWidget::OnFrontBackMergingChanged()
{
    ResolutionOpt();
    if (ui->cbLongPage->isChecked())
        SetToMaximum();
    SheetFedRules::FrontBackMergingChanged(m_shared);
}

void WyScannerOptionsWidget::OnColorCleanupChanged()
{
    SheetFedRules::ColorCleanupChanged(m_shared);
}
