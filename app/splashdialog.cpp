#include "splashdialog.h"

#include "mainwindow.h"
#include "worker.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

SplashDialog::SplashDialog(MainWindow* mainWindow, const QString& language, QWidget* parent)
    : QDialog(parent), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("SplashDialog"));
    resize(483, 160);
    setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 200);\nborder:0px"));
    setWindowTitle(tr("泽科维扫描软件"));

    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("lblSplash"));
    label->setPixmap(QPixmap(PicturePath(language)));
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label, 9);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    move((desktop.width() - width()) / 2, (desktop.height() - height()) / 2 - 50);

    if (m_mainWindow) {
        m_mainWindow->SetSplashParent(this);
    }
}

SplashDialog::~SplashDialog()
{
    if (m_mainWindow) {
        m_mainWindow->SetSplashParent(nullptr);
    }
}

QString SplashDialog::PicturePath(const QString& language)
{
    if (language == QLatin1String("1")) {
        return QStringLiteral(":/pngs/splashtw.png");
    }
    if (language == QLatin1String("2")) {
        return QStringLiteral(":/pngs/splashen.png");
    }
    return QStringLiteral(":/pngs/splashcn.png");
}

void SplashDialog::DoInitJob()
{
    m_thread = new QThread;
    m_worker = new Worker;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    connect(m_thread, &QObject::destroyed, this, [this] { m_thread = nullptr; });
    connect(m_worker, &QObject::destroyed, this, [this] { m_worker = nullptr; });
    connect(m_thread, &QThread::started, m_worker, &Worker::OnWorkerStart);
    if (m_mainWindow) {
        connect(m_worker, &Worker::sglWorkerProgress, m_mainWindow, &MainWindow::OnSplashWorkerProgress,
                Qt::DirectConnection);
        connect(m_worker, &Worker::sglWorkerFinished, m_mainWindow, &MainWindow::OnSplashWorkerFinished,
                Qt::QueuedConnection);
    }
    connect(m_worker, &Worker::sglWorkerFinished, this, &SplashDialog::OnSplashWorkerFinished,
            Qt::QueuedConnection);
    m_thread->start(QThread::InheritPriority);
}

void SplashDialog::OnSplashWorkerFinished()
{
    if (m_thread) {
        m_thread->requestInterruption();
        m_thread->quit();
        m_thread->wait();
    }
    emit sglSplashFinished();
}
