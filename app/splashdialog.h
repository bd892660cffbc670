#pragma once

#include <QDialog>
#include <QPointer>

class MainWindow;
class QThread;
class Worker;

// Start-up splash: shows the program picture while the initialisation job
// runs, then announces sglSplashFinished so that main can show the window.
class SplashDialog : public QDialog {
    Q_OBJECT
public:
    SplashDialog(MainWindow* mainWindow, const QString& language, QWidget* parent = nullptr);
    ~SplashDialog() override;

    static QString PicturePath(const QString& language);

    // Starts the initialisation job on its own thread.
    void DoInitJob();

signals:
    void sglSplashFinished();

public slots:
    void OnSplashWorkerFinished();

private:
    QPointer<MainWindow> m_mainWindow;
    QThread* m_thread = nullptr;
    Worker* m_worker = nullptr;
};
