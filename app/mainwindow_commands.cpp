// The page commands on the window: their actions, the questions they ask
// in message boxes, and the views following what they did.
#include "mainwindow.h"
#include "scancontroller.h"

#include "devicecontroller.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "pagecommands.h"
#include "pagehistory.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>

void MainWindow::SetupPageCommands()
{
    m_history = new PageHistory(m_pages, this);
    m_commands = new PageCommands(m_pages, m_history, this, this);
    m_commands->SetConditions([this] { return m_jobs->Active() || (m_scan && m_scan->Scanning()); },
                              [this] { return ImagePageShown(); });
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
    connect(m_undoAction, &QAction::triggered, m_commands, &PageCommands::Undo);
    connect(m_redoAction, &QAction::triggered, m_commands, &PageCommands::Redo);
    connect(m_history, &PageHistory::sglChanged, this, &MainWindow::ApplyHistoryRule);
    connect(m_jobs, &JobRunner::sglActiveChanged, this, &MainWindow::ApplyHistoryRule);
    connect(m_commands, &PageCommands::sglRulesChanged, this, &MainWindow::ApplyHistoryRule);
    connect(m_commands, &PageCommands::sglPagesChanged, this, &MainWindow::FollowPageCommand);
    connect(m_commands, &PageCommands::sglNavigated, m_imageView, &ImageViewWidget::FollowList);
    ApplyHistoryRule();
}

bool MainWindow::Ask(const QString& text)
{
    // Both questions take pages away: Enter keeps them.
    return QMessageBox::question(this, tr("提示"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::ApplyHistoryRule()
{
    if (!m_commands) {
        return;
    }
    const PageCommands::Rules rules = m_commands->CurrentRules();
    m_undoAction->setEnabled(rules.undo);
    m_redoAction->setEnabled(rules.redo);
    m_undoAction->setText(rules.undoText);
    m_redoAction->setText(rules.redoText);
}

// A command changed the pages: the column, the large view and the actions
// follow the list (the page box follows it on its own).
void MainWindow::FollowPageCommand()
{
    m_imageView->FollowList();
    ShowImageCount();
    EnableMenu(!m_pages->IsEmpty());
    if (!m_pages->IsEmpty()) {
        ApplyZoomLimit(m_zoomLimit);
    }
    RefreshPageButtons();
}

void MainWindow::RotatePages(int degrees)
{
    m_commands->Turn(degrees);
}

void MainWindow::OnDelete()
{
    m_commands->Delete();
    TakeUpParkedNotice();
}

void MainWindow::OnBroom()
{
    m_commands->Clear();
    TakeUpParkedNotice();
}

void MainWindow::OnMoveUp()
{
    m_commands->Move(-1);
}

void MainWindow::OnMoveDown()
{
    m_commands->Move(1);
}

// Pages dropped elsewhere in the column: the move is the history's newest
// step; the page buttons follow.
void MainWindow::OnThumbItemsMoved(const QList<QString>& /*pages*/)
{
    m_commands->Moved();
    RefreshPageButtons();
}

bool MainWindow::PagesBusy() const
{
    return m_commands && m_commands->Busy();
}

void MainWindow::TakeUpParkedNotice()
{
    // A hot-plug notice that came while the question was open; no job
    // follows whose end would take it up.
    if (!m_jobs->Active() && !m_scan->Scanning() && !PagesBusy() && m_devices->TakeParkedUsbEvent()) {
        StartUsbDetect(m_devices->UsbEvent());
    }
}
