#include "engine/SpoDataLoader.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "report/ReportPage.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStringList>

#include <memory>

namespace {

// A model of one supplement view restricted to the document. It belongs to
// the page and holds every row: SQLite models fetch only 256 rows at a time,
// and a table field drawing a partly fetched model would cut the supplement.
void bindViewModel(ReportPage* page, const QString& view, int sqlDocId)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT * FROM %1 WHERE spoId = :spoId;").arg(view));
    query.bindValue(QStringLiteral(":spoId"), sqlDocId);
    Database::execQuery(query);

    auto* model = new QSqlQueryModel(page);
    model->setQuery(query);
    while (model->canFetchMore())
        model->fetchMore();
    page->addModel(view, model, true);
}

} // namespace

QString monthNameGenitive(int month)
{
    static const char* const names[] = {"января", "февраля", "марта", "апреля", "мая", "июня",
                                        "июля", "августа", "сентября", "октября", "ноября", "декабря"};
    if (month < 1 || month > 12)
        return QString();
    return QString::fromUtf8(names[month - 1]);
}

QString dateToText(const QDate& date)
{
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1%2 %3 %4")
        .arg(date.day() < 10 ? QStringLiteral("0") : QString())
        .arg(date.day())
        .arg(monthNameGenitive(date.month()))
        .arg(date.year());
}

QString fioToShort(const QString& fio)
{
    QStringList parts = fio.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const int count = parts.size();
    if (count >= 2)
        parts[count - 1] = parts[count - 1].left(1).toUpper() + QLatin1Char('.');
    if (count >= 3) {
        parts[count - 2] = parts[count - 2].left(1).toUpper() + QLatin1Char('.') + parts[count - 1];
        parts.removeLast();
    }
    return parts.join(QLatin1Char(' '));
}

QDate storedDate(const QString& text)
{
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
}

QString formatDate(const QDate& date, const QString& format)
{
    return date.isValid() ? date.toString(format) : QString();
}

void loadSpoData(ReportPage* page, int sqlDocId, bool useData)
{
    if (!page) {
        VLOG << "loadSpoData: no page to fill";
        return;
    }

    std::unique_ptr<QSqlQuery> query;
    if (useData) {
        query.reset(new QSqlQuery(QSqlDatabase::database()));
        query->prepare(QStringLiteral("SELECT * FROM SpoDocuments WHERE spoId = :spoId;"));
        query->bindValue(QStringLiteral(":spoId"), sqlDocId);
        Database::execQuery(*query);
    } else {
        query.reset(Database::execStr(QStringLiteral("SELECT * FROM SpoDocuments;")));
    }
    const bool hasRow = query && query->next();
    if (!hasRow && useData) {
        VLOG << "loadSpoData: no document" << sqlDocId;
        return;
    }

    auto text = [&](const char* column) {
        return hasRow ? query->value(QLatin1String(column)).toString() : QString();
    };
    auto flag = [&](const char* column) { return hasRow && query->value(QLatin1String(column)).toBool(); };
    auto integer = [&](const char* column) { return hasRow ? query->value(QLatin1String(column)).toInt() : 0; };
    auto date = [&](const char* column) { return storedDate(text(column)); };
    const QString digits = QStringLiteral("dd.MM.yyyy");

    // Empty parts are left out: a name without a middle name would otherwise
    // end in a blank, which prints before a following comma and shifts a
    // centred name.
    QStringList nameParts;
    for (const char* column : {"fio1", "fio2", "fio3"}) {
        const QString part = text(column).trimmed();
        if (!part.isEmpty())
            nameParts.append(part);
    }
    const QString fullName = nameParts.join(QLatin1Char(' '));
    const QDate decisionDate = date("decisionDate");
    const QDate issueDate = date("issueDate");
    const QDate birthDate = date("birthDate");
    const bool excellent = flag("isExcellent");

    page->setVariable(QStringLiteral("Last_Name"), text("fio1"));
    page->setVariable(QStringLiteral("First_Name"), text("fio2"));
    page->setVariable(QStringLiteral("Middle_Name"), text("fio3"));
    page->setVariable(QStringLiteral("Full_Name"), fullName);
    page->setVariable(QStringLiteral("Full_Name_short"), fioToShort(fullName));
    page->setVariable(QStringLiteral("Number"), text("number"));
    page->setVariable(QStringLiteral("reg_Number"), text("regNumber"));
    page->setVariable(QStringLiteral("decision_Date"), dateToText(decisionDate));
    page->setVariable(QStringLiteral("decision_Date_digit"), formatDate(decisionDate, digits));
    page->setVariable(QStringLiteral("Issue_Out"), dateToText(issueDate));
    page->setVariable(QStringLiteral("Issue_Out_digit"), formatDate(issueDate, digits));
    page->setVariable(QStringLiteral("Issue_Out_year"), formatDate(issueDate, QStringLiteral("yyyy")));
    page->setVariable(QStringLiteral("birth"), dateToText(birthDate));
    page->setVariable(QStringLiteral("birth_digit"), formatDate(birthDate, digits));
    page->setVariable(QStringLiteral("Reg_Number"), text("regNumber"));
    page->setVariable(QStringLiteral("profession_Code"), text("professionCode"));
    page->setVariable(QStringLiteral("profession_Name"), text("professionName"));
    page->setVariable(QStringLiteral("qual"), text("qual"));
    page->setVariable(QStringLiteral("program_Type"),
                      integer("programType") < 1 ? QStringLiteral("профессии") : QStringLiteral("специальности"));
    page->setVariable(QStringLiteral("previous_Education"), text("previousEducation"));
    page->setVariable(QStringLiteral("total_Count"), text("totalCount"));
    page->setVariable(QStringLiteral("attestation_Total_Count"), text("attestationTotalCount"));
    page->setVariable(QStringLiteral("practice_Total_Count"), text("practiceTotalCount"));
    page->setVariable(QStringLiteral("comment"), text("comment"));
    page->setVariable(QStringLiteral("text_for_addition"),
                      excellent ? QStringLiteral("о среднем профессиональном образовании<br>с отличием")
                                : QStringLiteral("о среднем профессиональном образовании"));
    page->setVariable(QStringLiteral("is_excellent"), excellent ? QStringLiteral("с отличием") : QString());
    page->setVariable(QStringLiteral("is_duplicate"), flag("isDuplicate") ? QStringLiteral("ДУБЛИКАТ") : QString());
    query.reset();

    const QString boss1 = Database::getVariable(QStringLiteral("Boss_1"));
    const QString boss2 = Database::getVariable(QStringLiteral("Boss_2"));
    page->setVariable(QStringLiteral("Boss1_short"), fioToShort(boss1));
    page->setVariable(QStringLiteral("Boss1"), boss1);
    page->setVariable(QStringLiteral("Boss2_short"), fioToShort(boss2));
    page->setVariable(QStringLiteral("Boss2"), boss2);
    page->setVariable(QStringLiteral("City"), Database::getVariable(QStringLiteral("City")));
    page->setVariable(QStringLiteral("OrgName"), Database::getVariable(QStringLiteral("OrgName_1")));

    bindViewModel(page, QStringLiteral("ViewSpoDetails"), sqlDocId);
    bindViewModel(page, QStringLiteral("ViewSpoCourseworks"), sqlDocId);
}
