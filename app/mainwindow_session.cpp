// The session's pages on disk: the lock that marks a running session, the
// journal that every change of the page list rewrites, and the offer to
// bring the pages of a session that did not end normally back.
#include "mainwindow.h"
#include "scancontroller.h"
#include "sysconfigpage.h"

#include "imageviewwidget.h"
#include "journalwriter.h"
#include "pagehistory.h"
#include "savecontroller.h"
#include "sessioncontroller.h"
#include "temppath.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cerrno>

namespace {

const int kJournalWorksNoteMs = 5000;

// Why the journal could not be written, in the user's words.
QString JournalFailureCause(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return MainWindow::tr("磁盘空间不足");
    case ENOENT:
    case ENOTDIR:
        return MainWindow::tr("工作文件夹已不存在");
    case EACCES:
    case EPERM:
    case EROFS:
        return MainWindow::tr("工作文件夹不可写");
    default:
        return MainWindow::tr("写入出错");
    }
}

} // namespace

void MainWindow::PrepareSession(const QStringList& earlier)
{
    m_session.reset(new SessionController(m_workDir, earlier));
    m_session->SetCounterKeeper([this](int counter) { m_sysPage->KeepCounterAtLeast(counter); });
    const int next = m_session->Prepare(m_scan->NextNumber());
    // The folder the session really took (a private one when another copy
    // holds this one): page files, save staging and temporary files follow it.
    m_workDir = m_session->WorkDir();
    m_scanDir = m_workDir.isEmpty() ? QString() : m_workDir + QLatin1String("/scanimages");
    SetTempDir(m_workDir);
    if (JournalWriter* writer = m_session->Writer()) {
        // Told once when the journal cannot be written, and once when it
        // works again; a note in the status row, so that a running scan goes
        // on. Meanwhile the journal on disk keeps the pages as they were
        // before the failure: after a crash those come back (a deleted page
        // too), the changes since do not, and the note says so.
        connect(writer, &JournalWriter::sglWriteFailed, this, [this](int error) {
            ShowJournalNote(tr("无法保存恢复记录：%1，最近的更改尚未保留（程序意外退出时将丢失）")
                                .arg(JournalFailureCause(error)),
                            true);
        });
        connect(writer, &JournalWriter::sglWriteWorks, this,
                [this] { ShowJournalNote(tr("恢复记录已恢复正常保存"), false); });
    }
    m_scan->SetNextNumber(next);
}

void MainWindow::ShowJournalNote(const QString& text, bool lasting)
{
    auto* note = findChild<QLabel*>(QStringLiteral("lblJournalNote"));
    if (!note) {
        note = new QLabel(this);
        note->setObjectName(QStringLiteral("lblJournalNote"));
        note->setStyleSheet(QStringLiteral("font-size:12px;color:#C01E1E;"));
        ui->layoutImageStatus->addWidget(note);
        auto* timer = new QTimer(note);
        timer->setObjectName(QStringLiteral("journalNoteTimer"));
        timer->setSingleShot(true);
        timer->setInterval(kJournalWorksNoteMs);
        connect(timer, &QTimer::timeout, note, &QLabel::hide);
    }
    auto* timer = note->findChild<QTimer*>(QStringLiteral("journalNoteTimer"));
    note->setText(text);
    note->show();
    if (lasting) {
        timer->stop();
    } else {
        timer->start();
    }
}

void MainWindow::RecordSession()
{
    // Until the question has been answered the journal on disk is the one of
    // the session that may be brought back.
    if (!m_session || !m_session->Recording() || m_restoringPages) {
        return;
    }
    SessionJournal::State state;
    for (const Page& page : m_pages->Pages()) {
        state.pages << page.path;
        if (page.angle != 0) {
            state.angles.insert(page.path, page.angle);
        }
    }
    state.current = m_pages->Current();
    state.scanNumber = m_scan->NextNumber();
    if (m_scan->Scanning()) {
        state.scanRunning = true;
        // Where the pages still to come go: a replaced page is followed by
        // the pages after it.
        state.scan.type = int(m_pages->Placement());
        state.scan.insertAt = m_pages->InsertRow();
        state.scan.firstNumber = m_scan->FirstNumber();
        state.scan.prefix = m_scan->Prefix();
        state.scan.minDigits = m_scan->MinDigits();
        state.scan.extension = m_scan->Format();
    }
    m_session->Record(state);
}

