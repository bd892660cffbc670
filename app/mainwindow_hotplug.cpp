// The connected scanner: start-up after the splash, hot-plug notices, a
// switch in the scanner selector and the device's default options.
#include "mainwindow.h"
#include "scancontroller.h"

#include "autoclosemessagebox.h"
#include "devicecontroller.h"
#include "gdata.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "scanvymessagebox.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>
#include <QtConcurrent>

#include <functional>
#include <memory>

#include <sane/sane.h>

namespace {
// How long the completion box stays when it names a replaced scanner.
const int kReplacedNoteMs = 4000;

// Runs an action once, after the mouse button that is down now has been
// released and the click it ends has been delivered. A press that opened a
// popup (a list) is over when the popup is: the action waits for a release
// with no popup open.
class AfterMouseRelease : public QObject {
public:
    AfterMouseRelease(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease && !m_released &&
            !QApplication::activePopupWidget()) {
            m_released = true;
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                m_action();
                deleteLater();
            });
        }
        return false;
    }

private:
    std::function<void()> m_action;
    bool m_released = false;
};
} // namespace

void MainWindow::OnSplashWorkerProgress()
{
    DeviceController::Discovery found = m_devices->Discover();
    if (found == DeviceController::Discovery::NoScanners && OfferOtherScanners()) {
        found = m_devices->Discover();
    }
    if (found != DeviceController::Discovery::NoScanners && found != DeviceController::Discovery::NoDriver) {
        return;
    }
    const QString text =
        found == DeviceController::Discovery::NoScanners ? tr("未找到扫描仪") : tr("未安装驱动");
    ScanvyMessageBox::critical(m_splashParent, tr("错误"), text);
    QMetaObject::invokeMethod(
        this, [this] { m_quit(0); }, Qt::QueuedConnection);
}

bool MainWindow::OfferOtherScanners()
{
    // With the setting on the other devices were looked for already.
    if (m_devices->ShowAllDevices() || !m_devices->HasOtherDevices()) {
        return false;
    }
    if (!ScanvyMessageBox::ask(m_splashParent, tr("提示"),
                               tr("未找到本公司扫描仪，是否使用其他SANE扫描仪？"))) {
        return false;
    }
    // The setting belongs to the system-settings page: it is turned on
    // there (and stored), which hands it to the device list and the panels.
    QMetaObject::invokeMethod(
        this, [this] { ui->cbShowAllScanners->setChecked(true); }, Qt::BlockingQueuedConnection);
    return m_devices->ShowAllDevices();
}

void MainWindow::OnSplashWorkerFinished()
{
    if (!m_devices->Ready()) {
        // No scanner to open: nothing may offer to scan until a hot-plug
        // rebuild finds one (the page list's context menu reads the flag).
        GData::ctx().m_scannerReady = false;
        EnableScanButtons(false);
        m_storeWindowSize = true;
        m_startupDone = true;
        setEnabled(true);
        emit sglStartupDone(false);
        return;
    }
    m_devices->ClearStatus();
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
    m_saneScan->ResetScannerList(m_devices->DeviceList());
    m_devices->OpenForOptions(m_devices->FirstDevice());
}

void MainWindow::StartupOpenFinished()
{
    if (m_devices->Status() != SANE_STATUS_GOOD) {
        m_saneScan->Exit();
        QMessageBox::critical(this, tr("错误"),
                              tr("打开扫描仪失败:%1").arg(GetSaneStatus(m_devices->Status())));
        m_quit(0);
        emit sglStartupDone(false);
        return;
    }
    SetScannerLabel(m_devices->FirstDevice());
    m_optionsContainer->show();
    m_optionsContainer->InitScannerList(m_devices->DeviceList(), QString(), m_devices->DeviceModels());
    m_optionsContainer->InitWidgetByOption(m_devices->OptionTable(), false);
    SetPassManual();
    m_storeWindowSize = true;
    m_startupDone = true;
    setEnabled(true);
    m_usbThread->ClearBuffer();
    m_usbThread->start(QThread::InheritPriority);
    emit sglStartupDone(true);
}

