#include "engine/MessageLog.h"

#include "engine/RegularFile.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_mutex;
QString g_filePath;
QtMessageHandler g_previous = nullptr;
bool g_installed = false;
// A message raised while a record is being written (say, by the file layer)
// must not come back into the handler on the same thread and deadlock.
thread_local bool t_writing = false;

} // namespace

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Q_UNUSED(type)
    Q_UNUSED(context)
    if (t_writing)
        return;
    t_writing = true;
    const QByteArray bytes = MessageLog::record(message);
    {
        QMutexLocker locker(&g_mutex);
        // Opened and closed per record, so the file is complete even if the
        // program dies right after. A named pipe in its place would block the
        // writing thread: the record is lost instead.
        QFile file(g_filePath);
        if (!g_filePath.isEmpty() && RegularFile::isRegularOrAbsent(g_filePath)
            && file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(bytes);
    }
    t_writing = false;
}

QByteArray MessageLog::record(const QString& message)
{
    return message.toUtf8() + QByteArrayLiteral("\r\n\n");
}

bool MessageLog::restart(const QString& filePath)
{
    bool emptied = false;
    if (!RegularFile::isRegularOrAbsent(filePath)) {
        // Said before the handler is in place, so it reaches standard error.
        qWarning().noquote() << "The log" << filePath << "is not a regular file; no records are written to it";
    } else {
        QFile file(filePath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            emptied = file.resize(0);
    }
    install(filePath);
    return emptied;
}

void MessageLog::install(const QString& filePath)
{
    QMutexLocker locker(&g_mutex);
    g_filePath = filePath;
    if (g_installed)
        return;
    g_previous = qInstallMessageHandler(messageHandler);
    g_installed = true;
}

void MessageLog::uninstall()
{
    QMutexLocker locker(&g_mutex);
    if (!g_installed)
        return;
    qInstallMessageHandler(g_previous);
    g_previous = nullptr;
    g_installed = false;
}

bool MessageLog::isInstalled()
{
    QMutexLocker locker(&g_mutex);
    return g_installed;
}

QString MessageLog::filePath()
{
    QMutexLocker locker(&g_mutex);
    return g_filePath;
}
