// Opens the shipped two-sheet supplement template (both background images,
// the subjects table over both sheets and the courseworks table) in the
// designer's page view at zoom 1, filled the way the designer fills it from
// a register of the given size, and times one full repaint of the view and
// one 10 mm drag of a text field at two view sizes (a 1280 x 1024 and a
// 1920 x 1080 screen), next to painting the same background pixmaps alone
// in a plain widget of the same size (which pays the same repaint and flush
// as the view).
//
// Usage: bench_designer [documents [iterations]]   (default 20000 documents, 20 iterations)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

const double aim = 2.0;

void mouse(QWidget* viewport, QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// Paints nothing but the two background pixmaps, where the view shows them.
class BackgroundsWidget : public QWidget
{
public:
    QPixmap first;
    QPixmap second;
    QPointF origin;
    QPointF origin2;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setOpacity(0.5);
        painter.drawPixmap(origin, first);
        painter.drawPixmap(origin2, second);
    }
};

struct Figures
{
    QSize viewport;
    double repaint;
    double drag;
    double backgrounds;
};

// The page view at the size it has in a designer window on the screen.
Figures measure(ReportPage* page, const QSize& size, int iterations)
{
    ProjectViewWidget view(page);
    view.resize(size);
    view.show();
    QApplication::processEvents();
    MyGraphicsView* graphics = view.graphicsView();
    MyGraphicsScene* scene = view.scene();
    QWidget* viewport = graphics->viewport();
    const double dpm = page->dotsPerMm();

    // The name on sheet 0 is dragged 10 mm right and back.
    FieldGraphicsItem* dragged = nullptr;
    for (FieldGraphicsItem* item : scene->fieldItems()) {
        const QPoint centre = graphics->mapFromScene(item->fieldSceneRect().center());
        if (item->fieldType() == AbstractField::TextFieldType && viewport->rect().contains(centre)
            && (!dragged || item->fieldSceneRect().width() > dragged->fieldSceneRect().width()))
            dragged = item;
    }
    if (!dragged) {
        std::fprintf(stderr, "no text field in sight\n");
        std::exit(1);
    }
    dragged->setSelected(true);
    const QPoint grip = graphics->mapFromScene(dragged->fieldSceneRect().center());
    const QPoint moved = grip + QPoint(qRound(10 * dpm), 0);

    BackgroundsWidget plain;
    plain.first = scene->background()->pixmap();
    plain.second = scene->background2()->pixmap();
    plain.origin = graphics->mapFromScene(scene->sheets().at(0)->rect().topLeft());
    plain.origin2 = graphics->mapFromScene(scene->sheets().at(1)->mapToScene(scene->sheets().at(1)->rect().topLeft()));
    plain.resize(viewport->size());
    plain.show();
    QApplication::processEvents();

    QVector<double> repaint;
    QVector<double> drag;
    QVector<double> backgrounds;
    for (int i = 0; i < iterations + 1; ++i) {
        const double r = timedMs([viewport] { viewport->repaint(); });
        const QPoint from = i % 2 ? moved : grip;
        const QPoint to = i % 2 ? grip : moved;
        const double d = timedMs([&] {
            mouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
            mouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            mouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            viewport->repaint();
        });
        const double b = timedMs([&plain] { plain.repaint(); });
        if (i > 0) { // the first round warms the caches and lays the tables out
            repaint.append(r);
            drag.append(d);
            backgrounds.append(b);
        }
    }
    return {viewport->size(), median(repaint), median(drag), median(backgrounds)};
}

} // namespace

int main(int argc, char** argv)
{
    BenchSupport::preferOffscreen();
    TestEnvironment environment;
    ReportList::registerReports();
    QApplication app(argc, argv);
    const int documents = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const int iterations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;

    ReportPage page;
    if (!page.load(QStringLiteral(VELSPO_SOURCE_DIR "/resources/reports/id121.velrpt")) || page.pagesCount() != 2) {
        std::fprintf(stderr, "the supplement template cannot be read\n");
        return 1;
    }
    Engine::loadReportData(ReportList::SpoAddition, &page, 0, false);

    QTextStream out(stdout);
    out << "shipped two-sheet supplement with both tables, " << documents << " documents, zoom 1, "
        << iterations << " iterations\n";
    bool met = true;
    for (const QSize& size : {QSize(1200, 900), QSize(1920, 1080)}) {
        const Figures f = measure(&page, size, iterations);
        const double ratio = f.backgrounds > 0 ? f.repaint / f.backgrounds : 0.0;
        met = met && ratio <= aim;
        out << QStringLiteral("view %1 x %2: repaint %3 ms, backgrounds alone %4 ms, ratio %5 (aim at most %6); "
                              "10 mm drag %7 ms\n")
                   .arg(f.viewport.width())
                   .arg(f.viewport.height())
                   .arg(f.repaint, 0, 'f', 2)
                   .arg(f.backgrounds, 0, 'f', 2)
                   .arg(ratio, 0, 'f', 2)
                   .arg(aim, 0, 'f', 0)
                   .arg(f.drag, 0, 'f', 2);
    }
    return met ? 0 : 2;
}
