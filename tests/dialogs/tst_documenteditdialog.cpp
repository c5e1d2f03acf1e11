#include "dialogs/DocumentEditDialog.h"
#include "dialogs/DocumentFields.h"
#include "dialogs/DocumentSaver.h"
#include "dialogs/DocumentValidator.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
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

// "serial number additionSerial additionNumber regNumber"; "-" is an empty
// value, "_" a blank.
DocumentFields fieldsOf(const QString& values, bool isDuplicate = false)
{
    QStringList parts = values.split(QLatin1Char(' '));
    for (QString& part : parts)
        part = part == QLatin1String("-") ? QString() : part.replace(QLatin1Char('_'), QLatin1Char(' '));
    DocumentFields fields;
    fields.fio1 = QStringLiteral("Сидоров");
    fields.serial = parts.value(0);
    fields.number = parts.value(1);
    fields.additionSerial = parts.value(2);
    fields.additionNumber = parts.value(3);
    fields.regNumber = parts.value(4);
    fields.isDuplicate = isDuplicate;
    return fields;
}

QString fullName(QWidget* dialog)
{
    return edit(dialog, "lineEditFio_1")->text() + '|' + edit(dialog, "lineEditFio_2")->text() + '|'
        + edit(dialog, "lineEditFio_3")->text();
}

