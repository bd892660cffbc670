// Text recognition in the window: the background recognition of the pages
// (PageRecognition) set from the system settings, its count in the status
// row, and the copy of a page's text.
#include "mainwindow.h"

#include "pagelist.h"
#include "pagerecognition.h"
#include "sysconfigpage.h"
#include "ui_mainwindow.h"

#include <QLabel>

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
