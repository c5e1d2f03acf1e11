#include "dialogs/AdditionalEditDialog.h"
#include "ui_AdditionalEditDialog.h"

#include "dialogs/NotEditableDelegate.h"
#include "dialogs/SupplementHours.h"
#include "dialogs/TableStruct.h"
#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>

namespace {

const QString kName = QStringLiteral("      Название      ");
const QString kGrade = QStringLiteral("   Оценка   ");
const QString kTotal = QStringLiteral("Общ. кол-во часов");
const QString kAudit = QStringLiteral("Ауд. кол-во часов");

QString dmFilter(int spoId, int moduleId)
{
    return QStringLiteral(" spoId = %1 AND moduleId = %2 ").arg(spoId).arg(moduleId);
}

} // namespace

AdditionalEditDialog::AdditionalEditDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdditionalEditDialog)
{
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);
    for (QPushButton* button : {ui->pushButtonEditForm, ui->pushButtonSave, ui->pushButtonCancel}) {
        // Enter in a table moves to the next cell; it must never press these.
        button->setDefault(false);
        button->setAutoDefault(false);
    }
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setWindowTitle(QStringLiteral("Приложение к документу"));

    // The exam hours are stored when the user is done with them (Enter, focus
    // leaving, a step): a write per keystroke would reload the module and
    // rewrite the box under the user's fingers.
    ui->spinBoxExam->setKeyboardTracking(false);

    initTables();
    setupTables();
    // The module hours are recomputed for the document once it is set.
    updateTotalCount();

    fillComboBoxFromDb(QStringLiteral("SpoDocuments"), QStringLiteral("previousEducation"),
                       ui->comboBoxPreviousEducation, 0);
    fillComboBoxFromDb(QStringLiteral("SpoDocuments"), QStringLiteral("totalCount"), ui->comboBoxTotalCount, 0);

    setEditMode(false);
    // Nothing to edit until a document is found.
    ui->pushButtonEditForm->setEnabled(false);
    if (QWidget* focused = focusWidget())
        focused->clearFocus();

    installSpellChecker(this, QList<QWidget*>());
    restoreWidgetGeometry(this);
}

AdditionalEditDialog::~AdditionalEditDialog()
{
    saveWidgetGeometry(this);
}

