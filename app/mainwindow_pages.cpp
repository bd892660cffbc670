// Page controls of the main window: enable rules, page navigation, the
// page-jump box, the three pages and the page-list notices.
#include "mainwindow.h"

#include "fileutils.h"
#include "imageviewwidget.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalBlocker>

void MainWindow::EnableMenu(bool on)
{
    const QList<QAction*> actions = {
        ui->actionScantoPrev,    ui->actionScanToNext,  ui->actionScanReplace, ui->actionSave,
        ui->actionRotateLeft,    ui->actionRotate180,   ui->actionRotateRight, ui->actionSelectAll,
        ui->actionSelectReverse, ui->actionDelete,      ui->actionBroom,       ui->actionZoomIn,
        ui->actionZoomOut,       ui->actionFitToWindow, ui->actionNormalSize,
    };
    for (QAction* action : actions) {
        action->setEnabled(on);
    }
}

void MainWindow::EnableScanButtons(bool on)
{
    ui->menuScan->menuAction()->setEnabled(on);
    ui->actionScanToLast->setEnabled(on);
}

void MainWindow::EnablePageButton(bool first, bool next, bool jump, bool prev, bool last)
{
    ui->actionFirstPage->setEnabled(first);
    ui->actionNextPage->setEnabled(next);
    m_pageJump->setEnabled(jump);
    ui->actionPrevPage->setEnabled(prev);
    ui->actionLastPage->setEnabled(last);
}

void MainWindow::RefreshPageButtons()
{
    const int count = m_imageCount;
    const int current = m_currentIndex;
    if (count < 2) {
        EnablePageButton(false, false, false, false, false);
    } else if (current == 0) {
        EnablePageButton(false, true, true, false, true);
    } else if (current > 0 && current < count - 1) {
        EnablePageButton(true, true, true, true, true);
    } else {
        EnablePageButton(true, false, true, true, false);
    }
}

void MainWindow::SelectPageJumpItem(int index)
{
    const QSignalBlocker blocker(m_pageJump);
    m_pageJump->setCurrentIndex(index);
}

void MainWindow::RebuildPageJumpBox(int count)
{
    const QSignalBlocker blocker(m_pageJump);
    m_pageJump->clear();
    for (int i = 1; i <= count; ++i) {
        m_pageJump->addItem(QString::number(i));
    }
}

void MainWindow::OnFirstPage()
{
    m_pageBusy = true;
    SelectPageJumpItem(0);
    m_imageView->FirstPage();
    m_pageBusy = false;
    m_currentIndex = m_imageView->GetCurrentIndex();
}

void MainWindow::OnPrevPage()
{
    m_pageBusy = true;
    SelectPageJumpItem(m_currentIndex - 1);
    m_imageView->PrevPage();
    m_pageBusy = false;
    m_currentIndex = m_imageView->GetCurrentIndex();
}

void MainWindow::OnNextPage()
{
    m_pageBusy = true;
    SelectPageJumpItem(m_currentIndex + 1);
    m_imageView->NextPage();
    m_pageBusy = false;
    m_currentIndex = m_imageView->GetCurrentIndex();
}

void MainWindow::OnLastPage()
{
    m_pageBusy = true;
    SelectPageJumpItem(m_pageJump->count() - 1);
    m_imageView->LastPage();
    m_pageBusy = false;
    m_currentIndex = m_imageView->GetCurrentIndex();
}

void MainWindow::OnJumpIndexChanged(int index)
{
    if (m_scanning || m_pageBusy || index < 0) {
        return;
    }
    m_imageView->JumpTo(index);
    m_currentIndex = m_imageView->GetCurrentIndex();
    RefreshPageButtons();
    setFocus();
}

bool MainWindow::CheckPageJumpText()
{
    static const QRegularExpression pageNumber(QStringLiteral("^[1-9][0-9]*$"));
    const QString text = m_pageJump->currentText();
    const bool valid = pageNumber.match(text).hasMatch() && text.toLongLong() <= m_imageCount;
    if (!valid) {
        m_pageJump->setEditText(m_pageJumpText);
    }
    return valid;
}

void MainWindow::OnThumbItemClicked(int /*index*/)
{
    m_pageBusy = true;
    m_currentIndex = m_imageView->GetCurrentIndex();
    RefreshPageButtons();
    SelectPageJumpItem(m_currentIndex);
    m_pageBusy = false;
}

