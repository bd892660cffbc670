#include "mainwindow.h"
#include "pagejumpbox.h"

#include "aboutdialog.h"
#include "blockedclosefilter.h"
#include "devicecontroller.h"
#include "dialogfit.h"
#include "execcmd.h"
#include "fileutils.h"
#include "helpdialogs.h"
#include "imageproc.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "savetransaction.h"
#include "scancontroller.h"
#include "sessioncontroller.h"
#include "sysconfigpage.h"
#include "temppath.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"
#include "usbhotplugthread.h"
#include "workdir.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {
const char kConfigSubDir[] = "/.config/com.quvex.zyl.scanvy";
const char kConfigFileName[] = "/SysConfig.ini";
const char kDefaultSaveSubDir[] = "/scanvyimg";
const int kDefaultWidth = 920;
const int kDefaultHeight = 620;
const int kSaveNoteMs = 6000;

const char kToolBarStyle[] =
    "QToolBar { border: none; padding-left: 0px; padding-right: 0px; margin: 2px; }"
    "QToolBar::separator { width: 1px; margin-left: 3px; margin-right: 3px; background-color: #555; }"
    "QToolButton { border-radius: 8px; }"
    "QToolButton:!checked { background-color: rgb(239,239,239); }"
    "QToolButton:hover, QToolButton:pressed, QToolButton:checked { background-color: rgb(205,205,205); }";

const char kPageJumpStyle[] = "QComboBox { combobox-popup:0; min-width: 40px; }"
                              "QComboBox QAbstractItemView { min-height: 60px; min-width: 40px; }"
                              "QComboBox QAbstractItemView::item { min-height: 30px; min-width: 40px; }";
} // namespace

MainWindow::MainWindow(const QString& homeDir, const QString& workDir, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_splashParent = this;

    m_homeDir = homeDir.isEmpty() ? GetHomePath() : homeDir;
    m_configDir = m_homeDir + QLatin1String(kConfigSubDir);
    m_defaultSavePath = m_homeDir + QLatin1String(kDefaultSaveSubDir);
    QDir().mkpath(m_configDir);
    if (!QFile::exists(ConfigFilePath())) {
        QFile file(ConfigFilePath());
        file.open(QIODevice::WriteOnly | QIODevice::Text);
    }
    CreateSystemPage();

    // The scanner side first: the session's journal carries the scan job's numbers.
    m_saneScan = new SaneScan(this);
    m_usbThread = new USBHotplugThread(this);
    m_devices = new DeviceController(m_saneScan, this);
    m_scan = new ScanController(m_saneScan, m_devices->OptionTable(), this);

    // Only a folder of our own is used (and emptied); see WorkDir. It is
    // emptied unless it holds the pages of a session that did not end
    // normally: those are offered back once the window shows.
    // The usual folder also takes over the session an earlier version left
    // in its folder under the system temporary folder.
    m_workDir = workDir.isEmpty() ? DefaultWorkDir() : WorkDir::ChooseFor(workDir);
    if (!m_workDir.isEmpty()) {
        // Saves of an earlier run cut short are settled there first. So are
        // the sessions of the private folders earlier starts made while the
        // usual names were someone else's; empty ones go.
        QStringList earlier = workDir.isEmpty() ? WorkDir::LegacyFolders(QDir::tempPath()) : QStringList();
        earlier += WorkDir::EarlierFolders(m_workDir);
        PrepareSession(earlier);
    }
    m_quit = [](int status) { QCoreApplication::exit(status); };
    m_imageProc = new ImageProc;
    m_jobs = new JobRunner(this);
    m_saver = new SaveController(m_imageProc, this);
    m_saver->SetRecordFolder(SaveTransaction::RecordFolder(m_workDir));

    SetupSystemPage();
    ReadSysConfig();

    SetupWindowGeometry();
    m_pages = new PageList(this);
    m_imageView = new ImageViewWidget(ui->lwImgThumbnail, ui->verticalLayoutImage, this, m_pages);
    m_imageView->hide();
    SetupPageCommands();
    ui->stackedWidget->setCurrentWidget(ui->pageImage);

    // The settings page's panel; shown once a scanner is known.
    m_optionsContainer = new OptionsContainerWidget(m_configDir, ui->pageScanSetting);
    m_optionsContainer->setObjectName(QStringLiteral("OptionsContainerWidget"));
    ui->layoutScanOptions->addWidget(m_optionsContainer);
    m_optionsContainer->hide();
    m_optionsContainer->SetGenericPanels(m_sysPage->Config().showAllScanners);

    SetupPageJumpBox();
    ui->toolBar->setStyleSheet(QLatin1String(kToolBarStyle));
    ui->toolBarPages->setStyleSheet(QLatin1String(kToolBarStyle));

    EnableMenu(false);
    RefreshPageButtons();
    ui->actionImageView->setEnabled(false);
    ui->actionPassManual->setChecked(false);
    ui->actionPassManual->setEnabled(false);

    SetScannerLabel(QString());
    SetupSaveNote();
    // The stored language is in force from the start, as the page shows it.
    SwitchLanguage(m_sysPage->TranslationFile());
    InstallEventFilters();
    ConnectActions();
    m_sysPage->Connect();
    ConnectJobActions();
    ConnectPageOrder();
    SetupRecognition();
    // The window manager's close button while the overlay blocks the window.
    m_closeFilter.reset(new BlockedCloseFilter(this, [this] { return StopJobOnClose(); }));
}

