#pragma once

// What the benchmarks share: timing, the command line and a filled register.

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
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
