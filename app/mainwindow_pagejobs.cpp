// Page actions: turning the selected pages (only their angles change) and
// "清除全部" (the files stay while it can be undone).
#include "mainwindow.h"
#include "scancontroller.h"

#include "devicecontroller.h"
#include "fileutils.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "pagehistory.h"

#include <QMessageBox>

void MainWindow::RotatePages(int degrees)
{
    if (m_jobs->Active() || m_scan->Scanning() || m_pageBusy) {
        return;
    }
    // The list records the turn (the journal follows it) and the views
    // draw the pages turned.
    const int turned = m_imageView->SelectedRows().size();
    if (!m_pages->Turn(m_imageView->SelectedRows(), degrees)) {
        return;
    }
    const int quarters = ((degrees / 90) % 4 + 4) % 4;
    const bool one = turned == 1;
    const QString name =
        quarters == 1
            ? (one ? tr("向右旋转 %1 张图像", "one page") : tr("向右旋转 %1 张图像", "several pages"))
        : quarters == 3
            ? (one ? tr("向左旋转 %1 张图像", "one page") : tr("向左旋转 %1 张图像", "several pages"))
            : (one ? tr("旋转180° %1 张图像", "one page") : tr("旋转180° %1 张图像", "several pages"));
    m_history->NameLast(name.arg(turned));
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
        // offers nothing back). The files stay while "撤销" can bring them
        // back; the history removes them once it cannot.
        m_history->BeginGroup();
        m_imageView->Broom();
        m_history->EndGroup(pages == 1 ? tr("清除全部 %1 张图像", "one page").arg(pages)
                                       : tr("清除全部 %1 张图像", "several pages").arg(pages));
        EnableMenu(m_pages->Count() != 0);
        EnablePageButton(false, false, false, false, false);
    }
    m_pageBusy = false;
    ApplyHistoryRule();
    TakeUpParkedNotice();
}

void MainWindow::TakeUpParkedNotice()
{
    // A hot-plug notice that came while the question was open; no job
    // follows whose end would take it up.
    if (!m_jobs->Active() && !m_scan->Scanning() && !m_pageBusy && m_devices->TakeParkedUsbEvent()) {
        StartUsbDetect(m_devices->UsbEvent());
    }
}
