// The session's pages on disk: the lock that marks a running session, the
// journal that every change of the page list rewrites, and the offer to
// bring the pages of a session that did not end normally back.
#include "mainwindow.h"

#include "applog.h"
#include "fileutils.h"
#include "imageviewwidget.h"
#include "sessionjournal.h"
#include "sessionlock.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QSignalBlocker>

#include <algorithm>

void MainWindow::PrepareSession()
{
    m_journal.reset(new SessionJournal(m_workDir));
    m_sessionLock.reset(new SessionLock);
    if (!m_sessionLock->TryLock(SessionLock::PathFor(m_workDir))) {
        // Another running session of this user works in this folder: its
        // pages are neither emptied nor taken. This window keeps no journal
        // and numbers its page files after theirs.
        qCWarning(lcApp) << "session lock held elsewhere:" << SessionLock::PathFor(m_workDir);
        m_scanNumber = m_journal->NextFreeNumber();
        m_journal.reset();
        return;
    }
    const SessionJournal::State found = m_journal->Recover();
    if (!found.pages.isEmpty()) {
        m_recoveryPending = true;
        m_recoveryPages = found.pages;
        m_recoveryCurrent = found.current;
        m_recoveryScanNumber = found.scanNumber;
        m_scanNumber = found.scanNumber;
        return;
    }
    ClearDirectory(m_workDir);
    m_journal->Discard();
}

void MainWindow::RecordSession()
{
    // Until the question has been answered the journal on disk is the one of
    // the session that may be brought back.
    if (!m_journal || m_recoveryPending) {
        return;
    }
    if (m_pageFiles.isEmpty() && !m_scanning) {
        m_journal->Discard(); // nothing to bring back
        return;
    }
    SessionJournal::State state;
    state.pages = m_pageFiles;
    state.current = std::max(0, m_imageView->GetCurrentIndex());
    state.scanNumber = m_scanNumber;
    if (m_scanning) {
        state.scanRunning = true;
        state.scan.type = m_scanType;
        state.scan.insertAt = m_scanType == ScanReplace ? m_currentIndex : m_insertIndex;
        state.scan.firstNumber = m_scanFirstNumber;
        state.scan.prefix = m_sysConfig.prefix;
    }
    if (!m_journal->Record(state)) {
        qCWarning(lcApp) << "session journal not written:" << m_journal->FilePath();
    }
}

void MainWindow::OfferRecovery()
{
    if (!m_recoveryPending) {
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("提示"), tr("发现上次未保存的 %1 张图像，是否恢复？").arg(m_recoveryPages.size()),
        QMessageBox::Yes | QMessageBox::No);
    m_recoveryPending = false;
    if (answer == QMessageBox::Yes) {
        RestorePages();
    } else {
        ClearDirectory(m_workDir);
    }
    m_recoveryPages.clear();
    RecordSession();
}

void MainWindow::RestorePages()
{
    m_pageBusy = true;
    {
        const QSignalBlocker blocker(ui->lwImgThumbnail);
        m_imageView->SetSelectedImgIndexForScan(ScanToLast, m_imageCount);
        for (const QString& page : qAsConst(m_recoveryPages)) {
            m_imageView->AddImage(page);
            m_pageFiles.append(page);
        }
    }
    m_imageCount = m_pageFiles.size();
    m_scanNumber = std::max(m_scanNumber, m_recoveryScanNumber);
    m_imageView->RefreshInfos();
    m_imageView->SetSelection(std::clamp(m_recoveryCurrent, 0, m_imageCount - 1));
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
    if (!m_journal || m_recoveryPending) {
        return;
    }
    m_journal->Discard();
    ClearDirectory(m_workDir);
}

void MainWindow::EndAtOnce()
{
    if (m_scanning) {
        m_stopRequested = true;
        CancelRunningScan();
    }
    RecordSession();
}
