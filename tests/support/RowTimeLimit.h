#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>

// Bounds the time one row of a data-driven test may take. When the row has
// not finished in time (a guard gone, a loop that never ends), its test
// function and row are printed and the test executable stops: within
// seconds and naming the row, rather than at the suite's time limit. Made
// on the stack at the start of the row.
class RowTimeLimit
{
public:
    explicit RowTimeLimit(int seconds);
    ~RowTimeLimit();
    RowTimeLimit(const RowTimeLimit&) = delete;
    RowTimeLimit& operator=(const RowTimeLimit&) = delete;

private:
    void watch();

    const int m_seconds;
    // "function(row)", taken while the row is current.
    const QByteArray m_row;
    std::mutex m_mutex;
    std::condition_variable m_rowDone;
    bool m_done = false;
    std::thread m_watcher;   // last: starts once the rest is in place
};
