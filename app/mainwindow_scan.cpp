// Scan jobs of the main window: the four scan types, the job's work on the
// scan thread, the arriving pages, and the scan-area probe.
#include "mainwindow.h"
#include "saneoptions.h"

#include "devicecontroller.h"
#include "gdata.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "pagefile.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMutexLocker>
#include <QSignalBlocker>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <sane/sane.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
bool IsTiffMode(const QString& mode)
{
    return mode == SaneValue::kLineart || mode == SaneValue::kAutoColorDetect ||
           mode == SaneValue::kMultiImageOutput;
}

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
    m_scanType = ScanToLast;
    m_imageView->SetSelectedImgIndexForScan(ScanToLast, m_imageCount);
    ScanImage(ScanToLast);
}

void MainWindow::OnScanToNext()
{
    m_scanType = ScanToNext;
    m_insertIndex = m_currentIndex + 1;
    m_imageView->SetSelectedImgIndexForScan(ScanToNext, m_currentIndex);
    ScanImage(ScanToNext);
}

void MainWindow::OnScanToPrev()
{
    m_scanType = ScanToPrev;
    m_insertIndex = m_currentIndex;
    m_imageView->SetSelectedImgIndexForScan(ScanToPrev, m_currentIndex);
    ScanImage(ScanToPrev);
}

void MainWindow::OnScanReplace()
{
    m_scanType = ScanReplace;
    m_imageView->SetSelectedImgIndexForScan(ScanReplace, m_currentIndex);
    ScanImage(ScanReplace);
}

void MainWindow::OnThumbItemRightMenuClicked(int /*index*/, int code)
{
    m_currentIndex = m_imageView->GetCurrentIndex();
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
    if (m_scanning || m_jobs->Active() || m_scanDir.isEmpty() || !m_optionsContainer->m_currentPanel) {
        return;
    }
    ui->lwImgThumbnail->blockSignals(true);
    m_pagesThisRun = 0;
    QDir().mkpath(m_scanDir);
    m_scanning = true;
    m_scanStatus = SANE_STATUS_GOOD;
    m_scanErrorDetail.clear();
    m_scanType = type;
    m_scanDevice = m_optionsContainer->m_currentDevice;
    // A replacement takes the one page it replaces. The overhead scanner
    // takes what its panel counts (one page: it would go on scanning in its
    // delayed mode). A sheet feeder runs until it is empty: its panel counts
    // the images of one sheet, not a batch (see docs/decisions.md).
    // Any other device: its panel says (a feeder until empty, else one page).
    const bool family = SaneScan::IsFamilyDeviceName(m_scanDevice.toUtf8().constData());
    m_pagesToScan = type == ScanReplace ? 1
                    : m_scanDevice.startsWith(QLatin1String("zyljn:RV920")) || !family
                        ? m_optionsContainer->m_currentPanel->GetTotalScanCount()
                        : 0;
    m_scanBasePath = m_scanDir + QLatin1Char('/') + m_sysConfig.prefix;
    m_stopRequested = false;
    m_scanFirstNumber = m_scanNumber;
    // The journal knows where this job's pages go before the first arrives.
    RecordSession();
    ExecLambda(
        tr("正在进行扫描..."), [this] { ScanWork(); }, [this] { ScanFinished(); }, [this] { ScanAfter(); },
        true);
}

void MainWindow::StopScan()
{
    if (!m_scanning || m_stopRequested) {
        return;
    }
    m_stopRequested = true;
    emit sglUpdateMaskerMessage(tr("正在停止扫描..."));
    CancelRunningScan();
    m_cancelRepeat->start();
}

void MainWindow::CancelRunningScan()
{
    // Only while the job's device is open: a cancel must never meet a handle
    // that the job thread is closing.
    QMutexLocker locker(&m_cancelMutex);
    if (m_scanDeviceOpen) {
        m_saneScan->CancelScan();
    }
}