void AdditionalEditDialog::initTables()
{
    struct Spec
    {
        QString name;
        QString title;
        QString table;
        QTableView* view;
        QList<QPair<int, QString>> headers;
        int gradeColumn;
        QPushButton* buttons[5]; // add, delete, delete all, up, down
    };
    const Spec specs[] = {
        {QStringLiteral("Discipline"), QStringLiteral("учебные предметы"), QStringLiteral("DisciplineDetails"),
         ui->tableViewDisciplines,
         {{2, kName}, {3, kTotal}, {4, kAudit}, {5, kGrade}}, 5,
         {ui->pushButtonAddDiscipline, ui->pushButtonDeleteDiscipline, ui->pushButtonDeleteAllDisciplines,
          ui->pushButtonUpDisciplines, ui->pushButtonDownDisciplines}},
        {QStringLiteral("Practice"), QStringLiteral("практика"), QStringLiteral("PracticeDetails"),
         ui->tableViewPractices,
         {{2, kName}, {3, QStringLiteral("Продолжительность")}, {4, kGrade}}, 4,
         {ui->pushButtonAddPractice, ui->pushButtonDeletePractice, ui->pushButtonDeleteAllPractices,
          ui->pushButtonUpPractice, ui->pushButtonDownPractice}},
        {QStringLiteral("Attestaion"), QStringLiteral("аттестация"), QStringLiteral("AttestationDetails"),
         ui->tableViewAttestations,
         {{2, kName}, {3, kGrade}}, 3,
         {ui->pushButtonAddAttestation, ui->pushButtonDeleteAttestation, ui->pushButtonDeleteAllAttestations,
          ui->pushButtonUpAttestation, ui->pushButtonDownAttestation}},
        {QStringLiteral("Coursework"), QStringLiteral("курсовые проекты"), QStringLiteral("CourseworkDetails"),
         ui->tableViewCourseworks,
         {{2, kName}, {3, kGrade}}, 3,
         {ui->pushButtonAddCoursework, ui->pushButtonDeleteCoursework, ui->pushButtonDeleteAllCourseworks,
          ui->pushButtonUpCoursework, ui->pushButtonDownCoursework}},
        {TableStruct::Module, QStringLiteral("модули"), QStringLiteral("ModuleDetails"),
         ui->tableViewModules,
         {{2, kName}, {3, kTotal}, {4, kAudit}, {5, kGrade}}, 5,
         {ui->pushButtonAddModule, ui->pushButtonDeleteModule, ui->pushButtonDeleteAllModules,
          ui->pushButtonUpModule, ui->pushButtonDownModule}},
        {TableStruct::Dm, QStringLiteral("предметы модулей"), QStringLiteral("DMDetails"),
         ui->tableViewDM,
         {{3, kName}, {4, kTotal}, {5, kAudit}, {6, kGrade}}, 6,
         {ui->pushButtonAddDM, ui->pushButtonDeleteDM, ui->pushButtonDeleteAllDMs, ui->pushButtonUpDM,
          ui->pushButtonDownDM}},
    };

    for (const Spec& spec : specs) {
        auto* table = new TableStruct(this);
        tables.append(table);
        table->name = spec.name;
        table->title = spec.title;
        connect(table, &TableStruct::readFailed, this, &AdditionalEditDialog::readFailed);
        table->model = Database::tableModel(spec.table);
        if (!table->model)
            continue;
        for (const auto& header : spec.headers)
            table->model->setHeaderData(header.first, Qt::Horizontal, header.second, Qt::EditRole);
        table->gradeColumn = spec.gradeColumn;
        table->view = spec.view;
        spec.view->setModel(table->model);
        if (spec.name == TableStruct::Module) {
            // Computed hours; the exam hours are edited through spinBoxExam.
            spec.view->setItemDelegateForColumn(3, new NotEditableDelegate(spec.view));
            spec.view->setItemDelegateForColumn(4, new NotEditableDelegate(spec.view));
            spec.view->hideColumn(6);
        } else if (spec.name == TableStruct::Dm) {
            spec.view->hideColumn(2); // the module id
        }
        table->setAddButton(spec.buttons[0]);
        table->setDeleteButton(spec.buttons[1]);
        table->setDeleteAllButton(spec.buttons[2]);
        table->setUpButton(spec.buttons[3]);
        table->setDownButton(spec.buttons[4]);
        if (spec.name == TableStruct::Module)
            connect(table, &TableStruct::currentChanged, this, &AdditionalEditDialog::onCurrentModuleChanged);
    }
}

void AdditionalEditDialog::setupTables()
{
    for (TableStruct* table : qAsConst(tables)) {
        table->setupView();
        if (!table->model)
            continue;
        table->view->installEventFilter(this);
        // After the table's own handler, which writes the change first.
        if (table->name == TableStruct::Dm)
            connect(table->model, &QAbstractItemModel::dataChanged, this, &AdditionalEditDialog::updateModuleCount);
        // Removing a module changes the totals as much as editing a sub-subject.
        if (table->name == QLatin1String("Discipline") || table->name == TableStruct::Dm
            || table->name == TableStruct::Module)
            connect(table->model, &QAbstractItemModel::dataChanged, this, &AdditionalEditDialog::updateTotalCount);
    }
}

TableStruct* AdditionalEditDialog::table(const QString& name) const
{
    for (TableStruct* table : tables) {
        if (table->name == name)
            return table;
    }
    return nullptr;
}

TableStruct* AdditionalEditDialog::tableOf(const QObject* view) const
{
    for (TableStruct* table : tables) {
        if (table->view == view)
            return table;
    }
    return nullptr;
}

