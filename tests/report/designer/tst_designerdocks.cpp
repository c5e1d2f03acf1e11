#include "DesignerDriver.h"

#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/StructureDockWidget.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSpinBox>
#include <QTableWidget>

using Row = StructureDockWidget::FieldRow;

namespace {

QString cell(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

// One letter per field-table row: its number in hex when shown, "." when hidden.
QString shownRows(const QTableWidget* table)
{
    QString rows;
    for (int row = 0; row < table->rowCount(); ++row)
        rows += table->isRowHidden(row) ? QChar('.') : QString::number(row, 16).at(0);
    return rows;
}

// The first shown label that does not fit its column.
QString cutLabel(const QTableWidget* table)
{
    const QFontMetrics metrics(table->font());
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString label = cell(table, row, 0);
        if (!table->isRowHidden(row) && metrics.horizontalAdvance(label) >= table->columnWidth(0))
            return label;
    }
    return QString();
}

} // namespace

// The properties dock writing the page and the selected field, the table
// dialog (a new table, what OK stores for an existing one, a dialog closed
// by its title bar), and the variable manager's list of tokens.
class TestDesignerDocks : public QObject
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
    void initTestCase()
    {
        qRegisterMetaType<AbstractField*>();
        qRegisterMetaType<TableField*>();
    }

    void rowsShownByKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("rows");
        QTest::newRow("text") << 1 << "012345678..bcd";
        QTest::newRow("table") << 2 << "0.23..6789a..d";
        QTest::newRow("qr") << 3 << ".1234.........";
    }
    void rowsShownByKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, rows);
        ReportPage page;
        AbstractField* field = makeField(page, kind, {5, 5, 60, 10});
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.show();
        QCOMPARE(cutLabel(dock.pageTable()), QString());
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        dock.onFieldChanged(field);
        QCOMPARE(shownRows(dock.fieldTable()), rows);
        QCOMPARE(cutLabel(dock.fieldTable()), QString());
        QVERIFY(dock.fieldTable()->isVisibleTo(&dock) && !dock.pageTable()->isVisibleTo(&dock));
        // Filling the table is no edit.
        QCOMPARE(edits.count(), 0);
        QCOMPARE(cell(dock.fieldTable(), Row::FontRow, 1), QStringLiteral("По умолчанию"));
        // Another page: the dock forgets the field of the old one.
        ReportPage second;
        dock.setReportPage(&second);
        QVERIFY(dock.pageTable()->isVisibleTo(&dock));
        const bool wrapped = field->wordWrap();
        qobject_cast<QCheckBox*>(dock.fieldTable()->cellWidget(Row::WordWrapRow, 1))->setChecked(!wrapped);
        QCOMPARE(field->wordWrap(), wrapped);
    }

    // Kind 0 is the page; every field starts aligned right and bottom.
    void propertiesWritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed"); // a combo's index, "1" for a ticked box
        QTest::addColumn<QString>("expected"); // the property read back
        QTest::newRow("page size A5") << 0 << int(StructureDockWidget::PageSizeRow) << "0" << "9";
        QTest::newRow("portrait") << 0 << int(StructureDockWidget::OrientationRow) << "0" << "0";
        QTest::newRow("sheets") << 0 << int(StructureDockWidget::PagesCountRow) << "2" << "3";
        QTest::newRow("print background") << 0 << int(StructureDockWidget::PrintBackgroundRow) << "1" << "1";
        QTest::newRow("text") << 1 << int(Row::TextRow) << "$V{fio}" << "$V{fio}";
        QTest::newRow("qr text") << 3 << int(Row::TextRow) << "12345" << "12345";
        QTest::newRow("x") << 1 << int(Row::XRow) << "12.5" << "12.5";
        QTest::newRow("x letters") << 1 << int(Row::XRow) << "abc" << "0";
        QTest::newRow("y") << 2 << int(Row::YRow) << "33" << "33";
        QTest::newRow("width") << 1 << int(Row::WidthRow) << "70" << "70x10";
        QTest::newRow("qr width squares") << 3 << int(Row::WidthRow) << "25" << "25x25";
        QTest::newRow("height") << 1 << int(Row::HeightRow) << "14" << "60x14";
        QTest::newRow("centred, still bottom") << 1 << int(Row::HAlignRow) << "1"
                                               << QString::number(Qt::AlignHCenter | Qt::AlignBottom);
        QTest::newRow("middle, still right") << 1 << int(Row::VAlignRow) << "1"
                                             << QString::number(Qt::AlignRight | Qt::AlignVCenter);
        QTest::newRow("word wrap") << 1 << int(Row::WordWrapRow) << "1" << "1";
        QTest::newRow("indent") << 1 << int(Row::IndentRow) << "7.5" << "7.5";
        QTest::newRow("line height") << 1 << int(Row::LineHeightRow) << "4" << "4";
        QTest::newRow("Z when empty") << 1 << int(Row::ZOnEmptyRow) << "1" << "1";
        QTest::newRow("preview rows") << 2 << int(Row::PreviewRowsRow) << "3" << "3";
        QTest::newRow("preview rows, one byte") << 2 << int(Row::PreviewRowsRow) << "258" << "2";
    }
    void propertiesWritten()
    {
        QFETCH(int, kind);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        ReportPage page;
        AbstractField* field = makeField(page, kind ? kind : 1, {5, 5, 60, 10});
        field->setAlignFlags(Qt::AlignRight | Qt::AlignBottom);
        StructureDockWidget dock;
        dock.setReportPage(&page);
        if (kind)
            dock.onFieldChanged(field);
        QTableWidget* table = kind ? dock.fieldTable() : dock.pageTable();
        QSignalSpy fieldEdits(&dock, &StructureDockWidget::fieldUpdated);
        QSignalSpy pageEdits(&dock, &StructureDockWidget::pageUpdated);
        if (auto* combo = qobject_cast<QComboBox*>(table->cellWidget(row, 1)))
            combo->setCurrentIndex(typed.toInt());
        else if (auto* box = qobject_cast<QCheckBox*>(table->cellWidget(row, 1)))
            box->setChecked(typed == "1");
        else
            table->item(row, 1)->setText(typed);
        QCOMPARE(fieldEdits.count() + pageEdits.count(), 1);

        auto* text = qobject_cast<TextField*>(field);
        auto* qr = qobject_cast<QrField*>(field);
        auto* tableField = qobject_cast<TableField*>(field);
        const auto n = [](double value) { return QString::number(value); };
        const QString size = n(field->width()) + "x" + n(field->height());
        const QMap<int, QString> read{{Row::TextRow, text ? text->text() : qr ? qr->text() : QString()},
                                      {Row::XRow, n(field->x())},
                                      {Row::YRow, n(field->y())},
                                      {Row::WidthRow, size},
                                      {Row::HeightRow, size},
                                      {Row::HAlignRow, n(field->alignFlags())},
                                      {Row::VAlignRow, n(field->alignFlags())},
                                      {Row::WordWrapRow, n(field->wordWrap())},
                                      {Row::IndentRow, text ? n(text->indent()) : QString()},
                                      {Row::LineHeightRow, text ? n(text->lineHeight()) : QString()},
                                      {Row::ZOnEmptyRow, n(field->zOnEmpty())},
                                      {Row::PreviewRowsRow, tableField ? n(tableField->previewRowCount()) : ""},
                                      {-StructureDockWidget::PageSizeRow, n(page.pageSize())},
                                      {-StructureDockWidget::OrientationRow, n(page.orientation())},
                                      {-StructureDockWidget::PagesCountRow, n(page.pagesCount())},
                                      {-StructureDockWidget::PrintBackgroundRow, n(page.printBackgroundImage())}};
        QCOMPARE(read.value(kind ? row : -row), expected); // page rows negated
    }

    void fontDialogStartsAtPageFont()
    {
        ReportPage page;
        page.setDefaultFont(QFont(QStringLiteral("DejaVu Serif"), 14));
        auto* field = PageMaker::field<TextField>(page, {5, 5, 60, 10}, "t");
        StructureDockWidget dock;
        dock.setReportPage(&page);
        QCOMPARE(cell(dock.pageTable(), 0, 1), StructureDockWidget::fontText(page.defaultFont()));
        dock.onFieldChanged(field);
        QSignalSpy pageEdits(&dock, &StructureDockWidget::pageUpdated);

        ModalAnswerer answerer;
        QFont started;
        const QFont chosen(QStringLiteral("DejaVu Sans"), 11);
        answerer.onDialog([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFontDialog*>(widget);
            if (dialog) {
                started = dialog->currentFont();
                dialog->setCurrentFont(chosen);
                dialog->accept();
            }
            return dialog != nullptr;
        });
        dock.onTblWidget_cellDoubleClicked(0, 1);
        QCOMPARE(started.family(), page.defaultFont().family());
        QCOMPARE(field->font().family(), chosen.family());
        QCOMPARE(cell(dock.fieldTable(), 0, 1), StructureDockWidget::fontText(field->font()));
        QCOMPARE(pageEdits.count(), 1);
    }

    void variableManagerLists()
    {
        ReportPage page;
        page.setVariable(QStringLiteral("Zeta "), QStringLiteral("z"));
        page.setVariable(QStringLiteral("alpha"), 12);
        page.addModel(QStringLiteral("names"), PageMaker::model({"fio", "a.b"}, {{"Иванов", "1"}}, &page), false);
        page.addModel(QStringLiteral("empty"), PageMaker::model({"c"}, {}, &page), false);
        // Something bound that is no item model has no columns to list.
        page.addModel(QStringLiteral("other"), new QObject(&page), false);
        DataManagerDockWidget dock;
        dock.setReportPage(&page);

        const QTableWidget* table = dock.tableWidget();
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << cell(table, row, 0) + "=" + cell(table, row, 1);
        QCOMPARE(rows, (QStringList{"$V{alpha}=12", "$V{zeta}=z", "$D{empty.c}=", "$D{names.fio}=Иванов",
                                    "$D{names.a.b}=1"}));

        page.setVariable(QStringLiteral("beta"), 1);
        QCOMPARE(table->rowCount(), 6);
        // Only the current page refills the list.
        ReportPage next;
        dock.setReportPage(&next);
        page.setVariable(QStringLiteral("gamma"), 1);
        QCOMPARE(table->rowCount(), 0);
    }

    // A new table: typed widths below 2 mm (or unreadable) stored as 10, the
    // model name trimmed and lower-cased, the switches hiding what they make
    // unused, columns taken away and added again starting from the default
    // width, split rows added and deleted.
    void newTable_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::newRow("comma") << "12,5" << 10.0;
        QTest::newRow("below 2") << "1.5" << 10.0;
        QTest::newRow("exactly 2") << "2" << 2.0;
        QTest::newRow("point") << "25.5" << 25.5;
    }
    void newTable()
    {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        Dialog d = new EditTableFieldDialog;
        FormWidgets::child<QCheckBox>(d, "autoWidthCheckBox")->setChecked(true);
        FormWidgets::child<QCheckBox>(d, "headerIsVisibleCheckBox")->setChecked(false);
        QVERIFY(grid(d)->isRowHidden(0) && grid(d)->isRowHidden(1));
        QVERIFY(!FormWidgets::child<QDoubleSpinBox>(d, "headerHeightSpin")->isEnabled());
        auto* count = FormWidgets::child<QSpinBox>(d, "rowCountSpin");
        count->setValue(4);
        grid(d)->item(1, 3)->setText("12");
        count->setValue(2);
        count->setValue(4);
        grid(d)->item(1, 1)->setText(typed);
        FormWidgets::edit(d, "modelNameLineEdit")->setText("  ViewSpoDetails ");

        FormWidgets::button(d, "pushButtonAddSplit")->click();
        FormWidgets::button(d, "pushButtonAddSplit")->click();
        splits(d)->item(1, 0)->setText("40");
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        splits(d)->setCurrentCell(1, 0);
        d->on_tableSplit_cellClicked(1, 0);
        FormWidgets::button(d, "pushButtonDeleteSplit")->click();
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        std::unique_ptr<TableField> table(created(d));
        QCOMPARE(table->columnsWidth(), QVector<double>({40, stored, 40, 40}));
        QCOMPARE(table->modelName(), QString("viewspodetails"));
        QVERIFY(table->autoWidth() && !table->headerIsVisible());
        QCOMPARE(table->splitsCount(), 1);
        QCOMPARE(table->maxSplitHeight(), QVector<double>({0}));
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
        if (byOk) {
            ok(d);
        } else {
            d->show();
            grid(d)->item(1, 0)->setText("55");
            d->close();
        }
        QCOMPARE(modified.count(), int(byOk));
        QJsonObject after, want;
        table.writeJson(after);
        expected.writeJson(want);
        QCOMPARE(after, want);
        QCOMPARE(table.prepared(), !byOk);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
    }
};

VELSPO_TEST_MAIN(TestDesignerDocks)
#include "tst_designerdocks.moc"
