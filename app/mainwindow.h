#pragma once

#include "deviceopt.h"
#include "optresult.h"
#include "pageasker.h"
#include "pagelist.h"
#include "savecontroller.h"
#include "sessionjournal.h"

#include <QHash>

#include <QList>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class BlockedCloseFilter;
class DeviceController;
class ImageProc;
class ImageViewWidget;
class JobRunner;
class PageCommands;
class PageRecognition;
class PageHistory;
class PageJumpBox;
class QAction;
class QLabel;
class QUrl;
class QTimer;
class SessionController;
class OptionsContainerWidget;
class ParentScannerOptions;
class QComboBox;
class SaneScan;
class ScanController;
class SysConfigPage;
class HelpWindow;
class USBHotplugThread;

namespace Ui {
class MainWindow;
}

// The main window: image page (thumbnails and large view), scan-settings page
// and system-settings page, with the menus, toolbar and page controls.
class MainWindow : public QMainWindow, private PageAsker {
    Q_OBJECT

public:
    // Where a scan puts its pages (the values of PagePlacement).
    enum ScanType {
        ScanToLast = int(PagePlacement::Append),
        ScanToPrev = int(PagePlacement::Before),
        ScanToNext = int(PagePlacement::After),
        ScanReplace = int(PagePlacement::Replace),
    };

