#include "dialogs/SelectTemplateDialog.h"
#include "ui_SelectTemplateDialog.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"
#include "product/DocumentsTable.h"

#include <QMessageBox>
#include <QScopedPointer>
#include <QSqlQuery>

SelectTemplateDialog::SelectTemplateDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SelectTemplateDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Создать документ"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    fillListWidget();
    on_listWidget_currentRowChanged(-1);
    restoreWidgetGeometry(this);
}

SelectTemplateDialog::~SelectTemplateDialog()
{
    saveWidgetGeometry(this);
}

void SelectTemplateDialog::fillListWidget()
{
    ui->listWidget->clear();
    QScopedPointer<QSqlQuery> query(Database::execStr(QStringLiteral("SELECT spoId, fio1 FROM SpoDocuments WHERE isTemplate=1;")));
    while (query && query->next()) {
        auto* item = new QListWidgetItem(query->value(1).toString(), ui->listWidget);
        item->setData(Qt::UserRole, query->value(0).toInt());
    }
}

int SelectTemplateDialog::currentTemplate() const
{
    const QListWidgetItem* item = ui->listWidget->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void SelectTemplateDialog::on_listWidget_currentRowChanged(int currentRow)
{
    const bool chosen = currentRow >= 0;
    ui->pushButtonCreateWithTemplate->setEnabled(chosen);
    ui->pushButtonEditTempl->setEnabled(chosen);
    ui->pushButtonCopyTempl->setEnabled(chosen);
    ui->pushButtonDeleteTempl->setEnabled(chosen);
}

void SelectTemplateDialog::on_pushButtonCreateEmpty_clicked()
{
    emit spoIdSelected(0);
    deleteLater();
}

void SelectTemplateDialog::on_pushButtonCreateWithTemplate_clicked()
{
    emit spoIdSelected(currentTemplate());
    deleteLater();
}

void SelectTemplateDialog::on_listWidget_doubleClicked(const QModelIndex&)
{
    setEnabled(false);
    emit spoIdSelected(currentTemplate());
    deleteLater();
}

void SelectTemplateDialog::on_pushButtonNewTempl_clicked()
{
    emit newTemplate();
}

void SelectTemplateDialog::on_pushButtonEditTempl_clicked()
{
    emit editTemplate(currentTemplate());
}

void SelectTemplateDialog::on_pushButtonCopyTempl_clicked()
{
    const int source = currentTemplate();
    if (source <= 0)
        return;
    // Record and supplement rows together, or nothing.
    const int copy = DocumentsTable::copyDocumentWithDetails(source);
    if (copy <= 0) {
        VLOG << "template not copied" << source;
        QMessageBox::warning(this, QStringLiteral("Ошибка"), QStringLiteral("Не удалось создать копию шаблона."));
        return;
    }
    fillListWidget();
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        if (ui->listWidget->item(row)->data(Qt::UserRole).toInt() == copy) {
            ui->listWidget->setCurrentRow(row);
            break;
        }
    }
}

void SelectTemplateDialog::on_pushButtonDeleteTempl_clicked()
{
    const QListWidgetItem* item = ui->listWidget->currentItem();
    if (!item)
        return;
    const int id = item->data(Qt::UserRole).toInt();

    if (!confirmOkCancel(this, QStringLiteral("Вы уверены, что хотите удалить шаблон \"%1\"?").arg(item->text())))
        return;

    if (!DocumentsTable::deleteDocumentRecords({id})) {
        QMessageBox::warning(this, QStringLiteral("Ошибка"), QStringLiteral("Не удалось удалить шаблон."));
        return;
    }
    fillListWidget();
    on_listWidget_currentRowChanged(-1);
}
