#include "dialogs/BossGuideDialog.h"
#include "ui_BossGuideDialog.h"

#include "dialogs/LineEditItemDelegate.h"
#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"

#include <QMessageBox>
#include <QSqlError>
#include <QSqlTableModel>

namespace {

constexpr int columnFio = 1;

} // namespace

BossGuideDialog::BossGuideDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::BossGuideDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Справочник председателей"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);

    model = Database::tableModel(QStringLiteral("Bosses"));
    QTableView* view = ui->tableView;
    if (model)
        model->setHeaderData(columnFio, Qt::Horizontal, QStringLiteral("      "), Qt::EditRole);
    view->setModel(model);
    view->hideColumn(0);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setItemDelegateForColumn(columnFio, new LineEditItemDelegate(view));

    // Enter after a typed name adds it; otherwise it would press the first
    // button of the dialog, which asks to delete the selected name.
    ui->pushButtonAdd->setDefault(true);

    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &BossGuideDialog::onCurrentChanged);
    reload();
    onCurrentChanged(QModelIndex(), QModelIndex());
    restoreWidgetGeometry(this);
}

BossGuideDialog::~BossGuideDialog()
{
    saveWidgetGeometry(this);
    delete ui;
}

void BossGuideDialog::reload()
{
    if (!model)
        return;
    model->select();
    // Every row, so that a new name's row is where the add expects it.
    while (model->canFetchMore())
        model->fetchMore();
}

void BossGuideDialog::onCurrentChanged(QModelIndex current, QModelIndex /*previous*/)
{
    ui->pushButtonDelete->setEnabled(current.isValid());
}

void BossGuideDialog::on_pushButtonClose_clicked()
{
    hide();
    deleteLater();
}

void BossGuideDialog::on_pushButtonAdd_clicked()
{
    const QString name = ui->lineEdit->text(); // kept as typed, blanks too
    if (name.isEmpty() || !model)
        return;
    const int row = model->rowCount();
    model->insertRows(row, 1);
    model->setData(model->index(row, columnFio), name, Qt::EditRole);
    if (!model->submit()) {
        // The name stays in the field, so that it can be added again.
        reportFailure(QStringLiteral("Не удалось добавить председателя в справочник."));
        return;
    }
    reload();
    ui->tableView->resizeColumnsToContents();
    ui->tableView->setFocus();
    ui->tableView->setCurrentIndex(model->index(row, columnFio));
    ui->lineEdit->clear();
    emit bossesUpdated();
}

void BossGuideDialog::on_pushButtonDelete_clicked()
{
    const QModelIndex current = ui->tableView->currentIndex();
    if (!model || !current.isValid())
        return;
    if (confirmOkCancel(nullptr, QStringLiteral("Вы уверены, что хотите удалить выделенную строку?"))) {
        // The model submits the removal at once and says whether it was kept.
        if (!model->removeRows(current.row(), 1)) {
            reportFailure(QStringLiteral("Не удалось удалить председателя из справочника."));
            return;
        }
        reload();
        ui->tableView->resizeColumnsToContents();
        onCurrentChanged(QModelIndex(), QModelIndex());
        emit bossesUpdated();
    }
}

// The refused change is dropped from the model, which then shows the table as stored.
void BossGuideDialog::reportFailure(const QString& text)
{
    const QSqlError error = model->lastError();
    VLOG << text << error.text();
    model->revertAll();
    reload();
    const QString reason = error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText().trimmed();
    QMessageBox::warning(this, QStringLiteral("Ошибка"), reason.isEmpty() ? text : text + QLatin1Char('\n') + reason);
}

void BossGuideDialog::on_tableView_doubleClicked(QModelIndex index)
{
    emit bossSelected(model ? index.data(Qt::DisplayRole).toString() : QString());
    on_pushButtonClose_clicked();
}
