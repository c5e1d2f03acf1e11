#pragma once

#include <QElapsedTimer>
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
// A dialog it answered that still sits on top about two seconds later fails
// the running test and is closed, so a lost answer never hangs the suite; a
// real QFileDialog fails the test at once (file choices go to FileChoiceAnswerer).
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    using DialogHandler = std::function<bool(QWidget*)>;
    // Told about a dialog that should not be open; the default fails the test.
    using FailureHandler = std::function<void(QWidget*, const QString& message)>;
    static constexpr int StuckLimitMs = 2000;

    explicit ModalAnswerer(QObject* parent = nullptr);
    ~ModalAnswerer() override;

    // True while any answerer lives: a box shown then is expected.
    static bool isAnyAlive() { return s_alive > 0; }

    // Buttons to click, in the order the boxes appear; once the queue is empty
    // the default answer is used.
    void answer(QMessageBox::StandardButton button) { m_queue.append(button); }
    void setDefaultAnswer(QMessageBox::StandardButton button) { m_default = button; }
    // Ticks a box's check box (such as "don't warn again") before answering.
    void setCheckBoxChecked(bool checked) { m_checkBox = checked; }
    // A handler returns true when it dealt with (and closed) the dialog.
    void onDialog(const DialogHandler& handler) { m_handlers.append(handler); }

    // Tests of this helper only.
    void setFailureHandler(const FailureHandler& handler) { m_failure = handler; }
    void setStuckLimit(int ms) { m_stuckLimit = ms; }

    QStringList texts() const { return m_texts; }
    QStringList titles() const { return m_titles; }
    // How each box was told to read its text (Qt::PlainText: as typed).
    QList<Qt::TextFormat> formats() const { return m_formats; }
    int handledCount() const { return m_texts.size(); }
    void clear();

private:
    struct Answered
    {
        QPointer<QWidget> widget;
        QElapsedTimer onTop; // valid while it is the active modal widget
        int pollsOnTop = 0;  // so that a starved event loop never counts as stuck
        bool reported = false;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    void poll();
    void remember(QWidget* dialog, bool reported = false);
    bool checkAnswered(QWidget* modal);
    void fail(QWidget* dialog, const QString& message);

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_queue;
    QMessageBox::StandardButton m_default = QMessageBox::Ok;
    bool m_checkBox = false;
    QList<DialogHandler> m_handlers;
    QStringList m_texts;
    QStringList m_titles;
    QList<Qt::TextFormat> m_formats;
    QList<Answered> m_answered;
    FailureHandler m_failure;
    int m_stuckLimit = StuckLimitMs;
    static inline int s_alive = 0;
};