void MainWindow::OfferRecovery()
{
    if (!m_session || !m_session->RecoveryPending()) {
        return;
    }
    const int count = m_session->PendingRecoveryCount();
    const int damaged = m_session->PendingDamagedCount();
    const QString text =
        damaged > 0 ? tr("发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？").arg(count).arg(damaged)
                    : tr("发现上次未保存的 %1 张图像，是否恢复？").arg(count);
    QMessageBox box(QMessageBox::Question, tr("提示"), text, QMessageBox::Yes | QMessageBox::No, this);
    // Only 否 empties the folder: Esc or closing the box keeps the pages (and
    // the journal) for the next start, through a button that is never shown.
    QPushButton* later = box.addButton(QMessageBox::Cancel);
    later->hide();
    box.setEscapeButton(later);
    box.setDefaultButton(QMessageBox::Yes);
    box.exec();
    const QAbstractButton* answer = box.clickedButton();
    if (answer != box.button(QMessageBox::Yes) && answer != box.button(QMessageBox::No)) {
        // The question stays open: nothing is recorded over the journal and
        // nothing is emptied, so the next start asks again.
        return;
    }
    const SessionJournal::State found = m_session->TakeRecovery(answer == box.button(QMessageBox::Yes));
    if (!found.pages.isEmpty()) {
        RestorePages(found);
    }
    RecordSession();
}

void MainWindow::ShowUnfinishedSaves()
{
    const SaveSettle::Unfinished unfinished =
        m_session ? m_session->TakeUnfinishedSaves() : SaveSettle::Unfinished();
    if (unfinished.isEmpty()) {
        return;
    }
    QStringList lines;
    for (const auto& file : unfinished) {
        lines << tr("%1（新内容在隐藏文件 %2 中）")
                     .arg(QDir::toNativeSeparators(file.first), QFileInfo(file.second).fileName());
    }
    QMessageBox::information(this, tr("提示"),
                             tr("上次中断的保存未能完成以下文件：同名文件已被替换，现有文件保持不变。") +
                                 QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
}

QByteArray MainWindow::SavedPagesNote(const QList<SavePage>& pages) const
{
    if (!m_session || !m_session->Recording()) {
        return QByteArray();
    }
    SaveSettle::Note note;
    for (const SavePage& page : pages) {
        note.pages << QFileInfo(page.path).fileName();
    }
    note.scanNumber = m_scan->NextNumber();
    const int files = SaveController::IsMultiFile(m_sysPage->FormatIndex()) ? 1 : int(pages.size());
    note.counter = m_sysPage->Counter() + files;
    return SaveSettle::Encode(note);
}

int MainWindow::PendingRecoveryCount() const
{
    return m_session ? m_session->PendingRecoveryCount() : 0;
}

void MainWindow::RestorePages(const SessionJournal::State& found)
{
    {
        const QSignalBlocker blocker(ui->lwImgThumbnail);
        // The rows come at once, the current page's large view and the
        // thumbnails over the next moments: the window answers meanwhile.
        const int current = m_pages->Count() + std::clamp(found.current, 0, int(found.pages.size()) - 1);
        QList<Page> pages;
        for (const QString& path : found.pages) {
            pages << Page{path, found.angles.value(path), false, 0};
        }
        const int count = int(found.pages.size());
        m_history->BeginGroup();
        m_restoringPages = true;
        m_imageView->AddImages(pages, current);
        m_restoringPages = false;
        m_history->EndGroup(tr("恢复 %n 张图像", nullptr, count));
    }
    m_scan->SetNextNumber(std::max(m_scan->NextNumber(), found.scanNumber));
    m_imageView->RefreshInfos();
    EnableMenu(m_pages->Count() != 0);
    RefreshPageButtons();
    ShowImageCount();
    // The recovery is a step of the history: 撤销 is offered for it now
    // that the pages are in.
    ApplyHistoryRule();
}

void MainWindow::EndSessionCleanly()
{
    // Pages not yet offered back stay for the next start.
    if (m_session) {
        m_session->EndCleanly(m_scan->NextNumber());
    }
}

void MainWindow::EndAtOnce()
{
    m_scan->StopNow();
    RecordSession();
    // Files only the history held are no pages: they go now.
    m_history->Drop();
    // The process ends right after this: the last state must be on disk.
    if (m_session) {
        m_session->Flush();
    }
}