MainWindow::~MainWindow()
{
    m_jobs->StopThread();
    if (m_usbThread->isRunning()) {
        m_usbThread->requestInterruption();
        m_usbThread->quit();
        m_usbThread->wait();
    }
    delete m_imageProc;
    delete ui;
    if (m_session && GetTempDir() == m_workDir) {
        ResetTempDir();
    }
}

QString MainWindow::DefaultWorkDir()
{
    // The per-user folder that a reboot does not empty. The session then
    // tells the converters which folder it really took (GetTempDir).
    return WorkDir::Choose();
}

QString MainWindow::ConfigFilePath() const
{
    return m_configDir + QLatin1String(kConfigFileName);
}

QString MainWindow::ConfigFilePathFor(const QString& homeDir)
{
    return homeDir + QLatin1String(kConfigSubDir) + QLatin1String(kConfigFileName);
}

QString MainWindow::WorkDir() const
{
    return m_workDir;
}

void MainWindow::SetSplashParent(QWidget* parent)
{
    m_splashParent = parent ? parent : this;
}

QWidget* MainWindow::SplashParent() const
{
    return m_splashParent;
}

QRect MainWindow::FitWindowGeometry(QSize wanted, const QRect& screen, const QRect& available,
                                    const QMargins& frame)
{
    // The window opens at the wanted size, its frame's top-left corner at
    // ((screen width - width) / 2, (screen height - height) / 2 - 50). Where
    // that does not fit the available area (panels excluded), the size is cut
    // to the largest that fits and the frame is moved fully inside it.
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize room = (available.size() - frameExtra).expandedTo(QSize(1, 1));
    const QSize size = wanted.boundedTo(room);
    const QSize outer = size + frameExtra;
    int x = screen.x() + (screen.width() - size.width()) / 2;
    int y = screen.y() + (screen.height() - size.height()) / 2 - 50;
    x = qBound(available.left(), x, available.left() + available.width() - outer.width());
    y = qBound(available.top(), y, available.top() + available.height() - outer.height());
    // The client area, given the frame's corner.
    return QRect(QPoint(x + frame.left(), y + frame.top()), size);
}

void MainWindow::SetupWindowGeometry()
{
    // A stored size that no screen can show (negative, or beyond any display,
    // e.g. from a damaged file) is treated like no size at all: applying it
    // would ask for a backing store of that size.
    const int kMaxSide = 16384;
    QSize size = m_sysPage->WindowSize();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxSide || size.height() > kMaxSide) {
        size = QSize(kDefaultWidth, kDefaultHeight);
        m_sysPage->SetWindowSize(size);
    }
    PlaceOnScreen(size);
}

