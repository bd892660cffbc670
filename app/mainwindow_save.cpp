// The save workflow of the main window: "保存", the save after a scan and
// "另存为…" as background jobs. Writing the files, the overwrite question and the
// messages belong to SaveController; the window keeps the pages, the
// settings and the counter.
#include "mainwindow.h"

#include "dialogfit.h"
#include "fileutils.h"
#include "imageviewwidget.h"
#include "jobrunner.h"
#include "pagehistory.h"
#include "pagerecognition.h"
#include "savecontroller.h"
#include "scancontroller.h"
#include "sessioncontroller.h"
#include "sysconfigpage.h"
#include "textstore.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

SaveController::Target MainWindow::SaveTarget() const
{
    SaveController::Target target;
    target.folder = m_sysPage->SavePath();
    target.prefix = m_sysPage->Config().prefix;
    target.minDigits = m_sysPage->MinDigits();
    target.format = m_sysPage->FormatIndex();
    target.extension = m_sysPage->FormatExtension();
    return target;
}

QString MainWindow::GetScanFile(int number, const QString& extension) const
{
    SaveController::Target target = SaveTarget();
    target.extension = extension;
    return SaveController::FileName(target, number);
}

QStringList MainWindow::ExistingSaveTargets() const
{
    return SaveController::ExistingTargets(SaveTarget(), m_pages->Count(), m_sysPage->Counter());
}

bool MainWindow::CheckDuplicateSavePath()
{
    return !ExistingSaveTargets().isEmpty();
}

QList<SavePage> MainWindow::PagesToSave() const
{
    QList<SavePage> pages;
    // Recognition off writes no text, whatever was recognised before.
    const bool withText = m_recognition->Language() != OcrLanguage::None;
    for (const Page& page : m_pages->Pages()) {
        pages << SavePage{page.path, page.angle, withText ? m_pages->TextOf(page.id) : PageText()};
    }
    return pages;
}

bool MainWindow::DoSave()
{
    return DoSave(PagesToSave());
}

bool MainWindow::DoSave(const QList<SavePage>& pages)
{
    if (!m_saver->Write(SaveTarget(), pages, m_sysPage->Counter(), SavedPagesNote(pages))) {
        return false;
    }
    // The counter stays when nothing was written.
    m_sysPage->AdvanceCounter(m_saver->SavedFiles().size());
    return true;
}

void MainWindow::SetFolderOpener(std::function<bool(const QUrl&)> opener)
{
    m_saver->SetFolderOpener(std::move(opener));
}

bool MainWindow::ConfirmOverwrite()
{
    const QStringList existing = ExistingSaveTargets();
    return existing.isEmpty() || m_saver->AskOverwrite(existing);
}

void MainWindow::Save()
{
    if (m_saver->RefuseIncompletePages(PageFiles())) {
        return;
    }
    if (!ConfirmOverwrite()) {
        return;
    }
    // A searchable file waits for the text of its pages.
    if (!WaitForRecognition(m_sysPage->FormatIndex(), [this] { StartSave(); })) {
        StartSave();
    }
}

void MainWindow::StartSave()
{
    EnsureScanPath();
    m_saver->Reset();
    // The pages are taken here, on the interface thread that owns the list;
    // the job only writes them.
    ExecLambda(
        tr("正在进行保存..."), [this, pages = PagesToSave()] { SaveWork(pages); }, [this] { SaveFinished(); },
        [this] { SaveAfter(); });
}

void MainWindow::SaveWork(const QList<SavePage>& pages)
{
    DoSave(pages);
}

void MainWindow::SettleSavedPages()
{
    // In this order, each step on disk before the next: the counter (so the
    // file names are not handed out again), the journal without the pages
    // (so they are not offered again), then the page folder is emptied,
    // before the window takes the next job.
    m_sysPage->StoreCounter();
    if (m_session && m_session->Recording()) {
        m_session->Saved(m_scan->NextNumber());
    } else {
        // A window without a journal of its own shares the folder: only
        // its own pages go.
        const QList<QString> pages = PageFiles();
        for (const QString& page : pages) {
            QFile::remove(page);
            QFile::remove(TextStore::TextPath(page));
        }
    }
    m_saver->ForgetSave();
}

void MainWindow::SaveFinished()
{
    m_jobs->StopThread();
    if (m_saver->Succeeded()) {
        SettleSavedPages();
    }
    m_jobs->HideMasker();
}

void MainWindow::SaveAfter()
{
    ShowSaveOutcome(m_sysPage->SavePath());
}

void MainWindow::ShowSaveOutcome(const QString& folder)
{
    if (!m_saver->Succeeded()) {
        m_saver->ShowFailure();
        return;
    }
    m_imageView->Broom();
    // The saved pages' files are gone: no step can bring them back.
    m_history->Drop();
    EnableMenu(false);
    EnablePageButton(false, false, false, false, false);
    m_saver->ShowSuccess(folder);
}

