#include "dialogs/DocumentEditDialog.h"
#include "ui_DocumentEditDialog.h"

#include "dialogs/AdditionalEditDialog.h"
#include "dialogs/BlankNumberValidator.h"
#include "dialogs/DocumentSaver.h"
#include "dialogs/DocumentValidator.h"
#include "engine/Database.h"
#include "engine/DateTypingFilter.h"
#include "engine/WidgetUtilities.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QDateEdit>
#include <QGroupBox>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QDate storedDate(const QSqlQuery& query, const char* column)
{
    return QDate::fromString(query.value(QLatin1String(column)).toString(), kDateFormat);
}

} // namespace

DocumentEditDialog::DocumentEditDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DocumentEditDialog)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Выдача документа"));

    setEditMode(false);
    ui->pushButtonAdditonal->setEnabled(false);
    for (QDateEdit* date : {ui->dateEditBirth, ui->dateEditIssue, ui->dateEditDecision, ui->dateEditDeduction})
        DateTypingFilter::install(date);
    ui->dateEditIssue->setDate(QDate::currentDate());
    ui->dateEditDecision->setDate(QDate::currentDate());

    ui->lineEditAdditionSerial->setValidator(new BlankNumberValidator(0, 999999, this));
    ui->lineEditSerial->setValidator(new BlankNumberValidator(0, 999999, this));
    ui->lineEditAdditionNumber->setValidator(new BlankNumberValidator(0, 9999999, this));
    ui->lineEditNumber->setValidator(new BlankNumberValidator(0, 9999999, this));

    connect(ui->lineEditFio_1, &QLineEdit::textChanged, this, &DocumentEditDialog::onFullNameChanged);

    fillComboBoxFromDb(QStringLiteral("SpoDocuments"), QStringLiteral("qual"), ui->comboBoxQual, 0);
    installSpellChecker(this, QList<QWidget*>());
    restoreWidgetGeometry(this);
}

DocumentEditDialog::~DocumentEditDialog()
{
    saveWidgetGeometry(this);
}

void DocumentEditDialog::setSpoId(int id)
{
    spoId = id;
    ui->pushButtonAdditonal->setEnabled(id >= 1);
    clearForm();
    if (id < 1) {
        ui->pushButtonAdditonal->setEnabled(false);
        setEditMode(true);
    } else {
        loadData(id);
    }
}

void DocumentEditDialog::createFromTemplate(int id)
{
    templateId = id;
    clearForm();
    setEditMode(true);
    ui->pushButtonAdditonal->setEnabled(false);
    if (id > 0) {
        // loadData leaves the form empty when the template is gone.
        loadData(id);
        // The template's name must not become the graduate's surname.
        ui->lineEditFio_1->clear();
        ui->lineEditFio_2->clear();
        ui->lineEditFio_3->clear();
    }
}

void DocumentEditDialog::setTemplateMode(bool on)
{
    templateMode = on;
    ui->groupBoxFio2->setVisible(!on);
    ui->groupBoxFio3->setVisible(!on);
    ui->groupBoxFio1->setTitle(on ? QStringLiteral("Название шаблона") : QStringLiteral("Фамилия"));
    setWindowTitle(on ? QStringLiteral("Реактирование шаблона") : QStringLiteral("Выдача документа"));
    if (on) {
        ui->pushButtonPrint->hide();
        ui->lineEditAdditionNumber->setEnabled(false);
        ui->lineEditNumber->setEnabled(false);
        ui->groupBoxRegNumber->setEnabled(false);
    }
}

void DocumentEditDialog::setEditMode(bool edit)
{
    const QList<QGroupBox*> boxes = findChildren<QGroupBox*>();
    for (QGroupBox* box : boxes)
        box->setEnabled(edit);
    ui->checkBoxDuplicate->setEnabled(edit);
    ui->checkBoxIsEcsellent->setEnabled(edit);

    ui->pushButtonEdit->setVisible(!edit);
    ui->pushButtonPrint->setVisible(!edit && !templateMode);
    ui->pushButtonSave->setVisible(edit);
}

void DocumentEditDialog::clearForm()
{
    const QList<QLineEdit*> edits = findChildren<QLineEdit*>();
    for (QLineEdit* edit : edits) {
        // A date edit's own line edit keeps showing its date: blanking it would
        // show an empty date while the date edit still holds (and saves) one.
        if (!qobject_cast<QAbstractSpinBox*>(edit->parentWidget()))
            edit->clear();
    }
}

