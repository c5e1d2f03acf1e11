#pragma once

#include <QString>
#include <QStringList>

// Backup and restore of the database file, on Database's own connection and
// model cache (Database::backup and Database::restore).
class DatabaseBackup
{
public:
    // damaged (when given) tells whether the copy written fails SQLite's
    // integrity check, as a copy of a damaged database does.
    static bool backup(const QString& target, bool* damaged = nullptr);
    static bool restore(const QString& source, QString* reason, QString* keptCopy = nullptr);
    // Removes the temporary copies that killed restores left in the data
    // folder: only files named exactly like them and held by no running
    // restore. Returns the names removed.
    static QStringList removeStaleRestoreFiles(const QString& dataDir);
    // A free name beside the database for a copy kept aside: the application
    // name, the time and date, and ".bak"; a counter when that name is taken.
    // Empty when every name of this minute is taken.
    static QString freeDatedCopyName(const QString& dataDir);
};
