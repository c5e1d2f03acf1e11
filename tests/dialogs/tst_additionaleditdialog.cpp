#include "dialogs/AdditionalEditDialog.h"
#include "dialogs/ComboBoxRateItemDelegate.h"
#include "dialogs/DocumentEditDialog.h"
#include "engine/Database.h"
#include "support/Typing.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QWindow>

using namespace DocumentFixtures;
using namespace FormWidgets;

// The supplement editor over its six tables, and the grade chooser.
class AdditionalEditDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(openEmpty());
        for (const QString& table : detailTables())
            Database::tableModel(table)->setFilter(QString());
        QVERIFY((docId = insertDocument(fullDocument())) > 0);
    }

    void cleanup()
    {
        delete dialog;
        QLocale::setDefault(QLocale::system());
        if (damaged)
            resetDataDir(); // the next test starts from a sound file
        damaged = false;
        Database::setKnownDamaged(false);
    }

    void hoursAndTotals_data()
    {
        QTest::addColumn<QStringList>("disciplines"); // "total/audit"
        QTest::addColumn<QString>("exam");
        QTest::addColumn<QStringList>("subjects");
        QTest::addColumn<QString>("totals"); // the four calculated fields, then the module's hours
        QTest::newRow("nothing") << QStringList() << QString() << QStringList() << "0|0|0|0 ";
        QTest::newRow("comma and point") << QStringList{"12,5/4", "7.5/4,5", "много/1"} << QString() << QStringList()
                                         << "20|9.5|20|9.5 ";
        QTest::newRow("module") << QStringList{"12,5/10", "7.5/10"} << "2.5" << QStringList{"10/8", "20/12"}
                                << "52.5|40|52.5|40 32.5|20";
        QTest::newRow("exponent") << QStringList{"999999/1", "1/1"} << QString() << QStringList() << "1e+06|2|1e+06|2 ";
    }

    void hoursAndTotals()
    {
        QFETCH(QStringList, disciplines);
        QFETCH(QString, exam);
        QFETCH(QStringList, subjects);
        QFETCH(QString, totals);
        // Another document's module, stored with hours its rows do not give:
        // only its own editor recomputes it.
        const int other = insertDocument();
        const int otherModule = insertRow("ModuleDetails", {{"spoId", other}, {"moduleCount", 7}, {"moduleCountAudit", 7}});
        QVERIFY(insertRow("DMDetails", {{"spoId", other}, {"moduleId", otherModule}, {"dmCount", 1}}) > 0);
        for (const QString& hours : disciplines)
            QVERIFY(insertRow("DisciplineDetails", {{"spoId", docId}, {"disciplineCount", hours.section('/', 0, 0)},
                                                    {"disciplineCountAudit", hours.section('/', 1)}}) > 0);
        if (!exam.isEmpty()) {
            const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleExamCount", exam}});
            for (const QString& hours : subjects)
                QVERIFY(insertRow("DMDetails", {{"spoId", docId}, {"moduleId", module},
                                                {"dmCount", hours.section('/', 0, 0)},
                                                {"dmCountAudit", hours.section('/', 1)}}) > 0);
        }
        open(docId);
        QStringList texts;
        for (const char* name : {"lineEditDisciplinesTotalCountCalculated", "lineEditDisciplinesAuditCountCalculated",
                                 "lineEditDisciplinesTotalCountCalculated_2", "lineEditDisciplinesAuditCountCalculated_2"})
            texts << edit(dialog, name)->text();
        QCOMPARE(texts.join('|') + ' ' + rows("SELECT moduleCount, moduleCountAudit FROM ModuleDetails WHERE spoId = ?",
                                              {docId}).join(','),
                 totals.section(' ', 0, 0).replace('.', point()) + ' ' + totals.section(' ', 1)); // shown, stored
        QCOMPARE(rows("SELECT moduleCount, moduleCountAudit FROM ModuleDetails WHERE spoId = ?", {other}),
                 QStringList{"7|7"});
    }

    // A database made before the indexes gets them when it is opened, and the
    // editor's reads of one document and one module use them.
    void olderDatabaseGetsItsIndexes()
    {
        const QStringList indexes = rows("SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
        QCOMPARE(indexes.size(), 9);
        for (const QString& index : indexes)
            QVERIFY(exec("DROP INDEX " + index));
        Database::destroy();
        QVERIFY(Database::init(true));
        QCOMPARE(rows("SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"), indexes);
        for (const char* read : {"SELECT * FROM DMDetails WHERE moduleId = 1", "SELECT * FROM DMDetails WHERE spoId = 1",
                                    "SELECT * FROM ModuleDetails WHERE spoId = 1",
                                    "SELECT * FROM DisciplineDetails WHERE spoId = 1",
                                    "SELECT totalCount FROM SpoDocuments"})
            QVERIFY2(rows(QString("EXPLAIN QUERY PLAN ") + read).join(' ').contains(" INDEX "), read);
    }

    // Showing exam hours writes nothing back; the hours the user types are stored once typed, and the
    // hours and totals follow; a deleted module's sub-subjects are no longer listed.
    void examHoursAreWrittenOnlyByTheUser()
    {
        for (const char* exam : {"1,5", "2.56"}) {
            const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleExamCount", exam}});
            QVERIFY(insertRow("DMDetails", {{"spoId", docId}, {"moduleId", module}, {"dmCount", 10}}) > 0);
        }
        openForEdit();
        auto* spin = child<QDoubleSpinBox>(dialog, "spinBoxExam");
        const double first = spin->value();
        selectModule(1);
        QCOMPARE(QList<double>({first, spin->value()}), QList<double>({1.5, 2.6}));
        const QString hours = "SELECT moduleExamCount, moduleCount FROM ModuleDetails ORDER BY moduleId";
        QCOMPARE(rows(hours), QStringList({"1,5|11.5", "2.56|12.56"}));

        selectModule(0);
        Typing::typeOver(spin, "2" + point() + "5", Qt::Key_Return);
        QCOMPARE(rows(hours), QStringList({"2.5|12.5", "2.56|12.56"}));
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated_2")->text(), "25" + point() + "06");
        // A typed sub-subject's hours count once they are stored.
        typeCell(view("tableViewDM"), 0, 4, "20" + point() + "5");
        QCOMPARE(rows("SELECT dmCount FROM DMDetails ORDER BY dmId").value(0), "20" + point() + "5");
        QCOMPARE(rows(hours).value(0) + '|' + edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text(),
                 "2.5|23|35" + point() + "56");
        // The module stays current: Delete acts on it, with its sub-subject, which is no longer listed.
        ModalAnswerer answerer;
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(rows("SELECT moduleExamCount FROM ModuleDetails") + rows("SELECT dmCount FROM DMDetails"),
                 QStringList({"2.56", "10"}));
        QCOMPARE(view("tableViewDM")->model()->rowCount(), 0);
    }

    // Opened from the form; then a missing document shows no rows, and the closed editor left no handler.
    void openedFromTheFormOrOnAMissingDocument()
    {
        QVERIFY(insertDetails(docId));
        QPointer<DocumentEditDialog> form = new DocumentEditDialog;
        form->setSpoId(docId);
        button(form, "pushButtonAdditonal")->click();
        dialog = form->findChild<AdditionalEditDialog*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle() + QString::number(view("tableViewDisciplines")->model()->rowCount()),
                 QStringLiteral("Приложение к документу3"));
        button(dialog, "pushButtonEditForm")->click();
        selectModule(0);
        QStringList headers; // the module id column stays hidden
        for (int column = 0; column < 7; ++column)
            if (!view("tableViewDM")->isColumnHidden(column))
                headers << view("tableViewDM")->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"      Название      ", "Общ. кол-во часов", "Ауд. кол-во часов", "   Оценка   "}));
        delete form;

        Database::tableModel("DisciplineDetails")->setData(Database::tableModel("DisciplineDetails")->index(0, 2), "x");
        open(docId + 100);
        for (QTableView* table : dialog->findChildren<QTableView*>())
            QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(!button(dialog, "pushButtonEditForm")->isEnabled());
    }

    // A moved module keeps its sub-subjects and hours; after Save and Edit, Delete waits for a pick.
    void moveAndDeleteModules()
    {
        QVERIFY(insertDetails(docId));
        const int other = insertDocument();
        QVERIFY(insertDetails(other));
        openForEdit();
        const QString keptTogether = "SELECT m.moduleName, group_concat(d.dmName), m.moduleCount FROM ModuleDetails m "
                                     "JOIN DMDetails d ON d.moduleId = m.moduleId WHERE m.spoId = ? "
                                     "GROUP BY m.moduleId ORDER BY m.moduleId";
        button(dialog, "pushButtonDownModule")->click();
        QCOMPARE(rows(keptTogether, {docId}), QStringList({"Модуль 2|МДК 2.1|56", "Модуль 1|МДК 1.1,МДК 1.2|100"}));
        QCOMPARE(states(dialog, {{'u', "pushButtonUpModule"}, {'d', "pushButtonDownModule"}}), QStringLiteral("UD-"));
        button(dialog, "pushButtonUpModule")->click();
        QCOMPARE(rows(keptTogether, {docId}), QStringList({"Модуль 1|МДК 1.1,МДК 1.2|100", "Модуль 2|МДК 2.1|56"}));

        button(dialog, "pushButtonSave")->click();
        button(dialog, "pushButtonEditForm")->click();
        QVERIFY(!button(dialog, "pushButtonDeleteModule")->isEnabled());
        selectModule(0);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(detailCount("DMDetails", docId), 3);
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(rows("SELECT dmName FROM DMDetails WHERE spoId = ?", {docId}), QStringList{"МДК 2.1"});
        QVERIFY(!button(dialog, "pushButtonDeleteModule")->isEnabled());
        selectModule(0);
        QCOMPARE(view("tableViewDM")->model()->rowCount(), 1);
        button(dialog, "pushButtonDeleteAllModules")->click();
        QCOMPARE(detailCount("ModuleDetails", docId) + detailCount("DMDetails", docId), 0);
        QCOMPARE(view("tableViewDM")->model()->rowCount(), 0);
        QCOMPARE(detailCount("DMDetails", other), 3);
        const QString one = "Вы уверены, что хотите удалить выделенную строку?";
        QCOMPARE(answerer.texts(), QStringList({one, one, "Вы уверены, что хотите удалить все строки?"}));
    }

    void typedRows_data()
    {
        QTest::addColumn<QString>("table"); // the view and its add button
        QTest::addColumn<QString>("typed"); // cells of the new row, '/' between them; ',' is the decimal point
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("total"); // the calculated total and classroom hours
        QTest::newRow("discipline") << "tableViewDisciplines|Discipline" << "Физика/72,5/36"
                                    << "SELECT spoId, disciplineName, disciplineCount, disciplineCountAudit "
                                       "FROM DisciplineDetails" << "72.5|36";
        QTest::newRow("practice") << "tableViewPractices|Practice" << "Учебная/2,5"
                                  << "SELECT spoId, practiceName, practiceCount FROM PracticeDetails" << "0|0";
        QTest::newRow("attestation") << "tableViewAttestations|Attestation" << "Экзамен"
                                     << "SELECT spoId, attestationName FROM AttestationDetails" << "0|0";
        QTest::newRow("coursework") << "tableViewCourseworks|Coursework" << "Проект «Мост»"
                                    << "SELECT spoId, cwName FROM CourseworkDetails" << "0|0";
        QTest::newRow("module name") << "tableViewModules|Module" << "Модуль 2"
                                     << "SELECT spoId, moduleName FROM ModuleDetails WHERE moduleName <> 'М'" << "0|0";
        QTest::newRow("sub-subject") << "tableViewDM|DM" << "МДК 1/30,5/24"
                                     << "SELECT spoId, dmName, dmCount, dmCountAudit FROM DMDetails" << "30.5|24";
    }

    // A new row gets its document (and a sub-subject its module) in one submit; typing starts in its
    // name, Tab goes on, and what was typed, with the locale's decimal point, is what is stored.
    void typedRows()
    {
        QFETCH(QString, table);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, total);
        typed.replace(',', point());
        total.replace('.', point()); // totals are shown with the locale's mark
        const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleName", "М"}});
        openForEdit();
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        QTableView* tableView = view(table.section('|', 0, 0).toLatin1());
        button(dialog, ("pushButtonAdd" + table.section('|', 1)).toLatin1())->click();
        for (const QString& cell : typed.split('/')) {
            QWidget* editor = tableView->indexWidget(tableView->currentIndex());
            QVERIFY(editor);
            Typing::type(editor, cell);
            QTest::keyClick(editor, Qt::Key_Tab);
        }
        qInstallMessageHandler(previous);
        QCOMPARE(rows(stored), QStringList{QString::number(docId) + '|' + typed.replace('/', '|')});
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text() + '|'
                     + edit(dialog, "lineEditDisciplinesAuditCountCalculated")->text(), total);
        QCOMPARE(rows("SELECT count(*) FROM DMDetails WHERE moduleId <> ?", {module}), QStringList{"0"});
        QCOMPARE(logged.filter("NOT NULL"), QStringList());
    }

    void enterNavigation_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QPoint>("from"); // (column, row)
        QTest::addColumn<QPoint>("to");
        QTest::newRow("grade opens its list") << "tableViewDisciplines" << QPoint(4, 0) << QPoint(5, 0);
        QTest::newRow("last column") << "tableViewDisciplines" << QPoint(5, 0) << QPoint(2, 1);
        QTest::newRow("no exam column") << "tableViewModules" << QPoint(5, 0) << QPoint(2, 1);
        QTest::newRow("no module column") << "tableViewDM" << QPoint(6, 0) << QPoint(3, 1);
        QTest::newRow("sub-subject wraps") << "tableViewDM" << QPoint(6, 1) << QPoint(3, 0);
    }

    void enterNavigation()
    {
        QFETCH(QString, table);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QVERIFY(insertDetails(docId));
        openForEdit();
        QTableView* tableView = view(table.toLatin1());
        tableView->setCurrentIndex(tableView->model()->index(from.y(), from.x()));
        QTest::keyClick(tableView, Qt::Key_Return);
        QCOMPARE(QPoint(tableView->currentIndex().column(), tableView->currentIndex().row()), to);
        auto* grade = qobject_cast<QComboBox*>(tableView->indexWidget(tableView->currentIndex()));
        QCOMPARE(grade && grade->view()->isVisible(), to.x() == 5 && table == QLatin1String("tableViewDisciplines"));
        if (grade)
            grade->hidePopup();
    }

    // Save stores each typed field in its own column and goes to view mode; a failed save keeps
    // editing; Close writes nothing.
    void saveAndClose()
    {
        openForEdit();
        Typing::typeOver(child<QComboBox>(dialog, "comboBoxPreviousEducation"), "Аттестат 2019", Qt::Key_Return);
        Typing::typeOver(child<QComboBox>(dialog, "comboBoxTotalCount"), "3 года 10 месяцев", Qt::Key_Tab);
        Typing::typeOver(edit(dialog, "lineEditAttestationTotalCount"), "6 недель", Qt::Key_Tab);
        Typing::typeOver(edit(dialog, "lineEditPracticeTotalCount"), "12" + point() + "5 недель", Qt::Key_Return);
        auto* comment = child<QPlainTextEdit>(dialog, "plainTextEditComment");
        QTest::keyClick(comment, Qt::Key_A, Qt::ControlModifier);
        Typing::type(comment, "с отличием");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(rows("SELECT previousEducation, totalCount, attestationTotalCount, practiceTotalCount, comment "
                      "FROM SpoDocuments WHERE spoId = ?", {docId}),
                 QStringList{"Аттестат 2019|3 года 10 месяцев|6 недель|12" + point() + "5 недель|с отличием"});
        QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}, {'t', "tab"}}),
                 QStringLiteral("EsT-"));

        QVERIFY(exec("CREATE TRIGGER locked BEFORE UPDATE ON SpoDocuments BEGIN SELECT RAISE(ABORT, 'locked'); END"));
        button(dialog, "pushButtonEditForm")->click();
        ModalAnswerer answerer;
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить приложение к документу."});
        QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}}), QStringLiteral("eS"));
        QVERIFY(exec("DROP TRIGGER locked"));

        Typing::type(comment, " и другое");
        button(dialog, "pushButtonCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(column(docId, "comment").toString(), QStringLiteral("с отличием"));
    }

    void refusedWrites_data()
    {
        QTest::addColumn<QString>("trigger"); // the refused statement on DisciplineDetails
        QTest::addColumn<QString>("action"); // a cell typed in, or the button clicked
        QTest::addColumn<QString>("said");
        // The second row written: the first must not stay written.
        const QString last = " WHEN OLD.disciplineName = 'Дисциплина %1'";
        QTest::newRow("cell") << "UPDATE" << "cell" << "Не удалось записать изменение";
        QTest::newRow("add") << "INSERT" << "AddDiscipline" << "Не удалось добавить строку";
        QTest::newRow("delete") << "DELETE" << "DeleteDiscipline" << "Не удалось удалить строки";
        QTest::newRow("delete all, one refused") << "DELETE" + last.arg(2) << "DeleteAllDisciplines"
                                                 << "Не удалось удалить строки";
        QTest::newRow("move, one row refused") << "UPDATE OF disciplineName" + last.arg(3) << "DownDisciplines"
                                               << "Не удалось переместить строку";
    }

    // A table write the database refuses is said; the rows stay as stored and what the user typed
    // stays, through a later move too; a refused cell is written by Save once the database takes it.
    void refusedWrites()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, action);
        QFETCH(QString, said);
        QVERIFY(insertDetails(docId));
        openForEdit();
        QTableView* disciplines = view("tableViewDisciplines");
        typeCell(disciplines, 0, 2, "Химия");
        trigger.replace(" WHEN", " ON DisciplineDetails WHEN");
        if (!trigger.contains(" ON "))
            trigger += " ON DisciplineDetails";
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE " + trigger + " BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        ModalAnswerer answerer;
        disciplines->setCurrentIndex(disciplines->model()->index(1, 2));
        if (action == "cell")
            typeCell(disciplines, 1, 2, "Физика");
        else
            button(dialog, ("pushButton" + action).toLatin1())->click();
        QTRY_VERIFY(!answerer.texts().isEmpty() && answerer.texts().last().startsWith(said));
        const QStringList names = rows("SELECT disciplineName FROM DisciplineDetails ORDER BY discId");
        QCOMPARE(names, QStringList({"Химия", "Дисциплина 2", "Дисциплина 3"}));
        QStringList shown;
        for (int row = 0; row < disciplines->model()->rowCount(); ++row)
            shown << disciplines->model()->index(row, 2).data().toString();
        QCOMPARE(shown, action == "cell" ? QStringList({"Химия", "Физика", "Дисциплина 3"}) : names);
        if (action != "cell")
            return;
        // A move would reload the rows: it waits until the typed value is stored.
        button(dialog, "pushButtonDownDisciplines")->click();
        QVERIFY(answerer.texts().last().startsWith("Не удалось переместить строку"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.texts().last(), QStringLiteral("Не удалось сохранить приложение к документу."));
        QCOMPARE(states(dialog, {{'s', "pushButtonSave"}}) + disciplines->model()->index(1, 2).data().toString(),
                 QStringLiteral("SФизика"));
        QVERIFY(exec("DROP TRIGGER refuse"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(rows("SELECT disciplineName FROM DisciplineDetails WHERE discId = ?",
                      {disciplines->model()->index(1, 0).data()}) + QStringList(states(dialog, {{'s', "pushButtonSave"}})),
                 QStringList({"Физика", "s"}));
    }

    // Every row of the document goes, past the first batch a view fetches too; other documents keep theirs.
    void deleteAllRemovesEveryRow()
    {
        QVERIFY(insertDisciplines(docId, 300));
        const int other = insertDocument();
        QVERIFY(insertDisciplines(other, 2));
        openForEdit();
        ModalAnswerer answerer;
        button(dialog, "pushButtonDeleteAllDisciplines")->click();
        QCOMPARE(detailCount("DisciplineDetails", docId), 0);
        QCOMPARE(detailCount("DisciplineDetails", other), 2);
        QCOMPARE(view("tableViewDisciplines")->model()->rowCount(), 0);
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text(), QStringLiteral("0"));
    }

    void unreadableRowsAreSaid_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("count"); // rows in the table, the document's unless nothing is unread
        QTest::addColumn<QString>("part"); // named in the box; empty: the document reads whole
        QTest::addColumn<bool>("known"); // the database is known damaged before the editor opens
        QTest::newRow("disciplines") << "DisciplineDetails" << 300 << "учебные предметы" << false;
        // The damaged page is past the rows a view fetches at first.
        QTest::newRow("disciplines further on") << "DisciplineDetails" << 1500 << "учебные предметы" << false;
        QTest::newRow("sub-subjects") << "DMDetails" << 300 << "предметы модулей" << false;
        QTest::newRow("practices") << "PracticeDetails" << 300 << "практика" << false;
        // A read that fails for another reason: the editor is locked all the same, the file is not damaged.
        QTest::newRow("practices, no damage") << "PracticeDetails" << 300 << "практика" << false;
        // No module hours are recomputed, so the sub-subjects are first read when a module is picked.
        QTest::newRow("sub-subjects, read in editing") << "DMDetails" << 300 << "предметы модулей" << true;
        QTest::newRow("another document's disciplines") << "DisciplineDetails" << 300 << "" << true;
        QTest::newRow("document row") << "SpoDocuments" << 400 << "общие сведения" << false;
    }

    // A damaged page among the document's rows: the box says what could not be read, the log has the
    // error, and editing is refused, so that no delete or save acts on rows the editor never saw; also
    // when the rows fail only once the user is editing. The database is then known damaged, and the
    // editor writes nothing into the file, not even module hours.
    void unreadableRowsAreSaid()
    {
        QFETCH(QString, table);
        QFETCH(int, count);
        QFETCH(QString, part);
        QFETCH(bool, known);
        QVERIFY(insertDetails(docId));
        const int owner = part.isEmpty() ? insertDocument() : docId;
        if (table == "SpoDocuments") {
            QVERIFY(insertMany(count));
        } else if (table == "PracticeDetails") {
            QVERIFY(exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                 "INSERT INTO PracticeDetails (spoId, practiceName, practiceCount) "
                                 "SELECT ?, 'Практика ' || i, 2 FROM n").arg(count), {docId}));
        } else {
            QVERIFY(insertDisciplines(owner, count));
            const int module = scalar("SELECT min(moduleId) FROM ModuleDetails").toInt();
            QVERIFY(exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                 "INSERT INTO DMDetails (spoId, moduleId, dmName, dmCount, dmCountAudit) "
                                 "SELECT ?, ?, 'МДК ' || i, 1, 1 FROM n").arg(count), {docId, module}));
        }
        damaged = true;
        const bool damage = !QByteArray(QTest::currentDataTag()).endsWith("no damage");
        if (damage) {
            QVERIFY(damageTable(table));
            QVERIFY(Database::init(true));
        } else {
            // The cached model still reads the table under its old name.
            QVERIFY(exec("ALTER TABLE PracticeDetails RENAME TO PracticeRows"));
        }
        int opened = docId;
        for (int id = docId + 1; table == "SpoDocuments" && opened == docId && id <= docId + count; ++id) {
            if (!readsWhole(id))
                opened = id;
        }
        QVERIFY(opened != docId || table != "SpoDocuments");
        Database::setKnownDamaged(known);
        const QByteArray stored = fileBytes();
        ModalAnswerer answerer;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        logged.clear();
        open(opened);
        if (known) {
            QCoreApplication::processEvents();
            QCOMPARE(answerer.texts(), QStringList());
            button(dialog, "pushButtonEditForm")->click();
            selectModule(0);
            QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}}), QStringLiteral("eS"));
        }
        if (!part.isEmpty())
            QTRY_COMPARE(answerer.texts().size(), 1);
        qInstallMessageHandler(previous);
        QCOMPARE(Database::isKnownDamaged(), damage);
        if (!part.isEmpty()) {
            QVERIFY2(answerer.texts().first().contains(part), qPrintable(answerer.texts().first()));
            QVERIFY(answerer.texts().first().startsWith("Не удалось прочитать"));
            QVERIFY2(!logged.filter(table).filter(damage ? "malformed" : "Unable to find table").isEmpty(),
                     qPrintable(logged.join('\n')));
            QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}}), QStringLiteral("E-s"));
        }
        // Nothing was shown as a result: the totals are not given from part of the rows.
        if (table == "DisciplineDetails" && !part.isEmpty())
            QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text()
                         + edit(dialog, "lineEditDisciplinesAuditCountCalculated_2")->text(), QString());
        delete dialog;
        QVERIFY(fileBytes() == stored);
    }

    void examHoursTyped_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("exam");
        QTest::addColumn<QString>("hours"); // a sub-subject's hours, with the other mark
        for (const QLocale& locale : {QLocale(QLocale::Russian, QLocale::Russia), QLocale::c()}) {
            const QByteArray name = locale.name().toLatin1();
            QTest::newRow(name + " comma") << locale << "1,5" << "60.2";
            QTest::newRow(name + " point") << locale << "1.5" << "60,2";
        }
    }

    // Exam hours take a comma and a point alike in either locale, are stored as a number as before, and the
    // module's hours and the totals follow; decimals are shown with the locale's mark everywhere.
    void examHoursTyped()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, exam);
        QFETCH(QString, hours);
        QLocale::setDefault(locale);
        const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleName", "М"}});
        for (int dm : {60, 30})
            QVERIFY(insertRow("DMDetails", {{"spoId", docId}, {"moduleId", module}, {"dmCount", dm},
                                            {"dmCountAudit", dm / 2}}) > 0);
        openForEdit();
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated_2")->text(), QStringLiteral("90"));
        auto* spin = child<QDoubleSpinBox>(dialog, "spinBoxExam");
        Typing::typeOver(spin, exam, Qt::Key_Return);
        QCOMPARE(spin->text(), locale.toString(1.5, 'f', 1));
        const QString stored = "SELECT moduleExamCount, moduleCount FROM ModuleDetails";
        QCOMPARE(rows(stored), QStringList{"1.5|91.5"});
        typeCell(view("tableViewDM"), 0, 4, hours);
        QCOMPARE(rows("SELECT dmCount FROM DMDetails ORDER BY dmId").value(0), hours);
        QCOMPARE(rows(stored), QStringList{"1.5|91.7"});
        const QString mark = locale.decimalPoint();
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text() + ' '
                     + edit(dialog, "lineEditDisciplinesTotalCountCalculated_2")->text() + ' '
                     + edit(dialog, "lineEditDisciplinesAuditCountCalculated_2")->text(),
                 "91" + mark + "7 91" + mark + "7 45");
    }

    // Right after a sub-subject's grade is chosen, the first click on the module's grade opens its list,
    // and both grades are stored.
    void moduleGradeRightAfterASubjectGrade()
    {
        QVERIFY(insertDetails(docId));
        open(docId);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        button(dialog, "pushButtonEditForm")->click();
        child<QTabWidget>(dialog, "tabWidget")->setCurrentWidget(child<QWidget>(dialog, "tab_6"));
        QTableView* modules = view("tableViewModules");
        QTableView* subjects = view("tableViewDM");
        clickCell(modules, modules->model()->index(0, 2));
        QCOMPARE(subjects->model()->rowCount(), 2);

        chooseGrade(subjects, subjects->model()->index(0, 6), "удовлетворительно");
        chooseGrade(modules, modules->model()->index(0, 5), "хорошо");
        clickCell(modules, modules->model()->index(1, 2)); // the grade's list closed, the focus leaves it
        QCOMPARE(rows("SELECT dmRate FROM DMDetails WHERE spoId = ? ORDER BY dmId", {docId}).value(0),
                 QStringLiteral("удовлетворительно"));
        QCOMPARE(rows("SELECT moduleRate FROM ModuleDetails WHERE spoId = ? ORDER BY moduleId", {docId}).value(0),
                 QStringLiteral("хорошо"));
    }

    void refusedModuleDeleteKeepsItsSubjects_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("delete") << "pushButtonDeleteModule";
        QTest::newRow("delete all") << "pushButtonDeleteAllModules";
    }

    // The database refuses to remove the module row: its sub-subjects, removed first, come back with it.
    void refusedModuleDeleteKeepsItsSubjects()
    {
        QFETCH(QString, action);
        QVERIFY(insertDetails(docId));
        openForEdit();
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE DELETE ON ModuleDetails BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        ModalAnswerer answerer;
        button(dialog, action.toLatin1())->click();
        QTRY_VERIFY(answerer.texts().size() == 2);
        QVERIFY(answerer.texts().last().startsWith("Не удалось удалить строки"));
        QCOMPARE(detailCount("ModuleDetails", docId) * 10 + detailCount("DMDetails", docId), 23);
        QCOMPARE(view("tableViewModules")->model()->rowCount(), 2);
    }

    // After a module goes, the four totals shown are those of the stored rows.
    void totalsAfterAModuleDelete()
    {
        QVERIFY(insertDetails(docId));
        openForEdit();
        const QString shownBefore = edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text();
        ModalAnswerer answerer;
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(detailCount("ModuleDetails", docId), 1);
        const QString stored = rows(
            "SELECT (SELECT sum(replace(disciplineCount, ',', '.')) FROM DisciplineDetails WHERE spoId = ?) "
            "+ (SELECT sum(moduleCount) FROM ModuleDetails WHERE spoId = ?), "
            "(SELECT sum(disciplineCountAudit) FROM DisciplineDetails WHERE spoId = ?) "
            "+ (SELECT sum(moduleCountAudit) FROM ModuleDetails WHERE spoId = ?)", {docId, docId, docId, docId}).value(0);
        QStringList shown;
        for (const char* name : {"lineEditDisciplinesTotalCountCalculated", "lineEditDisciplinesAuditCountCalculated",
                                 "lineEditDisciplinesTotalCountCalculated_2", "lineEditDisciplinesAuditCountCalculated_2"})
            shown << edit(dialog, name)->text().replace(point(), ".");
        QVERIFY(shown.first() != shownBefore);
        QCOMPARE(shown.join('|'), stored + '|' + stored);
    }

    // A stored grade the list lacks survives showing and leaving; only a choice replaces it.
    void gradeChooser()
    {
        const QStringList stored = {"хорошо", "Отлично", "5"};
        QStandardItemModel model(stored.size(), 1);
        QTableView table;
        table.setModel(&model);
        table.setItemDelegateForColumn(0, new ComboBoxRateItemDelegate(&table, false, false));
        QFocusEvent leave(QEvent::FocusOut);
        QStringList shown;
        for (int row = 0; row < stored.size(); ++row) {
            model.setData(model.index(row, 0), stored.at(row));
            table.openPersistentEditor(model.index(row, 0));
            auto* combo = qobject_cast<QComboBox*>(table.indexWidget(model.index(row, 0)));
            shown << combo->currentText() + '/' + QString::number(combo->count());
            QCoreApplication::sendEvent(combo, &leave); // commits the editor
            QCOMPARE(model.index(row, 0).data().toString(), stored.at(row));
        }
        QCOMPARE(shown, QStringList({"хорошо/5", "/5", "/5"}));
        auto* combo = qobject_cast<QComboBox*>(table.indexWidget(model.index(2, 0)));
        QTest::keyClick(combo, Qt::Key_End); // the user picks the last grade
        QCoreApplication::sendEvent(combo, &leave);
        QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("зачтено"));
    }

