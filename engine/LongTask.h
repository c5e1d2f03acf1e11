#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Work that takes longer than the window may wait (copying a database, a full
// check of its pages, writing a large workbook) runs here on a thread of its
// own while the event loop goes on. The work says what it is doing and how far
// it has come; the window's side hears of it through signals, queued onto the
// thread that owns the task. A cancel is a request: the work looks at
// isCancelled() where it can stop safely and returns.
//
// The work must not touch widgets or the program's own database connection
// (a connection belongs to the thread that made it): it opens its own.
class LongTask : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<void(LongTask& task)>;
    // Tests only: runs on the work's thread at each stage it begins, once the
    // stage is announced; a test may hold the work there.
    using StageHook = std::function<void(const QString& stage)>;

    explicit LongTask(QObject* parent = nullptr);
    // Asks the work to stop and waits for it: a thread is never left running
    // on an object that is gone.
    ~LongTask() override;
    LongTask(const LongTask&) = delete;
    LongTask& operator=(const LongTask&) = delete;

    // Starts the work once; finished() follows when it returns.
    void start(Work work);
    bool isRunning() const;
    bool isFinished() const { return m_finished; }
    // Blocks until the work has returned (tests, and the destructor).
    void wait();

    // From any thread.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // From the work. A stage is one step the user can be told of; total is
    // what its progress counts up to (0: no measure, a busy indicator), and
    // cancellable whether the work stops there when asked.
    void beginStage(const QString& text, qint64 total = 0, bool cancellable = true);
    void setProgress(qint64 done);

    QString stage() const;
    bool isStageCancellable() const { return m_stageCancellable; }

    static void setStageHookForTesting(const StageHook& hook);

signals:
    void stageBegun(const QString& text, qint64 total, bool cancellable);
    // Sent at most about a hundred times a stage.
    void progressed(qint64 done, qint64 total);
    void finished();

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_cancelled{false};
    std::atomic_bool m_stageCancellable{true};
    bool m_finished = false;
    mutable QMutex m_mutex; // guards the fields below
    QString m_stage;
    qint64 m_total = 0;
    qint64 m_lastSent = -1;
};
