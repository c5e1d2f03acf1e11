#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QSqlTableModel>

using namespace DocumentFixtures;

namespace {

// Dates count only in pairs; an invalid one is as good as none.
DocumentsTable::FilterList filter(const QString& fio, const QString& prof = {}, const QDate& from = {}, const QDate& to = {})
{
    return {{"fio", fio}, {"prof", prof}, {"dateFrom", from}, {"dateTo", to}};
}

// A complete document without distinction; shown as "<fio1> Мария Петровна".
int addDocument(const QString& fio1, const QVariantMap& columns = {})
{
    QVariantMap row = fullDocument();
    row.insert({{"fio1", fio1}, {"isExcellent", 0}});
    row.insert(columns);
    return insertDocument(row);
}

QStringList visibleNames(const DocumentsTable& table)
{
    QStringList names;
    for (int row = 0; row < table.tableModel()->rowCount(); ++row)
        if (!table.isRowHidden(row))
            names.append(table.tableModel()->index(row, 1).data().toString());
    names.sort();
    return names;
}

int rowOf(const DocumentsTable& table, int spoId)
{
    const QAbstractItemModel* model = table.tableModel();
    return model->match(model->index(0, 0), Qt::DisplayRole, spoId, 1, Qt::MatchExactly).value(0).row();
}

void selectDocuments(DocumentsTable& table, const QList<int>& ids)
{
    table.clearSelection();
    for (int id : ids) {
        const QModelIndex index = table.tableModel()->index(rowOf(table, id), 1);
        table.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table.selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
}

QMap<QString, int> detailCounts(int spoId)
{
    QMap<QString, int> counts;
    for (const QString& table : detailTables())
        counts.insert(table, detailCount(table, spoId));
    return counts;
}

} // namespace

// The register over ViewSpoDocuments: its columns, every row loaded, the row
// filter across reloads and sorts, and the copy, delete and blank-check workers.
class DocumentsTableTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { ReportList::registerReports(); }
    void init() { QVERIFY(openEmpty()); }

    void columnsAndRows()
    {
        const int a = addDocument("Иванов");
        addDocument("Шаблон", {{"isTemplate", 1}});
        const int nullFlag = addDocument("Петров", {{"isTemplate", QVariant()}});
        DocumentsTable table;
        QSqlTableModel* model = table.tableModel();
        QCOMPARE(model->rowCount(), 2); // the template is left out, a NULL flag is not
        QVERIFY(rowOf(table, nullFlag) >= 0);
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column)
            headers << model->headerData(column, Qt::Horizontal).toString() + (table.isColumnHidden(column) ? "(hidden)" : "");
        QCOMPARE(headers.join('|'), QStringLiteral("docID(hidden)|ФИО|Дата выдачи|Номер|Рег номер|Профессия\\специальность|Дата изменения"));
        QCOMPARE(model->index(rowOf(table, a), 1).data().toString() + model->index(rowOf(table, a), 2).data().toString(),
                 QStringLiteral("Иванов Мария Петровна2014-12-12"));
        // The model writes on every change: nothing is edited in place.
        QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    // More rows than the model fetches at once: all are loaded, and the filter
    // keeps hiding the right ones through sorts and reloads.
    void everyRowLoadedAndFilteredThroughSortAndReload()
    {
        QVERIFY(insertMany(600));
        DocumentsTable table;
        table.onFiltersChanged(filter("фамилия1"));
        const auto check = [&table](int visible, int total) {
            QCOMPARE(table.tableModel()->rowCount(), total);
            const QStringList names = visibleNames(table);
            QCOMPARE(names.size(), visible);
            QCOMPARE(names.filter(QRegularExpression("^Фамилия1")).size(), visible);
        };
        check(111, 600); // 1, 10-19 and 100-199
        table.sortByColumn(1, Qt::AscendingOrder);
        check(111, 600);
        table.sortByColumn(2, Qt::DescendingOrder);
        check(111, 600);
        // New documents shift the rows; the hidden ones are still the right ones.
        addDocument("Фамилия1Новая");
        addDocument("Аааа");
        table.updateData();
        check(112, 602);
        QVERIFY(table.isColumnHidden(0));
        table.onFiltersChanged(filter(QString()));
        QCOMPARE(visibleNames(table).size(), 602);
    }

