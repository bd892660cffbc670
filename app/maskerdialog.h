#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Busy overlay: a translucent, frameless, modal layer with one message that
// covers the main window while a background job runs. It is only hidden by
// its owner when the job has ended: Esc and a close request never close it.
// During a scan it offers "停止扫描", and Esc or a close request ask for the
// same; during other jobs they are ignored.
class MaskerDialog : public QDialog {
    Q_OBJECT
public:
    explicit MaskerDialog(const QString& message, QWidget* parent = nullptr);

    void SetMsg(const QString& message);
    QString Msg() const;

    // Shows the stop button (and lets Esc and close requests stop the job);
    // arms it again for the next job.
    void SetStoppable(bool stoppable);
    // The stop button's text for this job ("停止扫描" unless set).
    void SetStopText(const QString& text);
    bool IsStoppable() const { return m_stoppable; }

    // Esc and the window manager's close button end up here.
    void reject() override;

signals:
    void sglMaskerFinished();
    // The user asked to stop the job; sent once per job.
    void sglStopRequested();

public slots:
    void OnMaskerWorkerFinished();

private:
    void RequestStop();

    QLabel* m_label;
    QPushButton* m_stopButton;
    QWidget* m_buttonRow;
    bool m_stoppable = false;
    bool m_stopSent = false;
};
