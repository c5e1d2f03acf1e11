#include "NamedPipe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

NamedPipe::NamedPipe(const QString& path, int boundMs)
    : m_path(path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_valid = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (m_valid)
        m_watch = std::thread([this, boundMs] { watch(boundMs); });
}

NamedPipe::~NamedPipe()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stop.notify_all();
    if (m_watch.joinable())
        m_watch.join();
}

bool NamedPipe::isStillThere() const
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

void NamedPipe::watch(int boundMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto stopping = [this] { return m_stopping; };
    if (m_stop.wait_for(lock, std::chrono::milliseconds(boundMs), stopping))
        return;
    // From now on the other end is opened again and again, without waiting:
    // whoever waits on the pipe goes on, and a reader then meets its end.
    do {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK);
        if (fd < 0)
            return;
        m_released = true;
        char buffer[4096];
        for (int i = 0; i < 10; ++i) {
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
            if (m_stop.wait_for(lock, std::chrono::milliseconds(10), stopping))
                break;
        }
        ::close(fd);
    } while (!m_stop.wait_for(lock, std::chrono::milliseconds(10), stopping));
}