void MainWindow::OnUSBListChanged(int code)
{
    if (m_devices->UsbBusy()) {
        return;
    }
    m_devices->NoteUsbEvent(code);
    if (m_scan->Scanning() || PagesBusy() || m_jobs->Active() || m_askingParams) {
        m_devices->ParkUsbEvent();
        return;
    }
    StartUsbDetect(code);
}

void MainWindow::StartUsbDetect(int event)
{
    // Busy from the question on: a plug-in sends one notice per interface,
    // and the others arrive while the question is open or before the job
    // thread runs. They are the same change: one question, one rebuild.
    m_devices->SetUsbBusy(true);
    SaveParams();
    m_devices->Forget();
    const QString crlf = QStringLiteral("\r\n");
    QString message;
    if (event == 1) {
        message = tr("检测到插入扫描设备%1正在进行配置...").arg(crlf);
    } else if (event == 2) {
        message = tr("检测到拔出扫描设备%1正在进行配置...").arg(crlf);
    } else {
        message = tr("检测到扫描设备的变动%1正在进行配置...").arg(crlf);
    }
    const QString before = m_devices->ConnectedDevice();
    // The scanner in use stays chosen while it is plugged in: a notice about
    // another one changes nothing the user sees or scans with. With none in
    // use, the first one found is taken.
    ExecLambda(
        message, [this] { UsbDetectWork(); }, [this, before] { UsbDetectFinished(before); },
        [this, before] { ShowUsbDetectDone(before); });
}

void MainWindow::ShowUsbDetectDone(const QString& before)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = tr("检测扫描仪操作已完成%1[本窗口自动关闭]").arg(crlf);
    if (!m_devices->Replaced(before)) {
        AutoCloseMessageBox::information(this, tr("提示"), text);
        return;
    }
    // Long enough to be read: the scanner in use has changed under the user.
    text += crlf + tr("已断开：%1").arg(before) + crlf + tr("当前连接：%1").arg(m_devices->ConnectedDevice());
    AutoCloseMessageBox::information(this, tr("提示"), text, kReplacedNoteMs);
}

void MainWindow::UsbDetectWork()
{
    m_devices->SetUsbBusy(true);
    m_devices->Rediscover();
}

void MainWindow::UsbDetectFinished(const QString& chosen)
{
    m_jobs->StopThread();
    m_optionsContainer->setVisible(m_devices->Ready());
    const bool connected = m_devices->Connected();
    GData::ctx().m_scannerReady = connected;
    const QString device = m_devices->Choose(chosen);
    if (connected) {
        SetScannerLabel(device);
        EnableScanButtons(ui->stackedWidget->currentWidget() == ui->pageImage);
    } else {
        SetScannerLabel(QString());
        EnableScanButtons(false);
    }
    ui->actionPassManual->setEnabled(false);
    if (connected) {
        m_devices->OpenForOptions(device);
        m_optionsContainer->InitScannerList(m_devices->DeviceList(), device, m_devices->DeviceModels());
        m_optionsContainer->InitWidgetByOption(m_devices->OptionTable(), false);
        if (m_onScanPage && m_optionsContainer->m_currentPanel) {
            m_optionsContainer->m_currentPanel->GetParamsEnter();
        }
        SetPassManual();
    }
    m_devices->SetUsbBusy(false);
    m_jobs->HideMasker();
}

