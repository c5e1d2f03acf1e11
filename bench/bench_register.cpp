// Opens the document register over 20,000 documents and changes its filter,
// each timed next to a plain QSqlQuery reading the same view rows.
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "product/DocumentsTable.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int documents = 20000;
constexpr int runs = 7;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianMs(const std::function<void()>& work, int count = runs)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

bool fill()
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO SpoDocuments (isTemplate, isExcellent, fio1, fio2, fio3, issueDate, number, regNumber, "
        "professionName, editDate) "
        "SELECT 0, i % 7 = 0, 'Фамилия' || i, 'Имя' || (i % 50), 'Отчество' || (i % 30), "
        "date('2017-01-01', '+' || (i % 2500) || ' days'), printf('%07d', i), i || '-р', "
        "CASE i % 4 WHEN 0 THEN 'Повар, кондитер' WHEN 1 THEN 'Сварщик (ручной и частично механизированной сварки)' "
        "WHEN 2 THEN 'Программирование в компьютерных системах' ELSE 'Технология продукции общественного питания' END, "
        "'2020-01-01 10:00:00' FROM n;").arg(documents));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

// What any reader of the view has to do at least: run it and take every value.
int plainRead()
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

int visibleRows(const DocumentsTable& table)
{
    int visible = 0;
    for (int row = 0; row < table.tableModel()->rowCount(); ++row)
        visible += table.isRowHidden(row) ? 0 : 1;
    return visible;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment environment;
    ReportList::registerReports();
    QApplication app(argc, argv);
    if (!Database::init(true) || !fill())
        return 1;

    // The baseline and the register take turns, so a passing load on the
    // machine weighs on both alike.
    int rows = 0;
    int loaded = 0;
    std::vector<double> plainTimes;
    std::vector<double> openTimes;
    for (int i = 0; i < runs; ++i) {
        plainTimes.push_back(medianMs([&rows] { rows = plainRead(); }, 1));
        // Opening: the model's select, every row fetched, the view set up and sorted.
        openTimes.push_back(medianMs([&loaded] {
            DocumentsTable table;
            loaded = table.tableModel()->rowCount();
        }, 1));
    }
    const double plainMs = median(plainTimes);
    const double openMs = median(openTimes);

    DocumentsTable table;
    table.resize(1000, 700);
    table.show();
    QCoreApplication::processEvents();

    using FilterList = QList<QPair<QString, QVariant>>;
    const FilterList byName = {{QStringLiteral("fio"), QStringLiteral("фамилия12")}, {QStringLiteral("prof"), QString()}};
    const FilterList byProfession = {{QStringLiteral("fio"), QString()}, {QStringLiteral("prof"), QStringLiteral("повар")}};
    const FilterList byDate = {{QStringLiteral("dateFrom"), QDate(2018, 1, 1)},
                               {QStringLiteral("dateTo"), QDate(2018, 12, 31)},
                               {QStringLiteral("fio"), QString()},
                               {QStringLiteral("prof"), QString()}};
    // The first change after a load also reads the compared columns once.
    table.onFiltersChanged(byDate);
    QCoreApplication::processEvents();

    bool flip = false;
    const double filterMs = medianMs([&] {
        flip = !flip;
        table.onFiltersChanged(flip ? byName : byProfession);
        QCoreApplication::processEvents(); // the deferred row layout and repaint
    }, 2 * runs + 1);
    const double firstFilterMs = medianMs([&] {
        table.updateData(); // a reload drops what the filter had read
        table.onFiltersChanged(byName);
        QCoreApplication::processEvents();
    }, 3);

    std::printf("documents in the view:            %d (plain read %d, register %d, visible after filter %d)\n",
                documents, rows, loaded, visibleRows(table));
    std::printf("plain QSqlQuery over the view:    %8.2f ms\n", plainMs);
    std::printf("open the register, all rows:      %8.2f ms   ratio %.2f (aim < 3)\n", openMs, openMs / plainMs);
    std::printf("one filter change:                %8.2f ms   ratio %.2f (aim < 1)\n", filterMs, filterMs / plainMs);
    std::printf("reload + first filter change:     %8.2f ms   (reload and reading the compared columns)\n", firstFilterMs);
    return (rows == documents && loaded == documents) ? 0 : 1;
}
