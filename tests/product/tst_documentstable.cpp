#include "RegisterFixture.h"

#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QSqlTableModel>

using namespace RegisterFixture;

namespace {

using FilterList = QList<QPair<QString, QVariant>>;

FilterList filter(const QString& fio, const QString& prof = QString(), const QDate& from = QDate(),
                  const QDate& to = QDate())
{
    FilterList list;
    if (from.isValid())
        list.append({QStringLiteral("dateFrom"), from});
    if (to.isValid())
        list.append({QStringLiteral("dateTo"), to});
    list.append({QStringLiteral("fio"), fio});
    list.append({QStringLiteral("prof"), prof});
    return list;
}

QStringList visibleNames(const DocumentsTable& table)
{
    QStringList names;
    for (int row = 0; row < table.tableModel()->rowCount(); ++row) {
        if (!table.isRowHidden(row))
            names.append(table.tableModel()->data(table.tableModel()->index(row, 1)).toString());
    }
    return names;
}

int rowOf(const DocumentsTable& table, int spoId)
{
    for (int row = 0; row < table.tableModel()->rowCount(); ++row) {
        if (table.tableModel()->data(table.tableModel()->index(row, 0)).toInt() == spoId)
            return row;
    }
    return -1;
}

void selectDocuments(DocumentsTable& table, const QList<int>& ids)
{
    table.clearSelection();
    for (int id : ids) {
        const int row = rowOf(table, id);
        QVERIFY(row >= 0);
        table.selectionModel()->select(table.tableModel()->index(row, 1),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table.selectionModel()->setCurrentIndex(table.tableModel()->index(row, 1), QItemSelectionModel::NoUpdate);
    }
}

QMap<QString, int> detailCounts(int spoId)
{
    QMap<QString, int> counts;
    for (const QString& table : detailTables)
        counts.insert(table, count(table, spoId));
    return counts;
}

bool printDialogOpen()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (qobject_cast<PrintDialog*>(widget) && widget->isVisible())
            return true;
    }
    return false;
}

