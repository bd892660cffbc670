#include "sheetfedoptionswidget.h"

#include "gdata.h"
#include "optionwidget.h"
#include "saneoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTabWidget>

#include <utility>

namespace {

// The largest merged page up to 300 dpi, in millimetres.
constexpr double kMergedLimitTo300 = 863.6;
constexpr int kMergedLimitResolution = 300;
// The feeder's page height limit is probed at this resolution.
const char kProbedResolution[] = "200";

} // namespace

SheetFedOptionsWidget::SheetFedOptionsWidget(SheetFedRules::ResolutionBands bands, QWidget* parent)
    : QWidget(parent), m_resolutionBands(std::move(bands))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
}

void SheetFedOptionsWidget::TakeForm(const SheetFedWidgets& widgets)
{
    m_shared = widgets;
    m_shared.sbResolution->installEventFilter(this);
    InitCleanupSharpness(m_shared.cmCleanupSharpness);
}

void SheetFedOptionsWidget::ConnectSharedRules()
{
    const SheetFedWidgets& w = m_shared;
    for (QWidget* trigger :
         {static_cast<QWidget*>(w.cmMode), static_cast<QWidget*>(w.cmBwMode),
          static_cast<QWidget*>(w.cbBlankPageSkip), static_cast<QWidget*>(w.cmToneAdjustment),
          static_cast<QWidget*>(w.cmColorCleanup)})
        disconnect(trigger, nullptr, this, nullptr);
    m_lastResolution = w.sbResolution->value();

    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(w.cmMode, comboChanged, this, &SheetFedOptionsWidget::OnModeChanged);
    connect(w.cmBwMode, comboChanged, this, &SheetFedOptionsWidget::OnBwModeChanged);
    connect(w.cbBlankPageSkip, &QCheckBox::stateChanged, this,
            &SheetFedOptionsWidget::OnBlankPageSkipChanged);
    connect(w.cmToneAdjustment, comboChanged, this, &SheetFedOptionsWidget::OnToneAdjustmentChanged);
    connect(w.cmColorCleanup, comboChanged, this, &SheetFedOptionsWidget::OnColorCleanupChanged);
}

void SheetFedOptionsWidget::ShowDeviceMultifeed()
{
    const QString value = m_options.value(SaneOption::kMultifeedDetection).value;
    m_shared.cbMultifeedDetection->setChecked(value == SaneValue::kStop);
}

void SheetFedOptionsWidget::SetFeederSizeRanges()
{
    const GData& limits = GData::ctx();
    m_shared.dsbBry->setRange(SheetFedRules::kMinCustomLength,
                              OptionWidget::TextToDouble(limits.m_resMaxHeight.value(kProbedResolution)));
    m_shared.dsbBrx->setRange(SheetFedRules::kMinCustomLength,
                              OptionWidget::TextToDouble(limits.m_pageWidthMax));
}

void SheetFedOptionsWidget::SetFeederHeightRange(double mergedLimitAbove300)
{
    const int resolution = m_shared.sbResolution->value();
    double limit = 0;
    if (m_shared.cbFrontBackMerging->isChecked())
        limit = resolution <= kMergedLimitResolution ? kMergedLimitTo300 : mergedLimitAbove300;
    else
        limit = OptionWidget::TextToDouble(SheetFedRules::FeederHeightLimit(m_resolutionBands, resolution));
    m_shared.dsbBry->setRange(SheetFedRules::kMinCustomLength, limit);
}

bool SheetFedOptionsWidget::LeavesResolutionBand(int resolution)
{
    const int old = m_lastResolution;
    m_lastResolution = resolution;
    return !SheetFedRules::SameBand(m_resolutionBands, old, resolution);
}

void SheetFedOptionsWidget::ShowStandardTab()
{
    m_shared.twOptions->setCurrentIndex(0);
}

int SheetFedOptionsWidget::GetTotalScanCount()
{
    return SheetFedRules::TotalScanCount(m_shared);
}

QString SheetFedOptionsWidget::GetMode()
{
    return OptionWidget::ComboValue(m_shared.cmMode);
}

QString SheetFedOptionsWidget::GetSource()
{
    return OptionWidget::ComboValue(m_shared.cmSource);
}

bool SheetFedOptionsWidget::IsMultifeedChecked()
{
    return m_shared.cbMultifeedDetection->isChecked();
}

bool SheetFedOptionsWidget::eventFilter(QObject* watched, QEvent* event)
{
    // Return in the resolution box takes the focus away instead of leaving
    // the page.
    if (watched == m_shared.sbResolution && SheetFedRules::IsReturnKeyPress(event)) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SheetFedOptionsWidget::OnModeChanged()
{
    SheetFedRules::ModeChanged(m_shared);
}

void SheetFedOptionsWidget::OnBwModeChanged()
{
    SheetFedRules::BwModeChanged(m_shared);
}

void SheetFedOptionsWidget::OnBlankPageSkipChanged()
{
    SheetFedRules::BlankPageSkipChanged(m_shared);
}

void SheetFedOptionsWidget::OnToneAdjustmentChanged()
{
    SheetFedRules::ToneAdjustmentChanged(m_shared);
}

void SheetFedOptionsWidget::OnColorCleanupChanged()
{
    SheetFedRules::ColorCleanupChanged(m_shared);
}
