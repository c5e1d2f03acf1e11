#include "dialogs/DocumentEditDialog.h"
#include "engine/Database.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

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
// its input rules, and the road to printing. Saving is tested beside it.
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

    void storedDocumentOpensInViewMode()
    {
        // A name pasted whole into the surname while the other fields were
        // filled is stored whole; reloading it must not split it again.
        QApplication::clipboard()->setText("Иванов Иван Иванович");
        QVariantMap row = fullDocument();
        row.insert("fio1", "Иванов Иван Иванович");
        open(insertDocument(row));
        QCOMPARE(fullName(dialog), QString("Иванов Иван Иванович|Мария|Петровна"));
        QCOMPARE(buttons(), QString("sEPA|R-"));
        button(dialog, "pushButtonEdit")->click();
        QCOMPARE(buttons(), QString("SepA|R"));
        delete dialog;

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
