// The dependency rules of the family Kx panel: one function per trigger
// widget, connected by InitWidgetEvent.
#include "kxscanneroptionswidget.h"

#include "ui_kxscanneroptionswidget.h"

namespace {

QString Value(const QComboBox* combo)
{
    return combo->currentData(Qt::UserRole).toString();
}

bool Is(const QComboBox* combo, const char* value)
{
    return Value(combo) == QLatin1String(value);
}

bool On(const QAbstractButton* box)
{
    return box->isChecked();
}

bool OnAndActive(const QAbstractButton* box)
{
    return box->isEnabled() && box->isChecked();
}

constexpr int kMergeBlockedItem = 4;

} // namespace

void KxScannerOptionsWidget::InitWidgetEvent()
{
    const QList<QWidget*> triggers{
        ui->cmMode,           ui->cmSource,           ui->sbResolution, ui->cmPaperSize,
        ui->cbPageAuto,       ui->cmPageAutoPriority, ui->cmBwMode,     ui->cbBlankPageSkip,
        ui->cmToneAdjustment, ui->cbHolePunchRemoval, ui->cbSplitImage, ui->cbFrontBackMerging,
        ui->cmColorCleanup,   ui->cmBgcolor};
    for (QWidget* trigger : triggers)
        disconnect(trigger, nullptr, this, nullptr);
    m_lastResolution = ui->sbResolution->value();

    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->cmMode, comboChanged, this, &KxScannerOptionsWidget::OnModeChanged);
    connect(ui->cmSource, comboChanged, this, &KxScannerOptionsWidget::OnSourceChanged);
    connect(ui->sbResolution, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &KxScannerOptionsWidget::OnResolutionChanged);
    connect(ui->cmPaperSize, comboChanged, this, &KxScannerOptionsWidget::OnPaperSizeChanged);
    connect(ui->cbPageAuto, &QCheckBox::stateChanged, this, &KxScannerOptionsWidget::OnPageAutoChanged);
    connect(ui->cmPageAutoPriority, comboChanged, this, &KxScannerOptionsWidget::OnPageAutoPriorityChanged);
    connect(ui->cmBwMode, comboChanged, this, &KxScannerOptionsWidget::OnBwModeChanged);
    connect(ui->cbBlankPageSkip, &QCheckBox::stateChanged, this,
            &KxScannerOptionsWidget::OnBlankPageSkipChanged);
    connect(ui->cmToneAdjustment, comboChanged, this, &KxScannerOptionsWidget::OnToneAdjustmentChanged);
    connect(ui->cbHolePunchRemoval, &QCheckBox::stateChanged, this,
            &KxScannerOptionsWidget::OnHolePunchRemovalChanged);
    connect(ui->cbSplitImage, &QCheckBox::stateChanged, this, &KxScannerOptionsWidget::OnSplitImageChanged);
    connect(ui->cbFrontBackMerging, &QCheckBox::stateChanged, this,
            &KxScannerOptionsWidget::OnFrontBackMergingChanged);
    connect(ui->cmColorCleanup, comboChanged, this, &KxScannerOptionsWidget::OnColorCleanupChanged);
    connect(ui->cmBgcolor, comboChanged, this, &KxScannerOptionsWidget::OnBgcolorChanged);
}

bool KxScannerOptionsWidget::IsColourMode() const
{
    return Is(ui->cmMode, "Color") || Is(ui->cmMode, "Auto-color-detect") ||
           Is(ui->cmMode, "Multi-image-output");
}

bool KxScannerOptionsWidget::PageAutoOn() const
{
    return OnAndActive(ui->cbPageAuto);
}

bool KxScannerOptionsWidget::MergeOn() const
{
    return OnAndActive(ui->cbFrontBackMerging);
}

bool KxScannerOptionsWidget::PriorityOk() const
{
    if (!ui->cmPageAutoPriority->isEnabled())
        return Value(ui->cmPageAutoPriority).isEmpty();
    return Is(ui->cmPageAutoPriority, "Accuracy");
}

