#include "dialogs/TableStruct.h"

#include "dialogs/ComboBoxRateItemDelegate.h"
#include "dialogs/LineEditItemDelegate.h"
#include "dialogs/SupplementHours.h"
#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"
#include "modules/DocumentsTableAbstract/SqlSavepoint.h"

#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>

namespace {

const QString kEditRefused = QStringLiteral(
    "Не удалось записать изменение в базу данных (возможно, диск заполнен или файл базы данных недоступен "
    "для записи).\n\nВведённое значение осталось в таблице: нажмите «Сохранить», чтобы попробовать ещё раз.");
const QString kAddRefused = QStringLiteral("Не удалось добавить строку: база данных не приняла запись.");
const QString kDeleteRefused =
    QStringLiteral("Не удалось удалить строки: база данных не приняла изменение. Строки остались на месте.");
const QString kMoveRefused =
    QStringLiteral("Не удалось переместить строку: база данных не приняла изменение. Строки остались на месте.");

// Runs sql with the values bound in order; logs a failure.
bool run(const QString& sql, const QVariantList& values)
{
    QSqlQuery query;
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return Database::execQuery(query);
}

} // namespace

int TableStruct::spoId = 0;
int TableStruct::moduleId = -1;

TableStruct::TableStruct(QObject* parent)
    : QObject(parent)
{
}

TableStruct::~TableStruct() = default;

void TableStruct::setButton(QPushButton*& member, QPushButton* button, void (TableStruct::*slot)())
{
    member = button;
    if (!button)
        return;
    button->setDefault(false);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, slot);
}

void TableStruct::setAddButton(QPushButton* button)
{
    setButton(addButton, button, &TableStruct::onAdd);
}

void TableStruct::setDeleteButton(QPushButton* button)
{
    setButton(deleteButton, button, &TableStruct::onDelete);
    if (view && view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &TableStruct::onCurrentChanged);
}

void TableStruct::setDeleteAllButton(QPushButton* button)
{
    setButton(deleteAllButton, button, &TableStruct::onDeleteAll);
}

void TableStruct::setUpButton(QPushButton* button)
{
    setButton(upButton, button, &TableStruct::onUp);
}

void TableStruct::setDownButton(QPushButton* button)
{
    setButton(downButton, button, &TableStruct::onDown);
}

void TableStruct::setupView()
{
    if (!model || !view)
        return;
    model->setEditStrategy(QSqlTableModel::OnFieldChange);
    model->select();
    model->setHeaderData(0, Qt::Horizontal, QStringLiteral("ID"), Qt::EditRole);
    model->setHeaderData(1, Qt::Horizontal, QStringLiteral("docID"), Qt::EditRole);
    view->hideColumn(0);
    view->hideColumn(1);
    view->resizeColumnsToContents();
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setItemDelegateForColumn(firstDataColumn(), new LineEditItemDelegate(view, false));
    if (gradeColumn > 0)
        view->setItemDelegateForColumn(gradeColumn, new ComboBoxRateItemDelegate(view, false, false));
    onCurrentChanged(QModelIndex(), QModelIndex());

    // Connected to this object, so that the shared model, which outlives the
    // editor, stops calling it when it goes. Connected before the editor's own
    // handlers, so that those read the change already written.
    connect(model, &QAbstractItemModel::dataChanged, this, &TableStruct::onDataChanged, Qt::DirectConnection);
    // A reload drops the current cell without a signal.
    connect(model, &QAbstractItemModel::modelReset, this, &TableStruct::updateButtons);
}

void TableStruct::onDataChanged()
{
    if (inserting || !model || model->submit())
        return;
    VLOG << model->tableName() << model->lastError().text();
    // Said once the edit is over: the box must not open inside the model's
    // own setData. The refused value stays in the model for another try.
    if (editRefusalPending)
        return;
    editRefusalPending = true;
    QMetaObject::invokeMethod(this, [this] {
        editRefusalPending = false;
        refused(kEditRefused);
    }, Qt::QueuedConnection);
}

