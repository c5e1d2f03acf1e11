#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/designer/EditTableFieldDialog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
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

    void newTableSwitches()
    {
        EditTableFieldDialog d;
        FormWidgets::child<QCheckBox>(&d, "autoWidthCheckBox")->setChecked(true);
        FormWidgets::child<QCheckBox>(&d, "headerIsVisibleCheckBox")->setChecked(false);
        QVERIFY(grid(&d)->isRowHidden(0) && grid(&d)->isRowHidden(1));
        QVERIFY(!FormWidgets::child<QDoubleSpinBox>(&d, "headerHeightSpin")->isEnabled());
        // Columns taken away and added again start from the default width.
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

    // OK stores what the dialog shows unchanged; a hand-made template with
    // fewer entries than columns is read no further than they go, and OK
    // keeps what the dialog could not show. Closed by its title bar (or
    // Escape) the dialog applies nothing. It is freed either way.
    void okKeepsTheTable_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("byOk");
        const QByteArray full = R"({"columnCount": 2, "headerNames": ["Предмет", "Оценка"], "columnsWidth": [80.5, 20],
            "columnIds": ["$D{m.a}", "$D{m.b}"], "columnsAlign": [4, 2], "headerHeight": 12.5, "rowHeight": 6,
            "mModelName": "m", "splitsCount": 2, "maxSplitHeight": [100, 50], "splitX": [0, 10], "splitY": [0, 20]})";
        QTest::newRow("round trip") << full << full << true;
        QTest::newRow("closed by its title bar") << full << full << false;
        QTest::newRow("short column arrays")
            << QByteArray(R"({"columnCount": 3, "columnsWidth": [30], "headerNames": ["a"], "mModelName": "m",
                "headerHeight": 15, "rowHeight": 7, "splitsCount": 1, "maxSplitHeight": [90]})")
            << QByteArray(R"({"columnCount": 3, "columnsWidth": [30, 40, 40], "headerNames": ["a", "", ""],
                "columnIds": ["", "", ""], "columnsAlign": [0, 0, 0], "mModelName": "m", "headerHeight": 15,
                "rowHeight": 7, "splitsCount": 1, "maxSplitHeight": [90], "splitX": [0], "splitY": [0]})")
            << true;
    }
    void okKeepsTheTable()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, stored);
        QFETCH(bool, byOk);
        TableField table, expected;
        table.readJson(QJsonDocument::fromJson(given).object());
        expected.readJson(QJsonDocument::fromJson(stored).object());
        table.setPrepared(true);

        Dialog d = new EditTableFieldDialog;
        d->setTableField(&table);
        QCOMPARE(FormWidgets::button(d, "pushButtonOk")->text(), QString("Сохранить"));
        QCOMPARE(splits(d)->item(0, 1)->text(), QString("Без переноса"));
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        QSignalSpy madeNew(d.data(), &EditTableFieldDialog::tableFieldCreated);
        if (byOk) {
            ok(d);
        } else {
            d->show();
            grid(d)->item(1, 0)->setText("55");
            d->close();
        }
        QCOMPARE(modified.count(), int(byOk));
        QCOMPARE(madeNew.count(), 0);
        QJsonObject after, want;
        table.writeJson(after);
        expected.writeJson(want);
        QCOMPARE(after, want);
        QCOMPARE(table.prepared(), !byOk);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
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
};

VELSPO_TEST_MAIN(TestEditTableFieldDialog)
#include "tst_edittablefielddialog.moc"