void closePopupSoon()
{
    QTimer::singleShot(50, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
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

    // ------------------------------------------------------------ columns and loading

    void columnsHeadersAndOrder()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        insertDocument(QStringLiteral("Шаблон"), QStringLiteral("2020-06-30"), QStringLiteral("x"), 0, 1);
        const int nullTemplate = insertDocument(QStringLiteral("Петров"), QStringLiteral("2020-06-30"),
                                                QStringLiteral("x"), 0, QVariant());
        DocumentsTable table;
        QSqlTableModel* model = table.tableModel();
        QVERIFY(model);
        QCOMPARE(model->tableName(), QStringLiteral("ViewSpoDocuments"));
        QCOMPARE(model, Database::tableModel(QStringLiteral("ViewSpoDocuments")));
        QCOMPARE(model->rowCount(), 2); // the template is left out, a NULL flag is not

        const QStringList headers = {"docID", "ФИО", "Дата выдачи", "Номер", "Рег номер",
                                     "Профессия\\специальность", "Дата изменения"};
        QCOMPARE(model->columnCount(), headers.size());
        const QStringList fields = {"spoId", "fio", "issueDate", "number", "regNumber", "professionName", "editDate"};
        for (int column = 0; column < headers.size(); ++column) {
            QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), headers.at(column));
            QCOMPARE(model->record().fieldName(column), fields.at(column));
            QCOMPARE(table.isColumnHidden(column), column == 0);
        }

        const int row = rowOf(table, a);
        QCOMPARE(model->data(model->index(row, 1)).toString(), QStringLiteral("Иванов Иван Петрович"));
        QCOMPARE(model->data(model->index(row, 2)).toString(), QStringLiteral("2020-06-30"));
        QVERIFY(rowOf(table, nullTemplate) >= 0);

        QCOMPARE(table.selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(table.selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(table.isSortingEnabled());
        QCOMPARE(table.contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void everyRowIsLoaded()
    {
        QVERIFY(insertMany(1000));
        DocumentsTable table;
        QCOMPARE(table.tableModel()->rowCount(), 1000);
        QVERIFY(!table.tableModel()->canFetchMore());

        table.sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(table.tableModel()->rowCount(), 1000);
        table.updateData();
        QCOMPARE(table.tableModel()->rowCount(), 1000);
        QVERIFY(!table.tableModel()->canFetchMore());
        QVERIFY(table.isColumnHidden(0));
        QVERIFY(!table.isColumnHidden(1));
    }

    // ------------------------------------------------------------------- row filter

    void filterByNameProfessionAndDate()
    {
        insertDocument(QStringLiteral("Иванов"), QStringLiteral("2020-06-30"), QStringLiteral("Повар, кондитер"));
        insertDocument(QStringLiteral("Петрова"), QStringLiteral("2020-07-01"), QStringLiteral("Сварщик"));
        insertDocument(QStringLiteral("Сидоренко"), QStringLiteral("2021-01-15"), QStringLiteral("Повар"));
        insertDocument(QStringLiteral("Безданных"), QString(), QStringLiteral("Повар"));
        DocumentsTable table;
        QSignalSpy unselect(&table, &DocumentsTableAbstract::unselect);
        table.selectAll();

        table.onFiltersChanged(filter(QStringLiteral("  иванов  ")));
        QCOMPARE(visibleNames(table), QStringList{"Иванов Иван Петрович"});
        QCOMPARE(unselect.count(), 1);
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());

        table.onFiltersChanged(filter(QString(), QStringLiteral("ПОВАР")));
        QCOMPARE(visibleNames(table).size(), 3);

        // Inclusive bounds; a row without an issue date fails the date test.
        table.onFiltersChanged(filter(QString(), QString(), QDate(2020, 6, 30), QDate(2020, 7, 1)));
        QStringList names = visibleNames(table);
        names.sort();
        QCOMPARE(names, (QStringList{"Иванов Иван Петрович", "Петрова Иван Петрович"}));

        // Only one bound: no date test at all.
        table.onFiltersChanged(filter(QString(), QString(), QDate(2020, 6, 30)));
        QCOMPARE(visibleNames(table).size(), 4);

        table.onFiltersChanged(filter(QStringLiteral("ов"), QStringLiteral("повар"), QDate(2020, 1, 1), QDate(2020, 12, 31)));
        QCOMPARE(visibleNames(table), QStringList{"Иванов Иван Петрович"});

        table.onFiltersChanged(filter(QString()));
        QCOMPARE(visibleNames(table).size(), 4);
    }

    void filterFollowsDocumentsThroughReloadAndSort()
    {
        QVERIFY(insertMany(600));
        DocumentsTable table;
        table.onFiltersChanged(filter(QStringLiteral("фамилия1")));
        // 1, 10-19 and 100-199.
        const auto check = [&table](int expected) {
            const QStringList names = visibleNames(table);
            QCOMPARE(names.size(), expected);
            for (const QString& name : names)
                QVERIFY2(name.startsWith(QStringLiteral("Фамилия1")), qPrintable(name));
        };
        check(111);

        table.sortByColumn(1, Qt::AscendingOrder);
        check(111);
        table.sortByColumn(2, Qt::DescendingOrder);
        check(111);

        // A new document shifts the rows; the hidden ones are still the right ones.
        insertDocument(QStringLiteral("Фамилия1Новая"));
        insertDocument(QStringLiteral("Аааа"));
        table.updateData();
        check(112);
        QCOMPARE(table.tableModel()->rowCount(), 602);
        QCOMPARE(table.lastFilter(), filter(QStringLiteral("фамилия1")));

        table.onFiltersChanged(filter(QString()));
        QCOMPARE(visibleNames(table).size(), 602);
        table.updateData();
        QCOMPARE(visibleNames(table).size(), 602);
    }

    // ------------------------------------------------------------------------ copy

    void copyKeepsEveryDetailRow()
    {
        const int source = insertDocument(QStringLiteral("Иванов"));
        QVERIFY(insertDetails(source));
        const int other = insertDocument(QStringLiteral("Петров"));
        QVERIFY(insertDetails(other));

        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {source});
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 1);
        const int copy = clicked.at(0).at(0).toInt();
        QVERIFY(copy > other);
        QCOMPARE(table.tableModel()->rowCount(), 3);

        QCOMPARE(detailCounts(copy), detailCounts(source));
        QCOMPARE(detailCounts(copy).value("DMDetails"), 3);
        QCOMPARE(detailCounts(other), detailCounts(source)); // untouched

        // Each sub-subject follows its module under the module's new id.
        QCOMPARE(scalar("SELECT COUNT(*) FROM DMDetails d JOIN ModuleDetails m ON m.moduleId = d.moduleId "
                        "WHERE d.spoId = ? AND m.spoId = ?", {copy, copy}).toInt(), 3);
        QCOMPARE(scalar("SELECT COUNT(*) FROM DMDetails d JOIN ModuleDetails m ON m.moduleId = d.moduleId "
                        "WHERE d.spoId = ? AND m.moduleName = 'Модуль 1'", {copy}).toInt(), 2);

        QSqlQuery query(QSqlDatabase::database());
        query.prepare("SELECT fio1, number, regNumber, additionNumber, serial, additionSerial, isTemplate, "
                      "professionName, issueDate, deductionNumber FROM SpoDocuments WHERE spoId = ?");
        query.addBindValue(copy);
        QVERIFY(query.exec() && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("КОПИЯ Иванов"));
        QCOMPARE(query.value(1).toString(), QString(""));
        QCOMPARE(query.value(2).toString(), QString(""));
        QCOMPARE(query.value(3).toString(), QString(""));
        QVERIFY(query.value(4).isNull());
        QVERIFY(query.value(5).isNull());
        QCOMPARE(query.value(6).toInt(), 0);
        QCOMPARE(query.value(7).toString(), QStringLiteral("Повар, кондитер"));
        QCOMPARE(query.value(8).toString(), QStringLiteral("2020-06-30"));
        QCOMPARE(query.value(9).toString(), QStringLiteral("77-к"));
    }

    void copyOfEmptySurname()
    {
        const int source = insertDocument(QString());
        exec("UPDATE SpoDocuments SET fio1 = NULL WHERE spoId = ?", {source});
        const int copy = DocumentsTable::copyDocumentRecord(source);
        QVERIFY(copy > source);
        QCOMPARE(scalar("SELECT fio1 FROM SpoDocuments WHERE spoId = ?", {copy}).toString(), QStringLiteral("КОПИЯ "));
    }

    void copyOfMissingDocumentAddsNothing()
    {
        const int existing = insertDocument(QStringLiteral("Иванов"));
        QVERIFY(insertDetails(existing));
        QCOMPARE(DocumentsTable::copyDocumentRecord(existing + 100), 0);
        QCOMPARE(countAll("SpoDocuments"), 1);

        // The register's action: the row vanished behind its back.
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {existing});
        exec("UPDATE SpoDocuments SET spoId = spoId + 1000");
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(countAll("SpoDocuments"), 1);
        QCOMPARE(countAll("DisciplineDetails"), 3);
    }

    void failedCopyLeavesNoHalfCopy()
    {
        const int source = insertDocument(QStringLiteral("Иванов"));
        QVERIFY(insertDetails(source));
        // Practices and disciplines are copied before the attestations fail.
        QVERIFY(exec("CREATE TRIGGER failInsert BEFORE INSERT ON AttestationDetails "
                     "BEGIN SELECT RAISE(ABORT, 'refused by test'); END;"));

        QVERIFY(!DocumentsTable::copyDocumentDetails(source, source + 1));
        QCOMPARE(count("PracticeDetails", source + 1), 0);
        QCOMPARE(count("DisciplineDetails", source + 1), 0);

        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {source});
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(countAll("SpoDocuments"), 1);
        for (const QString& detail : detailTables)
            QCOMPARE(countAll(detail), count(detail, source));
        QVERIFY(exec("DROP TRIGGER failInsert;"));

        // The connection is usable afterwards: no transaction was left open.
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(countAll("SpoDocuments"), 2);
    }

    void copyInsideCallersTransaction()
    {
        const int source = insertDocument(QStringLiteral("Иванов"));
        QVERIFY(insertDetails(source));
        QVERIFY(QSqlDatabase::database().transaction());
        const int copy = DocumentsTable::copyDocumentRecord(source);
        QVERIFY(DocumentsTable::copyDocumentDetails(source, copy));
        QVERIFY(QSqlDatabase::database().rollback());
        QCOMPARE(countAll("SpoDocuments"), 1);
        QCOMPARE(countAll("ModuleDetails"), 2);
    }

    // ---------------------------------------------------------------------- delete

    void deleteRemovesDetailsOfSelectedOnly()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        const int b = insertDocument(QStringLiteral("Петров"));
        const int c = insertDocument(QStringLiteral("Сидоров"));
        for (int id : {a, b, c})
            QVERIFY(insertDetails(id));
        DocumentsTable table;
        QSignalSpy unselect(&table, &DocumentsTableAbstract::unselect);

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        selectDocuments(table, {a, c});
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннные документы?"});
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        QCOMPARE(countAll("SpoDocuments"), 3);

        answerer.clear();
        answerer.answer(QMessageBox::Ok);
        selectDocuments(table, {a, c});
        table.onDeleteAction();
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(countAll("SpoDocuments"), 1);
        for (const QString& detail : detailTables) {
            QCOMPARE(count(detail, a), 0);
            QCOMPARE(count(detail, c), 0);
            QVERIFY(count(detail, b) > 0);
        }
        QCOMPARE(table.tableModel()->rowCount(), 1);
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());
        QVERIFY(unselect.count() >= 1);

        answerer.clear();
        answerer.answer(QMessageBox::Ok);
        selectDocuments(table, {b});
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннный документ?"});
        QCOMPARE(countAll("SpoDocuments"), 0);
        for (const QString& detail : detailTables)
            QCOMPARE(countAll(detail), 0);
    }

    void deleteAfterSelectAllSparesFilteredOutDocuments()
    {
        const int keep1 = insertDocument(QStringLiteral("Иванов"));
        const int keep2 = insertDocument(QStringLiteral("Иваненко"));
        const int gone1 = insertDocument(QStringLiteral("Сидоров"));
        const int gone2 = insertDocument(QStringLiteral("Сидоровский"));
        for (int id : {keep1, keep2, gone1, gone2})
            QVERIFY(insertDetails(id));
        DocumentsTable table;
        table.onFiltersChanged(filter(QStringLiteral("сидор")));

        QAction* selectAll = table.selectAllAction;
        QCOMPARE(selectAll->text(), QStringLiteral("Выделить всё"));
        selectAll->trigger();
        QCOMPARE(table.selectedDocumentIds().size(), 2);

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннные документы?"});
        QCOMPARE(countAll("SpoDocuments"), 2);
        QCOMPARE(scalar("SELECT COUNT(*) FROM SpoDocuments WHERE spoId IN (?, ?)", {keep1, keep2}).toInt(), 2);
        for (const QString& detail : detailTables) {
            QVERIFY(count(detail, keep1) > 0);
            QCOMPARE(count(detail, gone1), 0);
        }
        // The filter stays on after the reload: nothing of it is visible now.
        QCOMPARE(visibleNames(table).size(), 0);
    }

    void failedDeleteLeavesEverything()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        QVERIFY(insertDetails(a));
        QVERIFY(exec("CREATE TRIGGER failDelete BEFORE DELETE ON SpoDocuments "
                     "BEGIN SELECT RAISE(ABORT, 'refused by test'); END;"));
        const QMap<QString, int> before = detailCounts(a);
        QVERIFY(!DocumentsTable::deleteDocumentRecords({a}));
        QCOMPARE(detailCounts(a), before);
        QCOMPARE(countAll("SpoDocuments"), 1);
        QVERIFY(exec("DROP TRIGGER failDelete;"));
        QVERIFY(DocumentsTable::deleteDocumentRecords({a}));
        QCOMPARE(countAll("SpoDocuments"), 0);
        QVERIFY(DocumentsTable::deleteDocumentRecords({}));
    }

    void deleteManyDocuments()
    {
        QVERIFY(insertMany(1300));
        QList<int> ids;
        QSqlQuery query("SELECT spoId FROM SpoDocuments", QSqlDatabase::database());
        while (query.next())
            ids.append(query.value(0).toInt());
        QVERIFY(insertDetails(ids.last()));
        QVERIFY(DocumentsTable::deleteDocumentRecords(ids.mid(0, 1299)));
        QCOMPARE(countAll("SpoDocuments"), 1);
        QVERIFY(DocumentsTable::deleteDocumentRecords(ids.mid(1299)));
        QCOMPARE(countAll("SpoDocuments"), 0);
        QCOMPARE(countAll("ModuleDetails"), 0);
    }

    // -------------------------------------------------------------- row actions

    void rowActionsNeedASelectedRow()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        QSignalSpy unselect(&table, &DocumentsTableAbstract::unselect);
        QSignalSpy reselected(&table, &DocumentsTableAbstract::reselected);

        // A current cell without a selection is no selection.
        table.setCurrentIndex(table.tableModel()->index(0, 1));
        table.clearSelection();
        table.onEditAction();
        table.onCopyRecordAction();
        table.onPrintAction();
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!printDialogOpen());
        QCOMPARE(countAll("SpoDocuments"), 1);

        selectDocuments(table, {a});
        table.onEditAction();
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), a);

        // A reload drops the selection and says so.
        unselect.clear();
        table.updateData();
        QCOMPARE(reselected.count(), 1);
        QVERIFY(unselect.count() >= 1);
        QVERIFY(table.selectedDocumentIds().isEmpty());
        table.onEditAction();
        QCOMPARE(clicked.count(), 1);

        table.onRowActivated(table.tableModel()->index(0, 2));
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked.at(1).at(0).toInt(), a);
        table.newRecordAction->trigger();
        QCOMPARE(clicked.at(2).at(0).toInt(), -1);
    }

    void contextMenuEnablesByClickAndSelection()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        const int b = insertDocument(QStringLiteral("Петров"));
        DocumentsTable table;
        table.resize(600, 400);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));

        const QStringList texts = [&table] {
            QStringList list;
            for (QAction* action : table.findChild<QMenu*>()->actions())
                list.append(action->isSeparator() ? QStringLiteral("—") : action->text());
            return list;
        }();
        QCOMPARE(texts, (QStringList{"Добавить новый", "Создать копию записи", "—", "Редактировать", "Удалить",
                                     "Печатать", "—", "Выделить всё"}));

        const QPoint onCell = table.visualRect(table.tableModel()->index(0, 1)).center();
        const QPoint below(onCell.x(), table.viewport()->height() - 5);

        selectDocuments(table, {a});
        closePopupSoon();
        table.provideContexMenu(onCell);
        QVERIFY(table.copyRecordAction->isEnabled() && table.editAction->isEnabled());
        QVERIFY(table.deleteAction->isEnabled() && table.printAction->isEnabled());

        selectDocuments(table, {a, b});
        closePopupSoon();
        table.provideContexMenu(onCell);
        QVERIFY(!table.copyRecordAction->isEnabled() && !table.editAction->isEnabled());
        QVERIFY(table.deleteAction->isEnabled() && !table.printAction->isEnabled());

        closePopupSoon();
        table.provideContexMenu(below);
        QVERIFY(table.newRecordAction->isEnabled() && table.selectAllAction->isEnabled());
        QVERIFY(!table.copyRecordAction->isEnabled() && !table.editAction->isEnabled());
        QVERIFY(!table.deleteAction->isEnabled() && !table.printAction->isEnabled());
    }

    // ------------------------------------------------------------ blank check, print

    void blankCheckAgainstDistinction_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("isExcellent");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("result");
        const QString plain = QStringLiteral("Несоответствие введённых данных \nи выбора бланка для печати! \n"
                                             "Выбран бланк диплома без отличия. \nПродолжить?");
        const QString excellent = QStringLiteral("Несоответствие введённых данных \nи выбора бланка для печати! \n"
                                                 "Выбран бланк диплома с отличием. \nПродолжить?");
        QTest::newRow("401 excellent yes") << 401 << 1 << int(QMessageBox::Yes) << plain << true;
        QTest::newRow("401 excellent no") << 401 << 1 << int(QMessageBox::No) << plain << false;
        QTest::newRow("404 plain yes") << 404 << 0 << int(QMessageBox::Yes) << excellent << true;
        QTest::newRow("404 plain no") << 404 << 0 << int(QMessageBox::No) << excellent << false;
        QTest::newRow("401 plain") << 401 << 0 << int(QMessageBox::No) << QString() << true;
        QTest::newRow("404 excellent") << 404 << 1 << int(QMessageBox::No) << QString() << true;
        QTest::newRow("402 excellent") << 402 << 1 << int(QMessageBox::No) << QString() << true;
        QTest::newRow("403 plain") << 403 << 0 << int(QMessageBox::No) << QString() << true;
    }

    void blankCheckAgainstDistinction()
    {
        QFETCH(int, type);
        QFETCH(int, isExcellent);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, result);
        const int id = insertDocument(QStringLiteral("Иванов"), QStringLiteral("2020-06-30"),
                                      QStringLiteral("x"), isExcellent);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        QCOMPARE(DocumentsTable::checkFormMatchesDocument(ReportList::ReportType(type), id), result);
        QCOMPARE(answerer.texts(), question.isEmpty() ? QStringList() : QStringList{question});
        if (!question.isEmpty())
            QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
    }

    void blankCheckOfMissingDocumentGoesOn()
    {
        ModalAnswerer answerer;
        QVERIFY(DocumentsTable::checkFormMatchesDocument(ReportList::SpoDiploma, 12345));
        QCOMPARE(answerer.handledCount(), 0);
    }

    void printRoadThroughChooserAndBlankCheck()
    {
        const int id = insertDocument(QStringLiteral("Иванов"), QStringLiteral("2020-06-30"), QStringLiteral("x"), 1);
        DocumentsTable table;
        QSignalSpy printed(&table, &DocumentsTableAbstract::documentPrint);
        selectDocuments(table, {id});

        ModalAnswerer answerer;
        int chosenRow = 0;
        answerer.onDialog([&chosenRow](QWidget* widget) {
            auto* dialog = qobject_cast<PrintDialog*>(widget);
            if (!dialog)
                return false;
            dialog->findChild<QListWidget*>("listWidget")->setCurrentRow(chosenRow);
            // Clicked from the event loop: the blank check opens a box of its own.
            QMetaObject::invokeMethod(dialog->findChild<QPushButton*>("pushButtonPrint"), "click", Qt::QueuedConnection);
            return true;
        });

        answerer.answer(QMessageBox::No);
        table.onPrintAction();
        QTRY_COMPARE(answerer.handledCount(), 1);
        QTRY_VERIFY(!printDialogOpen());
        QCOMPARE(printed.count(), 0);

        answerer.answer(QMessageBox::Yes);
        table.onPrintAction();
        QTRY_COMPARE(printed.count(), 1);
        QCOMPARE(printed.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoDiploma);
        QCOMPARE(printed.at(0).at(1).toInt(), id);
        QCOMPARE(printed.at(0).at(2).toBool(), false);

        // The supplement never asks.
        chosenRow = 1;
        answerer.clear();
        table.onPrintAction();
        QTRY_COMPARE(printed.count(), 2);
        QCOMPARE(printed.at(1).at(0).value<ReportList::ReportType>(), ReportList::SpoAddition);
        QCOMPARE(answerer.handledCount(), 0);
    }
};

VELSPO_TEST_MAIN(DocumentsTableTest)
#include "tst_documentstable.moc"
