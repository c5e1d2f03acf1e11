#include "report/designer/EditTableFieldDialog.h"
#include "ui_EditTableFieldDialog.h"

#include "report/ReportPage.h"
#include "report/TableField.h"

#include <QComboBox>
#include <QTableWidgetItem>

namespace {
const int headerRow = 0;
const int widthRow = 1;
const int dataRow = 2;
const int alignRow = 3;
const double noSplit = 0.000001;
const QString defaultWidth = QStringLiteral("40");

QString cellText(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

void setCellText(QTableWidget* table, int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = table->item(row, column))
        item->setText(text);
    else
        table->setItem(row, column, new QTableWidgetItem(text));
}
} // namespace

EditTableFieldDialog::EditTableFieldDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::EditTableFieldDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    // Closed by its title bar or Escape it is freed as well, not only hidden.
    setAttribute(Qt::WA_DeleteOnClose);
    load();
}

EditTableFieldDialog::~EditTableFieldDialog() = default;

void EditTableFieldDialog::setTableField(TableField* f)
{
    m_field = f;
    if (f)
        m_newField = false;
    load();
}

TableField* EditTableFieldDialog::tableField() const
{
    return m_field;
}

QComboBox* EditTableFieldDialog::alignCombo(int column) const
{
    return qobject_cast<QComboBox*>(ui->table->cellWidget(alignRow, column));
}

void EditTableFieldDialog::load()
{
    if (!m_field) {
        ui->rowCountSpin->setValue(3);
        on_rowCountSpin_valueChanged(ui->rowCountSpin->value());
        ui->pushButtonOk->setText(QStringLiteral("Создать"));
        on_autoWidthCheckBox_stateChanged(ui->autoWidthCheckBox->checkState());
        on_headerIsVisibleCheckBox_stateChanged(ui->headerIsVisibleCheckBox->checkState());
        return;
    }

    ui->pushButtonOk->setText(QStringLiteral("Сохранить"));
    ui->rowCountSpin->setValue(m_field->columnCount());
    on_rowCountSpin_valueChanged(ui->rowCountSpin->value());

    // A hand-made template may hold fewer entries than columns: what it has
    // is shown, the rest keeps the grid's defaults, and everything else of
    // the table is shown, so that OK never resets it.
    const int columns = qMin(int(m_field->columnCount()), ui->table->columnCount());
    for (int c = 0; c < columns; ++c) {
        setCellText(ui->table, headerRow, c, m_field->headerNameAt(c));
        if (c < m_field->columnsWidth().size())
            setCellText(ui->table, widthRow, c, QString::number(m_field->columnsWidth().at(c), 'g', 6));
        setCellText(ui->table, dataRow, c, m_field->columnIdAt(c));
        if (QComboBox* combo = alignCombo(c))
            combo->setCurrentIndex(combo->findData(int(m_field->columnAlignAt(c))));
    }

    ui->autoWidthCheckBox->setChecked(m_field->autoWidth());
    ui->headerIsVisibleCheckBox->setChecked(m_field->headerIsVisible());
    on_autoWidthCheckBox_stateChanged(ui->autoWidthCheckBox->checkState());
    on_headerIsVisibleCheckBox_stateChanged(ui->headerIsVisibleCheckBox->checkState());

    ui->headerHeightSpin->setValue(m_field->headerHeight());
    ui->rowHeightSpin->setValue(m_field->rowHeight());
    ui->modelNameLineEdit->setText(m_field->modelName());
    ui->drawBordersCheckBox->setChecked(m_field->drawBorders());

    ui->tableSplit->setRowCount(0);
    for (int i = 0; i < m_field->splitsCount(); ++i) {
        on_pushButtonAddSplit_clicked();
        const double x = m_field->splitXAt(i);
        const double y = m_field->splitYAt(i);
        ui->tableSplit->item(i, 0)->setText(QString::number(m_field->maxSplitHeightAt(i), 'f', 2));
        if (x < noSplit && y < noSplit) {
            ui->tableSplit->item(i, 1)->setText(QStringLiteral("Без переноса"));
            ui->tableSplit->item(i, 2)->setText(QStringLiteral("Без переноса"));
        } else {
            ui->tableSplit->item(i, 1)->setText(QString::number(x, 'f', 2));
            ui->tableSplit->item(i, 2)->setText(QString::number(y, 'f', 2));
        }
    }
}

