#pragma once

#include <QPair>
#include <QString>
#include <QVector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QEvent;
class QSpinBox;
class QTabWidget;

// The widgets both sheet-fed panels (families Kx and Wy) have under the same
// object names, so that the rules they share are written once.
struct SheetFedWidgets {
    QTabWidget* twOptions = nullptr;
    QComboBox* cmSource = nullptr;
    QComboBox* cmMode = nullptr;
    QComboBox* cmMultiImageOutputList = nullptr;
    QComboBox* cmBwMode = nullptr;
    QComboBox* cmBwSdtcVariance = nullptr;
    QComboBox* cmToneAdjustment = nullptr;
    QComboBox* cmCleanupSharpness = nullptr;
    QComboBox* cmDropOutColor = nullptr;
    QComboBox* cmColorCleanup = nullptr;
    QComboBox* cmRotation = nullptr;
    QComboBox* cmBackSideLocation = nullptr;
    QComboBox* cmBackSideRotation = nullptr;
    QComboBox* cmPaperSize = nullptr;
    QComboBox* cmCropping = nullptr;
    QComboBox* cmJpegQuality = nullptr; // family Kx only
    QSpinBox* sbResolution = nullptr;
    QSpinBox* sbBWIDTCSensitivity = nullptr;
    QSpinBox* sbBWIDTCBGThreshold = nullptr;
    QSpinBox* sbThreshold = nullptr;
    QSpinBox* sbShadow = nullptr;
    QSpinBox* sbHighlight = nullptr;
    QSpinBox* sbContrast = nullptr;
    QSpinBox* sbBrightness = nullptr;
    QSpinBox* sbBlankPageSkipSensitivity = nullptr;
    QSpinBox* sbColorCleanupCleanness = nullptr;
    QDoubleSpinBox* dsbGamma = nullptr;
    QDoubleSpinBox* dsbBrx = nullptr;
    QDoubleSpinBox* dsbBry = nullptr;
    QCheckBox* cbPageAuto = nullptr;
    QCheckBox* cbMultifeedDetection = nullptr;
    QCheckBox* cbSplitImage = nullptr;
    QCheckBox* cbFrontBackMerging = nullptr;
    QCheckBox* cbBlankPageSkip = nullptr;

    template <typename Ui> static SheetFedWidgets FromUi(Ui* ui)
    {
        SheetFedWidgets w;
        w.twOptions = ui->twOptions;
        w.cmSource = ui->cmSource;
        w.cmMode = ui->cmMode;
        w.cmMultiImageOutputList = ui->cmMultiImageOutputList;
        w.cmBwMode = ui->cmBwMode;
        w.cmBwSdtcVariance = ui->cmBwSdtcVariance;
        w.cmToneAdjustment = ui->cmToneAdjustment;
        w.cmCleanupSharpness = ui->cmCleanupSharpness;
        w.cmDropOutColor = ui->cmDropOutColor;
        w.cmColorCleanup = ui->cmColorCleanup;
        w.cmRotation = ui->cmRotation;
        w.cmBackSideLocation = ui->cmBackSideLocation;
        w.cmBackSideRotation = ui->cmBackSideRotation;
        w.cmPaperSize = ui->cmPaperSize;
        w.cmCropping = ui->cmCropping;
        w.sbResolution = ui->sbResolution;
        w.sbBWIDTCSensitivity = ui->sbBWIDTCSensitivity;
        w.sbBWIDTCBGThreshold = ui->sbBWIDTCBGThreshold;
        w.sbThreshold = ui->sbThreshold;
        w.sbShadow = ui->sbShadow;
        w.sbHighlight = ui->sbHighlight;
        w.sbContrast = ui->sbContrast;
        w.sbBrightness = ui->sbBrightness;
        w.sbBlankPageSkipSensitivity = ui->sbBlankPageSkipSensitivity;
        w.sbColorCleanupCleanness = ui->sbColorCleanupCleanness;
        w.dsbGamma = ui->dsbGamma;
        w.dsbBrx = ui->dsbBrx;
        w.dsbBry = ui->dsbBry;
        w.cbPageAuto = ui->cbPageAuto;
        w.cbMultifeedDetection = ui->cbMultifeedDetection;
        w.cbSplitImage = ui->cbSplitImage;
        w.cbFrontBackMerging = ui->cbFrontBackMerging;
        w.cbBlankPageSkip = ui->cbBlankPageSkip;
        return w;
    }
};

// Rules and hooks the two sheet-fed families share.
namespace SheetFedRules {

using ResolutionBands = QVector<QPair<int, int>>;

// The shortest custom page side, in millimetres.
constexpr double kMinCustomLength = 26.0;

bool IsColourMode(const SheetFedWidgets& w);
void SetToneGroupEnabled(const SheetFedWidgets& w, bool enabled);

// Image mode: black-and-white method, tone, sharpness, drop-out and colour
// cleanup, multi-image list, merging and its back-side widgets.
void ModeChanged(const SheetFedWidgets& w);
// Black-and-white method: its own sub-widgets, tone and sharpness.
void BwModeChanged(const SheetFedWidgets& w);
void ToneAdjustmentChanged(const SheetFedWidgets& w);
void BlankPageSkipChanged(const SheetFedWidgets& w);
void ColorCleanupChanged(const SheetFedWidgets& w);
// The part of the merging rule both families share (source, rotation, split,
// back-side widgets and the items merging cannot combine with).
void FrontBackMergingChanged(const SheetFedWidgets& w);

// True when one band holds both resolutions.
bool SameBand(const ResolutionBands& bands, int oldResolution, int newResolution);
// Limit text of the feeder page height for a resolution: the probed entry
// of the band ("200", "300", ...) or "297.0" outside every band.
QString FeederHeightLimit(const ResolutionBands& bands, int resolution);

// 0 on the flatbed; otherwise 1, doubled for split and for multi-image output.
int TotalScanCount(const SheetFedWidgets& w);

bool IsReturnKeyPress(const QEvent* event);

} // namespace SheetFedRules
