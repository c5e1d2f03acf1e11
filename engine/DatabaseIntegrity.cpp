#include "engine/DatabaseIntegrity.h"

#include "engine/MessageLog.h"

#include <QAtomicInt>
#include <QDebug>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

bool DatabaseIntegrity::isWhole(const QString& path, Depth depth)
{
    // An empty name gives SQLite a new empty database, which passes; a check
    // that cannot run proves nothing.
    if (!QFileInfo(path).isFile()) {
        VLOG << "integrity check impossible, no such file" << path;
        return false;
    }
    // A connection of its own for each check: checks may run on several threads.
    static QAtomicInt counter;
    const QString connection = QStringLiteral("velspo_integrity_check_%1").arg(counter.fetchAndAddRelaxed(1));
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
