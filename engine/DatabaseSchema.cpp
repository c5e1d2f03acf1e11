#include "engine/DatabaseSchema.h"

#include "engine/MessageLog.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const CheckConnectionName = "velspo_structure_check";

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

// When anything fails (a full disk fails at the commit) nothing is kept.
QString DatabaseSchema::create()
{
    QStringList statements;
    if (!readScript(QStringLiteral(":/database.sql"), &statements))
        return QStringLiteral("нет описания таблиц");
    if (!m_db.transaction())
        return m_db.lastError().text();
    QString error;
    for (const QString& statement : qAsConst(statements)) {
        QSqlQuery query(m_db);
        if (!query.exec(statement)) {
            VLOG << query.lastError().text() << statement;
            if (error.isEmpty())
                error = query.lastError().text();
        }
    }
    patch();
    QSqlQuery bosses(m_db);
    if (error.isEmpty() && (!check() || !bosses.exec(QStringLiteral("SELECT bossId, bossFio FROM Bosses LIMIT 1;"))))
        error = QStringLiteral("таблицы созданы не полностью");
    bosses.finish();
    if (error.isEmpty() && !m_db.commit())
        error = m_db.lastError().text();
    if (!error.isEmpty())
        m_db.rollback();
    return error;
}

// Older files lack moduleExamCount; a file without ModuleDetails gets the table
// from the patch script without it, so this runs before and after the script.
void DatabaseSchema::addModuleExamCount()
{
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT moduleExamCount from ModuleDetails;"))) {
        QSqlQuery alter(m_db);
        alter.exec(QStringLiteral("ALTER TABLE ModuleDetails ADD COLUMN moduleExamCount INTEGER;"));
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
        query.exec(statement.simplified()); // statements that do not apply are expected to fail
    }
    addModuleExamCount();
}

void DatabaseSchema::rebuildViews()
{
    QStringList statements;
    if (!readScript(QStringLiteral(":/views.sql"), &statements))
        return;
    for (const QString& statement : qAsConst(statements)) {
        QSqlQuery query(m_db);
        if (!query.exec(statement))
            VLOG << "SQL ERROR" << query.lastError().text() << statement;
    }
}

// The supplement editor reads one document's detail rows and one module's
// sub-subjects at a time; without these indexes each such read scans a table
// that holds the rows of every document. Its two proposal lists read one
// column of every document, which an index holds in far fewer pages. The
// structure check does not ask for them.
void DatabaseSchema::createDetailIndexes()
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
        QSqlQuery query(m_db);
        if (!query.exec(QLatin1String(statement)))
            VLOG << "SQL ERROR" << query.lastError().text() << statement;
    }
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
            return false;
        }
    }
    return true;
}

// A foreign file is left exactly as it was.
bool DatabaseSchema::checkFile(const QString& path, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        VLOG << "checkDbStructure(" << path << ") file not found";
        return false;
    }
    bool ok = false;
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
            ok = schema.check();
            if (ok && !db.commit()) {
                VLOG << "checkDbStructure(" << path << ") cant commit the patch" << db.lastError().text();
                ok = false;
            }
            if (!ok)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QLatin1String(CheckConnectionName));
    if (ok)
        VLOG << "checkDbStructure(" << path << ") OK!!!";
    return ok;
}
