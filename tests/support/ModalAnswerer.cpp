#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

ModalAnswerer::ModalAnswerer(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(15);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

void ModalAnswerer::answer(QMessageBox::StandardButton button)
{
    m_queue.append(button);
}

void ModalAnswerer::setDefaultAnswer(QMessageBox::StandardButton button)
{
    m_default = button;
}

void ModalAnswerer::setCheckBoxChecked(bool checked)
{
    m_checkBox = checked;
}

void ModalAnswerer::onDialog(const DialogHandler& handler)
{
    m_handlers.append(handler);
}

void ModalAnswerer::clear()
{
    m_texts.clear();
    m_titles.clear();
    m_queue.clear();
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    for (const QPointer<QWidget>& seen : qAsConst(m_seen)) {
        if (seen == modal)
            return; // already answered, still closing
    }

    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_seen.append(box);
        m_texts.append(box->text());
        m_titles.append(box->windowTitle());
        if (m_checkBox && box->checkBox())
            box->checkBox()->setChecked(true);
        const QMessageBox::StandardButton wanted = m_queue.isEmpty() ? m_default : m_queue.takeFirst();
        QAbstractButton* button = box->button(wanted);
        if (!button) {
            // The wanted button is not offered: take whatever the box would do on Escape/Enter.
            button = box->escapeButton();
            if (!button)
                button = box->defaultButton();
        }
        if (button)
            button->click();
        else
            box->done(wanted);
        return;
    }

    for (const DialogHandler& handler : qAsConst(m_handlers)) {
        if (handler(modal)) {
            m_seen.append(modal);
            return;
        }
    }
}
