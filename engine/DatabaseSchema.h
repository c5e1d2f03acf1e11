#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The compiled-in schema applied to one connection: creating a new database,
// bringing an older one up to date, rebuilding the views and checking that a
// file holds the program's tables.
class DatabaseSchema
{
public:
    explicit DatabaseSchema(const QSqlDatabase& db);

    // The tables, the patch and the structure check in one transaction, so a
    // half-made schema is never left behind. Empty when it worked, otherwise
    // what failed.
    QString create();
    // Brings an older database up to date (missing columns and tables); runs
    // at every structure check, so also on a file being restored.
    void patch();
    void rebuildViews();
    // The indexes the supplement editor reads by; older databases get them when
    // they are opened or restored.
    void createDetailIndexes();
    // False at the first statement of the check script that fails.
    bool check();

    // Patches and checks the file inside one transaction on a connection of its
    // own; the patch is kept only when the check passes.
    static bool checkFile(const QString& path, bool readOnly);

private:
    static bool readScript(const QString& resource, QStringList* statements);
    void addModuleExamCount();

    QSqlDatabase m_db;
};
