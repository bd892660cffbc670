// Page controls of the main window: enable rules, the page buttons and the
// page-jump box, the three pages and the page-list notices.
#include "mainwindow.h"
#include "scancontroller.h"

#include "devicecontroller.h"
#include "fileutils.h"
#include "gdata.h"
#include "imageviewwidget.h"
#include "optionscontainerwidget.h"
#include "pagecommands.h"
#include "pagejumpbox.h"
#include "parentscanneroptions.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QShortcut>
#include <QTimer>

bool MainWindow::ImagePageShown() const
{
    return ui->stackedWidget->currentWidget() == ui->pageImage;
}

// A scan can start: a device list was obtained, the last look for scanners
// found one, and its settings panel exists (the scan reads it).
bool MainWindow::ScannerUsable() const
{
    return m_devices->Ready() && GData::ctx().m_scannerReady && m_optionsContainer->m_currentPanel &&
           !m_scanDir.isEmpty();
}

// The enable rules for the page list as it is now. On a settings page the
// same call turns every image-page action off, so that its keys (Up, Del,
// +, Ctrl+A, F5 ...) reach the settings widgets instead.
void MainWindow::ApplyImagePageRules()
{
    const bool pages = m_pages->Count() > 0;
    EnableScanButtons(ScannerUsable());
    EnableMenu(pages);
    if (pages) {
        ApplyZoomLimit(m_zoomLimit);
    }
    RefreshPageButtons();
}

void MainWindow::EnableMenu(bool on)
{
    on = on && ImagePageShown();
    const QList<QAction*> actions = {
        ui->actionSave,        ui->actionSaveAs,    ui->actionRotateLeft,    ui->actionRotate180,
        ui->actionRotateRight, ui->actionSelectAll, ui->actionSelectReverse, ui->actionDelete,
        ui->actionBroom,       ui->actionZoomIn,    ui->actionZoomOut,       ui->actionFitToWindow,
        ui->actionNormalSize,
    };
    for (QAction* action : actions) {
        action->setEnabled(on);
    }
    // Scanning around the current page also needs a scanner.
    const bool scan = on && m_scanButtonsOn;
    ui->actionScantoPrev->setEnabled(scan);
    ui->actionScanToNext->setEnabled(scan);
    ui->actionScanReplace->setEnabled(scan);
    ApplyReorderRule();
}

void MainWindow::ApplyReorderRule()
{
    if (!m_commands) {
        return;
    }
    const bool on = m_commands->CurrentRules().move;
    ui->actionMoveUp->setEnabled(on);
    ui->actionMoveDown->setEnabled(on);
    m_imageView->SetReorderEnabled(on);
    ApplyHistoryRule();
}

void MainWindow::EnableScanButtons(bool on)
{
    m_scanButtonsOn = on;
    on = on && ImagePageShown();
    ui->menuScan->menuAction()->setEnabled(on);
    ui->actionScanToLast->setEnabled(on);
    const bool aroundPage = on && m_pages->Count() > 0;
    ui->actionScantoPrev->setEnabled(aroundPage);
    ui->actionScanToNext->setEnabled(aroundPage);
    ui->actionScanReplace->setEnabled(aroundPage);
}

void MainWindow::EnablePageButton(bool first, bool next, bool jump, bool prev, bool last)
{
    const bool shown = ImagePageShown();
    ui->actionFirstPage->setEnabled(first && shown);
    ui->actionNextPage->setEnabled(next && shown);
    m_pageJump->setEnabled(jump && shown);
    ui->actionPrevPage->setEnabled(prev && shown);
    ui->actionLastPage->setEnabled(last && shown);
}

void MainWindow::RefreshPageButtons()
{
    if (!m_commands) {
        return;
    }
    const PageCommands::Rules rules = m_commands->CurrentRules();
    EnablePageButton(rules.first, rules.next, rules.jump, rules.prev, rules.last);
}

// The page buttons move through the page commands; the view's click notice
// then sets the buttons (the page box follows the list).
void MainWindow::OnFirstPage()
{
    m_commands->First();
}

void MainWindow::OnPrevPage()
{
    m_commands->Prev();
}

void MainWindow::OnNextPage()
{
    m_commands->Next();
}

void MainWindow::OnLastPage()
{
    m_commands->Last();
}

void MainWindow::OnThumbItemClicked(int /*index*/)
{
    RefreshPageButtons();
}

void MainWindow::OnThumbItemDeleted(const QList<QString>& /*remaining*/, int /*code*/)
{
    ShowImageCount();
    ApplyReorderRule();
}

void MainWindow::OnLargeImageCannotZoom(int code)
{
    if (code != ImageViewWidget::CannotZoomIn && code != ImageViewWidget::CannotZoomOut &&
        code != ImageViewWidget::CanZoomBoth) {
        return;
    }
    // Kept for the return to the image page (a resize fits the page again
    // while a settings page shows).
    m_zoomLimit = code;
    ApplyZoomLimit(code);
}