void EditTableFieldDialog::on_rowCountSpin_valueChanged(int arg1)
{
    if (ui->table->columnCount() != arg1)
        ui->table->setColumnCount(arg1);
    for (int c = 0; c < ui->table->columnCount(); ++c) {
        for (int row = 0; row < ui->table->rowCount(); ++row) {
            if (!ui->table->item(row, c))
                ui->table->setItem(row, c, new QTableWidgetItem(row == widthRow ? defaultWidth : QString()));
            if (row == alignRow && !ui->table->cellWidget(row, c)) {
                auto* combo = new QComboBox;
                combo->addItem(QStringLiteral("по умолчанию"), 0);
                combo->addItem(QStringLiteral("Слева"), int(Qt::AlignLeft));
                combo->addItem(QStringLiteral("По центру"), int(Qt::AlignHCenter));
                combo->addItem(QStringLiteral("Справа"), int(Qt::AlignRight));
                combo->setCurrentIndex(0);
                ui->table->setCellWidget(row, c, combo);
            }
        }
    }
}

void EditTableFieldDialog::on_pushButtonOk_clicked()
{
    apply();
    deleteLater();
}

void EditTableFieldDialog::on_pushButtonCancel_clicked()
{
    deleteLater();
}

void EditTableFieldDialog::on_autoWidthCheckBox_stateChanged(int arg1)
{
    ui->table->setRowHidden(widthRow, arg1 != 0);
}

void EditTableFieldDialog::on_headerIsVisibleCheckBox_stateChanged(int arg1)
{
    ui->headerHeightSpin->setEnabled(arg1 >= 1);
    ui->table->setRowHidden(headerRow, arg1 < 1);
}

void EditTableFieldDialog::on_pushButtonAddSplit_clicked()
{
    const int row = ui->tableSplit->rowCount();
    ui->tableSplit->insertRow(row);
    for (int c = 0; c < 3; ++c)
        ui->tableSplit->setItem(row, c, new QTableWidgetItem);
}

void EditTableFieldDialog::on_pushButtonDeleteSplit_clicked()
{
    const int row = ui->tableSplit->currentRow();
    if (row >= 0)
        ui->tableSplit->removeRow(row);
    ui->pushButtonDeleteSplit->setEnabled(false);
}

void EditTableFieldDialog::on_tableSplit_cellClicked(int row, int column)
{
    ui->pushButtonDeleteSplit->setEnabled(row >= 0 && column >= 0);
}

void EditTableFieldDialog::apply()
{
    if (m_newField && !m_field)
        m_field = new TableField;
    if (!m_field)
        return;
    TableField* table = m_field;

    const int columns = ui->rowCountSpin->value();
    table->setColumnCount(columns);
    QVector<double> widths(columns);
    QVector<QString> headers(columns);
    QVector<QString> ids(columns);
    QVector<quint8> aligns = table->columnsAlign();
    aligns.resize(columns);
    for (int c = 0; c < columns; ++c) {
        headers[c] = cellText(ui->table, headerRow, c);
        widths[c] = cellText(ui->table, widthRow, c).toDouble();
        ids[c] = cellText(ui->table, dataRow, c);
        if (widths[c] < 2.0)
            widths[c] = 10.0;
        if (QComboBox* combo = alignCombo(c))
            aligns[c] = quint8(combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0);
    }
    table->setColumnsWidth(widths);
    table->setHeaderNames(headers);
    table->setColumnIds(ids);
    table->setColumnsAlign(aligns);

    table->setAutoWidth(ui->autoWidthCheckBox->isChecked());
    table->setHeaderIsVisible(ui->headerIsVisibleCheckBox->isChecked());
    table->setHeaderHeight(ui->headerHeightSpin->value());
    table->setRowHeight(ui->rowHeightSpin->value());
    table->setModelName(ui->modelNameLineEdit->text().trimmed().toLower());
    table->setDrawBorders(ui->drawBordersCheckBox->isChecked());

    const int splits = ui->tableSplit->rowCount();
    QVector<double> heights(splits);
    QVector<double> xs(splits);
    QVector<double> ys(splits);
    for (int i = 0; i < splits; ++i) {
        heights[i] = cellText(ui->tableSplit, i, 0).toDouble();
        xs[i] = cellText(ui->tableSplit, i, 1).toDouble();
        ys[i] = cellText(ui->tableSplit, i, 2).toDouble();
    }
    table->setSplitsCount(splits);
    table->setMaxSplitHeight(heights);
    table->setSplitX(xs);
    table->setSplitY(ys);
    ui->pushButtonDeleteSplit->setEnabled(false);

    table->setPrepared(false);
    if (m_newField)
        emit tableFieldCreated(table);
    else
        emit tableFieldModified();
}
