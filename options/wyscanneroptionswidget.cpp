#include "wyscanneroptionswidget.h"

#include "optionwidget.h"
#include "saneoptions.h"
#include "ui_wyscanneroptionswidget.h"

#include <QEvent>

namespace {

using OptionWidget::ComboIs;
using OptionWidget::ComboValue;

// The largest merged page above 300 dpi, in millimetres.
constexpr double kMergedLimitAbove300 = 355.6;

} // namespace

WyScannerOptionsWidget::WyScannerOptionsWidget(QWidget* parent)
    : SheetFedOptionsWidget({{51, 200}, {201, 300}, {301, 600}}, parent), ui(new Ui_WyScannerOptionsWidget)
{
    ui->setupUi(this);
    TakeForm(SheetFedWidgets::FromUi(ui));
    InitWidgetMap();
}

WyScannerOptionsWidget::~WyScannerOptionsWidget()
{
    delete ui;
}

void WyScannerOptionsWidget::InitWidgetMap()
{
    // Tone adjustment and the black-and-white sub-settings are on the form
    // but bound to no option.
    AddParamConfigs({
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
    });
}

void WyScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    ShowDeviceMultifeed();
    ui->cmPaperSize->setEnabled(true);
    ui->dsbBrx->setEnabled(false);
    ui->dsbBry->setEnabled(false);
    ui->cbLongPage->setChecked(false);
    SetFeederSizeRanges();
}

void WyScannerOptionsWidget::InitOther()
{
    CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());
    ResolutionOpt();
}

void WyScannerOptionsWidget::ResolutionOpt()
{
    SetFeederHeightRange(kMergedLimitAbove300);
}

void WyScannerOptionsWidget::SetToMaximum()
{
    ui->dsbBrx->setValue(ui->dsbBrx->maximum());
    ui->dsbBry->setValue(ui->dsbBry->maximum());
}

bool WyScannerOptionsWidget::CroppingSpecialOpt()
{
    if (GetSource() != SaneValue::kFlatbed && !ui->cbPageAuto->isChecked())
        m_scanParams.append({SaneOption::kCropping, ComboValue(ui->cmCropping)});
    return true;
}

void WyScannerOptionsWidget::LongpageSpecialOpt()
{
    if (!ui->cbLongPage->isChecked())
        return;
    const QString width = QString::number(ui->dsbBrx->value(), 'g', 6);
    const QString height = QString::number(ui->dsbBry->value(), 'g', 6);
    m_scanParams.append({SaneOption::kPaperSize, SaneValue::kCustom});
    m_scanParams.append({SaneOption::kPageWidth, width});
    m_scanParams.append({SaneOption::kBrX, width});
    m_scanParams.append({SaneOption::kPageHeight, height});
    m_scanParams.append({SaneOption::kBrY, height});
}

void WyScannerOptionsWidget::InitWidgetEvent()
{
    const QList<QWidget*> triggers{ui->sbResolution, ui->cmPaperSize, ui->cbLongPage, ui->cbSplitImage,
                                   ui->cbFrontBackMerging};
    for (QWidget* trigger : triggers)
        disconnect(trigger, nullptr, this, nullptr);
    ConnectSharedRules();

    connect(ui->sbResolution, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &WyScannerOptionsWidget::OnResolutionChanged);
    connect(ui->cmPaperSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &WyScannerOptionsWidget::OnPaperSizeChanged);
    connect(ui->cbLongPage, &QCheckBox::stateChanged, this, &WyScannerOptionsWidget::OnLongPageChanged);
    connect(ui->cbSplitImage, &QCheckBox::stateChanged, this, &WyScannerOptionsWidget::OnSplitImageChanged);
    connect(ui->cbFrontBackMerging, &QCheckBox::stateChanged, this,
            &WyScannerOptionsWidget::OnFrontBackMergingChanged);
}

void WyScannerOptionsWidget::OnResolutionChanged(int resolution)
{
    if (!LeavesResolutionBand(resolution))
        return;
    ResolutionOpt();
    if (ui->cbLongPage->isChecked())
        SetToMaximum();
}

void WyScannerOptionsWidget::OnPaperSizeChanged()
{
    const bool custom = ComboIs(ui->cmPaperSize, SaneValue::kCustom);
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
        SetComboboxValue(ui->cmPaperSize, SaneValue::kCustom);
    }
    OptionWidget::SetEnabled({ui->cmPaperSize, ui->dsbBry, ui->dsbBrx}, !longPage);
}

void WyScannerOptionsWidget::OnSplitImageChanged()
{
    if (ui->cbSplitImage->isChecked())
        ui->cbFrontBackMerging->setEnabled(false);
    else
        ui->cbFrontBackMerging->setEnabled(!ComboIs(ui->cmMode, SaneValue::kMultiImageOutput));
}

void WyScannerOptionsWidget::OnFrontBackMergingChanged()
{
    ResolutionOpt();
    if (ui->cbLongPage->isChecked())
        SetToMaximum();
    SheetFedRules::FrontBackMergingChanged(m_shared);
}

void WyScannerOptionsWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        RetranslateValueNames();
    }
    SheetFedOptionsWidget::changeEvent(event);
}
