#include "rv920scanneroptionswidget.h"

#include "optionwidget.h"
#include "ui_rv920scanneroptionswidget.h"

namespace {
// The item the panel starts on, whatever the device says.
constexpr int kStartModeIndex = 2;
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
    const struct {
        QWidget* widget;
        const char* name;
        const char* defaultValue;
    } bindings[] = {
        {ui->cmSource, "source", "Simplex-scan"},
        {ui->cmMode, "mode", "Color"},
        {ui->cmResolution, "resolution", "200"},
        {ui->cmPaperSize, "paper-size", "Custom"},
        {ui->dsbPageWidth, "page-width", "355.6"},
        {ui->dsbPageHeight, "page-height", "216"},
        {ui->cbPageAuto, "page-auto", "yes"},
        {ui->sbBrightness, "brightness", "0"},
        {ui->sbContrast, "contrast", "0"},
        {ui->sbThreshold, "threshold", "128"},
        {ui->cmDropOutColor, "dropoutcolor", "White"},
        {ui->cbTimeScan, "time-scan", "no"},
        {ui->sbIntervalTime, "interval-time", "4"},
    };
    for (const auto& b : bindings)
        AddParamConfig(b.widget, QLatin1String(b.name), ParamNormal, QLatin1String(b.defaultValue));
}

void RV920ScannerOptionsWidget::InitOptionsByDefault()
{
    ParentScannerOptions::InitOptionsByDefault();
    SetComboboxValue(ui->cmResolution, QStringLiteral("200"));
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
    ui->cmDropOutColor->setEnabled(index != 2);
    ui->sbThreshold->setEnabled(index == 0);
}

void RV920ScannerOptionsWidget::OnPaperSizeChanged(int index)
{
    OptionWidget::SetEnabled({ui->dsbPageWidth, ui->dsbPageHeight}, index == 0);
}

void RV920ScannerOptionsWidget::OnPageAutoChanged()
{
    if (ui->cbPageAuto->isChecked()) {
        OptionWidget::SetEnabled({ui->cmPaperSize, ui->dsbPageHeight, ui->dsbPageWidth}, false);
    } else {
        ui->cmPaperSize->setEnabled(true);
        OptionWidget::SetEnabled({ui->dsbPageHeight, ui->dsbPageWidth}, ui->cmPaperSize->currentIndex() == 0);
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