// An edit the database refused earlier is tried again first: the add, delete
// or move that follows reloads the rows, which would drop it.
bool TableStruct::storePending(const QString& refusal) const
{
    if (!model->isDirty() || model->submitAll())
        return true;
    refused(refusal);
    return false;
}

void TableStruct::refused(const QString& text) const
{
    VLOG << name << text;
    QMessageBox::warning(view ? view->window() : nullptr, QStringLiteral("Ошибка"), text);
}

void TableStruct::openGradeEditors()
{
    if (gradeColumn < 1 || !model || !view)
        return;
    for (int row = 0; row < model->rowCount(); ++row)
        view->openPersistentEditor(model->index(row, gradeColumn));
    view->resizeColumnsToContents();
}

int TableStruct::firstDataColumn() const
{
    const int columns = model ? model->columnCount() : 0;
    for (int column = 2; column < columns; ++column) {
        if (!view || !view->isColumnHidden(column))
            return column;
    }
    return 2;
}

int TableStruct::lastDataColumn() const
{
    const int columns = model ? model->columnCount() : 0;
    for (int column = columns - 1; column > 2; --column) {
        if (!view || !view->isColumnHidden(column))
            return column;
    }
    return firstDataColumn();
}

bool TableStruct::select()
{
    if (!model)
        return false;
    if (!model->select())
        return readFailure(model->lastError());
    // Without a filter (before the editor has a document) the rows are every
    // document's, shown to no one: reading them all would take seconds on a
    // large register.
    if (model->filter().trimmed().isEmpty())
        return true;
    while (model->canFetchMore())
        model->fetchMore();
    // A row that cannot be read ends the fetching as if the rows had ended;
    // only the query remembers why.
    return readFailure(model->query().lastError());
}

bool TableStruct::selectRow(int row)
{
    if (!model)
        return false;
    if (row < 0 || row >= model->rowCount() || model->selectRow(row))
        return true;
    // The model keeps the statement's error to itself.
    VLOG << "cannot read" << model->tableName() << "row" << row;
    emit readFailed(title);
    return false;
}

bool TableStruct::readFailure(const QSqlError& error)
{
    if (!error.isValid())
        return true;
    VLOG << "cannot read" << model->tableName() << model->filter() << error.text();
    Database::noteReadFailure(error);
    emit readFailed(title);
    return false;
}

void TableStruct::reload()
{
    select();
    view->resizeColumnsToContents();
    openGradeEditors();
}

void TableStruct::clearCurrent()
{
    QItemSelectionModel* selection = view ? view->selectionModel() : nullptr;
    if (!selection)
        return;
    selection->clearSelection();
    if (selection->currentIndex().isValid())
        selection->clearCurrentIndex(); // tells onCurrentChanged
    else
        onCurrentChanged(QModelIndex(), QModelIndex());
}

void TableStruct::onAdd()
{
    if (!model || !view)
        return;
    const bool dm = name == Dm;
    if ((dm && moduleId < 1) || !storePending(kAddRefused))
        return;
    const int row = model->rowCount();
    {
        // The row is written once, with its document and module together.
        const QScopedValueRollback<bool> guard(inserting, true);
        if (!model->insertRows(row, 1)) {
            refused(kAddRefused);
            return;
        }
        model->setData(model->index(row, 1), spoId);
        if (dm)
            model->setData(model->index(row, 2), moduleId);
    }
    if (!model->submit()) {
        VLOG << model->tableName() << model->lastError().text();
        // Only the new row goes; what the user typed before stays.
        model->revertRow(row);
        refused(kAddRefused);
        return;
    }
    reload();

    view->setFocus(Qt::OtherFocusReason);
    view->setCurrentIndex(model->index(row, firstDataColumn()));
    view->edit(view->currentIndex());
}

