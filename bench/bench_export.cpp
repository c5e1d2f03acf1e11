// Exports the register to a workbook, timed next to plain libxlsxwriter
// writing the same cells from the same query in the same run. With a filter
// the baseline keeps the same rows with the least work: a case-insensitive
// search of the full name, or a text comparison of the stored dates.
//
// Usage: bench_export [documents] [none|name|date]   (default 20000 none)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "product/RegisterExport.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cstdio>
#include <cstring>

using namespace BenchSupport;

namespace {

constexpr int runs = 7;

enum class Filter { None, Name, Date };

const QString nameFilter = QStringLiteral("фамилия12");
const QDate dateFrom(2018, 1, 1);
const QDate dateTo(2018, 12, 31);

Filter filterArgument(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[2], "name") == 0)
        return Filter::Name;
    if (argc > 2 && std::strcmp(argv[2], "date") == 0)
        return Filter::Date;
    return Filter::None;
}

// What the filter panel sends for the filter.
QList<QPair<QString, QVariant>> filterList(Filter filter)
{
    QList<QPair<QString, QVariant>> list;
    if (filter == Filter::Date)
        list << qMakePair(QStringLiteral("dateFrom"), QVariant(dateFrom)) << qMakePair(QStringLiteral("dateTo"), QVariant(dateTo));
    list << qMakePair(QStringLiteral("fio"), QVariant(filter == Filter::Name ? nameFilter : QString()))
         << qMakePair(QStringLiteral("prof"), QVariant(QString()));
    return list;
}

// The least any exporter does: read the rows and hand the same texts, the
// same layout and the same format to libxlsxwriter.
// The rows written, or -1 when the workbook could not be written.
int plainExport(const QString& path, Filter filter)
{
    lxw_workbook* workbook = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    const QStringList headers = RegisterExport::headers();
    for (int column = 0; column < headers.size(); ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), headers.at(column).toUtf8().constData(), nullptr);
    lxw_format* format = workbook_add_format(workbook);
    format_set_font_size(format, 10);
    format_set_text_wrap(format);
    format_set_align(format, LXW_ALIGN_CENTER);
    format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
    worksheet_set_column(sheet, 0, 0, 4, format);
    for (lxw_col_t column = 1; column < 10; ++column)
        worksheet_set_column(sheet, column, column, 20, format);
    worksheet_set_row(sheet, 0, 70, nullptr);

    QSqlQuery query(QSqlDatabase::database());
    query.setForwardOnly(true);
    query.exec(QStringLiteral("SELECT regNumber, fio1, fio2, fio3, serial, number, additionSerial, additionNumber, "
                              "issueDate, professionName, decisionDate, deductionDate, deductionNumber "
                              "FROM SpoDocuments WHERE isTemplate = 0"));
    lxw_row_t row = 1;
    const auto text = [&query](int column) { return query.value(column).toString(); };
    const auto put = [&](lxw_col_t column, const QString& value) {
        worksheet_write_string(sheet, row, column, value.toUtf8().constData(), format);
    };
    const QString from = dateFrom.toString(Qt::ISODate);
    const QString to = dateTo.toString(Qt::ISODate);
    while (query.next()) {
        const QString fullName = text(1) + ' ' + text(2) + ' ' + text(3);
        const QString issued = text(8);
        if (filter == Filter::Name && !fullName.contains(nameFilter, Qt::CaseInsensitive))
            continue;
        if (filter == Filter::Date && (issued < from || issued > to))
            continue;
        put(1, text(0));
        put(2, fullName);
        put(3, text(4) + ' ' + text(5) + ", " + text(6) + ' ' + text(7));
        put(4, issued);
        put(5, text(9));
        put(6, text(10) + ", " + text(0));
        put(7, text(11) + ", " + text(12));
        ++row;
    }
    return workbook_close(workbook) == LXW_NO_ERROR ? int(row) - 1 : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    const Filter filter = filterArgument(argc, argv);
    TestEnvironment environment;
    ReportList::registerReports();
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("export.xlsx"));
    const QString plain = dir.filePath(QStringLiteral("plain.xlsx"));
    const QList<QPair<QString, QVariant>> filters = filterList(filter);

    // Taking turns, so that a passing load on the machine weighs on both alike.
    bool ok = true;
    int rows = 0;
    QVector<double> plainTimes;
    QVector<double> exportTimes;
    for (int i = 0; i < runs; ++i) {
        plainTimes.push_back(timedMs([&] {
            rows = plainExport(plain, filter);
            ok = rows >= 0 && ok;
        }));
        exportTimes.push_back(timedMs([&] { ok = RegisterExport::write(ours, filters) && ok; }));
    }
    const double plainMs = median(plainTimes);
    const double exportMs = median(exportTimes);
    const char* filterName[] = {"none", "name", "date"};
    std::printf("documents:                        %d, filter %s, %d exported (workbook %lld bytes, plain %lld bytes)\n",
                documents, filterName[int(filter)], rows, QFile(ours).size(), QFile(plain).size());
    std::printf("plain libxlsxwriter, same cells:  %8.2f ms\n", plainMs);
    std::printf("register export:                  %8.2f ms   ratio %.2f (aim < 1.5)\n", exportMs, exportMs / plainMs);
    return ok ? 0 : 1;
}
