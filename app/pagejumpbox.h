#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class PageCommands;
class PageList;
class QComboBox;

// The page box of the tool bar bound to a page list: its items are the
// page numbers "1" to "N", the current page's item is the one shown, and
// choosing an item (or typing a number and pressing Return) goes to that
// page through the page commands. A typed text that is no page number is
// replaced, once the box loses the focus, by the text it showed when it got
// it. Page Up and Page Down do nothing in the box.
class PageJumpBox : public QObject {
    Q_OBJECT
public:
    PageJumpBox(QComboBox* box, PageList* pages, PageCommands* commands, QObject* parent = nullptr);

    // The items and the shown item as the list is now (its signals blocked).
    void Follow();
    // The box takes the keyboard focus with its text selected (when usable).
    void Focus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnIndexChanged(int index);
    // Puts back the remembered text unless the box shows a page number.
    bool CheckText();

    QPointer<QComboBox> m_box;
    PageList* m_pages;
    PageCommands* m_commands;
    QString m_textOnFocus;
    bool m_checking = false;
};
