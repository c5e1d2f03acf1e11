#include "engine/ForeignObjects.h"

#include "engine/DatabaseSchema.h"
#include "engine/MessageLog.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

struct SchemaObject
{
    QString type;
    QString name;
    QString sql;
};

// SQLite's own objects (autoindexes, sqlite_sequence, statistics) belong to
// any file.
bool isInternal(const QString& name)
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

bool readSchema(const QSqlDatabase& db, QList<SchemaObject>* objects, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master"))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        const QString name = query.value(1).toString();
        if (!isInternal(name))
            objects->append({query.value(0).toString(), name, query.value(2).toString().simplified()});
    }
    return true;
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

QStringList ForeignObjects::find(const QSqlDatabase& db, QString* error)
{
    QString readError;
    QList<SchemaObject> objects;
    if (!readSchema(db, &objects, &readError)) {
        if (error)
            *error = readError;
        return {};
    }
    // What the program itself makes, as the compiled-in scripts make it.
    const QHash<QString, QString> own = DatabaseSchema::scriptObjects();
    if (own.isEmpty()) {
        if (error)
            *error = QStringLiteral("нет описания таблиц");
        return {};
    }
    // Triggers first, tables last: what depends on a table goes before it.
    QStringList found;
    for (const char* type : {"trigger", "view", "index", "table"}) {
        for (const SchemaObject& object : qAsConst(objects)) {
            if (object.type != QLatin1String(type))
                continue;
            const auto it = own.constFind(DatabaseSchema::objectKey(object.type, object.name));
            // Old files hold tables with columns added later; their text differs, their rows are ours.
            const bool ours = it != own.constEnd()
                && (object.type == QLatin1String("table") || it.value().simplified() == object.sql);
            if (!ours)
                found << object.type + QLatin1Char(' ') + object.name;
        }
    }
    return found;
}

bool ForeignObjects::remove(const QSqlDatabase& db, QStringList* removed, QString* error)
{
    removed->clear();
    error->clear();
    const QStringList found = find(db, error);
    if (!error->isEmpty())
        return false;
    if (found.isEmpty())
        return true;
    QSqlDatabase connection = db;
    if (!connection.transaction()) {
        *error = connection.lastError().text();
        return false;
    }
    for (const QString& object : found) {
        const QString type = object.section(QLatin1Char(' '), 0, 0);
        const QString name = object.section(QLatin1Char(' '), 1);
        QSqlQuery drop(connection);
        // A view or index may already have gone with its table.
        if (!drop.exec(QStringLiteral("DROP %1 IF EXISTS %2").arg(type.toUpper(), quoted(name)))) {
            *error = drop.lastError().text();
            VLOG << "cant drop" << object << *error;
            connection.rollback();
            return false;
        }
    }
    if (!connection.commit()) {
        *error = connection.lastError().text();
        connection.rollback();
        return false;
    }
    *removed = found;
    return true;
}
