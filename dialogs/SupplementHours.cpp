#include "dialogs/SupplementHours.h"

#include "engine/Database.h"
#include "engine/DecimalNumber.h"
#include "engine/MessageLog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const totalStatements[] = {
    "SELECT SUM(IFNULL(replace(disciplineCount, ',','.'), 0)), "
    "SUM(IFNULL(replace(disciplineCountAudit,',','.'),0)) "
    "FROM DisciplineDetails WHERE spoId = :spoId GROUP BY spoId;",
    "SELECT SUM(IFNULL(replace(moduleCount,',','.'),0)), SUM(IFNULL(replace(moduleCountAudit,',','.'),0)) "
    "FROM ModuleDetails WHERE spoId = :spoId GROUP BY spoId;",
};

const char* const moduleUpdate =
    "UPDATE ModuleDetails SET  moduleCount = IFNULL(REPLACE(moduleExamCount, ',', '.'), 0) + "
    "IFNULL((SELECT SUM(IFNULL(replace(dmCount,',','.'),0)) FROM DMDetails "
    "WHERE ModuleDetails.moduleId = DMDetails.moduleId GROUP BY DMDetails.moduleId),0), "
    "moduleCountAudit = IFNULL((SELECT SUM(IFNULL(replace(dmCountAudit,',','.'),0)) FROM DMDetails "
    "WHERE ModuleDetails.moduleId = DMDetails.moduleId GROUP BY DMDetails.moduleId),0)";

// Module hours are only worked out from rows already stored, so leaving the
// recomputation out loses nothing the user typed, while a write to a damaged
// file could spread the damage over pages that are still sound.
bool recomputationAllowed()
{
    if (!Database::isKnownDamaged())
        return true;
    VLOG << "module hours are not recomputed: the database is known damaged";
    return false;
}

bool runModuleUpdate(const QString& condition, const char* key, int value)
{
    if (!recomputationAllowed())
        return true;
    QSqlQuery query;
    query.prepare(QLatin1String(moduleUpdate) + condition);
    query.bindValue(QLatin1String(key), value);
    if (Database::execQuery(query))
        return true;
    Database::noteReadFailure(query.lastError());
    return false;
}

} // namespace

SupplementHours::Totals SupplementHours::totals(int spoId)
{
    Totals totals;
    for (const char* statement : totalStatements) {
        QSqlQuery query;
        query.prepare(QLatin1String(statement));
        query.bindValue(QStringLiteral(":spoId"), spoId);
        if (!Database::execQuery(query)) {
            Database::noteReadFailure(query.lastError());
            totals.read = false;
        } else if (query.next()) {
            totals.total += number(query.value(0));
            totals.audit += number(query.value(1));
        } else if (query.lastError().isValid()) {
            VLOG << "cannot read" << query.lastQuery() << query.lastError().text();
            Database::noteReadFailure(query.lastError());
            totals.read = false;
        }
    }
    return totals;
}

bool SupplementHours::subjectsReadable(int spoId)
{
    QSqlQuery query;
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT dmCount, dmCountAudit FROM DMDetails WHERE spoId = :spoId"));
    query.bindValue(QStringLiteral(":spoId"), spoId);
    bool read = Database::execQuery(query);
    while (read && query.next()) {
    }
    if (read && !query.lastError().isValid())
        return true;
    VLOG << "cannot read DMDetails of" << spoId << query.lastError().text();
    Database::noteReadFailure(query.lastError());
    return false;
}

bool SupplementHours::updateModules(int moduleId)
{
    return runModuleUpdate(QStringLiteral("  WHERE ModuleDetails.moduleId = :moduleId;"), ":moduleId", moduleId);
}

// Never the whole table: other documents' modules change only in their own
// editor, which recomputes them when it opens.
bool SupplementHours::updateDocumentModules(int spoId)
{
    return runModuleUpdate(QStringLiteral("  WHERE ModuleDetails.spoId = :spoId;"), ":spoId", spoId);
}

double SupplementHours::number(const QVariant& value)
{
    return value.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

QString SupplementHours::format(double value)
{
    // With the locale's decimal mark, like every number the dialog shows.
    return DecimalNumber::withLocaleMark(QString::number(value, 'g', 6));
}