void MainWindow::OnThumbItemDeleted(const QList<QString>& remaining, int /*code*/)
{
    m_pageBusy = true;
    m_imageCount = remaining.size();
    m_pageFiles = remaining;
    RebuildPageJumpBox(m_imageCount);
    m_currentIndex = m_imageView->GetCurrentIndex();
    if (m_imageCount >= 1) {
        SelectPageJumpItem(m_currentIndex);
    }
    ShowImageCount();
    m_pageBusy = false;
}

void MainWindow::OnLargeImageCannotZoom(int code)
{
    if (code == ImageViewWidget::CannotZoomIn) {
        ui->actionZoomIn->setEnabled(false);
        ui->actionZoomOut->setEnabled(true);
    } else if (code == ImageViewWidget::CannotZoomOut) {
        ui->actionZoomOut->setEnabled(false);
        ui->actionZoomIn->setEnabled(true);
    } else if (code == ImageViewWidget::CanZoomBoth) {
        ui->actionZoomIn->setEnabled(true);
        ui->actionZoomOut->setEnabled(true);
    }
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

void MainWindow::OnDelete()
{
    m_pageBusy = true;
    const auto answer =
        QMessageBox::question(this, tr("提示"), tr("是否删除选中图像？"), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        m_imageView->Delete();
        EnableMenu(m_imageCount != 0);
        RefreshPageButtons();
    }
    m_pageBusy = false;
}

void MainWindow::OnBroom()
{
    m_pageBusy = true;
    const auto answer =
        QMessageBox::question(this, tr("提示"), tr("是否清除全部图像？"), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        m_imageView->Broom();
        ClearDirectory(m_workDir);
        EnableMenu(m_imageCount != 0);
        EnablePageButton(false, false, false, false, false);
    }
    m_pageBusy = false;
}

void MainWindow::OnShowImagePage()
{
    if (m_onScanPage) {
        SaveParams();
    }
    ui->stackedWidget->setCurrentWidget(ui->pageImage);
    ui->pageImage->setFocus();
    ui->toolBar->show();
    EnableScanButtons(m_deviceReady);
    ui->actionSave->setEnabled(m_imageCount >= 1);
    ui->menuEdit->menuAction()->setEnabled(true);
    ui->menuImage->menuAction()->setEnabled(true);
    ui->actionImageView->setEnabled(false);
    ui->actionScanConfig->setEnabled(true);
    ui->actionSystemConfig->setEnabled(true);
    ShowStandardTab();
    m_onScanPage = false;
}

void MainWindow::ShowStandardTab()
{
    if (m_optionsContainer->m_currentPanel) {
        m_optionsContainer->m_currentPanel->ShowStandardTab();
    }
}

void MainWindow::OnShowScanSettingPage()
{
    if (m_optionsContainer->m_currentPanel) {
        m_optionsContainer->m_currentPanel->GetParamsEnter();
    }
    ui->stackedWidget->setCurrentWidget(ui->pageScanSetting);
    ui->pageScanSetting->setFocus();
    ui->toolBar->hide();
    ui->menuEdit->menuAction()->setEnabled(false);
    ui->menuScan->menuAction()->setEnabled(false);
    ui->menuImage->menuAction()->setEnabled(false);
    ui->actionSave->setEnabled(false);
    ui->actionImageView->setEnabled(true);
    ui->actionSystemConfig->setEnabled(true);
    ui->actionScanConfig->setEnabled(false);
    m_onScanPage = true;
}

void MainWindow::OnShowSystemSettingPage()
{
    if (m_onScanPage) {
        SaveParams();
    }
    ui->stackedWidget->setCurrentWidget(ui->pageSystemSetting);
    ui->pageSystemSetting->setFocus();
    ui->toolBar->hide();
    ui->menuEdit->menuAction()->setEnabled(false);
    ui->menuScan->menuAction()->setEnabled(false);
    ui->menuImage->menuAction()->setEnabled(false);
    ui->actionSave->setEnabled(false);
    ui->actionImageView->setEnabled(true);
    ui->actionScanConfig->setEnabled(true);
    ui->actionSystemConfig->setEnabled(false);
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
        if (watched == m_pageJump && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            setFocus();
            const int index = m_pageJump->findText(m_pageJump->currentText());
            if (index >= 0 && index != m_pageJump->currentIndex()) {
                m_pageJump->setCurrentIndex(index);
            }
            return true;
        }
    } else if (type == QEvent::FocusIn && watched == m_pageJump) {
        m_pageJumpText = m_pageJump->currentText();
    } else if (type == QEvent::FocusOut && !m_committing) {
        m_committing = true;
        if (watched == m_pageJump) {
            CheckPageJumpText();
        } else if (watched == ui->txtSysFileNamePrefix) {
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
