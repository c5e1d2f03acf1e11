// Opens a two-sheet supplement template with both background images and an
// 80-row subjects table in the designer's page view at zoom 1, and times one
// full repaint of the view and one 10 mm drag of a text field, next to
// painting the same background pixmaps alone: once in a plain widget of the
// view's size (which pays the same repaint and flush as the view), once onto
// an image.
//
// Usage: bench_designer [iterations]   (default 20)

#include "BenchSupport.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QStandardItemModel>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace BenchSupport;

namespace {

const int subjectRows = 80;
const double sheetHeight = 210.0; // landscape A4, mm

// A blank's printed frame and captions, at the size the page scales it to.
QPixmap blankImage(const QSize& size, int sheet)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(250, 246, 232));
    QPainter painter(&image);
    painter.setPen(QPen(QColor(120, 90, 60), 2));
    painter.drawRect(image.rect().adjusted(20, 20, -20, -20));
    painter.setPen(QPen(QColor(140, 110, 80), 1));
    for (int y = 60; y < size.height() - 40; y += 17)
        painter.drawLine(40, y, size.width() / 2 - 20, y);
    painter.drawLine(size.width() / 2, 30, size.width() / 2, size.height() - 30);
    painter.setFont(QFont(QStringLiteral("Sans"), 9));
    for (int i = 0; i < 12; ++i)
        painter.drawText(size.width() / 2 + 30, 50 + i * 45, QStringLiteral("Графа %1 листа %2").arg(i + 1).arg(sheet + 1));
    return QPixmap::fromImage(image);
}

void addText(ReportPage& page, double x, double y, const QString& text)
{
    auto* field = new TextField;
    field->setX(x);
    field->setY(y);
    field->setWidth(120);
    field->setHeight(8);
    field->setText(text);
    page.addField(field);
}

void buildTemplate(ReportPage& page, QStandardItemModel& model)
{
    page.setPagesCount(2);
    page.setDataMode(true);
    const QSize paper = page.printer()->pageLayout().fullRectPixels(page.printer()->resolution()).size();
    page.setBackgroundImage(blankImage(paper, 0));
    page.setBackgroundImage2(blankImage(paper, 1));
    const QStringList tokens = {"$V{last_name}", "$V{first_name}", "$V{birth}", "$V{qual}", "$V{city}",
                                "$V{reg_number}", "$V{issue_out}", "$V{orgname}"};
    for (int i = 0; i < tokens.size(); ++i) {
        addText(page, 160, 20 + i * 12, tokens.at(i));
        addText(page, 160, sheetHeight + 20 + i * 12, tokens.at(i));
    }
    page.setVariable("last_name", QStringLiteral("Иванова"));
    page.setVariable("first_name", QStringLiteral("Мария Петровна"));
    page.setVariable("city", QStringLiteral("Москва"));

    model.setColumnCount(3);
    model.setRowCount(subjectRows);
    model.setHorizontalHeaderLabels({"col1", "col2", "col3"});
    for (int r = 0; r < subjectRows; ++r) {
        model.setItem(r, 0, new QStandardItem(QStringLiteral("Дисциплина учебного плана номер %1").arg(r + 1)));
        model.setItem(r, 1, new QStandardItem(QString::number(36 + r % 5 * 18)));
        model.setItem(r, 2, new QStandardItem(QStringLiteral("хорошо")));
    }
    auto* table = new TableField;
    table->setX(15);
    table->setY(35);
    table->setWidth(135);
    table->setHeight(150);
    table->setColumnCount(3);
    table->setColumnsWidth({90, 18, 27});
    table->setHeaderNames({QStringLiteral("Наименование"), QStringLiteral("Часы"), QStringLiteral("Оценка")});
    table->setColumnIds({"$D{subjects.col1}", "$D{subjects.col2}", "$D{subjects.col3}"});
    table->setColumnsAlign({0, 0, 0});
    table->setHeaderHeight(8);
    table->setRowHeight(4.5);
    table->setWordWrap(true);
    table->setSplitsCount(2);
    table->setMaxSplitHeight({150, 190});
    table->setSplitX({15, 155});
    table->setSplitY({sheetHeight + 12, sheetHeight + 12});
    page.addField(table);
    page.addModel(QStringLiteral("subjects"), &model, false);
    table->setModelName(QStringLiteral("subjects"));
}

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

} // namespace

