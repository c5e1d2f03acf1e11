#include "engine/RestoreCopy.h"

#include "engine/Database.h"
#include "engine/DatabaseBackup.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/DatabaseSchema.h"
#include "engine/ForeignObjects.h"
#include "engine/LongTask.h"
#include "engine/MessageLog.h"
#include "engine/PrivateConnection.h"
#include "engine/ProductTypeInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <sys/file.h>

namespace {

std::atomic<qint64> g_freeSpaceForTesting{-1};

void beginStage(LongTask* task, const QString& text, qint64 total = 0)
{
    if (task)
        task->beginStage(text, total, true);
}

bool isCancelled(LongTask* task)
{
    return task && task->isCancelled();
}

// Megabytes with one decimal in the user's notation; what is needed is
// rounded up, what is free down, so the figures never promise room.
QString megabytes(qint64 bytes, bool up)
{
    const double tenths = double(bytes) / (1024.0 * 1024.0) * 10.0;
    return QLocale().toString((up ? std::ceil(tenths) : std::floor(tenths)) / 10.0, 'f', 1);
}

// The first value of statement's answer on db; empty when it fails, and error
// (when given) then says why.
QString firstValue(const QSqlDatabase& db, const QString& statement, QString* error = nullptr)
{
    QSqlQuery query(db);
    if (!query.exec(statement)) {
        if (error)
            *error = query.lastError().text();
        return QString();
    }
    return query.next() ? query.value(0).toString() : QString();
}

} // namespace

RestoreCopy::RestoreCopy(const QString& source)
    : m_source(source)
    , m_dataDir(QDir(Database::dataPath()).absolutePath())
    , m_database(Database::databaseFileName())
{
}

QString RestoreCopy::temporaryNamePattern()
{
    return ProductTypeInfo::applicationName() + QStringLiteral("-restore-XXXXXX.db");
}

void RestoreCopy::setFreeSpaceForTesting(qint64 bytes)
{
    g_freeSpaceForTesting = bytes;
}

bool RestoreCopy::refuse(const QString& why)
{
    m_reason = why + QStringLiteral("\nТекущая база данных не изменена.");
    return false;
}

bool RestoreCopy::prepare(LongTask* task)
{
    m_reason.clear();
    const qint64 sourceSize = QFileInfo(m_source).size();
    const qint64 databaseSize = QFileInfo::exists(m_database) ? QFileInfo(m_database).size() : 0;
    if (!hasRoom(sourceSize, databaseSize))
        return false;

    beginStage(task, QStringLiteral("Копирование резервной копии…"), sourceSize);
    if (!copySource(task) || isCancelled(task))
        return false;
    beginStage(task, QStringLiteral("Проверка резервной копии…"));
    if (!checkCopy() || isCancelled(task))
        return false;
    beginStage(task, QStringLiteral("Подготовка резервной копии к работе…"));
    if (!makeOwn() || isCancelled(task))
        return false;
    if (QFileInfo::exists(m_database)) {
        beginStage(task, QStringLiteral("Сохранение копии текущей базы данных…"), databaseSize);
        if (!keepDatabase(task))
            return false;
    }
    return !isCancelled(task);
}

// QFile::copy would only say it failed; the user is told plainly instead
// what room is needed.
bool RestoreCopy::hasRoom(qint64 sourceSize, qint64 databaseSize)
{
    const qint64 testing = g_freeSpaceForTesting;
    const qint64 free = testing >= 0 ? testing : QStorageInfo(m_dataDir).bytesAvailable();
    if (free < 0 || free >= sourceSize + databaseSize)
        return true;
    VLOG << "Database::restore(" << m_source << ") too little room" << free << sourceSize << databaseSize;
    return refuse(QStringLiteral("На диске не хватает места для восстановления. Нужно %1 МБ: %2 МБ для копии "
                                 "резервной копии и %3 МБ для копии текущей базы данных, а в папке %4 свободно %5 МБ.\n"
                                 "Освободите место на диске и повторите.")
                      .arg(megabytes(sourceSize + databaseSize, true), megabytes(sourceSize, true),
                           megabytes(databaseSize, true), QDir::toNativeSeparators(m_dataDir), megabytes(free, false)));
}

