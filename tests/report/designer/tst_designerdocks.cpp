#include "report/QrField.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/StructureDockWidget.h"
#include "support/ModalAnswerer.h"
#include "support/PageMaker.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QSignalSpy>
#include <QStandardItemModel>
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

// 1 text, 2 table, 3 QR field over the box.
AbstractField* makeField(ReportPage& page, int kind, const QRectF& box)
{
    if (kind == 1)
        return PageMaker::field<TextField>(page, box, "t");
    if (kind == 3)
        return PageMaker::field<QrField>(page, box, "q");
    return PageMaker::table(page, box.x(), box.y(), "m", {"a"}, {20}, 5, 5);
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
        AbstractField* field = makeField(page, kind, {});
        StructureDockWidget dock;
        dock.setReportPage(&page);
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        dock.onFieldChanged(field);
        QCOMPARE(shownRows(dock.fieldTable()), rows);
        QVERIFY(dock.fieldTable()->isVisibleTo(&dock) && !dock.pageTable()->isVisibleTo(&dock));
        // Filling the table is no edit.
        QCOMPARE(edits.count(), 0);
        QCOMPARE(cell(dock.fieldTable(), Row::FontRow, 1), QStringLiteral("По умолчанию"));
        dock.onFieldChanged(nullptr);
        QVERIFY(dock.pageTable()->isVisibleTo(&dock));
    }

    // Every label shows whole in its column, for each kind of field.
    void labelsShowWhole()
    {
        ReportPage page;
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.show();
        auto check = [](const QTableWidget* table) {
            const QFontMetrics metrics(table->font());
            for (int row = 0; row < table->rowCount(); ++row) {
                const QString label = cell(table, row, 0);
                if (!table->isRowHidden(row) && metrics.horizontalAdvance(label) >= table->columnWidth(0))
                    return label;
            }
            return QString();
        };
        QCOMPARE(check(dock.pageTable()), QString());
        for (int kind : {1, 2, 3}) {
            dock.onFieldChanged(makeField(page, kind, {5, 5, 60, 10}));
            QCOMPARE(check(dock.fieldTable()), QString());
        }
    }

    void fieldPropertiesWritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected"); // the property read back
        QTest::newRow("text") << 1 << int(Row::TextRow) << "$V{fio}" << "$V{fio}";
        QTest::newRow("qr text") << 3 << int(Row::TextRow) << "12345" << "12345";
        QTest::newRow("x") << 1 << int(Row::XRow) << "12.5" << "12.5";
        QTest::newRow("x letters") << 1 << int(Row::XRow) << "abc" << "0";
        QTest::newRow("y") << 2 << int(Row::YRow) << "33" << "33";
        QTest::newRow("width") << 1 << int(Row::WidthRow) << "70" << "70x10";
        QTest::newRow("qr width squares") << 3 << int(Row::WidthRow) << "25" << "25x25";
        QTest::newRow("height") << 1 << int(Row::HeightRow) << "14" << "60x14";
        QTest::newRow("indent") << 1 << int(Row::IndentRow) << "7.5" << "7.5";
        QTest::newRow("line height") << 1 << int(Row::LineHeightRow) << "4" << "4";
        QTest::newRow("preview rows") << 2 << int(Row::PreviewRowsRow) << "3" << "3";
        QTest::newRow("preview rows, one byte") << 2 << int(Row::PreviewRowsRow) << "258" << "2";
    }
    void fieldPropertiesWritten()
    {
        QFETCH(int, kind);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        ReportPage page;
        AbstractField* field = makeField(page, kind, {5, 5, 60, 10});
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.onFieldChanged(field);
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        dock.fieldTable()->item(row, 1)->setText(typed);
        QCOMPARE(edits.count(), 1);

        QString actual;
        auto* text = qobject_cast<TextField*>(field);
        switch (row) {
        case Row::TextRow:
            actual = text ? text->text() : qobject_cast<QrField*>(field)->text();
            break;
        case Row::XRow:
            actual = QString::number(field->x());
            break;
        case Row::YRow:
            actual = QString::number(field->y());
            break;
        case Row::WidthRow:
        case Row::HeightRow:
            actual = QString::number(field->width()) + "x" + QString::number(field->height());
            break;
        case Row::IndentRow:
            actual = QString::number(text->indent());
            break;
        case Row::LineHeightRow:
            actual = QString::number(text->lineHeight());
            break;
        default:
            actual = QString::number(qobject_cast<TableField*>(field)->previewRowCount());
        }
        QCOMPARE(actual, expected);
    }

    void alignmentAndSwitches()
    {
        ReportPage page;
        auto* field = PageMaker::field<TextField>(page, {5, 5, 60, 10}, "t");
        field->setAlignFlags(Qt::AlignRight | Qt::AlignBottom);
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.onFieldChanged(field);
        auto* horizontal = widgetAt<QComboBox>(dock.fieldTable(), Row::HAlignRow);
        auto* vertical = widgetAt<QComboBox>(dock.fieldTable(), Row::VAlignRow);
        QCOMPARE(horizontal->currentText(), QStringLiteral("Справа"));
        QCOMPARE(vertical->currentText(), QStringLiteral("Снизу"));
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        horizontal->setCurrentIndex(1);
        vertical->setCurrentIndex(1);
        QCOMPARE(int(field->alignFlags()), int(Qt::AlignHCenter | Qt::AlignVCenter));
        widgetAt<QCheckBox>(dock.fieldTable(), Row::WordWrapRow)->setChecked(true);
        widgetAt<QCheckBox>(dock.fieldTable(), Row::ZOnEmptyRow)->setChecked(true);
        QVERIFY(field->wordWrap() && field->zOnEmpty());
        QCOMPARE(edits.count(), 4);
    }

    void pagePropertiesWritten()
    {
        ReportPage page;
        StructureDockWidget dock;
        dock.setReportPage(&page);
        const QTableWidget* table = dock.pageTable();
        QCOMPARE(widgetAt<QComboBox>(table, StructureDockWidget::PageSizeRow)->currentText(), QStringLiteral("A4"));
        QSignalSpy edits(&dock, &StructureDockWidget::pageUpdated);
        widgetAt<QComboBox>(table, StructureDockWidget::PageSizeRow)->setCurrentIndex(0);
        widgetAt<QComboBox>(table, StructureDockWidget::OrientationRow)->setCurrentIndex(0);
        widgetAt<QComboBox>(table, StructureDockWidget::PagesCountRow)->setCurrentIndex(2);
        widgetAt<QCheckBox>(table, StructureDockWidget::PrintBackgroundRow)->setChecked(true);
        QCOMPARE(page.pageSize(), 9);
        QCOMPARE(page.orientation(), 0);
        QCOMPARE(page.pagesCount(), 3);
        QVERIFY(page.printBackgroundImage());
        QCOMPARE(edits.count(), 4);
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

    void forgetsFieldOfOldPage()
    {
        ReportPage first;
        auto* field = PageMaker::field<TextField>(first, {5, 5, 60, 10}, "t");
        StructureDockWidget dock;
        dock.setReportPage(&first);
        dock.onFieldChanged(field);
        ReportPage second;
        dock.setReportPage(&second);
        dock.fieldTable()->item(Row::XRow, 1)->setText("99");
        QCOMPARE(field->x(), 5.0);
        QVERIFY(dock.pageTable()->isVisibleTo(&dock));
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
        QCOMPARE(int(table->editTriggers()), int(QAbstractItemView::NoEditTriggers));
        QCOMPARE(table->dragDropMode(), QAbstractItemView::DragOnly);

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
