#include "dialogs/ComboEditItemDelegate.h"

#include "engine/WidgetUtilities.h"

#include <QComboBox>

ComboEditItemDelegate::ComboEditItemDelegate(QObject* parent, const QString& table, const QString& field)
    : QStyledItemDelegate(parent)
    , table(table)
    , field(field)
{
}

ComboEditItemDelegate::~ComboEditItemDelegate() = default;

QWidget* ComboEditItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    fillComboBoxFromDb(table, field, combo, 0);
    installSpellChecker(combo, {});
    return combo;
}

void ComboEditItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                 const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
