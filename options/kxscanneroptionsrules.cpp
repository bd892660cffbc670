// The dependency rules of the family Kx panel: one function per trigger
// widget, connected by InitWidgetEvent.
#include "kxscanneroptionswidget.h"

#include "optionwidget.h"
#include "ui_kxscanneroptionswidget.h"

namespace {

using OptionWidget::ComboValue;
using OptionWidget::SetEnabled;

bool Is(const QComboBox* combo, const char* value)
{
    return ComboValue(combo) == QLatin1String(value);
}

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
    return Is(ui->cmPageAutoPriority, "Accuracy");
}

bool KxScannerOptionsWidget::BlackBackground() const
{
    return Is(ui->cmBgcolor, "Black");
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
    SheetFedRules::ModeChanged(m_shared);
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
        SetEnabled({ui->cbMultifeedDetection, ui->cbBlankPageSkip, ui->sbBlankPageSkipSensitivity,
                    ui->cmBgcolor, ui->cmPageAutoPriority},
                   false);
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
    if (SheetFedRules::SameBand(m_resolutionBands, old, resolution))
        return;
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
    SheetFedRules::BwModeChanged(m_shared);
}

void KxScannerOptionsWidget::OnBlankPageSkipChanged()
{
    SheetFedRules::BlankPageSkipChanged(m_shared);
}

void KxScannerOptionsWidget::OnToneAdjustmentChanged()
{
    SheetFedRules::ToneAdjustmentChanged(m_shared);
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
    SheetFedRules::FrontBackMergingChanged(m_shared);
    if (On(ui->cbFrontBackMerging))
        ui->cbEdgeRepair->setEnabled(false);
    else
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && PriorityOk() && ui->cmBgcolor->isEnabled() &&
                                     BlackBackground());
}

void KxScannerOptionsWidget::OnColorCleanupChanged()
{
    SheetFedRules::ColorCleanupChanged(m_shared);
}

void KxScannerOptionsWidget::OnBgcolorChanged()
{
    if (Is(ui->cmBgcolor, "White")) {
        SetEnabled({ui->cmPageAutoPriority, ui->cbEdgeRepair, ui->cbHolePunchRemoval,
                    ui->cmHolePunchRemovalFillColor, ui->cmHolePunchRemovalMode},
                   false);
    } else if (Is(ui->cmBgcolor, "Black")) {
        ui->cmPageAutoPriority->setEnabled(PageAutoOn() && m_hasPageAutoPriority);
        ui->cbEdgeRepair->setEnabled(PageAutoOn() && !MergeOn() && PriorityOk());
        ui->cbHolePunchRemoval->setEnabled(true);
        UpdateHolePunchWidgets(true);
    }
    DisableWidgetsNotInDirver();
}
