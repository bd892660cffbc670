// Scan jobs of the main window: the four scan types and the arriving pages
// on the window; the job itself is the ScanController's.
#include "mainwindow.h"
#include "saneoptions.h"

#include "devicecontroller.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "pagehistory.h"
#include "pagerecognition.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "scancontroller.h"
#include "sysconfigpage.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"

#include <QDir>
#include <QMessageBox>

#include <sane/sane.h>

namespace {
bool IsFeederSource(const QString& source)
{
    return source != SaneValue::kFlatbed && source != SaneValue::kSimplexScan;
}
} // namespace

void MainWindow::ConnectJobActions()
{
    connect(ui->actionScanToLast, &QAction::triggered, this, &MainWindow::OnScanToLast);
    connect(ui->actionScantoPrev, &QAction::triggered, this, &MainWindow::OnScanToPrev);
    connect(ui->actionScanToNext, &QAction::triggered, this, &MainWindow::OnScanToNext);
    connect(ui->actionScanReplace, &QAction::triggered, this, &MainWindow::OnScanReplace);
    connect(ui->actionSave, &QAction::triggered, this, &MainWindow::Save);
    connect(ui->actionSaveAs, &QAction::triggered, this, &MainWindow::SaveAs);
    connect(m_imageView, &ImageViewWidget::sglThumbItemRightMenuClicked, this,
            &MainWindow::OnThumbItemRightMenuClicked);
    connect(m_saneScan, &SaneScan::sglScanOneImageDone, this, &MainWindow::OnScanOneImageDone,
            Qt::QueuedConnection);
    connect(m_usbThread, &USBHotplugThread::sglUSBListChanged, this, &MainWindow::OnUSBListChanged,
            Qt::QueuedConnection);
    connect(m_optionsContainer, &OptionsContainerWidget::sglChangeDevice, this, &MainWindow::OnChangeDevice);
    connect(m_optionsContainer, &OptionsContainerWidget::sglGetDefaultOpts, this,
            &MainWindow::OnGetDefaultOpts);
    connect(m_optionsContainer, &OptionsContainerWidget::sglPanelOptionEdited, this,
            &MainWindow::OnPanelOptionEdited);
}

void MainWindow::OnScanToLast()
{
    m_imageView->SetSelectedImgIndexForScan(ScanToLast, m_pages->Count());
    ScanImage(ScanToLast);
}

void MainWindow::OnScanToNext()
{
    m_imageView->SetSelectedImgIndexForScan(ScanToNext, m_pages->Current());
    ScanImage(ScanToNext);
}

void MainWindow::OnScanToPrev()
{
    m_imageView->SetSelectedImgIndexForScan(ScanToPrev, m_pages->Current());
    ScanImage(ScanToPrev);
}

void MainWindow::OnScanReplace()
{
    m_imageView->SetSelectedImgIndexForScan(ScanReplace, m_pages->Current());
    ScanImage(ScanReplace);
}

void MainWindow::OnThumbItemRightMenuClicked(int /*index*/, int code)
{
    if (code == ImageViewWidget::MenuScanAfter) {
        OnScanToNext();
    } else if (code == ImageViewWidget::MenuScanBefore) {
        OnScanToPrev();
    } else if (code == ImageViewWidget::MenuReplaceScan) {
        OnScanReplace();
    }
}

void MainWindow::ScanImage(int type)
{
    if (m_scan->Scanning() || m_jobs->Active() || m_scanDir.isEmpty() ||
        !m_optionsContainer->m_currentPanel) {
        return;
    }
    ui->lwImgThumbnail->blockSignals(true);
    QDir().mkpath(m_scanDir);
    ScanController::Job job;
    job.type = type;
    job.device = m_optionsContainer->m_currentDevice;
    job.basePath = m_scanDir + QLatin1Char('/') + m_sysPage->Config().prefix;
    job.minDigits = m_sysPage->MinDigits();
    job.panel = m_optionsContainer->m_currentPanel;
    m_scan->Begin(job);
    m_recognition->SetScanning(true);
    // The journal knows where this job's pages go before the first arrives.
    RecordSession();
    // The scan's pages are one step, taken when it ends.
    m_history->BeginGroup();
    if (!ExecLambda(
            tr("正在进行扫描..."), [this] { m_scan->Work(); }, [this] { ScanFinished(); },
            [this] { ScanAfter(); }, true)) {
        m_history->EndGroup(QString());
        m_recognition->SetScanning(false);
    }
}

