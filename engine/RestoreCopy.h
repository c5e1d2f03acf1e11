#pragma once

#include "engine/FileCopy.h"

#include <QString>

class LongTask;

// A backup copied beside the database and made exactly the program's own
// database, ready to take its place, with a copy of the working database kept
// aside. Everything here works on the copies and on connections of its own,
// so it may run on a worker thread; the working database is only read. The
// swap itself, on the program's connection, is DatabaseBackup's. What was not
// put in place is removed when this object goes.
class RestoreCopy
{
public:
    explicit RestoreCopy(const QString& source);

    // False when the backup is refused (reason() says why, for the user) or
    // the task was cancelled (reason() empty).
    bool prepare(LongTask* task);
    QString reason() const { return m_reason; }
    // The dated copy of the working database; empty when there was none.
    QString keptCopy() const { return m_kept.path(); }

    // Puts the prepared copy in place of the database file (the program's
    // connection closed); the kept copy stays. False with reason() otherwise.
    bool replace(const QString& database);

    // The name of the temporary copy; a killed restore leaves it behind.
    static QString temporaryNamePattern();
    // Tests only: the free space the room check sees, in bytes (negative: the
    // disk's own).
    static void setFreeSpaceForTesting(qint64 bytes);

private:
    enum class Health { Whole, Damaged, NotADatabase };

    bool refuse(const QString& why);
    bool hasRoom(qint64 sourceSize, qint64 databaseSize);
    bool copySource(LongTask* task);
    bool checkCopy();
    bool makeOwn();
    bool keepDatabase(LongTask* task);
    static Health health(const QString& path);

    QString m_source;
    QString m_dataDir;
    QString m_database;
    FileCopy m_copy;
    FileCopy m_kept;
    QString m_reason;
};
