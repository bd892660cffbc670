// Text recognition in the window: the background recognition of the pages
// (PageRecognition) set from the system settings, its count in the status
// row, and the copy of the selected pages' text.
#include "mainwindow.h"

#include "imageviewwidget.h"
#include "jobrunner.h"
#include "maskerdialog.h"
#include "pagelist.h"
#include "pagerecognition.h"
#include "sysconfigpage.h"
#include "thumblistwidget.h"
#include "ui_mainwindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

void MainWindow::SetupRecognition()
{
    m_ocrNote = new QLabel(this);
    m_ocrNote->setObjectName(QStringLiteral("lblOcrProgress"));
    m_ocrNote->setStyleSheet(QStringLiteral("font-size:12px;border:1px solid gray;height:24px;"));
    m_ocrNote->hide();
    ui->layoutImageStatus->insertWidget(1, m_ocrNote);

    m_recognition = new PageRecognition(m_pages, this);
    connect(m_recognition, &PageRecognition::sglProgress, this, &MainWindow::ShowRecognitionProgress);
    // A missing language pack is told once, in the status row: a running
    // scan goes on, and pages are saved without text.
    connect(m_recognition, &PageRecognition::sglMessage, this, [this](const QString& message) {
        auto* note = findChild<QLabel*>(QStringLiteral("lblOcrMessage"));
        if (!note) {
            note = new QLabel(this);
            note->setObjectName(QStringLiteral("lblOcrMessage"));
            note->setStyleSheet(QStringLiteral("font-size:12px;color:#C01E1E;"));
            ui->layoutImageStatus->insertWidget(1, note);
        }
        note->setText(message);
        note->show();
    });
    connect(m_sysPage, &SysConfigPage::sglOcrLanguageChanged, m_recognition, &PageRecognition::SetLanguage);
    m_recognition->SetLanguage(m_sysPage->Config().ocrLanguage);

    connect(ui->actionCopyText, &QAction::triggered, this, &MainWindow::CopyPageText);
    // Ctrl+C in the thumbnail column copies the same.
    connect(ui->lwImgThumbnail, &ThumbListWidget::sglCopyRequested, this, &MainWindow::CopyPageText);
    m_imageView->AddContextActions({ui->actionCopyText});
    connect(m_pages, &PageList::sglChanged, this, &MainWindow::RefreshCopyText);
    connect(m_pages, &PageList::dataChanged, this, &MainWindow::RefreshCopyText);
    connect(m_pages->Selection(), &QItemSelectionModel::selectionChanged, this, &MainWindow::RefreshCopyText);
    connect(m_sysPage, &SysConfigPage::sglOcrLanguageChanged, this, &MainWindow::RefreshCopyText);
    RefreshCopyText();
}

QStringList MainWindow::TextsToCopy() const
{
    if (m_recognition->Language() == OcrLanguage::None || m_pages->IsEmpty()) {
        return {};
    }
    QList<int> rows = m_pages->SelectedRows();
    if (rows.isEmpty()) {
        rows << m_pages->Current();
    }
    QStringList texts;
    for (int row : qAsConst(rows)) {
        QString text = m_pages->TextOf(m_pages->At(row).id).PlainText();
        while (!text.isEmpty() && text.back().isSpace()) {
            text.chop(1);
        }
        if (!text.isEmpty()) {
            texts << text;
        }
    }
    return texts;
}

void MainWindow::RefreshCopyText()
{
    ui->actionCopyText->setEnabled(!TextsToCopy().isEmpty());
}

void MainWindow::CopyPageText()
{
    const QStringList texts = TextsToCopy();
    if (texts.isEmpty()) {
        ShowNote(tr("选中的图像没有识别出的文字"));
        return;
    }
    // Page after page, a blank line between two.
    QGuiApplication::clipboard()->setText(texts.join(QStringLiteral("\n\n")));
    const int count = int(texts.size());
    ShowNote(count == 1 ? tr("已复制 %1 页的文字", "one page").arg(count)
                        : tr("已复制 %1 页的文字", "several pages").arg(count));
}

void MainWindow::ShowRecognitionProgress(int done, int total)
{
    if (total <= 0 || m_recognition->Language() == OcrLanguage::None) {
        m_ocrNote->hide();
        return;
    }
    m_ocrNote->setText(tr("文字识别：%1/%2").arg(done).arg(total));
    m_ocrNote->show();
}

bool MainWindow::WaitForRecognition(int format, const std::function<void()>& then,
                                    const std::function<void()>& stopped)
{
    const QString extension = m_sysPage->FormatExtension(format);
    if (m_recognition->Language() == OcrLanguage::None || !m_recognition->HasPending() ||
        (extension != QLatin1String("pdf") && extension != QLatin1String("ofd"))) {
        return false;
    }
    struct Wait {
        std::atomic<bool> done{false};
        std::atomic<bool> stopped{false};
        QList<QMetaObject::Connection> connections;
    };
    auto wait = std::make_shared<Wait>();
    const auto message = [this](int done, int total) {
        return tr("正在识别文字… %1/%2").arg(done).arg(total);
    };
    wait->connections << connect(m_recognition, &PageRecognition::sglIdle, this,
                                 [wait] { wait->done = true; });
    wait->connections << connect(m_recognition, &PageRecognition::sglProgress, this,
                                 [this, message](int done, int total) {
                                     if (total > 0) {
                                         m_jobs->SetMessage(message(done, total));
                                     }
                                 });
    wait->connections << connect(m_jobs, &JobRunner::sglStopRequested, this,
                                 [wait] { wait->stopped = true; });
    const auto disconnectAll = [wait] {
        for (const QMetaObject::Connection& connection : qAsConst(wait->connections)) {
            QObject::disconnect(connection);
        }
        wait->connections.clear();
    };
    // The job thread only waits; the pages are recognised by the queue and
    // delivered on this thread.
    const bool started = ExecLambda(
        message(m_recognition->DoneCount(), m_recognition->TotalCount()),
        [wait] {
            while (!wait->done && !wait->stopped) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        },
        [this] {
            m_jobs->StopThread();
            m_jobs->HideMasker();
        },
        [wait, disconnectAll, then, stopped] {
            disconnectAll();
            // Stopped: nothing is saved, the pages stay as they are (those
            // recognised meanwhile keep their text).
            if (!wait->stopped) {
                then();
            } else if (stopped) {
                stopped();
            }
        },
        true);
    if (!started) {
        disconnectAll();
        if (stopped) {
            stopped();
        }
    } else if (MaskerDialog* masker = m_jobs->Masker()) {
        masker->SetStopText(tr("停止"));
    }
    return true;
}