void AdditionalEditDialog::setDocument(int id)
{
    TableStruct::spoId = id;
    bool found = false;
    if (id > 0) {
        QSqlQuery query;
        query.prepare(QStringLiteral("SELECT * FROM SpoDocuments WHERE spoId=:spoId;"));
        query.bindValue(QStringLiteral(":spoId"), id);
        const bool ran = Database::execQuery(query);
        if (ran && query.next()) {
            found = true;
            ui->comboBoxPreviousEducation->lineEdit()->setText(query.value(QStringLiteral("previousEducation")).toString());
            ui->comboBoxTotalCount->lineEdit()->setText(query.value(QStringLiteral("totalCount")).toString());
            ui->lineEditAttestationTotalCount->setText(query.value(QStringLiteral("attestationTotalCount")).toString());
            ui->lineEditPracticeTotalCount->setText(query.value(QStringLiteral("practiceTotalCount")).toString());
            ui->plainTextEditComment->setPlainText(query.value(QStringLiteral("comment")).toString());
        } else if (!ran || query.lastError().isValid()) {
            VLOG << "cannot read document" << id << query.lastError().text();
            Database::noteReadFailure(query.lastError());
            readFailed(QStringLiteral("общие сведения"));
        }
    }
    ui->pushButtonEditForm->setEnabled(found);
    // Also without a row: the shared models must not go on showing the rows
    // of the document edited last.
    updateData();
    // The module hours are recomputed only once the rows read whole: a
    // supplement that could not be read is not written to.
    if (!found || !recomputationAllowed())
        return;
    if (!SupplementHours::updateDocumentModules(id)) {
        // The module hours shown would be stale when the sub-subjects they
        // come from cannot be read.
        if (!SupplementHours::subjectsReadable(id))
            readFailed(QStringLiteral("предметы модулей"));
        return;
    }
    if (TableStruct* modules = table(TableStruct::Module)) {
        modules->select();
        modules->openGradeEditors();
    }
    updateTotalCount();
}

// No recomputation writes into a supplement that is locked after a failed
// read, nor into a file known to be damaged (SupplementHours leaves those out
// itself).
bool AdditionalEditDialog::recomputationAllowed() const
{
    if (unread.isEmpty())
        return true;
    VLOG << "module hours are not recomputed: the supplement was not read whole";
    return false;
}

void AdditionalEditDialog::updateData()
{
    for (TableStruct* table : qAsConst(tables)) {
        if (!table->model)
            continue;
        table->model->setFilter(table->name == TableStruct::Dm ? dmFilter(TableStruct::spoId, TableStruct::moduleId)
                                                   : QStringLiteral(" spoId = %1 ").arg(TableStruct::spoId));
        table->select();
        table->view->resizeColumnsToContents();
        table->openGradeEditors();
    }
    updateTotalCount();
}

void AdditionalEditDialog::updateTotalCount()
{
    const SupplementHours::Totals totals = SupplementHours::totals(TableStruct::spoId);
    // Sums of the rows that could be read would pass for the document's.
    const QString total = totals.read ? SupplementHours::format(totals.total) : QString();
    const QString audit = totals.read ? SupplementHours::format(totals.audit) : QString();
    if (!totals.read)
        readFailed(QStringLiteral("общее и аудиторное количество часов"));
    ui->lineEditDisciplinesTotalCountCalculated->setText(total);
    ui->lineEditDisciplinesTotalCountCalculated_2->setText(total);
    ui->lineEditDisciplinesAuditCountCalculated->setText(audit);
    ui->lineEditDisciplinesAuditCountCalculated_2->setText(audit);
}

void AdditionalEditDialog::updateModuleCount()
{
    if (!recomputationAllowed())
        return;
    const int current = TableStruct::moduleId;
    if (current < 1)
        SupplementHours::updateDocumentModules(TableStruct::spoId);
    else
        SupplementHours::updateModules(current);
    TableStruct* modules = table(TableStruct::Module);
    // A reload would drop an edit the database refused, which is kept for
    // another try.
    if (!modules || !modules->model || modules->model->isDirty())
        return;
    if (current < 1) {
        modules->select();
        modules->openGradeEditors();
        return;
    }
    // Only the current module's row is read again: a reload of the table would
    // replace its grade editors and current row while the user may be
    // clicking one of them (this runs when a sub-subject's grade is committed,
    // which happens as the focus moves to the click's target).
    for (int row = 0; row < modules->model->rowCount(); ++row) {
        if (modules->model->index(row, 0).data().toInt() == current) {
            modules->selectRow(row);
            return;
        }
    }
    clearCurrentModule(false);
}

