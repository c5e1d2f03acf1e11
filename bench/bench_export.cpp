// Exports the register to a workbook, timed next to plain libxlsxwriter
// writing the same cells from the same query in the same run. With a filter
// the baseline keeps the same rows with the least work: a case-insensitive
// search of the full name, or a text comparison of the stored dates. Every
// document has every field a real form fills, not only those the workbook
// shows.
//
// The "window" mode exports through the main window's action instead and
// tells how long the whole export took and the longest time the window's
// event loop went without running meanwhile.
//
// Usage: bench_export [documents] [none|name|date|window] [copy.xlsx]   (default 20000 none)
// A third argument keeps a copy of the exported workbook there, to compare.
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/FileChooser.h"
#include "engine/ReportList.h"
#include "product/MainWindow.h"
#include "product/RegisterExport.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <xlsxwriter.h>

#include <cstdio>
#include <cstring>

using namespace BenchSupport;

namespace {

constexpr int runs = 5;

enum class Mode { None, Name, Date, Window };

const QString nameFilter = QStringLiteral("фамилия12");
const QDate dateFrom(2018, 1, 1);
const QDate dateTo(2018, 12, 31);

Mode modeArgument(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[2], "name") == 0)
        return Mode::Name;
    if (argc > 2 && std::strcmp(argv[2], "date") == 0)
        return Mode::Date;
    if (argc > 2 && std::strcmp(argv[2], "window") == 0)
        return Mode::Window;
    return Mode::None;
}

// The fields the register and the workbook do not show, filled as the
// document form fills them.
bool fillTheRestOfTheForm()
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(QStringLiteral(
        "UPDATE SpoDocuments SET isDuplicate = spoId % 13 = 0, qual = CASE spoId % 4 WHEN 0 THEN 'Повар, кондитер' "
        "WHEN 1 THEN 'Сварщик ручной дуговой сварки плавящимся покрытым электродом' WHEN 2 THEN 'Техник-программист' "
        "ELSE 'Техник-технолог' END, programType = 1 + spoId % 2, "
        "professionCode = CASE spoId % 4 WHEN 0 THEN '43.01.09' WHEN 1 THEN '15.01.05' WHEN 2 THEN '09.02.03' "
        "ELSE '19.02.10' END, birthDate = date('1995-01-01', '+' || (spoId % 1800) || ' days'), "
        "comment = CASE spoId % 5 WHEN 0 THEN 'Выдан взамен утраченного,\nзаявление № ' || spoId ELSE '' END, "
        "totalCount = '5940', attestationTotalCount = '6 нед.', practiceTotalCount = '1080', "
        "previousEducation = CASE spoId % 3 WHEN 0 THEN 'среднее общее образование' "
        "ELSE 'основное общее образование' END"));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

// What the filter panel sends for the filter.
QList<QPair<QString, QVariant>> filterList(Mode mode)
{
    QList<QPair<QString, QVariant>> list;
    if (mode == Mode::Date)
        list << qMakePair(QStringLiteral("dateFrom"), QVariant(dateFrom)) << qMakePair(QStringLiteral("dateTo"), QVariant(dateTo));
    list << qMakePair(QStringLiteral("fio"), QVariant(mode == Mode::Name ? nameFilter : QString()))
         << qMakePair(QStringLiteral("prof"), QVariant(QString()));
    return list;
}

// The least any exporter does: read the rows and hand the same texts, the
// same layout and the same format to libxlsxwriter.
// The rows written, or -1 when the workbook could not be written.
int plainExport(const QString& path, Mode mode)
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
        if (mode == Mode::Name && !fullName.contains(nameFilter, Qt::CaseInsensitive))
            continue;
        if (mode == Mode::Date && (issued < from || issued > to))
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

// Takes the file the export would open, instead of opening it.
class Opener : public QObject
{
    Q_OBJECT
public:
    int opened = 0;
public slots:
    void open(const QUrl&) { ++opened; }
};

// The export as the user starts it: through the main window, its file choice
// answered at once. Each run's whole time, and the longest stretch in which
// the window's event loop did not run (a timer ticking every millisecond
// tells), from the action to its return.
int windowRuns(int documents, const QString& path)
{
    Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
    Database::userSettings()->setValue(QStringLiteral("VelSpo/askBeforeExport"), false);
    FileChooser::setHandler([&path](QWidget*, const FileChooser::Request&) { return path; });
    Opener opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");

    MainWindow window;
    // The start-up work reads the settings, the notice switch among them.
    while (!Database::userSettings()->contains(QStringLiteral("VelSpo/last_started_version")))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    QVector<double> totals;
    QVector<double> pauses;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    for (int i = 0; i < runs; ++i) {
        QFile::remove(path);
        longest = 0;
        clock.start();
        lastTick = 0;
        ticks.start();
        window.exportTo();
        const qint64 end = clock.nsecsElapsed();
        ticks.stop();
        longest = std::max(longest, end - lastTick);
        totals.push_back(end / 1e6);
        pauses.push_back(longest / 1e6);
    }
    FileChooser::setHandler({});
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    std::printf("documents:                        %d through the main window, %d of %d runs opened the workbook "
                "(%lld bytes)\n",
                documents, opener.opened, runs, QFile(path).size());
    std::printf("export, action to return:         %s (min / median / max)\n", qPrintable(spread(totals)));
    std::printf("longest pause of the event loop:  %s\n", qPrintable(spread(pauses)));
    return opener.opened == runs ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    const Mode mode = modeArgument(argc, argv);
    TestEnvironment environment;
    ReportList::registerReports();
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents) || !fillTheRestOfTheForm())
        return 1;
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("export.xlsx"));
    const QString plain = dir.filePath(QStringLiteral("plain.xlsx"));
    if (mode == Mode::Window)
        return windowRuns(documents, ours);
    const QList<QPair<QString, QVariant>> filters = filterList(mode);

    // Taking turns, so that a passing load on the machine weighs on both alike.
    bool ok = true;
    int rows = 0;
    QVector<double> plainTimes;
    QVector<double> exportTimes;
    for (int i = 0; i < runs; ++i) {
        plainTimes.push_back(timedMs([&] {
            rows = plainExport(plain, mode);
            ok = rows >= 0 && ok;
        }));
        exportTimes.push_back(timedMs([&] { ok = RegisterExport::write(ours, filters) && ok; }));
    }
    if (argc > 3)
        QFile::copy(ours, QFile::decodeName(argv[3]));
    const char* modeName[] = {"none", "name", "date"};
    std::printf("documents:                        %d, filter %s, %d exported (workbook %lld bytes, plain %lld bytes)\n",
                documents, modeName[int(mode)], rows, QFile(ours).size(), QFile(plain).size());
    std::printf("plain libxlsxwriter, same cells:  %s (min / median / max)\n", qPrintable(spread(plainTimes)));
    std::printf("register export:                  %s   ratio of medians %.2f (aim <= 1.5)\n",
                qPrintable(spread(exportTimes)), median(exportTimes) / median(plainTimes));
    return ok ? 0 : 1;
}

#include "bench_export.moc"
