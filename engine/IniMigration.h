#pragma once

#include <QString>

// What moving the old organisation data found and did.
enum class IniMigrationResult {
    NothingToMove, // no group "Data", or only keys already moved and now removed
    Moved,         // the keys are in Variables and gone from the file
    NotRemoved,    // in Variables, but the file could not be rewritten: the user is to be told
    NotStored,     // the database refused them; the file is left as it was
};

// Moves the old organisation data (group "Data" of the product's INI file) into
// the table Variables, which it creates when missing. A key only fills a row
// still missing, never replaces a value the database holds, and leaves the INI
// file only once its row is there. The first move is recorded in the
// database, so that the user hears only once that the file kept its keys.
IniMigrationResult migrateIniData(const QString& iniPath);
