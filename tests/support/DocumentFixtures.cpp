#include "support/DocumentFixtures.h"

#include "engine/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace DocumentFixtures {

namespace {

bool run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    bool ok = values.isEmpty() ? query.exec(sql) : query.prepare(sql);
    if (ok && !values.isEmpty()) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok)
        qWarning() << "test SQL failed:" << query.lastError().text() << sql;
    return ok;
}

} // namespace

const QStringList& detailTables()
{
    static const QStringList names = {"PracticeDetails",    "DisciplineDetails", "CourseworkDetails",
                                      "AttestationDetails", "ModuleDetails",     "DMDetails"};
    return names;
}

const QStringList& documentTables()
{
    static const QStringList names = QStringList{"SpoDocuments"} + detailTables();
    return names;
}

void resetDataDir()
{
    Database::destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir dir(Database::dataPath()); // links inside go, not what they point to
    dir.removeRecursively();
    dir.mkpath(QStringLiteral("."));
}

bool openEmpty()
{
    if (!Database::init(true) || !Database::isOpen())
        return false;
    // The triggers first: one a test left may refuse the deletes.
    bool ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT)"));
    for (const QString& name : rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
        ok = exec(QStringLiteral("DROP TRIGGER \"%1\"").arg(name)) && ok;
    for (const QString& table : documentTables() + QStringList{"Variables"})
        ok = exec(QStringLiteral("DELETE FROM %1").arg(table)) && ok;
    return ok;
}

void clearUserReports()
{
    QDir(Database::dataPath() + QStringLiteral("/reports")).removeRecursively();
}

bool exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(QSqlDatabase::database());
    return run(query, sql, values);
}

QVariant scalar(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(QSqlDatabase::database());
    if (!run(query, sql, values) || !query.next())
        return QVariant();
    return query.value(0);
}

QStringList rows(const QString& sql, const QVariantList& values)
{
    QStringList result;
    QSqlQuery query(QSqlDatabase::database());
    if (!run(query, sql, values))
        return result;
    const int columns = query.record().count();
    while (query.next()) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells.append(query.value(c).toString());
        result.append(cells.join(QLatin1Char('|')));
    }
    return result;
}

int count(const QString& table, const QString& where, const QVariantList& values)
{
    const QString condition = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where;
    return scalar(QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(table, condition), values).toInt();
}

int detailCount(const QString& table, int spoId)
{
    return count(table, QStringLiteral("spoId = ?"), {spoId});
}

QVariant column(int spoId, const QString& name)
{
    return scalar(QStringLiteral("SELECT %1 FROM SpoDocuments WHERE spoId = ?").arg(name), {spoId});
}

int insertRow(const QString& table, const QVariantMap& columns)
{
    const QString sql = columns.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(table, columns.keys().join(','), QStringLiteral(",?").repeated(columns.size()).mid(1));
    QSqlQuery query(QSqlDatabase::database());
    return run(query, sql, columns.values()) ? query.lastInsertId().toInt() : -1;
}

int insertDocument(const QVariantMap& columns)
{
    return insertRow(QStringLiteral("SpoDocuments"), columns);
}

QVariantMap fullDocument()
{
    return {{"isTemplate", 0}, {"isDuplicate", 1}, {"isExcellent", 1}, {"qual", "Техник-программист"}, {"programType", 1},
            {"professionCode", "09.02.03"}, {"professionName", "Программирование в компьютерных системах"},
            {"fio1", "Иванова"}, {"fio2", "Мария"}, {"fio3", "Петровна"}, {"decisionDate", "2015-06-05"},
            {"number", "1234567"}, {"regNumber", "42-р"}, {"issueDate", "2014-12-12"}, {"birthDate", "1996-01-09"},
            {"comment", "с\nпереносом 'и' кавычками"}, {"editDate", "2015-06-06 10:11:12"}, {"totalCount", "5940"},
            {"attestationTotalCount", "6 нед."}, {"practiceTotalCount", "1080"},
            {"previousEducation", "основное общее образование"}, {"additionNumber", "7654321"}, {"serial", "115524"},
            {"additionSerial", "115525"}, {"deductionDate", "2015-06-30"}, {"deductionNumber", "12-к"}};
}

