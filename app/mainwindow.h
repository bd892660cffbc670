#pragma once

#include "sysconfig.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

class ImageViewWidget;
class OptionsContainerWidget;
class MaskerDialog;
class QComboBox;
class QTranslator;
class SaneScan;
class USBHotplugThread;

namespace Ui {
class MainWindow;
}

// The main window: image page (thumbnails and large view), scan-settings page
// and system-settings page, with the menus, toolbar and page controls.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // homeDir holds ".config/com.quvex.zyl.scanvy/SysConfig.ini" and the default
    // save folder "scanvyimg"; workDir is the temporary work folder. Empty
    // arguments mean the user's home folder and the system temporary folder
    // + "/zir/scanvy".
    explicit MainWindow(const QString& homeDir = QString(), const QString& workDir = QString(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString DefaultWorkDir();

    // The text shown for a SANE status; scanErrorDetail is the scanner's own
    // error code read after a jam.
    static QString SaneStatusText(int status, const QString& scanErrorDetail);
    QString GetSaneStatus(int status) const;

    // Parent of the message boxes raised by the start-up job: the splash while
    // it exists, else the main window itself (null argument).
    void SetSplashParent(QWidget* parent);
    QWidget* SplashParent() const;

    QString ConfigFilePath() const;
    QString DefaultSavePath() const;
    QString WorkDir() const;

    void ReadSysConfig();
    void SaveSysPrefix();
    void SaveSysScanCount();
    void EnsureScanPath();
    void SwitchLanguage(const QString& translationFile);

    // Offers to save changed scan settings before they would be lost.
    void SaveParams();
    // "手动通过" is usable only with a feeder source and multifeed detection on.
    void SetPassManual();
    // Scanner label: the connected device, or "未连接扫描仪" for an empty name.
    void SetScannerLabel(const QString& device);

    void EnableMenu(bool on);
    void EnableScanButtons(bool on);
    void EnablePageButton(bool first, bool next, bool jump, bool prev, bool last);
    void RefreshPageButtons();

public slots:
    // Start-up job: the work runs on the splash's job thread, the continuation
    // queued on the user-interface thread.
    void OnSplashWorkerProgress();
    void OnSplashWorkerFinished();

signals:
    void sglUpdateMaskerMessage(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void OnBeforeChangeDevice(const QString& device);
    void OnThumbItemClicked(int index);
    void OnLargeImageCannotZoom(int code);
    void OnThumbItemDeleted(const QList<QString>& remaining, int code);

    void OnFirstPage();
    void OnPrevPage();
    void OnNextPage();
    void OnLastPage();
    void OnJumpIndexChanged(int index);

    void OnShowImagePage();
    void OnShowScanSettingPage();
    void OnShowSystemSettingPage();

    void OnDelete();
    void OnBroom();
    void OnFitToWindow();
    void OnNormalSize();
    void OnPassManual(bool checked);
    void OnAbout();

    void OnImageFormatChanged(int index);
    void OnMinCountSizeChanged(int index);
    void OnSaveAfterScanChanged(int state);
    void OnLanguageChanged(int index);
    void OnSelectImagePath();

private:
    void SetupWindowGeometry();
    void SetupSystemPage();
    void SetupPageJumpBox();
    void InstallEventFilters();
    void ConnectActions();
    void ConnectSystemPage();
    void RetranslateTexts();
    void RetranslateFormatBox();

    void ReadSavePath();
    void ReadFileFormat();
    void ReadScanCount();
    void ReadMinCountSize();
    void ReadLanguageAndSize();

    QString ReadSetting(const QString& group, const QString& key) const;
    void WriteSetting(const QString& group, const QString& key, const QString& value);

    void RebuildPageJumpBox(int count);
    void SelectPageJumpItem(int index);
    bool CheckPageJumpText();
    void ShowImageCount();
    void MoveMaskerToCenter();
    void ShowStandardTab();
    void StopScannerServices();

    static bool IsAllowedPrefixChar(uint codePoint);
    static bool IsValidPrefix(const QString& prefix);

    Ui::MainWindow* ui;
    SaneScan* m_saneScan = nullptr;
    USBHotplugThread* m_usbThread = nullptr;
    ImageViewWidget* m_imageView = nullptr;
    OptionsContainerWidget* m_optionsContainer = nullptr;
    QComboBox* m_pageJump = nullptr;
    QPointer<MaskerDialog> m_masker;
    QTranslator* m_translator = nullptr;
    QWidget* m_splashParent = nullptr;

    QString m_homeDir;
    QString m_configDir;
    QString m_defaultSavePath;
    SysConfig m_sysConfig;

    QString m_savePath;
    int m_counter = 1;
    int m_minDigits = 4;
    bool m_saveAfterScan = false;
    int m_formatIndex = 0;
    bool m_storeWindowSize = false;
    bool m_committing = false;

    QString m_pageJumpText;

    bool m_scanning = false;
    bool m_pageBusy = false;
    bool m_deviceReady = false;
    bool m_onScanPage = false;
    bool m_manualPass = false;
    int m_currentIndex = 0;
    int m_imageCount = 0;
    int m_scanStatus = 0;
    QString m_scanErrorDetail;
    QList<QString> m_pageFiles;
    QString m_workDir;
    QString m_scanDir;
};
