#pragma once

// Documents with every kind of detail row written straight into the program's
// database, and counts taken from it, for the register and main window tests.

#include "engine/Database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QtTest>

namespace RegisterFixture {

const QStringList detailTables = {"PracticeDetails", "DisciplineDetails", "CourseworkDetails",
                                  "AttestationDetails", "ModuleDetails", "DMDetails"};

inline bool exec(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning() << "test SQL failed:" << query.lastError().text() << sql;
        return false;
    }
    return true;
}

inline QVariant scalar(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return QVariant();
    return query.value(0);
}

inline int count(const QString& table, int spoId)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE spoId = ?").arg(table), {spoId}).toInt();
}

inline int countAll(const QString& table)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}

// Opens the database of the test's data directory and empties every table.
inline bool openEmpty()
{
    if (!Database::init(true) || !Database::isOpen())
        return false;
    bool ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT);"));
    for (const QString& table : detailTables + QStringList{"SpoDocuments"})
        ok = exec(QStringLiteral("DELETE FROM %1;").arg(table)) && ok;
    exec(QStringLiteral("DROP TRIGGER IF EXISTS failInsert;"));
    exec(QStringLiteral("DROP TRIGGER IF EXISTS failDelete;"));
    return ok;
}

inline int insertDocument(const QString& fio1, const QString& issueDate = QStringLiteral("2020-06-30"),
                          const QString& profession = QStringLiteral("Повар, кондитер"), int isExcellent = 0,
                          const QVariant& isTemplate = 0)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral(
        "INSERT INTO SpoDocuments (isTemplate, isDuplicate, isExcellent, qual, programType, professionCode, "
        "professionName, fio1, fio2, fio3, decisionDate, number, regNumber, issueDate, birthDate, comment, "
        "editDate, totalCount, attestationTotalCount, practiceTotalCount, previousEducation, additionNumber, "
        "serial, additionSerial, deductionDate, deductionNumber) "
        "VALUES (?, 0, ?, 'Техник', 1, '19.02.10', ?, ?, 'Иван', 'Петрович', '2020-06-20', '1234567', '15-р', ?, "
        "'2000-01-02', 'комментарий', '2020-07-01 10:00:00', '4464', '6 нед.', '1080', 'основное общее', "
        "'7654321', '116024', '116025', '2020-07-02', '77-к')"));
    query.addBindValue(isTemplate);
    query.addBindValue(isExcellent);
    query.addBindValue(profession);
    query.addBindValue(fio1);
    query.addBindValue(issueDate);
    if (!query.exec()) {
        qWarning() << query.lastError().text();
        return -1;
    }
    return query.lastInsertId().toInt();
}

// Two practices, three disciplines, one coursework, two attestations and two
// modules with two and one sub-subjects.
inline bool insertDetails(int spoId)
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
        ok = exec("INSERT INTO ModuleDetails (spoId, moduleName, moduleRate, moduleCount, moduleCountAudit, "
                  "moduleExamCount) VALUES (?, ?, 'отлично', 100, 80, 12)",
                  {spoId, QStringLiteral("Модуль %1").arg(m)}) && ok;
        const int moduleId = scalar("SELECT MAX(moduleId) FROM ModuleDetails").toInt();
        for (int d = 1; d <= 3 - m; ++d)
            ok = exec("INSERT INTO DMDetails (spoId, moduleId, dmName, dmRate, dmCount, dmCountAudit) "
                      "VALUES (?, ?, ?, 'хорошо', 44, 34)",
                      {spoId, moduleId, QStringLiteral("МДК %1.%2").arg(m).arg(d)}) && ok;
    }
    return ok;
}

// Many plain documents in one statement; the surnames are "Фамилия<n>".
inline bool insertMany(int documents)
{
    return exec(QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO SpoDocuments (isTemplate, isExcellent, fio1, fio2, fio3, issueDate, number, "
                    "regNumber, professionName, editDate) "
                    "SELECT 0, 0, 'Фамилия' || i, 'Имя', 'Отчество', "
                    "date('2018-01-01', '+' || (i % 1500) || ' days'), printf('%07d', i), i || '-р', "
                    "CASE i % 3 WHEN 0 THEN 'Повар, кондитер' WHEN 1 THEN 'Сварщик' ELSE 'Программист' END, "
                    "'2020-01-01 10:00:00' FROM n;")
                    .arg(documents));
}

} // namespace RegisterFixture
