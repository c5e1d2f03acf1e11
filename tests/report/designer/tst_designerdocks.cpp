#include "DesignerDriver.h"

#include "report/TableField.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/StructureDockWidget.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
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

template <typename W>
W* widgetAt(const QTableWidget* table, int row)
{
    return qobject_cast<W*>(table->cellWidget(row, 1));
}

} // namespace

// The properties dock writing the page and the selected field, and the
// variable manager's list of tokens.
class TestDesignerDocks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<AbstractField*>(); }

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
        dock.fieldTable()->item(Row::XRow, 1)->setText("99");
        QCOMPARE(field->x(), 5.0);
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
        if (auto* combo = widgetAt<QComboBox>(table, row))
            combo->setCurrentIndex(typed.toInt());
        else if (auto* box = widgetAt<QCheckBox>(table, row))
            box->setChecked(typed == "1");
        else
            table->item(row, 1)->setText(typed);
        QCOMPARE(fieldEdits.count() + pageEdits.count(), 1);

        auto* text = qobject_cast<TextField*>(field);
        auto* qr = qobject_cast<QrField*>(field);
        auto* tableField = qobject_cast<TableField*>(field);
        const auto n = [](double value) { return QString::number(value); };
        const QString size = n(field->width()) + "x" + n(field->height());
        const QMap<int, QString> read =
            kind ? QMap<int, QString>{{Row::TextRow, text ? text->text() : qr ? qr->text() : QString()},
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
                                      {Row::PreviewRowsRow, tableField ? n(tableField->previewRowCount()) : ""}}
                 : QMap<int, QString>{{StructureDockWidget::PageSizeRow, n(page.pageSize())},
                                      {StructureDockWidget::OrientationRow, n(page.orientation())},
                                      {StructureDockWidget::PagesCountRow, n(page.pagesCount())},
                                      {StructureDockWidget::PrintBackgroundRow, n(page.printBackgroundImage())}};
        QCOMPARE(read.value(row), expected);
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
            if (!dialog)
                return false;
            started = dialog->currentFont();
            dialog->setCurrentFont(chosen);
            dialog->accept();
            return true;
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
};

VELSPO_TEST_MAIN(TestDesignerDocks)
#include "tst_designerdocks.moc"
