#include "engine/LongTask.h"

#include <QMutexLocker>
#include <QThread>

namespace {

LongTask::StageHook& stageHook()
{
    static LongTask::StageHook hook;
    return hook;
}

} // namespace

LongTask::LongTask(QObject* parent)
    : QObject(parent)
{
}

LongTask::~LongTask()
{
    cancel();
    wait();
}

void LongTask::start(Work work)
{
    Q_ASSERT(!m_thread);
    m_thread.reset(QThread::create([this, work = std::move(work)] { work(*this); }));
    // Queued onto this object's thread: the work's end is heard where the
    // task lives, after every signal the work sent before it.
    connect(m_thread.get(), &QThread::finished, this, [this] {
        m_finished = true;
        emit finished();
    });
    m_thread->start();
}

bool LongTask::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void LongTask::wait()
{
    if (m_thread)
        m_thread->wait();
}

void LongTask::cancel()
{
    m_cancelled = true;
}

void LongTask::beginStage(const QString& text, qint64 total, bool cancellable)
{
    {
        QMutexLocker lock(&m_mutex);
        m_stage = text;
        m_total = total;
        m_lastSent = -1;
    }
    m_stageCancellable = cancellable;
    emit stageBegun(text, total, cancellable);
    if (stageHook())
        stageHook()(text);
}

void LongTask::setProgress(qint64 done)
{
    qint64 total = 0;
    {
        QMutexLocker lock(&m_mutex);
        total = m_total;
        if (total <= 0)
            return;
        // Hundredths are enough for a bar; more would flood the event loop.
        const qint64 step = done * 100 / total;
        if (step == m_lastSent)
            return;
        m_lastSent = step;
    }
    emit progressed(done, total);
}

QString LongTask::stage() const
{
    QMutexLocker lock(&m_mutex);
    return m_stage;
}

void LongTask::setStageHookForTesting(const StageHook& hook)
{
    stageHook() = hook;
}
