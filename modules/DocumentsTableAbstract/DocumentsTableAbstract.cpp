#include "modules/DocumentsTableAbstract/DocumentsTableAbstract.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"
#include "modules/DocumentsTableAbstract/SqlSavepoint.h"
#include "modules/PrintDialog/PrintDialog.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>

DocumentsTableAbstract::DocumentsTableAbstract(QWidget* parent)
    : QTableView(parent)
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Column widths are measured on the header and the first hundred rows in
    // the current order rather than Qt's thousand: measuring every cell
    // through the style was most of the opening and of every reload.
    horizontalHeader()->setResizeContentsPrecision(100);
    connect(this, &QAbstractItemView::doubleClicked, this, &DocumentsTableAbstract::onRowActivated);

    contextMenu = new QMenu(this);
    newRecordAction = contextMenu->addAction(QStringLiteral("Добавить новый"));
    copyRecordAction = contextMenu->addAction(QStringLiteral("Создать копию записи"));
    contextMenu->addSeparator();
    editAction = contextMenu->addAction(QStringLiteral("Редактировать"));
    deleteAction = contextMenu->addAction(QStringLiteral("Удалить"));
    printAction = contextMenu->addAction(QStringLiteral("Печатать"));
    contextMenu->addSeparator();
    selectAllAction = contextMenu->addAction(QStringLiteral("Выделить всё"));

    connect(newRecordAction, &QAction::triggered, this, [this] { emit documentClicked(-1); });
    connect(copyRecordAction, &QAction::triggered, this, &DocumentsTableAbstract::onCopyRecordAction);
    connect(editAction, &QAction::triggered, this, &DocumentsTableAbstract::onEditAction);
    connect(deleteAction, &QAction::triggered, this, &DocumentsTableAbstract::onDeleteAction);
    connect(printAction, &QAction::triggered, this, &DocumentsTableAbstract::onPrintAction);
    connect(selectAllAction, &QAction::triggered, this, &DocumentsTableAbstract::onSelectAllAction);

    connect(this, &QWidget::customContextMenuRequested, this, &DocumentsTableAbstract::provideContexMenu);
}

DocumentsTableAbstract::~DocumentsTableAbstract() = default;

void DocumentsTableAbstract::setupModel()
{
    Q_ASSERT(model);
    if (!model)
        return;
    // The model is read once, already in the order of the header's sort
    // indicator; sorting is switched on before the view meets the model, so
    // that switching it on does not select everything a second time.
    model->setSort(horizontalHeader()->sortIndicatorSection(), horizontalHeader()->sortIndicatorOrder());
    model->select();
    const bool whole = fetchAllRows();
    setSortingEnabled(true);
    setModel(model);
    // Connected after setModel so that the view has dropped its old rows before
    // the remaining ones are fetched and the filter hides rows again.
    connect(model, &QAbstractItemModel::modelReset, this, &DocumentsTableAbstract::onModelReset,
            Qt::UniqueConnection);
    setColumnHidden(0, true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    model->setEditStrategy(QSqlTableModel::OnFieldChange);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    resizeColumnsToContents();
    // Usually from a constructor, before anyone listens: loadProblem() keeps it.
    if (!whole)
        emit readFailed(m_loadProblem);
}

bool DocumentsTableAbstract::fetchAllRows()
{
    if (!model)
        return true;
    // SQLite reports no result size, so the model reads 256 rows at a time.
    while (model->canFetchMore())
        model->fetchMore();

    // A failed fetch looks to the model like the end of the rows: only the
    // query knows (a damaged page in the middle of the table, say).
    QSqlError error = model->lastError();
    if (!error.isValid())
        error = model->query().lastError();
    if (!error.isValid()) {
        m_loadProblem.clear();
        return true;
    }
    VLOG << "register read stopped after" << model->rowCount() << "rows:" << error.text() << model->query().lastQuery();
    m_loadProblem = QStringLiteral("Не удалось прочитать список документов полностью: файл базы данных повреждён "
                                   "или недоступен.\nПоказаны только прочитанные документы (%1), список неполон.\n"
                                   "Восстановите базу данных из резервной копии.")
                        .arg(model->rowCount());
    return false;
}

void DocumentsTableAbstract::onModelReset()
{
    const bool whole = fetchAllRows();
    // A reset may bring back the key column (new header sections).
    setColumnHidden(0, true);
    reapplyFilter();
    // The reset emptied the selection without telling anyone.
    emit unselect();
    if (!whole)
        emit readFailed(m_loadProblem);
}

void DocumentsTableAbstract::reapplyFilter()
{
}

void DocumentsTableAbstract::updateData()
{
    if (!model)
        return;
    model->select();
    resizeColumnsToContents();
    emit reselected();
}

int DocumentsTableAbstract::documentIdAt(int row) const
{
    if (!model || row < 0)
        return -1;
    return model->data(model->index(row, 0)).toInt();
}

QList<int> DocumentsTableAbstract::selectedVisibleRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    const QModelIndexList selected = selectionModel()->selectedRows(0);
    for (const QModelIndex& index : selected) {
        if (!isRowHidden(index.row()))
            rows.append(index.row());
    }
    return rows;
}

