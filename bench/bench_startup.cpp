// Times the start-up road from opening the database until the start-up work of
// the main window is over (the database check's verdict handled), and how long
// the shown window stops answering on the way: the longest gap between the
// ticks of a 10 ms timer from the window's first paint until the verdict.
//
// The ratio compares building the main window with its register and painting
// it to showing an empty main window plus a plain QSqlQuery over the
// register's view, on a database already open for both.
//
// Usage: bench_startup [documents] [subjects per document] [cold]
//        (default 20000 and 0; "cold": the database file is evicted from the
//        page cache before each run with posix_fadvise, as after a reboot)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/spellchecker/SpellChecker.h"
#include "product/DocumentsTable.h"
#include "product/MainWindow.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace BenchSupport;

namespace {

constexpr int runs = 5;

// Notes the first paint of a widget.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void waitForPaint(QWidget* widget)
{
    PaintWatch watch;
    widget->installEventFilter(&watch);
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    widget->removeEventFilter(&watch);
}

// The time of the first paint of anything in a main window of the product.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer& clock) : m_clock(clock) {}
    qint64 at = -1;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (at < 0 && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && qobject_cast<MainWindow*>(widget->window()))
                at = m_clock.elapsed();
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
};

bool fillSubjects(int perDocument)
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, disciplineRate) "
        "SELECT d.spoId, 'Дисциплина учебного плана ' || n.i, 72, 60, 'отлично' FROM SpoDocuments d, n;")
                                   .arg(perDocument));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

// Written pages must reach the disk before the cache can let them go.
bool evictFromPageCache(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

struct Road
{
    double database = 0;   // open with the structure check
    double dictionary = 0; // the Russian dictionary
    double window = 0;     // the main window built, from the start
    double firstPaint = 0; // from the start
    double verdict = 0;    // the start-up work over, from the start
    double longestPause = 0;
};

// One start, as the program makes it, on the event loop until the start-up work is over.
Road runRoad()
{
    Road road;
    QElapsedTimer clock;
    clock.start();
    road.database = timedMs([] { Database::init(true); });
    road.dictionary = timedMs([] { SpellChecker::init(); });

    QVector<qint64> ticks;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks, &clock] { ticks.append(clock.elapsed()); });
    ticker.start(10);
    FirstPaint paint(clock);
    qApp->installEventFilter(&paint);

    auto* mainWindow = new MainWindow;
    road.window = clock.elapsed();
    QEventLoop loop;
    qint64 verdictAt = -1;
    QObject::connect(mainWindow, &VelMainWindow::startupFinished, &loop, [&] {
        verdictAt = clock.elapsed();
        loop.quit();
    });
    if (verdictAt < 0)
        loop.exec();
    ticker.stop();
    qApp->removeEventFilter(&paint);
    road.firstPaint = paint.at;
    road.verdict = verdictAt;

    // From the first paint to the verdict: the gaps between ticks, and the ends.
    qint64 previous = paint.at;
    qint64 longest = 0;
    for (qint64 tick : qAsConst(ticks)) {
        if (tick <= paint.at)
            continue;
        if (tick > verdictAt)
            break;
        longest = qMax(longest, tick - previous);
        previous = tick;
    }
    road.longestPause = qMax(longest, verdictAt - previous);

    delete mainWindow; // ends the database as well
    SpellChecker::destroy();
    return road;
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    const int subjects = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
    const bool cold = argc > 3 && std::strcmp(argv[3], "cold") == 0;
    TestEnvironment environment;
    ReportList::registerReports();
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    // The Russian dictionary where the program looks for it.
    QDir().mkpath(Database::dataPath() + QStringLiteral("/dict"));
    for (const char* suffix : {".aff", ".dic"})
        QFile::copy(QStringLiteral("/usr/share/hunspell/ru_RU") + QLatin1String(suffix),
                    Database::dataPath() + QStringLiteral("/dict/ru_RU") + QLatin1String(suffix));
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents) || (subjects > 0 && !fillSubjects(subjects)))
        return 1;
    // The tips would open a dialog of their own after the first paint.
    Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
    const QString path = Database::databaseFileName();
    Database::destroy();

    QVector<double> baseline, startup, database, dictionary, window, paint, verdict, pause;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        if (!Database::init(true))
            return 1;
        baseline.push_back(timedMs([&rows] {
            QMainWindow empty;
            empty.resize(1000, 700);
            empty.show();
            waitForPaint(&empty);
            rows = plainRead();
        }));
        Database::destroy();

        if (cold && !evictFromPageCache(path)) {
            std::fprintf(stderr, "cannot evict %s from the page cache\n", qPrintable(path));
            return 1;
        }
        const Road road = runRoad();
        startup.push_back(road.firstPaint - road.database - road.dictionary);
        database.push_back(road.database);
        dictionary.push_back(road.dictionary);
        window.push_back(road.window);
        paint.push_back(road.firstPaint);
        verdict.push_back(road.verdict);
        pause.push_back(road.longestPause);
    }

    std::printf("documents %d, subjects each %d, file %.1f MB, %s page cache, %d runs\n", documents, subjects,
                QFileInfo(path).size() / 1048576.0, cold ? "cold" : "warm", runs);
    std::printf("empty main window + plain query:   %9.2f ms (rows %d)\n", median(baseline), rows);
    printRatio("main window to its first paint:", median(startup), median(baseline), "<= 2, warm");
    std::printf("the whole road, min / median / max:\n");
    std::printf("  database open and check:         %s\n", qPrintable(spread(database)));
    std::printf("  Russian dictionary:              %s\n", qPrintable(spread(dictionary)));
    std::printf("  main window built, from start:   %s\n", qPrintable(spread(window)));
    std::printf("  first paint, from start:         %s\n", qPrintable(spread(paint)));
    std::printf("  check's verdict handled:         %s\n", qPrintable(spread(verdict)));
    std::printf("  longest pause of shown window:   %s   (aim <= 300 ms)\n", qPrintable(spread(pause)));
    return rows == documents ? 0 : 1;
}
