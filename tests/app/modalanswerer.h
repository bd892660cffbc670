#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers every message box that becomes the active modal widget while it
// runs: records title and text, then presses the chosen button (or, in a box
// that lacks it, its only button or else its default button).
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok, QObject* parent = nullptr);

    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Press the button with this text where a box has one (empty: none).
    void SetButtonText(const QString& text) { m_buttonText = text; }
    // Press this key (Qt::Key_Return, Qt::Key_Escape) in each box where its
    // focus is, as a user would, instead of a button; 0: click buttons.
    void SetKey(int key) { m_key = key; }
    // Only look, do not answer; a test then closes the box itself.
    void SetPassive(bool passive) { m_passive = passive; }
    // Keep each box open this long before answering it.
    void SetDelay(int ms) { m_delayMs = ms; }
    // Called with the box just before it is answered (while it is still open).
    std::function<void(QMessageBox*)> beforeAnswer;

    QStringList titles;
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    QStringList buttonTexts; // texts of the buttons of the last box

private:
    void Poll();

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    QString m_buttonText;
    bool m_passive = false;
    int m_key = 0;
    int m_delayMs = 0;
    QElapsedTimer m_seenFor;
    QMessageBox* m_lastSeen = nullptr;
};