bool KxScannerOptionsWidget::BlackBackground() const
{
    return Is(ui->cmBgcolor, "Black");
}

void KxScannerOptionsWidget::SetToneGroupEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(ui->sbShadow), static_cast<QWidget*>(ui->sbHighlight),
                       static_cast<QWidget*>(ui->dsbGamma), static_cast<QWidget*>(ui->sbContrast),
                       static_cast<QWidget*>(ui->sbBrightness)})
        w->setEnabled(enabled);
}

void KxScannerOptionsWidget::SetCustomSizeEnabled(bool enabled)
{
    ui->dsbBrx->setEnabled(enabled);
    ui->dsbBry->setEnabled(enabled);
}

void KxScannerOptionsWidget::UpdateHolePunchWidgets(bool allowed)
{
    ui->cmHolePunchRemovalFillColor->setEnabled(allowed && On(ui->cbHolePunchRemoval));
    ui->cmHolePunchRemovalMode->setEnabled(allowed && On(ui->cbHolePunchRemoval) && m_hasHolePunchMode);
}

void KxScannerOptionsWidget::OnModeChanged()
{
    const bool line = Is(ui->cmMode, "Lineart");
    const bool colour = IsColourMode();
    const bool multi = Is(ui->cmMode, "Multi-image-output");
    const bool idtc = Is(ui->cmBwMode, "iDTC");

    ui->cmBwMode->setEnabled(line);
    ui->sbBWIDTCSensitivity->setEnabled(line && idtc);
    ui->sbBWIDTCBGThreshold->setEnabled(line && idtc);
    ui->cmBwSdtcVariance->setEnabled(line && Is(ui->cmBwMode, "SDTC"));
    ui->sbThreshold->setEnabled(line && Is(ui->cmBwMode, "Threshold"));

    const bool toneAllowed = line ? !idtc : true;
    ui->cmToneAdjustment->setEnabled(toneAllowed);
    SetToneGroupEnabled(toneAllowed && Is(ui->cmToneAdjustment, "Custom"));

    const bool sharpAllowed = line ? !idtc : colour;
    ui->cmCleanupSharpness->setCurrentIndex(0);
    ui->cmCleanupSharpness->setEnabled(sharpAllowed);
    if (sharpAllowed)
        CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());

    ui->cmDropOutColor->setEnabled(!colour);
    ui->cmJpegQuality->setEnabled(!line);
    ui->cmColorCleanup->setEnabled(!line);
    ui->sbColorCleanupCleanness->setEnabled(!line && !Is(ui->cmColorCleanup, "None"));
    ui->cmMultiImageOutputList->setEnabled(multi);

    if (multi)
        ui->cbFrontBackMerging->setEnabled(false);
    else
        ui->cbFrontBackMerging->setEnabled(!Is(ui->cmSource, "Flatbed") && !On(ui->cbSplitImage));
    ui->cmBackSideLocation->setEnabled(MergeOn());
    ui->cmBackSideRotation->setEnabled(MergeOn());
}

