#include "DesignerDriver.h"

#include "support/TestEnvironment.h"

#include <QGraphicsPixmapItem>
#include <QScrollBar>
#include <QWheelEvent>

// The designer's page view: sheets and backgrounds, the scene's end, zoom
// and panning, and mouse edits and token drops on its field items.
class TestMyGraphicsScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<AbstractField*>(); }

    void sheetsFollowPageCount()
    {
        ReportPage page;
        QPixmap image(400, 600), tiny(20, 20); // the tiny one under 9 mm
        image.fill(Qt::gray);
        tiny.fill(Qt::gray);
        page.setPagesCount(0);
        page.setBackgroundImage(image);
        page.setBackgroundImage2(image);
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

        // An image under 9 mm, or none, keeps the one shown.
        const qint64 shown = scene.background()->pixmap().cacheKey();
        scene.setBackgroundImage(&tiny);
        scene.setBackgroundImage(nullptr);
        QCOMPARE(scene.background()->pixmap().cacheKey(), shown);
    }

    // The view owns its scene, which ends without reporting the selection
    // of items it is destroying.
    void pageViewOwnsSceneAndSizesView()
    {
        ReportPage page;
        makeField(page, 1, QRectF(10, 20, 30, 10));
        QPointer<MyGraphicsScene> scene;
        std::unique_ptr<QSignalSpy> shown;
        {
            ProjectViewWidget view(&page);
            view.resize(500, 400);
            view.show();
            QCOMPARE(view.graphicsView()->geometry(), QRect(0, 0, 490, 390));
            scene = view.scene();
            scene->fieldItems().first()->setSelected(true);
            shown.reset(new QSignalSpy(scene, &MyGraphicsScene::selectedFieldChanged));
        }
        QVERIFY(scene.isNull());
        QCOMPARE(shown->count(), 0);
    }

    // Twelve steps either way reach the limits; a Ctrl+wheel without a turn zooms out.
    void zoomLimits()
    {
        MyGraphicsView view;
        const auto scale = [&view] { return view.transform().m11(); };
        for (int i = 0; i < 12; ++i)
            view.zoom(1.125);
        QVERIFY(qAbs(scale() - 2.565784513950348) < 1e-9);
        view.resetTransform();
        for (int i = 0; i < 12; ++i)
            view.zoom(0.8888888888888888);
        QVERIFY(qAbs(scale() - 0.624295076969974) < 1e-9);
        view.resetTransform();
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 0), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
        QVERIFY(qAbs(scale() - 0.8888888888888888) < 1e-9);
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

    void mouseEdits_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QPointF>("from"); // mm
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRectF>("expected"); // mm; a negative width means "5 scene units"

        const QRectF box(40, 40, 60, 20);
        QTest::newRow("text moved 10 mm") << 1 << QPointF(70, 50) << QPointF(80, 55) << box.translated(10, 5);
        QTest::newRow("text right edge") << 1 << QPointF(100, 50) << QPointF(110, 50) << QRectF(40, 40, 70, 20);
        QTest::newRow("text bottom edge") << 1 << QPointF(70, 60) << QPointF(70, 70) << QRectF(40, 40, 60, 30);
        QTest::newRow("text left edge past right") << 1 << QPointF(40, 50) << QPointF(130, 50)
                                                   << QRectF(100, 40, -1, 20);
        QTest::newRow("qr right edge squares") << 3 << QPointF(100, 50) << QPointF(110, 50) << QRectF(40, 40, 70, 70);
        QTest::newRow("qr top edge squares") << 3 << QPointF(70, 40) << QPointF(70, 30) << QRectF(40, 30, 30, 30);
        QTest::newRow("table moved") << 2 << QPointF(45, 45) << QPointF(55, 65) << box.translated(10, 20);
    }
    void mouseEdits()
    {
        QFETCH(int, kind);
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRectF, expected);
        ReportPage page;
        AbstractField* field = makeField(page, kind, QRectF(40, 40, 60, 20));
        field->setWidth(60);
        field->setHeight(20);
        DesignerDriver d(&page);
        d.item(0)->onFieldUpdated();
        d.click(d.at(70, 50)); // selects without moving
        QVERIFY(d.item(0)->isSelected());
        QSignalSpy shown(d.scene(), &MyGraphicsScene::selectedFieldChanged);

        d.drag(d.at(from.x(), from.y()), d.at(to.x(), to.y()));
        const double tolerance = 1.0 / d.dpm; // events carry whole pixels
        const bool flipped = expected.width() < 0;
        const QRectF got(field->x(), field->y(), field->width(), field->height());
        QVERIFY2(qAbs(got.x() - expected.x()) <= tolerance + (flipped ? 5 / d.dpm : 0)
                     && qAbs(got.y() - expected.y()) <= tolerance
                     && qAbs(got.width() - (flipped ? 5 / d.dpm : expected.width())) <= tolerance
                     && qAbs(got.height() - expected.height()) <= tolerance,
                 qPrintable(QString("%1 %2 %3x%4").arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height())));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().value<AbstractField*>(), field);
    }

    // A column boundary dragged left past its neighbour stops at 1 mm; a
    // hand-made table with fewer widths than columns is never read beyond.
    void columnBoundary_data()
    {
        QTest::addColumn<QVector<double>>("widths");
        QTest::addColumn<double>("boundary");
        QTest::addColumn<double>("dragTo");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("narrowed") << QVector<double>{30, 30} << 70.0 << 60.0 << QVector<double>{30, 20};
        QTest::newRow("past its neighbour") << QVector<double>{30, 30} << 70.0 << 20.0 << QVector<double>{30, 1};
        QTest::newRow("short widths") << QVector<double>{30, 20} << 40.0 << 35.0 << QVector<double>{25, 20, 0};
    }
    void columnBoundary()
    {
        QFETCH(QVector<double>, widths);
        QFETCH(double, boundary);
        QFETCH(double, dragTo);
        QFETCH(QVector<double>, expected);
        ReportPage page;
        auto* table = PageMaker::table(page, 10, 40, "m", {"a", "b", "c"}, widths, 10, 10);
        DesignerDriver d(&page);
        const QRectF before = d.item(0)->rect();
        d.item(0)->setSelected(true);
        d.drag(d.at(boundary, 45), d.at(dragTo, 45));
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(qAbs(table->columnWidthAt(i) - expected.at(i)) <= 1.0 / d.dpm,
                     qPrintable(QString::number(table->columnWidthAt(i))));
        QCOMPARE(d.item(0)->rect(), before);
    }

    void drops_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("token");
        QTest::addColumn<double>("xMm");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("text"); // the text, or the column ids joined by "|"
        // Kinds beyond makeField's: 4 and 5 tables, 6 a text field; see the row names.
        QTest::newRow("column on text") << 1 << "$D{m.x}" << 30.0 << false << "t";
        QTest::newRow("column on second column") << 2 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on short ids") << 5 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on automatic widths") << 4 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.b}";
        QTest::newRow("variable on table") << 2 << "$V{city}" << 45.0 << false << "$D{m.a}|$D{m.b}";
        QTest::newRow("outside any field") << 1 << "$V{city}" << 150.0 << false << "t";
        // Plain text from another program after a drop of ours: the old token must not land.
        QTest::newRow("foreign after a token") << 6 << "$V{other}" << 30.0 << false << "t";
    }
    void drops()
    {
        QFETCH(int, kind);
        QFETCH(QString, token);
        QFETCH(double, xMm);
        QFETCH(bool, accepted);
        QFETCH(QString, text);
        ReportPage page;
        AbstractField* field = makeField(page, kind == 6 ? 1 : qMin(kind, 2), QRectF(10, 40, 60, 20));
        auto* textField = qobject_cast<TextField*>(field);
        auto* table = qobject_cast<TableField*>(field);
        if (kind == 4)
            table->setAutoWidth(true);
        if (kind == 5)
            table->setColumnIds({"$D{m.a}"}); // a hand-made template
        DesignerDriver d(&page);
        if (table)
            table->prepare();
        if (kind == 6) {
            QVERIFY(d.dropToken("$V{city}", d.at(xMm, 45)));
            textField->setText("t");
        }
        QCOMPARE(d.dropToken(token, d.at(xMm, 45), kind != 6), accepted);
        QCOMPARE(textField ? textField->text() : QStringList(table->columnIds().toList()).join('|'), text);
    }
};

VELSPO_TEST_MAIN(TestMyGraphicsScene)
#include "tst_mygraphicsscene.moc"