    void filterByNameProfessionAndDate()
    {
        addDocument("Иванов", {{"issueDate", "2020-06-30"}, {"professionName", "Повар, кондитер"}});
        addDocument("Петрова", {{"issueDate", "2020-07-01"}, {"professionName", "Сварщик"}});
        addDocument("Сидоренко", {{"issueDate", "2021-01-15"}, {"professionName", "Повар"}});
        addDocument("Безданных", {{"issueDate", QString()}, {"professionName", "Повар"}});
        DocumentsTable table;
        QSignalSpy unselect(&table, &DocumentsTableAbstract::unselect);
        table.selectAll();
        table.onFiltersChanged(filter("  иванов  "));
        QCOMPARE(visibleNames(table), QStringList{"Иванов Мария Петровна"});
        QCOMPARE(unselect.count(), 1);
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());
        table.onFiltersChanged(filter(QString(), "ПОВАР"));
        QCOMPARE(visibleNames(table).size(), 3);
        // Inclusive bounds; a row without an issue date fails the date test.
        table.onFiltersChanged(filter(QString(), QString(), QDate(2020, 6, 30), QDate(2020, 7, 1)));
        QCOMPARE(visibleNames(table), (QStringList{"Иванов Мария Петровна", "Петрова Мария Петровна"}));
        table.onFiltersChanged(filter(QString(), QString(), QDate(2020, 6, 30))); // one bound: no date test
        QCOMPARE(visibleNames(table).size(), 4);
        table.onFiltersChanged(filter("ов", "повар", QDate(2020, 1, 1), QDate(2020, 12, 31)));
        QCOMPARE(visibleNames(table), QStringList{"Иванов Мария Петровна"});
    }

    // A failed copy leaves no half copy and no open transaction; the next one
    // copies every detail row.
    void copyKeepsEveryDetailRowOrNone()
    {
        const int source = addDocument("Иванов"), other = addDocument("Петров");
        QVERIFY(insertDetails(source) && insertDetails(other));
        // Practices and disciplines are copied before the attestations fail.
        QVERIFY(exec("CREATE TRIGGER failInsert BEFORE INSERT ON AttestationDetails "
                     "BEGIN SELECT RAISE(ABORT, 'refused by test'); END"));
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {source});
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 0);
        for (const QString& name : documentTables())
            QCOMPARE(count(name), name == QLatin1String("SpoDocuments") ? 2 : 2 * detailCount(name, source));
        QVERIFY(exec("DROP TRIGGER failInsert"));
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 1);
        const int copy = clicked.at(0).at(0).toInt();
        QVERIFY(copy > other);
        QCOMPARE(table.tableModel()->rowCount(), 3);
        QCOMPARE(detailCounts(copy), detailCounts(source));
        QCOMPARE(detailCounts(other), detailCounts(source)); // untouched
        // Each sub-subject follows its module under the module's new id.
        QCOMPARE(rows("SELECT m.moduleName, d.dmName FROM DMDetails d JOIN ModuleDetails m ON m.moduleId = d.moduleId "
                      "WHERE d.spoId = ? AND m.spoId = ? ORDER BY d.dmName", {copy, copy}),
                 (QStringList{"Модуль 1|МДК 1.1", "Модуль 1|МДК 1.2", "Модуль 2|МДК 2.1"}));
        // Blank and registration numbers emptied, series left NULL, the rest kept.
        QCOMPARE(rows("SELECT fio1, number, regNumber, additionNumber, serial IS NULL, additionSerial IS NULL, "
                      "isTemplate, professionName, issueDate, deductionNumber FROM SpoDocuments WHERE spoId = ?", {copy}),
                 QStringList{"КОПИЯ Иванов||||1|1|0|Программирование в компьютерных системах|2014-12-12|12-к"});
    }

    void copyOfOddOrMissingDocument()
    {
        const int source = addDocument(QString(), {{"fio1", QVariant()}});
        const int copy = DocumentsTable::copyDocumentRecord(source);
        QVERIFY(copy > source);
        QCOMPARE(column(copy, "fio1").toString(), QStringLiteral("КОПИЯ "));
        // No such row: nothing is added, and no earlier row's id comes back.
        QCOMPARE(DocumentsTable::copyDocumentRecord(copy + 100), 0);
        // The register's action when the row vanished behind its back.
        QVERIFY(insertDetails(source));
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {source});
        QVERIFY(exec("UPDATE SpoDocuments SET spoId = spoId + 1000"));
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(QList<int>({count("SpoDocuments"), count("DisciplineDetails")}), QList<int>({2, 3}));
    }

    // Only the selected documents go, with their detail rows; "Выделить всё"
    // under a filter selects the visible rows only.
    void deleteRemovesDetailsOfSelectedOnly()
    {
        const int a = addDocument("Иванов"), b = addDocument("Петров"), c = addDocument("Сидоров");
        addDocument("Сидоровский");
        QVERIFY(insertDetails(a) && insertDetails(b) && insertDetails(c));
        DocumentsTable table;
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        selectDocuments(table, {a, c});
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннные документы?"});
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        QCOMPARE(count("SpoDocuments"), 4);

        answerer.answer(QMessageBox::Ok);
        table.onFiltersChanged(filter("сидор"));
        table.selectAllAction->trigger();
        table.onDeleteAction();
        QCOMPARE(rows("SELECT DISTINCT spoId FROM DMDetails UNION SELECT spoId FROM SpoDocuments"),
                 (QStringList{QString::number(a), QString::number(b)}));
        QCOMPARE(detailCounts(b), detailCounts(a));
        QCOMPARE(detailCounts(b).value("PracticeDetails"), 2);
        QCOMPARE(table.tableModel()->rowCount(), 2);
        QCOMPARE(visibleNames(table).size(), 0); // the filter stays on after the reload
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());

        answerer.clear();
        answerer.answer(QMessageBox::Ok);
        table.onFiltersChanged(filter(QString()));
        selectDocuments(table, {b});
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннный документ?"});
        for (const QString& name : documentTables())
            QCOMPARE(count(name), name == QLatin1String("SpoDocuments") ? 1 : detailCount(name, a));
    }

    // More ids than one statement binds; a failure in the last statement undoes
    // the earlier ones too.
    void deleteWorkerIsAllOrNothing()
    {
        QVERIFY(insertMany(1300));
        QList<int> ids;
        for (const QString& id : rows("SELECT spoId FROM SpoDocuments ORDER BY spoId"))
            ids.append(id.toInt());
        QVERIFY(insertDetails(ids.last()));
        QVERIFY(exec(QStringLiteral("CREATE TRIGGER failDelete BEFORE DELETE ON SpoDocuments WHEN OLD.spoId = %1 "
                                    "BEGIN SELECT RAISE(ABORT, 'refused by test'); END").arg(ids.last())));
        QVERIFY(!DocumentsTable::deleteDocumentRecords(ids));
        QCOMPARE(count("SpoDocuments"), 1300);
        QCOMPARE(detailCount("DMDetails", ids.last()), 3);
        QVERIFY(exec("DROP TRIGGER failDelete"));
        QVERIFY(DocumentsTable::deleteDocumentRecords(ids));
        QCOMPARE(count("SpoDocuments") + count("DMDetails"), 0);
    }

    void rowActionsNeedASelectedRow()
    {
        const int a = addDocument("Иванов");
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        QSignalSpy unselect(&table, &DocumentsTableAbstract::unselect);
        // A current cell without a selection is no selection.
        table.setCurrentIndex(table.tableModel()->index(0, 1));
        table.clearSelection();
        table.onEditAction();
        table.onCopyRecordAction();
        table.onPrintAction();
        QVERIFY(!table.findChild<PrintDialog*>());
        QCOMPARE(count("SpoDocuments"), 1);
        selectDocuments(table, {a});
        table.onEditAction();
        table.updateData(); // a reload drops the selection and says so
        QVERIFY(unselect.count() >= 1);
        QVERIFY(table.selectedDocumentIds().isEmpty());
        table.onEditAction();
        table.onRowActivated(table.tableModel()->index(0, 2));
        table.newRecordAction->trigger();
        QCOMPARE(clicked.count(), 3);
        QCOMPARE(QVariantList({clicked.at(0).at(0), clicked.at(1).at(0), clicked.at(2).at(0)}), QVariantList({a, a, -1}));
    }

    void contextMenuEnablesByClickAndSelection()
    {
        const int a = addDocument("Иванов"), b = addDocument("Петров");
        DocumentsTable table;
        table.resize(600, 400);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        QCOMPARE(FormWidgets::actionTexts(table.findChild<QMenu*>()->actions()),
                 (QStringList{"Добавить новый", "Создать копию записи", "—", "Редактировать", "Удалить", "Печатать",
                              "—", "Выделить всё"}));
        const auto enabled = [&table](QPoint pos) {
            QTimer::singleShot(50, [] { QApplication::activePopupWidget()->close(); });
            table.provideContexMenu(pos);
            QString flags;
            for (QAction* action : {table.newRecordAction, table.copyRecordAction, table.editAction,
                                    table.deleteAction, table.printAction, table.selectAllAction})
                flags += action->isEnabled() ? '1' : '0';
            return flags;
        };
        const QPoint onCell = table.visualRect(table.tableModel()->index(0, 1)).center();
        selectDocuments(table, {a});
        QCOMPARE(enabled(onCell), QStringLiteral("111111"));
        selectDocuments(table, {a, b});
        QCOMPARE(enabled(onCell), QStringLiteral("100101"));
        QCOMPARE(enabled(QPoint(onCell.x(), table.viewport()->height() - 5)), QStringLiteral("100001"));
    }

    void blankCheckAgainstDistinction_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("isExcellent"); // -1: no such document
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        const QString ask = "Несоответствие введённых данных \nи выбора бланка для печати! \n"
                            "Выбран бланк диплома %1. \nПродолжить?";
        QTest::newRow("401 excellent, no") << 401 << 1 << int(QMessageBox::No) << ask.arg("без отличия");
        QTest::newRow("404 plain, yes") << 404 << 0 << int(QMessageBox::Yes) << ask.arg("с отличием");
        QTest::newRow("401 plain") << 401 << 0 << int(QMessageBox::No) << QString();
        QTest::newRow("404 excellent") << 404 << 1 << int(QMessageBox::No) << QString();
        QTest::newRow("402 excellent") << 402 << 1 << int(QMessageBox::No) << QString();
        QTest::newRow("no such document") << 401 << -1 << int(QMessageBox::No) << QString();
    }

    void blankCheckAgainstDistinction()
    {
        QFETCH(int, type);
        QFETCH(int, isExcellent);
        QFETCH(int, answer);
        QFETCH(QString, question);
        const int id = isExcellent < 0 ? 12345 : addDocument("Иванов", {{"isExcellent", isExcellent}});
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        QCOMPARE(DocumentsTable::checkFormMatchesDocument(ReportList::ReportType(type), id),
                 question.isEmpty() || answer == QMessageBox::Yes);
        QCOMPARE(answerer.texts(), question.isEmpty() ? QStringList() : QStringList{question});
        QCOMPARE(answerer.titles(), question.isEmpty() ? QStringList() : QStringList{"Внимание!"});
    }

    void printRoadThroughChooserAndBlankCheck()
    {
        const int id = addDocument("Иванов", {{"isExcellent", 1}});
        DocumentsTable table;
        QSignalSpy printed(&table, &DocumentsTableAbstract::documentPrint);
        selectDocuments(table, {id});
        ModalAnswerer answerer;
        answerer.onDialog([](QWidget* widget) {
            auto* dialog = qobject_cast<PrintDialog*>(widget);
            if (dialog) // from the event loop: the blank check opens a box of its own
                QMetaObject::invokeMethod(FormWidgets::button(dialog, "pushButtonPrint"), "click", Qt::QueuedConnection);
            return dialog != nullptr;
        });
        answerer.answer(QMessageBox::No);
        table.onPrintAction();
        QTRY_VERIFY(!table.findChild<PrintDialog*>());
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(printed.count(), 0);
        answerer.answer(QMessageBox::Yes);
        table.onPrintAction();
        QTRY_COMPARE(printed.count(), 1);
        QCOMPARE(printed.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoDiploma), id, false}));
    }
};

VELSPO_TEST_MAIN(DocumentsTableTest)
#include "tst_documentstable.moc"
