#include "report/designer/EditTableFieldDialog.h"
#include "ui_EditTableFieldDialog.h"

#include "engine/DecimalNumber.h"
#include "engine/WidgetUtilities.h"
#include "report/AbstractField.h"
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
const QString noSplitText = QStringLiteral("Без переноса");

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

// Names an alignment the combo has no entry for, such as 132 (centred both
// ways) of the shipped templates.
QString alignmentText(int value)
{
    static const QList<QPair<int, QString>> parts = {
        {Qt::AlignLeft, QStringLiteral("Слева")},           {Qt::AlignRight, QStringLiteral("Справа")},
        {Qt::AlignHCenter, QStringLiteral("По центру")},    {Qt::AlignJustify, QStringLiteral("По ширине")},
        {Qt::AlignTop, QStringLiteral("верт. сверху")},     {Qt::AlignBottom, QStringLiteral("верт. снизу")},
        {Qt::AlignVCenter, QStringLiteral("верт. по центру")}};
    QStringList names;
    int rest = value;
    for (const auto& part : parts) {
        if (value & part.first) {
            names << part.second;
            rest &= ~part.first;
        }
    }
    if (rest || names.isEmpty())
        return QStringLiteral("Значение %1").arg(value);
    names.first()[0] = names.first().at(0).toUpper();
    return names.join(QStringLiteral(", "));
}
} // namespace

EditTableFieldDialog::EditTableFieldDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::EditTableFieldDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    // A number typed with the other decimal mark is shown with the locale's,
    // as everywhere else in the program.
    const auto showLocaleMark = [](QTableWidgetItem* item) {
        bool ok = false;
        DecimalNumber::parse(item->text(), &ok);
        const QString shown = DecimalNumber::withLocaleMark(item->text());
        if (ok && shown != item->text())
            item->setText(shown);
    };
    connect(ui->table, &QTableWidget::itemChanged, this, [showLocaleMark](QTableWidgetItem* item) {
        if (item->row() == widthRow)
            showLocaleMark(item);
    });
    connect(ui->tableSplit, &QTableWidget::itemChanged, this, showLocaleMark);
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
            setCellText(ui->table, widthRow, c, shownWidth(c));
        setCellText(ui->table, dataRow, c, m_field->columnIdAt(c));
        if (QComboBox* combo = alignCombo(c)) {
            // A value without an entry is shown as one of its own and kept
            // until another is picked: OK must not reset it.
            const int align = m_field->columnAlignAt(c);
            if (combo->findData(align) < 0) {
                combo->setSizeAdjustPolicy(QComboBox::AdjustToContents); // a hint that counts the new entry
                combo->addItem(alignmentText(align), align);
                ui->table->setColumnWidth(c, qMax(ui->table->columnWidth(c), combo->sizeHint().width()));
            }
            combo->setCurrentIndex(combo->findData(align));
        }
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
    // An area past the stored entries has no height and never takes rows; a
    // file may claim millions of them, which would only be empty lines here.
    m_shownSplits = qMin(m_field->splitsCount(),
                         qMax(m_field->maxSplitHeight().size(),
                              qMax(m_field->splitX().size(), m_field->splitY().size())));
    for (int i = 0; i < m_shownSplits; ++i) {
        on_pushButtonAddSplit_clicked();
        const QStringList texts = shownSplit(i);
        for (int c = 0; c < texts.size(); ++c)
            ui->tableSplit->item(i, c)->setText(texts.at(c));
    }
    m_shownHeaderHeight = ui->headerHeightSpin->value();
    m_shownRowHeight = ui->rowHeightSpin->value();
}

QString EditTableFieldDialog::shownWidth(int column) const
{
    return column < m_field->columnsWidth().size()
               ? DecimalNumber::withLocaleMark(QString::number(m_field->columnsWidth().at(column), 'g', 6))
               : QString();
}

QStringList EditTableFieldDialog::shownSplit(int area) const
{
    const double x = m_field->splitXAt(area);
    const double y = m_field->splitYAt(area);
    const auto shown = [](double value) { return DecimalNumber::withLocaleMark(QString::number(value, 'f', 2)); };
    const QString height = shown(m_field->maxSplitHeightAt(area));
    if (x < noSplit && y < noSplit)
        return {height, noSplitText, noSplitText};
    return {height, shown(x), shown(y)};
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
    // Text that is no number is said and left for the user to mend: taken
    // as 0 or as the default width it would pass unnoticed. So is a length
    // the template file would not keep: saved, it would come back otherwise.
    QStringList letters, outOfRange;
    checkNumbers(letters, outOfRange);
    if (!letters.isEmpty() || !outOfRange.isEmpty()) {
        QStringList parts;
        if (!letters.isEmpty())
            parts << QStringLiteral("Эти значения не являются числами:\n") + letters.join(QLatin1Char('\n'));
        if (!outOfRange.isEmpty())
            parts << QStringLiteral("Эти значения выходят за пределы от %1 до %2 мм:\n")
                             .arg(-AbstractField::maxLength)
                             .arg(AbstractField::maxLength)
                         + outOfRange.join(QLatin1Char('\n'));
        showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Неверные значения"),
                         parts.join(QStringLiteral("\n\n"))
                             + QStringLiteral("\n\nВведите числа; дробную часть можно отделить запятой или точкой."));
        return;
    }
    apply();
    deleteLater();
}

