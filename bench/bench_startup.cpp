// Times the start-up from opening the database until the register of the
// main window is painted, and splits it into its steps. The ratio compares
// building the main window with its register and painting it to showing an
// empty main window plus a plain QSqlQuery over the register's view, on a
// database already open for both; opening the database and loading the
// Russian dictionary, which come before the main window, are shown apart.
//
// Usage: bench_startup [documents]   (default 20000)
#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/spellchecker/SpellChecker.h"
#include "product/DocumentsTable.h"
#include "product/MainWindow.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QSettings>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr int runs = 7;

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

} // namespace

int main(int argc, char** argv)
{
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    TestEnvironment environment;
    ReportList::registerReports();
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    // The Russian dictionary where the program looks for it.
    QDir().mkpath(Database::dataPath() + QStringLiteral("/dict"));
    for (const char* suffix : {".aff", ".dic"})
        QFile::copy(QStringLiteral("/usr/share/hunspell/ru_RU") + QLatin1String(suffix),
                    Database::dataPath() + QStringLiteral("/dict/ru_RU") + QLatin1String(suffix));
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;
    // The tips would open a dialog of their own after the first paint.
    Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
    Database::destroy();

    QVector<double> baseline, startup, total, database, dictionary, window, paint;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        baseline.push_back(timedMs([&rows] {
            QMainWindow empty;
            empty.resize(1000, 700);
            empty.show();
            waitForPaint(&empty);
            rows = plainRead();
        }));

        // Step by step; closing the window afterwards is not part of it.
        MainWindow* mainWindow = nullptr;
        database.push_back(timedMs([] { Database::init(true); }));
        dictionary.push_back(timedMs([] { SpellChecker::init(); }));
        window.push_back(timedMs([&mainWindow] { mainWindow = new MainWindow; }));
        paint.push_back(timedMs([mainWindow] { waitForPaint(mainWindow->documentsRegister()->viewport()); }));
        startup.push_back(window.last() + paint.last());
        total.push_back(database.last() + dictionary.last() + window.last() + paint.last());
        delete mainWindow; // ends the database as well
        SpellChecker::destroy();
    }

    std::printf("documents in the view:             %d (plain read %d)\n", documents, rows);
    std::printf("empty main window + plain query:   %9.2f ms\n", median(baseline));
    printRatio("main window to register painted:", median(startup), median(baseline), "<= 2");
    std::printf("  main window with the register:   %9.2f ms\n", median(window));
    std::printf("  until the register is painted:   %9.2f ms\n", median(paint));
    std::printf("before it, not in the ratio:\n");
    std::printf("  database open and check:         %9.2f ms\n", median(database));
    std::printf("  Russian dictionary:              %9.2f ms\n", median(dictionary));
    std::printf("whole start-up from the database:  %9.2f ms\n", median(total));
    return rows == documents ? 0 : 1;
}
