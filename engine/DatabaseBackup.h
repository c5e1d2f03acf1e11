#pragma once

#include <QString>

// Backup and restore of the database file, on Database's own connection and
// model cache (Database::backup and Database::restore).
class DatabaseBackup
{
public:
    static bool backup(const QString& target);
    static bool restore(const QString& source, QString* reason);
    // A free name beside the database for a copy kept aside: the application
    // name, the time and date, and ".bak"; a counter when that name is taken.
    // Empty when every name of this minute is taken.
    static QString freeDatedCopyName(const QString& dataDir);
};
