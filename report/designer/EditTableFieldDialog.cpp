#include "report/designer/EditTableFieldDialog.h"
#include "ui_EditTableFieldDialog.h"

#include "report/ReportPage.h"
#include "report/TableField.h"

EditTableFieldDialog::EditTableFieldDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::EditTableFieldDialog)
{
    ui->setupUi(this);
}

EditTableFieldDialog::~EditTableFieldDialog() = default;

void EditTableFieldDialog::setTableField(TableField* f) { m_field = f; }
TableField* EditTableFieldDialog::tableField() const { return m_field; }
void EditTableFieldDialog::on_rowCountSpin_valueChanged(int) {}
void EditTableFieldDialog::on_pushButtonOk_clicked() {}
void EditTableFieldDialog::on_pushButtonCancel_clicked() {}
void EditTableFieldDialog::on_autoWidthCheckBox_stateChanged(int) {}
void EditTableFieldDialog::on_headerIsVisibleCheckBox_stateChanged(int) {}
void EditTableFieldDialog::on_pushButtonAddSplit_clicked() {}
void EditTableFieldDialog::on_pushButtonDeleteSplit_clicked() {}
void EditTableFieldDialog::on_tableSplit_cellClicked(int, int) {}
void EditTableFieldDialog::closeEvent(QCloseEvent* event) { QDialog::closeEvent(event); }
void EditTableFieldDialog::load() {}
void EditTableFieldDialog::apply() {}
QComboBox* EditTableFieldDialog::alignCombo(int) const { return nullptr; }
