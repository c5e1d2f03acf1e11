#pragma once

#include "engine/Database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantMap>
#include <QtTest>

// Documents, details and requisites written straight into the program's
// database, the way the document form would have stored them.
namespace SpoDocumentFixture {

inline bool exec(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database());
    if (query.exec(sql))
        return true;
    qWarning() << query.lastError().text() << sql;
    return false;
}

// Opens the database of the test's data directory and empties every table.
inline bool openEmpty()
{
    if (!Database::init(true))
        return false;
    bool ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT);"));
    for (const char* table : {"SpoDocuments", "DisciplineDetails", "PracticeDetails", "CourseworkDetails",
                              "AttestationDetails", "ModuleDetails", "DMDetails", "Variables"})
        ok = exec(QStringLiteral("DELETE FROM %1;").arg(QLatin1String(table))) && ok;
    return ok;
}

// Inserts one SpoDocuments row with the given columns; returns its spoId or -1.
inline int insertDocument(const QVariantMap& columns)
{
    QStringList names;
    QStringList holders;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        names.append(it.key());
        holders.append(QStringLiteral("?"));
    }
    QSqlQuery query(QSqlDatabase::database());
    const QString sql = names.isEmpty()
        ? QStringLiteral("INSERT INTO SpoDocuments DEFAULT VALUES;")
        : QStringLiteral("INSERT INTO SpoDocuments (%1) VALUES (%2);").arg(names.join(','), holders.join(','));
    if (!query.prepare(sql))
        return -1;
    for (const QVariant& value : columns)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning() << query.lastError().text() << sql;
        return -1;
    }
    return query.lastInsertId().toInt();
}

// A complete document as the form stores it.
inline QVariantMap fullDocument()
{
    return {
        {"isTemplate", 0},
        {"isDuplicate", 1},
        {"isExcellent", 1},
        {"qual", QStringLiteral("Техник-программист")},
        {"programType", 1},
        {"professionCode", QStringLiteral("09.02.03")},
        {"professionName", QStringLiteral("Программирование в компьютерных системах")},
        {"fio1", QStringLiteral("Иванова")},
        {"fio2", QStringLiteral("Мария")},
        {"fio3", QStringLiteral("Петровна")},
        {"decisionDate", QStringLiteral("2015-06-05")},
        {"number", QStringLiteral("1234567")},
        {"regNumber", QStringLiteral("42-р")},
        {"issueDate", QStringLiteral("2014-12-12")},
        {"birthDate", QStringLiteral("1996-01-09")},
        {"comment", QStringLiteral("с\nпереносом 'и' кавычками")},
        {"editDate", QStringLiteral("2015-06-06 10:11:12")},
        {"totalCount", QStringLiteral("5940")},
        {"attestationTotalCount", QStringLiteral("6 нед.")},
        {"practiceTotalCount", QStringLiteral("1080")},
        {"previousEducation", QStringLiteral("основное общее образование")},
        {"additionNumber", QStringLiteral("7654321")},
        {"serial", QStringLiteral("115524")},
        {"additionSerial", QStringLiteral("115525")},
        {"deductionDate", QStringLiteral("2015-06-30")},
        {"deductionNumber", QStringLiteral("12-к")},
    };
}

inline void setRequisites()
{
    Database::setVariable(QStringLiteral("OrgName_1"), QStringLiteral("ГБПОУ \"Колледж № 1\""));
    Database::setVariable(QStringLiteral("City"), QStringLiteral("Москва"));
    Database::setVariable(QStringLiteral("Boss_1"), QStringLiteral("Сидоров  Пётр   Ильич"));
    Database::setVariable(QStringLiteral("Boss_2"), QStringLiteral("О'Нил Анна"));
}

// count disciplines with distinct names, so none collapses in the view's UNION.
inline bool insertDisciplines(int spoId, int count)
{
    return exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                               "INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, "
                               "disciplineCountAudit, disciplineRate) "
                               "SELECT %1, 'Дисциплина ' || i, 36, 30, 'отлично' FROM n;")
                    .arg(spoId)
                    .arg(count));
}

} // namespace SpoDocumentFixture