void MainWindow::PlaceOnScreen(const QSize& wanted)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    // Before the window manager has framed the window its frame is unknown
    // (no margins); FitFrameToScreen corrects the place once it is shown.
    const QMargins frame =
        frameGeometry().isValid() && isVisible()
            ? QMargins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                       frameGeometry().right() - geometry().right(),
                       frameGeometry().bottom() - geometry().bottom())
            : QMargins();
    const QRect client = FitWindowGeometry(wanted, screen->geometry(), screen->availableGeometry(), frame);
    // The smallest size stays 920 by 620 where the screen has room for it;
    // on a smaller screen the window may shrink to what it offers (the
    // settings pages scroll).
    setMinimumSize(QSize(kDefaultWidth, kDefaultHeight).boundedTo(client.size()));
    resize(client.size());
    move(client.topLeft() - QPoint(frame.left(), frame.top()));
}

void MainWindow::FitFrameToScreen()
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    if (isMaximized() || isFullScreen() || available.contains(frameGeometry())) {
        return;
    }
    PlaceOnScreen(size());
}

void MainWindow::WatchFrame()
{
    // A window manager reparents the window into its frame after the window
    // is mapped, sometimes only after the first moments: until then the
    // frame looks empty and the window seems to fit. The frame is checked at
    // once and then for a few seconds (and at each move or resize meanwhile).
    const int kCheckMs = 100;
    const int kChecks = 30;
    if (!m_frameTimer) {
        m_frameTimer = new QTimer(this);
        m_frameTimer->setInterval(kCheckMs);
        connect(m_frameTimer, &QTimer::timeout, this, [this] {
            if (++m_frameChecks >= kChecks) {
                m_frameTimer->stop();
            }
            FitFrameToScreen();
        });
    }
    m_frameChecks = 0;
    m_frameTimer->start();
    QTimer::singleShot(0, this, &MainWindow::FitFrameToScreen);
}

void MainWindow::ArrangeToolBars()
{
    // Behind the first bar's overflow button the page controls would be out
    // of reach: when the two bars do not fit side by side, the page controls
    // go to a row of their own.
    const int needed = ui->toolBar->sizeHint().width() + ui->toolBarPages->sizeHint().width();
    const bool ownRow = needed > width();
    if (ownRow == toolBarBreak(ui->toolBarPages)) {
        return;
    }
    if (ownRow) {
        insertToolBarBreak(ui->toolBarPages);
    } else {
        removeToolBarBreak(ui->toolBarPages);
    }
}

void MainWindow::SetupPageJumpBox()
{
    m_pageJump = new QComboBox(this);
    m_pageJump->setObjectName(QStringLiteral("cmPageJump"));
    m_pageJump->setEditable(true);
    m_pageJump->setCompleter(nullptr);
    m_pageJump->setInsertPolicy(QComboBox::NoInsert);
    m_pageJump->setMaxVisibleItems(6);
    m_pageJump->setMaximumWidth(72);
    m_pageJump->setView(new QListView(m_pageJump));
    m_pageJump->setStyleSheet(QLatin1String(kPageJumpStyle));
    ui->toolBarPages->insertWidget(ui->actionNextPage, m_pageJump);
    m_jumpBox = new PageJumpBox(m_pageJump, m_pages, m_commands, this);
}

void MainWindow::SetupSaveNote()
{
    // What a save after a scan wrote, or what a copy took, shown for a few
    // seconds between the scanner label and the page count.
    m_saveNote = new QLabel(this);
    m_saveNote->setObjectName(QStringLiteral("lblSaveNote"));
    m_saveNote->setStyleSheet(QStringLiteral("font-size:12px;border:1px solid gray;height:24px;"));
    m_saveNote->hide();
    ui->layoutImageStatus->insertWidget(1, m_saveNote);
    m_saveNoteTimer = new QTimer(this);
    m_saveNoteTimer->setSingleShot(true);
    m_saveNoteTimer->setInterval(kSaveNoteMs);
    connect(m_saveNoteTimer, &QTimer::timeout, this, [this] {
        m_saveNote->hide();
        m_saveNote->clear();
    });
}

void MainWindow::InstallEventFilters()
{
    ui->frmSystemSetting->installEventFilter(this);
    ui->txtSysFileNamePrefix->installEventFilter(this);
    ui->txtSysScanCount->installEventFilter(this);
}