void TableStruct::onDelete()
{
    if (!model || !view)
        return;
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return;
    if (!confirmOkCancel(nullptr, QStringLiteral("Вы уверены, что хотите удалить выделенную строку?"))
        || !storePending(kDeleteRefused))
        return;

    // A module goes with its sub-subjects: those of the row removed, whatever
    // module was current before.
    const bool ok = SqlSavepoint::runAsOne(QStringLiteral("deleteSupplementRow"), [&] {
        return (name != Module
                || run(QStringLiteral("DELETE FROM DMDetails WHERE moduleId = ?"), {model->index(current.row(), 0).data()}))
            && model->removeRows(current.row(), 1);
    });
    if (!ok) {
        // The rows are all still stored; the model shows them again as they are.
        model->revertRow(current.row());
        refused(kDeleteRefused);
        return;
    }
    reload();
    clearCurrent();
}

void TableStruct::onDeleteAll()
{
    if (!model || !view)
        return;
    if (!confirmOkCancel(nullptr, QStringLiteral("Вы уверены, что хотите удалить все строки?"))
        || !storePending(kDeleteRefused))
        return;

    const bool ok = SqlSavepoint::runAsOne(QStringLiteral("deleteSupplementRows"), [&] {
        if (name == Module && !run(QStringLiteral("DELETE FROM DMDetails WHERE spoId = ?"), {spoId}))
            return false;
        // Removed rows stay in the model, blank, until the next select.
        for (int row = 0; row < model->rowCount(); ++row) {
            if (!model->removeRows(row, 1))
                return false;
        }
        return true;
    });
    // Rows removed before the refusal are stored again; the reload shows them.
    reload();
    clearCurrent();
    if (!ok)
        refused(kDeleteRefused);
}

void TableStruct::updateButtons()
{
    const QModelIndex current = view ? view->currentIndex() : QModelIndex();
    const bool valid = current.isValid() && model;
    const int row = current.row();
    if (deleteButton)
        deleteButton->setEnabled(valid);
    if (upButton)
        upButton->setEnabled(valid && row >= 1);
    if (downButton)
        downButton->setEnabled(valid && row + 1 < model->rowCount());
}

void TableStruct::onCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    updateButtons();
    emit currentChanged(current, previous);
}

void TableStruct::onUp()
{
    move(-1);
}

void TableStruct::onDown()
{
    move(1);
}

void TableStruct::move(int offset)
{
    if (!model || !view)
        return;
    const QModelIndex current = view->currentIndex();
    const int row = current.row();
    const int target = row + offset;
    if (!current.isValid() || target < 0 || target >= model->rowCount() || !storePending(kMoveRefused))
        return;

    // A write that is refused leaves its row pending in the model; this move
    // reports it itself.
    const QScopedValueRollback<bool> quiet(editRefusalPending, true);
    const bool moved = name == Module ? moveModule(row, target)
                                      : SqlSavepoint::runAsOne(QStringLiteral("moveSupplementRow"), [&] {
                                            swapModelRows(model, row, target, 2);
                                            return !model->isDirty();
                                        });
    if (name == Module || !moved)
        reload();
    if (!moved) {
        refused(kMoveRefused);
        return;
    }
    view->setCurrentIndex(model->index(target, current.column()));
    view->setFocus(Qt::OtherFocusReason);
    updateButtons();
}

// Rows are moved by exchanging their contents, so the sub-subjects change
// their module id with them, and both modules' hours follow.
bool TableStruct::moveModule(int row, int target)
{
    const QVariant first = model->index(row, 0).data();
    const QVariant second = model->index(target, 0).data();
    return SqlSavepoint::runAsOne(QStringLiteral("moveModule"), [&] {
        swapModelRows(model, row, target, 2);
        return !model->isDirty()
            && run(QStringLiteral("UPDATE DMDetails SET moduleId = CASE WHEN moduleId = ? THEN ? ELSE ? END "
                                  "WHERE moduleId IN (?, ?)"),
                   {first, second, first, first, second})
            && SupplementHours::updateModules(first.toInt()) && SupplementHours::updateModules(second.toInt());
    });
}
