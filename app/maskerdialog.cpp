#include "maskerdialog.h"

#include <QLabel>
#include <QVBoxLayout>

MaskerDialog::MaskerDialog(const QString& message, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MaskerDialog"));
    setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 200);\nborder:0px;"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_label = new QLabel(message, this);
    m_label->setObjectName(QStringLiteral("lblMessage"));
    m_label->setStyleSheet(QStringLiteral("font-size:30px;\nbackground:gray;\ncolor:white;"));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_label->setFixedSize(500, 100);
    layout->addWidget(m_label);

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

void MaskerDialog::OnMaskerWorkerFinished()
{
    emit sglMaskerFinished();
}
