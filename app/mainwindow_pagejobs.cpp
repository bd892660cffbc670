// Page actions that take long on many pages: turning the selected pages runs
// as a background job (the files on the job thread, spread over the cores;
// the thumbnails and the large view redrawn in steps when all are done), and
// "清除全部".
#include "mainwindow.h"
#include "scancontroller.h"

#include "devicecontroller.h"
#include "fileutils.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "pagehistory.h"

#include <QElapsedTimer>
#include <QMessageBox>

#include <memory>

namespace {
// Redrawing rows yields to the event loop after about this long.
const int kStepMs = 25;
// Failed pages named one by one in the failure box; the rest are counted.
const int kListedFailures = 5;
} // namespace

void MainWindow::RotatePages(double angle)
{
    if (m_jobs->Active() || m_scan->Scanning() || m_pageBusy) {
        return;
    }
    const QList<int> rows = m_imageView->SelectedRows();
    if (rows.isEmpty()) {
        return;
    }
    QList<QString> files;
    for (int row : rows) {
        files << m_imageView->PathAt(row);
    }
    // Written by the job thread, read once it has been stopped.
    auto results = std::make_shared<QVector<SaveFailure>>();
    ExecLambda(
        tr("正在旋转图像..."),
        [files, angle, results] { *results = ImageViewWidget::RotateFiles(files, angle); },
        [this, rows, results] { RotateFinished(rows, *results); },
        [this, rows, results] { RotateAfter(rows, *results); });
}

void MainWindow::RotateFinished(const QList<int>& rows, const QVector<SaveFailure>& results)
{
    m_jobs->StopThread();
    auto pending = std::make_shared<QList<int>>();
    for (int i = 0; i < rows.size() && i < results.size(); ++i) {
        if (!results.at(i).Failed()) {
            pending->append(rows.at(i));
        }
    }
    m_jobs->FinishInSteps([this, pending] {
        QElapsedTimer clock;
        clock.start();
        while (!pending->isEmpty() && clock.elapsed() < kStepMs) {
            m_imageView->RefreshRows({pending->takeFirst()});
        }
        if (!pending->isEmpty()) {
            return false;
        }
        RecordSession();
        return true;
    });
}

void MainWindow::RotateAfter(const QList<int>& rows, const QVector<SaveFailure>& results)
{
    QStringList lines;
    int failed = 0;
    for (int i = 0; i < rows.size() && i < results.size(); ++i) {
        SaveFailure failure = results.at(i);
        if (!failure.Failed()) {
            continue;
        }
        failed += 1;
        if (lines.size() == kListedFailures) {
            continue;
        }
        if (failure.IsPage()) {
            failure.page = rows.at(i); // the text names the page itself
            lines << SaveController::FailureText(failure);
        } else {
            lines << tr("第%1页：%2").arg(rows.at(i) + 1).arg(SaveController::FailureText(failure));
        }
    }
    if (failed == 0) {
        return;
    }
    if (failed > lines.size()) {
        lines << tr("等 %1 页").arg(failed);
    }
    QMessageBox::critical(this, tr("错误"),
                          tr("保存失败") + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
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
