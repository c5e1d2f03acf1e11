#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/designer/EditTableFieldDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>

// The table-field dialog: new tables, the round trip of an existing one,
// what OK stores from typed values, and a dialog closed by its title bar.
class TestEditTableFieldDialog : public QObject
{
    Q_OBJECT

    using Dialog = QPointer<EditTableFieldDialog>;

    static QTableWidget* grid(QWidget* d) { return FormWidgets::child<QTableWidget>(d, "table"); }
    static QTableWidget* splits(QWidget* d) { return FormWidgets::child<QTableWidget>(d, "tableSplit"); }
    static QComboBox* align(QWidget* d, int c) { return qobject_cast<QComboBox*>(grid(d)->cellWidget(3, c)); }
    static void ok(QWidget* d) { FormWidgets::button(d, "pushButtonOk")->click(); }

    static TableField* created(EditTableFieldDialog* d)
    {
        TableField* made = nullptr;
        QObject::connect(d, &EditTableFieldDialog::tableFieldCreated, [&](TableField* f) { made = f; });
        ok(d);
        return made;
    }

private slots:
    void initTestCase() { qRegisterMetaType<TableField*>(); }

    void newTableDefaults()
    {
        EditTableFieldDialog d;
        QCOMPARE(grid(&d)->columnCount(), 3);
        QCOMPARE(grid(&d)->item(1, 2)->text(), QString("40"));
        QCOMPARE(align(&d, 0)->currentText(), QString("по умолчанию"));
        QCOMPARE(FormWidgets::button(&d, "pushButtonOk")->text(), QString("Создать"));
        QVERIFY(!grid(&d)->isRowHidden(0) && !grid(&d)->isRowHidden(1));

        FormWidgets::child<QCheckBox>(&d, "autoWidthCheckBox")->setChecked(true);
        FormWidgets::child<QCheckBox>(&d, "headerIsVisibleCheckBox")->setChecked(false);
        QVERIFY(grid(&d)->isRowHidden(0) && grid(&d)->isRowHidden(1));
        QVERIFY(!FormWidgets::child<QDoubleSpinBox>(&d, "headerHeightSpin")->isEnabled());

        auto* count = FormWidgets::child<QSpinBox>(&d, "rowCountSpin");
        count->setValue(5);
        grid(&d)->item(1, 4)->setText("12");
        count->setValue(2);
        count->setValue(5);
        QCOMPARE(grid(&d)->item(1, 4)->text(), QString("40"));
    }

