#include "pagejumpbox.h"

#include "pagecommands.h"
#include "pagelist.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

PageJumpBox::PageJumpBox(QComboBox* box, PageList* pages, PageCommands* commands, QObject* parent)
    : QObject(parent), m_box(box), m_pages(pages), m_commands(commands)
{
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &PageJumpBox::OnIndexChanged);
    // Once per change of the list, when its rows and current row agree.
    connect(pages, &PageList::sglChanged, this, &PageJumpBox::Follow);
    box->installEventFilter(this);
    Follow();
}

void PageJumpBox::Follow()
{
    if (m_box.isNull()) {
        return;
    }
    const QSignalBlocker blocker(m_box.data());
    const int count = m_pages->Count();
    // The items are the numbers, so only their count changes.
    while (m_box->count() > count) {
        m_box->removeItem(m_box->count() - 1);
    }
    while (m_box->count() < count) {
        m_box->addItem(QString::number(m_box->count() + 1));
    }
    if (count > 0 && m_box->currentIndex() != m_pages->Current()) {
        m_box->setCurrentIndex(m_pages->Current());
    }
}

void PageJumpBox::Focus()
{
    if (m_box.isNull() || !m_box->isEnabled() || !m_box->isVisible()) {
        return;
    }
    m_box->setFocus(Qt::ShortcutFocusReason);
    m_box->lineEdit()->selectAll();
}

void PageJumpBox::OnIndexChanged(int index)
{
    // Refused while a job works on the pages: the box shows the current
    // page again.
    if (!m_commands->JumpTo(index)) {
        Follow();
    }
    m_box->window()->setFocus();
}

bool PageJumpBox::CheckText()
{
    static const QRegularExpression pageNumber(QStringLiteral("^[1-9][0-9]*$"));
    const QString text = m_box->currentText();
    bool number = false;
    const qlonglong page = text.toLongLong(&number);
    // A number too large for any integer is no page either.
    const bool valid = pageNumber.match(text).hasMatch() && number && page <= m_pages->Count();
    if (!valid) {
        m_box->setEditText(m_textOnFocus);
    }
    return valid;
}

bool PageJumpBox::eventFilter(QObject* watched, QEvent* event)
{
    // While the box is destroyed it still sends events, but is no combo box
    // any more: those are not looked at.
    auto* box = qobject_cast<QComboBox*>(watched);
    if (box == nullptr || box != m_box) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Leaving the box checks the text; a page number then counts.
            m_box->window()->setFocus();
            const int index = m_box->findText(m_box->currentText());
            if (index >= 0 && index != m_box->currentIndex()) {
                m_box->setCurrentIndex(index);
            }
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        m_textOnFocus = m_box->currentText();
        break;
    case QEvent::FocusOut:
        if (!m_checking) {
            m_checking = true;
            CheckText();
            m_checking = false;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
