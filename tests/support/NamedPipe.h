#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A named pipe made where the program expects a file. Opening a pipe waits for
// its other end; should the program do so, the pipe opens its other end itself
// once boundMs have passed, so that the test fails on released() instead of
// hanging. The pipe file stays when the object goes.
class NamedPipe
{
public:
    explicit NamedPipe(const QString& path, int boundMs = 15000);
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool isValid() const { return m_valid; }
    // True when the bound passed while the object watched: keep it to the
    // step that must not wait on the pipe.
    bool released() const { return m_released; }
    // Still a pipe at its path (nothing replaced it).
    bool isStillThere() const;

private:
    void watch(int boundMs);

    QString m_path;
    bool m_valid = false;
    std::atomic_bool m_released{false};
    std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_stopping = false;
    std::thread m_watch;
};
