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

} // namespace

SupplementHours::Totals SupplementHours::totals(int spoId)
{
    Totals totals;
    for (const char* statement : totalStatements) {
        QSqlQuery query;
        query.prepare(QLatin1String(statement));
        query.bindValue(QStringLiteral(":spoId"), spoId);
        if (!Database::execQuery(query)) {
            totals.read = false;
        } else if (query.next()) {
            totals.total += number(query.value(0));
            totals.audit += number(query.value(1));
        } else if (query.lastError().isValid()) {
            VLOG << "cannot read" << query.lastQuery() << query.lastError().text();
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
    if (!Database::execQuery(query))
        return false;
    while (query.next()) {
    }
    if (!query.lastError().isValid())
        return true;
    VLOG << "cannot read DMDetails of" << spoId << query.lastError().text();
    return false;
}

bool SupplementHours::updateModules(int moduleId)
{
    QSqlQuery query;
    query.prepare(QLatin1String(moduleUpdate) + QStringLiteral("  WHERE ModuleDetails.moduleId = :moduleId;"));
    query.bindValue(QStringLiteral(":moduleId"), moduleId);
    return Database::execQuery(query);
}

// Never the whole table: other documents' modules change only in their own
// editor, which recomputes them when it opens.
bool SupplementHours::updateDocumentModules(int spoId)
{
    QSqlQuery query;
    query.prepare(QLatin1String(moduleUpdate) + QStringLiteral("  WHERE ModuleDetails.spoId = :spoId;"));
    query.bindValue(QStringLiteral(":spoId"), spoId);
    return Database::execQuery(query);
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
