#include "engine/DatabaseSchema.h"

#include "engine/MessageLog.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const CheckConnectionName = "velspo_structure_check";

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

// The names of what a compiled-in script creates, kind being "VIEW" or "TABLE".
QStringList DatabaseSchema::createdNames(const QString& resource, const QString& kind)
{
    QStringList statements, names;
    readScript(resource, &statements);
    const QRegularExpression create(QStringLiteral("^CREATE\\s+%1\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?[\"`\\[]?(\\w+)").arg(kind),
                                    QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : qAsConst(statements)) {
        const QRegularExpressionMatch match = create.match(statement);
        if (match.hasMatch())
            names << match.captured(1);
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
bool DatabaseSchema::runIndexes()
{
    static const char* const statements[] = {
        "CREATE INDEX IF NOT EXISTS DisciplineDetailsBySpoId ON DisciplineDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS PracticeDetailsBySpoId ON PracticeDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS AttestationDetailsBySpoId ON AttestationDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS CourseworkDetailsBySpoId ON CourseworkDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS ModuleDetailsBySpoId ON ModuleDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS DMDetailsBySpoId ON DMDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS DMDetailsByModuleId ON DMDetails (moduleId)",
        "CREATE INDEX IF NOT EXISTS SpoDocumentsByPreviousEducation ON SpoDocuments (previousEducation)",
        "CREATE INDEX IF NOT EXISTS SpoDocumentsByTotalCount ON SpoDocuments (totalCount)",
    };
    for (const char* statement : statements) {
        if (!exec(QLatin1String(statement)))
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
            return false;
        }
    }
    return true;
}

// A foreign file is left exactly as it was.
DatabaseSchema::FileCheck DatabaseSchema::checkFile(const QString& path, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        VLOG << "checkDbStructure(" << path << ") file not found";
        return FileCheck::WrongStructure;
    }
    FileCheck result = FileCheck::WrongStructure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(CheckConnectionName));
        db.setDatabaseName(path);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            VLOG << "checkDbStructure(" << path << ")" << db.lastError().text();
        } else if (!db.transaction()) {
            VLOG << "checkDbStructure(" << path << ") cant start a transaction" << db.lastError().text();
            db.close();
        } else {
            DatabaseSchema schema(db);
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
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QLatin1String(CheckConnectionName));
    if (result == FileCheck::Passed)
        VLOG << "checkDbStructure(" << path << ") OK!!!";
    return result;
}
