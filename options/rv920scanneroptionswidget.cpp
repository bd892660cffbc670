#include "rv920scanneroptionswidget.h"

#include "optionwidget.h"
#include "ui_rv920scanneroptionswidget.h"

#include <QEvent>

namespace {

// The rules know the image modes by their place in the list: the panel
// starts on the third, whatever the device says, which has no drop-out
// colour; only the first takes a threshold.
constexpr int kStartModeIndex = 2;
constexpr int kThresholdModeIndex = 0;
// The first paper size is the custom one, set by width and height.
constexpr int kCustomPaperIndex = 0;
// The resolution the panel starts on, whatever the device says.
const char kStartResolution[] = "200";

} // namespace

RV920ScannerOptionsWidget::RV920ScannerOptionsWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui_RV920ScannerOptionsWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    InitWidgetMap();
}

RV920ScannerOptionsWidget::~RV920ScannerOptionsWidget()
{
    delete ui;
}

void RV920ScannerOptionsWidget::InitWidgetMap()
{
    AddParamConfigs({
        {ui->cmSource, "source", ParamNormal, "Simplex-scan"},
        {ui->cmMode, "mode", ParamNormal, "Color"},
        {ui->cmResolution, "resolution", ParamNormal, "200"},
        {ui->cmPaperSize, "paper-size", ParamNormal, "Custom"},
        {ui->dsbPageWidth, "page-width", ParamNormal, "355.6"},
        {ui->dsbPageHeight, "page-height", ParamNormal, "216"},
        {ui->cbPageAuto, "page-auto", ParamNormal, "yes"},
        {ui->sbBrightness, "brightness", ParamNormal, "0"},
        {ui->sbContrast, "contrast", ParamNormal, "0"},
        {ui->sbThreshold, "threshold", ParamNormal, "128"},
        {ui->cmDropOutColor, "dropoutcolor", ParamNormal, "White"},
        {ui->cbTimeScan, "time-scan", ParamNormal, "no"},
        {ui->sbIntervalTime, "interval-time", ParamNormal, "4"},
    });
}

void RV920ScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    SetComboboxValue(ui->cmResolution, QLatin1String(kStartResolution));
    if (ui->cmMode->currentIndex() != kStartModeIndex) {
        const bool wasBlocked = ui->cmMode->blockSignals(true);
        ui->cmMode->setCurrentIndex(kStartModeIndex);
        ui->cmMode->blockSignals(wasBlocked);
    }
    OptionWidget::SetEnabled({ui->cmPaperSize, ui->dsbPageWidth, ui->dsbPageHeight}, false);
}

void RV920ScannerOptionsWidget::InitWidgetEvent()
{
    for (QWidget* trigger : {static_cast<QWidget*>(ui->cmMode), static_cast<QWidget*>(ui->cmPaperSize),
                             static_cast<QWidget*>(ui->cbPageAuto), static_cast<QWidget*>(ui->cbTimeScan)})
        disconnect(trigger, nullptr, this, nullptr);
    const auto comboChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->cmMode, comboChanged, this, &RV920ScannerOptionsWidget::OnModeChanged);
    connect(ui->cmPaperSize, comboChanged, this, &RV920ScannerOptionsWidget::OnPaperSizeChanged);
    connect(ui->cbPageAuto, &QCheckBox::stateChanged, this, &RV920ScannerOptionsWidget::OnPageAutoChanged);
    connect(ui->cbTimeScan, &QCheckBox::stateChanged, this, &RV920ScannerOptionsWidget::OnTimeScanChanged);
}

void RV920ScannerOptionsWidget::OnModeChanged(int index)
{
    ui->cmDropOutColor->setEnabled(index != kStartModeIndex);
    ui->sbThreshold->setEnabled(index == kThresholdModeIndex);
}

void RV920ScannerOptionsWidget::OnPaperSizeChanged(int index)
{
    OptionWidget::SetEnabled({ui->dsbPageWidth, ui->dsbPageHeight}, index == kCustomPaperIndex);
}

void RV920ScannerOptionsWidget::OnPageAutoChanged()
{
    if (ui->cbPageAuto->isChecked()) {
        OptionWidget::SetEnabled({ui->cmPaperSize, ui->dsbPageHeight, ui->dsbPageWidth}, false);
    } else {
        ui->cmPaperSize->setEnabled(true);
        OptionWidget::SetEnabled({ui->dsbPageHeight, ui->dsbPageWidth},
                                 ui->cmPaperSize->currentIndex() == kCustomPaperIndex);
    }
}

void RV920ScannerOptionsWidget::OnTimeScanChanged()
{
    ui->sbIntervalTime->setEnabled(ui->cbTimeScan->isChecked());
}

void RV920ScannerOptionsWidget::ShowStandardTab()
{
    ui->twOptions->setCurrentIndex(0);
}

QString RV920ScannerOptionsWidget::GetMode()
{
    return OptionWidget::ComboValue(ui->cmMode);
}

QString RV920ScannerOptionsWidget::GetSource()
{
    return OptionWidget::ComboValue(ui->cmSource);
}

void RV920ScannerOptionsWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        RetranslateValueNames();
    }
    QWidget::changeEvent(event);
}
