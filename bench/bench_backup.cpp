// Times "Создать резервную копию" and "Восстановить из резервной копии" on the
// main window's road, with the longest pause of the window's event loop
// while each runs (a 10 ms timer notes the largest gap between its ticks).
// The baseline is what any backup has to do at least: copy the file once and
// let SQLite check every page of the copy, on the window's thread.
//
// Usage: bench_backup [documents] [subjects per document]   (default 100000, 30)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "support/FileChoiceAnswerer.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace BenchSupport;

namespace {

// The largest gap between two ticks of a 10 ms timer while work runs.
class PauseWatch
{
public:
    PauseWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceTick.restart());
        });
        m_timer.start(10);
        m_sinceTick.start();
    }
    qint64 longestMs() const { return std::max(m_longest, m_sinceTick.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

bool fillSubjects(int perDocument)
{
    QSqlQuery query(QSqlDatabase::database());
    const bool ok = query.exec(
        QStringLiteral("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                       "disciplineRate) SELECT d.spoId, 'Дисциплина учебного плана ' || k.i, 36 + k.i, '20,5', "
                       "CASE k.i % 3 WHEN 0 THEN 'отлично' WHEN 1 THEN 'хорошо' ELSE 'удовлетворительно' END "
                       "FROM SpoDocuments d, (WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                       "WHERE i < %1) SELECT i FROM k) k ORDER BY d.spoId, k.i")
            .arg(perDocument));
    if (!ok)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
    return ok;
}

struct Run
{
    double ms = 0;
    qint64 pauseMs = 0;
    bool ok = false;
};

Run timedOnTheWindow(const std::function<bool()>& road)
{
    Run run;
    PauseWatch pauses;
    run.ms = timedMs([&] { run.ok = road(); });
    run.pauseMs = pauses.longestMs();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = argument(argc, argv, 1, 100000);
    const int subjects = argument(argc, argv, 2, 30);
    TestEnvironment environment;
    preferOffscreen();
    QApplication app(argc, argv);
    if (!Database::init(true) || !fillDocuments(documents) || !fillSubjects(subjects))
        return 1;
    Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
    const QString live = Database::databaseFileName();
    const double megabytes = QFileInfo(live).size() / 1048576.0;

    QTemporaryDir folder;
    const QString plain = folder.filePath("plain.db"), backup = folder.filePath("backup.db");
    const double baseline = timedMs([&] {
        QFile::copy(live, plain);
        DatabaseIntegrity::isWhole(plain, DatabaseIntegrity::Depth::Full);
    });
    QFile::remove(plain);

    VelMainWindow window;
    QElapsedTimer settle; // the window's own start-up work comes first
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    ModalAnswerer answerer; // the closing box of each road
    FileChoiceAnswerer files;
    files.answer(backup);
    files.answer(backup);
    const Run saved = timedOnTheWindow([&] { return window.saveDatabaseBackup(); });
    const Run restored = timedOnTheWindow([&] { return window.loadDatabaseBackup(); });
    for (const QString& kept : QDir(Database::dataPath()).entryList({QStringLiteral("VelSpo_*.bak")}, QDir::Files))
        QFile::remove(Database::dataPath() + QLatin1Char('/') + kept);

    std::printf("documents %d, subjects each %d, database %.1f MB\n", documents, subjects, megabytes);
    std::printf("plain copy and check (baseline):   %9.2f ms\n", baseline);
    printRatio("backup, window's road:", saved.ms, baseline, "<= 1.5, progress shown");
    std::printf("  longest pause of the window:     %9lld ms (aim <= 300)\n", static_cast<long long>(saved.pauseMs));
    printRatio("restore, window's road:", restored.ms, baseline, "<= 3, progress shown");
    std::printf("  longest pause of the window:     %9lld ms (aim <= 300)\n", static_cast<long long>(restored.pauseMs));
    std::printf("boxes: %s\n", qPrintable(answerer.texts().join(QStringLiteral(" | ")).replace('\n', ' ')));
    return saved.ok && restored.ok ? 0 : 1;
}