void DocumentEditDialog::loadData(int id)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT * FROM SpoDocuments WHERE spoId=:spoId;"));
    query.bindValue(QStringLiteral(":spoId"), id);
    if (!Database::execQuery(query) || !query.next())
        return;

    // Filling the form is no paste: a stored name that happens to equal the
    // clipboard must be shown as stored, not split across the name fields.
    const QScopedValueRollback<bool> loading(splittingName, true);
    ui->lineEditFio_1->setText(query.value(QStringLiteral("fio1")).toString());
    ui->lineEditFio_2->setText(query.value(QStringLiteral("fio2")).toString());
    ui->lineEditFio_3->setText(query.value(QStringLiteral("fio3")).toString());
    ui->lineEditProfessionCode->setText(query.value(QStringLiteral("professionCode")).toString());
    ui->lineEditProfessionName->setText(query.value(QStringLiteral("professionName")).toString());
    ui->comboBoxQual->lineEdit()->setText(query.value(QStringLiteral("qual")).toString());
    ui->comboBoxType->setCurrentIndex(query.value(QStringLiteral("programType")).toInt());
    // An unparsable (NULL or empty) date leaves its date edit as it was.
    ui->dateEditDecision->setDate(storedDate(query, "decisionDate"));
    ui->dateEditIssue->setDate(storedDate(query, "issueDate"));
    ui->dateEditBirth->setDate(storedDate(query, "birthDate"));
    ui->lineEditRegNumber->setText(query.value(QStringLiteral("regNumber")).toString());
    ui->lineEditDate->setText(query.value(QStringLiteral("editDate")).toString());
    // Show the stamp from its start (the year) should it ever be wider than the field.
    ui->lineEditDate->setCursorPosition(0);
    ui->checkBoxDuplicate->setChecked(query.value(QStringLiteral("isDuplicate")).toInt() >= 1);
    ui->checkBoxIsEcsellent->setChecked(query.value(QStringLiteral("isExcellent")).toInt() >= 1);
    ui->lineEditSerial->setText(query.value(QStringLiteral("serial")).toString());
    ui->lineEditAdditionSerial->setText(query.value(QStringLiteral("additionSerial")).toString());
    ui->lineEditNumber->setText(query.value(QStringLiteral("number")).toString());
    ui->lineEditAdditionNumber->setText(query.value(QStringLiteral("additionNumber")).toString());
    ui->dateEditDeduction->setDate(storedDate(query, "deductionDate"));
    ui->lineEditDeductionNumber->setText(query.value(QStringLiteral("deductionNumber")).toString());
}

DocumentFields DocumentEditDialog::fields() const
{
    DocumentFields f;
    f.fio1 = ui->lineEditFio_1->text();
    f.fio2 = ui->lineEditFio_2->text();
    f.fio3 = ui->lineEditFio_3->text();
    f.qual = ui->comboBoxQual->lineEdit()->text();
    f.programType = ui->comboBoxType->currentIndex();
    f.professionName = ui->lineEditProfessionName->text();
    f.professionCode = ui->lineEditProfessionCode->text();
    f.isDuplicate = ui->checkBoxDuplicate->isChecked();
    f.isExcellent = ui->checkBoxIsEcsellent->isChecked();
    f.regNumber = ui->lineEditRegNumber->text();
    f.issueDate = ui->dateEditIssue->date();
    f.decisionDate = ui->dateEditDecision->date();
    f.birthDate = ui->dateEditBirth->date();
    f.serial = ui->lineEditSerial->text();
    f.number = ui->lineEditNumber->text();
    f.additionSerial = ui->lineEditAdditionSerial->text();
    f.additionNumber = ui->lineEditAdditionNumber->text();
    f.deductionNumber = ui->lineEditDeductionNumber->text();
    f.deductionDate = ui->dateEditDeduction->date();
    return f;
}

bool DocumentEditDialog::checkData()
{
    const QStringList problems = DocumentValidator::problems(fields(), spoId);
    if (problems.isEmpty())
        return true;
    QMessageBox::warning(this, QStringLiteral("Внимание!"), DocumentValidator::refusalText(problems),
                         QMessageBox::Ok);
    return false;
}

void DocumentEditDialog::on_pushButtonSave_clicked()
{
    if (!checkData())
        return;

    DocumentSaver saver(spoId, templateId, templateMode);
    if (!saver.save(fields())) {
        // Nothing was written: the user's input stays in the form to try again.
        showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Внимание!"),
                         QStringLiteral("Не удалось сохранить документ, изменения не записаны.\n%1").arg(saver.errorText()));
        return;
    }
    spoId = saver.spoId();
    emit documentsUpdated();
    setSpoId(spoId);
    setEditMode(false);
}

void DocumentEditDialog::on_pushButtonCancel_clicked()
{
    hide();
    deleteLater();
}

void DocumentEditDialog::on_pushButtonAdditonal_clicked()
{
    auto* dialog = new AdditionalEditDialog(this);
    dialog->setDocument(spoId);
    dialog->show();
}

void DocumentEditDialog::on_pushButtonPrint_clicked()
{
    // Templates are never printed, and only the saved row is.
    if (templateMode || spoId < 1)
        return;
    auto* dialog = new PrintDialog(this);
    connect(dialog, &PrintDialog::reportTypeSelected, this, &DocumentEditDialog::onReportTypeSelected);
    dialog->show();
}

void DocumentEditDialog::onReportTypeSelected(ReportList::ReportType type, bool printBackground)
{
    if (DocumentsTable::checkFormMatchesDocument(type, spoId))
        emit documentPrint(type, spoId, printBackground);
}

void DocumentEditDialog::on_pushButtonEdit_clicked()
{
    setEditMode(true);
    setTemplateMode(templateMode);
}

void DocumentEditDialog::onFullNameChanged(const QString& text)
{
    // Setting the surname below fires this handler again; the guard keeps it
    // from splitting its own result.
    if (splittingName)
        return;
    const QString fullName = text.simplified();
    if (fullName.isEmpty() || fullName != QApplication::clipboard()->text().simplified())
        return;
    if (!ui->lineEditFio_2->text().isEmpty() || !ui->lineEditFio_3->text().isEmpty())
        return;

    QStringList words = fullName.split(QLatin1Char(' '));
    if (words.size() > 2)
        ui->lineEditFio_3->setText(words.takeLast());
    if (words.size() > 1)
        ui->lineEditFio_2->setText(words.takeLast());
    const QString surname = words.join(QLatin1Char(' '));
    if (surname != text) {
        splittingName = true;
        ui->lineEditFio_1->setText(surname);
        splittingName = false;
    }
}
