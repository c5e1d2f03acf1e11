#include "DesignerDriver.h"

#include "support/PageMaker.h"
#include "support/TestEnvironment.h"

#include "report/QrField.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/ReportWindow.h"

#include <QSignalSpy>

// Mouse edits of a field through the page view: moves, edge resizes, column
// boundaries, selection clicks, and tokens dropped from the variable manager.
class TestFieldGraphicsItem : public QObject
{
    Q_OBJECT

    static EditTableFieldDialog* findDialog()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<EditTableFieldDialog*>(w))
                return dialog;
        }
        return nullptr;
    }

private slots:
    void initTestCase() { qRegisterMetaType<AbstractField*>(); }

    void itemFollowsFieldGeometry()
    {
        ReportPage page;
        auto* field = PageMaker::field<TextField>(page, QRectF(20, 30, 60, 10), "a");
        DesignerDriver d(&page);
        QCOMPARE(d.item(0)->rect(), QRectF(20 * d.dpm, 30 * d.dpm, 60 * d.dpm, 10 * d.dpm));
        field->setX(25);
        emit field->fieldChanged();
        QCOMPARE(d.item(0)->rect().left(), 25 * d.dpm);
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
        AbstractField* field = nullptr;
        if (kind == 1)
            field = PageMaker::field<TextField>(page, QRectF(40, 40, 60, 20), "a");
        else if (kind == 3)
            field = PageMaker::field<QrField>(page, QRectF(40, 40, 60, 20), "a");
        else
            field = PageMaker::table(page, 40, 40, "m", {"a", "b"}, {30, 30}, 10, 10);
        field->setWidth(60);
        field->setHeight(20);
        DesignerDriver d(&page);
        d.item(0)->onFieldUpdated();
        d.click(d.at(70, 50)); // selects without moving
        QVERIFY(d.item(0)->isSelected());
        QCOMPARE(field->x(), 40.0);
        QSignalSpy shown(d.scene(), &MyGraphicsScene::selectedFieldChanged);

        d.drag(d.at(from.x(), from.y()), d.at(to.x(), to.y()));
        const double tolerance = 1.0 / d.dpm; // events carry whole pixels
        const double width = expected.width() < 0 ? 5 / d.dpm : expected.width();
        QVERIFY2(qAbs(field->x() - expected.x()) <= tolerance + (expected.width() < 0 ? 5 / d.dpm : 0),
                 qPrintable(QString::number(field->x())));
        QVERIFY2(qAbs(field->y() - expected.y()) <= tolerance, qPrintable(QString::number(field->y())));
        QVERIFY2(qAbs(field->width() - width) <= tolerance, qPrintable(QString::number(field->width())));
        QVERIFY2(qAbs(field->height() - expected.height()) <= tolerance, qPrintable(QString::number(field->height())));
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
        QTest::newRow("variable on text") << 1 << "$V{city}" << 30.0 << true << "$V{city}";
        QTest::newRow("column on text") << 1 << "$D{m.x}" << 30.0 << false << "old";
        QTest::newRow("column on second column") << 2 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on short ids") << 5 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on automatic widths") << 4 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.b}";
        QTest::newRow("variable on table") << 2 << "$V{city}" << 45.0 << false << "$D{m.a}|$D{m.b}";
        QTest::newRow("outside any field") << 1 << "$V{city}" << 150.0 << false << "old";
    }
    void drops()
    {
        QFETCH(int, kind);
        QFETCH(QString, token);
        QFETCH(double, xMm);
        QFETCH(bool, accepted);
        QFETCH(QString, text);
        ReportPage page;
        TextField* textField = nullptr;
        TableField* table = nullptr;
        if (kind == 1)
            textField = PageMaker::field<TextField>(page, QRectF(10, 40, 60, 20), "old");
        else
            table = PageMaker::table(page, 10, 40, "m", {"a", "b"}, {30, 30}, 10, 10);
        if (kind == 4)
            table->setAutoWidth(true);
        if (kind == 5)
            table->setColumnIds({"$D{m.a}"}); // a hand-made template
        DesignerDriver d(&page);
        if (table)
            table->prepare();
        QCOMPARE(d.dropToken(token, d.at(xMm, 45)), accepted);
        QCOMPARE(textField ? textField->text() : QStringList(table->columnIds().toList()).join('|'), text);
    }

    // Every mouse edit and drop marks the template unsaved; a click that
    // only selects does not.
    void editsMarkTemplate_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("edited");
        QTest::newRow("select") << "select" << false;
        QTest::newRow("move") << "move" << true;
        QTest::newRow("resize") << "resize" << true;
        QTest::newRow("edge press") << "edge" << false;
        QTest::newRow("drop on text") << "dropText" << true;
        QTest::newRow("drop on table") << "dropTable" << true;
    }
    void editsMarkTemplate()
    {
        QFETCH(QString, edit);
        QFETCH(bool, edited);
        std::unique_ptr<ReportWindow> window(new ReportWindow);
        QVERIFY(!window->isEdited());
        ReportPage page;
        PageMaker::field<TextField>(page, QRectF(40, 40, 60, 20), "a");
        PageMaker::table(page, 40, 100, "m", {"a", "b"}, {30, 30}, 10, 10);
        DesignerDriver d(&page);
        d.item(1)->field()->prepare();
        if (edit == "select") {
            d.click(d.at(70, 50));
        } else if (edit == "move" || edit == "resize") {
            d.item(0)->setSelected(true);
            d.drag(d.at(edit == "move" ? 70 : 100, 50), d.at(80, 50));
        } else if (edit == "edge") {
            d.click(d.at(100, 50));
        } else if (edit == "dropText") {
            d.dropToken("$V{city}", d.at(50, 50));
        } else {
            d.dropToken("$D{m.x}", d.at(50, 105));
        }
        QCOMPARE(window->isEdited(), edited);
    }

    // A double click opens the table dialog on a table only; its OK marks
    // the template unsaved.
    void doubleClickOpensTableDialog()
    {
        std::unique_ptr<ReportWindow> window(new ReportWindow);
        ReportPage page;
        PageMaker::field<TextField>(page, QRectF(40, 40, 60, 20), "a");
        auto* table = PageMaker::table(page, 40, 100, "m", {"a", "b"}, {30, 30}, 10, 10);
        DesignerDriver d(&page);
        d.click(d.at(50, 50));
        d.mouse(QEvent::MouseButtonDblClick, d.at(50, 50), Qt::LeftButton, Qt::LeftButton);
        d.mouse(QEvent::MouseButtonRelease, d.at(50, 50), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!findDialog());
        d.click(d.at(50, 105));
        d.mouse(QEvent::MouseButtonDblClick, d.at(50, 105), Qt::LeftButton, Qt::LeftButton);
        d.mouse(QEvent::MouseButtonRelease, d.at(50, 105), Qt::LeftButton, Qt::NoButton);
        EditTableFieldDialog* dialog = findDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->tableField(), table);
        QVERIFY(!window->isEdited());
        dialog->on_pushButtonOk_clicked();
        QVERIFY(window->isEdited());
    }

    // A drag from another program carries no item-model data: the token of
    // the drag before it must not reach the field.
    void foreignDragAfterToken()
    {
        ReportPage page;
        auto* field = PageMaker::field<TextField>(page, QRectF(10, 40, 60, 20), "old");
        DesignerDriver d(&page);
        QVERIFY(d.dropToken("$V{city}", d.at(30, 45)));
        field->setText("kept");
        QVERIFY(!d.dropToken("$V{other}", d.at(30, 45), false));
        QCOMPARE(field->text(), QString("kept"));
        QCOMPARE(d.graphics()->dragText(), QString());
    }
};

VELSPO_TEST_MAIN(TestFieldGraphicsItem)
#include "tst_fieldgraphicsitem.moc"