double EditTableFieldDialog::widthNumber(const QString& text, bool* ok)
{
    // An empty cell stands for the width a column gets when none is given.
    if (text.trimmed().isEmpty()) {
        *ok = true;
        return 0.0;
    }
    return DecimalNumber::parse(text, ok);
}

void EditTableFieldDialog::checkNumbers(QStringList& letters, QStringList& outOfRange) const
{
    const auto check = [&letters, &outOfRange](const QString& name, const QString& text, double value, bool ok) {
        const QString problem = QStringLiteral("%1: «%2»").arg(name, text);
        if (!ok)
            letters << problem;
        else if (!AbstractField::isKeptLength(value))
            outOfRange << problem;
    };
    // Widths are used, and shown, only while the table does not size its
    // columns itself.
    if (!ui->autoWidthCheckBox->isChecked()) {
        for (int c = 0; c < ui->table->columnCount(); ++c) {
            const QString width = cellText(ui->table, widthRow, c);
            bool ok = false;
            const double value = widthNumber(width, &ok);
            check(QStringLiteral("Ширина столбца %1").arg(c + 1), width, value, ok);
        }
    }
    const QStringList columns{QStringLiteral("Макс. высота"), QStringLiteral("X"), QStringLiteral("Y")};
    for (int i = 0; i < ui->tableSplit->rowCount(); ++i) {
        for (int c = 0; c < columns.size(); ++c) {
            const QString text = cellText(ui->tableSplit, i, c);
            bool ok = false;
            const double value = splitNumber(text, &ok);
            check(QStringLiteral("Разрыв %1, %2").arg(i + 1).arg(columns.at(c)), text, value, ok);
        }
    }
}

double EditTableFieldDialog::splitNumber(const QString& text, bool* ok)
{
    // An empty cell and the text shown for an area without its own place
    // both mean "no place of its own".
    if (text.trimmed().isEmpty() || text.trimmed() == noSplitText) {
        *ok = true;
        return 0.0;
    }
    return DecimalNumber::parse(text, ok);
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
    // A value whose text is still the one shown for it is kept as stored, so
    // that confirming the dialog unedited changes nothing in the template
    // (rounded widths and splits, widths below 2 mm, heights out of range).
    const bool stored = !m_newField;

    const int columns = ui->rowCountSpin->value();
    table->setColumnCount(columns);
    QVector<double> widths(columns);
    QVector<QString> headers(columns);
    QVector<QString> ids(columns);
    QVector<quint8> aligns = table->columnsAlign();
    aligns.resize(columns);
    for (int c = 0; c < columns; ++c) {
        headers[c] = cellText(ui->table, headerRow, c);
        const QString width = cellText(ui->table, widthRow, c);
        ids[c] = cellText(ui->table, dataRow, c);
        if (stored && !width.isEmpty() && width == shownWidth(c)) {
            widths[c] = table->columnsWidth().at(c);
        } else {
            // A width left unchecked while the widths were hidden may be no
            // number, or one the file would not keep: the default then.
            bool ok = false;
            widths[c] = widthNumber(width, &ok);
            if (!ok || !AbstractField::isKeptLength(widths[c]) || widths[c] < 2.0)
                widths[c] = 10.0;
        }
        if (QComboBox* combo = alignCombo(c))
            aligns[c] = quint8(combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0);
    }
    table->setColumnsWidth(widths);
    table->setHeaderNames(headers);
    table->setColumnIds(ids);
    table->setColumnsAlign(aligns);

    table->setAutoWidth(ui->autoWidthCheckBox->isChecked());
    table->setHeaderIsVisible(ui->headerIsVisibleCheckBox->isChecked());
    if (!stored || ui->headerHeightSpin->value() != m_shownHeaderHeight)
        table->setHeaderHeight(ui->headerHeightSpin->value());
    if (!stored || ui->rowHeightSpin->value() != m_shownRowHeight)
        table->setRowHeight(ui->rowHeightSpin->value());
    // As typed: the table finds its column tokens by this name, letter case
    // included, while the page looks models up whatever the case.
    if (ui->modelNameLineEdit->text() != table->modelName())
        table->setModelName(ui->modelNameLineEdit->text().trimmed());
    table->setDrawBorders(ui->drawBordersCheckBox->isChecked());

    const int splits = ui->tableSplit->rowCount();
    QVector<double> heights(splits);
    QVector<double> xs(splits);
    QVector<double> ys(splits);
    bool splitsKept = stored && splits == m_shownSplits;
    for (int i = 0; i < splits; ++i) {
        const QStringList texts{cellText(ui->tableSplit, i, 0), cellText(ui->tableSplit, i, 1),
                                cellText(ui->tableSplit, i, 2)};
        const bool kept = stored && i < m_shownSplits && texts == shownSplit(i);
        splitsKept = splitsKept && kept;
        bool ok = false;
        heights[i] = kept ? table->maxSplitHeightAt(i) : splitNumber(texts.at(0), &ok);
        xs[i] = kept ? table->splitXAt(i) : splitNumber(texts.at(1), &ok);
        ys[i] = kept ? table->splitYAt(i) : splitNumber(texts.at(2), &ok);
    }
    // Untouched areas keep the count the table claims, listed here or not.
    table->setSplitsCount(splitsKept ? table->splitsCount() : splits);
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
