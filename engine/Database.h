#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSettings;
class QSqlError;
class QSqlQuery;
class QSqlTableModel;

// The one SQLite connection of the process, the settings locations and the
// shared table models. Everything but construction is reached statically; the
// schema scripts live in DatabaseSchema, backup and restore in DatabaseBackup.
class Database
{
public:
    // Creates the singleton unless it exists. Returns false when start-up must
    // stop: the user refused to replace a file of another structure (exit
    // code 0) or the database could not be opened or created (exit code 1);
    // see startupExitCode().
    // After a false result no singleton is left behind.
    static bool init(bool checkStructure);
    // The singleton; made with the structure check when there is none. Null
    // only when that creation failed.
    static Database* instance();
    static int startupExitCode();
    static bool isOpen();
    // Set once the program has seen damaged pages in the working database
    // (the start-up check, a read that failed on them); the writes that would
    // work on rows it cannot read are then left out. A restore clears it, and
    // each opening starts afresh.
    static void setKnownDamaged(bool damaged);
    static bool isKnownDamaged();
    // For a read of the working database that failed: marks it known damaged
    // when SQLite's answer says the pages read are damaged.
    static void noteReadFailure(const QSqlError& error);

    explicit Database(bool checkStructure);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    static void close();
    static void destroy();

    // Runs sql on a new heap query that the caller owns and deletes.
    static QSqlQuery* execStr(const QString& sql);
    // Executes an already prepared and bound query; logs a failure.
    static bool execQuery(QSqlQuery& query);
    static QSqlTableModel* tableModel(const QString& table);

    // error (when given) is set when the value could not be read.
    static QString getVariable(const QString& name, QSqlError* error = nullptr);
    // False when the value was not stored (read-only database, SQL failure).
    [[nodiscard]] static bool setVariable(const QString& name, const QString& value);

    static QStringList mostFrequentValues(const QString& table, const QStringList& fields, int limit);
    static QStringList mostFrequentValues(const QString& table, const QString& field, int limit);

    // Refuses a target the program lives on; reason (when given) says why a
    // backup failed, for the user. A damaged database is copied too; damaged
    // (when given) then tells so. A window runs the steps of DatabaseBackup
    // instead, the long one under a progress dialog.
    static bool backup(const QString& target, QString* reason = nullptr, bool* damaged = nullptr);
    // A file of the wrong structure or with damaged pages, or one that cannot
    // be put in place, is refused and the database left as it was; reason
    // (when given) then says why, for the user. What the program does not make
    // (triggers, foreign views, indexes and tables) is removed from the copy,
    // which keeps a rollback journal. Before the swap the database is kept as
    // a dated copy beside it, named in keptCopy.
    static bool restore(const QString& source, QString* reason = nullptr, QString* keptCopy = nullptr);
    // Patches and checks the file inside one transaction on a connection of its
    // own; the patch is kept only when the check passes. Without write access
    // (readOnly) the patch cannot be kept, so only a file that needs none passes.
    static bool checkDbStructure(const QString& path, bool readOnly = false);
    static void applyPatch();
    static void updateViews();
    static void checkLastStartedVersion();

    // Settings locations.
    static void initSettings();
    static QString dataPath();
    static QString userSettingsPath();
    static QString databaseFileName();
    static QSettings* userSettings();
    static QSettings* commonSettings();
    static QSettings* productSettings();
    static void syncSettings();
    // The settings files in use that were found to be something other than a
    // regular file: they are not read, and changes are not saved to them.
    static QStringList unreadSettingsFiles();

    // Tests only: replaces the fixed data directory. Call before anything else
    // touches the settings locations.
    static void setDataPathForTesting(const QString& path);
    // Tests only: treats the database file and its folder as not writable
    // (root may write everywhere).
    static void setReadOnlyForTesting(bool readOnly);

private:
    // Works on the connection and the model cache while it swaps the file.
    friend class DatabaseBackup;
    enum class State { Open, Refused, Failed };

    static bool mayWrite(const QString& fileName);
    void openReadOnly(const QString& fileName, bool checkStructure);
    bool openConnection(bool readOnly = false);
    QString useRollbackJournal(QString* error = nullptr);
    void prepareSchema(bool damaged);
    bool createNewDatabase();
    QString moveAside(const QString& fileName);
    void reportOpenFailure(const QString& error);

    QSqlDatabase m_db;
    QHash<QString, QSqlTableModel*> m_models;
    State m_state = State::Failed;
    bool m_readOnly = false;
};
