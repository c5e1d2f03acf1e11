#include "DocumentFormFixture.h"

#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QValidator>

using namespace DocumentFormFixture;

namespace {

QStringList focusChain(QWidget* dialog, const QStringList& names)
{
    QStringList order;
    QWidget* first = dialog->findChild<QWidget*>(names.first());
    QWidget* widget = first;
    do {
        if (names.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != first);
    return order;
}

QValidator::State validate(QLineEdit* edit, QString text)
{
    int pos = 0;
    return edit->validator()->validate(text, pos);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Records the underlines the spell checker sends to a line edit.
class UnderlineRecorder : public QObject
{
public:
    QList<int> misspeltLengths;
    int events = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethod) {
            ++events;
            misspeltLengths.clear();
            const auto* im = static_cast<QInputMethodEvent*>(event);
            for (const QInputMethodEvent::Attribute& attribute : im->attributes()) {
                if (attribute.type == QInputMethodEvent::TextFormat)
                    misspeltLengths << attribute.length;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class DocumentEditDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        QVERIFY(openDatabase());
    }

    void init()
    {
        resetDatabase();
        QApplication::clipboard()->clear();
    }

    // ------------------------------------------------------------ the form

    void constructionSetsUpTheForm()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        QCOMPARE(dialog->objectName(), QString("DocumentEditDialog"));
        QCOMPARE(dialog->windowTitle(), QString("Выдача документа"));
        QCOMPARE(dialog->size(), QSize(694, 582));
        QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QVERIFY(dialog->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);

        // View mode, nothing to show yet.
        QVERIFY(button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(!button(dialog, "pushButtonEdit")->isHidden());
        QVERIFY(!button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(!button(dialog, "pushButtonAdditonal")->isEnabled());
        QVERIFY(!child<QGroupBox>(dialog, "groupBoxFio1")->isEnabled());
        QVERIFY(!child<QGroupBox>(dialog, "groupBoxRegNumber")->isEnabled());
        QVERIFY(!child<QCheckBox>(dialog, "checkBoxDuplicate")->isEnabled());
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate::currentDate());
        QCOMPARE(child<QDateEdit>(dialog, "dateEditDecision")->date(), QDate::currentDate());

        QCOMPARE(button(dialog, "pushButtonAdditonal")->text(), QString("Приложение \nк документу"));
        QCOMPARE(child<QGroupBox>(dialog, "groupBoxNumber")->title(), QString("Cерия и номер бланка диплома"));
        QCOMPARE(edit(dialog, "lineEditNumber")->placeholderText(), QString("ххххххх"));
        QCOMPARE(edit(dialog, "lineEditAdditionSerial")->placeholderText(), QString("хххххх"));
        QVERIFY(edit(dialog, "lineEditDate")->isReadOnly());
        QVERIFY(!edit(dialog, "lineEditDate")->isEnabled());
        QComboBox* type = child<QComboBox>(dialog, "comboBoxType");
        QCOMPARE(type->count(), 2);
        QCOMPARE(type->itemText(0), QString("профессии"));
        QCOMPARE(type->itemText(1), QString("специальности"));
        QVERIFY(child<QComboBox>(dialog, "comboBoxQual")->isEditable());

        const QStringList tabOrder = {
            "lineEditFio_1", "lineEditFio_2", "lineEditFio_3", "comboBoxQual", "dateEditBirth", "comboBoxType",
            "lineEditProfessionName", "lineEditProfessionCode", "checkBoxDuplicate", "checkBoxIsEcsellent",
            "lineEditRegNumber", "dateEditIssue", "dateEditDecision", "lineEditSerial", "lineEditNumber",
            "lineEditAdditionSerial", "lineEditAdditionNumber", "lineEditDeductionNumber", "dateEditDeduction",
            "pushButtonEdit", "pushButtonSave", "pushButtonCancel", "pushButtonAdditonal", "pushButtonPrint",
            "lineEditDate"};
        QCOMPARE(focusChain(dialog, tabOrder), tabOrder);
        delete dialog;
    }

    void blankNumbersTakePlainDigitsOnly()
    {
        // A Russian locale takes blanks as group separators in plain QIntValidator.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QLineEdit* number = edit(dialog, "lineEditNumber");
        QLineEdit* serial = edit(dialog, "lineEditSerial");
        for (QLineEdit* field : {number, serial, edit(dialog, "lineEditAdditionNumber"), edit(dialog, "lineEditAdditionSerial")}) {
            QCOMPARE(validate(field, "1 234"), QValidator::Invalid);
            QCOMPARE(validate(field, QString::fromUtf8("1\u00a0234")), QValidator::Invalid);
            QCOMPARE(validate(field, "1,234"), QValidator::Invalid);
            QCOMPARE(validate(field, "+1234"), QValidator::Invalid);
            QCOMPARE(validate(field, "-1"), QValidator::Invalid);
            QCOMPARE(validate(field, QString::fromUtf8("١٢٣")), QValidator::Invalid);
            QCOMPARE(validate(field, "001234"), QValidator::Acceptable);
            QCOMPARE(validate(field, ""), QValidator::Intermediate);
        }
        QCOMPARE(validate(number, "9999999"), QValidator::Acceptable);
        QCOMPARE(validate(number, "10000000"), QValidator::Invalid);
        QCOMPARE(validate(serial, "999999"), QValidator::Acceptable);
        QCOMPARE(validate(serial, "1000000"), QValidator::Invalid);

        // Typed and pasted input with separators does not get in.
        QTest::keyClicks(number, "1 234 567");
        QCOMPARE(number->text(), QString("1234567"));
        number->clear();
        QApplication::clipboard()->setText("1 234 567");
        number->paste();
        QCOMPARE(number->text(), QString());
        QLocale::setDefault(previous);
        delete dialog;
    }

    void newDocumentOpensInEditMode()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(button(dialog, "pushButtonEdit")->isHidden());
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(!button(dialog, "pushButtonAdditonal")->isEnabled());
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>())
            QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
        QVERIFY(child<QCheckBox>(dialog, "checkBoxIsEcsellent")->isEnabled());
        // The form shows whole dates: what is shown is what will be saved.
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate::currentDate());
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->text(),
                 QDate::currentDate().toString(child<QDateEdit>(dialog, "dateEditIssue")->displayFormat()));
        delete dialog;
    }

    void savedDocumentOpensInViewMode()
    {
        const int id = insertRow("SpoDocuments", {
            {"fio1", "Иванов"}, {"fio2", "Иван"}, {"fio3", "Иванович"}, {"professionCode", "43.01.09"},
            {"professionName", "Повар, кондитер"}, {"qual", "Повар"}, {"programType", 1},
            {"decisionDate", "2020-06-25"}, {"issueDate", "2020-06-30"}, {"birthDate", "2001-02-03"},
            {"regNumber", "R-7"}, {"editDate", "2020-07-01 10:11:12"}, {"isDuplicate", 0}, {"isExcellent", 1},
            {"serial", "111111"}, {"additionSerial", "222222"}, {"number", "3333333"}, {"additionNumber", "4444444"},
            {"deductionDate", "2020-07-02"}, {"deductionNumber", "15-к"}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Иванов"));
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString("Иван"));
        QCOMPARE(edit(dialog, "lineEditFio_3")->text(), QString("Иванович"));
        QCOMPARE(edit(dialog, "lineEditProfessionCode")->text(), QString("43.01.09"));
        QCOMPARE(edit(dialog, "lineEditProfessionName")->text(), QString("Повар, кондитер"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxQual")->currentText(), QString("Повар"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxType")->currentIndex(), 1);
        QCOMPARE(child<QDateEdit>(dialog, "dateEditDecision")->date(), QDate(2020, 6, 25));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate(2020, 6, 30));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditBirth")->date(), QDate(2001, 2, 3));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditDeduction")->date(), QDate(2020, 7, 2));
        QCOMPARE(edit(dialog, "lineEditRegNumber")->text(), QString("R-7"));
        QCOMPARE(edit(dialog, "lineEditDate")->text(), QString("2020-07-01 10:11:12"));
        QVERIFY(!child<QCheckBox>(dialog, "checkBoxDuplicate")->isChecked());
        QVERIFY(child<QCheckBox>(dialog, "checkBoxIsEcsellent")->isChecked());
        QCOMPARE(edit(dialog, "lineEditSerial")->text(), QString("111111"));
        QCOMPARE(edit(dialog, "lineEditAdditionSerial")->text(), QString("222222"));
        QCOMPARE(edit(dialog, "lineEditNumber")->text(), QString("3333333"));
        QCOMPARE(edit(dialog, "lineEditAdditionNumber")->text(), QString("4444444"));
        QCOMPARE(edit(dialog, "lineEditDeductionNumber")->text(), QString("15-к"));

        QVERIFY(button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(!button(dialog, "pushButtonEdit")->isHidden());
        QVERIFY(!button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(button(dialog, "pushButtonAdditonal")->isEnabled());
        QVERIFY(!child<QGroupBox>(dialog, "groupBox_10")->isEnabled());

        button(dialog, "pushButtonEdit")->click();
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(child<QGroupBox>(dialog, "groupBoxRegNumber")->isEnabled());
        QVERIFY(edit(dialog, "lineEditNumber")->isEnabled());
        delete dialog;
    }

    void nullColumnsOpenAsDefaults()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Пустой"}, {"issueDate", "не дата"}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        child<QComboBox>(dialog, "comboBoxType")->setCurrentIndex(1);
        dialog->setSpoId(id);
        QCOMPARE(child<QComboBox>(dialog, "comboBoxType")->currentIndex(), 0);
        // A date that does not parse leaves the date edit as it was.
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate::currentDate());
        QCOMPARE(edit(dialog, "lineEditRegNumber")->text(), QString());
        delete dialog;
    }

    void vanishedRowLeavesTheFormEmpty()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(4242);
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString());
        QVERIFY(button(dialog, "pushButtonSave")->isHidden());
        delete dialog;
    }

    // ------------------------------------------------------------ templates

    void newTemplateRestrictsTheForm()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(-1);
        dialog->setTemplateMode(true);
        QCOMPARE(dialog->windowTitle(), QString("Реактирование шаблона"));
        QCOMPARE(child<QGroupBox>(dialog, "groupBoxFio1")->title(), QString("Название шаблона"));
        QVERIFY(child<QGroupBox>(dialog, "groupBoxFio2")->isHidden());
        QVERIFY(child<QGroupBox>(dialog, "groupBoxFio3")->isHidden());
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(!button(dialog, "pushButtonAdditonal")->isEnabled());
        QVERIFY(!edit(dialog, "lineEditNumber")->isEnabled());
        QVERIFY(!edit(dialog, "lineEditAdditionNumber")->isEnabled());
        QVERIFY(!edit(dialog, "lineEditRegNumber")->isEnabled());
        QVERIFY(edit(dialog, "lineEditSerial")->isEnabled());
        QVERIFY(edit(dialog, "lineEditAdditionSerial")->isEnabled());
        QVERIFY(child<QDateEdit>(dialog, "dateEditIssue")->isEnabled());
        QVERIFY(child<QCheckBox>(dialog, "checkBoxDuplicate")->isEnabled());
        QVERIFY(child<QCheckBox>(dialog, "checkBoxIsEcsellent")->isEnabled());

        dialog->setTemplateMode(false);
        QCOMPARE(dialog->windowTitle(), QString("Выдача документа"));
        QCOMPARE(child<QGroupBox>(dialog, "groupBoxFio1")->title(), QString("Фамилия"));
        QVERIFY(!child<QGroupBox>(dialog, "groupBoxFio2")->isHidden());
        delete dialog;
    }

    void editingATemplateKeepsItsRestrictions()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Шаблон"}, {"isTemplate", 1}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        dialog->setTemplateMode(true);
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        QVERIFY(!button(dialog, "pushButtonEdit")->isHidden());
        QVERIFY(button(dialog, "pushButtonAdditonal")->isEnabled());
        button(dialog, "pushButtonEdit")->click();
        QVERIFY(!edit(dialog, "lineEditNumber")->isEnabled());
        QVERIFY(!edit(dialog, "lineEditAdditionNumber")->isEnabled());
        QVERIFY(!child<QGroupBox>(dialog, "groupBoxRegNumber")->isEnabled());
        QVERIFY(edit(dialog, "lineEditSerial")->isEnabled());
        QVERIFY(button(dialog, "pushButtonPrint")->isHidden());
        delete dialog;
    }

    void documentStartsFromATemplateWithoutItsName()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Шаблон поваров"}, {"fio2", "x"}, {"fio3", "y"},
            {"isTemplate", 1}, {"qual", "Повар"}, {"professionName", "Поварское дело"}, {"serial", "123456"},
            {"issueDate", "2021-06-30"}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->createFromTemplate(id);
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString());
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString());
        QCOMPARE(edit(dialog, "lineEditFio_3")->text(), QString());
        QCOMPARE(child<QComboBox>(dialog, "comboBoxQual")->currentText(), QString("Повар"));
        QCOMPARE(edit(dialog, "lineEditProfessionName")->text(), QString("Поварское дело"));
        QCOMPARE(edit(dialog, "lineEditSerial")->text(), QString("123456"));
        QCOMPARE(child<QDateEdit>(dialog, "dateEditIssue")->date(), QDate(2021, 6, 30));
        QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
        QVERIFY(!button(dialog, "pushButtonAdditonal")->isEnabled());
        QCOMPARE(dialog->windowTitle(), QString("Выдача документа"));
        delete dialog;

        for (int missing : {0, 4242}) {
            dialog = new DocumentEditDialog;
            dialog->createFromTemplate(missing);
            QCOMPARE(child<QComboBox>(dialog, "comboBoxQual")->currentText(), QString());
            QVERIFY(!button(dialog, "pushButtonSave")->isHidden());
            delete dialog;
        }
    }

    // ------------------------------------------------------------ full-name paste

    void pastedFullNameIsSplit_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("three words") << "Иванов Иван Иванович" << QStringList({"Иванов", "Иван", "Иванович"});
        QTest::newRow("four words") << "Римский-Корсаков Кара Николай Андреевич"
                                    << QStringList({"Римский-Корсаков Кара", "Николай", "Андреевич"});
        QTest::newRow("two words") << "Иванов Иван" << QStringList({"Иванов", "Иван", ""});
        QTest::newRow("one word") << "Иванов" << QStringList({"Иванов", "", ""});
        QTest::newRow("white space") << "  Иванов \t Иван\nИванович  " << QStringList({"Иванов", "Иван", "Иванович"});
    }

    void pastedFullNameIsSplit()
    {
        QFETCH(QString, pasted);
        QFETCH(QStringList, fields);
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QApplication::clipboard()->setText(pasted);
        edit(dialog, "lineEditFio_1")->paste();
        QCOMPARE(QStringList({edit(dialog, "lineEditFio_1")->text(), edit(dialog, "lineEditFio_2")->text(),
                              edit(dialog, "lineEditFio_3")->text()}),
                 fields);
        delete dialog;
    }

    void pasteLeavesFilledNamesAlone()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        edit(dialog, "lineEditFio_3")->setText("Петрович");
        QApplication::clipboard()->setText("Иванов Иван Иванович");
        edit(dialog, "lineEditFio_1")->paste();
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Иванов Иван Иванович"));
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString());
        QCOMPARE(edit(dialog, "lineEditFio_3")->text(), QString("Петрович"));
        delete dialog;
    }

    void typedNameSplitsOnlyWhenTheClipboardHoldsIt()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        QLineEdit* surname = edit(dialog, "lineEditFio_1");
        QApplication::clipboard()->setText("что-то другое");
        // Key clicks take Latin letters only.
        QTest::keyClicks(surname, "Ivanov Ivan");
        QCOMPARE(surname->text(), QString("Ivanov Ivan"));
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString());

        surname->clear();
        QApplication::clipboard()->setText("Petrov Petr");
        QTest::keyClicks(surname, "Petrov Petr");
        QCOMPARE(surname->text(), QString("Petrov"));
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString("Petr"));
        delete dialog;
    }

    void templateNameStillFillsTheHiddenFields()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(-1);
        dialog->setTemplateMode(true);
        QApplication::clipboard()->setText("Повара очной формы");
        edit(dialog, "lineEditFio_1")->paste();
        QCOMPARE(edit(dialog, "lineEditFio_1")->text(), QString("Повара"));
        QCOMPARE(edit(dialog, "lineEditFio_2")->text(), QString("очной"));
        QCOMPARE(edit(dialog, "lineEditFio_3")->text(), QString("формы"));
        delete dialog;
    }

    // ------------------------------------------------------------ the rest

    void qualificationOffersStoredValuesMostFrequentFirst()
    {
        insertRow("SpoDocuments", {{"qual", "Пекарь"}});
        insertRow("SpoDocuments", {{"qual", "Повар"}});
        insertRow("SpoDocuments", {{"qual", "Повар "}});
        insertRow("SpoDocuments", {{"qual", "  "}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        QComboBox* qual = child<QComboBox>(dialog, "comboBoxQual");
        QCOMPARE(qual->count(), 2);
        QCOMPARE(qual->itemText(0), QString("Повар"));
        QCOMPARE(qual->itemText(1), QString("Пекарь"));
        QCOMPARE(qual->currentText(), QString());
        delete dialog;
    }

    void geometryIsKeptBetweenOpenings()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->show();
        dialog->setGeometry(QRect(40, 60, 700, 590));
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QRect placed = dialog->geometry();
        button(dialog, "pushButtonCancel")->click();
        QVERIFY(dialog->isHidden());
        QTRY_VERIFY(dialog.isNull());

        Database::userSettings()->beginGroup("VelSpo");
        QVERIFY(Database::userSettings()->contains("DocumentEditDialogGeometry"));
        Database::userSettings()->endGroup();

        dialog = new DocumentEditDialog;
        QCOMPARE(dialog->geometry(), placed);
        delete dialog;
    }

    void closingDropsUnsavedInput()
    {
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        edit(dialog, "lineEditFio_1")->setText("Несохранённый");
        button(dialog, "pushButtonCancel")->click();
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(count("SpoDocuments"), 0);
    }

    void everyLineEditIsSpellChecked()
    {
        writeFile(Database::dataPath() + "/dict/ru_RU.aff", "SET UTF-8\n");
        writeFile(Database::dataPath() + "/dict/ru_RU.dic", "2\ncook\npastry\n");
        QVERIFY(SpellChecker::init());

        for (const char* name : {"lineEditProfessionName", "lineEditNumber"}) {
            QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
            dialog->setSpoId(0);
            UnderlineRecorder recorder;
            edit(dialog, name)->installEventFilter(&recorder);
            edit(dialog, name)->setText(QString::fromLatin1(name) == "lineEditNumber" ? "12" : "cook pastyr");
            QVERIFY2(recorder.events > 0, name);
            delete dialog;
        }
        {
            QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
            dialog->setSpoId(0);
            UnderlineRecorder recorder;
            QLineEdit* qual = child<QComboBox>(dialog, "comboBoxQual")->lineEdit();
            qual->installEventFilter(&recorder);
            qual->setText("pastyr cook");
            QCOMPARE(recorder.misspeltLengths, QList<int>({6}));
            delete dialog;
        }

        // Switched off: a form opened afterwards underlines nothing.
        Database::userSettings()->setValue("SpellChecker/enabled", false);
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        UnderlineRecorder recorder;
        edit(dialog, "lineEditFio_1")->installEventFilter(&recorder);
        edit(dialog, "lineEditFio_1")->setText("pastyr");
        QCOMPARE(recorder.events, 0);
        delete dialog;
        Database::userSettings()->remove("SpellChecker/enabled");
        SpellChecker::destroy();
    }

    // ------------------------------------------------------------ printing

    void printGoesThroughTheChooserAndTheBlankCheck()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Отличник"}, {"isExcellent", 1}});
        ModalAnswerer answerer;
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        QSignalSpy printed(dialog.data(), &DocumentEditDialog::documentPrint);

        auto choose = [&](ReportList::ReportType type) {
            button(dialog, "pushButtonPrint")->click();
            PrintDialog* chooser = dialog->findChild<PrintDialog*>();
            QVERIFY(chooser);
            QListWidget* list = chooser->findChild<QListWidget*>("listWidget");
            for (int row = 0; row < list->count(); ++row) {
                if (list->item(row)->data(Qt::UserRole).toInt() == type)
                    list->setCurrentRow(row);
            }
            chooser->findChild<QAbstractButton*>("pushButtonPrint")->click();
            QTRY_VERIFY(!dialog->findChild<PrintDialog*>());
        };

        // The blank with distinction matches: no question.
        choose(ReportList::SpoDiplomaExcellent);
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(printed.count(), 1);
        QCOMPARE(printed.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoDiplomaExcellent);
        QCOMPARE(printed.at(0).at(1).toInt(), id);
        QCOMPARE(printed.at(0).at(2).toBool(), false);

        // The plain blank asks; No prints nothing, Yes goes on.
        answerer.answer(QMessageBox::No);
        choose(ReportList::SpoDiploma);
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(printed.count(), 1);
        answerer.answer(QMessageBox::Yes);
        choose(ReportList::SpoDiploma);
        QCOMPARE(printed.count(), 2);
        QCOMPARE(printed.at(1).at(0).value<ReportList::ReportType>(), ReportList::SpoDiploma);
        delete dialog;
    }

    void templatesAndUnsavedFormsAreNeverPrinted()
    {
        const int id = insertRow("SpoDocuments", {{"fio1", "Шаблон"}, {"isTemplate", 1}});
        QPointer<DocumentEditDialog> dialog = new DocumentEditDialog;
        dialog->setSpoId(id);
        dialog->setTemplateMode(true);
        button(dialog, "pushButtonPrint")->click();
        QVERIFY(!dialog->findChild<PrintDialog*>());
        delete dialog;

        dialog = new DocumentEditDialog;
        dialog->setSpoId(0);
        button(dialog, "pushButtonPrint")->click();
        QVERIFY(!dialog->findChild<PrintDialog*>());
        delete dialog;
    }
};

VELSPO_TEST_MAIN(DocumentEditDialogTest)
#include "tst_documenteditdialog.moc"