QList<int> DocumentsTableAbstract::selectedDocumentIds() const
{
    QList<int> ids;
    const QList<int> rows = selectedVisibleRows();
    for (int row : rows)
        ids.append(documentIdAt(row));
    return ids;
}

int DocumentsTableAbstract::actionDocumentId() const
{
    const QList<int> rows = selectedVisibleRows();
    if (rows.isEmpty())
        return -1;
    const int current = currentIndex().row();
    return documentIdAt(rows.contains(current) ? current : rows.first());
}

void DocumentsTableAbstract::onRowActivated(QModelIndex index)
{
    if (!model || !index.isValid())
        return;
    emit documentClicked(documentIdAt(index.row()));
}

void DocumentsTableAbstract::prepareContextMenu(const QPoint& pos)
{
    const bool onCell = indexAt(pos).isValid();
    const int count = selectedVisibleRows().size();
    newRecordAction->setEnabled(true);
    copyRecordAction->setEnabled(onCell && count == 1);
    editAction->setEnabled(onCell && count == 1);
    deleteAction->setEnabled(onCell && count >= 1);
    printAction->setEnabled(onCell && count == 1);
    selectAllAction->setEnabled(true);
}

void DocumentsTableAbstract::provideContexMenu(QPoint pos)
{
    prepareContextMenu(pos);
    contextMenu->exec(viewport()->mapToGlobal(pos));
}

void DocumentsTableAbstract::onCopyRecordAction()
{
    if (!model)
        return;
    const int id = actionDocumentId();
    if (id < 0)
        return;

    // The record and its details are one unit: a failure keeps neither.
    int newId = 0;
    const bool copied = SqlSavepoint::runAsOne(QStringLiteral("registerCopy"), [&] {
        newId = copyDocument(id);
        return newId > 0 && copyDetails(id, newId);
    });
    if (!copied) {
        QMessageBox::warning(this, QStringLiteral("Ошибка"), QStringLiteral("Не удалось создать копию документа."));
        return;
    }

    updateData();
    emit documentClicked(newId);
}

void DocumentsTableAbstract::onEditAction()
{
    const int id = actionDocumentId();
    if (!model || id < 0)
        return;
    emit documentClicked(id);
}

void DocumentsTableAbstract::onDeleteAction()
{
    const QList<int> ids = selectedDocumentIds();
    if (ids.isEmpty())
        return;

    if (!confirmOkCancel(this, ids.size() < 2 ? QStringLiteral("Вы уверены, что хотите удалить выделеннный документ?")
                                              : QStringLiteral("Вы уверены, что хотите удалить выделеннные документы?")))
        return;

    if (!deleteDocuments(ids))
        QMessageBox::warning(this, QStringLiteral("Ошибка"), QStringLiteral("Не удалось удалить документы."));
    updateData();
    clearSelection();
    emit unselect();
}

void DocumentsTableAbstract::onPrintAction()
{
    const int id = actionDocumentId();
    if (!model || id < 0)
        return;
    auto* dialog = new PrintDialog(this);
    connect(dialog, &PrintDialog::reportTypeSelected, this,
            [this, id](ReportList::ReportType type, bool printBackground) {
                if (checkBeforePrint(type, id))
                    emit documentPrint(type, id, printBackground);
            });
    dialog->show();
}

void DocumentsTableAbstract::onSelectAllAction()
{
    selectAll();
}
