#include "dialogs/DocumentEditDialog.h"
#include "dialogs/DocumentFields.h"
#include "dialogs/DocumentValidator.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QValidator>

using namespace DocumentFixtures;
using namespace FormWidgets;

namespace {

const QString kEqualNumbers = QStringLiteral("Номера бланков диплома и приложения не должны совпадать!\n");
const QString kDiplomaTaken = QStringLiteral("Номер бланка диплома не уникален!\n");
const QString kRegTaken = QStringLiteral("Регистрационный номер документа не уникален!\n");
const QString kSupplementTaken = QStringLiteral("Номер бланка приложения к диплому не уникален!\n");

QString fullName(QWidget* dialog)
{
    return edit(dialog, "lineEditFio_1")->text() + '|' + edit(dialog, "lineEditFio_2")->text() + '|'
        + edit(dialog, "lineEditFio_3")->text();
}

} // namespace

// The document form and the templates dialog that leads to it.
class DocumentEditDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ReportList::registerReports(); }

    void init()
    {
        QVERIFY(openEmpty());
        QApplication::clipboard()->clear();
    }

    void cleanup() { delete dialog; delete templates; }

    // New: whole dates, never printed; saved: one row, a template stays restricted after Edit.
    void newFormSavesOneRow_data()
    {
        QTest::addColumn<bool>("templateMode");
        QTest::addColumn<QString>("titles");
        QTest::addColumn<QString>("editing"); // buttons(), then the name's second and third boxes
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("reopened"); // numbers, registration number, distinction
        QTest::newRow("document") << false << "Выдача документа|Фамилия" << "SepA-|RBC" << "sEPA|R-" << "NMRX";
        QTest::newRow("template") << true << "Реактирование шаблона|Название шаблона" << "SepA-|R-bc" << "sEpA|R-"
                                  << "N-M-R-X";
    }

    void newFormSavesOneRow()
    {
        QFETCH(bool, templateMode);
        QFETCH(QString, titles);
        QFETCH(QString, editing);
        QFETCH(QString, saved);
        QFETCH(QString, reopened);
        ModalAnswerer answerer;
        open(templateMode ? -1 : 0);
        if (templateMode)
            dialog->setTemplateMode(true);
        QDateEdit* issue = child<QDateEdit>(dialog, "dateEditIssue");
        QCOMPARE(issue->text(), QDate::currentDate().toString(issue->displayFormat()));
        QCOMPARE(dialog->windowTitle() + '|' + child<QGroupBox>(dialog, "groupBoxFio1")->title(), titles);
        QCOMPARE(buttons() + states(dialog, {{'b', "groupBoxFio2"}, {'c', "groupBoxFio3"}}), editing);
        button(dialog, "pushButtonPrint")->click(); // unsaved: never printed
        QVERIFY(!dialog->findChild<PrintDialog*>());
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        Typing::typeOver(edit(dialog, "lineEditFio_1"), "Сидоров");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(buttons(), saved);
        button(dialog, "pushButtonEdit")->click();
        QCOMPARE(states(dialog, {{'n', "lineEditNumber"}, {'m', "lineEditAdditionNumber"}, {'r', "groupBoxRegNumber"},
                                 {'x', "checkBoxIsEcsellent"}}), reopened);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(dialog->findChild<PrintDialog*>() == nullptr, templateMode);
        Typing::typeOver(edit(dialog, "lineEditFio_1"), "Сидорова");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count() + answerer.handledCount(), 2);
        QCOMPARE(rows("SELECT fio1, isTemplate FROM SpoDocuments"), QStringList{QString("Сидорова|%1").arg(int(templateMode))});
    }

    // Every field typed in the tab order as a registrar types it: dates as
    // written (also days that the month shown while typing lacks), digits only
    // for the blanks, an item by its first letter, a tick by Space. Stored as
    // typed, in every locale.
    void typedFormIsStored()
    {
        open(insertDocument({{"issueDate", "2025-11-07"}}));
        button(dialog, "pushButtonEdit")->click();
        dialog->show();
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        edit(dialog, "lineEditFio_1")->setFocus(Qt::TabFocusReason);
        const QStringList typed = {"Иванова", "Мария", "Петровна", "Техник-программист", "09.01.1996", "с",
                                   "Программирование в компьютерных системах", "09.02.03", " ", " ", "42-р",
                                   "31.05.2015", "29.02.2024", "11 55 24", "1234567", "115524", "7654321", "12-к",
                                   "30.06.2015"};
        for (const QString& text : typed) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            Typing::type(focused, text);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(rows("SELECT fio1, fio2, fio3, qual, birthDate, programType, professionName, professionCode, "
                      "isDuplicate, isExcellent, regNumber, issueDate, decisionDate, serial, number, additionSerial, "
                      "additionNumber, deductionNumber, deductionDate FROM SpoDocuments"),
                 QStringList{"Иванова|Мария|Петровна|Техник-программист|1996-01-09|1|Программирование в компьютерных "
                             "системах|09.02.03|1|1|42-р|2015-05-31|2024-02-29|115524|1234567|115524|7654321|12-к|"
                             "2015-06-30"});
    }

    // A Russian locale takes blanks as group separators in a plain QIntValidator.
    void blankNumbersTakePlainDigitsOnly()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        open(0);
        QLocale::setDefault(previous);
        for (const auto& [name, top] : {std::pair("lineEditSerial", 999999), {"lineEditAdditionSerial", 999999},
                                        {"lineEditNumber", 9999999}, {"lineEditAdditionNumber", 9999999}}) {
            QList<int> results; // 0 invalid, 2 acceptable
            for (QString text : QStringList{"1 234", "1\u00a0234", "1,234", "+1234", "-1", "١٢٣", "001234",
                                            QString::number(top), QString::number(top + 1)}) {
                int pos = 0;
                results << edit(dialog, name)->validator()->validate(text, pos);
            }
            QCOMPARE(results, QList<int>({0, 0, 0, 0, 0, 0, 2, 2, 0}));
        }
    }

    // A template gone meanwhile gives an empty form whose save copies nothing.
    void oddOrMissingRowsOpenAsDefaults()
    {
        open(insertDocument({{"fio1", "Пустой"}, {"issueDate", "не дата"}}));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate::currentDate()); // left as it was
        delete dialog;
        open(4242); // no such row
        QCOMPARE(fullName(dialog) + buttons().left(1), QString("||s"));
        delete dialog;
        QVERIFY(insertDetails(insertDocument({{"isTemplate", 1}, {"qual", "Повар"}, {"totalCount", "10"}})));
        dialog = new DocumentEditDialog;
        dialog->createFromTemplate(4242);
        QCOMPARE(child<QComboBox>(dialog, "comboBoxQual")->currentText() + buttons().left(1), QString("S"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(count("SpoDocuments", "totalCount IS NULL") + count("PracticeDetails"), 2 + 2);
    }

    // A name is split only when the surname holds the clipboard's text.
    void fullNameIsSplit_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("typed"); // empty: pasted
        QTest::addColumn<QString>("patronymic");
        QTest::addColumn<QString>("fields");
        QTest::newRow("three words") << "Иванов Иван Иванович" << "" << "" << "Иванов|Иван|Иванович";
        QTest::newRow("four words") << "Римский-Корсаков Кара Николай Андреевич" << "" << ""
                                    << "Римский-Корсаков Кара|Николай|Андреевич";
        QTest::newRow("white space") << "  Иванов \t Иван\nИванович  " << "" << "" << "Иванов|Иван|Иванович";
        QTest::newRow("patronymic filled") << "Иванов Иван Иванович" << "" << "Петрович"
                                           << "Иванов Иван Иванович||Петрович";
        QTest::newRow("typed, other clipboard") << "что-то другое" << "Иванов Иван" << "" << "Иванов Иван||";
        QTest::newRow("typed as in clipboard") << "Петров Пётр" << "Петров Пётр" << "" << "Петров|Пётр|";
    }

    void fullNameIsSplit()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, typed);
        QFETCH(QString, patronymic);
        QFETCH(QString, fields);
        open(0);
        Typing::typeOver(edit(dialog, "lineEditFio_3"), patronymic);
        QApplication::clipboard()->setText(clipboard);
        if (typed.isEmpty())
            edit(dialog, "lineEditFio_1")->paste();
        else
            Typing::type(edit(dialog, "lineEditFio_1"), typed);
        QCOMPARE(fullName(dialog), fields);
    }

    void cancelKeepsGeometry()
    {
        open(0);
        dialog->setGeometry(QRect(40, 60, 700, 590));
        const QRect placed = dialog->geometry();
        button(dialog, "pushButtonCancel")->click();
        QTRY_VERIFY(dialog.isNull());
        dialog = new DocumentEditDialog;
        QCOMPARE(dialog->geometry(), placed);
    }

    void printGoesThroughTheChooserAndTheBlankCheck()
    {
        const int id = insertDocument({{"fio1", "Отличник"}, {"isExcellent", 1}});
        open(id);
        QSignalSpy printed(dialog.data(), &DocumentEditDialog::documentPrint);
        ModalAnswerer answerer;
        // The plain blank for a diploma with distinction asks; No prints nothing.
        for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            answerer.answer(answer);
            button(dialog, "pushButtonPrint")->click();
            PrintDialog* chooser = dialog->findChild<PrintDialog*>();
            QVERIFY(chooser);
            child<QListWidget>(chooser, "listWidget")->setCurrentRow(0);
            button(chooser, "pushButtonPrint")->click();
            QTRY_VERIFY(!dialog->findChild<PrintDialog*>());
        }
        QCOMPARE(printed.count(), 1);
        QCOMPARE(printed.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoDiploma), id, false}));
    }

    void problems_data()
    {
        QTest::addColumn<QString>("values"); // serial, number, their supplement's, regNumber; "-" empty, "_" a blank
        QTest::addColumn<bool>("isDuplicate");
        QTest::addColumn<int>("ownRow"); // 0 new, 1 the reference row, -1 a template's first save
        QTest::addColumn<QStringList>("problems");
        const QStringList none;
        QTest::newRow("all four, in order") << "111111 2222222 111111 2222222 R-1" << false << 0
                                            << QStringList({kEqualNumbers, kDiplomaTaken, kRegTaken, kSupplementTaken});
        QTest::newRow("a duplicate may reuse them") << "111111 2222222 333333 4444444 R-1" << true << 0 << none;
        QTest::newRow("own row") << "111111 2222222 333333 4444444 R-1" << false << 1 << none;
        QTest::newRow("template's first save") << "- - - - R-1" << false << -1 << QStringList({kRegTaken});
        // Only the numbers are compared, trimmed, and even for a duplicate.
        QTest::newRow("equal numbers") << "1 555 2 _555_" << true << 0 << QStringList({kEqualNumbers});
        QTest::newRow("blank values") << "_ _ - __ ___" << false << 0 << none;
        // A blank is taken whether it was used for a diploma or a supplement.
        QTest::newRow("supplement blank as diploma") << "333333 4444444" << false << 0 << QStringList({kDiplomaTaken});
        QTest::newRow("diploma blank as supplement") << "- - 111111 2222222" << false << 0 << QStringList({kSupplementTaken});
        QTest::newRow("other series") << "999999 2222222 999999 4444444 R-2" << false << 0 << none;
        QTest::newRow("NULL series") << "- 7654321" << false << 0 << QStringList({kDiplomaTaken});
        // Stored with white space around (typed so, or by an older version).
        QTest::newRow("stored padded") << "555555 6666666 777777 8888888 R-5" << false << 0
                                       << QStringList({kDiplomaTaken, kRegTaken, kSupplementTaken});
        QTest::newRow("typed padded") << "_555555_ _6666666 - - __R-5" << false << 0 << QStringList({kDiplomaTaken, kRegTaken});
        QTest::newRow("quote in value") << "- - - - R'1" << false << 0 << QStringList({kRegTaken});
        // A stored duplicate never blocks the original that shares its numbers.
        QTest::newRow("original beside its duplicate") << "121212 3434343 565656 7878787 R-D" << false << 0 << none;
        QTest::newRow("original's blanks crossed") << "565656 7878787 121212 3434343" << false << 0 << none;
    }

    void problems()
    {
        QFETCH(QString, values);
        QFETCH(bool, isDuplicate);
        QFETCH(int, ownRow);
        QFETCH(QStringList, problems);
        const int reference = insertDocument({{"serial", "111111"}, {"number", "2222222"}, {"additionSerial", "333333"},
                                              {"additionNumber", "4444444"}, {"regNumber", "R-1"}});
        insertDocument({{"number", "7654321"}, {"regNumber", "R'1"}});
        insertDocument({{"serial", ""}, {"number", ""}, {"regNumber", ""}, {"additionSerial", ""}, {"additionNumber", ""}});
        insertDocument({{"serial", " 555555"}, {"number", "6666666 "}, {"regNumber", "R-5 "},
                        {"additionSerial", "777777\t"}, {"additionNumber", QString::fromUtf8("\u00a08888888")}});
        insertDocument({{"serial", "121212"}, {"number", "3434343"}, {"additionSerial", "565656"},
                        {"additionNumber", "7878787"}, {"regNumber", "R-D"}, {"isDuplicate", 1}});
        DocumentFields fields;
        fields.isDuplicate = isDuplicate;
        QString* targets[] = {&fields.serial, &fields.number, &fields.additionSerial, &fields.additionNumber, &fields.regNumber};
        const QStringList parts = values.split(' ');
        for (int i = 0; i < parts.size(); ++i)
            *targets[i] = parts.at(i) == "-" ? QString() : QString(parts.at(i)).replace('_', ' ');
        QCOMPARE(DocumentValidator::problems(fields, ownRow == 1 ? reference : ownRow), problems);
    }

    // Saved again unchanged, every column but the stamp is kept as typed (flags above one become one);
    // a surname equal to the clipboard is not split on loading.
    void storedDocumentRoundTripKeepsEveryColumn()
    {
        const QString name = "O'Neil'); DROP TABLE SpoDocuments; --";
        QApplication::clipboard()->setText(name);
        for (const char* qual : {"Пекарь", "Пекарь ", "  "})
            insertDocument({{"qual", QString::fromUtf8(qual)}});
        QVariantMap stored = fullDocument();
        stored.insert({{"isDuplicate", 2}, {"fio1", name}, {"serial", " 115524 "}, {"regNumber", "42-р "}});
        const int id = insertDocument(stored);
        stored.insert("isDuplicate", 1);
        open(id);
        QCOMPARE(fullName(dialog) + buttons(), name + "|Мария|ПетровнаsEPA|R-");
        QComboBox* qual = child<QComboBox>(dialog, "comboBoxQual");
        QCOMPARE(QStringList({qual->itemText(0), qual->itemText(1), QString::number(qual->count())}),
                 QStringList({"Пекарь", "Техник-программист", "2"}));
        for (QLineEdit* line : {qual->lineEdit(), edit(dialog, "lineEditProfessionName")})
            QVERIFY(line->property("velspoSpellCheckConnected").toBool());
        button(dialog, "pushButtonEdit")->click();
        button(dialog, "pushButtonSave")->click();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            if (it.key() != QLatin1String("editDate"))
                QCOMPARE(column(id, it.key()).toString(), it.value().toString());
        const QDateTime stamp = QDateTime::fromString(column(id, "editDate").toString(), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60);
    }

    // A failed supplement copy undoes the whole save; retried, every detail row is copied once.
    void documentFromTemplateReceivesTheSupplementOnce()
    {
        QVariantMap stored = fullDocument();
        stored.insert("isTemplate", 1);
        const int templateId = insertDocument(stored);
        QVERIFY(insertDetails(templateId));
        QVERIFY(exec("CREATE TRIGGER noSubjects BEFORE INSERT ON DMDetails "
                     "BEGIN SELECT RAISE(ABORT, 'no sub-subjects'); END"));
        ModalAnswerer answerer;
        dialog = new DocumentEditDialog;
        dialog->createFromTemplate(templateId);
        QCOMPARE(fullName(dialog) + buttons(), QString("||SepA-|R"));
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        Typing::typeOver(edit(dialog, "lineEditFio_1"), "Иванов");
        button(dialog, "pushButtonSave")->click();
        // Practices are copied before the sub-subjects fail.
        QCOMPARE(QList<int>({answerer.handledCount(), updated.count(), count("SpoDocuments"), count("PracticeDetails")}),
                 QList<int>({1, 0, 1, 2}));
        QCOMPARE(buttons().left(1), QString("S"));

        QVERIFY(exec("DROP TRIGGER noSubjects"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        const int id = scalar("SELECT spoId FROM SpoDocuments WHERE fio1 = 'Иванов'").toInt();
        QCOMPARE(column(id, "isTemplate").toInt(), 0);
        for (const char* name : {"qual", "serial", "issueDate", "previousEducation", "totalCount", "attestationTotalCount",
                                 "practiceTotalCount", "comment"})
            QCOMPARE(column(id, name), stored.value(name));
        // A later save is an update: the supplement is not copied twice.
        button(dialog, "pushButtonEdit")->click();
        button(dialog, "pushButtonSave")->click();
        for (const QString& table : detailTables())
            QCOMPARE(detailCount(table, id), detailCount(table, templateId));
        QCOMPARE(count("DMDetails", "moduleId IN (SELECT moduleId FROM ModuleDetails WHERE spoId = ?)", {id}), 3);
    }

    // A refused or failed save writes nothing, says why and keeps the input for a retry.
    void failedSaveKeepsTheInput_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        const QString refused = "CREATE TRIGGER refused BEFORE %1 ON SpoDocuments BEGIN SELECT RAISE(ABORT, 'read-only'); END";
        const QString failed = "Не удалось сохранить документ, изменения не записаны.\n";
        QTest::newRow("numbers taken") << false << "INSERT INTO SpoDocuments (serial, number, regNumber) VALUES ('333333', '4444444', 'R-1')"
                                       << "Невозможно сохранить документ:\n" + kDiplomaTaken + kRegTaken;
        QTest::newRow("insert refused") << false << refused.arg("INSERT") << failed + "read-only";
        // The INSERT goes through; the UPDATE that fills the row fails.
        QTest::newRow("new row not filled") << false << refused.arg("UPDATE") << failed + "read-only";
        QTest::newRow("update refused") << true << refused.arg("UPDATE") << failed + "read-only";
        QTest::newRow("deleted meanwhile") << true << "DELETE FROM SpoDocuments" << failed + "Документ не найден в базе данных.";
    }

    void failedSaveKeepsTheInput()
    {
        QFETCH(bool, stored);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        ModalAnswerer answerer;
        open(stored ? insertDocument({{"fio1", "Было"}}) : 0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        if (stored)
            button(dialog, "pushButtonEdit")->click();
        for (const auto& [name, text] : {std::pair("lineEditFio_1", "Стало"), {"lineEditSerial", "333333"},
                                         {"lineEditNumber", "4444444"}, {"lineEditRegNumber", "R-1"}})
            Typing::typeOver(edit(dialog, name), QString::fromUtf8(text));
        QVERIFY(exec(fault));
        const int before = count("SpoDocuments");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        QCOMPARE(answerer.texts(), QStringList{message});
        QCOMPARE(QList<int>({updated.count(), count("SpoDocuments"), count("SpoDocuments", "fio1 = 'Стало'")}),
                 QList<int>({0, before, 0}));
        QCOMPARE(buttons().left(1) + edit(dialog, "lineEditFio_1")->text(), QString("SСтало"));
        if (fault.startsWith("DELETE"))
            return;
        if (fault.startsWith("INSERT"))
            button(dialog, "checkBoxDuplicate")->setChecked(true);
        else
            QVERIFY(exec("DROP TRIGGER refused"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count() + answerer.handledCount(), 2);
        QCOMPARE(count("SpoDocuments", "fio1 = 'Стало' AND number = '4444444'"), 1);
    }

    // Delete asks first and takes the supplement along; the copy, with its supplement, becomes current and
    // the actions go to it; a failed copy says so and adds nothing; a create action ends the dialog.
    void templateDeleteCopyAndChoice()
    {
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id) && insertDetails(insertTemplate("Токарь")));
        openTemplates();
        list()->setCurrentRow(0);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        button(templates, "pushButtonDeleteTempl")->click();
        QCOMPARE(list()->count(), 2);
        button(templates, "pushButtonDeleteTempl")->click();
        QCOMPARE(list()->count() + detailCount("DMDetails", id), 1);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList{"Токарь"});
        QCOMPARE(templateButtons(), QStringLiteral("EC-NI-K-D-")); // nothing current any more

        list()->setCurrentRow(0);
        button(templates, "pushButtonCopyTempl")->click();
        const int copy = list()->currentItem()->data(Qt::UserRole).toInt();
        QCOMPARE(list()->currentItem()->text() + '|' + column(copy, "isTemplate").toString(), QStringLiteral("КОПИЯ Токарь|1"));
        QCOMPARE(count("DMDetails", "moduleId IN (SELECT moduleId FROM ModuleDetails WHERE spoId = ?)", {copy}), 3);
        QVERIFY(exec("CREATE TRIGGER noCopy BEFORE INSERT ON DMDetails BEGIN SELECT RAISE(ABORT, 'no'); END"));
        answerer.clear();
        button(templates, "pushButtonCopyTempl")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось создать копию шаблона."});
        QCOMPARE(list()->count() + count("SpoDocuments") + count("PracticeDetails"), 2 + 2 + 4);
        QSignalSpy edited(templates.data(), &SelectTemplateDialog::editTemplate),
            selected(templates.data(), &SelectTemplateDialog::spoIdSelected);
        button(templates, "pushButtonEditTempl")->click();
        button(templates, "pushButtonCreateWithTemplate")->click();
        QCOMPARE(QList<QVariant>({edited.value(0).value(0), selected.value(0).value(0)}), QList<QVariant>({copy, copy}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!templates);
    }

private:
    void open(int spoId)
    {
        dialog = new DocumentEditDialog;
        dialog->setSpoId(spoId);
    }

    // Save, edit, print and supplement buttons, then the registration number.
    QString buttons() const
    {
        return states(dialog, {{'s', "pushButtonSave"}, {'e', "pushButtonEdit"}, {'p', "pushButtonPrint"},
                               {'a', "pushButtonAdditonal"}}) + '|' + states(dialog, {{'r', "groupBoxRegNumber"}});
    }

    void openTemplates()
    {
        templates = new SelectTemplateDialog;
        templates->show();
    }
    QListWidget* list() const { return child<QListWidget>(templates, "listWidget"); }
    static int insertTemplate(const QString& name) { return insertDocument({{"isTemplate", 1}, {"fio1", name}}); }
    QString templateButtons() const
    {
        return states(templates, {{'e', "pushButtonCreateEmpty"}, {'c', "pushButtonCreateWithTemplate"},
                                  {'n', "pushButtonNewTempl"}, {'i', "pushButtonEditTempl"},
                                  {'k', "pushButtonCopyTempl"}, {'d', "pushButtonDeleteTempl"}});
    }

    QPointer<DocumentEditDialog> dialog;
    QPointer<SelectTemplateDialog> templates;
};

VELSPO_TEST_MAIN(DocumentEditDialogTest)
#include "tst_documenteditdialog.moc"
