#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <memory>

class QComboBox;
class TableField;

namespace Ui {
class EditTableFieldDialog;
}

// Creates a table field or edits one: its columns as a grid, the table-wide
// settings and its splits. Only OK writes into the field.
class EditTableFieldDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EditTableFieldDialog(QWidget* parent = nullptr);
    ~EditTableFieldDialog() override;

    void setTableField(TableField* f);
    TableField* tableField() const;
    bool isNewField() const { return m_newField; }

signals:
    void tableFieldModified();
    void tableFieldCreated(TableField* field);

public slots:
    void on_rowCountSpin_valueChanged(int arg1);
    void on_pushButtonOk_clicked();
    void on_pushButtonCancel_clicked();
    void on_autoWidthCheckBox_stateChanged(int arg1);
    void on_headerIsVisibleCheckBox_stateChanged(int arg1);
    void on_pushButtonAddSplit_clicked();
    void on_pushButtonDeleteSplit_clicked();
    void on_tableSplit_cellClicked(int row, int column);

private:
    void load();
    void apply();
    // The shown width cells and the split cells whose text is no number, and
    // those holding a length the template file would not keep, named for the
    // user.
    void checkNumbers(QStringList& letters, QStringList& outOfRange) const;
    // A column's width: empty is 0 (the default follows); ok is false for
    // text that is no number.
    static double widthNumber(const QString& text, bool* ok);
    // A split's value: empty and "Без переноса" are 0; ok is false for text
    // that is no number.
    static double splitNumber(const QString& text, bool* ok);
    QComboBox* alignCombo(int column) const;
    // The texts load() shows for the field's column width and split.
    QString shownWidth(int column) const;
    QStringList shownSplit(int area) const;

    std::unique_ptr<Ui::EditTableFieldDialog> ui;
    QPointer<TableField> m_field;
    bool m_newField = true;
    double m_shownHeaderHeight = 0.0;
    double m_shownRowHeight = 0.0;
    // Areas listed in the dialog: those the table holds entries for.
    int m_shownSplits = 0;
};