    void storedWidths_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::newRow("comma") << "12,5" << 10.0;
        QTest::newRow("letters") << "abc" << 10.0;
        QTest::newRow("below 2") << "1.5" << 10.0;
        QTest::newRow("exactly 2") << "2" << 2.0;
        QTest::newRow("point") << "25.5" << 25.5;
    }
    void storedWidths()
    {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        Dialog d = new EditTableFieldDialog;
        grid(d)->item(1, 1)->setText(typed);
        FormWidgets::edit(d, "modelNameLineEdit")->setText("  ViewSpoDetails ");
        std::unique_ptr<TableField> table(created(d));
        QVERIFY(table);
        QCOMPARE(table->columnsWidth(), QVector<double>({40, stored, 40}));
        QCOMPARE(table->modelName(), QString("viewspodetails"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
    }

    // Everything the dialog shows comes back unchanged through OK.
    void editRoundTrip()
    {
        TableField table;
        table.setColumnCount(2);
        table.setHeaderNames({"Предмет", "Оценка"});
        table.setColumnsWidth({80.5, 20});
        table.setColumnIds({"$D{m.a}", "$D{m.b}"});
        table.setColumnsAlign({quint8(Qt::AlignHCenter), quint8(Qt::AlignRight)});
        table.setHeaderHeight(12.5);
        table.setRowHeight(6);
        table.setDrawBorders(false);
        table.setHeaderIsVisible(false);
        table.setModelName("m");
        table.setSplitsCount(2);
        table.setMaxSplitHeight({100, 50});
        table.setSplitX({0, 10});
        table.setSplitY({0, 20});
        table.setPrepared(true);

        Dialog d = new EditTableFieldDialog;
        d->setTableField(&table);
        QCOMPARE(FormWidgets::button(d, "pushButtonOk")->text(), QString("Сохранить"));
        QCOMPARE(splits(d)->item(0, 1)->text(), QString("Без переноса"));
        QCOMPARE(splits(d)->item(1, 2)->text(), QString("20.00"));
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        QSignalSpy madeNew(d.data(), &EditTableFieldDialog::tableFieldCreated);
        ok(d);
        QCOMPARE(modified.count(), 1);
        QCOMPARE(madeNew.count(), 0);
        QCOMPARE(table.headerNames(), QVector<QString>({"Предмет", "Оценка"}));
        QCOMPARE(table.columnsWidth(), QVector<double>({80.5, 20}));
        QCOMPARE(table.columnIds(), QVector<QString>({"$D{m.a}", "$D{m.b}"}));
        QCOMPARE(table.columnsAlign(), QVector<quint8>({quint8(Qt::AlignHCenter), quint8(Qt::AlignRight)}));
        QCOMPARE(table.headerHeight(), 12.5);
        QCOMPARE(table.rowHeight(), 6.0);
        QVERIFY(!table.drawBorders() && !table.headerIsVisible());
        QCOMPARE(table.splitsCount(), 2);
        QCOMPARE(table.splitX(), QVector<double>({0, 10}));
        QCOMPARE(table.maxSplitHeight(), QVector<double>({100, 50}));
        QVERIFY(!table.prepared());
    }

    // A hand-made template with fewer entries than columns: the dialog reads
    // no further than they go, and OK keeps what it could not show before.
    void shortColumnArrays()
    {
        TableField table;
        table.setColumnCount(3);
        table.setColumnsWidth({30});
        table.setHeaderNames({"a"});
        table.setModelName("m");
        table.setHeaderHeight(15);
        table.setRowHeight(7);
        table.setSplitsCount(1);
        table.setMaxSplitHeight({90});

        Dialog d = new EditTableFieldDialog;
        d->setTableField(&table);
        ok(d);
        QCOMPARE(table.columnsWidth(), QVector<double>({30, 40, 40}));
        QCOMPARE(table.headerNames(), QVector<QString>({"a", "", ""}));
        QCOMPARE(table.modelName(), QString("m"));
        QCOMPARE(table.headerHeight(), 15.0);
        QCOMPARE(table.rowHeight(), 7.0);
        QCOMPARE(table.maxSplitHeight(), QVector<double>({90}));
        QCOMPARE(table.splitX(), QVector<double>({0}));
    }

    void splitRows()
    {
        Dialog d = new EditTableFieldDialog;
        FormWidgets::button(d, "pushButtonAddSplit")->click();
        FormWidgets::button(d, "pushButtonAddSplit")->click();
        splits(d)->item(0, 1)->setText("Без переноса");
        splits(d)->item(1, 0)->setText("40");
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        splits(d)->setCurrentCell(1, 0);
        d->on_tableSplit_cellClicked(1, 0);
        FormWidgets::button(d, "pushButtonDeleteSplit")->click();
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        std::unique_ptr<TableField> table(created(d));
        QCOMPARE(table->splitsCount(), 1);
        QCOMPARE(table->splitX(), QVector<double>({0}));
        QCOMPARE(table->maxSplitHeight(), QVector<double>({0}));
    }

    // Closed by its title bar (or Escape) the dialog applies nothing and is freed.
    void titleBarCloseFrees()
    {
        TableField table;
        table.setColumnCount(1);
        table.setColumnsWidth({30});
        Dialog d = new EditTableFieldDialog;
        d->setTableField(&table);
        d->show();
        grid(d)->item(1, 0)->setText("55");
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
        QCOMPARE(table.columnsWidth(), QVector<double>({30}));
    }
};

VELSPO_TEST_MAIN(TestEditTableFieldDialog)
#include "tst_edittablefielddialog.moc"