int main(int argc, char** argv)
{
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    const int iterations = BenchSupport::iterations(argc, argv, 20);

    ReportPage page;
    QStandardItemModel model;
    buildTemplate(page, model);
    ProjectViewWidget view(&page);
    view.resize(1200, 900);
    view.show();
    QApplication::processEvents();
    MyGraphicsView* graphics = view.graphicsView();
    MyGraphicsScene* scene = view.scene();
    QWidget* viewport = graphics->viewport();
    const double dpm = page.dotsPerMm();

    // The text field at the top right of sheet 0, dragged 10 mm right and back.
    FieldGraphicsItem* dragged = scene->fieldItems().first();
    dragged->setSelected(true);
    const QPoint grip = graphics->mapFromScene(dragged->rect().center());
    const QPoint moved = grip + QPoint(qRound(10 * dpm), 0);

    // The baseline: the scaled background pixmaps the scene shows, painted
    // at half opacity where the view shows them.
    const QPixmap background = scene->background()->pixmap();
    const QPixmap background2 = scene->background2()->pixmap();
    const QPointF origin = graphics->mapFromScene(scene->sheets().at(0)->rect().topLeft());
    const QPointF origin2 = graphics->mapFromScene(scene->sheets().at(1)->mapToScene(0, 0));
    QImage target(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    BackgroundsWidget plain;
    plain.first = background;
    plain.second = background2;
    plain.origin = origin;
    plain.origin2 = origin2;
    plain.resize(viewport->size());
    plain.show();
    QApplication::processEvents();

    QVector<double> repaint;
    QVector<double> drag;
    QVector<double> baseline;
    QVector<double> widgetBaseline;
    for (int i = 0; i < iterations + 1; ++i) {
        QElapsedTimer timer;
        timer.start();
        viewport->repaint();
        const double r = timer.nsecsElapsed() / 1e6;

        const QPoint from = i % 2 ? moved : grip;
        const QPoint to = i % 2 ? grip : moved;
        timer.restart();
        mouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        viewport->repaint();
        const double d = timer.nsecsElapsed() / 1e6;

        timer.restart();
        {
            target.fill(Qt::transparent);
            QPainter painter(&target);
            painter.setOpacity(0.5);
            painter.drawPixmap(origin, background);
            painter.drawPixmap(origin2, background2);
        }
        const double b = timer.nsecsElapsed() / 1e6;

        timer.restart();
        plain.repaint();
        const double w = timer.nsecsElapsed() / 1e6;
        if (i > 0) { // the first round warms the caches and lays the table out
            repaint.append(r);
            drag.append(d);
            baseline.append(b);
            widgetBaseline.append(w);
        }
    }

    const auto* table = static_cast<const TableField*>(scene->fieldItems().last()->field());
    if (table->rowCount() != subjectRows || table->overflow()) {
        std::fprintf(stderr, "the table does not show its %d rows\n", subjectRows);
        return 1;
    }

    QTextStream out(stdout);
    const double r = median(repaint);
    const double d = median(drag);
    const double b = median(baseline);
    const double w = median(widgetBaseline);
    out << "two-sheet supplement, " << subjectRows << " subject rows, view " << viewport->width() << " x "
        << viewport->height() << " at zoom 1, " << iterations << " iterations\n";
    out << QStringLiteral("repaint %1 ms, 10 mm drag %2 ms; backgrounds alone: in a widget %3 ms, "
                          "onto an image %4 ms\n")
               .arg(r, 0, 'f', 2)
               .arg(d, 0, 'f', 2)
               .arg(w, 0, 'f', 2)
               .arg(b, 0, 'f', 2);
    out << QStringLiteral("ratio to the widget: repaint %1, drag %2; to the image: repaint %3, drag %4\n")
               .arg(w > 0 ? r / w : 0.0, 0, 'f', 2)
               .arg(w > 0 ? d / w : 0.0, 0, 'f', 2)
               .arg(b > 0 ? r / b : 0.0, 0, 'f', 2)
               .arg(b > 0 ? d / b : 0.0, 0, 'f', 2);
    return 0;
}
