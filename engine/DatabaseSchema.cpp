#include "engine/DatabaseSchema.h"

#include "engine/DatabaseIntegrity.h"
#include "engine/MessageLog.h"
#include "engine/PrivateConnection.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// SQLite's codes for a write that did not reach the disk: read-only, I/O
// error, disk full, file not creatable (the journal).
bool isWriteFailure(const QSqlError& error)
{
    static const QStringList codes{QStringLiteral("8"), QStringLiteral("10"), QStringLiteral("13"), QStringLiteral("14")};
    return codes.contains(error.nativeErrorCode());
}

} // namespace

DatabaseSchema::DatabaseSchema(const QSqlDatabase& db)
    : m_db(db)
{
}

// The compiled-in scripts are split on ';' (no statement holds one inside a
// text constant); empty pieces are left out. False when the resource cannot be
// read.
bool DatabaseSchema::readScript(const QString& resource, QStringList* statements)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        VLOG << "cant open" << resource;
        return false;
    }
    const QStringList pieces = QString::fromUtf8(file.readAll()).split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        if (!piece.trimmed().isEmpty())
            statements->append(piece.trimmed());
    }
    return true;
}

// The name a CREATE statement of the given kind ("VIEW", "TABLE", "INDEX")
// makes, or an empty string; the statement may follow comment lines.
QString DatabaseSchema::createdName(const QString& statement, const QString& kind)
{
    const QRegularExpression create(
        QStringLiteral("^(?:--[^\\n]*\\n\\s*)*CREATE\\s+%1\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?[\"`\\[]?(\\w+)").arg(kind),
        QRegularExpression::CaseInsensitiveOption);
    return create.match(statement).captured(1);
}

// The names of what a compiled-in script creates.
QStringList DatabaseSchema::createdNames(const QString& resource, const QString& kind)
{
    QStringList statements, names;
    readScript(resource, &statements);
    for (const QString& statement : qAsConst(statements)) {
        const QString name = createdName(statement, kind);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

bool DatabaseSchema::exec(const QString& statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    VLOG << "SQL ERROR" << query.lastError().text() << statement;
    if (m_error.isEmpty())
        m_error = query.lastError().text();
    return false;
}

// When anything fails (a full disk fails at the commit) nothing is kept: no
// database without its views or indexes ever passes for a whole one.
QString DatabaseSchema::create()
{
    m_error.clear();
    QStringList statements;
    if (!readScript(QStringLiteral(":/database.sql"), &statements))
        return QStringLiteral("нет описания таблиц");
    if (!m_db.transaction())
        return m_db.lastError().text();
    for (const QString& statement : qAsConst(statements))
        exec(statement);
    patch();
    QSqlQuery bosses(m_db);
    if (m_error.isEmpty() && (!check() || !bosses.exec(QStringLiteral("SELECT bossId, bossFio FROM Bosses LIMIT 1;"))))
        m_error = QStringLiteral("таблицы созданы не полностью");
    bosses.finish();
    if (m_error.isEmpty())
        runViews();
    if (m_error.isEmpty())
        runIndexes();
    if (m_error.isEmpty() && !m_db.commit())
        m_error = m_db.lastError().text();
    if (!m_error.isEmpty())
        m_db.rollback();
    return m_error;
}

// Older files lack moduleExamCount; a file without ModuleDetails gets the table
// from the patch script without it, so this runs before and after the script.
void DatabaseSchema::addModuleExamCount()
{
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT moduleExamCount from ModuleDetails;"))) {
        QSqlQuery alter(m_db);
        if (!alter.exec(QStringLiteral("ALTER TABLE ModuleDetails ADD COLUMN moduleExamCount INTEGER;")))
            notePatchFailure(alter);
    }
}

void DatabaseSchema::notePatchFailure(const QSqlQuery& query)
{
    if (isWriteFailure(query.lastError())) {
        VLOG << "patch not written" << query.lastError().text() << query.lastQuery();
        m_patchNotWritten = true;
    }
}

void DatabaseSchema::patch()
{
    addModuleExamCount();
    QStringList statements;
    if (!readScript(QStringLiteral(":/patch.sql"), &statements))
        return;
    for (const QString& statement : qAsConst(statements)) {
        QSqlQuery query(m_db);
        if (!query.exec(statement.simplified())) // statements that do not apply are expected to fail
            notePatchFailure(query);
    }
    addModuleExamCount();
}

bool DatabaseSchema::runViews()
{
    QStringList statements;
    if (!readScript(QStringLiteral(":/views.sql"), &statements)) {
        m_error = QStringLiteral("нет описания представлений");
        return false;
    }
    for (const QString& statement : qAsConst(statements)) {
        if (!exec(statement))
            return false;
    }
    return true;
}

// The supplement editor reads one document's detail rows and one module's
// sub-subjects at a time; without these indexes each such read scans a table
// that holds the rows of every document. Its two proposal lists read one
// column of every document, which an index holds in far fewer pages. The
// structure check does not ask for them.
const QStringList& DatabaseSchema::indexStatements()
{
    static const QStringList statements{
        QStringLiteral("CREATE INDEX IF NOT EXISTS DisciplineDetailsBySpoId ON DisciplineDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS PracticeDetailsBySpoId ON PracticeDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS AttestationDetailsBySpoId ON AttestationDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS CourseworkDetailsBySpoId ON CourseworkDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ModuleDetailsBySpoId ON ModuleDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS DMDetailsBySpoId ON DMDetails (spoId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS DMDetailsByModuleId ON DMDetails (moduleId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS SpoDocumentsByPreviousEducation ON SpoDocuments (previousEducation)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS SpoDocumentsByTotalCount ON SpoDocuments (totalCount)"),
    };
    return statements;
}

bool DatabaseSchema::runIndexes()
{
    for (const QString& statement : indexStatements()) {
        if (!exec(statement))
            return false;
    }
    return true;
}

// A savepoint works inside create()'s transaction as well as on its own, where
// its release is the commit.
bool DatabaseSchema::allOrNothing(const QString& savepoint, bool (DatabaseSchema::*work)())
{
    m_error.clear();
    if (!exec(QStringLiteral("SAVEPOINT ") + savepoint))
        return false;
    if ((this->*work)() && exec(QStringLiteral("RELEASE ") + savepoint))
        return true;
    // A failed commit may already have been rolled back by SQLite itself.
    QSqlQuery undo(m_db);
    undo.exec(QStringLiteral("ROLLBACK TO ") + savepoint);
    undo.exec(QStringLiteral("RELEASE ") + savepoint);
    return false;
}

bool DatabaseSchema::rebuildViews()
{
    return allOrNothing(QStringLiteral("rebuild_views"), &DatabaseSchema::runViews);
}

bool DatabaseSchema::createDetailIndexes()
{
    return allOrNothing(QStringLiteral("detail_indexes"), &DatabaseSchema::runIndexes);
}

bool DatabaseSchema::hasViews()
{
    const QStringList names = createdNames(QStringLiteral(":/views.sql"), QStringLiteral("VIEW"));
    for (const QString& name : names) {
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(name))) {
            VLOG << "view missing" << name << query.lastError().text();
            return false;
        }
    }
    return !names.isEmpty();
}

