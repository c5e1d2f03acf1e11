#pragma once

#include <QStyledItemDelegate>

// An editable combo box for table cells, offering the values most often stored
// in one column of the database.
class ComboEditItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    ComboEditItemDelegate(QObject* parent, const QString& table, const QString& field);
    ~ComboEditItemDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    QString table;
    QString field;
};