void KxScannerOptionsWidget::OnSourceChanged()
{
    m_flatbedSelected = Is(ui->cmSource, "Flatbed");
    const bool pageAuto = On(ui->cbPageAuto);
    if (m_flatbedSelected) {
        ui->cbFrontBackMerging->setEnabled(false);
        ui->cmPaperSize->setEnabled(false);
        SetComboboxValue(ui->cmPaperSize, QStringLiteral("Custom"));
        SetCustomSizeEnabled(!pageAuto);
        if (!pageAuto)
            ResolutionOpt();
        for (QWidget* w :
             {static_cast<QWidget*>(ui->cbMultifeedDetection), static_cast<QWidget*>(ui->cbBlankPageSkip),
              static_cast<QWidget*>(ui->sbBlankPageSkipSensitivity), static_cast<QWidget*>(ui->cmBgcolor),
              static_cast<QWidget*>(ui->cmPageAutoPriority)})
            w->setEnabled(false);
        ui->cbEdgeRepair->setEnabled(pageAuto);
        ui->cbHolePunchRemoval->setEnabled(true);
        UpdateHolePunchWidgets(true);
    } else {
        ui->cbFrontBackMerging->setEnabled(!OnAndActive(ui->cbSplitImage) &&
                                           !Is(ui->cmMode, "Multi-image-output"));
        ui->cmPaperSize->setEnabled(!pageAuto);
        const bool custom = !pageAuto && ui->cmPaperSize->isEnabled() && Is(ui->cmPaperSize, "Custom");
        SetCustomSizeEnabled(custom);
        if (custom)
            ResolutionOpt();
        ui->cbMultifeedDetection->setEnabled(true);
        ui->cbBlankPageSkip->setEnabled(true);
        ui->cmBgcolor->setEnabled(true);
        ui->sbBlankPageSkipSensitivity->setEnabled(On(ui->cbBlankPageSkip));
        const bool black = BlackBackground();
        ui->cmPageAutoPriority->setEnabled(pageAuto && black && m_hasPageAutoPriority);
        ui->cbEdgeRepair->setEnabled(pageAuto && black && PriorityOk());
        ui->cbHolePunchRemoval->setEnabled(black);
        UpdateHolePunchWidgets(black);
    }
    DisableWidgetsNotInDirver();
}

void KxScannerOptionsWidget::OnResolutionChanged(int resolution)
{
    const int old = m_lastResolution;
    m_lastResolution = resolution;
    for (const auto& band : qAsConst(m_resolutionBands)) {
        if (band.first <= old && old <= band.second && band.first <= resolution && resolution <= band.second)
            return;
    }
    if (!On(ui->cbPageAuto) && ui->cbPageAuto->isEnabled() && ui->cmPaperSize->isEnabled() &&
        Is(ui->cmPaperSize, "Custom"))
        ResolutionOpt();
}

void KxScannerOptionsWidget::OnPaperSizeChanged()
{
    const bool custom = Is(ui->cmPaperSize, "Custom");
    SetCustomSizeEnabled(custom);
    if (custom)
        ResolutionOpt();
}

void KxScannerOptionsWidget::OnPageAutoChanged()
{
    const bool flatbed = Is(ui->cmSource, "Flatbed");
    if (On(ui->cbPageAuto)) {
        ui->cmPaperSize->setEnabled(false);
        if (flatbed)
            SetComboboxValue(ui->cmPaperSize, QStringLiteral("Custom"));
        SetCustomSizeEnabled(false);
        const bool black = ui->cmBgcolor->isEnabled() && BlackBackground();
        ui->cmPageAutoPriority->setEnabled(black && !(!ui->cmSource->isEnabled() && flatbed) &&
                                           m_hasPageAutoPriority);
        if (MergeOn() || !ui->cmSource->isEnabled())
            ui->cbEdgeRepair->setEnabled(false);
        else
            ui->cbEdgeRepair->setEnabled(flatbed || (PriorityOk() && black));
    } else {
        if (flatbed) {
            ui->cmPaperSize->setEnabled(false);
            SetComboboxValue(ui->cmPaperSize, QStringLiteral("Custom"));
            SetCustomSizeEnabled(true);
            ResolutionOpt();
        } else {
            ui->cmPaperSize->setEnabled(true);
            const bool custom = Is(ui->cmPaperSize, "Custom");
            SetCustomSizeEnabled(custom);
            if (custom)
                ResolutionOpt();
        }
        ui->cmPageAutoPriority->setEnabled(false);
        ui->cbEdgeRepair->setEnabled(false);
    }
    DisableWidgetsNotInDirver();
}

void KxScannerOptionsWidget::OnPageAutoPriorityChanged()
{
    if (Is(ui->cmPageAutoPriority, "Speed"))
        ui->cbEdgeRepair->setEnabled(false);
    else if (Is(ui->cmPageAutoPriority, "Accuracy"))
        ui->cbEdgeRepair->setEnabled(!MergeOn());
    DisableWidgetsNotInDirver();
}

