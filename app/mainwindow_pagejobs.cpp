// Page actions: turning the selected pages (only their angles change) and
// "清除全部", which deletes the page files on the job thread.
#include "mainwindow.h"
#include "scancontroller.h"

#include "fileutils.h"
#include "imageviewwidget.h"
#include "jobrunner.h"

#include <QMessageBox>


void MainWindow::RotatePages(int degrees)
{
    if (m_jobs->Active() || m_scan->Scanning() || m_pageBusy) {
        return;
    }
    // The list records the turn (the journal follows it) and the views
    // draw the pages turned.
    m_pages->Turn(m_imageView->SelectedRows(), degrees);
}

void MainWindow::OnBroom()
{
    if (m_jobs->Active()) {
        return;
    }
    m_pageBusy = true;
    const int pages = m_imageView->GetPagePaths().size();
    const QString question = pages == 1 ? tr("是否清除全部 %1 张图像？", "one page")
                                        : tr("是否清除全部 %1 张图像？", "several pages");
    const auto answer =
        QMessageBox::question(this, tr("提示"), question.arg(pages), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        // The list empties at once, and the journal with it (so a crash
        // while the files go offers nothing back).
        m_imageView->Broom();
        EnableMenu(m_pages->Count() != 0);
        EnablePageButton(false, false, false, false, false);
    }
    m_pageBusy = false;
    if (answer != QMessageBox::Yes) {
        return;
    }
    const QString workDir = m_workDir;
    ExecLambda(
        tr("正在清除图像..."), [workDir] { ClearDirectory(workDir); },
        [this] {
            m_jobs->StopThread();
            m_jobs->HideMasker();
        },
        [] {});
}
