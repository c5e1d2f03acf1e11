#include "engine/DatabaseIntegrity.h"

#include "engine/MessageLog.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <atomic>

bool DatabaseIntegrity::isWhole(const QString& path, Depth depth)
{
    // Checks may run on several threads at once (the start-up check, a
    // backup's): each needs a connection name of its own.
    static std::atomic_int checks{0};
    const QString connection = QStringLiteral("velspo_integrity_check_%1").arg(++checks);
    QStringList answer;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(depth == Depth::Quick ? QStringLiteral("PRAGMA quick_check;")
                                                 : QStringLiteral("PRAGMA integrity_check;"))) {
                while (query.next())
                    answer << query.value(0).toString();
            } else {
                answer << query.lastError().text();
            }
            db.close();
        } else {
            answer << db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (answer == QStringList{QStringLiteral("ok")})
        return true;
    VLOG << "integrity check failed" << path << answer.mid(0, 5);
    return false;
}

bool DatabaseIntegrity::isDamage(const QSqlError& error)
{
    return error.nativeErrorCode() == QLatin1String("11"); // SQLITE_CORRUPT
}
