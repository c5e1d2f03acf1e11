#include "engine/TaskProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QPushButton>

TaskProgressDialog::TaskProgressDialog(const QString& title, LongTask& task, QWidget* parent)
    : QProgressDialog(parent)
    , m_task(task)
{
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, 0);
    setMinimumWidth(420);
    m_cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    setCancelButton(m_cancelButton);
    // QProgressDialog hides itself on Cancel; here it stays until the work has
    // really stopped, which may take a moment.
    disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
    connect(this, &QProgressDialog::canceled, this, &TaskProgressDialog::onCancel);
    connect(&task, &LongTask::stageBegun, this, &TaskProgressDialog::onStage);
    connect(&task, &LongTask::progressed, this, &TaskProgressDialog::onProgress);
}

bool TaskProgressDialog::run(QWidget* parent, const QString& title, const LongTask::Work& work)
{
    LongTask task;
    TaskProgressDialog dialog(title, task, parent);
    QEventLoop loop;
    connect(&task, &LongTask::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    dialog.show();
    task.start(work);
    loop.exec();
    QApplication::restoreOverrideCursor();
    dialog.hide();
    return task.isCancelled();
}

QString TaskProgressDialog::cancellingText()
{
    return QStringLiteral("Отмена… Дождитесь завершения текущего шага.");
}

void TaskProgressDialog::onStage(const QString& text, qint64 total, bool cancellable)
{
    m_stage = text;
    setLabelText(m_task.isCancelled() ? text + QLatin1Char('\n') + cancellingText() : text);
    setRange(0, total > 0 ? 100 : 0);
    setValue(0);
    m_cancelButton->setEnabled(cancellable && !m_task.isCancelled());
}

void TaskProgressDialog::onProgress(qint64 done, qint64 total)
{
    if (total > 0)
        setValue(int(qBound<qint64>(0, done * 100 / total, 100)));
}

void TaskProgressDialog::onCancel()
{
    if (!m_task.isStageCancellable() || m_task.isCancelled())
        return;
    m_task.cancel();
    setLabelText(m_stage + QLatin1Char('\n') + cancellingText());
    m_cancelButton->setEnabled(false);
}

// Escape and the window's close button ask to cancel; the dialog itself goes
// only when the work is over.
void TaskProgressDialog::reject()
{
    emit canceled();
}

void TaskProgressDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit canceled();
}
