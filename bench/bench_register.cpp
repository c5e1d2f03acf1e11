// Opens the document register, changes its filter and refreshes it after a
// save with a filter active, each timed next to a plain QSqlQuery reading the
// same view rows.
//
// Usage: bench_register [documents]   (default 20000)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "product/DocumentsTable.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QSqlQuery>
#include <QSqlTableModel>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr int runs = 7;

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
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    TestEnvironment environment;
    ReportList::registerReports();
    BenchSupport::preferOffscreen();
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

    // A save (here: one document's surname) with the name filter active,
    // then the register's refresh as the document form, copy and delete
    // ask for it, up to the repaint.
    table.onFiltersChanged(byName);
    QCoreApplication::processEvents();
    int edit = 0;
    QVector<double> refreshTimes;
    QVector<double> refreshPlainTimes;
    for (int i = 0; i < runs; ++i) {
        QSqlQuery save;
        save.prepare(QStringLiteral("UPDATE SpoDocuments SET fio1 = ? WHERE spoId = ?"));
        save.addBindValue(QStringLiteral("Фамилия12%1").arg(++edit));
        save.addBindValue(1 + (edit * 7919) % documents);
        save.exec();
        refreshPlainTimes.push_back(timedMs([&rows] { rows = plainRead(); }));
        refreshTimes.push_back(timedMs([&table] {
            table.updateData();
            QCoreApplication::processEvents();
        }));
    }
    const double refreshMs = median(refreshTimes);
    const double refreshPlainMs = median(refreshPlainTimes);

    std::printf("documents in the view:             %d (plain read %d, register %d, visible after filter %d)\n",
                documents, rows, loaded, visibleRows(table));
    std::printf("plain QSqlQuery over the view:     %9.2f ms\n", plainMs);
    printRatio("open the register, all rows:", openMs, plainMs, "<= 1.3");
    printRatio("one filter change:", filterMs, plainMs, "<= 0.3");
    printRatio("refresh after a save, filtered:", refreshMs, refreshPlainMs, "<= 2");
    return (rows == documents && loaded == documents) ? 0 : 1;
}