void AdditionalEditDialog::clearCurrentModule(bool reloadSubjects)
{
    ui->groupBoxDM->setTitle(QStringLiteral("Предметы модуля"));
    ui->groupBoxDM->setEnabled(false);
    ui->spinBoxExam->setEnabled(false);
    TableStruct::moduleId = -1;
    // The sub-subjects keep their filter, but those of a deleted module are
    // gone from the database and must not be listed as if they still existed.
    TableStruct* dm = table(TableStruct::Dm);
    if (reloadSubjects && dm && dm->model && !dm->model->isDirty())
        dm->select();
}

void AdditionalEditDialog::onCurrentModuleChanged(const QModelIndex& current, const QModelIndex&)
{
    TableStruct* dm = table(TableStruct::Dm);
    TableStruct* modules = table(TableStruct::Module);
    currentModuleRow = ui->tableViewModules->currentIndex().row();
    if (currentModuleRow < 0 || !current.isValid() || !modules || !modules->model || !dm || !dm->model) {
        clearCurrentModule(true);
        return;
    }

    QSqlTableModel* model = modules->model;
    ui->groupBoxDM->setTitle(
        QStringLiteral("Предметы модуля '%1'").arg(model->index(currentModuleRow, 2).data().toString()));
    ui->groupBoxDM->setEnabled(true);
    ui->spinBoxExam->setEnabled(true);
    {
        // Showing the stored hours is no edit: nothing is written back.
        const QSignalBlocker blocker(ui->spinBoxExam);
        ui->spinBoxExam->setValue(SupplementHours::number(model->index(currentModuleRow, 6).data()));
    }
    const int id = model->index(currentModuleRow, 0).data().toInt();
    const QString filter = dmFilter(TableStruct::spoId, id);
    const bool loaded = id == TableStruct::moduleId && dm->model->filter() == filter;
    TableStruct::moduleId = id;
    if (loaded)
        return;
    dm->model->setFilter(filter);
    dm->select();
    dm->openGradeEditors();
    ui->tableViewDM->resizeColumnsToContents();
}

void AdditionalEditDialog::on_spinBoxExam_valueChanged(double value)
{
    TableStruct* modules = table(TableStruct::Module);
    if (!modules || !modules->model)
        return;
    QSqlTableModel* model = modules->model;
    const QModelIndex index = model->index(currentModuleRow, 6);
    VLOG << value << currentModuleRow << index;
    if (!index.isValid() || model->index(currentModuleRow, 0).data().toInt() != TableStruct::moduleId)
        return;
    model->setData(index, value, Qt::EditRole);
    model->submitAll();
    model->database().commit();
    updateModuleCount();
    updateTotalCount();
}

void AdditionalEditDialog::readFailed(const QString& part)
{
    if (unread.contains(part))
        return;
    unread << part;
    // Not from inside the model's or the view's handler that found it.
    if (!reportPending) {
        reportPending = true;
        QMetaObject::invokeMethod(this, &AdditionalEditDialog::reportUnread, Qt::QueuedConnection);
    }
}

// Rows that were not read cannot be kept safe by an editor that does not
// know them: a delete of all rows, a move or rows typed again as missing
// would act on a document that is not the one shown. So the supplement stays
// in view mode.
void AdditionalEditDialog::reportUnread()
{
    reportPending = false;
    const QStringList parts = unread.mid(toldUnread);
    if (parts.isEmpty())
        return;
    toldUnread = unread.size();
    setEditMode(false);
    ui->pushButtonEditForm->setEnabled(false);
    showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Ошибка"),
                     QStringLiteral("Не удалось прочитать из базы данных: %1.\n\n"
                                    "Приложение к документу показано не полностью, поэтому изменять его нельзя: "
                                    "иначе можно потерять непрочитанные данные. Возможно, файл базы данных "
                                    "повреждён; восстановите его из резервной копии.")
                         .arg(parts.join(QStringLiteral(", "))));
}

