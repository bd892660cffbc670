#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton answer, QObject* parent)
    : QObject(parent), m_answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::Poll);
    m_timer.start(10);
}

void ModalAnswerer::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        // A later box may reuse the address of one that has gone.
        m_lastSeen = nullptr;
        return;
    }
    if (box != m_lastSeen) {
        m_lastSeen = box;
        m_seenFor.start();
        titles << box->windowTitle();
        texts << box->text();
        icons << box->icon();
        buttonTexts.clear();
        for (QAbstractButton* button : box->buttons()) {
            buttonTexts << button->text();
        }
    }
    if (m_passive || m_seenFor.elapsed() < m_delayMs) {
        return;
    }
    if (m_key != 0) {
        if (beforeAnswer) {
            beforeAnswer(box);
        }
        m_lastSeen = nullptr;
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(m_key));
        return;
    }
    QAbstractButton* button = box->button(m_answer);
    for (QAbstractButton* named : box->buttons()) {
        if (!m_buttonText.isEmpty() && named->text() == m_buttonText) {
            button = named;
        }
    }
    if (!button && box->buttons().size() == 1) {
        button = box->buttons().first();
    }
    if (!button) {
        button = box->defaultButton();
    }
    if (button) {
        if (beforeAnswer) {
            beforeAnswer(box);
        }
        m_lastSeen = nullptr;
        button->click();
    }
}
