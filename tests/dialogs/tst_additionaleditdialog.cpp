#include "dialogs/AdditionalEditDialog.h"
#include "dialogs/DocumentEditDialog.h"
#include "dialogs/TableStruct.h"
#include "engine/Database.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QSqlTableModel>
#include <QTableView>

using namespace DocumentFixtures;
using namespace FormWidgets;

// The supplement editor over its six tables: hours and totals, modules with
// their sub-subjects, view and edit modes, Enter navigation.
class AdditionalEditDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(openEmpty());
        // The models are shared and outlive every dialog.
        for (const QString& table : detailTables())
            Database::tableModel(table)->setFilter(QString());
        docId = insertDocument(fullDocument());
        QVERIFY(docId > 0);
    }

    void cleanup() { delete dialog; }

    void hoursAndTotals_data()
    {
        QTest::addColumn<QStringList>("disciplines"); // "total/audit"
        QTest::addColumn<QString>("exam");
        QTest::addColumn<QStringList>("subjects");
        QTest::addColumn<QString>("totals"); // the four calculated fields
        QTest::newRow("nothing") << QStringList() << QString() << QStringList() << "0|0|0|0";
        QTest::newRow("comma and point") << QStringList{"12,5/4", "7.5/4,5", "много/1"} << QString() << QStringList()
                                         << "20|9.5|20|9.5";
        QTest::newRow("module") << QStringList{"12,5/10", "7.5/10"} << "2.5" << QStringList{"10/8", "20/12"}
                                << "52.5|40|52.5|40";
        QTest::newRow("exponent") << QStringList{"999999/1", "1/1"} << QString() << QStringList() << "1e+06|2|1e+06|2";
    }

    void hoursAndTotals()
    {
        QFETCH(QStringList, disciplines);
        QFETCH(QString, exam);
        QFETCH(QStringList, subjects);
        QFETCH(QString, totals);
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
        if (!exam.isEmpty())
            QCOMPARE(rows("SELECT moduleCount, moduleCountAudit FROM ModuleDetails"), QStringList{"32.5|20"});
        QCOMPARE(calculated(), totals);
    }

    // Showing a module's exam hours writes nothing back; the user's change
    // does, and the module's hours and the totals follow.
    void examHoursAreWrittenOnlyByTheUser_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("shown");
        QTest::newRow("comma") << "1,5" << 1.5;
        QTest::newRow("two decimals") << "2.56" << 2.6;
    }

    void examHoursAreWrittenOnlyByTheUser()
    {
        QFETCH(QString, stored);
        QFETCH(double, shown);
        const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleExamCount", stored}});
        QVERIFY(insertRow("DMDetails", {{"spoId", docId}, {"moduleId", module}, {"dmCount", 10}}) > 0);
        open(docId);
        editMode();
        selectModule(0);
        auto* spin = child<QDoubleSpinBox>(dialog, "spinBoxExam");
        QCOMPARE(spin->value(), shown);
        QCOMPARE(scalar("SELECT moduleExamCount FROM ModuleDetails").toString(), stored);

        spin->setValue(4);
        QCOMPARE(rows("SELECT moduleExamCount, moduleCount FROM ModuleDetails"), QStringList{"4|14"});
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated_2")->text(), QStringLiteral("14"));
        // An edited sub-subject counts once it is stored.
        QAbstractItemModel* subjects = view("tableViewDM")->model();
        QVERIFY(subjects->setData(subjects->index(0, 4), "20,5"));
        QCOMPARE(scalar("SELECT moduleCount FROM ModuleDetails").toString(), QStringLiteral("24.5"));
        QCOMPARE(edit(dialog, "lineEditDisciplinesTotalCountCalculated")->text(), QStringLiteral("24.5"));
        // The module stays current: Delete acts on it, with its sub-subject.
        QVERIFY(button(dialog, "pushButtonDeleteModule")->isEnabled());
        ModalAnswerer answerer;
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(count("ModuleDetails") + count("DMDetails"), 0);
    }

    // The document form's supplement button opens the editor on its document.
    void openedFromTheDocumentForm()
    {
        QVERIFY(insertDetails(docId));
        QPointer<DocumentEditDialog> form = new DocumentEditDialog;
        form->setSpoId(docId);
        button(form, "pushButtonAdditonal")->click();
        dialog = form->findChild<AdditionalEditDialog*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Приложение к документу"));
        QCOMPARE(view("tableViewDisciplines")->model()->rowCount(), 3);
        editMode();
        selectModule(0);
        QStringList headers; // the module id column stays hidden
        for (int column = 0; column < 7; ++column) {
            if (!view("tableViewDM")->isColumnHidden(column))
                headers << view("tableViewDM")->model()->headerData(column, Qt::Horizontal).toString();
        }
        QCOMPARE(headers, QStringList({"      Название      ", "Общ. кол-во часов", "Ауд. кол-во часов", "   Оценка   "}));
        delete form;
    }

    void moveModuleKeepsItsSubSubjects()
    {
        QVERIFY(insertDetails(docId));
        open(docId);
        editMode();
        selectModule(0);
        const QString keptTogether = "SELECT m.moduleName, group_concat(d.dmName), m.moduleCount FROM ModuleDetails m "
                                     "JOIN DMDetails d ON d.moduleId = m.moduleId GROUP BY m.moduleId ORDER BY m.moduleId";
        button(dialog, "pushButtonDownModule")->click();
        QCOMPARE(rows(keptTogether), QStringList({"Модуль 2|МДК 2.1|56", "Модуль 1|МДК 1.1,МДК 1.2|100"}));
        QCOMPARE(child<QGroupBox>(dialog, "groupBoxDM")->title(), QStringLiteral("Предметы модуля 'Модуль 1'"));
        QCOMPARE(view("tableViewDM")->model()->rowCount(), 2);
        QCOMPARE(states(dialog, {{'u', "pushButtonUpModule"}, {'d', "pushButtonDownModule"}}), QStringLiteral("UD-"));
        button(dialog, "pushButtonUpModule")->click();
        QCOMPARE(rows(keptTogether), QStringList({"Модуль 1|МДК 1.1,МДК 1.2|100", "Модуль 2|МДК 2.1|56"}));
    }

    void deletingModulesTakesTheirSubSubjects()
    {
        QVERIFY(insertDetails(docId));
        const int other = insertDocument();
        QVERIFY(insertDetails(other));
        open(docId);
        editMode();
        selectModule(0);
        // After Save and Edit no module is current: Delete waits for the user
        // to pick one, even the row that was current before.
        button(dialog, "pushButtonSave")->click();
        editMode();
        QVERIFY(!button(dialog, "pushButtonDeleteModule")->isEnabled());
        selectModule(0);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(detailCount("DMDetails", docId), 3);
        button(dialog, "pushButtonDeleteModule")->click();
        QCOMPARE(rows("SELECT dmName FROM DMDetails WHERE spoId = ?", {docId}), QStringList{"МДК 2.1"});
        QVERIFY(!button(dialog, "pushButtonDeleteModule")->isEnabled());
        button(dialog, "pushButtonDeleteAllModules")->click();
        QCOMPARE(detailCount("ModuleDetails", docId) + detailCount("DMDetails", docId), 0);
        QCOMPARE(detailCount("DMDetails", other), 3);
        QCOMPARE(answerer.texts(), QStringList({"Вы уверены, что хотите удалить выделенную строку?",
                                                "Вы уверены, что хотите удалить выделенную строку?",
                                                "Вы уверены, что хотите удалить все строки?"}));
    }

    // New rows: a sub-subject with its document and module at once, the
    // cursor on the first column the user types into.
    void addRows()
    {
        const int module = insertRow("ModuleDetails", {{"spoId", docId}, {"moduleName", "М"}});
        open(docId);
        editMode();
        selectModule(0);
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        button(dialog, "pushButtonAddDM")->click();
        QTableView* subjects = view("tableViewDM");
        const QList<QLineEdit*> editors = subjects->viewport()->findChildren<QLineEdit*>();
        QCOMPARE(editors.size(), 1); // typing starts in the name
        QCOMPARE(editors.first()->geometry(), subjects->visualRect(subjects->model()->index(0, 3)));
        button(dialog, "pushButtonAddDiscipline")->click();
        QCOMPARE(view("tableViewDisciplines")->currentIndex().column(), 2);
        QCOMPARE(rows("SELECT spoId, moduleId FROM DMDetails"), QStringList{QString("%1|%2").arg(docId).arg(module)});
        QCOMPARE(rows("SELECT spoId FROM DisciplineDetails"), QStringList{QString::number(docId)});
        qInstallMessageHandler(previous);
        QCOMPARE(logged.filter("NOT NULL"), QStringList());
    }

    void enterNavigation_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QPoint>("from"); // (column, row)
        QTest::addColumn<QPoint>("to");
        QTest::newRow("next column") << "tableViewDisciplines" << QPoint(2, 0) << QPoint(3, 0);
        QTest::newRow("grade opens its list") << "tableViewDisciplines" << QPoint(4, 0) << QPoint(5, 0);
        QTest::newRow("last column") << "tableViewDisciplines" << QPoint(5, 0) << QPoint(2, 1);
        QTest::newRow("last row") << "tableViewDisciplines" << QPoint(5, 2) << QPoint(2, 0);
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
        open(docId);
        editMode();
        selectModule(0);
        QTableView* tableView = view(table.toLatin1());
        tableView->setCurrentIndex(tableView->model()->index(from.y(), from.x()));
        QTest::keyClick(tableView, Qt::Key_Return);
        QCOMPARE(tableView->currentIndex().column(), to.x());
        QCOMPARE(tableView->currentIndex().row(), to.y());
        auto* grade = qobject_cast<QComboBox*>(tableView->indexWidget(tableView->currentIndex()));
        QCOMPARE(grade && grade->view()->isVisible(), to.x() == 5 && table == QLatin1String("tableViewDisciplines"));
        if (grade)
            grade->hidePopup();
    }

    // Save writes the five document fields and stays open in view mode;
    // Close writes none of them; a failed save says so and keeps editing.
    void saveAndClose()
    {
        open(docId);
        editMode();
        child<QComboBox>(dialog, "comboBoxTotalCount")->setEditText("3 года");
        edit(dialog, "lineEditPracticeTotalCount")->setText("12,5 недель");
        child<QPlainTextEdit>(dialog, "plainTextEditComment")->setPlainText("с отличием");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(column(docId, "totalCount").toString() + '|' + column(docId, "practiceTotalCount").toString() + '|'
                     + column(docId, "comment").toString(),
                 QStringLiteral("3 года|12,5 недель|с отличием"));
        QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}, {'t', "tab"}}),
                 QStringLiteral("EsT-"));

        QVERIFY(exec("CREATE TRIGGER locked BEFORE UPDATE ON SpoDocuments BEGIN SELECT RAISE(ABORT, 'locked'); END"));
        editMode();
        ModalAnswerer answerer;
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить приложение к документу."});
        QCOMPARE(states(dialog, {{'e', "pushButtonEditForm"}, {'s', "pushButtonSave"}}), QStringLiteral("eS"));
        QVERIFY(exec("DROP TRIGGER locked"));

        child<QPlainTextEdit>(dialog, "plainTextEditComment")->setPlainText("другое");
        button(dialog, "pushButtonCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(column(docId, "comment").toString(), QStringLiteral("с отличием"));
    }

    // A missing document shows nothing, not the rows the shared models showed
    // last; a closed editor leaves no handler on them.
    void missingDocumentShowsNoRows()
    {
        QVERIFY(insertDetails(docId));
        open(docId);
        QCOMPARE(view("tableViewDisciplines")->model()->rowCount(), 3);
        delete dialog;
        Database::tableModel("DisciplineDetails")->setData(Database::tableModel("DisciplineDetails")->index(0, 2), "x");
        open(docId + 100);
        for (const char* name : {"tableViewDisciplines", "tableViewPractices", "tableViewModules",
                                 "tableViewCourseworks", "tableViewAttestations"})
            QCOMPARE(view(name)->model()->rowCount(), 0);
        QVERIFY(!button(dialog, "pushButtonEditForm")->isEnabled());
    }

private:
    void open(int id)
    {
        dialog = new AdditionalEditDialog;
        dialog->setDocument(id);
        dialog->show();
    }
    void editMode() { button(dialog, "pushButtonEditForm")->click(); }
    QTableView* view(const char* name) const { return child<QTableView>(dialog, name); }
    void selectModule(int row)
    {
        QTableView* modules = view("tableViewModules");
        modules->setCurrentIndex(modules->model()->index(row, 2));
    }
    QString calculated() const
    {
        QStringList texts;
        for (const char* name : {"lineEditDisciplinesTotalCountCalculated", "lineEditDisciplinesAuditCountCalculated",
                                 "lineEditDisciplinesTotalCountCalculated_2",
                                 "lineEditDisciplinesAuditCountCalculated_2"})
            texts << edit(dialog, name)->text();
        return texts.join('|');
    }

    QPointer<AdditionalEditDialog> dialog;
    int docId = 0;
    static inline QStringList logged;
};

VELSPO_TEST_MAIN(AdditionalEditDialogTest)
#include "tst_additionaleditdialog.moc"
