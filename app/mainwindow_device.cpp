// Scan settings seen from the main window: saving changed settings, the
// manual-pass action and the scanner label.
#include "mainwindow.h"
#include "saneoptions.h"
#include "scancontroller.h"

#include "devicecontroller.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"

#include <QMessageBox>

namespace {
// Dark red, 5.3:1 on the window grey (the brighter red read at 3.6:1).
const char kLabelNoScanner[] = "color:#C01E1E;font-size:12px;border:1px solid gray;height:24px;";
const char kLabelConnected[] = "font-size:12px;border:1px solid gray;height:24px;";
} // namespace

void MainWindow::SaveParams()
{
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (!panel) {
        return;
    }
    if (m_onScanPage) {
        panel->GetParamsLeave();
    }
    if (!m_optionsContainer->isVisible() || !panel->ScanParamsChanged()) {
        return;
    }
    // A hot-plug notice that arrives while the question is open waits for
    // the answer (and for the job that may follow it, such as a switch).
    const bool parkedBefore = m_devices->UsbPending();
    m_askingParams = true;
    AskSaveParams(panel);
    m_askingParams = false;
    if (m_devices->UsbPending() && !parkedBefore) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Taken up unless another job has started meanwhile (its after
                // step takes it up then) or the window is closing.
                if (!m_devices->UsbBusy() && !m_jobs->Active() && !m_scan->Scanning() && !PagesBusy() &&
                    !m_askingParams && !m_usbThread->isInterruptionRequested() &&
                    m_devices->TakeParkedUsbEvent()) {
                    StartUsbDetect(m_devices->UsbEvent());
                }
            },
            Qt::QueuedConnection);
    }
}

void MainWindow::AskSaveParams(ParentScannerOptions* panel)
{
    const auto answer = QMessageBox::question(this, tr("提示"), tr("扫描配置已修改，是否要保存？"),
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        panel->SetParamsToWidget();
        return;
    }
    if (!panel->SaveParamsToIni()) {
        QMessageBox::critical(this, tr("错误"), tr("保存失败"));
        return;
    }
    SetPassManual();
    QMessageBox::information(this, tr("提示"), tr("扫描配置已保存"));
}

void MainWindow::SetPassManual()
{
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (!panel) {
        ui->actionPassManual->setChecked(false);
        ui->actionPassManual->setEnabled(false);
        return;
    }
    const QString source = panel->GetSource();
    if (source == SaneValue::kFlatbed || source == SaneValue::kSimplexScan) {
        ui->actionPassManual->setChecked(false);
        ui->actionPassManual->setEnabled(false);
        return;
    }
    ui->actionPassManual->setEnabled(panel->IsMultifeedChecked());
}

void MainWindow::SetScannerLabel(const QString& device)
{
    m_devices->SetConnectedDevice(device);
    if (device.isEmpty()) {
        ui->lblScannerInfo->setStyleSheet(QLatin1String(kLabelNoScanner));
        ui->lblScannerInfo->setText(tr("未连接扫描仪"));
    } else {
        ui->lblScannerInfo->setStyleSheet(QLatin1String(kLabelConnected));
        ui->lblScannerInfo->setText(tr("当前连接扫描仪：%1").arg(device));
    }
}

void MainWindow::OnBeforeChangeDevice(const QString& /*device*/)
{
    SaveParams();
}
