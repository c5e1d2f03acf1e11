#include "DocumentFormFixture.h"

#include "dialogs/DocumentFields.h"
#include "dialogs/DocumentSaver.h"
#include "dialogs/DocumentValidator.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

using namespace DocumentFormFixture;

namespace {

const QString kPrefix = QStringLiteral("Невозможно сохранить документ:\n");
const QString kEqualNumbers = QStringLiteral("Номера бланков диплома и приложения не должны совпадать!\n");
const QString kDiplomaTaken = QStringLiteral("Номер бланка диплома не уникален!\n");
const QString kRegTaken = QStringLiteral("Регистрационный номер документа не уникален!\n");
const QString kSupplementTaken = QStringLiteral("Номер бланка приложения к диплому не уникален!\n");

// A stored document holding diploma blank 111111 2222222, supplement blank
// 333333 4444444 and registration number R-1.
int storeReferenceDocument()
{
    return insertRow("SpoDocuments", {{"fio1", "Петров"}, {"serial", "111111"}, {"number", "2222222"},
                                      {"additionSerial", "333333"}, {"additionNumber", "4444444"},
                                      {"regNumber", "R-1"}, {"isTemplate", 0}});
}

DocumentFields fieldsWith(const QString& serial, const QString& number, const QString& additionSerial,
                          const QString& additionNumber, const QString& regNumber)
{
    DocumentFields fields;
    fields.fio1 = QStringLiteral("Сидоров");
    fields.serial = serial;
    fields.number = number;
    fields.additionSerial = additionSerial;
    fields.additionNumber = additionNumber;
    fields.regNumber = regNumber;
    return fields;
}

} // namespace

class DocumentSavingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(openDatabase()); }
    void init() { resetDatabase(); }

    // ------------------------------------------------------------ refusals

    void refusalListsEveryProblemInOrder()
    {
        storeReferenceDocument();
        const DocumentFields fields = fieldsWith("111111", "2222222", "111111", "2222222", "R-1");
        const QStringList problems = DocumentValidator::problems(fields, 0);
        QCOMPARE(problems, QStringList({kEqualNumbers, kDiplomaTaken, kRegTaken, kSupplementTaken}));
        QCOMPARE(DocumentValidator::refusalText(problems),
                 kPrefix + kEqualNumbers + kDiplomaTaken + kRegTaken + kSupplementTaken);
    }

    void formShowsOneWarningAndWritesNothing()
    {
        storeReferenceDocument();
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Сидоров");
        edit(dialog, "lineEditSerial")->setText("333333");
        edit(dialog, "lineEditNumber")->setText("4444444");
        edit(dialog, "lineEditRegNumber")->setText("R-1");
        button(dialog, "pushButtonSave")->click();

        QCOMPARE(answerer.texts(), QStringList({kPrefix + kDiplomaTaken + kRegTaken}));
        QCOMPARE(answerer.titles(), QStringList({"Внимание!"}));
        QCOMPARE(updated.count(), 0);
        QCOMPARE(count("SpoDocuments"), 1);
        // Still in edit mode with the input as typed.
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QCOMPARE(edit(dialog, "lineEditRegNumber")->text(), QString("R-1"));
        delete dialog;
    }

    void equalBlankNumbersAreRefusedEvenForDuplicates()
    {
        DocumentFields fields = fieldsWith("1", "555", "2", "555", "");
        fields.isDuplicate = true;
        // Only the numbers are compared, not the series.
        QCOMPARE(DocumentValidator::problems(fields, 0), QStringList({kEqualNumbers}));
        fields.additionNumber = " 555 ";
        QCOMPARE(DocumentValidator::problems(fields, 0), QStringList({kEqualNumbers}));
    }

    void emptyNumbersSkipTheirChecks()
    {
        insertRow("SpoDocuments", {{"serial", ""}, {"number", ""}, {"regNumber", ""},
                                   {"additionSerial", ""}, {"additionNumber", ""}});
        // Two empty numbers are not "equal blanks", and empty values never clash.
        QVERIFY(DocumentValidator::problems(fieldsWith("", "", "", "", ""), 0).isEmpty());
        QVERIFY(DocumentValidator::problems(fieldsWith("  ", " ", "", "  ", "   "), 0).isEmpty());
    }

    void duplicateMayReuseTakenNumbers()
    {
        storeReferenceDocument();
        DocumentFields fields = fieldsWith("111111", "2222222", "333333", "4444444", "R-1");
        QCOMPARE(DocumentValidator::problems(fields, 0), QStringList({kDiplomaTaken, kRegTaken, kSupplementTaken}));
        fields.isDuplicate = true;
        QVERIFY(DocumentValidator::problems(fields, 0).isEmpty());

        // And the form saves it.
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        edit(dialog, "lineEditSerial")->setText("111111");
        edit(dialog, "lineEditNumber")->setText("2222222");
        edit(dialog, "lineEditRegNumber")->setText("R-1");
        child<QCheckBox>(dialog, "checkBoxDuplicate")->setChecked(true);
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(count("SpoDocuments", "isDuplicate=1 AND number='2222222'"), 1);
        delete dialog;
    }

    void blankClashesAcrossDiplomaAndSupplement()
    {
        storeReferenceDocument();
        // The other row's supplement blank as this diploma blank.
        QCOMPARE(DocumentValidator::problems(fieldsWith("333333", "4444444", "", "", ""), 0),
                 QStringList({kDiplomaTaken}));
        // The other row's diploma blank as this supplement blank.
        QCOMPARE(DocumentValidator::problems(fieldsWith("", "", "111111", "2222222", ""), 0),
                 QStringList({kSupplementTaken}));
        // Same number, other series: no clash.
        QVERIFY(DocumentValidator::problems(fieldsWith("999999", "2222222", "999999", "4444444", "R-2"), 0).isEmpty());
    }

    void ownRowDoesNotClash()
    {
        const int id = storeReferenceDocument();
        QVERIFY(DocumentValidator::problems(fieldsWith("111111", "2222222", "333333", "4444444", "R-1"), id).isEmpty());
        // A template being saved for the first time (-1) counts every stored row.
        QCOMPARE(DocumentValidator::problems(fieldsWith("", "", "", "", "R-1"), -1), QStringList({kRegTaken}));
    }

    void nullSeriesClashesWithEmptySeries()
    {
        insertRow("SpoDocuments", {{"number", "7654321"}});
        QCOMPARE(DocumentValidator::problems(fieldsWith("", "7654321", "", "", ""), 0), QStringList({kDiplomaTaken}));
        QCOMPARE(DocumentValidator::problems(fieldsWith("", "", "", "7654321", ""), 0), QStringList({kSupplementTaken}));
    }

    void valuesAreComparedTrimmedOnBothSides()
    {
        // Stored with white space around (typed so earlier, or by an older version).
        insertRow("SpoDocuments", {{"serial", " 111111"}, {"number", "2222222 "}, {"regNumber", "R-1 "},
                                   {"additionSerial", "333333\t"}, {"additionNumber", QString::fromUtf8("\u00a04444444")}});
        QCOMPARE(DocumentValidator::problems(fieldsWith("111111", "2222222", "333333", "4444444", "R-1"), 0),
                 QStringList({kDiplomaTaken, kRegTaken, kSupplementTaken}));
        QCOMPARE(DocumentValidator::problems(fieldsWith(" 111111 ", " 2222222", "", "", "  R-1"), 0),
                 QStringList({kDiplomaTaken, kRegTaken}));
        // Inner white space still matters.
        QVERIFY(DocumentValidator::problems(fieldsWith("", "", "", "", "R- 1"), 0).isEmpty());
    }

    void valuesAreStoredAsTyped()
    {
        DocumentFields fields = fieldsWith(" 12 ", "34 ", "", "", "R-2 ");
        DocumentSaver saver(0, 0, false);
        QVERIFY(saver.save(fields));
        QVERIFY(saver.spoId() > 0);
        QCOMPARE(column(saver.spoId(), "regNumber").toString(), QString("R-2 "));
        QCOMPARE(column(saver.spoId(), "serial").toString(), QString(" 12 "));
        QCOMPARE(column(saver.spoId(), "number").toString(), QString("34 "));
    }

    void quotesInTextAreData()
    {
        DocumentFields fields = fieldsWith("", "", "", "", "R'1");
        fields.fio1 = QStringLiteral("O'Neil'); DROP TABLE SpoDocuments; --");
        DocumentSaver saver(0, 0, false);
        QVERIFY(saver.save(fields));
        QCOMPARE(column(saver.spoId(), "fio1").toString(), fields.fio1);
        QCOMPARE(DocumentValidator::problems(fieldsWith("", "", "", "", "R'1"), 0), QStringList({kRegTaken}));
    }

    // ------------------------------------------------------------ writing

    void insertWritesEveryColumn()
    {
        DocumentFields fields = fieldsWith("123456", "7654321", "654321", "1234567", "R-9");
        fields.fio2 = "Иван";
        fields.fio3 = "Петрович";
        fields.qual = "Повар";
        fields.programType = 1;
        fields.professionName = "Поварское дело";
        fields.professionCode = "43.02.15";
        fields.isExcellent = true;
        fields.issueDate = QDate(2020, 6, 30);
        fields.decisionDate = QDate(2020, 6, 25);
        fields.birthDate = QDate(2001, 2, 3);
        fields.deductionDate = QDate(2020, 7, 1);
        fields.deductionNumber = "12-к";
        DocumentSaver saver(0, 0, false);
        QVERIFY(saver.save(fields));
        const int id = saver.spoId();
        QSqlQuery row(QSqlDatabase::database());
        QVERIFY(row.exec(QStringLiteral("SELECT * FROM SpoDocuments WHERE spoId=%1").arg(id)) && row.next());
        QCOMPARE(row.value("fio1").toString(), QString("Сидоров"));
        QCOMPARE(row.value("fio2").toString(), QString("Иван"));
        QCOMPARE(row.value("fio3").toString(), QString("Петрович"));
        QCOMPARE(row.value("qual").toString(), QString("Повар"));
        QCOMPARE(row.value("programType").toInt(), 1);
        QCOMPARE(row.value("professionName").toString(), QString("Поварское дело"));
        QCOMPARE(row.value("professionCode").toString(), QString("43.02.15"));
        QCOMPARE(row.value("isDuplicate").toInt(), 0);
        QCOMPARE(row.value("isExcellent").toInt(), 1);
        QCOMPARE(row.value("isTemplate").toInt(), 0);
        QCOMPARE(row.value("issueDate").toString(), QString("2020-06-30"));
        QCOMPARE(row.value("decisionDate").toString(), QString("2020-06-25"));
        QCOMPARE(row.value("birthDate").toString(), QString("2001-02-03"));
        QCOMPARE(row.value("deductionDate").toString(), QString("2020-07-01"));
        QCOMPARE(row.value("deductionNumber").toString(), QString("12-к"));
        QCOMPARE(row.value("serial").toString(), QString("123456"));
        QCOMPARE(row.value("number").toString(), QString("7654321"));
        QCOMPARE(row.value("additionSerial").toString(), QString("654321"));
        QCOMPARE(row.value("additionNumber").toString(), QString("1234567"));
        QCOMPARE(row.value("regNumber").toString(), QString("R-9"));
        const QDateTime stamp = QDateTime::fromString(row.value("editDate").toString(), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(stamp.isValid());
        QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60);
        // The supplement editor's columns are left alone.
        QVERIFY(row.value("comment").isNull());
        QVERIFY(row.value("totalCount").isNull());
    }

    void updateKeepsSupplementSummary()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Старый"}, {"comment", "оставить"}, {"totalCount", "100"}});
        DocumentSaver saver(id, 0, false);
        QVERIFY(saver.save(fieldsWith("", "", "", "", "")));
        QCOMPARE(saver.spoId(), id);
        QCOMPARE(count("SpoDocuments"), 1);
        QCOMPARE(column(id, "fio1").toString(), QString("Сидоров"));
        QCOMPARE(column(id, "comment").toString(), QString("оставить"));
        QCOMPARE(column(id, "totalCount").toString(), QString("100"));
    }

    void newTemplateIsStoredAsTemplate()
    {
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(-1);
        dialog->setTemplateMode(true);
        edit(dialog, "lineEditFio_1")->setText("Повара 2020");
        edit(dialog, "lineEditSerial")->setText("111111");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(count("SpoDocuments", "isTemplate=1 AND fio1='Повара 2020' AND number='' AND regNumber=''"), 1);
        // Back in view mode on the saved row, still a template: no printing.
        QVERIFY(button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(button(dialog, "pushButtonAdditonal")->isEnabled());
        delete dialog;
    }

    void savedFormReturnsToViewModeOnTheRow()
    {
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Сидоров");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(count("SpoDocuments"), 1);
        QVERIFY(button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(!button(dialog, "pushButtonEdit")->isHidden());
        QVERIFY(button(dialog, "pushButtonAdditonal")->isEnabled());
        // Reloaded from the row: the edit stamp is shown.
        QVERIFY(!edit(dialog, "lineEditDate")->text().isEmpty());

        // A second save updates the same row.
        button(dialog, "pushButtonEdit")->click();
        edit(dialog, "lineEditFio_1")->setText("Сидорова");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 2);
        QCOMPARE(count("SpoDocuments"), 1);
        QCOMPARE(count("SpoDocuments", "fio1='Сидорова'"), 1);
        QCOMPARE(answerer.handledCount(), 0);
        delete dialog;
    }

    void duplicateFlagAboveOneIsStoredAsOne()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Дубль"}, {"isDuplicate", 2}, {"isExcellent", 3}});
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        QVERIFY(child<QCheckBox>(dialog, "checkBoxDuplicate")->isChecked());
        QVERIFY(child<QCheckBox>(dialog, "checkBoxIsEcsellent")->isChecked());
        button(dialog, "pushButtonEdit")->click();
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(column(id, "isDuplicate").toInt(), 1);
        QCOMPARE(column(id, "isExcellent").toInt(), 1);
        delete dialog;
    }

    // ------------------------------------------------------------ templates

    void documentFromTemplateReceivesTheSupplement()
    {
        const int templateId = insertRow("SpoDocuments", {{"fio1", "Шаблон поваров"}, {"isTemplate", 1},
            {"qual", "Повар"}, {"professionName", "Поварское дело"}, {"previousEducation", "основное общее"},
            {"totalCount", "4500"}, {"attestationTotalCount", "216"}, {"practiceTotalCount", "1000"},
            {"comment", "с отличием не бывает"}});
        insertRow("PracticeDetails", {{"spoId", templateId}, {"practiceName", "Учебная"}, {"practiceCount", 72}, {"practiceRate", "5"}});
        insertRow("DisciplineDetails", {{"spoId", templateId}, {"disciplineName", "Химия"}, {"disciplineCount", "36,5"},
                                        {"disciplineCountAudit", 30}, {"disciplineRate", "4"}});
        insertRow("CourseworkDetails", {{"spoId", templateId}, {"cwName", "Курсовая"}, {"cwRate", "5"}});
        insertRow("AttestationDetails", {{"spoId", templateId}, {"attestationName", "Экзамен"}, {"attestationRate", "5"}});
        const int moduleA = insertRow("ModuleDetails", {{"spoId", templateId}, {"moduleName", "ПМ.01"}, {"moduleCount", 100},
                                                        {"moduleExamCount", 6}, {"moduleRate", "5"}});
        const int moduleB = insertRow("ModuleDetails", {{"spoId", templateId}, {"moduleName", "ПМ.02"}, {"moduleCount", 50}});
        insertRow("DMDetails", {{"spoId", templateId}, {"moduleId", moduleA}, {"dmName", "МДК.01.01"}, {"dmCount", 40}});
        insertRow("DMDetails", {{"spoId", templateId}, {"moduleId", moduleA}, {"dmName", "МДК.01.02"}, {"dmCount", 54}});
        insertRow("DMDetails", {{"spoId", templateId}, {"moduleId", moduleB}, {"dmName", "МДК.02.01"}, {"dmCount", 50}});

        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->createFromTemplate(templateId);
        edit(dialog, "lineEditFio_1")->setText("Иванов");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 0);

        const int id = scalar("SELECT spoId FROM SpoDocuments WHERE fio1='Иванов'").toInt();
        QVERIFY(id > templateId);
        QCOMPARE(column(id, "isTemplate").toInt(), 0);
        QCOMPARE(column(id, "qual").toString(), QString("Повар"));
        QCOMPARE(column(id, "previousEducation").toString(), QString("основное общее"));
        QCOMPARE(column(id, "totalCount").toString(), QString("4500"));
        QCOMPARE(column(id, "attestationTotalCount").toString(), QString("216"));
        QCOMPARE(column(id, "practiceTotalCount").toString(), QString("1000"));
        QCOMPARE(column(id, "comment").toString(), QString("с отличием не бывает"));

        QCOMPARE(count("PracticeDetails", "spoId=? AND practiceName='Учебная' AND practiceCount=72", {id}), 1);
        QCOMPARE(count("DisciplineDetails", "spoId=? AND disciplineName='Химия' AND disciplineCount='36,5'", {id}), 1);
        QCOMPARE(count("CourseworkDetails", "spoId=? AND cwName='Курсовая'", {id}), 1);
        QCOMPARE(count("AttestationDetails", "spoId=? AND attestationName='Экзамен'", {id}), 1);
        QCOMPARE(count("ModuleDetails", "spoId=?", {id}), 2);
        QCOMPARE(count("DMDetails", "spoId=?", {id}), 3);
        // Every copied sub-subject points to the copy of its own module.
        const int newA = scalar("SELECT moduleId FROM ModuleDetails WHERE spoId=? AND moduleName='ПМ.01'", {id}).toInt();
        const int newB = scalar("SELECT moduleId FROM ModuleDetails WHERE spoId=? AND moduleName='ПМ.02'", {id}).toInt();
        QVERIFY(newA != moduleA && newB != moduleB);
        QCOMPARE(count("DMDetails", "spoId=? AND moduleId=? AND dmName LIKE 'МДК.01.%'", {id, newA}), 2);
        QCOMPARE(count("DMDetails", "spoId=? AND moduleId=? AND dmName='МДК.02.01'", {id, newB}), 1);
        QCOMPARE(count("DMDetails", "spoId=? AND moduleId NOT IN (SELECT moduleId FROM ModuleDetails WHERE spoId=?)", {id, id}), 0);
        // The template keeps its own rows.
        QCOMPARE(count("DMDetails", "spoId=?", {templateId}), 3);

        // A later save is an update: the supplement is not copied twice.
        button(dialog, "pushButtonEdit")->click();
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(count("ModuleDetails", "spoId=?", {id}), 2);
        QCOMPARE(count("PracticeDetails", "spoId=?", {id}), 1);
        delete dialog;
    }

    void emptyDocumentReceivesNoSupplement()
    {
        const int templateId = insertRow("SpoDocuments", {{"fio1", "Шаблон"}, {"isTemplate", 1}, {"totalCount", "10"}});
        insertRow("PracticeDetails", {{"spoId", templateId}, {"practiceName", "Учебная"}});
        DocumentSaver saver(0, 0, false);
        QVERIFY(saver.save(fieldsWith("", "", "", "", "")));
        QVERIFY(column(saver.spoId(), "totalCount").isNull());
        QCOMPARE(count("PracticeDetails"), 1);
    }

    void vanishedTemplateStillSavesTheDocument()
    {
        DocumentSaver saver(0, 9999, false);
        QVERIFY(saver.save(fieldsWith("", "", "", "", "R-5")));
        QCOMPARE(count("SpoDocuments", "regNumber='R-5'"), 1);
        QCOMPARE(count("PracticeDetails"), 0);
    }

    // ------------------------------------------------------------ failures

    void failedInsertKeepsTheInput()
    {
        QVERIFY(exec("CREATE TRIGGER readOnlyInsert BEFORE INSERT ON SpoDocuments "
                     "BEGIN SELECT RAISE(ABORT, 'read-only'); END"));
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Сидоров");
        edit(dialog, "lineEditNumber")->setText("7654321");
        button(dialog, "pushButtonSave")->click();

        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(answerer.titles().value(0), QString("Внимание!"));
        QVERIFY(answerer.texts().value(0).startsWith("Не удалось сохранить документ"));
        QVERIFY2(answerer.texts().value(0).contains("read-only"), qPrintable(answerer.texts().value(0)));
        QCOMPARE(updated.count(), 0);
        QCOMPARE(count("SpoDocuments"), 0);
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(child<QGroupBox>(dialog, "groupBoxFio1")->isEnabled());
        QVERIFY(!button(dialog, "pushButtonAdditonal")->isEnabled());
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Сидоров"));
        QCOMPARE(edit(dialog, "lineEditNumber")->text(), QString("7654321"));

        // Once the database takes writes again, the same form inserts one row.
        QVERIFY(exec("DROP TRIGGER readOnlyInsert"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(count("SpoDocuments", "fio1='Сидоров' AND number='7654321'"), 1);
        QCOMPARE(count("SpoDocuments"), 1);
        delete dialog;
    }

    void failedUpdateKeepsTheInputAndTheRow()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Было"}, {"regNumber", "R-1"}});
        QVERIFY(exec("CREATE TRIGGER readOnlyUpdate BEFORE UPDATE ON SpoDocuments "
                     "BEGIN SELECT RAISE(ABORT, 'read-only'); END"));
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        button(dialog, "pushButtonEdit")->click();
        edit(dialog, "lineEditFio_1")->setText("Стало");
        button(dialog, "pushButtonSave")->click();

        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY(answerer.texts().value(0).contains("read-only"));
        QCOMPARE(updated.count(), 0);
        QCOMPARE(column(id, "fio1").toString(), QString("Было"));
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Стало"));
        delete dialog;
    }

    void failedInsertBehindTheRowWritesNothing()
    {
        // The INSERT goes through; the UPDATE that fills it fails.
        QVERIFY(exec("CREATE TRIGGER noUpdate BEFORE UPDATE ON SpoDocuments "
                     "BEGIN SELECT RAISE(ABORT, 'no update'); END"));
        DocumentSaver saver(0, 0, false);
        QVERIFY(!saver.save(fieldsWith("", "1", "", "", "")));
        QCOMPARE(saver.spoId(), 0);
        QVERIFY(saver.errorText().contains("no update"));
        QCOMPARE(count("SpoDocuments"), 0);
    }

    void failedDetailCopyUndoesTheWholeSave()
    {
        const int templateId = insertRow("SpoDocuments", {{"fio1", "Шаблон"}, {"isTemplate", 1}, {"totalCount", "10"}});
        insertRow("PracticeDetails", {{"spoId", templateId}, {"practiceName", "Учебная"}});
        const int module = insertRow("ModuleDetails", {{"spoId", templateId}, {"moduleName", "ПМ.01"}});
        insertRow("DMDetails", {{"spoId", templateId}, {"moduleId", module}, {"dmName", "МДК"}});
        // The last step of the copy fails.
        QVERIFY(exec("CREATE TRIGGER noSubjects BEFORE INSERT ON DMDetails "
                     "BEGIN SELECT RAISE(ABORT, 'no sub-subjects'); END"));

        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->createFromTemplate(templateId);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Иванов");
        button(dialog, "pushButtonSave")->click();

        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(updated.count(), 0);
        QCOMPARE(count("SpoDocuments"), 1);
        QCOMPARE(count("PracticeDetails"), 1);
        QCOMPARE(count("ModuleDetails"), 1);
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Иванов"));
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());

        // Retried after the fault is gone: one document with the whole supplement.
        QVERIFY(exec("DROP TRIGGER noSubjects"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        const int id = scalar("SELECT spoId FROM SpoDocuments WHERE fio1='Иванов'").toInt();
        QCOMPARE(count("SpoDocuments"), 2);
        QCOMPARE(column(id, "totalCount").toString(), QString("10"));
        QCOMPARE(count("PracticeDetails", "spoId=?", {id}), 1);
        QCOMPARE(count("DMDetails", "spoId=?", {id}), 1);
        delete dialog;
    }

    void savingARowDeletedMeanwhileFails()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Был"}});
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        button(dialog, "pushButtonEdit")->click();
        QVERIFY(exec(QStringLiteral("DELETE FROM SpoDocuments WHERE spoId=%1").arg(id)));
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(updated.count(), 0);
        QCOMPARE(count("SpoDocuments"), 0);
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Был"));
        delete dialog;
    }
};

VELSPO_TEST_MAIN(DocumentSavingTest)
#include "tst_documentsaving.moc"
