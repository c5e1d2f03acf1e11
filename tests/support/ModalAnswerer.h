#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

// Answers modal dialogs that a test cannot reach directly: a timer looks for the
// active modal widget; a QMessageBox has its text recorded and the next queued
// button clicked, any other dialog goes to the handlers added with onDialog().
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    using DialogHandler = std::function<bool(QWidget*)>;

    explicit ModalAnswerer(QObject* parent = nullptr);

    // Buttons to click, in the order the boxes appear; once the queue is empty
    // the default answer is used.
    void answer(QMessageBox::StandardButton button);
    void setDefaultAnswer(QMessageBox::StandardButton button);
    // Ticks a box's check box (such as "don't warn again") before answering.
    void setCheckBoxChecked(bool checked);
    // A handler returns true when it dealt with (and closed) the dialog.
    void onDialog(const DialogHandler& handler);

    QStringList texts() const { return m_texts; }
    QStringList titles() const { return m_titles; }
    int handledCount() const { return m_texts.size(); }
    void clear();

private:
    void poll();

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_queue;
    QMessageBox::StandardButton m_default = QMessageBox::Ok;
    bool m_checkBox = false;
    QList<DialogHandler> m_handlers;
    QStringList m_texts;
    QStringList m_titles;
    QList<QPointer<QWidget>> m_seen;
};
