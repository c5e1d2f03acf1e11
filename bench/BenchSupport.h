#pragma once

// What the benchmarks share: timing, the command line and a filled register.

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace BenchSupport {

inline double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

inline double timedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

inline double medianMs(const std::function<void()>& work, int count)
{
    QVector<double> times;
    for (int i = 0; i < count; ++i)
        times.append(timedMs(work));
    return median(times);
}

// Runs without a display unless the caller chose a platform; call before the
// application object exists.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The first argument, when given, is the number of iterations.
inline int iterations(int argc, char** argv, int fallback)
{
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

// The argument at index (1 is the first), or fallback when not given.
inline int argument(int argc, char** argv, int index, int fallback)
{
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

// What any reader of the register's view has to do at least: run it and
// take every value. Returns the rows read.
inline int plainRead()
{
    QSqlQuery query(QSqlDatabase::database());
    query.setForwardOnly(true);
    query.exec(QStringLiteral("SELECT * FROM ViewSpoDocuments"));
    const int columns = query.record().count();
    int rows = 0;
    while (query.next()) {
        for (int column = 0; column < columns; ++column)
            query.value(column);
        ++rows;
    }
    return rows;
}

// One figure next to its aim: "ratio 1.23 (aim <= 1.3)".
inline void printRatio(const char* what, double ms, double baselineMs, const char* aim)
{
    std::printf("%-34s %9.2f ms   ratio %.2f (aim %s)\n", what, ms, baselineMs > 0 ? ms / baselineMs : 0.0, aim);
}

// Adds count issued documents with every register and export column filled.
inline bool fillDocuments(int count)
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO SpoDocuments (isTemplate, isExcellent, fio1, fio2, fio3, issueDate, decisionDate, serial, number, "
        "additionSerial, additionNumber, regNumber, professionName, deductionDate, deductionNumber, editDate) "
        "SELECT 0, i % 7 = 0, 'Фамилия' || i, 'Имя' || (i % 50), 'Отчество' || (i % 30), "
        "date('2017-01-01', '+' || (i % 2500) || ' days'), date('2017-01-01', '+' || (i % 2400) || ' days'), "
        "'115524', printf('%07d', i), '115525', printf('%07d', i + 1), i || '-р', "
        "CASE i % 4 WHEN 0 THEN 'Повар, кондитер' WHEN 1 THEN 'Сварщик (ручной и частично механизированной сварки)' "
        "WHEN 2 THEN 'Программирование в компьютерных системах' ELSE 'Технология продукции общественного питания' END, "
        "'2020-06-30', (i % 90) || '-к', '2020-01-01 10:00:00' FROM n;").arg(count));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

// Gives every document a full supplement, as a college fills it: 20
// disciplines, 6 modules of 4 sub-subjects each, 3 practices, 2 final
// attestations and 2 courseworks, with their totals; and sets the
// organisation's requisites.
inline bool fillSupplementRows()
{
    const QString numbers = QStringLiteral(
        "(WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1) SELECT i FROM k) k");
    const QStringList statements = {
        QStringLiteral("BEGIN"),
        QStringLiteral("UPDATE SpoDocuments SET practiceTotalCount = '10 нед.', attestationTotalCount = '6 нед.', "
                       "totalCount = '3 года 10 месяцев'"),
        QStringLiteral("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                       "disciplineRate) SELECT d.spoId, 'Дисциплина учебного плана ' || k.i, 36 + k.i, '20,5', "
                       "CASE k.i % 3 WHEN 0 THEN 'отлично' WHEN 1 THEN 'хорошо' ELSE 'удовлетворительно' END "
                       "FROM SpoDocuments d, %1 ORDER BY d.spoId, k.i").arg(numbers.arg(20)),
        QStringLiteral("INSERT INTO ModuleDetails (spoId, moduleName, moduleCount, moduleCountAudit, moduleRate, "
                       "moduleExamCount) SELECT d.spoId, 'ПМ.0' || k.i || ' Профессиональный модуль', 122.5, 96, "
                       "'отлично', '2,5' FROM SpoDocuments d, %1 ORDER BY d.spoId, k.i").arg(numbers.arg(6)),
        QStringLiteral("INSERT INTO DMDetails (spoId, moduleId, dmName, dmCount, dmCountAudit, dmRate) "
                       "SELECT m.spoId, m.moduleId, 'МДК.0' || k.i, 30, 24, 'зачтено' FROM ModuleDetails m, %1 "
                       "ORDER BY m.moduleId, k.i").arg(numbers.arg(4)),
        QStringLiteral("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                       "SELECT d.spoId, 'Производственная практика ' || k.i, 72 * k.i, 'отлично' "
                       "FROM SpoDocuments d, %1 ORDER BY d.spoId, k.i").arg(numbers.arg(3)),
        QStringLiteral("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) "
                       "SELECT d.spoId, CASE k.i WHEN 1 THEN 'Демонстрационный экзамен' ELSE 'Защита дипломного проекта' "
                       "END, 'отлично' FROM SpoDocuments d, %1 ORDER BY d.spoId, k.i").arg(numbers.arg(2)),
        QStringLiteral("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) SELECT d.spoId, 'Курсовая работа ' || k.i, "
                       "'хорошо' FROM SpoDocuments d, %1 ORDER BY d.spoId, k.i").arg(numbers.arg(2)),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Variables (Name TEXT PRIMARY KEY, Value TEXT)"),
        QStringLiteral("INSERT OR REPLACE INTO Variables VALUES ('OrgName_1', 'ГБПОУ \"Колледж № 1\"'), "
                       "('City', 'Москва'), ('Boss_1', 'Сидоров Пётр Ильич'), ('Boss_2', 'Петрова Анна Сергеевна')"),
        QStringLiteral("COMMIT"),
    };
    for (const QString& statement : statements) {
        QSqlQuery query(QSqlDatabase::database());
        if (!query.exec(statement)) {
            std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

// What any reader of one document's report data has to do at least: its
// row and the rows of its six detail tables, every value taken. Returns
// the rows read.
inline int plainDocumentRead(int spoId)
{
    int rows = 0;
    for (const char* table : {"SpoDocuments", "DisciplineDetails", "ModuleDetails", "DMDetails", "PracticeDetails",
                              "AttestationDetails", "CourseworkDetails"}) {
        QSqlQuery query(QSqlDatabase::database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT * FROM %1 WHERE spoId = ?").arg(QLatin1String(table)));
        query.addBindValue(spoId);
        query.exec();
        const int columns = query.record().count();
        while (query.next()) {
            for (int column = 0; column < columns; ++column)
                query.value(column);
            ++rows;
        }
    }
    return rows;
}

// Smallest, middle and largest of a few runs: "12.34 / 12.50 / 13.01 ms".
inline QString spread(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return QStringLiteral("-");
    return QStringLiteral("%1 / %2 / %3 ms")
        .arg(values.first(), 0, 'f', 2)
        .arg(median(values), 0, 'f', 2)
        .arg(values.last(), 0, 'f', 2);
}

} // namespace BenchSupport