void MainWindow::ConnectActions()
{
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionPassManual, &QAction::toggled, this, &MainWindow::OnPassManual);
    connect(ui->actionRotateLeft, &QAction::triggered, this, [this] { RotatePages(-90); });
    connect(ui->actionRotate180, &QAction::triggered, this, [this] { RotatePages(180); });
    connect(ui->actionRotateRight, &QAction::triggered, this, [this] { RotatePages(90); });
    connect(ui->actionSelectAll, &QAction::triggered, m_imageView, &ImageViewWidget::SelectAll);
    connect(ui->actionSelectReverse, &QAction::triggered, m_imageView, &ImageViewWidget::SelectReverse);
    connect(ui->actionBroom, &QAction::triggered, this, &MainWindow::OnBroom);
    connect(ui->actionDelete, &QAction::triggered, this, &MainWindow::OnDelete);
    connect(ui->actionZoomIn, &QAction::triggered, m_imageView, &ImageViewWidget::ZoomIn);
    connect(ui->actionZoomOut, &QAction::triggered, m_imageView, &ImageViewWidget::ZoomOut);
    connect(ui->actionFitToWindow, &QAction::triggered, this, &MainWindow::OnFitToWindow);
    connect(ui->actionNormalSize, &QAction::triggered, this, &MainWindow::OnNormalSize);
    connect(ui->actionFirstPage, &QAction::triggered, this, &MainWindow::OnFirstPage);
    connect(ui->actionPrevPage, &QAction::triggered, this, &MainWindow::OnPrevPage);
    connect(ui->actionNextPage, &QAction::triggered, this, &MainWindow::OnNextPage);
    connect(ui->actionLastPage, &QAction::triggered, this, &MainWindow::OnLastPage);
    connect(ui->actionImageView, &QAction::triggered, this, &MainWindow::OnShowImagePage);
    connect(ui->btnReturnToImageFromScan, &QPushButton::clicked, this, &MainWindow::OnShowImagePage);
    connect(ui->btnReturnToImageFromSys, &QPushButton::clicked, this, &MainWindow::OnShowImagePage);
    connect(ui->actionScanConfig, &QAction::triggered, this, &MainWindow::OnShowScanSettingPage);
    connect(ui->actionSystemConfig, &QAction::triggered, this, &MainWindow::OnShowSystemSettingPage);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::OnAbout);
    connect(ui->actionManual, &QAction::triggered, this, &MainWindow::OnManual);
    connect(ui->actionShortcuts, &QAction::triggered, this, &MainWindow::OnShortcuts);

    connect(m_imageView, &ImageViewWidget::sglThumbItemClicked, this, &MainWindow::OnThumbItemClicked);
    connect(m_imageView, &ImageViewWidget::sglLargeImageCannotZoom, this,
            &MainWindow::OnLargeImageCannotZoom);
    connect(m_imageView, &ImageViewWidget::sglThumbItemDeleted, this, &MainWindow::OnThumbItemDeleted);
    connect(m_optionsContainer, &OptionsContainerWidget::sglBeforeChangeDevice, this,
            &MainWindow::OnBeforeChangeDevice);
    // The journal listens to the page list: every change of the pages or
    // of the current page is recorded once (the writer keeps only the
    // newest of the states that wait).
    connect(m_pages, &PageList::sglChanged, this, &MainWindow::RecordSession);
    connect(this, &MainWindow::sglUpdateMaskerMessage, m_jobs, &JobRunner::SetMessage);
    // Emitted on the job thread while a save writes its files.
    connect(m_saver, &SaveController::sglProgress, this, &MainWindow::sglUpdateMaskerMessage,
            Qt::DirectConnection);
    connect(m_jobs, &JobRunner::sglStopRequested, this, &MainWindow::StopScan);
    connect(m_jobs, &JobRunner::sglActiveChanged, this, &MainWindow::ApplyReorderRule);
    connect(m_jobs, &JobRunner::sglEnded, this, [this] {
        // A hot-plug notice parked while this job ran, unless the job's own
        // after step has already taken it up (or started another job).
        if (!m_jobs->Active() && !m_scan->Scanning() && !PagesBusy() && m_devices->TakeParkedUsbEvent()) {
            StartUsbDetect(m_devices->UsbEvent());
        }
        emit sglJobDone();
    });
}

