#pragma once

#include <QString>
#include <QStringList>

class LongTask;
class RestoreCopy;

// Backup and restore of the database file (Database::backup and
// Database::restore). The long part of each, the copying and checking, works
// on connections of its own and may run on a LongTask; the steps on the
// program's own connection and model cache stay on the thread that owns them.
class DatabaseBackup
{
public:
    // Every step on the calling thread; reason (when given) says why it
    // failed, for the user. A damaged database is copied too: damaged (when
    // given) then tells that the copy is not whole.
    static bool backup(const QString& target, QString* reason = nullptr, bool* damaged = nullptr);
    static bool restore(const QString& source, QString* reason = nullptr, QString* keptCopy = nullptr);

    // The steps of a backup. First, on the program's connection: the target
    // must be no file the program lives on and no folder, and the database
    // must keep nothing in a journal of its own beside the file (a WAL
    // journal is checkpointed into it here).
    static bool prepareBackup(const QString& target, QString* reason);
    // Then, on any thread: the file is copied under the write lock beside the
    // target, checked, and only then put in place of an older file there.
    // task (may be null) hears the stages and may stop the copy and check; a
    // stopped backup leaves nothing behind and reason empty.
    static bool writeBackup(const QString& target, LongTask* task, QString* reason, bool* damaged);

    // The steps of a restore around a RestoreCopy. First: the source must be
    // a file other than the database, and the database writable.
    static bool checkRestoreSource(const QString& source, QString* reason);
    // Last, on the program's connection: the prepared copy takes the
    // database's place and the connection is opened on it again.
    static bool swapIn(RestoreCopy& copy, QString* reason, QString* keptCopy);

    // Removes the temporary copies that killed restores left in the data
    // folder: only files named exactly like them and held by no running
    // restore. Returns the names removed.
    static QStringList removeStaleRestoreFiles(const QString& dataDir);
    // A free name beside the database for a copy kept aside: the application
    // name, the time and date, and ".bak"; a counter when that name is taken.
    // Empty when every name of this minute is taken.
    static QString freeDatedCopyName(const QString& dataDir);
};
