#pragma once

#include <QStyledItemDelegate>

// A line edit for table cells: spell-checked, or restricted to digits and blanks.
class LineEditItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit LineEditItemDelegate(QObject* parent = nullptr, bool digitsOnly = false);
    ~LineEditItemDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    bool digitsOnly;
};
