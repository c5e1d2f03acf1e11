// Exports a register of 20,000 documents to a workbook, timed next to plain
// libxlsxwriter writing the same cells from the same query in the same run.
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "product/RegisterExport.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr int documents = 20000;
constexpr int runs = 7;

// The least any exporter does: read the rows and hand the same texts, the
// same layout and the same format to libxlsxwriter.
bool plainExport(const QString& path)
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
    while (query.next()) {
        put(1, text(0));
        put(2, text(1) + ' ' + text(2) + ' ' + text(3));
        put(3, text(4) + ' ' + text(5) + ", " + text(6) + ' ' + text(7));
        put(4, text(8));
        put(5, text(9));
        put(6, text(10) + ", " + text(0));
        put(7, text(11) + ", " + text(12));
        ++row;
    }
    return workbook_close(workbook) == LXW_NO_ERROR;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment environment;
    ReportList::registerReports();
    QApplication app(argc, argv);
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("export.xlsx"));
    const QString plain = dir.filePath(QStringLiteral("plain.xlsx"));
    const QList<QPair<QString, QVariant>> noFilter = {{QStringLiteral("fio"), QString()}, {QStringLiteral("prof"), QString()}};

    // Taking turns, so that a passing load on the machine weighs on both alike.
    bool ok = true;
    QVector<double> plainTimes;
    QVector<double> exportTimes;
    for (int i = 0; i < runs; ++i) {
        plainTimes.push_back(timedMs([&] { ok = plainExport(plain) && ok; }));
        exportTimes.push_back(timedMs([&] { ok = RegisterExport::write(ours, noFilter) && ok; }));
    }
    const double plainMs = median(plainTimes);
    const double exportMs = median(exportTimes);
    std::printf("documents exported:               %d (workbook %lld bytes, plain %lld bytes)\n", documents,
                QFile(ours).size(), QFile(plain).size());
    std::printf("plain libxlsxwriter, same cells:  %8.2f ms\n", plainMs);
    std::printf("register export:                  %8.2f ms   ratio %.2f (aim < 1.5)\n", exportMs, exportMs / plainMs);
    return ok ? 0 : 1;
}