void MainWindow::ScanWork()
{
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    // Pages of devices outside the families keep every sample (any depth,
    // nothing lost to compression).
    const bool family = SaneScan::IsFamilyDeviceName(m_scanDevice.toUtf8().constData());
    m_scanFormat = !family || IsTiffMode(panel->GetMode()) ? QStringLiteral("tiff") : QStringLiteral("jpg");
    m_scanStatus = m_saneScan->OpenDevice(m_scanDevice);
    if (m_scanStatus == SANE_STATUS_GOOD) {
        {
            QMutexLocker locker(&m_cancelMutex);
            m_scanDeviceOpen = true;
        }
        // A stop that came before the scanner started needs no cancel.
        if (m_stopRequested) {
            m_scanStatus = SANE_STATUS_CANCELLED;
        } else if (!SetScanOptions()) {
            m_scanStatus = SANE_STATUS_INVAL;
        } else if (m_stopRequested) {
            m_scanStatus = SANE_STATUS_CANCELLED;
        } else {
            m_scanStatus =
                m_saneScan->Scan(m_scanBasePath, m_scanFormat, m_scanNumber, m_minDigits, m_pagesToScan);
            if (m_scanStatus == SANE_STATUS_JAMMED) {
                Opt_Result detail;
                m_saneScan->GetOption(QString(SaneOption::kScannerError), detail);
                m_scanErrorDetail = detail.value;
            }
        }
    }
    QMutexLocker locker(&m_cancelMutex);
    m_scanDeviceOpen = false;
    m_saneScan->CloseDevice();
}

void MainWindow::ScanFinished()
{
    m_jobs->StopThread();
    m_cancelRepeat->stop();
    ScanAllImageDone();
    if (!m_pageFiles.isEmpty()) {
        RebuildPageJumpAfterScan();
    }
    m_manualPass = false;
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (panel && IsFeederSource(panel->GetSource()) && panel->IsMultifeedChecked()) {
        ui->actionPassManual->setChecked(false);
    }
    m_scanning = false;
    RecordSession();
    m_jobs->HideMasker();
}

void MainWindow::RebuildPageJumpAfterScan()
{
    RebuildPageJumpBox(m_pageFiles.size());
    m_currentIndex = m_imageView->GetCurrentIndex();
    SelectPageJumpItem(m_currentIndex);
}

void MainWindow::ScanAfter()
{
    // A scan the user stopped ends quietly, and its pages are left for the
    // user to look at rather than saved at once.
    const bool stopped = m_stopRequested;
    const bool quietEnd =
        stopped && (m_scanStatus == SANE_STATUS_CANCELLED || m_scanStatus == SANE_STATUS_NO_DOCS);
    if (m_scanStatus != SANE_STATUS_GOOD && !quietEnd) {
        QString text = GetSaneStatus(m_scanStatus);
        if (m_scanStatus == SANE_STATUS_ACCESS_DENIED || m_scanStatus == SANE_STATUS_NO_MEM) {
            const QString problem = TempFolderProblem();
            if (!problem.isEmpty()) {
                text += QStringLiteral("\r\n") + problem;
            }
        }
        QMessageBox::critical(this, tr("错误"), text);
    } else if (m_scanStatus == SANE_STATUS_GOOD && m_saveAfterScan && !stopped) {
        SaveAfterScan();
    }
    // While the save that follows runs, its own end takes the notice up.
    if (!m_jobs->Active() && m_devices->TakeParkedUsbEvent()) {
        StartUsbDetect(m_devices->UsbEvent());
    }
}