void MainWindow::ApplyZoomLimit(int code)
{
    const bool shown = ImagePageShown();
    ui->actionZoomIn->setEnabled(shown && code != ImageViewWidget::CannotZoomIn);
    ui->actionZoomOut->setEnabled(shown && code != ImageViewWidget::CannotZoomOut);
}

void MainWindow::OnFitToWindow()
{
    if (m_imageView->GetZoomMode() != ImageViewWidget::ZoomFit) {
        m_imageView->FitToWindow();
    }
}

void MainWindow::OnNormalSize()
{
    if (m_imageView->GetZoomMode() != ImageViewWidget::ZoomNormal) {
        m_imageView->NormalSize();
    }
}

void MainWindow::ConnectPageOrder()
{
    connect(ui->actionMoveUp, &QAction::triggered, this, &MainWindow::OnMoveUp);
    connect(ui->actionMoveDown, &QAction::triggered, this, &MainWindow::OnMoveDown);
    connect(m_imageView, &ImageViewWidget::sglThumbItemsMoved, this, &MainWindow::OnThumbItemsMoved);
    m_imageView->AddContextActions({ui->actionMoveUp, ui->actionMoveDown});
    // The page-jump box sits in the toolbar, far from the keyboard focus.
    auto* jump = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    jump->setObjectName(QStringLiteral("shortcutPageJump"));
    connect(jump, &QShortcut::activated, m_jumpBox, &PageJumpBox::Focus);
    ApplyReorderRule();
}

void MainWindow::OnShowImagePage()
{
    if (m_onScanPage) {
        SaveParams();
    }
    ui->stackedWidget->setCurrentWidget(ui->pageImage);
    // The focus goes back where it was on the page (the thumbnail column
    // unless the user had moved it), so that it is seen and keys work at once.
    QWidget* focus =
        m_imagePageFocus && ui->pageImage->isAncestorOf(m_imagePageFocus) && m_imagePageFocus->isVisible()
            ? m_imagePageFocus.data()
            : ui->lwImgThumbnail;
    focus->setFocus(Qt::OtherFocusReason);
    ui->toolBar->show();
    ui->toolBarPages->show();
    ui->menuEdit->menuAction()->setEnabled(true);
    ui->menuImage->menuAction()->setEnabled(true);
    ui->actionImageView->setEnabled(false);
    ui->actionScanConfig->setEnabled(true);
    ui->actionSystemConfig->setEnabled(true);
    ShowStandardTab();
    m_onScanPage = false;
    // The page list or the scanner may have changed meanwhile (a hot-plug
    // rebuild, a scanner switch).
    ApplyImagePageRules();
    // The tool bar comes back above the column and makes it shorter once the
    // window's layout has run: the current thumbnail is brought into view
    // after that.
    QTimer::singleShot(0, ui->lwImgThumbnail, &ThumbListWidget::ScrollToCurrent);
}

void MainWindow::ShowStandardTab()
{
    if (m_optionsContainer->m_currentPanel) {
        m_optionsContainer->m_currentPanel->ShowStandardTab();
    }
}

void MainWindow::ShowSettingsPage(QWidget* page)
{
    if (ui->stackedWidget->currentWidget() == ui->pageImage) {
        m_imagePageFocus = QApplication::focusWidget();
    }
    ui->stackedWidget->setCurrentWidget(page);
    ApplyImagePageRules();
    page->setFocus();
    ui->toolBar->hide();
    ui->toolBarPages->hide();
    ui->menuEdit->menuAction()->setEnabled(false);
    ui->menuScan->menuAction()->setEnabled(false);
    ui->menuImage->menuAction()->setEnabled(false);
    ui->actionSave->setEnabled(false);
    ui->actionSaveAs->setEnabled(false);
    ui->actionImageView->setEnabled(true);
    // The action of the page on show is off, that of the other one on.
    ui->actionSystemConfig->setEnabled(page != ui->pageSystemSetting);
    ui->actionScanConfig->setEnabled(page != ui->pageScanSetting);
}

void MainWindow::OnShowScanSettingPage()
{
    if (m_optionsContainer->m_currentPanel) {
        m_optionsContainer->m_currentPanel->GetParamsEnter();
    }
    ShowSettingsPage(ui->pageScanSetting);
    m_onScanPage = true;
}

void MainWindow::OnShowSystemSettingPage()
{
    if (m_onScanPage) {
        SaveParams();
    }
    ShowSettingsPage(ui->pageSystemSetting);
    ShowStandardTab();
    m_onScanPage = false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            return true;
        }
    } else if (type == QEvent::FocusOut && !m_committing) {
        m_committing = true;
        if (watched == ui->txtSysFileNamePrefix) {
            SaveSysPrefix();
        } else if (watched == ui->txtSysScanCount) {
            SaveSysScanCount();
        }
        m_committing = false;
    } else if (type == QEvent::MouseButtonPress && watched == ui->frmSystemSetting && !m_committing) {
        m_committing = true;
        if (ui->txtSysFileNamePrefix->hasFocus()) {
            SaveSysPrefix();
        } else if (ui->txtSysScanCount->hasFocus()) {
            SaveSysScanCount();
        }
        m_committing = false;
    }
    return QMainWindow::eventFilter(watched, event);
}
