// Saving the pages: target names, the overwrite check, the writers of the
// nine formats, and the clean-up after a save. A save is all-or-nothing: when
// a writer fails, what this save wrote is removed again and the pages, their
// files and the counter stay as they were.
#include "mainwindow.h"

#include "configsetting.h"
#include "fileutils.h"
#include "imageproc.h"
#include "imageviewwidget.h"
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

bool MainWindow::DoSave()
{
    const int index = m_formatIndex;
    const QString extension = ui->cmImageFormat->itemData(index).toString();
    const QList<QString> pages = m_pageFiles;
    const int firstCounter = m_counter;
    QStringList written;
    m_saveFailedPath.clear();

    auto writeOne = [&](int number, const QList<QString>& sources) {
        const QString target = GetScanFile(firstCounter + number, extension);
        emit sglUpdateMaskerMessage(
            tr("正在保存第%1个%2文件").arg(number + 1).arg(QFileInfo(target).suffix().toUpper()));
        bool ok = false;
        switch (index) {
        case FormatMultiTiff:
            ok = m_imageProc->SaveMultiTiff(sources, target);
            break;
        case FormatMultiPdf:
            ok = m_imageProc->SaveMultiPDF(sources, target);
            break;
        case FormatMultiOfd:
            ok = m_imageProc->SaveMultiOFD(sources, target);
            break;
        case FormatPdf:
            ok = m_imageProc->SavePDF(sources.first(), target);
            break;
        case FormatOfd:
            ok = m_imageProc->SaveOFD(sources.first(), target);
            break;
        default:
            ok = m_imageProc->SaveAs(sources.first(), target, 0.0, true);
            break;
        }
        if (ok) {
            written.append(target);
        } else {
            m_saveFailedPath = target;
        }
        return ok;
    };

    bool ok = true;
    if (IsMultiFile(index)) {
        // Nothing to put into a document: no file, the counter stays.
        ok = pages.isEmpty() || writeOne(0, pages);
    } else {
        for (int i = 0; ok && i < pages.size(); ++i) {
            ok = writeOne(i, {pages.at(i)});
        }
    }
    if (!ok) {
        for (const QString& file : qAsConst(written)) {
            QFile::remove(file);
        }
        return false;
    }
    m_counter = firstCounter + written.size();
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

void MainWindow::ShowSaveFailure()
{
    QString text = tr("保存失败");
    if (!m_saveFailedPath.isEmpty()) {
        text += QLatin1Char('\n') + m_saveFailedPath;
    }
    QMessageBox::critical(this, tr("错误"), text);
}

void MainWindow::Save()
{
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
    if (CheckDuplicateSavePath()) {
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
