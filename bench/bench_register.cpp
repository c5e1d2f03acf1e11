// Opens the document register over 20,000 documents and changes its filter,
// each timed next to a plain QSqlQuery reading the same view rows.
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "product/DocumentsTable.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr int documents = 20000;
constexpr int runs = 7;

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
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;

    // The baseline and the register take turns, so a passing load on the
    // machine weighs on both alike.
    int rows = 0;
    int loaded = 0;
    QVector<double> plainTimes;
    QVector<double> openTimes;
    for (int i = 0; i < runs; ++i) {
        plainTimes.push_back(timedMs([&rows] { rows = plainRead(); }));
        // Opening: the model's select, every row fetched, the view set up and sorted.
        openTimes.push_back(timedMs([&loaded] {
            DocumentsTable table;
            loaded = table.tableModel()->rowCount();
        }));
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
