// The dependency rules of the family Kx panel: one function per trigger
// widget, connected by InitWidgetEvent.
#include "kxscanneroptionswidget.h"

#include "optionwidget.h"
#include "saneoptions.h"
#include "ui_kxscanneroptionswidget.h"

namespace {

using OptionWidget::ComboIs;
using OptionWidget::ComboValue;
using OptionWidget::SetEnabled;

bool On(const QAbstractButton* box)
{
    return box->isChecked();
}

bool OnAndActive(const QAbstractButton* box)
{
    return box->isEnabled() && box->isChecked();
}

} // namespace

void KxScannerOptionsWidget::InitWidgetEvent()
{
    const QList<QWidget*> triggers{ui->cmSource,     ui->sbResolution,       ui->cmPaperSize,
                                   ui->cbPageAuto,   ui->cmPageAutoPriority, ui->cbHolePunchRemoval,
                                   ui->cbSplitImage, ui->cbFrontBackMerging, ui->cmBgcolor};
    for (QWidget* trigger : triggers)
        disconnect(trigger, nullptr, this, nullptr);
    ConnectSharedRules();

    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->cmSource, comboChanged, this, &KxScannerOptionsWidget::OnSourceChanged);
    connect(ui->sbResolution, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &KxScannerOptionsWidget::OnResolutionChanged);
    connect(ui->cmPaperSize, comboChanged, this, &KxScannerOptionsWidget::OnPaperSizeChanged);
    connect(ui->cbPageAuto, &QCheckBox::stateChanged, this, &KxScannerOptionsWidget::OnPageAutoChanged);
    connect(ui->cmPageAutoPriority, comboChanged, this, &KxScannerOptionsWidget::OnPageAutoPriorityChanged);
    connect(ui->cbHolePunchRemoval, &QCheckBox::stateChanged, this,
            &KxScannerOptionsWidget::OnHolePunchRemovalChanged);
    connect(ui->cbSplitImage, &QCheckBox::stateChanged, this, &KxScannerOptionsWidget::OnSplitImageChanged);
    connect(ui->cbFrontBackMerging, &QCheckBox::stateChanged, this,
            &KxScannerOptionsWidget::OnFrontBackMergingChanged);
    connect(ui->cmBgcolor, comboChanged, this, &KxScannerOptionsWidget::OnBgcolorChanged);
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
        return ComboValue(ui->cmPageAutoPriority).isEmpty();
    return ComboIs(ui->cmPageAutoPriority, SaneValue::kAccuracy);
}

bool KxScannerOptionsWidget::BlackBackground() const
{
    return ComboIs(ui->cmBgcolor, SaneValue::kBlack);
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

void KxScannerOptionsWidget::OnSourceChanged()
{
    m_flatbedSelected = ComboIs(ui->cmSource, SaneValue::kFlatbed);
    const bool pageAuto = On(ui->cbPageAuto);
    if (m_flatbedSelected) {
        ui->cbFrontBackMerging->setEnabled(false);
        ui->cmPaperSize->setEnabled(false);
        SetComboboxValue(ui->cmPaperSize, SaneValue::kCustom);
        SetCustomSizeEnabled(!pageAuto);
        if (!pageAuto)
            ResolutionOpt();
        SetEnabled({ui->cbMultifeedDetection, ui->cbBlankPageSkip, ui->sbBlankPageSkipSensitivity,
                    ui->cmBgcolor, ui->cmPageAutoPriority},
                   false);
        ui->cbEdgeRepair->setEnabled(pageAuto);
        ui->cbHolePunchRemoval->setEnabled(true);
        UpdateHolePunchWidgets(true);
    } else {
        ui->cbFrontBackMerging->setEnabled(!OnAndActive(ui->cbSplitImage) &&
                                           !ComboIs(ui->cmMode, SaneValue::kMultiImageOutput));
        ui->cmPaperSize->setEnabled(!pageAuto);
        const bool custom =
            !pageAuto && ui->cmPaperSize->isEnabled() && ComboIs(ui->cmPaperSize, SaneValue::kCustom);
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
    if (!LeavesResolutionBand(resolution))
        return;
    if (!On(ui->cbPageAuto) && ui->cbPageAuto->isEnabled() && ui->cmPaperSize->isEnabled() &&
        ComboIs(ui->cmPaperSize, SaneValue::kCustom))
        ResolutionOpt();
}

void KxScannerOptionsWidget::OnPaperSizeChanged()
{
    const bool custom = ComboIs(ui->cmPaperSize, SaneValue::kCustom);
    SetCustomSizeEnabled(custom);
    if (custom)
        ResolutionOpt();
}

void KxScannerOptionsWidget::OnPageAutoChanged()
{
    const bool flatbed = ComboIs(ui->cmSource, SaneValue::kFlatbed);
    if (On(ui->cbPageAuto)) {
        ui->cmPaperSize->setEnabled(false);
        if (flatbed)
            SetComboboxValue(ui->cmPaperSize, SaneValue::kCustom);
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
            SetComboboxValue(ui->cmPaperSize, SaneValue::kCustom);
            SetCustomSizeEnabled(true);
            ResolutionOpt();
        } else {
            ui->cmPaperSize->setEnabled(true);
            const bool custom = ComboIs(ui->cmPaperSize, SaneValue::kCustom);
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
    if (ComboIs(ui->cmPageAutoPriority, SaneValue::kSpeed))
        ui->cbEdgeRepair->setEnabled(false);
    else if (ComboIs(ui->cmPageAutoPriority, SaneValue::kAccuracy))
        ui->cbEdgeRepair->setEnabled(!MergeOn());
    DisableWidgetsNotInDirver();
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
        ui->cbFrontBackMerging->setEnabled(!ComboIs(ui->cmSource, SaneValue::kFlatbed) &&
                                           !ComboIs(ui->cmMode, SaneValue::kMultiImageOutput));
}

void KxScannerOptionsWidget::OnFrontBackMergingChanged()
{
    ResolutionOpt();
    SheetFedRules::FrontBackMergingChanged(m_shared);
    if (On(ui->cbFrontBackMerging))
        ui->cbEdgeRepair->setEnabled(false);
    else
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && PriorityOk() && ui->cmBgcolor->isEnabled() &&
                                     BlackBackground());
}

void KxScannerOptionsWidget::OnBgcolorChanged()
{
    if (ComboIs(ui->cmBgcolor, SaneValue::kWhite)) {
        SetEnabled({ui->cmPageAutoPriority, ui->cbEdgeRepair, ui->cbHolePunchRemoval,
                    ui->cmHolePunchRemovalFillColor, ui->cmHolePunchRemovalMode},
                   false);
    } else if (ComboIs(ui->cmBgcolor, SaneValue::kBlack)) {
        ui->cmPageAutoPriority->setEnabled(PageAutoOn() && m_hasPageAutoPriority);
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && !MergeOn() && PriorityOk());
        ui->cbHolePunchRemoval->setEnabled(true);
        UpdateHolePunchWidgets(true);
    }
    DisableWidgetsNotInDirver();
}
