#include "DesignerDriver.h"

#include "support/PageMaker.h"
#include "support/TestEnvironment.h"

#include "report/TextField.h"

#include <QGraphicsPixmapItem>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

// The designer's scene and view: sheets and backgrounds, selection, arrow
// moves, zoom limits, field removal and the scene's end.
class TestMyGraphicsScene : public QObject
{
    Q_OBJECT

    static QPixmap image(int w, int h)
    {
        QPixmap pixmap(w, h);
        pixmap.fill(Qt::gray);
        return pixmap;
    }

private slots:
    void initTestCase() { qRegisterMetaType<AbstractField*>(); }

    void sheetsFollowPageCount()
    {
        ReportPage page;
        page.setPagesCount(0);
        page.setBackgroundImage(image(400, 600));
        page.setBackgroundImage2(image(400, 600));
        MyGraphicsScene scene(&page);
        QCOMPARE(scene.sheets().size(), 1);
        const QRectF sheet = scene.sheets().first()->rect();
        QCOMPARE(scene.background()->pixmap().size(), QSize(int(sheet.width()), int(sheet.height())));
        QCOMPARE(scene.background()->opacity(), 0.5);
        QVERIFY(!scene.background2());

        page.setPagesCount(2);
        scene.onPageUpdated();
        QCOMPARE(scene.sheets().size(), 2);
        QCOMPARE(scene.sceneRect().height(), sheet.height() * 2);
        QVERIFY(scene.background2());
        QVERIFY(scene.background2()->pixmap().isNull()); // shown from the next update
        scene.onPageUpdated();
        QVERIFY(!scene.background2()->pixmap().isNull());
        QCOMPARE(scene.sheets().at(1)->pos(), QPointF(0, sheet.height()));

        page.setPagesCount(1);
        scene.onPageUpdated();
        QCOMPARE(scene.sheets().size(), 1);
        QVERIFY(!scene.background2());
    }

    void smallBackgroundKeepsTheOldOne()
    {
        ReportPage page;
        page.setBackgroundImage(image(400, 600));
        MyGraphicsScene scene(&page);
        const qint64 shown = scene.background()->pixmap().cacheKey();
        const QPixmap tiny = image(20, 20); // under 9 mm
        scene.setBackgroundImage(&tiny);
        scene.setBackgroundImage(nullptr);
        QCOMPARE(scene.background()->pixmap().cacheKey(), shown);
    }

    void selectionAndArrowMoves()
    {
        ReportPage page;
        auto* field = PageMaker::field<TextField>(page, QRectF(10, 20, 30, 10), "a");
        MyGraphicsScene scene(&page);
        QSignalSpy shown(&scene, &MyGraphicsScene::selectedFieldChanged);
        scene.onMoveField(Qt::RightArrow); // nothing selected
        QCOMPARE(field->x(), 10.0);
        scene.fieldItems().first()->setSelected(true);
        QCOMPARE(scene.selectedItem(), scene.fieldItems().first());
        for (Qt::ArrowType arrow : {Qt::RightArrow, Qt::RightArrow, Qt::UpArrow, Qt::LeftArrow, Qt::DownArrow, Qt::DownArrow})
            scene.onMoveField(arrow);
        QCOMPARE(QPointF(field->x(), field->y()), QPointF(11, 21));
        QCOMPARE(scene.fieldItems().first()->rect().topLeft(), QPointF(11, 21) * page.dotsPerMm());
        scene.clearSelection();
        QVERIFY(!scene.selectedItem());
        QCOMPARE(shown.count(), 8);
        QCOMPARE(shown.last().first().value<AbstractField*>(), nullptr);
    }

    // A removed field's item leaves the scene's list and selection, and the
    // dock is told that nothing is selected any more.
    void removedItemLeavesTheLists()
    {
        ReportPage page;
        PageMaker::field<TextField>(page, QRectF(10, 20, 30, 10), "a");
        PageMaker::field<TextField>(page, QRectF(10, 50, 30, 10), "b");
        MyGraphicsScene scene(&page);
        FieldGraphicsItem* item = scene.fieldItems().first();
        item->setSelected(true);
        QSignalSpy shown(&scene, &MyGraphicsScene::selectedFieldChanged);
        scene.removeFieldItem(item);
        QCOMPARE(scene.fieldItems().size(), 1);
        QVERIFY(!scene.selectedItem());
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().first().value<AbstractField*>(), nullptr);
        scene.updateAllItems();
        scene.onFieldsUpdated();
    }

    // Destroying a scene with a selected field reports nothing on the way.
    void sceneEndsQuietly()
    {
        ReportPage page;
        PageMaker::field<TextField>(page, QRectF(10, 20, 30, 10), "a");
        auto* scene = new MyGraphicsScene(&page);
        scene->fieldItems().first()->setSelected(true);
        QSignalSpy shown(scene, &MyGraphicsScene::selectedFieldChanged);
        delete scene;
        QCOMPARE(shown.count(), 0);
    }

    void pageViewOwnsSceneAndSizesView()
    {
        ReportPage page;
        auto* field = PageMaker::field<TextField>(page, QRectF(10, 20, 30, 10), "a");
        QPointer<MyGraphicsScene> scene;
        {
            ProjectViewWidget view(&page);
            view.resize(500, 400);
            view.show();
            QCOMPARE(view.graphicsView()->geometry(), QRect(0, 0, 490, 390));
            scene = view.scene();
            auto* second = new TextField;
            page.addField(second);
            view.addField(second);
            QCOMPARE(scene->selectedItems().size(), 1);
            QCOMPARE(scene->selectedItem()->field(), second);
            QCOMPARE(scene->fieldItems().first()->field(), field);
        }
        QVERIFY(scene.isNull());
    }

    void zoomLimits()
    {
        MyGraphicsView view;
        for (int i = 0; i < 12; ++i)
            view.zoom(1.125);
        QVERIFY(qAbs(view.transform().m11() - 2.565784513950348) < 1e-9);
        view.zoom(0.8888888888888888);
        QVERIFY(qAbs(view.transform().m11() - 2.565784513950348 * 0.8888888888888888) < 1e-9);
        view.resetTransform();
        for (int i = 0; i < 12; ++i)
            view.zoom(0.8888888888888888);
        QVERIFY(qAbs(view.transform().m11() - 0.624295076969974) < 1e-9);

        view.resetTransform(); // Ctrl+wheel: no turn zooms out
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 0), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
        QVERIFY(qAbs(view.transform().m11() - 0.8888888888888888) < 1e-9);
    }

    void rightButtonPans()
    {
        ReportPage page;
        DesignerDriver d(&page);
        d.graphics()->zoom(1.125);
        d.graphics()->zoom(1.125);
        QScrollBar* bar = d.graphics()->verticalScrollBar();
        bar->setValue(100);
        d.mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 230), Qt::NoButton, Qt::RightButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 230), Qt::NoButton, Qt::RightButton);
        const double step = 130 * d.graphics()->transform().m11() / 13.0;
        const int expected = int(int(100 - step) - step); // results truncated each time
        QCOMPARE(bar->value(), expected);
        d.mouse(QEvent::MouseButtonRelease, QPoint(100, 230), Qt::RightButton, Qt::NoButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 260), Qt::NoButton, Qt::NoButton);
        QCOMPARE(bar->value(), expected);
    }
};

VELSPO_TEST_MAIN(TestMyGraphicsScene)
#include "tst_mygraphicsscene.moc"
