#include "RowTimeLimit.h"

#include <QtTest>

#include <chrono>
#include <cstdio>

namespace {

QByteArray currentRow()
{
    const char* const function = QTest::currentTestFunction();
    const char* const tag = QTest::currentDataTag();
    return QByteArray(function ? function : "?") + '(' + QByteArray(tag ? tag : "") + ')';
}

} // namespace

RowTimeLimit::RowTimeLimit(int seconds)
    : m_seconds(seconds)
    , m_row(currentRow())
    , m_watcher(&RowTimeLimit::watch, this)
{
}

RowTimeLimit::~RowTimeLimit()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
    }
    m_rowDone.notify_all();
    m_watcher.join();
}

void RowTimeLimit::watch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_rowDone.wait_for(lock, std::chrono::seconds(m_seconds), [this] { return m_done; }))
        return;
    // Written straight away: whatever the stop does next, the row is named.
    std::fprintf(stderr, "%s has not finished within %d s\n", m_row.constData(), m_seconds);
    std::fflush(stderr);
    qFatal("%s has not finished within %d s", m_row.constData(), m_seconds);
}
