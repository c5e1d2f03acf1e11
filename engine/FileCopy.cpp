#include "engine/FileCopy.h"

#include "engine/LongTask.h"

#include <QFile>
#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

} // namespace

FileCopy::~FileCopy()
{
    close();
    if (!m_keep && !m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

QString FileCopy::systemText(int error)
{
    char buffer[256] = {};
    // The GNU strerror_r: thread-safe, and in the user's language.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

bool FileCopy::fail(int error, bool reading)
{
    m_errno = error;
    m_error = systemText(error);
    m_readFailed = reading;
    return false;
}

bool FileCopy::noRoom() const
{
    return m_errno == ENOSPC || m_errno == EFBIG || m_errno == EDQUOT;
}

QString FileCopy::roomHint() const
{
    return noRoom() ? QStringLiteral("\nВозможно, на диске не хватает места.") : QString();
}

bool FileCopy::createUnique(const QString& pattern, int suffixLength)
{
    QByteArray name = QFile::encodeName(pattern);
    m_fd = ::mkostemps(name.data(), suffixLength, O_CLOEXEC);
    if (m_fd < 0)
        return fail(errno);
    m_path = QFile::decodeName(name);
    return true;
}

bool FileCopy::createNew(const QString& path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return fail(errno);
    m_path = path;
    return true;
}

FileCopy::Result FileCopy::copyFrom(const QString& source, LongTask* task)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        fail(errno, true);
        return Result::Failed;
    }
    QByteArray buffer(int(ChunkSize), Qt::Uninitialized);
    qint64 done = 0;
    Result result = Result::Copied;
    for (;;) {
        if (task && task->isCancelled()) {
            result = Result::Cancelled;
            break;
        }
        const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            fail(errno, true);
            result = Result::Failed;
            break;
        }
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(m_fd, buffer.data() + written, size_t(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                fail(put < 0 ? errno : EIO);
                result = Result::Failed;
                break;
            }
            written += put;
        }
        if (result != Result::Copied)
            break;
        done += got;
        if (task)
            task->setProgress(done);
    }
    ::close(in);
    // A full disk may only show when the data reaches it.
    if (result == Result::Copied && ::fsync(m_fd) != 0) {
        fail(errno);
        result = Result::Failed;
    }
    return result;
}

bool FileCopy::setPermissions(QFileDevice::Permissions permissions)
{
    // QFile's owner bits are also its user bits on Unix.
    mode_t mode = 0;
    const struct {
        QFileDevice::Permission qt;
        mode_t unix;
    } bits[] = {{QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
                {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
                {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto& bit : bits) {
        if (permissions & bit.qt)
            mode |= bit.unix;
    }
    if (m_fd >= 0 ? ::fchmod(m_fd, mode) != 0 : ::chmod(QFile::encodeName(m_path).constData(), mode) != 0)
        return fail(errno);
    return true;
}

bool FileCopy::moveTo(const QString& target)
{
    close();
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(errno);
    m_path = target;
    return true;
}

void FileCopy::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
