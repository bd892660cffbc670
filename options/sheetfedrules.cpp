#include "sheetfedrules.h"

#include "gdata.h"
#include "optionwidget.h"
#include "parentscanneroptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QSpinBox>

namespace SheetFedRules {

namespace {

using OptionWidget::ComboValue;
using OptionWidget::SetEnabled;

bool Is(const QComboBox* combo, const char* value)
{
    return ComboValue(combo) == QLatin1String(value);
}

// Item of the mode and rotation lists that front/back merging cannot use.
constexpr int kMergeBlockedItem = 4;

} // namespace

bool IsColourMode(const SheetFedWidgets& w)
{
    return Is(w.cmMode, "Color") || Is(w.cmMode, "Auto-color-detect") || Is(w.cmMode, "Multi-image-output");
}

void SetToneGroupEnabled(const SheetFedWidgets& w, bool enabled)
{
    SetEnabled({w.sbShadow, w.sbHighlight, w.dsbGamma, w.sbContrast, w.sbBrightness}, enabled);
}

void ModeChanged(const SheetFedWidgets& w)
{
    const bool line = Is(w.cmMode, "Lineart");
    const bool colour = IsColourMode(w);
    const bool multi = Is(w.cmMode, "Multi-image-output");
    const bool idtc = Is(w.cmBwMode, "iDTC");

    w.cmBwMode->setEnabled(line);
    SetEnabled({w.sbBWIDTCSensitivity, w.sbBWIDTCBGThreshold}, line && idtc);
    w.cmBwSdtcVariance->setEnabled(line && Is(w.cmBwMode, "SDTC"));
    w.sbThreshold->setEnabled(line && Is(w.cmBwMode, "Threshold"));

    const bool toneAllowed = line ? !idtc : true;
    w.cmToneAdjustment->setEnabled(toneAllowed);
    SetToneGroupEnabled(w, toneAllowed && Is(w.cmToneAdjustment, "Custom"));

    const bool sharpAllowed = line ? !idtc : colour;
    w.cmCleanupSharpness->setCurrentIndex(0);
    w.cmCleanupSharpness->setEnabled(sharpAllowed);
    if (sharpAllowed)
        ParentScannerOptions::CleanupSharpnessOpt(w.cmCleanupSharpness, ComboValue(w.cmMode));

    w.cmDropOutColor->setEnabled(!colour);
    if (w.cmJpegQuality)
        w.cmJpegQuality->setEnabled(!line);
    w.cmColorCleanup->setEnabled(!line);
    w.sbColorCleanupCleanness->setEnabled(!line && !Is(w.cmColorCleanup, "None"));
    w.cmMultiImageOutputList->setEnabled(multi);

    if (multi)
        w.cbFrontBackMerging->setEnabled(false);
    else
        w.cbFrontBackMerging->setEnabled(!Is(w.cmSource, "Flatbed") && !w.cbSplitImage->isChecked());
    const bool mergeOn = w.cbFrontBackMerging->isEnabled() && w.cbFrontBackMerging->isChecked();
    SetEnabled({w.cmBackSideLocation, w.cmBackSideRotation}, mergeOn);
}

void BwModeChanged(const SheetFedWidgets& w)
{
    const bool idtc = Is(w.cmBwMode, "iDTC");
    SetEnabled({w.sbBWIDTCSensitivity, w.sbBWIDTCBGThreshold}, idtc);
    w.cmBwSdtcVariance->setEnabled(Is(w.cmBwMode, "SDTC"));
    w.sbThreshold->setEnabled(Is(w.cmBwMode, "Threshold"));
    w.cmToneAdjustment->setEnabled(!idtc);
    SetToneGroupEnabled(w, !idtc && Is(w.cmToneAdjustment, "Custom"));
    w.cmCleanupSharpness->setEnabled(!idtc);
    if (!idtc)
        ParentScannerOptions::CleanupSharpnessOpt(w.cmCleanupSharpness, ComboValue(w.cmMode));
}

void ToneAdjustmentChanged(const SheetFedWidgets& w)
{
    SetToneGroupEnabled(w, Is(w.cmToneAdjustment, "Custom"));
}

void BlankPageSkipChanged(const SheetFedWidgets& w)
{
    w.sbBlankPageSkipSensitivity->setEnabled(w.cbBlankPageSkip->isChecked());
}

void ColorCleanupChanged(const SheetFedWidgets& w)
{
    w.sbColorCleanupCleanness->setEnabled(!Is(w.cmColorCleanup, "None"));
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
    // The lowest band starts at 51 for change detection, but 50 dpi belongs to it here.
    for (int i = 0; i < bands.size(); ++i) {
        const int low = i == 0 ? 50 : bands.at(i).first;
        if (low <= resolution && resolution <= bands.at(i).second)
            return GData::ctx().m_resMaxHeight.value(QString::number(bands.at(i).second));
    }
    return QStringLiteral("297.0");
}

int TotalScanCount(const SheetFedWidgets& w)
{
    if (Is(w.cmSource, "Flatbed"))
        return 0;
    int count = 1;
    if (w.cbSplitImage->isChecked())
        count *= 2;
    if (Is(w.cmMode, "Multi-image-output"))
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