void MainWindow::StopScan()
{
    if (m_scan->RequestStop()) {
        emit sglUpdateMaskerMessage(tr("正在停止扫描..."));
    }
}

void MainWindow::ScanFinished()
{
    m_jobs->StopThread();
    ScanAllImageDone();
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (panel && IsFeederSource(panel->GetSource()) && panel->IsMultifeedChecked()) {
        ui->actionPassManual->setChecked(false);
    }
    m_history->EndGroup(ScanStepName(m_scan->Type(), m_scan->PagesThisRun()));
    m_scan->End();
    m_recognition->SetScanning(false);
    RecordSession();
    m_jobs->HideMasker();
}

void MainWindow::ScanAfter()
{
    // A scan the user stopped ends quietly, and its pages are left for the
    // user to look at rather than saved at once.
    const int status = m_scan->Status();
    if (status != SANE_STATUS_GOOD && !m_scan->QuietEnd()) {
        ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
        QString text =
            SaneStatusText(status, m_scan->ErrorDetail(), !panel || IsFeederSource(panel->GetSource()));
        if (status == SANE_STATUS_ACCESS_DENIED || status == SANE_STATUS_NO_MEM) {
            const QString problem = TempFolderProblem();
            if (!problem.isEmpty()) {
                text += QStringLiteral("\r\n") + problem;
            }
        }
        QMessageBox::critical(this, tr("错误"), text);
    } else if (status == SANE_STATUS_GOOD && m_sysPage->SaveAfterScan() && !m_scan->StopRequested()) {
        SaveAfterScan();
    }
    // While the save that follows runs, its own end takes the notice up.
    if (!m_jobs->Active() && m_devices->TakeParkedUsbEvent()) {
        StartUsbDetect(m_devices->UsbEvent());
    }
}

void MainWindow::OnScanOneImageDone(QString file)
{
    switch (m_scan->TakePage(file)) {
    case ScanController::PageAction::Drop:
        RecordSession();
        return;
    case ScanController::PageAction::Place:
        // Where the scan's placement says: the end, before or after the
        // current page, or in its place.
        m_imageView->InsertImage(file);
        break;
    }
    ShowImageCount();
    if (m_scan->StopRequested()) {
        // A page the scanner finished while the stop was on its way.
        m_scan->CancelRunningScan();
        return;
    }
    emit sglUpdateMaskerMessage(
        tr("正在进行扫描...%1当前第%2张图像").arg(QStringLiteral("\r\n")).arg(m_scan->PagesThisRun()));
}

void MainWindow::ScanAllImageDone()
{
    ui->lwImgThumbnail->blockSignals(false);
    const int pagesThisRun = m_scan->PagesThisRun();
    if (pagesThisRun == 0 || m_pages->Count() == 0) {
        return;
    }
    EnableMenu(true);
    // The last page after a scan to the end; else the page that was
    // current, wherever the new pages put it.
    const int page = m_scan->Type() == ScanToLast ? m_pages->Count() - 1 : m_pages->Current();
    m_imageView->RefreshInfos();
    m_imageView->SetSelection(page);
    RefreshPageButtons();
    ShowImageCount();
    activateWindow();
}

bool MainWindow::SetScanOptions()
{
    return m_scan->SetScanOptions(m_optionsContainer->m_currentPanel);
}

bool MainWindow::ApplyScanParam(const QString& name, const QString& value)
{
    return m_scan->ApplyScanParam(name, value);
}

void MainWindow::GetResAndBryMap(const QString& deviceName)
{
    m_devices->ProbeScanArea(deviceName);
}

QString MainWindow::TempFolderProblem() const
{
    return ScanController::TempFolderProblem(m_scanDir);
}

void MainWindow::SetScanType(int type)
{
    m_scan->SetType(type);
}

bool MainWindow::ManualPass() const
{
    return m_scan->ManualPass();
}

int MainWindow::ScanNumber() const
{
    return m_scan->NextNumber();
}

QString MainWindow::ScanStepName(int type, int pages)
{
    switch (type) {
    case ScanToPrev:
        return tr("扫描到之前 %n 张图像", nullptr, pages);
    case ScanToNext:
        return tr("扫描到之后 %n 张图像", nullptr, pages);
    case ScanReplace:
        return tr("替换扫描 %n 张图像", nullptr, pages);
    default:
        return tr("扫描到最后 %n 张图像", nullptr, pages);
    }
}