void KxScannerOptionsWidget::OnBwModeChanged()
{
    const bool idtc = Is(ui->cmBwMode, "iDTC");
    ui->sbBWIDTCSensitivity->setEnabled(idtc);
    ui->sbBWIDTCBGThreshold->setEnabled(idtc);
    ui->cmBwSdtcVariance->setEnabled(Is(ui->cmBwMode, "SDTC"));
    ui->sbThreshold->setEnabled(Is(ui->cmBwMode, "Threshold"));
    ui->cmToneAdjustment->setEnabled(!idtc);
    SetToneGroupEnabled(!idtc && Is(ui->cmToneAdjustment, "Custom"));
    ui->cmCleanupSharpness->setEnabled(!idtc);
    if (!idtc)
        CleanupSharpnessOpt(ui->cmCleanupSharpness, GetMode());
}

void KxScannerOptionsWidget::OnBlankPageSkipChanged()
{
    ui->sbBlankPageSkipSensitivity->setEnabled(On(ui->cbBlankPageSkip));
}

void KxScannerOptionsWidget::OnToneAdjustmentChanged()
{
    SetToneGroupEnabled(Is(ui->cmToneAdjustment, "Custom"));
}

void KxScannerOptionsWidget::OnHolePunchRemovalChanged()
{
    UpdateHolePunchWidgets(true);
}

void KxScannerOptionsWidget::OnSplitImageChanged()
{
    if (On(ui->cbSplitImage))
        ui->cbFrontBackMerging->setEnabled(false);
    else
        ui->cbFrontBackMerging->setEnabled(!Is(ui->cmSource, "Flatbed") &&
                                           !Is(ui->cmMode, "Multi-image-output"));
}

void KxScannerOptionsWidget::OnFrontBackMergingChanged()
{
    ResolutionOpt();
    const bool merging = On(ui->cbFrontBackMerging);
    ui->cmSource->setEnabled(!merging);
    ui->cmRotation->setEnabled(true);
    if (merging && ui->cmRotation->currentIndex() == kMergeBlockedItem)
        ui->cmRotation->setCurrentIndex(0);
    SetComboItemEnabled(ui->cmRotation, kMergeBlockedItem, !merging);
    SetComboItemEnabled(ui->cmMode, kMergeBlockedItem, !merging);
    ui->cbSplitImage->setEnabled(!merging);
    if (merging)
        ui->cbEdgeRepair->setEnabled(false);
    else
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && PriorityOk() && ui->cmBgcolor->isEnabled() &&
                                     BlackBackground());
    ui->cmBackSideLocation->setEnabled(merging);
    ui->cmBackSideRotation->setEnabled(merging);
}

void KxScannerOptionsWidget::OnColorCleanupChanged()
{
    ui->sbColorCleanupCleanness->setEnabled(!Is(ui->cmColorCleanup, "None"));
}

void KxScannerOptionsWidget::OnBgcolorChanged()
{
    if (Is(ui->cmBgcolor, "White")) {
        for (QWidget* w :
             {static_cast<QWidget*>(ui->cmPageAutoPriority), static_cast<QWidget*>(ui->cbEdgeRepair),
              static_cast<QWidget*>(ui->cbHolePunchRemoval),
              static_cast<QWidget*>(ui->cmHolePunchRemovalFillColor),
              static_cast<QWidget*>(ui->cmHolePunchRemovalMode)})
            w->setEnabled(false);
    } else if (Is(ui->cmBgcolor, "Black")) {
        ui->cmPageAutoPriority->setEnabled(PageAutoOn() && m_hasPageAutoPriority);
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && !MergeOn() && PriorityOk());
        ui->cbHolePunchRemoval->setEnabled(true);
        UpdateHolePunchWidgets(true);
    }
    DisableWidgetsNotInDirver();
}
