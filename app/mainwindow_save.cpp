// Saving the pages: target names, the overwrite check, the writers of the
// nine formats, and the clean-up after a save. A save is all-or-nothing for
// the save folder: every file is written under a hidden name first and put
// in place only when all are complete; if anything fails, every target is as
// it was before (old files keep their content and permissions) and the
// pages, their files and the counter stay.
#include "mainwindow.h"

#include "configsetting.h"
#include "fileutils.h"
#include "imageproc.h"
#include "imageviewwidget.h"
#include "pagefile.h"
#include "savetransaction.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalBlocker>

namespace {
enum FormatIndex {
    FormatTiff = 0,
    FormatMultiTiff = 1,
    FormatPnm = 2,
    FormatJpeg = 3,
    FormatPng = 4,
    FormatPdf = 5,
    FormatMultiPdf = 6,
    FormatOfd = 7,
    FormatMultiOfd = 8
};

bool IsMultiFile(int index)
{
    return index == FormatMultiTiff || index == FormatMultiPdf || index == FormatMultiOfd;
}
} // namespace

QString MainWindow::GetScanFile(int number, const QString& extension) const
{
    const QString digits = QStringLiteral("%1").arg(number, m_minDigits, 10, QLatin1Char('0'));
    return m_savePath + QLatin1Char('/') + m_sysConfig.prefix + digits + QLatin1Char('.') + extension;
}

bool MainWindow::CheckDuplicateSavePath()
{
    const QDir dir(m_savePath);
    if (m_savePath.isEmpty() || !dir.exists()) {
        return false;
    }
    if (dir.entryList(QDir::Files).isEmpty()) {
        return false;
    }
    const QString extension = ui->cmImageFormat->itemData(m_formatIndex).toString();
    if (IsMultiFile(m_formatIndex)) {
        return QFileInfo::exists(GetScanFile(m_counter, extension));
    }
    for (int i = 0; i < m_pageFiles.size(); ++i) {
        if (QFileInfo::exists(GetScanFile(m_counter + i, extension))) {
            return true;
        }
    }
    return false;
}

bool MainWindow::WriteSaveFile(int format, const QList<QString>& pages, const QString& file)
{
    switch (format) {
    case FormatMultiTiff:
        return m_imageProc->SaveMultiTiff(pages, file);
    case FormatMultiPdf:
        return m_imageProc->SaveMultiPDF(pages, file);
    case FormatMultiOfd:
        return m_imageProc->SaveMultiOFD(pages, file);
    case FormatPdf:
        return m_imageProc->SavePDF(pages.first(), file);
    case FormatOfd:
        return m_imageProc->SaveOFD(pages.first(), file);
    default:
        return m_imageProc->SaveAs(pages.first(), file, 0.0, true);
    }
}

bool MainWindow::DoSave()
{
    const int index = m_formatIndex;
    const QString extension = ui->cmImageFormat->itemData(index).toString();
    const QList<QString> pages = m_pageFiles;
    const int firstCounter = m_counter;
    m_saveFailure = SaveFailure();
    // Nothing to put into a file: none is written, the counter stays.
    if (pages.isEmpty()) {
        return true;
    }
    const bool multi = IsMultiFile(index);
    const int files = multi ? 1 : pages.size();

    SaveTransaction::RemoveLeftovers(m_savePath);
    SaveTransaction transaction;
    QStringList targets;
    QStringList staged;
    for (int i = 0; i < files; ++i) {
        targets << GetScanFile(firstCounter + i, extension);
        staged << transaction.Stage(targets.last());
        if (staged.last().isEmpty()) {
            m_saveFailure = transaction.Failure();
            return false;
        }
    }
    for (int i = 0; i < files; ++i) {
        emit sglUpdateMaskerMessage(
            tr("正在保存第%1个%2文件").arg(i + 1).arg(QFileInfo(targets.at(i)).suffix().toUpper()));
        if (!WriteSaveFile(index, multi ? pages : QList<QString>{pages.at(i)}, staged.at(i))) {
            m_saveFailure = m_imageProc->LastFailure();
            if (m_saveFailure.IsPage()) {
                m_saveFailure.page += multi ? 0 : i;
            } else if (!m_saveFailure.Failed() || m_saveFailure.path == staged.at(i)) {
                m_saveFailure.path = targets.at(i);
                if (!m_saveFailure.Failed()) {
                    m_saveFailure.reason = SaveFailure::WriteFailed;
                }
            }
            return false;
        }
    }
    if (!transaction.Commit()) {
        m_saveFailure = transaction.Failure();
        return false;
    }
    m_counter = firstCounter + files;
    return true;
}

