#pragma once

#include <QStyledItemDelegate>

// A grade chooser for table cells; the grade is stored as the chosen text.
class ComboBoxRateItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ComboBoxRateItemDelegate(QObject* parent = nullptr, bool withFail = false, bool numeric = false);
    ~ComboBoxRateItemDelegate() override;

    // The grades offered, the empty text first.
    QStringList grades() const;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    bool withFail;
    bool numeric;
};
