#include "maskerdialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// White text at 6.0:1 on the button's red and 7.0:1 on the panel's grey; the
// button holds the focus while a scan runs and shows it with a white border.
// The border is always 3 px (in the button's own colour until it has the
// focus), so that the focus frame never takes room from the text.
const char kStopButtonStyle[] = "QPushButton { font-size:20px; color:white; background:#B03A2E;"
                                " border:3px solid #B03A2E; border-radius:6px; padding:6px 28px; }"
                                "QPushButton:hover { background:#C0392B; border-color:#C0392B; }"
                                "QPushButton:focus { border-color:#ffffff; }"
                                "QPushButton:disabled { background:#7F8C8D; border-color:#7F8C8D; }";
} // namespace

MaskerDialog::MaskerDialog(const QString& message, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MaskerDialog"));
    setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 200);\nborder:0px;"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // One grey panel: the message, and below it, during a scan, the stop
    // button, so no see-through gap opens around the button.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("frmBusy"));
    panel->setStyleSheet(QStringLiteral("QFrame#frmBusy { background:#595959; }"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    layout->addWidget(panel);

    m_label = new QLabel(message, panel);
    m_label->setObjectName(QStringLiteral("lblMessage"));
    m_label->setStyleSheet(QStringLiteral("font-size:30px;\nbackground:#595959;\ncolor:white;"));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_label->setFixedSize(500, 100);
    panelLayout->addWidget(m_label);

    m_stopButton = new QPushButton(tr("停止扫描"), panel);
    m_stopButton->setObjectName(QStringLiteral("btnStopScan"));
    m_stopButton->setStyleSheet(QLatin1String(kStopButtonStyle));
    m_stopButton->setCursor(Qt::PointingHandCursor);
    m_stopButton->setAutoDefault(false);
    m_stopButton->hide();
    m_buttonRow = new QWidget(panel);
    auto* row = new QHBoxLayout(m_buttonRow);
    row->setContentsMargins(0, 0, 0, 14);
    row->addStretch();
    row->addWidget(m_stopButton);
    row->addStretch();
    m_buttonRow->hide();
    panelLayout->addWidget(m_buttonRow);
    connect(m_stopButton, &QPushButton::clicked, this, &MaskerDialog::RequestStop);

    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);
}

void MaskerDialog::SetMsg(const QString& message)
{
    m_label->setText(message);
}

QString MaskerDialog::Msg() const
{
    return m_label->text();
}

void MaskerDialog::SetStoppable(bool stoppable)
{
    m_stoppable = stoppable;
    m_stopSent = false;
    m_stopButton->setText(tr("停止扫描"));
    m_stopButton->setEnabled(stoppable);
    m_stopButton->setVisible(stoppable);
    m_buttonRow->setVisible(stoppable);
    adjustSize();
}

void MaskerDialog::SetStopText(const QString& text)
{
    m_stopButton->setText(text);
    adjustSize();
}

void MaskerDialog::reject()
{
    // The overlay stays until its job has ended; closing it early would free
    // the window under a running job.
    if (m_stoppable) {
        RequestStop();
    }
}

void MaskerDialog::RequestStop()
{
    if (!m_stoppable || m_stopSent) {
        return;
    }
    m_stopSent = true;
    m_stopButton->setEnabled(false);
    emit sglStopRequested();
}

void MaskerDialog::OnMaskerWorkerFinished()
{
    emit sglMaskerFinished();
}
