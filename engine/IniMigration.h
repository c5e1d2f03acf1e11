#pragma once

#include <QString>

// Moves the old organisation data (group "Data" of the product's INI file) into
// the table Variables, which it creates when missing. A key leaves the INI file
// only once its row is stored.
void migrateIniData(const QString& iniPath);
