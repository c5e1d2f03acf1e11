#pragma once

// Documents and their detail rows written straight into the program's
// database of the test's data directory, the way the document form stores
// them, and quick queries on that database. Every function works on the
// program's own connection.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace DocumentFixtures {

// The six detail tables, and SpoDocuments followed by them.
const QStringList& detailTables();
const QStringList& documentTables();

// Drops the Database singleton and empties the data directory: the next
// Database::init() starts from nothing.
void resetDataDir();
// Opens (creating when missing) the database of the data directory, empties
// every document table and Variables and drops the triggers a test left.
bool openEmpty();
// Removes the user's report templates from the data directory.
void clearUserReports();

// sql with positional values bound; false (and a warning) on failure.
bool exec(const QString& sql, const QVariantList& values = {});
// The first column of the first row, or an invalid QVariant.
QVariant scalar(const QString& sql, const QVariantList& values = {});
// Every row of the result, its columns joined with '|'.
QStringList rows(const QString& sql, const QVariantList& values = {});
// Rows of table, optionally restricted by a WHERE condition with values.
int count(const QString& table, const QString& where = QString(), const QVariantList& values = {});
// Rows of table belonging to the document spoId.
int detailCount(const QString& table, int spoId);
// One column of a SpoDocuments row.
QVariant column(int spoId, const QString& name);

// Inserts one row with the named columns; returns the new key or -1.
int insertRow(const QString& table, const QVariantMap& columns);
// Inserts one SpoDocuments row (defaults when columns is empty); spoId or -1.
int insertDocument(const QVariantMap& columns = {});
// A complete document with every field set; override fields as needed.
QVariantMap fullDocument();
// Two practices, three disciplines, one coursework, two attestations and two
// modules with two and one sub-subjects ("МДК 1.1", "МДК 1.2", "МДК 2.1").
bool insertDetails(int spoId);
// n disciplines "Дисциплина 1".."Дисциплина n".
bool insertDisciplines(int spoId, int n);
// n plain documents in one statement; surnames "Фамилия1".."Фамилия<n>".
bool insertMany(int n);
// Organisation name, city and two bosses (with extra spaces and a quote).
void setRequisites();

// Which leaf page of a table's data damageTable() overwrites. The first one is
// where every scan of the table starts.
enum class DamagedLeaf { Middle, First };

// Closes the program's database and overwrites a leaf page of table's data
// (the middle one unless told otherwise) with garbage, as a failing disk
// would; the file keeps its structure (schema pages are untouched). The caller
// opens it again. False when the table has no data page of its own to damage.
bool damageTable(const QString& table, DamagedLeaf leaf = DamagedLeaf::Middle);

} // namespace DocumentFixtures
