// The connected scanner: start-up after the splash, hot-plug notices, a
// switch in the scanner selector and the device's default options.
#include "mainwindow.h"

#include "autoclosemessagebox.h"
#include "gdata.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "scannerinfo.h"
#include "scanvymessagebox.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QStackedWidget>
#include <QtConcurrent>

namespace {
// How long the completion box stays when it names a replaced scanner.
const int kReplacedNoteMs = 4000;
} // namespace

void MainWindow::OnSplashWorkerProgress()
{
    m_deviceReady = false;
    m_scanStatus = 0;
    m_deviceList.clear();
    bool isOverhead = false;
    m_hasScanners = m_deviceOpt.HasScanners(isOverhead);
    if (!m_hasScanners) {
        ScanvyMessageBox::critical(m_splashParent, tr("错误"), tr("未找到扫描仪"));
        QMetaObject::invokeMethod(
            this, [this] { m_quit(0); }, Qt::QueuedConnection);
        return;
    }
    QList<ScannerInfo> scanners;
    m_deviceOpt.LoadScanner(scanners);
    if (scanners.isEmpty() && !isOverhead) {
        ScanvyMessageBox::critical(m_splashParent, tr("错误"), tr("未安装驱动"));
        QMetaObject::invokeMethod(
            this, [this] { m_quit(0); }, Qt::QueuedConnection);
        return;
    }
    m_saneScan->Init();
    if (isOverhead || scanners.isEmpty()) {
        m_scanStatus = m_saneScan->GetDeviceList(m_deviceList);
    } else {
        for (const ScannerInfo& info : qAsConst(scanners)) {
            m_deviceList.append(info.deviceName);
        }
    }
    // An empty list has no first device to open.
    m_deviceReady = m_scanStatus == 0 && !m_deviceList.isEmpty();
}

void MainWindow::OnSplashWorkerFinished()
{
    if (!m_deviceReady) {
        // No scanner to open: nothing may offer to scan until a hot-plug
        // rebuild finds one (the page list's context menu reads the flag).
        GData::ctx().m_scannerReady = false;
        EnableScanButtons(false);
        m_storeWindowSize = true;
        setEnabled(true);
        emit sglStartupDone(false);
        return;
    }
    m_scanStatus = 0;
    setEnabled(false);
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher] {
        StartupOpenFinished();
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([this] { StartupOpenFirstDevice(); }));
}

void MainWindow::StartupOpenFirstDevice()
{
    m_saneScan->ResetScannerList(m_deviceList);
    OpenForOptions(m_deviceList.first());
}

void MainWindow::OpenForOptions(const QString& device)
{
    m_scanStatus = m_saneScan->OpenDevice(device);
    if (m_scanStatus == 0) {
        m_optionTable = m_saneScan->GetAllOptions();
        GetResAndBryMap(device);
        m_saneScan->CloseDevice();
    }
}

void MainWindow::StartupOpenFinished()
{
    if (m_scanStatus != 0) {
        m_saneScan->Exit();
        QMessageBox::critical(this, tr("错误"), tr("打开扫描仪失败:%1").arg(GetSaneStatus(m_scanStatus)));
        m_quit(0);
        emit sglStartupDone(false);
        return;
    }
    SetScannerLabel(m_deviceList.first());
    m_optionsContainer->show();
    m_optionsContainer->InitScannerList(m_deviceList);
    m_optionsContainer->InitWidgetByOption(m_optionTable, false);
    SetPassManual();
    m_storeWindowSize = true;
    setEnabled(true);
    m_usbThread->ClearBuffer();
    m_usbThread->start(QThread::InheritPriority);
    emit sglStartupDone(true);
}

void MainWindow::OnUSBListChanged(int code)
{
    if (m_usbBusy) {
        return;
    }
    m_usbEvent = code;
    if (m_scanning || m_pageBusy || m_jobs->Active() || m_askingParams) {
        m_usbPending = true;
        return;
    }
    StartUsbDetect(code);
}

void MainWindow::StartUsbDetect(int event)
{
    // Busy from the question on: a plug-in sends one notice per interface,
    // and the others arrive while the question is open or before the job
    // thread runs. They are the same change: one question, one rebuild.
    m_usbBusy = true;
    SaveParams();
    m_deviceReady = false;
    m_hasScanners = false;
    m_scanStatus = 0;
    const QString crlf = QStringLiteral("\r\n");
    QString message;
    if (event == 1) {
        message = tr("检测到插入扫描设备%1正在进行配置...").arg(crlf);
    } else if (event == 2) {
        message = tr("检测到拔出扫描设备%1正在进行配置...").arg(crlf);
    } else {
        message = tr("检测到扫描设备的变动%1正在进行配置...").arg(crlf);
    }
    const QString before = m_connectedDevice;
    ExecLambda(
        message, [this] { UsbDetectWork(); }, [this] { UsbDetectFinished(); },
        [this, before] { ShowUsbDetectDone(before); });
}