bool RestoreCopy::copySource(LongTask* task)
{
    const auto noRoom = [this](const FileCopy& copy) {
        return refuse(QStringLiteral("Не удалось скопировать файл резервной копии в папку %1: %2.")
                          .arg(QDir::toNativeSeparators(m_dataDir), copy.errorText())
                      + copy.roomHint());
    };
    if (!m_copy.createUnique(QDir(m_dataDir).filePath(temporaryNamePattern()), 3)) {
        VLOG << "Database::restore(" << m_source << ") cant create a temporary file" << m_copy.errorText();
        return noRoom(m_copy);
    }
    // Held until the copy is gone or has become the database: a start of the
    // program removes only copies that no running restore holds.
    if (::flock(m_copy.handle(), LOCK_EX | LOCK_NB) != 0)
        VLOG << "Database::restore cant lock" << m_copy.path() << FileCopy::systemText(errno);
    const FileCopy::Result result = m_copy.copyFrom(m_source, task);
    if (result == FileCopy::Result::Cancelled)
        return false;
    if (result == FileCopy::Result::Failed) {
        VLOG << "Database::restore(" << m_source << ") cant copy from source to database file" << m_copy.path()
             << m_copy.errorText();
        if (m_copy.readFailed())
            return refuse(QStringLiteral("Не удалось прочитать файл резервной копии %1: %2.")
                              .arg(QDir::toNativeSeparators(m_source), m_copy.errorText()));
        return noRoom(m_copy);
    }
    // Other users of the computer share the database file.
    if (QFileInfo::exists(m_database))
        m_copy.setPermissions(QFile(m_database).permissions());
    return true;
}