    // homeDir holds ".config/com.quvex.zyl.scanvy/SysConfig.ini" and the default
    // save folder "scanvyimg"; workDir is the temporary work folder. Empty
    // arguments mean the user's home folder and the system temporary folder
    // + "/zir/scanvy".
    explicit MainWindow(const QString& homeDir = QString(), const QString& workDir = QString(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString DefaultWorkDir();

    // Where the window opens: its client area for the wanted size on a
    // screen with that available area and a frame of those margins.
    static QRect FitWindowGeometry(QSize wanted, const QRect& screen, const QRect& available,
                                   const QMargins& frame);

    // The text shown for a SANE status; scanErrorDetail is the scanner's own
    // error code read after a jam; `feeder` says whether the scan that gave
    // it took its pages from a feeder (else from the flatbed or the overhead
    // scanner's stage).
    static QString SaneStatusText(int status, const QString& scanErrorDetail, bool feeder = true);
    QString GetSaneStatus(int status) const;

    // Parent of the message boxes raised by the start-up job: the splash while
    // it exists, else the main window itself (null argument).
    void SetSplashParent(QWidget* parent);
    QWidget* SplashParent() const;

    QString ConfigFilePath() const;
    // The system settings file of the user whose home folder is `homeDir`.
    static QString ConfigFilePathFor(const QString& homeDir);
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

    // Scanning (the page files go to the work folder's "scanimages").
    void ScanImage(int type);
    bool SetScanOptions();
    // One setting of the panel onto the open scanner (settings the scanner
    // lacks and those a manual pass leaves out are skipped); false when the
    // scanner refuses it.
    bool ApplyScanParam(const QString& name, const QString& value);
    void GetResAndBryMap(const QString& deviceName);

    // Saving: the action "保存" and its parts.
    void Save();
    // "另存为…": a copy of all pages under a name and in a format chosen in
    // a file dialog; the pages stay, the counter is neither used nor moved.
    void SaveAs();
    bool DoSave();
    bool DoSave(const QList<SavePage>& pages);
    bool CheckDuplicateSavePath();
    // The files the next save would overwrite, in the order it writes them.
    QStringList ExistingSaveTargets() const;
    // How "打开文件夹" of the "保存成功" box opens the save folder (default:
    // the desktop's file manager through QDesktopServices::openUrl).
    void SetFolderOpener(std::function<bool(const QUrl&)> opener);

    // Turns the selected pages a further `degrees` clockwise (a multiple of
    // 90): their angles in the page list change at once, no file is written.
    // The turn is applied once, when the pages are saved (PageCommands::Turn).
    void RotatePages(int degrees);
    QString GetScanFile(int number, const QString& extension) const;

    // Rebuilds the device list after a hot-plug notice.
    void StartUsbDetect(int event);

    // "停止扫描": cancels the running scan. The pages completed so far stay,
    // the page being read is dropped, no error is reported.
    void StopScan();
    // A background job (scan, save, device change) is running.
    bool JobRunning() const;

    // The program is about to end without any question (SIGTERM, SIGHUP):
    // stop a running scan and leave the session's journal complete, so that
    // the next start offers the pages back.
    void EndAtOnce();
    // Pages of a session that did not end normally, waiting for the question
    // that offers them back (asked once the window shows).
    int PendingRecoveryCount() const;

    // How the start-up ends the application (default: the event loop's exit).
    void SetQuitHandler(std::function<void(int)> quit) { m_quit = std::move(quit); }

    // Scanner discovery (default: the system's tools).
    void SetDeviceOpt(const DeviceOpt& deviceOpt);

    // The placement of the next scan's pages (ScanType), used by SetScanOptions.
    void SetScanType(int type);
    bool ManualPass() const;
    bool UsbPending() const;
    bool UsbBusy() const;
    QString ScanDir() const { return m_scanDir; }

    // The page list the views show and the journal records.
    PageList* Pages() const { return m_pages; }
    // Its changes that "撤销" and "重做" step through.
    PageHistory* History() const { return m_history; }
    // The commands that change the pages and move about in them.
    PageCommands* Commands() const { return m_commands; }
    // The background recognition of the pages.
    PageRecognition* Recognition() const { return m_recognition; }
    QList<QString> PageFiles() const { return m_pages->Paths(); }
    // The pages as a save takes them: each file with its turn.
    QList<SavePage> PagesToSave() const;
    int ScanNumber() const;
    int Counter() const;
    QList<QString> DeviceList() const;
    bool DeviceReady() const;

    void EnableMenu(bool on);
    void EnableScanButtons(bool on);
    void EnablePageButton(bool first, bool next, bool jump, bool prev, bool last);
    void RefreshPageButtons();

public slots:
    // Start-up job: the work runs on the splash's job thread, the continuation
    // queued on the user-interface thread.
    void OnSplashWorkerProgress();
    void OnSplashWorkerFinished();

    void OnScanOneImageDone(QString file);
    void OnUSBListChanged(int code);
    void OnChangeDevice(const QString& previousDevice, const QString& newDevice);
    void OnGetDefaultOpts(const QString& device);
    // The generic panel's user committed `option`: the device takes the
    // panel's values and, when it asks for it, the panel shows its options anew.
    void OnPanelOptionEdited(const QString& device, const QString& option);

signals:
    void sglUpdateMaskerMessage(const QString& text);
    // A background job has run its last step (after its messages).
    void sglJobDone();
    // The start-up has ended: connected (true) or without a device list.
    void sglStartupDone(bool connected);

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
    void OnThumbItemRightMenuClicked(int index, int code);
    void OnScanToLast();
    void OnScanToPrev();
    void OnScanToNext();
    void OnScanReplace();

    void OnFirstPage();
    void OnPrevPage();
    void OnNextPage();
    void OnLastPage();

    void OnShowImagePage();
    void OnShowScanSettingPage();
    void OnShowSystemSettingPage();

    void OnDelete();
    void OnBroom();
    void OnMoveUp();
    void OnMoveDown();
    void OnThumbItemsMoved(const QList<QString>& pages);
    void OnFitToWindow();
    void OnNormalSize();
    void OnPassManual(bool checked);
    void OnAbout();
    void OnManual();
    void OnShortcuts();

    // "ShowAllScanners" changed on the system-settings page.
    void OnShowAllScannersChanged(bool on);

private:
    void SetupWindowGeometry();
    void PlaceOnScreen(const QSize& wanted);
    void FitFrameToScreen();
    // Checks the frame for a while after the first show (the window
    // manager frames the window at a moment no event announces).
    void WatchFrame();
    // The page controls' tool bar takes a row of its own when both bars do
    // not fit side by side.
    void ArrangeToolBars();
    // The page on "SysConfig.ini" (before anything reads a setting), and
    // its boxes and signals.
    void CreateSystemPage();
    void SetupSystemPage();
    void SetupPageJumpBox();
    void SetupSaveNote();
    // Background recognition: the queue follows the setting and the page
    // list; the status count shows while pages wait.
    void SetupRecognition();
    void ShowRecognitionProgress(int done, int total);
    // "复制文字" (and Ctrl+C in the thumbnail column): the text of the
    // selected pages, in page order, to the clipboard, the count in the
    // status row; usable while one of them has recognised words.
    void CopyPageText();
    void RefreshCopyText();
    // The texts "复制文字" takes: of the selected pages (the current page
    // when none is), those with words, without their final line breaks.
    QStringList TextsToCopy() const;
    // Before a save in `format` that writes a text layer: while pages still
    // wait for recognition, the busy overlay waits for them (with a stop)
    // and `then` runs once they are done; true when the wait started (or
    // could not: nothing is saved then). False: nothing to wait for.
    // `stopped` runs when the wait was stopped or could not start.
    bool WaitForRecognition(int format, const std::function<void()>& then,
                            const std::function<void()>& stopped = {});
    void StartSaveAfterScan();
    // "保存" once its questions are answered.
    void StartSave();
    void InstallEventFilters();
    void ConnectActions();
    void RetranslateTexts();

    // The image page's actions follow the page list and the scanner while
    // that page shows; on the settings pages they are all off.
    bool ImagePageShown() const;
    bool ScannerUsable() const;
    void ApplyImagePageRules();
    void ApplyZoomLimit(int code);
    // "上移", "下移" and dragging thumbnails: on the image page, with two
    // pages or more, and never while a job runs.
    void ApplyReorderRule();
    void ConnectPageOrder();
    // The page list's history and the commands on it, with "撤销" and "重做"
    // in the 编辑 menu.
    void SetupPageCommands();
    // The questions of the page commands, in message boxes.
    bool Ask(const QString& text) override;
    void ApplyHistoryRule();
    void FollowPageCommand();
    // A page command's question is open.
    bool PagesBusy() const;
    // Starts the rebuild a hot-plug notice parked during a question waits for.
    void TakeUpParkedNotice();

    void ShowImageCount();
    void MoveMaskerToCenter();
    void ShowStandardTab();
    // The scan-settings or system-settings page, with the menus and toolbar
    // of the image page off.
    void ShowSettingsPage(QWidget* page);
    void StopScannerServices();

    // Background jobs (JobRunner): refused (false) while another job runs.
    bool ExecLambda(const QString& message, std::function<void()> work, std::function<void()> finished,
                    std::function<void()> after, bool stoppable = false);
    void ConnectJobActions();

    void ScanFinished();
    void ScanAfter();
    void ScanAllImageDone();
    // The history's name for a scan of `type` that brought `pages` pages.
    static QString ScanStepName(int type, int pages);

    // The job's work: write the files, then drop the temporary ones.
    void SaveWork(const QList<SavePage>& pages);
    void SaveFinished();
    void SaveAfter();
    // Tells how a save ended; a success empties the page list.
    void ShowSaveOutcome(const QString& folder);
    // The file name and format chosen in the dialog, or an empty name.
    QString AskSaveAsName(int* format);
    void SaveAfterScan();
    void SaveAfterScanFinished();
    void SaveAfterScanAfter();
    // The status-area note after a save that shows no box: what it wrote.
    void ShowSavedNote();
    // A note in the status row for a few seconds; `toolTip` explains it.
    void ShowNote(const QString& text, const QString& toolTip = QString());
    // True when nothing would be overwritten or the user agreed.
    bool ConfirmOverwrite();
    // The save folder, names and format the settings give.
    SaveController::Target SaveTarget() const;

    // The completion box of a hot-plug rebuild; it names the scanners when
    // the one in use went away and another took its place.
    void ShowUsbDetectDone(const QString& before);

    void AskSaveParams(ParentScannerOptions* panel);
    void UsbDetectWork();
    // `chosen`: the scanner selected before the rebuild, kept while present.
    void UsbDetectFinished(const QString& chosen);
    // Start-up found no family scanner: offers the other SANE devices, if
    // there are any. True when the user took them (the setting is on then).
    bool OfferOtherScanners();
    void StartupOpenFirstDevice();
    void StartupOpenFinished();

    // The session's pages on disk: lock, journal and recovery.
    void PrepareSession(const QStringList& earlier);
    void RecordSession();
    // After a successful save: counter, journal and page files, in that order.
    void SettleSavedPages();
    // A note about the journal in the status row; one that is not lasting
    // hides after a while.
    void ShowJournalNote(const QString& text, bool lasting);
    void OfferRecovery();
    // Names, once, the files a save cut short could not finish at the start.
    void ShowUnfinishedSaves();
    // What a save of `pages` that empties the list leaves in its record (see
    // SaveSettle); empty without a journal.
    QByteArray SavedPagesNote(const QList<SavePage>& pages) const;
    void RestorePages(const SessionJournal::State& found);
    void EndSessionCleanly();
    bool StopJobOnClose();
    QString TempFolderProblem() const;

    Ui::MainWindow* ui;
    SaneScan* m_saneScan = nullptr;
    USBHotplugThread* m_usbThread = nullptr;
    ImageViewWidget* m_imageView = nullptr;
    OptionsContainerWidget* m_optionsContainer = nullptr;
    QComboBox* m_pageJump = nullptr;
    // The page box follows the page list and jumps through the commands.
    PageJumpBox* m_jumpBox = nullptr;
    JobRunner* m_jobs = nullptr;
    QWidget* m_splashParent = nullptr;

    QString m_homeDir;
    QString m_configDir;
    QString m_defaultSavePath;
    SysConfigPage* m_sysPage = nullptr;
    QPointer<HelpWindow> m_helpWindow;
    // The widget of the image page that had the focus when a settings page
    // was opened.
    QPointer<QWidget> m_imagePageFocus;

    bool m_storeWindowSize = false;
    bool m_placedOnScreen = false;
    QTimer* m_frameTimer = nullptr;
    int m_frameChecks = 0;
    // The start-up has settled the first device list (connected or not).
    bool m_startupDone = false;
    bool m_committing = false;

    // Recovered pages are going in: the journal is written once they are
    // all in and the current page is set, never in between.
    bool m_restoringPages = false;
    bool m_onScanPage = false;
    bool m_scanButtonsOn = true;
    int m_zoomLimit = 3; // the last zoom-limit code of the page list (3: both ways)
    PageList* m_pages = nullptr;
    PageHistory* m_history = nullptr;
    PageCommands* m_commands = nullptr;
    PageRecognition* m_recognition = nullptr;
    QLabel* m_ocrNote = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QString m_workDir;
    QString m_scanDir;

    ImageProc* m_imageProc = nullptr;

    ScanController* m_scan = nullptr;

    SaveController* m_saver = nullptr;
    QLabel* m_saveNote = nullptr;
    QTimer* m_saveNoteTimer = nullptr;

    DeviceController* m_devices = nullptr;
    // SaveParams is asking whether to save changed scan settings.
    bool m_askingParams = false;
    std::function<void(int)> m_quit;

    std::unique_ptr<SessionController> m_session;
    std::unique_ptr<BlockedCloseFilter> m_closeFilter;
};