QString DatabaseSchema::objectKey(const QString& type, const QString& name)
{
    return type.toLower() + QLatin1Char(' ') + name.toLower();
}

QHash<QString, QString> DatabaseSchema::storedObjects()
{
    QHash<QString, QString> objects;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master"))) {
        VLOG << "cant read the schema" << query.lastError().text();
        return objects;
    }
    while (query.next())
        objects.insert(objectKey(query.value(0).toString(), query.value(1).toString()), query.value(2).toString());
    return objects;
}

// SQLite keeps a statement in its own spelling (leading comments gone, its
// keywords written its way); a database made from the scripts in memory gives
// exactly that, without guessing the rules.
QHash<QString, QString> DatabaseSchema::scriptObjects()
{
    const PrivateConnection memory(QStringLiteral(":memory:"));
    if (!memory.isOpen())
        return {};
    DatabaseSchema schema(memory.db());
    const QString error = schema.create();
    if (!error.isEmpty()) {
        VLOG << "cant run the schema scripts" << error;
        return {};
    }
    return schema.storedObjects();
}

bool DatabaseSchema::viewsAreCurrent()
{
    const QHash<QString, QString> wanted = scriptObjects();
    if (wanted.isEmpty())
        return false;
    const QHash<QString, QString> stored = storedObjects();
    const QString view = QStringLiteral("view ");
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (it.key().startsWith(view) && stored.value(it.key()) != it.value()) {
            VLOG << "view to be made anew" << it.key();
            return false;
        }
    }
    return true;
}

bool DatabaseSchema::hasDetailIndexes()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'index'"))) {
        VLOG << "cant read the stored indexes" << query.lastError().text();
        return false;
    }
    QStringList stored;
    while (query.next())
        stored << query.value(0).toString();
    for (const QString& statement : indexStatements()) {
        if (!stored.contains(createdName(statement, QStringLiteral("INDEX")).toLower()))
            return false;
    }
    return true;
}