void MainWindow::ShowSavedNote()
{
    const QString note = m_saver->SavedNote();
    if (!note.isEmpty()) {
        ShowNote(note, QDir::toNativeSeparators(m_sysPage->SavePath()));
    }
}

void MainWindow::ShowNote(const QString& text, const QString& toolTip)
{
    m_saveNote->setText(text);
    m_saveNote->setToolTip(toolTip);
    m_saveNote->show();
    m_saveNoteTimer->start();
}

void MainWindow::SaveAfterScan()
{
    m_saver->Reset();
    const bool go = !m_saver->RefuseIncompletePages(PageFiles()) && ConfirmOverwrite();
    const auto keep = [this] {
        EnableMenu(m_pages->Count() != 0);
        RefreshPageButtons();
    };
    if (!go) {
        keep();
    } else if (!WaitForRecognition(
                   m_sysPage->FormatIndex(), [this] { StartSaveAfterScan(); }, keep)) {
        StartSaveAfterScan();
    }
}

void MainWindow::StartSaveAfterScan()
{
    EnsureScanPath();
    // On the job thread like "保存"; the window keeps painting.
    const bool started = ExecLambda(
        tr("正在进行保存..."), [this, pages = PagesToSave()] { SaveWork(pages); },
        [this] { SaveAfterScanFinished(); }, [this] { SaveAfterScanAfter(); });
    if (!started) {
        EnableMenu(m_pages->Count() != 0);
        RefreshPageButtons();
    }
}

void MainWindow::SaveAfterScanFinished()
{
    m_jobs->StopThread();
    if (m_saver->Succeeded()) {
        EnablePageButton(false, false, false, false, false);
        SettleSavedPages();
        m_imageView->Broom();
        // The saved pages' files are gone: no step can bring them back.
        m_history->Drop();
    }
    EnableMenu(m_pages->Count() != 0);
    RefreshPageButtons();
    m_jobs->HideMasker();
}

void MainWindow::SaveAfterScanAfter()
{
    if (m_saver->Succeeded()) {
        ShowSavedNote();
    } else {
        m_saver->ShowFailure();
    }
}

QString MainWindow::AskSaveAsName(int* format)
{
    QFileDialog dialog(this, tr("另存为…"), m_sysPage->SaveAsFolder());
    dialog.setObjectName(QStringLiteral("dlgSaveAs"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Overwriting is asked once for all files the save writes (below).
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (int i = 0; i < m_sysPage->FormatCount(); ++i) {
        filters << QStringLiteral("%1 (*.%2)").arg(m_sysPage->FormatText(i), m_sysPage->FormatExtension(i));
    }
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(m_sysPage->SaveAsFormat()));
    const SaveController::Target target = SaveTarget();
    dialog.selectFile(SaveController::SaveAsSuggestion(target.prefix, m_sysPage->Counter(), target.minDigits,
                                                       tr("扫描文档"), QDate::currentDate()));
    FitDialogToScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    *format = filters.indexOf(dialog.selectedNameFilter());
    if (*format < 0) {
        return QString();
    }
    return dialog.selectedFiles().first();
}

void MainWindow::SaveAs()
{
    if (PageFiles().isEmpty() || m_saver->RefuseIncompletePages(PageFiles())) {
        return;
    }
    int format = -1;
    const QString chosen = AskSaveAsName(&format);
    if (chosen.isEmpty()) {
        return;
    }
    const QString folder = QFileInfo(chosen).absolutePath();
    m_sysPage->StoreSaveAs(folder, format);
    const QStringList targets = SaveController::SaveAsFileNames(
        chosen, m_sysPage->FormatExtension(format), SaveController::IsMultiFile(format), m_pages->Count());
    QStringList existing;
    for (const QString& target : targets) {
        if (QFileInfo::exists(target)) {
            existing << target;
        }
    }
    if (!existing.isEmpty() && !m_saver->AskOverwrite(existing)) {
        return;
    }
    const auto write = [this, format, targets, folder] {
        m_saver->Reset();
        // Written through the same all-or-nothing save as "保存", under the
        // chosen names and without the counter. It is a copy: the pages,
        // their files, the journal and the steps of 撤销 all stay.
        const QList<SavePage> pages = PagesToSave();
        ExecLambda(
            tr("正在进行保存..."),
            [this, format, pages, targets] { m_saver->WriteFiles(format, pages, targets); },
            [this] {
                m_jobs->StopThread();
                m_jobs->HideMasker();
            },
            [this, folder] {
                if (m_saver->Succeeded()) {
                    m_saver->ShowSuccess(folder, true);
                } else {
                    m_saver->ShowFailure();
                }
            });
    };
    if (!WaitForRecognition(format, write)) {
        write();
    }
}
