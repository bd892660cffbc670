#pragma once

#include <QDialog>

class QLabel;

// Busy overlay: a translucent, frameless, modal layer with one message that
// covers the main window while a background job runs.
class MaskerDialog : public QDialog {
    Q_OBJECT
public:
    explicit MaskerDialog(const QString& message, QWidget* parent = nullptr);

    void SetMsg(const QString& message);
    QString Msg() const;

signals:
    void sglMaskerFinished();

public slots:
    void OnMaskerWorkerFinished();

private:
    QLabel* m_label;
};