// A rollback journal beside the file, as the program keeps: a backup in WAL
// mode would otherwise stay in it, and a later backup of the file alone would
// miss what the WAL file holds. Then the pages are read: damage must not pass
// for a foreign file.
bool RestoreCopy::checkCopy()
{
    {
        const PrivateConnection copy(m_copy.path());
        if (copy.isOpen())
            firstValue(copy.db(), QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    switch (health(m_copy.path())) {
    case Health::Whole:
        return true;
    case Health::Damaged:
        VLOG << "Database::restore(" << m_source << ") damaged, the database is left as it was";
        return refuse(QStringLiteral("Файл резервной копии повреждён: часть его данных не читается."));
    case Health::NotADatabase:
        break;
    }
    VLOG << "Database::restore(" << m_source << ") not a database, the database is left as it was";
    return refuse(QStringLiteral("Файл не является резервной копией базы данных программы."));
}

RestoreCopy::Health RestoreCopy::health(const QString& path)
{
    if (DatabaseIntegrity::isWhole(path, DatabaseIntegrity::Depth::Full))
        return Health::Whole;
    // The check failed: on pages SQLite could not read, or on a file that is
    // no database at all.
    const PrivateConnection copy(path, QStringLiteral("QSQLITE_OPEN_READONLY"));
    QSqlQuery query(copy.db());
    if (!query.exec(QStringLiteral("PRAGMA quick_check;")))
        return DatabaseIntegrity::isDamage(query.lastError()) ? Health::Damaged : Health::NotADatabase;
    return Health::Damaged;
}

// Objects the program does not make go, the tables of older versions come,
// then the views and indexes, so that the copy is the program's own database.
bool RestoreCopy::makeOwn()
{
    {
        const PrivateConnection copy(m_copy.path());
        QStringList removed;
        QString error = copy.openError().text();
        if (!copy.isOpen() || !ForeignObjects::remove(copy.db(), &removed, &error)) {
            VLOG << "Database::restore(" << m_source << ") cant remove foreign objects" << error;
            return refuse(QStringLiteral("Не удалось убрать из резервной копии то, чего нет в базе данных программы: %1.")
                              .arg(error));
        }
        if (!removed.isEmpty())
            VLOG << "Database::restore(" << m_source << ") removed from the copy what the program does not make:"
                 << removed;
    }

    // Old backups get their missing tables and columns here too.
    const DatabaseSchema::FileCheck structure = DatabaseSchema::checkFile(m_copy.path(), false);
    if (structure == DatabaseSchema::FileCheck::NotWritten) {
        VLOG << "Database::restore(" << m_source << ") cant patch the copy";
        return refuse(QStringLiteral("Не удалось обновить структуру резервной копии.\n"
                                     "Возможно, на диске не хватает места."));
    }
    if (structure != DatabaseSchema::FileCheck::Passed) {
        VLOG << "Database::restore(" << m_source << ") wrong structure, the database is left as it was";
        return refuse(QStringLiteral("Файл не является резервной копией базы данных программы."));
    }

    // The views and indexes are made on the copy before it replaces the
    // database, so that a lack of room shows while the database is untouched.
    const PrivateConnection copy(m_copy.path());
    DatabaseSchema schema(copy.db());
    if (!copy.isOpen() || !schema.rebuildViews()) {
        const QString error = copy.isOpen() ? schema.lastError() : copy.openError().text();
        VLOG << "Database::restore(" << m_source << ") cant make the views" << error;
        return refuse(QStringLiteral("Не удалось подготовить резервную копию к работе: %1.\n"
                                     "Возможно, на диске не хватает места.")
                          .arg(error));
    }
    if (!schema.createDetailIndexes()) // only speed depends on them; the next start tries again
        VLOG << "Database::restore cant make the indexes" << schema.lastError();
    QString modeError;
    const QString mode = firstValue(copy.db(), QStringLiteral("PRAGMA journal_mode"), &modeError);
    if (mode.compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0) {
        VLOG << "Database::restore(" << m_source << ") the copy keeps the journal mode" << mode << modeError;
        return refuse(QStringLiteral("Не удалось перевести резервную копию в режим журнала программы: %1.")
                          .arg(mode.isEmpty() ? modeError : mode));
    }
    return true;
}

// Copied under the write lock, so nothing changes the file meanwhile; first
// under a temporary name, so that a killed restore leaves no cut-off copy
// under a name that looks whole.
bool RestoreCopy::keepDatabase(LongTask* task)
{
    const auto cannotKeep = [this](const QString& error) {
        VLOG << "Database::restore(" << m_source << ") cant keep a copy of the database" << error;
        return refuse(QStringLiteral("Не удалось сохранить копию текущей базы данных в папке %1: %2.")
                          .arg(QDir::toNativeSeparators(m_dataDir), error)
                      + m_kept.roomHint());
    };
    const PrivateConnection database(m_database);
    QSqlQuery lock(database.db());
    if (!database.isOpen() || !lock.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return cannotKeep(database.isOpen() ? lock.lastError().text() : database.openError().text());
    FileCopy::Result result = FileCopy::Result::Failed;
    if (m_kept.createUnique(QDir(m_dataDir).filePath(temporaryNamePattern()), 3)) {
        if (::flock(m_kept.handle(), LOCK_EX | LOCK_NB) != 0)
            VLOG << "Database::restore cant lock" << m_kept.path() << FileCopy::systemText(errno);
        result = m_kept.copyFrom(m_database, task);
    }
    QSqlQuery(database.db()).exec(QStringLiteral("ROLLBACK"));
    if (result == FileCopy::Result::Cancelled)
        return false;
    QString error = m_kept.errorText();
    if (result == FileCopy::Result::Copied) {
        m_kept.setPermissions(QFile(m_database).permissions());
        const QString name = DatabaseBackup::freeDatedCopyName(m_dataDir);
        if (name.isEmpty())
            error = QStringLiteral("все имена файлов этой минуты заняты");
        else if (m_kept.moveTo(name))
            return true; // kept only once the database is replaced
        else
            error = m_kept.errorText();
    }
    return cannotKeep(error);
}

bool RestoreCopy::replace(const QString& database)
{
    m_copy.close(); // ends its lock
    if (!m_copy.moveTo(database)) {
        VLOG << "Database::restore(" << m_source << ") cant replace the database file" << database << m_copy.errorText();
        return refuse(QStringLiteral("Не удалось заменить файл базы данных %1: %2.")
                          .arg(QDir::toNativeSeparators(database), m_copy.errorText()));
    }
    // The copy is the database now, and the old database is the kept copy.
    m_copy.keep();
    m_kept.keep();
    return true;
}
