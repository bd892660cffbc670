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
#include "sessionjournal.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

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

// Files named one by one in the overwrite question; the rest are counted.
const int kListedTargets = 3;

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

QStringList MainWindow::ExistingSaveTargets() const
{
    const QDir dir(m_savePath);
    if (m_savePath.isEmpty() || !dir.exists()) {
        return {};
    }
    if (dir.entryList(QDir::Files).isEmpty()) {
        return {};
    }
    const QString extension = ui->cmImageFormat->itemData(m_formatIndex).toString();
    const int files = IsMultiFile(m_formatIndex) ? 1 : m_pageFiles.size();
    QStringList existing;
    for (int i = 0; i < files; ++i) {
        const QString target = GetScanFile(m_counter + i, extension);
        if (QFileInfo::exists(target)) {
            existing << target;
        }
    }
    return existing;
}

bool MainWindow::CheckDuplicateSavePath()
{
    return !ExistingSaveTargets().isEmpty();
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
    m_savedFiles.clear();
    m_savedPages = 0;
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
    m_savedFiles = targets;
    m_savedPages = pages.size();
    return true;
}

void MainWindow::StoreCounter()
{
    WriteSetting(QStringLiteral("Scanner"), QStringLiteral("ScanCount"), QString::number(m_counter));
    m_sysConfig.scanCount = m_counter;
    ui->txtSysScanCount->setText(QString::number(m_counter));
}

bool MainWindow::AskOverwrite(const QStringList& existing)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = tr("保存路径有重复文件，%1确定要覆盖吗？").arg(crlf);
    for (int i = 0; i < existing.size() && i < kListedTargets; ++i) {
        text += crlf + QFileInfo(existing.at(i)).fileName();
    }
    if (existing.size() > kListedTargets) {
        text += crlf + tr("等 %1 个文件").arg(existing.size());
    }
    const auto answer = QMessageBox::question(this, tr("提示"), text, QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes;
}

bool MainWindow::ConfirmOverwrite()
{
    const QStringList existing = ExistingSaveTargets();
    return existing.isEmpty() || AskOverwrite(existing);
}

QString MainWindow::SaveFailureText() const
{
    return FailureText(m_saveFailure);
}

QString MainWindow::FailureText(const SaveFailure& failure)
{
    const QString path = QDir::toNativeSeparators(failure.path);
    switch (failure.reason) {
    case SaveFailure::PageMissing:
        return tr("第%1页图像文件不存在，无法读取").arg(failure.page + 1);
    case SaveFailure::PageDamaged:
        return tr("第%1页图像文件已损坏，无法读取").arg(failure.page + 1);
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
    if (!ConfirmOverwrite()) {
        return;
    }
    EnsureScanPath();
    m_saveOk = false;
    ExecLambda(
        tr("正在进行保存..."), [this] { SaveWork(); }, [this] { SaveFinished(); }, [this] { SaveAfter(); });
}

void MainWindow::SaveWork()
{
    m_saveOk = DoSave();
    if (m_saveOk) {
        // The pages are in the saved files now: nothing is left to offer
        // back after a crash, and the page files and other temporary files
        // go (hundreds of files can take a second to delete).
        if (m_journal) {
            m_journal->Discard();
        }
        ClearDirectory(m_workDir);
    }
}

void MainWindow::SaveFinished()
{
    StopJobThread();
    if (m_saveOk) {
        StoreCounter();
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
    ShowSaveSuccess();
}

void MainWindow::ShowSaveSuccess()
{
    const QString text =
        tr("保存成功") + QLatin1Char('\n') +
        tr("已写入 %1 个文件到 %2").arg(m_savedFiles.size()).arg(QDir::toNativeSeparators(m_savePath));
    QMessageBox box(QMessageBox::Information, tr("提示"), text, QMessageBox::Ok, this);
    QPushButton* open = box.addButton(tr("打开文件夹"), QMessageBox::ActionRole);
    open->setObjectName(QStringLiteral("btnOpenSaveFolder"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == open && m_openFolder) {
        m_openFolder(QUrl::fromLocalFile(m_savePath));
    }
}

void MainWindow::ShowSavedNote()
{
    if (m_savedFiles.isEmpty()) {
        return;
    }
    const QString first = QFileInfo(m_savedFiles.first()).fileName();
    const QString note = m_savedFiles.size() == 1 ? tr("已保存 %1（%2 页）").arg(first).arg(m_savedPages)
                                                  : tr("已保存 %1 至 %2（%3 页）")
                                                        .arg(first, QFileInfo(m_savedFiles.last()).fileName())
                                                        .arg(m_savedPages);
    m_saveNote->setText(note);
    m_saveNote->setToolTip(QDir::toNativeSeparators(m_savePath));
    m_saveNote->show();
    m_saveNoteTimer->start();
}

void MainWindow::SaveAfterScan()
{
    m_saveOk = false;
    m_doSave = !RefuseIncompletePages() && ConfirmOverwrite();
    if (m_doSave) {
        EnsureScanPath();
        // On the job thread like "保存"; the window keeps painting.
        m_doSave = ExecLambda(
            tr("正在进行保存..."), [this] { SaveWork(); }, [this] { SaveAfterScanFinished(); },
            [this] { SaveAfterScanAfter(); });
    }
    if (!m_doSave) {
        EnableMenu(m_imageCount != 0);
        RefreshPageButtons();
    }
}

void MainWindow::SaveAfterScanFinished()
{
    StopJobThread();
    if (m_saveOk) {
        m_pageBusy = true;
        EnablePageButton(false, false, false, false, false);
        StoreCounter();
        {
            const QSignalBlocker blocker(m_pageJump);
            m_pageJump->clear();
        }
        m_pageBusy = false;
        m_imageView->Broom();
    }
    EnableMenu(m_imageCount != 0);
    RefreshPageButtons();
    HideMasker();
}

void MainWindow::SaveAfterScanAfter()
{
    if (m_saveOk) {
        ShowSavedNote();
    } else {
        ShowSaveFailure();
    }
}
