#include "engine/DatabaseIntegrity.h"

#include "engine/MessageLog.h"
#include "engine/PrivateConnection.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QVariant>

namespace {

std::function<void()>& readingHook()
{
    static std::function<void()> hook;
    return hook;
}

// What tells whether the file was written: SQLite's change counter in the
// header, which every commit raises, and the journal files, which exist while
// a writer is at work.
struct WriteStamp
{
    QByteArray counter;
    bool writing = false;

    bool operator==(const WriteStamp& other) const { return counter == other.counter && writing == other.writing; }
};

WriteStamp writeStamp(const QString& path)
{
    WriteStamp stamp;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.seek(24))
        stamp.counter = file.read(4);
    stamp.writing = QFileInfo::exists(path + QStringLiteral("-journal")) || QFileInfo::exists(path + QStringLiteral("-wal"));
    return stamp;
}

// The check's answer, row by row; "ok" alone when the file is whole.
QStringList runCheck(const QString& path, DatabaseIntegrity::Depth depth, bool withoutLocks)
{
    // "immutable": SQLite takes no lock and trusts the file not to change.
    const PrivateConnection connection(
        withoutLocks ? QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"))
                + QStringLiteral("?immutable=1")
                     : path,
        withoutLocks ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI") : QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!connection.isOpen())
        return {connection.openError().text()};
    QStringList answer;
    QSqlQuery query(connection.db());
    // One read transaction, so that a test can hold the check while it reads.
    query.exec(QStringLiteral("BEGIN"));
    query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    query.finish();
    if (readingHook())
        readingHook()();
    if (query.exec(depth == DatabaseIntegrity::Depth::Quick ? QStringLiteral("PRAGMA quick_check;")
                                                             : QStringLiteral("PRAGMA integrity_check;"))) {
        while (query.next())
            answer << query.value(0).toString();
    } else {
        answer << query.lastError().text();
    }
    query.finish();
    query.exec(QStringLiteral("COMMIT"));
    return answer;
}

bool isOk(const QStringList& answer)
{
    return answer == QStringList{QStringLiteral("ok")};
}

// An empty name gives SQLite a new empty database, which passes; a check that
// cannot run proves nothing.
bool isCheckable(const QString& path)
{
    if (QFileInfo(path).isFile())
        return true;
    VLOG << "integrity check impossible, no such file" << path;
    return false;
}

} // namespace

bool DatabaseIntegrity::isWhole(const QString& path, Depth depth)
{
    if (!isCheckable(path))
        return false;
    const QStringList answer = runCheck(path, depth, false);
    if (isOk(answer))
        return true;
    VLOG << "integrity check failed" << path << answer.mid(0, 5);
    return false;
}

bool DatabaseIntegrity::isWholeWhileInUse(const QString& path)
{
    if (!isCheckable(path))
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const WriteStamp before = writeStamp(path);
        if (!before.writing) {
            const QStringList answer = runCheck(path, Depth::Quick, true);
            if (writeStamp(path) == before) {
                if (isOk(answer))
                    return true;
                VLOG << "integrity check found damage, confirming it" << path << answer.mid(0, 5);
                break;
            }
        }
        VLOG << "the database was written while it was checked; checking again" << path;
        QThread::msleep(100);
    }
    return isWhole(path, Depth::Quick);
}

bool DatabaseIntegrity::isDamage(const QSqlError& error)
{
    return error.nativeErrorCode() == QLatin1String("11"); // SQLITE_CORRUPT
}

void DatabaseIntegrity::setReadingHookForTesting(const std::function<void()>& hook)
{
    readingHook() = hook;
}