bool DatabaseSchema::check()
{
    QStringList statements;
    if (!readScript(QStringLiteral(":/checkDbStructure.sql"), &statements))
        return true;
    for (const QString& statement : qAsConst(statements)) {
        const QString simplified = statement.simplified();
        QSqlQuery query(m_db);
        if (!query.exec(simplified)) {
            VLOG << "checkDbStructure(" << m_db.databaseName() << ") table wrong format" << simplified
                 << query.lastError().text();
            static const QRegularExpression from(QStringLiteral("\\bFROM\\s+(\\w+)"), QRegularExpression::CaseInsensitiveOption);
            m_failedTable = from.match(simplified).captured(1);
            m_checkError = query.lastError();
            return false;
        }
    }
    return true;
}

bool DatabaseSchema::needsPatch(QSqlError* error)
{
    QSqlQuery tables(m_db);
    if (!tables.exec(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table'"))) {
        *error = tables.lastError();
        return false;
    }
    QStringList stored;
    while (tables.next())
        stored << tables.value(0).toString();
    if (tables.lastError().isValid()) {
        *error = tables.lastError();
        return false;
    }
    for (const QString& table : createdNames(QStringLiteral(":/patch.sql"), QStringLiteral("TABLE"))) {
        if (!stored.contains(table.toLower()))
            return true;
    }
    // The column addModuleExamCount() adds; read from the schema, not the rows.
    QSqlQuery columns(m_db);
    if (!columns.exec(QStringLiteral("SELECT count(*) FROM pragma_table_info('ModuleDetails') "
                                     "WHERE lower(name) = 'moduleexamcount'"))
        || !columns.next()) {
        *error = columns.lastError();
        return false;
    }
    return columns.value(0).toInt() == 0;
}

// The check on the file as it is. A file still waiting for its patch may lack
// the tables the patch makes; it is the program's file all the same.
DatabaseSchema::FileCheck DatabaseSchema::checkUnpatched(bool patchPending)
{
    if (check())
        return patchPending ? FileCheck::NotWritten : FileCheck::Passed;
    if (DatabaseIntegrity::isDamage(m_checkError))
        return FileCheck::Damaged;
    const QStringList patched = createdNames(QStringLiteral(":/patch.sql"), QStringLiteral("TABLE"));
    return patchPending && patched.contains(m_failedTable, Qt::CaseInsensitive) ? FileCheck::NotWritten
                                                                                : FileCheck::WrongStructure;
}

// A foreign file is left exactly as it was; so is a current or a damaged one.
DatabaseSchema::FileCheck DatabaseSchema::checkFile(const QString& path, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        VLOG << "checkDbStructure(" << path << ") file not found";
        return FileCheck::WrongStructure;
    }
    FileCheck result = FileCheck::WrongStructure;
    {
        const PrivateConnection connection(path, readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
        QSqlDatabase db = connection.db();
        DatabaseSchema schema(db);
        QSqlError schemaError;
        if (!connection.isOpen()) {
            VLOG << "checkDbStructure(" << path << ")" << connection.openError().text();
        } else if (const bool patchPending = schema.needsPatch(&schemaError); schemaError.isValid()) {
            VLOG << "checkDbStructure(" << path << ") cant read the schema" << schemaError.text();
            if (DatabaseIntegrity::isDamage(schemaError))
                result = FileCheck::Damaged;
        } else if (!patchPending || readOnly) {
            result = schema.checkUnpatched(patchPending);
        } else if (!DatabaseIntegrity::isWhole(path, DatabaseIntegrity::Depth::Quick)) {
            // Nothing is written into a damaged file.
            result = schema.checkUnpatched(true);
            if (result == FileCheck::NotWritten)
                result = FileCheck::Damaged;
        } else if (!db.transaction()) {
            VLOG << "checkDbStructure(" << path << ") cant start a transaction" << db.lastError().text();
        } else {
            schema.patch();
            const bool checked = schema.check();
            if (schema.m_patchNotWritten) {
                // Only the tables the patch makes can be missing for want of room.
                const QStringList patched = createdNames(QStringLiteral(":/patch.sql"), QStringLiteral("TABLE"));
                if (checked || patched.contains(schema.m_failedTable, Qt::CaseInsensitive))
                    result = FileCheck::NotWritten;
            } else if (checked) {
                result = FileCheck::Passed;
                if (!db.commit()) {
                    VLOG << "checkDbStructure(" << path << ") cant commit the patch" << db.lastError().text();
                    result = FileCheck::NotWritten;
                }
            }
            if (result != FileCheck::Passed)
                db.rollback();
        }
    }
    if (result == FileCheck::Passed)
        VLOG << "checkDbStructure(" << path << ") OK!!!";
    else if (result == FileCheck::Damaged)
        VLOG << "checkDbStructure(" << path << ") damaged pages";
    return result;
}