void MainWindow::OnScanOneImageDone(QString file)
{
    m_scanNumber += 1;
    // A page cut off by the user's stop is dropped. A replacement that did
    // not complete leaves the page it was to replace in place.
    if (!IsPageComplete(file) && (m_stopRequested || m_scanType == ScanReplace)) {
        QFile::remove(PartialPagePath(file));
        RecordSession();
        return;
    }
    if (m_scanType == ScanReplace) {
        m_pagesThisRun += 1;
        m_imageView->ReplaceImage(m_currentIndex, file);
        if (m_currentIndex >= 0 && m_currentIndex < m_pageFiles.size()) {
            m_pageFiles[m_currentIndex] = file;
        }
    } else if (m_scanType == ScanToLast) {
        m_pagesThisRun += 1;
        m_imageCount += 1;
        m_imageView->AddImage(file);
        m_pageFiles.append(file);
    } else {
        m_pagesThisRun += 1;
        m_imageCount += 1;
        m_imageView->InsertImage(file);
        m_pageFiles.insert(qBound(0, m_insertIndex, m_pageFiles.size()), file);
        m_insertIndex += 1;
    }
    ShowImageCount();
    RecordSession();
    if (m_stopRequested) {
        // A page the scanner finished while the stop was on its way.
        CancelRunningScan();
        return;
    }
    emit sglUpdateMaskerMessage(
        tr("正在进行扫描...%1当前第%2张图像").arg(QStringLiteral("\r\n")).arg(m_pagesThisRun));
}

void MainWindow::ScanAllImageDone()
{
    ui->lwImgThumbnail->blockSignals(false);
    if (m_pagesThisRun == 0 || m_imageCount == 0) {
        return;
    }
    EnableMenu(true);
    int page = m_currentIndex;
    if (m_scanType == ScanToLast) {
        page = m_imageCount - 1;
    } else if (m_scanType == ScanToPrev) {
        page = m_currentIndex + m_pagesThisRun;
    }
    m_imageView->RefreshInfos();
    m_imageView->SetSelection(page);
    m_currentIndex = m_imageView->GetCurrentIndex();
    RefreshPageButtons();
    ShowImageCount();
    activateWindow();
}

bool MainWindow::SetScanOptions()
{
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (!panel) {
        return false;
    }
    panel->GetParamsForScan();
    const QVector<QPair<QString, QString>> params = panel->m_scanParams;
    for (const auto& param : params) {
        if (!ApplyScanParam(param.first, param.second)) {
            return false;
        }
    }
    if (IsFeederSource(panel->GetSource()) && m_scanType == ScanReplace) {
        if (!m_saneScan->SetOption(SaneOption::kAutofeed, SaneValue::kNo) ||
            !m_saneScan->SetOption(SaneOption::kPrepick, SaneValue::kNo)) {
            return false;
        }
    }
    return true;
}

bool MainWindow::ApplyScanParam(const QString& name, const QString& value)
{
    if (name == QLatin1String("custom-longpage")) {
        return true;
    }
    if (m_manualPass) {
        // "手动通过": the next sheets go through without multifeed detection.
        if (name == QLatin1String("multifeed-detection")) {
            return m_saneScan->SetOption(name, QStringLiteral("Do-not-detect"));
        }
        if (name == QLatin1String("mf-overlapping") || name == QLatin1String("mf-length")) {
            return true;
        }
    }
    if (!m_devices->OptionTable().contains(name)) {
        return true;
    }
    return m_saneScan->SetOption(name, value);
}

void MainWindow::GetResAndBryMap(const QString& deviceName)
{
    m_devices->ProbeScanArea(deviceName);
}

QString MainWindow::TempFolderProblem() const
{
    // Page files go to the scan folder of the private temporary folder; tell
    // the user when that folder is what stopped the scan.
    const QString folder = m_scanDir;
    const QString full = tr("临时文件夹空间已满：%1").arg(folder);
    const QString unwritable = tr("临时文件夹无法写入：%1").arg(folder);
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.space-probe-XXXXXX"));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return errno == ENOSPC || errno == EDQUOT ? full : unwritable;
    }
    // Room for a file name is not room for a page.
    const QByteArray block(64 * 1024, '\0');
    const ssize_t written = ::write(fd, block.constData(), size_t(block.size()));
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.constData());
    if (written != block.size()) {
        return writeError == ENOSPC || writeError == EDQUOT ? full : unwritable;
    }
    struct statvfs space {};
    const qint64 kNearlyFull = 16 * 1024 * 1024;
    if (::statvfs(QFile::encodeName(folder).constData(), &space) == 0 &&
        qint64(space.f_bavail) * qint64(space.f_frsize) < kNearlyFull) {
        return full;
    }
    return QString();
}