void AdditionalEditDialog::setEditMode(bool edit)
{
    for (int page = 0; page < ui->tabWidget->count(); ++page)
        ui->tabWidget->widget(page)->setEnabled(edit);
    const QList<QGroupBox*> boxes = findChildren<QGroupBox*>();
    for (QGroupBox* box : boxes)
        box->setEnabled(edit);
    onCurrentModuleChanged(QModelIndex(), QModelIndex());
    if (edit) {
        for (TableStruct* table : qAsConst(tables))
            table->openGradeEditors();
    }
    ui->pushButtonEditForm->setVisible(!edit);
    ui->pushButtonSave->setVisible(edit);
}

void AdditionalEditDialog::on_pushButtonEditForm_clicked()
{
    setEditMode(true);
    // Cleared for real, so that no row button acts before the user picks a row.
    if (TableStruct* modules = table(TableStruct::Module))
        modules->clearCurrent();
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
}

void AdditionalEditDialog::on_pushButtonSave_clicked()
{
    // Table edits the database refused are still pending in their models:
    // this is their second chance, and they stay there when it fails too.
    bool stored = true;
    for (TableStruct* table : qAsConst(tables)) {
        if (table->model && !table->model->submitAll()) {
            VLOG << table->model->tableName() << table->model->lastError().text();
            stored = false;
        }
    }

    QSqlQuery query;
    query.prepare(QStringLiteral(
        "UPDATE SpoDocuments SET previousEducation=:previousEducation, totalCount=:totalCount, "
        "attestationTotalCount=:attestationTotalCount,  practiceTotalCount=:practiceTotalCount, "
        "comment=:comment  WHERE spoId=:spoId;"));
    query.bindValue(QStringLiteral(":spoId"), TableStruct::spoId);
    query.bindValue(QStringLiteral(":previousEducation"), ui->comboBoxPreviousEducation->lineEdit()->text());
    query.bindValue(QStringLiteral(":totalCount"), ui->comboBoxTotalCount->lineEdit()->text());
    query.bindValue(QStringLiteral(":attestationTotalCount"), ui->lineEditAttestationTotalCount->text());
    query.bindValue(QStringLiteral(":practiceTotalCount"), ui->lineEditPracticeTotalCount->text());
    query.bindValue(QStringLiteral(":comment"), ui->plainTextEditComment->toPlainText());
    if (!Database::execQuery(query) || !stored) {
        // Still in edit mode: what the user typed is kept for another try.
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Не удалось сохранить приложение к документу."));
        return;
    }

    if (TableStruct* modules = table(TableStruct::Module))
        modules->clearCurrent();
    updateData();
    setEditMode(false);
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
}

void AdditionalEditDialog::on_pushButtonCancel_clicked()
{
    for (TableStruct* table : qAsConst(tables)) {
        if (!table->model)
            continue;
        table->model->revertAll();
        table->model->database().rollback();
    }
    deleteLater();
}

bool AdditionalEditDialog::eventFilter(QObject* watched, QEvent* event)
{
    TableStruct* edited = event->type() == QEvent::KeyPress ? tableOf(watched) : nullptr;
    if (edited) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            moveOnEnter(edited);
        // The view still gets the key.
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

// Enter goes to the next column the user types into, from the last one to the
// first of the next row, from the last row back to the first; hidden columns
// are skipped.
void AdditionalEditDialog::moveOnEnter(TableStruct* table)
{
    if (!table || !table->model || !table->view)
        return;
    QTableView* view = table->view;
    QAbstractItemModel* model = view->model();
    const QModelIndex current = view->currentIndex();
    const int first = table->firstDataColumn();
    const int last = table->lastDataColumn();
    const int rows = model->rowCount();
    if (rows == 0)
        return;

    QModelIndex target;
    if (!current.isValid()) {
        target = model->index(0, first);
    } else if (current.column() >= last) {
        target = model->index(current.row() >= rows - 1 ? 0 : current.row() + 1, first);
    } else {
        int column = current.column() + 1;
        while (column < last && view->isColumnHidden(column))
            ++column;
        target = model->index(current.row(), qMax(column, first));
    }
    view->setCurrentIndex(target);
    view->edit(view->currentIndex());
    if (auto* combo = qobject_cast<QComboBox*>(view->indexWidget(view->currentIndex())))
        combo->showPopup();
}