void MainWindow::OnChangeDevice(const QString& previousDevice, const QString& newDevice)
{
    m_devices->ClearStatus();
    ExecLambda(
        tr("正在切换扫描仪..."), [this, newDevice] { m_devices->Reopen(newDevice); },
        [this, previousDevice, newDevice] {
            m_jobs->StopThread();
            if (m_devices->Status() != SANE_STATUS_GOOD) {
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
            m_optionsContainer->InitWidgetByOption(m_devices->OptionTable(), false);
            SetPassManual();
            m_jobs->HideMasker();
        },
        [this] {
            if (m_devices->Status() != SANE_STATUS_GOOD) {
                QMessageBox::critical(this, tr("错误"),
                                      tr("切换扫描仪失败:%1").arg(GetSaneStatus(m_devices->Status())));
            } else {
                AutoCloseMessageBox::information(
                    this, tr("提示"), tr("切换扫描仪已完成%1[本窗口自动关闭]").arg(QStringLiteral("\r\n")));
            }
        });
}

void MainWindow::OnGetDefaultOpts(const QString& device)
{
    m_devices->ClearStatus();
    ExecLambda(
        tr("正在获取默认参数..."), [this, device] { m_devices->Reopen(device); },
        [this] {
            m_jobs->StopThread();
            if (m_devices->Status() == SANE_STATUS_GOOD) {
                m_optionsContainer->InitWidgetByOption(m_devices->OptionTable(), true);
            }
            m_jobs->HideMasker();
        },
        [this] {
            if (m_devices->Status() != SANE_STATUS_GOOD) {
                QMessageBox::critical(this, tr("错误"),
                                      tr("获取默认参数失败:%1%2")
                                          .arg(QStringLiteral("\r\n"), GetSaneStatus(m_devices->Status())));
            }
        });
}

void MainWindow::OnPanelOptionEdited(const QString& device, const QString& option)
{
    ParentScannerOptions* panel = m_optionsContainer->m_currentPanel;
    if (!panel || m_scan->Scanning() || m_jobs->Active()) {
        return;
    }
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        // The field lost the focus to a mouse press. The job's modal overlay
        // would take the release, and with it the click the user meant. The
        // value goes to the device after the click, unless the click left
        // the page, asks about the changes or chose another scanner (the
        // next scan sets every value).
        new AfterMouseRelease(this, [this, device, option] {
            if (m_onScanPage && !m_askingParams && device == m_optionsContainer->m_currentDevice) {
                OnPanelOptionEdited(device, option);
            }
        });
        return;
    }
    panel->GetParamsForScan();
    const QVector<QPair<QString, QString>> pairs = panel->m_scanParams;
    const QString button =
        m_devices->OptionTable().value(option).type == SANE_TYPE_BUTTON ? option : QString();
    auto info = std::make_shared<int>(0);
    m_devices->ClearStatus();
    ExecLambda(
        tr("正在设置扫描参数..."),
        [this, device, pairs, button, info] { m_devices->ApplyOptions(device, pairs, button, *info); },
        [this, info] {
            m_jobs->StopThread();
            if (m_devices->Status() == SANE_STATUS_GOOD) {
                m_optionsContainer->ReloadPanelOptions(
                    m_devices->OptionTable(), (*info & (SANE_INFO_RELOAD_OPTIONS | SANE_INFO_INEXACT)) != 0);
            }
            SetPassManual();
            m_jobs->HideMasker();
        },
        [this] {
            if (m_devices->Status() != SANE_STATUS_GOOD) {
                QMessageBox::critical(this, tr("错误"),
                                      tr("设置扫描参数失败:%1").arg(GetSaneStatus(m_devices->Status())));
            }
        });
}

void MainWindow::SetDeviceOpt(const DeviceOpt& deviceOpt)
{
    m_devices->SetDeviceOpt(deviceOpt);
}

bool MainWindow::UsbPending() const
{
    return m_devices->UsbPending();
}

bool MainWindow::UsbBusy() const
{
    return m_devices->UsbBusy();
}

QList<QString> MainWindow::DeviceList() const
{
    return m_devices->DeviceList();
}

bool MainWindow::DeviceReady() const
{
    return m_devices->Ready();
}
