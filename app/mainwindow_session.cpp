// The session's pages on disk: the lock that marks a running session, the
// journal that every change of the page list rewrites, and the offer to
// bring the pages of a session that did not end normally back.
#include "mainwindow.h"
#include "scancontroller.h"
#include "sysconfigpage.h"

#include "imageviewwidget.h"
#include "sessioncontroller.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QSignalBlocker>

#include <algorithm>

void MainWindow::PrepareSession()
{
    m_session.reset(new SessionController(m_workDir));
    m_scan->SetNextNumber(m_session->Prepare(m_scan->NextNumber()));
}

void MainWindow::RecordSession()
{
    // Until the question has been answered the journal on disk is the one of
    // the session that may be brought back.
    if (!m_session || !m_session->Recording()) {
        return;
    }
    if (m_pageFiles.isEmpty() && !m_scan->Scanning()) {
        m_session->Discard(); // nothing to bring back
        return;
    }
    SessionJournal::State state;
    state.pages = m_pageFiles;
    state.current = std::max(0, m_imageView->GetCurrentIndex());
    state.scanNumber = m_scan->NextNumber();
    if (m_scan->Scanning()) {
        state.scanRunning = true;
        state.scan.type = m_scan->Type();
        state.scan.insertAt = m_scan->Type() == ScanReplace ? m_currentIndex : m_scan->InsertIndex();
        state.scan.firstNumber = m_scan->FirstNumber();
        state.scan.prefix = m_sysPage->Config().prefix;
    }
    m_session->Record(state);
}

void MainWindow::OfferRecovery()
{
    if (!m_session || !m_session->RecoveryPending()) {
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("提示"), tr("发现上次未保存的 %1 张图像，是否恢复？").arg(m_session->PendingRecoveryCount()),
        QMessageBox::Yes | QMessageBox::No);
    const SessionJournal::State found = m_session->TakeRecovery(answer == QMessageBox::Yes);
    if (!found.pages.isEmpty()) {
        RestorePages(found);
    }
    RecordSession();
}

int MainWindow::PendingRecoveryCount() const
{
    return m_session ? m_session->PendingRecoveryCount() : 0;
}

void MainWindow::RestorePages(const SessionJournal::State& found)
{
    m_pageBusy = true;
    {
        const QSignalBlocker blocker(ui->lwImgThumbnail);
        m_imageView->SetSelectedImgIndexForScan(ScanToLast, m_imageCount);
        m_pageFiles.append(found.pages);
        // The rows come at once, the current page's large view and the
        // thumbnails over the next moments: the window answers meanwhile.
        m_imageView->AddImages(found.pages, std::clamp(found.current, 0, int(m_pageFiles.size()) - 1));
    }
    m_imageCount = m_pageFiles.size();
    m_scan->SetNextNumber(std::max(m_scan->NextNumber(), found.scanNumber));
    m_imageView->RefreshInfos();
    m_currentIndex = m_imageView->GetCurrentIndex();
    RebuildPageJumpBox(m_imageCount);
    SelectPageJumpItem(m_currentIndex);
    EnableMenu(m_imageCount != 0);
    RefreshPageButtons();
    ShowImageCount();
    m_pageBusy = false;
}

void MainWindow::EndSessionCleanly()
{
    // Pages not yet offered back stay for the next start.
    if (m_session) {
        m_session->EndCleanly();
    }
}

void MainWindow::EndAtOnce()
{
    m_scan->StopNow();
    RecordSession();
}
