#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/FilterDockWidgetAbstract/DocumentFilter.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QScopeGuard>
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

// The menu's entries set up as for a right click, without the popup.
struct MenuTable : DocumentsTable
{
    using DocumentsTable::prepareContextMenu;
};

void selectDocuments(DocumentsTable& table, const QList<int>& ids)
{
    table.clearSelection();
    for (int id : ids)
        table.selectionModel()->select(table.tableModel()->index(rowOf(table, id), 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
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

    // More rows than the model fetches at once: all are loaded, templates left
    // out, and the filter keeps hiding the right rows through sorts and reloads.
    // Then all of them deleted at once.
    void everyRowLoadedAndFiltered()
    {
        QVERIFY(insertMany(600)); // issued 2018-01-01 + i days; every third a "Повар, кондитер"
        addDocument("Шаблон", {{"isTemplate", 1}});
        addDocument("Аааа", {{"isTemplate", QVariant()}}); // listed, unlike the template
        DocumentsTable table;
        QSqlTableModel* model = table.tableModel();
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column)
            headers << model->headerData(column, Qt::Horizontal).toString() + (table.isColumnHidden(column) ? "(hidden)" : "");
        QCOMPARE(headers.join('|'), QStringLiteral("docID(hidden)|ФИО|Дата выдачи|Номер|Рег номер|Профессия\\специальность|Дата изменения"));
        table.selectAll();
        table.onFiltersChanged(filter("  фамилия1 "));
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());
        const auto check = [&table](int visible, int total) {
            QCOMPARE(table.tableModel()->rowCount(), total);
            const QStringList names = visibleNames(table);
            QCOMPARE(names.filter(QRegularExpression("^Фамилия1")).size(), visible);
            QCOMPARE(names.size(), visible);
        };
        check(111, 601); // 1, 10-19 and 100-199
        table.sortByColumn(1, Qt::AscendingOrder);
        check(111, 601);
        table.sortByColumn(2, Qt::DescendingOrder);
        check(111, 601);
        addDocument("Фамилия1Новая", {{"issueDate", "2030-01-01"}}); // first row: every other row shifts
        table.updateData();
        check(112, 602);
        QVERIFY(table.isColumnHidden(0));
        const QList<std::pair<DocumentsTable::FilterList, int>> cases = {
            {filter(QString(), "ПОВАР"), 200},
            {filter(QString(), QString(), QDate(2018, 1, 2), QDate(2018, 1, 4)), 3}, // inclusive bounds
            {filter(QString(), QString(), QDate(2018, 1, 2)), 602},                  // one bound: no date test
            {filter("ФАМИЛИЯ1", "повар", QDate(2018, 1, 1), QDate(2018, 1, 31)), 3}, // 12, 15 and 18
        };
        for (const auto& [list, visible] : cases) {
            table.onFiltersChanged(list);
            QCOMPARE(visibleNames(table).size(), visible);
        }

        // More ids than one statement binds; a failure in the last statement
        // undoes the earlier ones too.
        QList<int> ids;
        for (const QString& id : rows("SELECT spoId FROM SpoDocuments ORDER BY spoId"))
            ids.append(id.toInt());
        QVERIFY(insertDetails(ids.last()));
        QVERIFY(exec(QStringLiteral("CREATE TRIGGER failDelete BEFORE DELETE ON SpoDocuments WHEN OLD.spoId = %1 "
                                    "BEGIN SELECT RAISE(ABORT, 'refused by test'); END").arg(ids.last())));
        QVERIFY(!DocumentsTable::deleteDocumentRecords(ids));
        QCOMPARE(count("SpoDocuments") + detailCount("DMDetails", ids.last()), 603 + 3);
        QVERIFY(exec("DROP TRIGGER failDelete"));
        QVERIFY(DocumentsTable::deleteDocumentRecords(ids));
        QCOMPARE(count("SpoDocuments") + count("DMDetails"), 0);
    }

    // The register folds every row once and compares folded texts; it must
    // find what a case-insensitive search finds, whatever the letters.
    void filterFindsWhatCaseInsensitiveSearchFinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::newRow("Cyrillic") << "Ёлкина-Щукина" << "ёЛКИНА-щ";
        QTest::newRow("sharp s") << "Straße" << "STRASSE";
        QTest::newRow("capital sharp s") << "STRAẞE" << "straße";
        QTest::newRow("final sigma") << "ΟΔΥΣΣΕΥΣ" << "δυσσευς";
        QTest::newRow("dotted capital I") << "İstanbul" << "istanbul";
        QTest::newRow("dotless i") << "ıi" << "II";
        QTest::newRow("title-case digraph") << "ǅemal" << "ǆ";
        QTest::newRow("kelvin sign") << "273 \u212A" << "k";
        QTest::newRow("beyond the BMP") << "𐐀𐐁 x" << "𐐨𐐩";
        QTest::newRow("absent") << "Иванова" << "петр";
    }
    void filterFindsWhatCaseInsensitiveSearchFinds()
    {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        const DocumentFilter byName({{"fio", typed}});
        const DocumentFilter byProfession({{"prof", typed}});
        const QString folded = DocumentFilter::folded(text);
        QCOMPARE(byName.matchesFolded(folded, {}, {}), text.contains(typed, Qt::CaseInsensitive));
        QCOMPARE(byProfession.matchesFolded({}, {}, folded), text.contains(typed, Qt::CaseInsensitive));
    }

    // A failed copy leaves no half copy and no open transaction; the next one
    // copies every detail row. Only the selected visible documents are deleted,
    // with their detail rows.
    void copyAndDeleteKeepDocumentsWhole()
    {
        const int a = addDocument("Иванов"), b = addDocument("Петров"), c = addDocument("Сидоров");
        addDocument("Сидоровский");
        QVERIFY(insertDetails(a) && insertDetails(b) && insertDetails(c));
        // Practices and disciplines are copied before the attestations fail.
        QVERIFY(exec("CREATE TRIGGER failInsert BEFORE INSERT ON AttestationDetails "
                     "BEGIN SELECT RAISE(ABORT, 'refused by test'); END"));
        DocumentsTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        selectDocuments(table, {a});
        ModalAnswerer answerer;
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(answerer.texts(), QStringList{"Не удалось создать копию документа."});
        for (const QString& name : documentTables())
            QCOMPARE(count(name), name == QLatin1String("SpoDocuments") ? 4 : 3 * detailCount(name, a));
        QVERIFY(exec("DROP TRIGGER failInsert"));
        table.onCopyRecordAction();
        QCOMPARE(clicked.count(), 1);
        const int copy = clicked.at(0).at(0).toInt();
        QCOMPARE(table.tableModel()->rowCount(), 5);
        for (const QString& name : detailTables())
            QCOMPARE(detailCount(name, copy), detailCount(name, a));
        // Blank and registration numbers emptied, series left NULL, the rest kept.
        QCOMPARE(rows("SELECT fio1, number, regNumber, additionNumber, serial IS NULL, additionSerial IS NULL, "
                      "isTemplate, professionName, issueDate, deductionNumber FROM SpoDocuments WHERE spoId = ?", {copy}),
                 QStringList{"КОПИЯ Иванов||||1|1|0|Программирование в компьютерных системах|2014-12-12|12-к"});

        answerer.clear();
        answerer.setDefaultAnswer(QMessageBox::Cancel);
        for (const QList<int>& ids : {QList<int>{a, c}, QList<int>{b}}) {
            selectDocuments(table, ids);
            table.onDeleteAction();
        }
        QCOMPARE(answerer.texts(), (QStringList{"Вы уверены, что хотите удалить выделеннные документы?",
                                                "Вы уверены, что хотите удалить выделеннный документ?"}));
        QCOMPARE(answerer.titles().value(0), QStringLiteral("Внимание!"));
        QCOMPARE(count("SpoDocuments"), 5);
        table.onFiltersChanged(filter("сидор"));
        QVERIFY(exec("CREATE TRIGGER failDelete BEFORE DELETE ON SpoDocuments BEGIN SELECT RAISE(ABORT, 'no'); END"));
        answerer.setDefaultAnswer(QMessageBox::Ok);
        table.selectAllAction->trigger();
        table.onDeleteAction();
        QCOMPARE(answerer.texts().mid(2), (QStringList{answerer.texts().at(0), "Не удалось удалить документы."}));
        QVERIFY(exec("DROP TRIGGER failDelete") && count("SpoDocuments") == 5);
        table.selectAllAction->trigger();
        table.onDeleteAction();
        QCOMPARE(rows("SELECT DISTINCT spoId FROM DMDetails UNION SELECT spoId FROM SpoDocuments"),
                 (QStringList{QString::number(a), QString::number(b), QString::number(copy)}));
        for (const QString& name : documentTables())
            QCOMPARE(count(name), 3 * detailCount(name, a));
        QCOMPARE(table.tableModel()->rowCount(), 3);
        QCOMPARE(visibleNames(table).size(), 0); // the filter stays on after the reload
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());

        const int unnamed = addDocument(QString(), {{"fio1", QVariant()}});
        QCOMPARE(column(DocumentsTable::copyDocumentRecord(unnamed), "fio1").toString(), QStringLiteral("КОПИЯ "));
        // No such row: nothing is added, and no earlier row's id comes back.
        QCOMPARE(DocumentsTable::copyDocumentRecord(unnamed + 100), 0);
    }

    // One page of the documents' table unreadable, as on a failing disk: every
    // load (the first, a sort, the reloads after a copy and a delete) keeps
    // the rows read before the error, logs it and says the list is incomplete.
    void readErrorLeavesTheListMarkedIncomplete()
    {
        int newest = 0;
        for (int i = 1; i <= 50; ++i)
            QVERIFY((newest = addDocument(QString("Фамилия%1").arg(i))) > 0);
        const auto fresh = qScopeGuard([] { resetDataDir(); }); // for the tests after this one
        QVERIFY(damageTable("SpoDocuments"));
        QVERIFY(Database::init(true));
        const QRegularExpression logged("register read stopped after \\d+ rows: \"database disk image is malformed");
        QTest::ignoreMessage(QtDebugMsg, logged);
        DocumentsTable table;
        QSignalSpy failed(&table, &DocumentsTableAbstract::readFailed);
        const int read = table.tableModel()->rowCount();
        QVERIFY2(read > 0 && read < 50, qPrintable(QString::number(read)));
        const QString text = "Не удалось прочитать список документов полностью: файл базы данных повреждён или "
                             "недоступен.\nПоказаны только прочитанные документы (%1), список неполон.\n"
                             "Восстановите базу данных из резервной копии.";
        QCOMPARE(table.loadProblem(), text.arg(read));

        // The newest document lies before the damage in the register's order.
        QCOMPARE(table.tableModel()->index(0, 0).data().toInt(), newest);
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtDebugMsg, logged);
        // As a click on a header sorts (sortByColumn would select twice).
        table.horizontalHeader()->setSortIndicator(1, Qt::AscendingOrder);
        table.horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
        selectDocuments(table, {newest});
        table.onCopyRecordAction();
        QCOMPARE(failed.count(), 3);
        QCOMPARE(failed.first().value(0).toString(), text.arg(0)); // a sort reads every row before the first
        QCOMPARE(failed.last().value(0).toString(), text.arg(read + 1));
        ModalAnswerer answerer;
        QTest::ignoreMessage(QtDebugMsg, logged);
        selectDocuments(table, {newest + 1});
        table.onDeleteAction();
        QCOMPARE(answerer.texts(), QStringList{"Вы уверены, что хотите удалить выделеннный документ?"});
        QCOMPARE(failed.count(), 4);
        QCOMPARE(table.loadProblem(), text.arg(read));
        QCOMPARE(table.tableModel()->index(0, 0).data().toInt(), newest);
    }

    // Row actions need a selected row, whatever the current cell; the menu says so.
    void rowActionsAndMenuFollowTheSelection()
    {
        const int a = addDocument("Иванов"), b = addDocument("Петров");
        MenuTable table;
        QSignalSpy clicked(&table, &DocumentsTableAbstract::documentClicked);
        table.setCurrentIndex(table.tableModel()->index(0, 1));
        table.clearSelection();
        table.onEditAction();
        table.onCopyRecordAction();
        table.onPrintAction();
        QVERIFY(!table.findChild<PrintDialog*>());
        QCOMPARE(count("SpoDocuments"), 2);
        selectDocuments(table, {a});
        table.onEditAction();
        table.updateData(); // a reload drops the selection
        table.onEditAction();
        table.onRowActivated(table.tableModel()->index(rowOf(table, b), 2));
        table.newRecordAction->trigger();
        QVariantList ids;
        for (const QVariantList& arguments : qAsConst(clicked))
            ids << arguments.at(0);
        QCOMPARE(ids, QVariantList({a, b, -1}));

        table.resize(600, 400);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        QCOMPARE(FormWidgets::actionTexts(table.findChild<QMenu*>()->actions()),
                 (QStringList{"Добавить новый", "Создать копию записи", "—", "Редактировать", "Удалить", "Печатать",
                              "—", "Выделить всё"}));
        const auto enabled = [&table](QPoint pos) {
            table.prepareContextMenu(pos);
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

    // The print road: the chooser, then the blank against the document's distinction.
    void printChecksTheBlank_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("isExcellent"); // -1: an excellent one deleted behind the register's back
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("chosen"); // the blank the question names, if any
        QTest::newRow("401 excellent, no") << 401 << 1 << int(QMessageBox::No) << "без отличия";
        QTest::newRow("404 plain, yes") << 404 << 0 << int(QMessageBox::Yes) << "с отличием";
        QTest::newRow("401 plain") << 401 << 0 << int(QMessageBox::No) << QString();
        QTest::newRow("404 excellent") << 404 << 1 << int(QMessageBox::No) << QString();
        QTest::newRow("402 excellent") << 402 << 1 << int(QMessageBox::No) << QString();
        QTest::newRow("no such document") << 401 << -1 << int(QMessageBox::No) << QString();
    }

    void printChecksTheBlank()
    {
        QFETCH(int, type);
        QFETCH(int, isExcellent);
        QFETCH(int, answer);
        QFETCH(QString, chosen);
        const int id = addDocument("Иванов", {{"isExcellent", int(isExcellent != 0)}});
        DocumentsTable table;
        QSignalSpy printed(&table, &DocumentsTableAbstract::documentPrint);
        selectDocuments(table, {id});
        if (isExcellent < 0)
            QVERIFY(exec("DELETE FROM SpoDocuments"));
        ModalAnswerer answerer;
        answerer.onDialog([type](QWidget* widget) {
            auto* dialog = qobject_cast<PrintDialog*>(widget);
            if (dialog) { // from the event loop: the blank check opens a box of its own
                FormWidgets::child<QListWidget>(dialog, "listWidget")->setCurrentRow(type - ReportList::SpoDiploma);
                QMetaObject::invokeMethod(FormWidgets::button(dialog, "pushButtonPrint"), "click", Qt::QueuedConnection);
            }
            return dialog != nullptr;
        });
        answerer.answer(QMessageBox::StandardButton(answer));
        table.onPrintAction();
        QTRY_VERIFY(!table.findChild<PrintDialog*>());
        const QString question = "Внимание!|Несоответствие введённых данных \nи выбора бланка для печати! \n"
                                 "Выбран бланк диплома %1. \nПродолжить?";
        QCOMPARE((answerer.titles() + answerer.texts()).join('|'), chosen.isEmpty() ? QString() : question.arg(chosen));
        if (!chosen.isEmpty() && answer == QMessageBox::No)
            QCOMPARE(printed.count(), 0);
        else
            QCOMPARE(printed.value(0), (QVariantList{QVariant::fromValue(ReportList::ReportType(type)), id, false}));
    }
};

VELSPO_TEST_MAIN(DocumentsTableTest)
#include "tst_documentstable.moc"
