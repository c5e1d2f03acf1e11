#pragma once

#include <QString>

#include <functional>

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
    // The quick check of the working database while the program goes on
    // using it. It reads without SQLite's locks, so a save meanwhile never
    // waits for it (a rollback journal makes a writer wait for every reader).
    // A read that overlapped a write may see old and new pages mixed, so its
    // verdict stands only when the file was not written meanwhile; otherwise
    // the file is checked again, the last time with the locks, and damage is
    // always confirmed with the locks before it is reported.
    static bool isWholeWhileInUse(const QString& path);
    // SQLite's answer for a read that met damaged pages ("database disk image
    // is malformed"), as opposed to a file of some other structure.
    static bool isDamage(const QSqlError& error);

    // Tests only: runs on the checking thread once a check has begun to read.
    static void setReadingHookForTesting(const std::function<void()>& hook);
};
