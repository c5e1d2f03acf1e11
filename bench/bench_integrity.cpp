// Times SQLite's check of the database, which the main window runs shortly
// after it shows itself (quick check) and backup and restore run on their
// copies (full check), next to reading the whole file once, which any check
// of every page has to do at least.
//
// Usage: bench_integrity [documents] [disciplines per document]
//        (default 20000 and 30: a supplement's subjects)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr int runs = 5;

bool fillDisciplines(int perDocument)
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, disciplineRate) "
        "SELECT d.spoId, 'Дисциплина ' || n.i, 72, 60, 'отлично' FROM SpoDocuments d, n;").arg(perDocument));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

qint64 readWholeFile(const QString& path)
{
    QFile file(path);
    qint64 total = 0;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            total += file.read(1 << 20).size();
    }
    return total;
}

void printRow(const char* what, const QVector<double>& times, double baselineMs, const char* aim)
{
    const auto [low, high] = std::minmax_element(times.cbegin(), times.cend());
    std::printf("%-30s min %8.1f  median %8.1f  max %8.1f ms   ratio %.2f", what, *low, median(times), *high,
                baselineMs > 0 ? median(times) / baselineMs : 0.0);
    std::printf(aim ? "   (aim %s)\n" : "\n", aim);
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = argument(argc, argv, 1, 20000);
    const int disciplines = argc > 2 ? std::max(0, std::atoi(argv[2])) : 30;
    TestEnvironment environment;
    preferOffscreen();
    QApplication app(argc, argv);
    if (!Database::init(true) || !fillDocuments(documents) || (disciplines > 0 && !fillDisciplines(disciplines)))
        return 1;
    const QString path = Database::databaseFileName();
    Database::destroy();

    QVector<double> read, quick, full;
    bool whole = true;
    for (int i = 0; i < runs; ++i) {
        read.push_back(timedMs([&path] { readWholeFile(path); }));
        quick.push_back(timedMs([&] { whole = DatabaseIntegrity::isWhole(path, DatabaseIntegrity::Depth::Quick) && whole; }));
        full.push_back(timedMs([&] { whole = DatabaseIntegrity::isWhole(path, DatabaseIntegrity::Depth::Full) && whole; }));
    }
    std::printf("documents %d, disciplines each %d, file %.1f MB, %d runs\n", documents, disciplines,
                QFileInfo(path).size() / 1048576.0, runs);
    printRow("read the file (baseline):", read, median(read), nullptr);
    printRow("quick check at start:", quick, median(read), "<= 300 ms before the window, else after it");
    printRow("full check (backup, restore):", full, median(read), nullptr);
    return whole ? 0 : 1;
}
