#include "dialogs/LineEditItemDelegate.h"

#include "engine/WidgetUtilities.h"

#include <QLineEdit>
#include <QRegExpValidator>

LineEditItemDelegate::LineEditItemDelegate(QObject* parent, bool digitsOnly)
    : QStyledItemDelegate(parent)
    , digitsOnly(digitsOnly)
{
}

LineEditItemDelegate::~LineEditItemDelegate() = default;

QWidget* LineEditItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    if (digitsOnly)
        editor->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("^[\\s\\d]*$")), editor));
    else
        installSpellChecker(editor, {});
    return editor;
}

void LineEditItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
