#include "aboutdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(tr("关于"));
    setFixedSize(580, 160);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("lblIcon"));
    icon->setPixmap(QPixmap(QStringLiteral(":/pngs/64x64/scanvy.png")));
    icon->setFixedSize(64, 64);

    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setStyleSheet(QStringLiteral("font-size:16px;"));

    auto* note = new QLabel(this);
    note->setObjectName(QStringLiteral("lblText"));
    note->setWordWrap(true);

    auto* close = new QPushButton(tr("关闭"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addStretch(1);
    texts->addWidget(version);
    texts->addWidget(note);
    texts->addStretch(1);

    auto* row = new QHBoxLayout;
    row->addSpacing(12);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addSpacing(16);
    row->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addLayout(buttons);
}

QString AboutDialog::VersionText()
{
    return tr("泽科维扫描软件 版本：%1").arg(QStringLiteral("4.1.2"));
}
