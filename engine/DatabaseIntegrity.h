#pragma once

#include <QString>

class QSqlError;

// SQLite's own check of a database file's pages, on a read-only connection of
// its own: a file can hold the right tables and still have damaged rows that
// only show when they are read.
class DatabaseIntegrity
{
public:
    enum class Depth {
        Quick, // every page and row readable (PRAGMA quick_check)
        Full,  // also every index matching its table (PRAGMA integrity_check)
    };

    // False when the check finds anything wrong or cannot run (no such file,
    // not readable, not a database); what it found goes to the log.
    static bool isWhole(const QString& path, Depth depth);
    // SQLite's answer for a read that met damaged pages ("database disk image
    // is malformed"), as opposed to a file of some other structure.
    static bool isDamage(const QSqlError& error);
};