void MainWindow::RetranslateTexts()
{
    m_pageJump->setToolTip(tr("跳转"));
    m_imageView->SetEmptyHint(
        tr("按 %1 开始扫描").arg(ui->actionScanToLast->shortcut().toString(QKeySequence::NativeText)));
    SetScannerLabel(m_devices->ConnectedDevice());
    ShowImageCount();
    m_sysPage->Retranslate();
    ApplyHistoryRule();
}

void MainWindow::ShowImageCount()
{
    ui->lblImgInfo->setText(tr("当前图像数量：%1").arg(m_pages->Count()));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Not while a job runs: a scan is stopped instead, other jobs finish.
    // The window stays; closing it again asks as usual.
    if (StopJobOnClose()) {
        event->ignore();
        return;
    }
    SaveParams();
    if (m_pages->Count() > 0) {
        // 是 leaves the unsaved pages behind: Enter stays.
        const auto answer = QMessageBox::question(this, tr("提示"), tr("扫描图像未保存，确定要退出吗？"),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            if (m_onScanPage && m_optionsContainer->m_currentPanel) {
                m_optionsContainer->m_currentPanel->GetParamsEnter();
            }
            event->ignore();
            return;
        }
    }
    StopScannerServices();
    EndSessionCleanly();
    event->accept();
}

bool MainWindow::StopJobOnClose()
{
    if (!m_jobs->Active() && !m_scan->Scanning()) {
        return false;
    }
    if (m_scan->Scanning()) {
        StopScan();
    }
    return true;
}

void MainWindow::StopScannerServices()
{
    m_usbThread->requestInterruption();
    m_usbThread->quit();
    m_saneScan->Exit();
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    setFocus();
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    setAttribute(Qt::WA_Mapped);
    QMainWindow::showEvent(event);
    if (!m_placedOnScreen) {
        // The window manager's frame is known only once the window shows.
        m_placedOnScreen = true;
        WatchFrame();
    }
    if (PendingRecoveryCount() > 0) {
        // Asked once the window is on screen, after the start-up.
        QTimer::singleShot(0, this, &MainWindow::OfferRecovery);
    }
    if (m_session && m_session->HasUnfinishedSaves()) {
        QTimer::singleShot(0, this, &MainWindow::ShowUnfinishedSaves);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ArrangeToolBars();
    MoveMaskerToCenter();
    if (m_frameTimer && m_frameTimer->isActive()) {
        QTimer::singleShot(0, this, &MainWindow::FitFrameToScreen);
    }
    if (m_storeWindowSize) {
        m_sysPage->StoreWindowSize(event->size());
    }
    if (!m_scan->Scanning() && m_pages->Count() > 0 &&
        m_imageView->GetZoomMode() == ImageViewWidget::ZoomFit) {
        m_imageView->FitToWindow();
    }
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    MoveMaskerToCenter();
    if (m_frameTimer && m_frameTimer->isActive()) {
        QTimer::singleShot(0, this, &MainWindow::FitFrameToScreen);
    }
}

void MainWindow::MoveMaskerToCenter()
{
    m_jobs->CenterMasker();
}

bool MainWindow::JobRunning() const
{
    return m_jobs->Active();
}

bool MainWindow::ExecLambda(const QString& message, std::function<void()> work,
                            std::function<void()> finished, std::function<void()> after, bool stoppable)
{
    return m_jobs->Start(message, std::move(work), std::move(finished), std::move(after), stoppable);
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        RetranslateTexts();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::OnAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::OnManual()
{
    // One window, kept beside the main window while the user works.
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        FitDialogToScreen(m_helpWindow);
    }
    m_helpWindow->ShowManual(m_sysPage ? m_sysPage->LocaleName() : QString());
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void MainWindow::OnShortcuts()
{
    ShortcutsDialog dialog(this);
    FitDialogToScreen(&dialog);
    dialog.exec();
}

void MainWindow::OnPassManual(bool checked)
{
    m_scan->SetManualPass(checked);
}
