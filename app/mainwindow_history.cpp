// "撤销" and "重做": the page list's history on the window, with the rule
// that keeps them off while a job works on the pages.
#include "mainwindow.h"
#include "scancontroller.h"

#include "imageviewwidget.h"
#include "jobrunner.h"
#include "pagehistory.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QMenu>

void MainWindow::SetupHistory()
{
    m_history = new PageHistory(m_pages, this);
    m_undoAction = new QAction(this);
    m_undoAction->setObjectName(QStringLiteral("actionUndo"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = new QAction(this);
    m_redoAction->setObjectName(QStringLiteral("actionRedo"));
    m_redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    QAction* first = ui->menuEdit->actions().value(0);
    ui->menuEdit->insertAction(first, m_undoAction);
    ui->menuEdit->insertAction(first, m_redoAction);
    ui->menuEdit->insertSeparator(first);
    connect(m_undoAction, &QAction::triggered, this, [this] { StepHistory(true); });
    connect(m_redoAction, &QAction::triggered, this, [this] { StepHistory(false); });
    connect(m_history, &PageHistory::sglChanged, this, &MainWindow::ApplyHistoryRule);
    connect(m_jobs, &JobRunner::sglActiveChanged, this, &MainWindow::ApplyHistoryRule);
    ApplyHistoryRule();
}

void MainWindow::ApplyHistoryRule()
{
    if (!m_history) {
        return;
    }
    const bool on = ImagePageShown() && !m_jobs->Active() && !(m_scan && m_scan->Scanning()) && !m_pageBusy;
    m_undoAction->setEnabled(on && m_history->CanUndo());
    m_redoAction->setEnabled(on && m_history->CanRedo());
    m_undoAction->setText(m_history->CanUndo() ? tr("撤销%1").arg(m_history->UndoName()) : tr("撤销"));
    m_redoAction->setText(m_history->CanRedo() ? tr("重做%1").arg(m_history->RedoName()) : tr("重做"));
}

void MainWindow::StepHistory(bool undo)
{
    if (m_jobs->Active() || m_scan->Scanning() || m_pageBusy || !ImagePageShown()) {
        return;
    }
    m_pageBusy = true;
    if (undo ? m_history->Undo() : m_history->Redo()) {
        m_imageView->FollowList();
        RebuildPageJumpBox(m_pages->Count());
        if (!m_pages->IsEmpty()) {
            SelectPageJumpItem(m_pages->Current());
        }
        ShowImageCount();
    }
    m_pageBusy = false;
    ApplyImagePageRules();
}
