#include "engine/SpoDataLoader.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "report/ReportPage.h"

#include <QDebug>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStringList>

#include <memory>
#include <vector>

namespace {

// The parts of one load that could not be read, named for the user. A read
// that stops part-way looks like the end of the rows, so every read checks
// the error left behind as well.
class ReadProblems
{
public:
    void note(const QString& part, const QSqlError& error)
    {
        VLOG << "loadSpoData: cannot read" << part << error.text();
        Database::noteReadFailure(error);
        if (!m_parts.contains(part))
            m_parts << part;
    }
    bool any() const { return !m_parts.isEmpty(); }
    QString text() const { return m_parts.join(QStringLiteral("; ")); }

private:
    QStringList m_parts;
};

QString readVariable(const QString& name, ReadProblems& problems)
{
    QSqlError error;
    const QString value = Database::getVariable(name, &error);
    if (error.isValid())
        problems.note(QStringLiteral("реквизиты организации"), error);
    return value;
}

// A model of one supplement view restricted to the document, holding every
// row: SQLite models fetch only 256 rows at a time, and a table field drawing
// a partly fetched model would cut the supplement. Null when the rows could
// not all be read.
std::unique_ptr<QSqlQueryModel> readView(const QString& view, const QString& part, int sqlDocId,
                                         ReadProblems& problems)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT * FROM %1 WHERE spoId = :spoId;").arg(view));
    query.bindValue(QStringLiteral(":spoId"), sqlDocId);
    if (!Database::execQuery(query)) {
        problems.note(part, query.lastError());
        return nullptr;
    }
    auto model = std::make_unique<QSqlQueryModel>();
    model->setQuery(query);
    while (model->canFetchMore())
        model->fetchMore();
    const QSqlError error = model->lastError().isValid() ? model->lastError() : model->query().lastError();
    if (error.isValid()) {
        problems.note(part, error);
        return nullptr;
    }
    return model;
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
    page->setDataProblem(QString());
    ReadProblems problems;
    const QString documentPart = QStringLiteral("сведения о документе");

    QSqlQuery query(QSqlDatabase::database());
    if (useData) {
        query.prepare(QStringLiteral("SELECT * FROM SpoDocuments WHERE spoId = :spoId;"));
        query.bindValue(QStringLiteral(":spoId"), sqlDocId);
    } else {
        query.prepare(QStringLiteral("SELECT * FROM SpoDocuments;")); // its first row
    }
    QSqlRecord row;
    if (!Database::execQuery(query))
        problems.note(documentPart, query.lastError());
    else if (query.next())
        row = query.record();
    else if (query.lastError().isValid())
        problems.note(documentPart, query.lastError());
    query.finish();
    const bool hasRow = !row.isEmpty();
    if (!hasRow && useData && !problems.any()) {
        VLOG << "loadSpoData: no document" << sqlDocId;
        return;
    }

    auto text = [&](const char* column) { return hasRow ? row.value(QLatin1String(column)).toString() : QString(); };
    auto flag = [&](const char* column) { return hasRow && row.value(QLatin1String(column)).toBool(); };
    auto integer = [&](const char* column) { return hasRow ? row.value(QLatin1String(column)).toInt() : 0; };
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

    // Everything is read before anything is set: a page of which a part could
    // not be read gets none of it, so that no one prints or edits a supplement
    // that looks whole and is not.
    std::vector<QPair<QString, QString>> variables = {
        {QStringLiteral("Last_Name"), text("fio1")},
        {QStringLiteral("First_Name"), text("fio2")},
        {QStringLiteral("Middle_Name"), text("fio3")},
        {QStringLiteral("Full_Name"), fullName},
        {QStringLiteral("Full_Name_short"), fioToShort(fullName)},
        {QStringLiteral("Number"), text("number")},
        {QStringLiteral("reg_Number"), text("regNumber")},
        {QStringLiteral("decision_Date"), dateToText(decisionDate)},
        {QStringLiteral("decision_Date_digit"), formatDate(decisionDate, digits)},
        {QStringLiteral("Issue_Out"), dateToText(issueDate)},
        {QStringLiteral("Issue_Out_digit"), formatDate(issueDate, digits)},
        {QStringLiteral("Issue_Out_year"), formatDate(issueDate, QStringLiteral("yyyy"))},
        {QStringLiteral("birth"), dateToText(birthDate)},
        {QStringLiteral("birth_digit"), formatDate(birthDate, digits)},
        {QStringLiteral("Reg_Number"), text("regNumber")},
        {QStringLiteral("profession_Code"), text("professionCode")},
        {QStringLiteral("profession_Name"), text("professionName")},
        {QStringLiteral("qual"), text("qual")},
        {QStringLiteral("program_Type"),
         integer("programType") < 1 ? QStringLiteral("профессии") : QStringLiteral("специальности")},
        {QStringLiteral("previous_Education"), text("previousEducation")},
        {QStringLiteral("total_Count"), text("totalCount")},
        {QStringLiteral("attestation_Total_Count"), text("attestationTotalCount")},
        {QStringLiteral("practice_Total_Count"), text("practiceTotalCount")},
        {QStringLiteral("comment"), text("comment")},
        {QStringLiteral("text_for_addition"),
         excellent ? QStringLiteral("о среднем профессиональном образовании<br>с отличием")
                   : QStringLiteral("о среднем профессиональном образовании")},
        {QStringLiteral("is_excellent"), excellent ? QStringLiteral("с отличием") : QString()},
        {QStringLiteral("is_duplicate"), flag("isDuplicate") ? QStringLiteral("ДУБЛИКАТ") : QString()},
    };

    const QString boss1 = readVariable(QStringLiteral("Boss_1"), problems);
    const QString boss2 = readVariable(QStringLiteral("Boss_2"), problems);
    const QString city = readVariable(QStringLiteral("City"), problems);
    const QString organisation = readVariable(QStringLiteral("OrgName_1"), problems);
    variables.insert(variables.end(), {{QStringLiteral("Boss1_short"), fioToShort(boss1)},
                                       {QStringLiteral("Boss1"), boss1},
                                       {QStringLiteral("Boss2_short"), fioToShort(boss2)},
                                       {QStringLiteral("Boss2"), boss2},
                                       {QStringLiteral("City"), city},
                                       {QStringLiteral("OrgName"), organisation}});

    const QString detailsView = QStringLiteral("ViewSpoDetails");
    const QString courseworksView = QStringLiteral("ViewSpoCourseworks");
    std::unique_ptr<QSqlQueryModel> details = readView(
        detailsView, QStringLiteral("предметы, модули, практика, аттестация и итоги часов"), sqlDocId, problems);
    std::unique_ptr<QSqlQueryModel> courseworks =
        readView(courseworksView, QStringLiteral("курсовые проекты"), sqlDocId, problems);

    if (problems.any()) {
        page->setDataProblem(problems.text());
        return;
    }
    for (const auto& variable : variables)
        page->setVariable(variable.first, variable.second);
    page->addModel(detailsView, details.release(), true);
    page->addModel(courseworksView, courseworks.release(), true);
}
