#include "scanvymessagebox.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace {
QMessageBox::Icon IconForKind(int kind)
{
    switch (kind) {
    case ScanvyMessageBox::Information:
        return QMessageBox::Information;
    case ScanvyMessageBox::Critical:
        return QMessageBox::Critical;
    case ScanvyMessageBox::Question:
        return QMessageBox::Question;
    case ScanvyMessageBox::Warning:
        return QMessageBox::Warning;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

ScanvyMessageBox::ScanvyMessageBox(QWidget* parent, const QString& title, const QString& text, int kind)
    : QObject(nullptr), m_parent(parent), m_title(title), m_text(text), m_kind(kind)
{
}

void ScanvyMessageBox::information(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, title, text, Information);
}

void ScanvyMessageBox::critical(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, title, text, Critical);
}

void ScanvyMessageBox::question(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, title, text, Question);
}

void ScanvyMessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, title, text, Warning);
}

void ScanvyMessageBox::show(QWidget* parent, const QString& title, const QString& text, int kind)
{
    Exec(parent, title, text, kind, false);
}

bool ScanvyMessageBox::ask(QWidget* parent, const QString& title, const QString& text)
{
    return Exec(parent, title, text, Question, true) == QMessageBox::Yes;
}

int ScanvyMessageBox::Exec(QWidget* parent, const QString& title, const QString& text, int kind, bool yesNo)
{
    int answer = QMessageBox::NoButton;
    QEventLoop loop;
    auto* box = new ScanvyMessageBox(parent, title, text, kind);
    box->m_yesNo = yesNo;
    box->m_answer = &answer;
    connect(box, &QObject::destroyed, &loop, &QEventLoop::quit);
    box->moveToThread(qApp->thread());
    QTimer::singleShot(0, box, &ScanvyMessageBox::onShow);
    loop.exec();
    return answer;
}

void ScanvyMessageBox::onShow()
{
    const QString parentType =
        m_parent ? QString::fromLatin1(m_parent->metaObject()->className()) : QString();
    if (parentType == QLatin1String("SplashDialog")) {
        ShowOverSplash();
    } else if (parentType == QLatin1String("MainWindow")) {
        ShowOverMainWindow();
    }
    deleteLater();
}

void ScanvyMessageBox::ShowOverSplash()
{
    QMessageBox box(IconForKind(m_kind), m_title, m_text,
                    m_yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_parent);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    box.move(screen.width() / 2 - 150, screen.height() / 2 - 75);
    box.setWindowFlags(box.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
    *m_answer = box.exec();
}

void ScanvyMessageBox::ShowOverMainWindow()
{
    QMessageBox box(IconForKind(m_kind), m_title, m_text, QMessageBox::NoButton, m_parent);
    if (m_yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        *m_answer = box.exec();
        return;
    }
    box.addButton(tr("确定"), QMessageBox::AcceptRole);
    box.exec();
}
