#pragma once

#include "engine/LongTask.h"

#include <QProgressDialog>

class QPushButton;

// A LongTask's stage and progress while it runs: a modal progress dialog in
// Russian under a busy cursor, so that the window repaints and the user sees
// the work go on. Cancel is offered while the stage allows it; once pressed,
// the dialog stays and says so until the work has stopped.
class TaskProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    TaskProgressDialog(const QString& title, LongTask& task, QWidget* parent);

    // Runs work on a LongTask of its own under this dialog and returns once it
    // has finished. True when the user asked to cancel; what the work did
    // then is the work's to say.
    static bool run(QWidget* parent, const QString& title, const LongTask::Work& work);

    static QString cancellingText();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onStage(const QString& text, qint64 total, bool cancellable);
    void onProgress(qint64 done, qint64 total);
    void onCancel();

    LongTask& m_task;
    QPushButton* m_cancelButton = nullptr;
    QString m_stage;
};
