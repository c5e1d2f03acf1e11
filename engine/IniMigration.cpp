#include "engine/IniMigration.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "report/AtomicFileWriter.h"

#include <QDebug>
#include <QFile>
#include <QScopedPointer>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace {

// An unquoted value with commas reads back as a list; keep it whole.
QString iniText(const QVariant& value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// The database's user version counts the data moves done on it; 1: the INI
// file's old organisation data has been moved into Variables.
const int IniDataMovedVersion = 1;

int dataVersion(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("PRAGMA user_version;")) && query.next())
        return query.value(0).toInt();
    VLOG << "migrateIniData cant read the user version" << query.lastError().text();
    return 0;
}

QSettings* openIni(const QString& path, QObject* parent = nullptr)
{
    auto* settings = new QSettings(path, QSettings::IniFormat, parent);
    // Qt writes other characters as escapes; a file edited by hand is UTF-8.
    settings->setIniCodec("UTF-8");
    return settings;
}

// Rewrites the file without the moved keys of group "Data", or leaves it as it
// was. QSettings would write the file itself, but on a full disk it can put a
// cut-off file in its place without noticing; so it writes a draft elsewhere,
// the draft must read back as the file less those keys, and the file is then
// replaced in one checked write.
bool removeKeys(const QString& iniPath, const QStringList& keys)
{
    QTemporaryDir scratch;
    const QString draft = scratch.filePath(QStringLiteral("draft.ini"));
    if (!scratch.isValid() || !QFile::copy(iniPath, draft)) {
        VLOG << "migrateIniData cant make a draft of" << iniPath;
        return false;
    }
    {
        QScopedPointer<QSettings> edit(openIni(draft));
        edit->beginGroup(QStringLiteral("Data"));
        for (const QString& key : keys)
            edit->remove(key);
        edit->endGroup();
        edit->sync();
        if (edit->status() != QSettings::NoError) {
            VLOG << "migrateIniData cant write the draft" << draft;
            return false;
        }
    }
    QScopedPointer<QSettings> original(openIni(iniPath)), written(openIni(draft));
    QStringList expected = original->allKeys();
    for (const QString& key : keys)
        expected.removeAll(QStringLiteral("Data/") + key);
    bool same = written->allKeys().size() == expected.size();
    for (int i = 0; same && i < expected.size(); ++i)
        same = written->value(expected.at(i)) == original->value(expected.at(i));
    QFile file(draft);
    if (!same || !file.open(QIODevice::ReadOnly)) {
        VLOG << "migrateIniData the draft of" << iniPath << "came out wrong";
        return false;
    }
    if (!AtomicFileWriter::write(iniPath, file.readAll())) {
        VLOG << "migrateIniData cant write" << iniPath;
        return false;
    }
    return true;
}

} // namespace

IniMigrationResult migrateIniData(const QString& iniPath)
{
    if (Database::isKnownDamaged()) {
        // Nothing is written into a damaged file; the keys wait in the INI
        // file for a start on a whole database.
        VLOG << "migrateIniData left for later: the database is damaged";
        return IniMigrationResult::NothingToMove;
    }
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    QSqlQuery create(db);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT);")))
        VLOG << "migrateIniData" << create.lastError().text();

    QScopedPointer<QSettings> settings(openIni(iniPath));
    QSettings& ini = *settings;
    ini.beginGroup(QStringLiteral("Data"));
    const QStringList keys = ini.childKeys();
    if (keys.isEmpty())
        return IniMigrationResult::NothingToMove;

    if (!db.transaction()) {
        VLOG << "migrateIniData cant start a transaction" << db.lastError().text();
        return IniMigrationResult::NotStored;
    }
    // Only rows still missing are filled: the database may already hold what
    // the user saved (after a first move the database refused, in a fresh or
    // restored database, or while the file could not be rewritten), and no old
    // value of the file ever replaces it.
    const bool movedBefore = dataVersion(db) >= IniDataMovedVersion;
    QStringList stored;
    {
        // Not "OR IGNORE": that would also pass over a row the table refuses,
        // and its key would leave the file without being stored.
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Variables (Name, Value) SELECT ?, ? "
                                      "WHERE NOT EXISTS (SELECT 1 FROM Variables WHERE Name = ?);"));
        for (const QString& key : keys) {
            insert.bindValue(0, key);
            insert.bindValue(1, iniText(ini.value(key, QString())));
            insert.bindValue(2, key);
            if (insert.exec())
                stored.append(key);
            else
                VLOG << "migrateIniData" << key << insert.lastError().text();
        }
    }
    QSqlQuery record(db);
    if (!movedBefore && !record.exec(QStringLiteral("PRAGMA user_version = %1;").arg(IniDataMovedVersion))) {
        VLOG << "migrateIniData cant record the move" << record.lastError().text();
        db.rollback();
        return IniMigrationResult::NotStored;
    }
    if (!db.commit()) {
        VLOG << "migrateIniData cant commit" << db.lastError().text();
        db.rollback();
        return IniMigrationResult::NotStored;
    }
    ini.endGroup();
    if (removeKeys(iniPath, stored))
        return IniMigrationResult::Moved;
    // The user hears of it once, when the keys were first moved.
    return movedBefore ? IniMigrationResult::NothingToMove : IniMigrationResult::NotRemoved;
}
