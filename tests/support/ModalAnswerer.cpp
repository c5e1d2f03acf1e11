#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QtTest>

namespace {

QString describe(QWidget* dialog)
{
    return QStringLiteral("\"%1\" (%2)").arg(dialog->windowTitle(), QLatin1String(dialog->metaObject()->className()));
}

} // namespace

ModalAnswerer::ModalAnswerer(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(15);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
    ++s_alive;
}

ModalAnswerer::~ModalAnswerer()
{
    --s_alive;
}

void ModalAnswerer::clear()
{
    m_texts.clear();
    m_titles.clear();
    m_formats.clear();
    m_queue.clear();
}

// A dialog shown again (a box run twice) must be answered afresh, so an
// answered one is forgotten the moment it hides.
void ModalAnswerer::remember(QWidget* dialog, bool reported)
{
    Answered entry;
    entry.widget = dialog;
    entry.reported = reported;
    m_answered.append(entry);
    dialog->installEventFilter(this);
}

bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide) {
        for (int i = m_answered.size() - 1; i >= 0; --i) {
            if (m_answered.at(i).widget == watched)
                m_answered.removeAt(i);
        }
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (checkAnswered(modal) || !modal || !modal->isVisible())
        return;

    if (modal->inherits("QFileDialog")) {
        remember(modal, true);
        fail(modal, QStringLiteral("a real file dialog %1 was opened; answer file choices with FileChoiceAnswerer")
                        .arg(describe(modal)));
        return;
    }

    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        remember(box);
        m_texts.append(box->text());
        m_titles.append(box->windowTitle());
        m_formats.append(box->textFormat());
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
            remember(modal);
            return;
        }
    }
}

// Forgets answered dialogs that have closed (one shown again is answered
// afresh) and fails the test for one that stays on top unanswered. True when
// the active modal widget is one already answered.
bool ModalAnswerer::checkAnswered(QWidget* modal)
{
    bool known = false;
    for (int i = m_answered.size() - 1; i >= 0; --i) {
        Answered& entry = m_answered[i];
        if (!entry.widget || !entry.widget->isVisible()) {
            m_answered.removeAt(i);
            continue;
        }
        if (entry.widget != modal) {
            // Something modal of its own is on top: it is being dealt with.
            entry.onTop.invalidate();
            entry.pollsOnTop = 0;
            continue;
        }
        known = true;
        if (!entry.onTop.isValid())
            entry.onTop.start();
        // Both: long enough, and the event loop ran meanwhile without closing it.
        if (++entry.pollsOnTop >= 10 && entry.onTop.elapsed() >= m_stuckLimit) {
            const QString message = QStringLiteral("the dialog %1 was answered but is still open after %2 ms")
                                        .arg(describe(modal))
                                        .arg(m_stuckLimit);
            if (entry.reported)
                qFatal("ModalAnswerer: %s, and it cannot be closed", qPrintable(message));
            entry.reported = true;
            entry.onTop.invalidate();
            entry.pollsOnTop = 0;
            fail(modal, message);
        }
    }
    return known;
}

// Records the failure, then closes the dialog so that the test can run to its end.
void ModalAnswerer::fail(QWidget* dialog, const QString& message)
{
    if (m_failure)
        m_failure(dialog, message);
    else
        QTest::qFail(qPrintable(QStringLiteral("ModalAnswerer: ") + message), __FILE__, __LINE__);
    if (auto* asDialog = qobject_cast<QDialog*>(dialog))
        asDialog->done(QDialog::Rejected);
    else
        dialog->close();
}
