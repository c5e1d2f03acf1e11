// The whole road of a print request on a register of the given size, every
// document with a full supplement, through the shipped templates:
//  - the report data of one document (the loader's variables and its two
//    table models), next to reading that document's rows plainly;
//  - a click on Print until the first sheet's preview is up, rendered
//    (template read, data loaded, sheet drawn), for the diploma and the
//    supplement;
//  - opening the designer, which loads the first document as sample data.
// Each figure is the smallest, middle and largest of the runs, each run on
// another document.
//
// Usage: bench_printroad [documents [runs]]   (defaults 100000 and 5)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportEditor.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "report/designer/ReportWindow.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QTimer>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr double aimMs = 50.0;

// Stands in for the user during a print run: notes when the first preview
// shows (it has drawn its sheet by then) and closes every preview and box.
class PrintRunCloser : public QObject
{
public:
    QElapsedTimer clock;
    double firstPreviewMs = -1.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(watched)) {
            if (firstPreviewMs < 0)
                firstPreviewMs = clock.nsecsElapsed() / 1e6;
            QTimer::singleShot(0, preview, &QDialog::reject);
        } else if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            // "Turn the sheet over" and the like: take the default answer.
            QTimer::singleShot(0, box, [box] {
                if (QAbstractButton* button = box->defaultButton())
                    button->click();
                else
                    box->accept();
            });
        }
        return false;
    }
};

bool installTemplates()
{
    const QString target = Database::dataPath() + QStringLiteral("/reports/");
    if (!QDir().mkpath(target))
        return false;
    for (const char* name : {"id120", "id121"}) {
        const QString file = QString::fromLatin1(name) + QStringLiteral(".velrpt");
        if (!QFile::copy(QStringLiteral(VELSPO_SOURCE_DIR "/resources/reports/") + file, target + file))
            return false;
    }
    return true;
}

double printUntilPreview(Engine& engine, ReportList::ReportType type, int spoId)
{
    PrintRunCloser closer;
    qApp->installEventFilter(&closer);
    closer.clock.start();
    engine.onDocumentPrint(type, spoId, false);
    qApp->removeEventFilter(&closer);
    return closer.firstPreviewMs;
}

QPointer<ReportWindow> designerWindow;

double openDesigner(Engine& engine)
{
    QElapsedTimer clock;
    clock.start();
    engine.onGuiEdit(ReportList::SpoAddition);
    QApplication::processEvents();   // its first paint
    const double ms = clock.nsecsElapsed() / 1e6;
    delete designerWindow.data();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    preferOffscreen();
    const int documents = argument(argc, argv, 1, 100000);
    const int runs = argument(argc, argv, 2, 5);
    TestEnvironment environment;
    ReportList::registerReports();
    ReportEditor::setFactory([] { return designerWindow = new ReportWindow(nullptr); });
    QApplication app(argc, argv);
    QElapsedTimer fillTimer;
    fillTimer.start();
    if (!Database::init(true) || !fillDocuments(documents) || !fillSupplementRows() || !installTemplates())
        return 1;
    // The program opens the database afresh at every start: the views and
    // indexes are those it makes then.
    Database::destroy();
    if (!Database::init(true))
        return 1;
    std::printf("%d documents with full supplements, filled in %.1f s; %d runs, each on another document\n",
                documents, fillTimer.elapsed() / 1000.0, runs);

    Engine engine;
    QVector<double> plain, data, diploma, supplement, designer;
    int rows = 0;
    int detailRows = 0;
    for (int i = 0; i < runs; ++i) {
        const int spoId = documents / 2 + 7 * i;
        plain.append(timedMs([&] { rows = plainDocumentRead(spoId); }));
        ReportPage page;
        data.append(timedMs([&] { Engine::loadReportData(ReportList::SpoAddition, &page, spoId, true); }));
        if (QAbstractItemModel* model = page.itemModel(QStringLiteral("ViewSpoDetails")))
            detailRows = model->rowCount();
        diploma.append(printUntilPreview(engine, ReportList::SpoDiploma, spoId + 1));
        supplement.append(printUntilPreview(engine, ReportList::SpoAddition, spoId + 2));
        designer.append(openDesigner(engine));
    }

    std::printf("rows of one document: %d read plainly, %d in its supplement table\n", rows, detailRows);
    std::printf("(smallest / median / largest)\n");
    std::printf("plain read of one document's rows:     %s\n", qPrintable(spread(plain)));
    std::printf("report data of one document:           %s\n", qPrintable(spread(data)));
    std::printf("Print to first preview, diploma:       %s\n", qPrintable(spread(diploma)));
    std::printf("Print to first preview, supplement:    %s\n", qPrintable(spread(supplement)));
    std::printf("open the designer on the supplement:   %s\n", qPrintable(spread(designer)));
    const double dataMs = median(data);
    const bool met = dataMs < aimMs;
    std::printf("aim: report data of one document under %.0f ms at 100,000 documents: %.2f ms, %s "
                "(%.1f times the plain read)\n",
                aimMs, dataMs, met ? "met" : "missed", median(plain) > 0 ? dataMs / median(plain) : 0.0);
    return met ? 0 : 2;
}