bool insertDetails(int spoId)
{
    bool ok = true;
    for (int i = 1; i <= 2; ++i)
        ok = exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) VALUES (?, ?, ?, ?)",
                  {spoId, QStringLiteral("Практика %1").arg(i), 36 * i, "отлично"}) && ok;
    for (int i = 1; i <= 3; ++i)
        ok = exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                  "disciplineRate) VALUES (?, ?, ?, ?, ?)",
                  {spoId, QStringLiteral("Дисциплина %1").arg(i), "36,5", 30, "хорошо"}) && ok;
    ok = exec("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES (?, 'Курсовая', 'отлично')", {spoId}) && ok;
    for (int i = 1; i <= 2; ++i)
        ok = exec("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) VALUES (?, ?, 'зачтено')",
                  {spoId, QStringLiteral("Экзамен %1").arg(i)}) && ok;
    for (int m = 1; m <= 2; ++m) {
        const int moduleId = insertRow(QStringLiteral("ModuleDetails"),
                                       {{"spoId", spoId}, {"moduleName", QStringLiteral("Модуль %1").arg(m)},
                                        {"moduleRate", "отлично"}, {"moduleCount", 100},
                                        {"moduleCountAudit", 80}, {"moduleExamCount", 12}});
        ok = moduleId > 0 && ok;
        for (int d = 1; d <= 3 - m; ++d)
            ok = exec("INSERT INTO DMDetails (spoId, moduleId, dmName, dmRate, dmCount, dmCountAudit) "
                      "VALUES (?, ?, ?, 'хорошо', 44, 34)",
                      {spoId, moduleId, QStringLiteral("МДК %1.%2").arg(m).arg(d)}) && ok;
    }
    return ok;
}

bool insertDisciplines(int spoId, int n)
{
    return exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                               "INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, "
                               "disciplineCountAudit, disciplineRate) "
                               "SELECT %1, 'Дисциплина ' || i, 36, 30, 'отлично' FROM n").arg(spoId).arg(n));
}

bool insertMany(int n)
{
    return exec(QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO SpoDocuments (isTemplate, isExcellent, fio1, fio2, fio3, issueDate, number, "
                    "regNumber, professionName, editDate) "
                    "SELECT 0, 0, 'Фамилия' || i, 'Имя', 'Отчество', "
                    "date('2018-01-01', '+' || (i % 1500) || ' days'), printf('%07d', i), i || '-р', "
                    "CASE i % 3 WHEN 0 THEN 'Повар, кондитер' WHEN 1 THEN 'Сварщик' ELSE 'Программист' END, "
                    "'2020-01-01 10:00:00' FROM n").arg(n));
}

void setRequisites()
{
    QVERIFY(Database::setVariable(QStringLiteral("OrgName_1"), QStringLiteral("ГБПОУ \"Колледж № 1\"")));
    QVERIFY(Database::setVariable(QStringLiteral("City"), QStringLiteral("Москва")));
    QVERIFY(Database::setVariable(QStringLiteral("Boss_1"), QStringLiteral("Сидоров  Пётр   Ильич")));
    QVERIFY(Database::setVariable(QStringLiteral("Boss_2"), QStringLiteral("О'Нил Анна")));
}

bool damageTable(const QString& table, DamagedLeaf leaf)
{
    const QString fileName = Database::databaseFileName();
    Database::destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<int> pages;
    QString firstPath;
    int firstPage = 0;
    int pageSize = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(fileName);
        if (db.open()) {
            QSqlQuery query(db);
            if (run(query, QStringLiteral("PRAGMA page_size"), {}) && query.next())
                pageSize = query.value(0).toInt();
            // The path gives the tree's order: the smallest one is the first leaf a scan reads.
            if (query.prepare(QStringLiteral("SELECT pageno, path FROM dbstat WHERE name = ? AND pagetype = 'leaf' "
                                             "ORDER BY pageno"))) {
                query.addBindValue(table);
                if (query.exec())
                    while (query.next()) {
                        pages << query.value(0).toInt();
                        if (firstPath.isEmpty() || query.value(1).toString() < firstPath) {
                            firstPath = query.value(1).toString();
                            firstPage = pages.last();
                        }
                    }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
    if (pages.isEmpty() || pageSize <= 0) {
        qWarning() << "no data page of" << table << "to damage";
        return false;
    }
    QFile file(fileName);
    const int page = leaf == DamagedLeaf::First ? firstPage : pages.at(pages.size() / 2);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(qint64(page - 1) * pageSize))
        return false;
    return file.write(QByteArray(pageSize, '\x5a')) == pageSize;
}

} // namespace DocumentFixtures
