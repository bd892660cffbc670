// The system-settings page's place in the window: the page itself is
// SysConfigPage; the window forwards to it and reacts to its changes.
#include "mainwindow.h"
#include "scancontroller.h"
#include "sysconfigpage.h"

#include "devicecontroller.h"
#include "helpdialogs.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "sanecatalog.h"
#include "ui_mainwindow.h"

void MainWindow::CreateSystemPage()
{
    SysConfigPage::Widgets widgets;
    widgets.imagePath = ui->txtSysImagePath;
    widgets.selectPath = ui->btnSelImgPath;
    widgets.prefix = ui->txtSysFileNamePrefix;
    widgets.scanCount = ui->txtSysScanCount;
    widgets.minCountSize = ui->cbMinCountSize;
    widgets.imageFormat = ui->cmImageFormat;
    widgets.saveAfterScan = ui->cbSaveAfterScan;
    widgets.showAllScanners = ui->cbShowAllScanners;
    widgets.language = ui->cmLanguage;
    widgets.languageLabel = ui->lblLanguage;
    widgets.ocrLanguage = ui->cmOcrLanguage;
    m_sysPage = new SysConfigPage(ConfigFilePath(), m_homeDir, m_defaultSavePath, widgets, this);
}

void MainWindow::SetupSystemPage()
{
    m_sysPage->Setup();
    connect(m_sysPage, &SysConfigPage::sglLanguageChosen, this, &MainWindow::SwitchLanguage);
    connect(m_sysPage, &SysConfigPage::sglShowAllScannersChanged, this,
            &MainWindow::OnShowAllScannersChanged);
}

void MainWindow::ReadSysConfig()
{
    m_sysPage->Read();
    m_devices->SetShowAllDevices(m_sysPage->Config().showAllScanners);
}

void MainWindow::SaveSysPrefix()
{
    m_sysPage->SavePrefix();
}

void MainWindow::SaveSysScanCount()
{
    m_sysPage->SaveScanCount();
}

void MainWindow::EnsureScanPath()
{
    m_sysPage->EnsureScanPath();
}

int MainWindow::Counter() const
{
    return m_sysPage->Counter();
}

void MainWindow::SwitchLanguage(const QString& translationFile)
{
    // The backends' option texts follow (read when the panels retranslate).
    SaneCatalog::SetLanguage(m_sysPage->LocaleName());
    m_sysPage->InstallTranslation(translationFile);
    // Also after a failed load: the texts go back to the source texts now,
    // not only when the language-change event arrives.
    ui->retranslateUi(this);
    RetranslateTexts();
    // An open manual turns to the page of the new language.
    if (m_helpWindow)
        m_helpWindow->ShowManual(m_sysPage->LocaleName());
}

void MainWindow::OnShowAllScannersChanged(bool on)
{
    m_devices->SetShowAllDevices(on);
    m_optionsContainer->SetGenericPanels(on);
    // The device list is built anew at once, as after a device change,
    // unless something runs that a rebuild must not interrupt; then the
    // change waits for its turn like a parked hot-plug notice.
    if (!m_startupDone) {
        return;
    }
    m_devices->NoteUsbEvent(0);
    if (m_devices->UsbBusy() || m_scan->Scanning() || PagesBusy() || m_jobs->Active() || m_askingParams) {
        m_devices->ParkUsbEvent();
        return;
    }
    StartUsbDetect(0);
}
