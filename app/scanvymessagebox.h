#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// Message boxes that may be raised from any thread. The box is shown on the
// user-interface thread; the calling thread waits in a local event loop until
// it has been closed. Only the splash and the main window get a box; for any
// other parent nothing is shown and the call returns at once.
class ScanvyMessageBox : public QObject {
    Q_OBJECT
public:
    enum Kind { Information = 1, Critical = 2, Question = 3, Warning = 4 };

    static void information(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    static void question(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void show(QWidget* parent, const QString& title, const QString& text, int kind);
    // A question with 是 and 否; true when 是 was pressed (false when no box
    // could be shown).
    static bool ask(QWidget* parent, const QString& title, const QString& text);

public slots:
    void onShow();

private:
    ScanvyMessageBox(QWidget* parent, const QString& title, const QString& text, int kind);
    // Shows the box on the user-interface thread and waits for it; the
    // button that closed it.
    static int Exec(QWidget* parent, const QString& title, const QString& text, int kind, bool yesNo);

    void ShowOverSplash();
    void ShowOverMainWindow();

    QPointer<QWidget> m_parent;
    QString m_title;
    QString m_text;
    int m_kind;
    bool m_yesNo = false;
    // Written on the user-interface thread before the box is deleted; read
    // by the waiting thread after that.
    int* m_answer = nullptr;
};
