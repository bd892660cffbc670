#include "sheetfedrules.h"

#include "gdata.h"
#include "optionwidget.h"
#include "parentscanneroptions.h"
#include "saneoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QSpinBox>

namespace SheetFedRules {

namespace {

using OptionWidget::ComboIs;
using OptionWidget::ComboValue;
using OptionWidget::SetEnabled;

// Item of the mode and rotation lists that front/back merging cannot use.
constexpr int kMergeBlockedItem = 4;

constexpr int kLowestResolution = 50;
// The feeder height limit of a resolution outside every band: A4's height.
const char kHeightLimitOutsideBands[] = "297.0";

} // namespace

bool IsColourMode(const SheetFedWidgets& w)
{
    return ParentScannerOptions::IsColourMode(ComboValue(w.cmMode));
}

void SetToneGroupEnabled(const SheetFedWidgets& w, bool enabled)
{
    SetEnabled({w.sbShadow, w.sbHighlight, w.dsbGamma, w.sbContrast, w.sbBrightness}, enabled);
}

void ModeChanged(const SheetFedWidgets& w)
{
    const bool line = ComboIs(w.cmMode, SaneValue::kLineart);
    const bool colour = IsColourMode(w);
    const bool multi = ComboIs(w.cmMode, SaneValue::kMultiImageOutput);
    const bool idtc = ComboIs(w.cmBwMode, SaneValue::kIdtc);

    w.cmBwMode->setEnabled(line);
    SetEnabled({w.sbBWIDTCSensitivity, w.sbBWIDTCBGThreshold}, line && idtc);
    w.cmBwSdtcVariance->setEnabled(line && ComboIs(w.cmBwMode, SaneValue::kSdtc));
    w.sbThreshold->setEnabled(line && ComboIs(w.cmBwMode, SaneValue::kThreshold));

    const bool toneAllowed = line ? !idtc : true;
    w.cmToneAdjustment->setEnabled(toneAllowed);
    SetToneGroupEnabled(w, toneAllowed && ComboIs(w.cmToneAdjustment, SaneValue::kCustom));

    const bool sharpAllowed = line ? !idtc : colour;
    w.cmCleanupSharpness->setCurrentIndex(0);
    w.cmCleanupSharpness->setEnabled(sharpAllowed);
    if (sharpAllowed)
        ParentScannerOptions::CleanupSharpnessOpt(w.cmCleanupSharpness, ComboValue(w.cmMode));

    w.cmDropOutColor->setEnabled(!colour);
    if (w.cmJpegQuality)
        w.cmJpegQuality->setEnabled(!line);
    w.cmColorCleanup->setEnabled(!line);
    w.sbColorCleanupCleanness->setEnabled(!line && !ComboIs(w.cmColorCleanup, SaneValue::kNone));
    w.cmMultiImageOutputList->setEnabled(multi);

    if (multi)
        w.cbFrontBackMerging->setEnabled(false);
    else
        w.cbFrontBackMerging->setEnabled(!ComboIs(w.cmSource, SaneValue::kFlatbed) &&
                                         !w.cbSplitImage->isChecked());
    const bool mergeOn = w.cbFrontBackMerging->isEnabled() && w.cbFrontBackMerging->isChecked();
    SetEnabled({w.cmBackSideLocation, w.cmBackSideRotation}, mergeOn);
}

void BwModeChanged(const SheetFedWidgets& w)
{
    const bool idtc = ComboIs(w.cmBwMode, SaneValue::kIdtc);
    SetEnabled({w.sbBWIDTCSensitivity, w.sbBWIDTCBGThreshold}, idtc);
    w.cmBwSdtcVariance->setEnabled(ComboIs(w.cmBwMode, SaneValue::kSdtc));
    w.sbThreshold->setEnabled(ComboIs(w.cmBwMode, SaneValue::kThreshold));
    w.cmToneAdjustment->setEnabled(!idtc);
    SetToneGroupEnabled(w, !idtc && ComboIs(w.cmToneAdjustment, SaneValue::kCustom));
    w.cmCleanupSharpness->setEnabled(!idtc);
    if (!idtc)
        ParentScannerOptions::CleanupSharpnessOpt(w.cmCleanupSharpness, ComboValue(w.cmMode));
}

void ToneAdjustmentChanged(const SheetFedWidgets& w)
{
    SetToneGroupEnabled(w, ComboIs(w.cmToneAdjustment, SaneValue::kCustom));
}

void BlankPageSkipChanged(const SheetFedWidgets& w)
{
    w.sbBlankPageSkipSensitivity->setEnabled(w.cbBlankPageSkip->isChecked());
}

void ColorCleanupChanged(const SheetFedWidgets& w)
{
    w.sbColorCleanupCleanness->setEnabled(!ComboIs(w.cmColorCleanup, SaneValue::kNone));
}

void FrontBackMergingChanged(const SheetFedWidgets& w)
{
    const bool merging = w.cbFrontBackMerging->isChecked();
    w.cmSource->setEnabled(!merging);
    w.cmRotation->setEnabled(true);
    if (merging && w.cmRotation->currentIndex() == kMergeBlockedItem)
        w.cmRotation->setCurrentIndex(0);
    ParentScannerOptions::SetComboItemEnabled(w.cmRotation, kMergeBlockedItem, !merging);
    ParentScannerOptions::SetComboItemEnabled(w.cmMode, kMergeBlockedItem, !merging);
    w.cbSplitImage->setEnabled(!merging);
    SetEnabled({w.cmBackSideLocation, w.cmBackSideRotation}, merging);
}

bool SameBand(const ResolutionBands& bands, int oldResolution, int newResolution)
{
    for (const auto& band : bands) {
        if (band.first <= oldResolution && oldResolution <= band.second && band.first <= newResolution &&
            newResolution <= band.second)
            return true;
    }
    return false;
}

QString FeederHeightLimit(const ResolutionBands& bands, int resolution)
{
    // The lowest band starts at 51 for change detection, but the lowest
    // resolution belongs to it here.
    for (int i = 0; i < bands.size(); ++i) {
        const int low = i == 0 ? kLowestResolution : bands.at(i).first;
        if (low <= resolution && resolution <= bands.at(i).second)
            return GData::ctx().m_resMaxHeight.value(QString::number(bands.at(i).second));
    }
    return QLatin1String(kHeightLimitOutsideBands);
}

int TotalScanCount(const SheetFedWidgets& w)
{
    if (ComboIs(w.cmSource, SaneValue::kFlatbed))
        return 0;
    int count = 1;
    if (w.cbSplitImage->isChecked())
        count *= 2;
    if (ComboIs(w.cmMode, SaneValue::kMultiImageOutput))
        count *= 2;
    return count;
}

bool IsReturnKeyPress(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace SheetFedRules
