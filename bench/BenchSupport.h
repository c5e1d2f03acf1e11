#pragma once

// What the benchmarks share: timing, the command line and a filled register.

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
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

} // namespace BenchSupport
