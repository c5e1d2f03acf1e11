#include "dialogs/NotEditableDelegate.h"

NotEditableDelegate::NotEditableDelegate(QObject* parent)
    : QItemDelegate(parent)
{
}

NotEditableDelegate::~NotEditableDelegate() = default;

QWidget* NotEditableDelegate::createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const
{
    return nullptr;
}

bool NotEditableDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false;
}