// Records the underlines the spell checker sends to a line edit.
class UnderlineRecorder : public QObject
{
public:
    QList<int> misspeltLengths;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethod) {
            misspeltLengths.clear();
            for (const QInputMethodEvent::Attribute& attribute : static_cast<QInputMethodEvent*>(event)->attributes()) {
                if (attribute.type == QInputMethodEvent::TextFormat)
                    misspeltLengths << attribute.length;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// The document form: what it shows for new, stored and template documents,
// its input rules, the road to printing, and saving: the uniqueness checks and
// their texts, what is written on insert, update and from a template, and
// failed writes.
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

    void cleanup() { delete dialog; }

    void newDocumentForm()
    {
        open(0);
        QComboBox* type = child<QComboBox>(dialog, "comboBoxType");
        QCOMPARE(QStringList({dialog->windowTitle(), button(dialog, "pushButtonAdditonal")->text(),
                              child<QGroupBox>(dialog, "groupBoxNumber")->title(),
                              edit(dialog, "lineEditNumber")->placeholderText(),
                              edit(dialog, "lineEditAdditionSerial")->placeholderText(), type->itemText(0), type->itemText(1)}),
                 QStringList({"Выдача документа", "Приложение \nк документу", "Cерия и номер бланка диплома", "ххххххх",
                              "хххххх", "профессии", "специальности"}));

        // Edit mode, no supplement before the first save; whole dates shown.
        QCOMPARE(buttons(), QString("SepA-|R"));
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>())
            QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
        QDateEdit* issue = child<QDateEdit>(dialog, "dateEditIssue");
        QCOMPARE(issue->text(), QDate::currentDate().toString(issue->displayFormat()));
        QVERIFY(!edit(dialog, "lineEditDate")->isEnabled());
    }

    // A Russian locale takes blanks as group separators in a plain QIntValidator.
    void blankNumbersTakePlainDigitsOnly()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        open(0);
        const auto validate = [](QLineEdit* field, QString text) {
            int pos = 0;
            return field->validator()->validate(text, pos);
        };
        QLineEdit* number = edit(dialog, "lineEditNumber");
        QLineEdit* serial = edit(dialog, "lineEditSerial");
        for (QLineEdit* field : {number, serial, edit(dialog, "lineEditAdditionNumber"), edit(dialog, "lineEditAdditionSerial")}) {
            for (const QString& text : {QString("1 234"), QString::fromUtf8("1\u00a0234"), QString("1,234"),
                                        QString("+1234"), QString("-1"), QString::fromUtf8("١٢٣")})
                QCOMPARE(validate(field, text), QValidator::Invalid);
            QCOMPARE(validate(field, "001234"), QValidator::Acceptable);
        }
        QCOMPARE(validate(number, "9999999"), QValidator::Acceptable);
        QCOMPARE(validate(number, "10000000"), QValidator::Invalid);
        QCOMPARE(validate(serial, "999999"), QValidator::Acceptable);
        QCOMPARE(validate(serial, "1000000"), QValidator::Invalid);

        QTest::keyClicks(number, "1 234 567");
        QCOMPARE(number->text(), QString("1234567"));
        number->clear();
        QApplication::clipboard()->setText("1 234 567");
        number->paste();
        QCOMPARE(number->text(), QString());
        QLocale::setDefault(previous);
    }

    void oddOrMissingRowsOpenAsDefaults()
    {
        open(insertDocument({{"fio1", "Пустой"}, {"issueDate", "не дата"}}));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate::currentDate()); // left as it was
        delete dialog;
        open(4242); // no such row
        QCOMPARE(fullName(dialog) + buttons().left(1), QString("||s"));
    }

    void templateFormIsRestrictedAlsoAfterEdit()
    {
        open(-1);
        dialog->setTemplateMode(true);
        QCOMPARE(dialog->windowTitle() + '|' + child<QGroupBox>(dialog, "groupBoxFio1")->title(),
                 QString("Реактирование шаблона|Название шаблона"));
        QCOMPARE(states(dialog, {{'b', "groupBoxFio2"}, {'c', "groupBoxFio3"}}), QString("bc"));
        delete dialog;

        open(insertDocument({{"fio1", "Шаблон"}, {"isTemplate", 1}}));
        dialog->setTemplateMode(true);
        QCOMPARE(buttons().mid(2, 1), QString("p"));
        button(dialog, "pushButtonEdit")->click();
        QCOMPARE(states(dialog, {{'n', "lineEditNumber"}, {'m', "lineEditAdditionNumber"}, {'r', "groupBoxRegNumber"},
                                 {'s', "lineEditSerial"}, {'x', "checkBoxIsEcsellent"}, {'p', "pushButtonPrint"}}),
                 QString("N-M-R-SXp"));
        button(dialog, "pushButtonPrint")->click(); // never printed, even when asked
        QVERIFY(!dialog->findChild<PrintDialog*>());
    }

    void documentStartsFromATemplateWithoutItsName()
    {
        const int id = insertDocument({{"fio1", "Шаблон поваров"}, {"fio2", "x"}, {"fio3", "y"}, {"isTemplate", 1},
                                       {"qual", "Повар"}, {"serial", "123456"}, {"issueDate", "2021-06-30"}});
        dialog = new DocumentEditDialog;
        dialog->createFromTemplate(id);
        QCOMPARE(QStringList({fullName(dialog), child<QComboBox>(dialog, "comboBoxQual")->currentText(),
                              edit(dialog, "lineEditSerial")->text(),
                              child<QDateEdit>(dialog, "dateEditIssue")->date().toString(Qt::ISODate), dialog->windowTitle()}),
                 QStringList({"||", "Повар", "123456", "2021-06-30", "Выдача документа"}));
        QCOMPARE(buttons(), QString("SepA-|R"));
        delete dialog;
        dialog = new DocumentEditDialog;
        dialog->createFromTemplate(4242); // gone meanwhile: an empty form
        QCOMPARE(child<QComboBox>(dialog, "comboBoxQual")->currentText() + buttons().left(1), QString("S"));
    }

    void pastedFullNameIsSplit_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("patronymic");
        QTest::addColumn<bool>("templateMode");
        QTest::addColumn<QString>("fields");
        QTest::newRow("three words") << "Иванов Иван Иванович" << "" << false << "Иванов|Иван|Иванович";
        QTest::newRow("four words") << "Римский-Корсаков Кара Николай Андреевич" << "" << false
                                    << "Римский-Корсаков Кара|Николай|Андреевич";
        QTest::newRow("one word") << "Иванов" << "" << false << "Иванов||";
        QTest::newRow("white space") << "  Иванов \t Иван\nИванович  " << "" << false << "Иванов|Иван|Иванович";
        QTest::newRow("patronymic filled") << "Иванов Иван Иванович" << "Петрович" << false
                                           << "Иванов Иван Иванович||Петрович";
        QTest::newRow("template name") << "Повара очной формы" << "" << true << "Повара|очной|формы";
    }

    void pastedFullNameIsSplit()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, patronymic);
        QFETCH(bool, templateMode);
        QFETCH(QString, fields);
        open(templateMode ? -1 : 0);
        dialog->setTemplateMode(templateMode);
        edit(dialog, "lineEditFio_3")->setText(patronymic);
        QApplication::clipboard()->setText(pasted);
        edit(dialog, "lineEditFio_1")->paste();
        QCOMPARE(fullName(dialog), fields);
    }

    void typedNameSplitsOnlyWhenTheClipboardHoldsIt()
    {
        open(0);
        QLineEdit* surname = edit(dialog, "lineEditFio_1");
        QApplication::clipboard()->setText("что-то другое");
        QTest::keyClicks(surname, "Ivanov Ivan"); // key clicks take Latin letters only
        QCOMPARE(fullName(dialog), QString("Ivanov Ivan||"));
        surname->clear();
        QApplication::clipboard()->setText("Petrov Petr");
        QTest::keyClicks(surname, "Petrov Petr");
        QCOMPARE(fullName(dialog), QString("Petrov|Petr|"));
    }

    void qualificationOffersStoredValues()
    {
        for (const char* qual : {"Пекарь", "Повар", "Повар ", "  "})
            insertDocument({{"qual", QString::fromUtf8(qual)}});
        open(0);
        QComboBox* qual = child<QComboBox>(dialog, "comboBoxQual");
        QCOMPARE(QStringList({qual->itemText(0), qual->itemText(1), QString::number(qual->count()), qual->currentText()}),
                 QStringList({"Повар", "Пекарь", "2", ""}));
    }

    void cancelDropsInputAndKeepsGeometry()
    {
        open(0);
        dialog->show();
        dialog->setGeometry(QRect(40, 60, 700, 590));
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QRect placed = dialog->geometry();
        edit(dialog, "lineEditFio_1")->setText("Несохранённый");
        button(dialog, "pushButtonCancel")->click();
        QVERIFY(dialog->isHidden());
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(count("SpoDocuments"), 0);
        dialog = new DocumentEditDialog;
        QCOMPARE(dialog->geometry(), placed);
    }

    // Every line edit, the qualification's included, is checked.
    void lineEditsAreSpellChecked()
    {
        QDir().mkpath(Database::dataPath() + "/dict");
        for (const auto& file : {std::make_pair("aff", "SET UTF-8\n"), std::make_pair("dic", "2\ncook\npastry\n")}) {
            QFile out(Database::dataPath() + "/dict/ru_RU." + file.first);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file.second) > 0);
        }
        QVERIFY(SpellChecker::init());
        open(0);
        UnderlineRecorder profession, qualification;
        edit(dialog, "lineEditProfessionName")->installEventFilter(&profession);
        child<QComboBox>(dialog, "comboBoxQual")->lineEdit()->installEventFilter(&qualification);
        edit(dialog, "lineEditProfessionName")->setText("cook pastyr");
        child<QComboBox>(dialog, "comboBoxQual")->lineEdit()->setText("pastyr cook");
        QCOMPARE(profession.misspeltLengths + qualification.misspeltLengths, QList<int>({6, 6}));
        delete dialog;
        SpellChecker::destroy();
    }

    void printGoesThroughTheChooserAndTheBlankCheck()
    {
        open(0); // unsaved: never printed
        button(dialog, "pushButtonPrint")->click();
        QVERIFY(!dialog->findChild<PrintDialog*>());
        delete dialog;

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
        QCOMPARE(answerer.handledCount(), 2);
        QCOMPARE(printed.count(), 1);
        QCOMPARE(printed.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoDiploma), id, false}));
    }


    void problems_data()
    {
        QTest::addColumn<QString>("values");
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
        QTest::newRow("NULL series, diploma") << "- 7654321" << false << 0 << QStringList({kDiplomaTaken});
        QTest::newRow("NULL series, supplement") << "- - - 7654321" << false << 0 << QStringList({kSupplementTaken});
        // Stored with white space around (typed so, or by an older version).
        QTest::newRow("stored padded") << "555555 6666666 777777 8888888 R-5" << false << 0
                                       << QStringList({kDiplomaTaken, kRegTaken, kSupplementTaken});
        QTest::newRow("typed padded") << "_555555_ _6666666 - - __R-5" << false << 0 << QStringList({kDiplomaTaken, kRegTaken});
        QTest::newRow("inner blank matters") << "- - - - R-_5" << false << 0 << none;
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
        const int spoId = ownRow == 1 ? reference : ownRow;
        QCOMPARE(DocumentValidator::problems(fieldsOf(values, isDuplicate), spoId), problems);
    }

    void formShowsOneWarningAndWritesNothing()
    {
        insertDocument({{"serial", "333333"}, {"number", "4444444"}, {"regNumber", "R-1"}});
        ModalAnswerer answerer;
        open(0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditSerial")->setText("333333");
        edit(dialog, "lineEditNumber")->setText("4444444");
        edit(dialog, "lineEditRegNumber")->setText("R-1");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.texts(), QStringList({"Невозможно сохранить документ:\n" + kDiplomaTaken + kRegTaken}));
        QCOMPARE(answerer.titles(), QStringList({"Внимание!"}));
        QCOMPARE(QList<int>({updated.count(), count("SpoDocuments")}), QList<int>({0, 1}));
        QCOMPARE(buttons(), QString("SepA-|R")); // still editing
        answerer.clear(); // ticked as a duplicate, the same input is saved
        button(dialog, "checkBoxDuplicate")->setChecked(true);
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(count("SpoDocuments", "isDuplicate = 1 AND number = '4444444'"), 1);
    }

    // Opened in view mode and saved again unchanged, a stored document keeps
    // every column (the supplement's too) but its edit stamp; flags above one
    // become one. A name pasted whole into the surname while the other fields
    // were filled is stored whole; reloading it must not split it again.
    void storedDocumentRoundTripKeepsEveryColumn()
    {
        QApplication::clipboard()->setText("Иванов Иван Иванович");
        QVariantMap stored = fullDocument();
        stored.insert({{"isDuplicate", 2}, {"fio1", "Иванов Иван Иванович"}});
        const int id = insertDocument(stored);
        stored.insert("isDuplicate", 1);
        open(id);
        QCOMPARE(fullName(dialog), QString("Иванов Иван Иванович|Мария|Петровна"));
        QCOMPARE(buttons(), QString("sEPA|R-"));
        button(dialog, "pushButtonEdit")->click();
        QCOMPARE(buttons(), QString("SepA|R"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(buttons(), QString("sEPA|R-"));
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            if (it.key() != QLatin1String("editDate"))
                QCOMPARE(column(id, it.key()).toString(), it.value().toString());
        const QDateTime stamp = QDateTime::fromString(column(id, "editDate").toString(), "yyyy-MM-dd hh:mm:ss");
        QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60);
    }

    void textsAreStoredAsTypedAndAsData()
    {
        DocumentFields fields = fieldsOf("_12_ 34_ - - R-2_");
        fields.fio1 = QStringLiteral("O'Neil'); DROP TABLE SpoDocuments; --");
        DocumentSaver saver(0, 0, false);
        QVERIFY(saver.save(fields));
        QCOMPARE(rows("SELECT fio1, serial, number, regNumber, isTemplate FROM SpoDocuments WHERE spoId = ?", {saver.spoId()}),
                 QStringList({fields.fio1 + "| 12 |34 |R-2 |0"}));
    }

    void newFormSavesOneRowAndReturnsToViewMode_data()
    {
        QTest::addColumn<bool>("templateMode");
        QTest::newRow("document") << false;
        QTest::newRow("template") << true;
    }

    void newFormSavesOneRowAndReturnsToViewMode()
    {
        QFETCH(bool, templateMode);
        ModalAnswerer answerer;
        open(templateMode ? -1 : 0);
        dialog->setTemplateMode(templateMode);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Сидоров");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(buttons(), templateMode ? QString("sEpA|R-") : QString("sEPA|R-")); // templates are never printed
        QVERIFY(!edit(dialog, "lineEditDate")->text().isEmpty()); // reloaded from the row
        button(dialog, "pushButtonEdit")->click();
        edit(dialog, "lineEditFio_1")->setText("Сидорова");
        button(dialog, "pushButtonSave")->click(); // updates the same row
        QCOMPARE(updated.count(), 2);
        QCOMPARE(rows("SELECT fio1, isTemplate FROM SpoDocuments"), QStringList{QString("Сидорова|%1").arg(int(templateMode))});
        QCOMPARE(answerer.handledCount(), 0);
    }

    // A failed copy of the supplement undoes the whole save; retried, the
    // document receives the template's summary and every detail row, once.
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
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Иванов");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(QList<int>({answerer.handledCount(), updated.count()}), QList<int>({1, 0}));
        for (const QString& table : documentTables())
            QCOMPARE(count(table), table == QLatin1String("SpoDocuments") ? 1 : detailCount(table, templateId));
        QCOMPARE(buttons().left(1), QString("S"));

        QVERIFY(exec("DROP TRIGGER noSubjects"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        const int id = scalar("SELECT spoId FROM SpoDocuments WHERE fio1 = 'Иванов'").toInt();
        QCOMPARE(column(id, "isTemplate").toInt(), 0);
        for (const char* name : {"previousEducation", "totalCount", "attestationTotalCount", "practiceTotalCount", "comment"})
            QCOMPARE(column(id, name), stored.value(name));
        for (const QString& table : detailTables())
            QCOMPARE(detailCount(table, id), detailCount(table, templateId));
        QCOMPARE(count("DMDetails", "spoId = ? AND moduleId NOT IN (SELECT moduleId FROM ModuleDetails WHERE spoId = ?)",
                       {id, id}), 0);

        // A later save is an update: the supplement is not copied twice.
        button(dialog, "pushButtonEdit")->click();
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(detailCount("ModuleDetails", id), 2);
    }

    void noOrVanishedTemplateGivesNoSupplement()
    {
        const int templateId = insertDocument({{"isTemplate", 1}, {"totalCount", "10"}});
        QVERIFY(insertDetails(templateId));
        DocumentSaver empty(0, 0, false);
        QVERIFY(empty.save(fieldsOf("- - - - R-4")));
        QVERIFY(column(empty.spoId(), "totalCount").isNull());
        DocumentSaver vanished(0, 9999, false);
        QVERIFY(vanished.save(fieldsOf("- - - - R-5")));
        QCOMPARE(count("SpoDocuments", "regNumber IN ('R-4', 'R-5')"), 2);
        QCOMPARE(count("PracticeDetails"), 2);
    }

    void failedInsertKeepsTheInput()
    {
        QVERIFY(exec("CREATE TRIGGER readOnlyInsert BEFORE INSERT ON SpoDocuments "
                     "BEGIN SELECT RAISE(ABORT, 'read-only'); END"));
        ModalAnswerer answerer;
        open(0);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        edit(dialog, "lineEditFio_1")->setText("Сидоров");
        edit(dialog, "lineEditNumber")->setText("7654321");
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить документ, изменения не записаны.\nread-only"});
        QCOMPARE(updated.count() + count("SpoDocuments"), 0);
        QCOMPARE(buttons() + states(dialog, {{'f', "groupBoxFio1"}}), QString("SepA-|RF"));
        QCOMPARE(edit(dialog, "lineEditNumber")->text(), QString("7654321"));
        // Once the database takes writes again, the same form inserts one row.
        QVERIFY(exec("DROP TRIGGER readOnlyInsert"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(rows("SELECT fio1, number FROM SpoDocuments"), QStringList{"Сидоров|7654321"});
    }

    void failedOrVanishedUpdateKeepsTheInput_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("refused") << "CREATE TRIGGER readOnlyUpdate BEFORE UPDATE ON SpoDocuments "
                                    "BEGIN SELECT RAISE(ABORT, 'read-only'); END";
        QTest::newRow("deleted meanwhile") << "DELETE FROM SpoDocuments";
    }

    void failedOrVanishedUpdateKeepsTheInput()
    {
        QFETCH(QString, fault);
        const int id = insertDocument({{"fio1", "Было"}});
        ModalAnswerer answerer;
        open(id);
        QSignalSpy updated(dialog.data(), &DocumentEditDialog::documentsUpdated);
        button(dialog, "pushButtonEdit")->click();
        edit(dialog, "lineEditFio_1")->setText("Стало");
        QVERIFY(exec(fault));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(QList<int>({answerer.handledCount(), updated.count(), count("SpoDocuments", "fio1 <> 'Было'")}), QList<int>({1, 0, 0}));
        QCOMPARE(buttons().left(1) + edit(dialog, "lineEditFio_1")->text(), QString("SСтало"));
    }

    void failedInsertBehindTheRowWritesNothing()
    {
        // The INSERT goes through; the UPDATE that fills it fails.
        QVERIFY(exec("CREATE TRIGGER noUpdate BEFORE UPDATE ON SpoDocuments BEGIN SELECT RAISE(ABORT, 'no update'); END"));
        DocumentSaver saver(0, 0, false);
        QVERIFY(!saver.save(fieldsOf("- 1")));
        QCOMPARE(saver.spoId(), 0);
        QVERIFY(saver.errorText().contains("no update"));
        QCOMPARE(count("SpoDocuments"), 0);
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

    QPointer<DocumentEditDialog> dialog;
};

VELSPO_TEST_MAIN(DocumentEditDialogTest)
#include "tst_documenteditdialog.moc"