private:
    void open(int id)
    {
        dialog = new AdditionalEditDialog;
        dialog->setDocument(id);
        dialog->show();
    }
    void openForEdit()
    {
        open(docId);
        button(dialog, "pushButtonEditForm")->click();
        selectModule(0);
    }
    QTableView* view(const char* name) const { return child<QTableView>(dialog, name); }
    static QByteArray fileBytes()
    {
        QFile file(Database::databaseFileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // True when the document's row can be read.
    static bool readsWhole(int id)
    {
        QSqlQuery query;
        query.prepare("SELECT * FROM SpoDocuments WHERE spoId = ?");
        query.addBindValue(id);
        return query.exec() && query.next();
    }
    static QString point() { return QLocale().decimalPoint(); }
    // F2 opens the cell's editor; Tab stores what was typed.
    static void typeCell(QTableView* table, int row, int column, const QString& text)
    {
        table->setCurrentIndex(table->model()->index(row, column));
        QTest::keyClick(table, Qt::Key_F2);
        QWidget* editor = table->indexWidget(table->currentIndex());
        QVERIFY(editor);
        Typing::typeOver(editor, text, Qt::Key_Tab);
    }
    // Pressed and released where a user would click: through the window, so the widget under the
    // mouse gets it (a grade's combo box over its cell, a list's popup).
    static void click(QWidget* widget, const QPoint& point)
    {
        QWindow* window = widget->window()->windowHandle();
        QVERIFY(window);
        const QPoint at = window->mapFromGlobal(widget->mapToGlobal(point));
        QTest::mouseMove(window, at);
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    }
    static void clickCell(QTableView* table, const QModelIndex& index)
    {
        table->scrollTo(index);
        const QPoint point = table->visualRect(index).center();
        QVERIFY(table->viewport()->rect().contains(point));
        click(table->viewport(), point);
    }
    // Opens the grade's list with a click on its cell and clicks the grade in it.
    static void chooseGrade(QTableView* table, const QModelIndex& index, const QString& grade)
    {
        clickCell(table, index);
        auto* combo = qobject_cast<QComboBox*>(table->indexWidget(index));
        QVERIFY(combo);
        QVERIFY2(combo->view()->isVisible(), "the list did not open");
        const int item = combo->findText(grade);
        click(combo->view()->viewport(), combo->view()->visualRect(combo->model()->index(item, 0)).center());
        QVERIFY(!combo->view()->isVisible());
        QCOMPARE(combo->currentText(), grade);
    }
    void selectModule(int row)
    {
        QTableView* modules = view("tableViewModules");
        modules->setCurrentIndex(modules->model()->index(row, 2));
    }

    QPointer<AdditionalEditDialog> dialog;
    int docId = 0;
    bool damaged = false;
    static inline QStringList logged;
};

VELSPO_TEST_MAIN(AdditionalEditDialogTest)
#include "tst_additionaleditdialog.moc"