void MainWindow::StoreCounter()
{
    WriteSetting(QStringLiteral("Scanner"), QStringLiteral("ScanCount"), QString::number(m_counter));
    m_sysConfig.scanCount = m_counter;
    ui->txtSysScanCount->setText(QString::number(m_counter));
}

bool MainWindow::AskOverwrite()
{
    const auto answer = QMessageBox::question(
        this, tr("提示"), tr("保存路径有重复文件，%1确定要覆盖吗？").arg(QStringLiteral("\r\n")),
        QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes;
}

QString MainWindow::SaveFailureText() const
{
    const QString path = QDir::toNativeSeparators(m_saveFailure.path);
    switch (m_saveFailure.reason) {
    case SaveFailure::PageMissing:
        return tr("第%1页图像文件不存在，无法读取").arg(m_saveFailure.page + 1);
    case SaveFailure::PageDamaged:
        return tr("第%1页图像文件已损坏，无法读取").arg(m_saveFailure.page + 1);
    case SaveFailure::TargetIsFolder:
        return tr("已有同名文件夹：%1").arg(path);
    case SaveFailure::FolderMissing:
        return tr("保存文件夹不存在：%1").arg(path);
    case SaveFailure::NoPermission:
        return tr("没有写入权限：%1").arg(path);
    case SaveFailure::DiskFull:
        return tr("磁盘空间不足：%1").arg(path);
    case SaveFailure::FileTooLarge:
        return tr("文件超过系统允许的大小：%1").arg(path);
    case SaveFailure::TempFailed:
        return tr("临时文件夹无法写入：%1").arg(path);
    case SaveFailure::WriteFailed:
        return tr("无法写入文件：%1").arg(path);
    case SaveFailure::None:
        break;
    }
    return QString();
}

void MainWindow::ShowSaveFailure()
{
    QString text = tr("保存失败");
    const QString why = SaveFailureText();
    if (!why.isEmpty()) {
        text += QLatin1Char('\n') + why;
    }
    QMessageBox::critical(this, tr("错误"), text);
}

bool MainWindow::RefuseIncompletePages()
{
    QStringList numbers;
    for (int i = 0; i < m_pageFiles.size(); ++i) {
        if (!IsPageComplete(m_pageFiles.at(i))) {
            numbers << QString::number(i + 1);
        }
    }
    if (numbers.isEmpty()) {
        return false;
    }
    QMessageBox::critical(
        this, tr("错误"),
        tr("第%1页扫描未完成，请替换扫描或删除该页后再保存").arg(numbers.join(QStringLiteral("、"))));
    return true;
}

void MainWindow::Save()
{
    if (RefuseIncompletePages()) {
        return;
    }
    if (CheckDuplicateSavePath()) {
        if (!AskOverwrite()) {
            return;
        }
    }
    EnsureScanPath();
    m_saveOk = false;
    ExecLambda(
        tr("正在进行保存..."), [this] { m_saveOk = DoSave(); }, [this] { SaveFinished(); },
        [this] { SaveAfter(); });
}

void MainWindow::SaveFinished()
{
    StopJobThread();
    if (m_saveOk) {
        m_pageBusy = true;
        ClearDirectory(m_workDir);
        StoreCounter();
        m_pageBusy = false;
    }
    HideMasker();
}

void MainWindow::SaveAfter()
{
    if (!m_saveOk) {
        ShowSaveFailure();
        return;
    }
    m_imageView->Broom();
    EnableMenu(false);
    EnablePageButton(false, false, false, false, false);
    QMessageBox::information(this, tr("提示"), tr("保存成功"));
}

void MainWindow::SaveAfterScan()
{
    m_saveOk = false;
    m_doSave = true;
    if (RefuseIncompletePages()) {
        m_doSave = false;
    } else if (CheckDuplicateSavePath()) {
        if (!AskOverwrite()) {
            m_doSave = false;
        }
    }
    if (m_doSave) {
        EnsureScanPath();
        m_saveOk = DoSave();
        if (m_saveOk) {
            m_pageBusy = true;
            ClearDirectory(m_workDir);
            EnablePageButton(false, false, false, false, false);
            StoreCounter();
            {
                const QSignalBlocker blocker(m_pageJump);
                m_pageJump->clear();
            }
            m_pageBusy = false;
            m_imageView->Broom();
        } else {
            ShowSaveFailure();
        }
    }
    EnableMenu(m_imageCount != 0);
    RefreshPageButtons();
}
