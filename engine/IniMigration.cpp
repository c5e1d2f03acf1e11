#include "engine/IniMigration.h"

#include "engine/MessageLog.h"

#include <QDebug>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

// An unquoted value with commas reads back as a list; keep it whole.
QString iniText(const QVariant& value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

} // namespace

void migrateIniData(const QString& iniPath)
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    QSqlQuery create(db);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT);")))
        VLOG << "migrateIniData" << create.lastError().text();

    QSettings ini(iniPath, QSettings::IniFormat);
    // Qt writes other characters as escapes; a file edited by hand is UTF-8.
    ini.setIniCodec("UTF-8");
    ini.beginGroup(QStringLiteral("Data"));
    const QStringList keys = ini.childKeys();
    if (keys.isEmpty())
        return;

    if (!db.transaction()) {
        VLOG << "migrateIniData cant start a transaction" << db.lastError().text();
        return;
    }
    // Keys of a file that cannot be written stay in it and come back at every
    // start: they may fill rows still missing, never replace what the user
    // has entered since.
    const bool removable = ini.isWritable();
    QStringList stored;
    {
        QSqlQuery insert(db);
        insert.prepare(removable ? QStringLiteral("INSERT OR REPLACE INTO Variables VALUES (?, ?);")
                                 : QStringLiteral("INSERT OR IGNORE INTO Variables VALUES (?, ?);"));
        for (const QString& key : keys) {
            insert.bindValue(0, key);
            insert.bindValue(1, iniText(ini.value(key, QString())));
            if (insert.exec())
                stored.append(key);
            else
                VLOG << "migrateIniData" << key << insert.lastError().text();
        }
    }
    if (!db.commit()) {
        VLOG << "migrateIniData cant commit" << db.lastError().text();
        db.rollback();
        return;
    }
    for (const QString& key : qAsConst(stored))
        ini.remove(key);
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError)
        VLOG << "migrateIniData cant write" << iniPath;
}
