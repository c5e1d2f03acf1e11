#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

// The compiled-in schema applied to one connection: creating a new database,
// bringing an older one up to date, rebuilding the views and checking that a
// file holds the program's tables.
class DatabaseSchema
{
public:
    // What the structure check of a file found.
    enum class FileCheck {
        Passed,
        WrongStructure, // some other program's file, or not a database at all
        NotWritten,     // the program's file, but its patch could not be written
        Damaged,        // the program's file with pages SQLite cannot read
    };

    explicit DatabaseSchema(const QSqlDatabase& db);

    // The tables, the patch, the views and the indexes in one transaction, so
    // a half-made schema is never left behind. Empty when it worked, otherwise
    // what failed.
    QString create();
    // Brings an older database up to date (missing columns and tables); the
    // structure check runs it on a file that lacks them, so also on a file
    // being restored.
    void patch();
    // All views or none: when one cannot be made (a full disk) the views stay
    // as they were. False then, with the reason in lastError().
    bool rebuildViews();
    // The indexes the supplement editor reads by; older databases get them when
    // they are opened or restored. All or none, like the views.
    bool createDetailIndexes();
    // Every view of the script is there and can be read.
    bool hasViews();
    // Every view of the script is stored exactly as the script makes it, so
    // rebuilding the views would change nothing.
    bool viewsAreCurrent();
    // Every index createDetailIndexes() makes is there.
    bool hasDetailIndexes();
    // False at the first statement of the check script that fails.
    bool check();
    QString lastError() const { return m_error; }

    // Every object of the file, as objectKey() names it, with the statement
    // SQLite keeps for it; empty when the schema cannot be read.
    QHash<QString, QString> storedObjects();
    // The same for a database made from the compiled-in scripts; empty when
    // they could not be run.
    static QHash<QString, QString> scriptObjects();
    // "view viewspodetails": the type and the name, in lower case.
    static QString objectKey(const QString& type, const QString& name);

    // Checks the file on a connection of its own. Only a file that lacks
    // tables or columns is written to: it is patched inside one transaction,
    // kept only when the check passes, and never when SQLite's quick check
    // finds damaged pages. A patch that could not be written (a full disk) and
    // damaged pages are told apart from a file of another structure, which the
    // program offers to replace.
    static FileCheck checkFile(const QString& path, bool readOnly);

private:
    static bool readScript(const QString& resource, QStringList* statements);
    static QString createdName(const QString& statement, const QString& kind);
    static QStringList createdNames(const QString& resource, const QString& kind);
    static const QStringList& indexStatements();
    // Tables or columns that patch() would add are missing; error is set
    // when the file's schema cannot be read.
    bool needsPatch(QSqlError* error);
    FileCheck checkUnpatched(bool patchPending);
    void addModuleExamCount();
    bool runViews();
    bool runIndexes();
    bool allOrNothing(const QString& savepoint, bool (DatabaseSchema::*work)());
    bool exec(const QString& statement);
    void notePatchFailure(const QSqlQuery& query);

    QSqlDatabase m_db;
    QString m_error;
    bool m_patchNotWritten = false;
    QString m_failedTable; // of the first failing check statement
    QSqlError m_checkError;  // and its error
};