void MainWindow::ShowUsbDetectDone(const QString& before)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = tr("检测扫描仪操作已完成%1[本窗口自动关闭]").arg(crlf);
    const QString now = m_connectedDevice;
    const bool replaced =
        !before.isEmpty() && !now.isEmpty() && now != before && !m_deviceList.contains(before);
    if (!replaced) {
        AutoCloseMessageBox::information(this, tr("提示"), text);
        return;
    }
    // Long enough to be read: the scanner in use has changed under the user.
    text += crlf + tr("已断开：%1").arg(before) + crlf + tr("当前连接：%1").arg(now);
    AutoCloseMessageBox::information(this, tr("提示"), text, kReplacedNoteMs);
}

void MainWindow::UsbDetectWork()
{
    m_usbBusy = true;
    m_optionTable.clear();
    m_deviceList.clear();
    m_saneScan->Exit();
    m_saneScan->Init();
    bool isOverhead = false;
    const bool present = m_deviceOpt.HasScanners(isOverhead);
    m_hasScanners = present;
    if (!present && !isOverhead) {
        return;
    }
    if (!isOverhead) {
        QList<ScannerInfo> scanners;
        m_deviceOpt.LoadScanner(scanners);
        for (const ScannerInfo& info : qAsConst(scanners)) {
            m_deviceList.append(info.deviceName);
        }
    }
    if (m_deviceList.isEmpty()) {
        m_scanStatus = m_saneScan->GetDeviceList(m_deviceList);
    }
    if (m_scanStatus == 0 && !m_deviceList.isEmpty()) {
        m_saneScan->ResetScannerList(m_deviceList);
        m_deviceReady = true;
    }
}

void MainWindow::UsbDetectFinished()
{
    m_jobs->StopThread();
    m_optionsContainer->setVisible(m_deviceReady);
    const bool connected = m_deviceReady && m_scanStatus == 0;
    GData::ctx().m_scannerReady = connected;
    if (connected) {
        SetScannerLabel(m_deviceList.first());
        EnableScanButtons(ui->stackedWidget->currentWidget() == ui->pageImage);
    } else {
        SetScannerLabel(QString());
        EnableScanButtons(false);
    }
    ui->actionPassManual->setEnabled(false);
    if (connected) {
        OpenForOptions(m_deviceList.first());
        m_optionsContainer->InitScannerList(m_deviceList);
        m_optionsContainer->InitWidgetByOption(m_optionTable, false);
        if (m_onScanPage && m_optionsContainer->m_currentPanel) {
            m_optionsContainer->m_currentPanel->GetParamsEnter();
        }
        SetPassManual();
    }
    m_usbBusy = false;
    m_jobs->HideMasker();
}

void MainWindow::OnChangeDevice(const QString& previousDevice, const QString& newDevice)
{
    m_scanStatus = 0;
    ExecLambda(
        tr("正在切换扫描仪..."),
        [this, newDevice] {
            m_saneScan->Exit();
            m_saneScan->Init();
            OpenForOptions(newDevice);
        },
        [this, previousDevice, newDevice] {
            m_jobs->StopThread();
            if (m_scanStatus != 0) {
                // The selector and the panel go back to the previous scanner
                // (its option table was kept) before the failure is shown: the
                // message box lets other events in, and none of them may find
                // the new scanner's panel without its options.
                SetScannerLabel(previousDevice);
                m_optionsContainer->RestoreChangeDevice();
                m_optionsContainer->ShowScannerConfigInterface();
            } else {
                SetScannerLabel(newDevice);
            }
            // Either way the panel now shows the stored settings of the
            // selected scanner, and that is its entry snapshot.
            m_optionsContainer->InitWidgetByOption(m_optionTable, false);
            SetPassManual();
            m_jobs->HideMasker();
        },
        [this] {
            if (m_scanStatus != 0) {
                QMessageBox::critical(this, tr("错误"),
                                      tr("切换扫描仪失败:%1").arg(GetSaneStatus(m_scanStatus)));
            } else {
                AutoCloseMessageBox::information(
                    this, tr("提示"), tr("切换扫描仪已完成%1[本窗口自动关闭]").arg(QStringLiteral("\r\n")));
            }
        });
}

void MainWindow::OnGetDefaultOpts(const QString& device)
{
    m_scanStatus = 0;
    ExecLambda(
        tr("正在获取默认参数..."),
        [this, device] {
            m_saneScan->Exit();
            m_saneScan->Init();
            OpenForOptions(device);
        },
        [this] {
            m_jobs->StopThread();
            if (m_scanStatus == 0) {
                m_optionsContainer->InitWidgetByOption(m_optionTable, true);
            }
            m_jobs->HideMasker();
        },
        [this] {
            if (m_scanStatus != 0) {
                QMessageBox::critical(
                    this, tr("错误"),
                    tr("获取默认参数失败:%1%2").arg(QStringLiteral("\r\n"), GetSaneStatus(m_scanStatus)));
            }
        });
}
