#include "dialogs/ComboBoxRateItemDelegate.h"

#include <QComboBox>

namespace {

// Set while the shown grade is the user's own choice, not the stored value.
const char* const kPicked = "gradePicked";

} // namespace

ComboBoxRateItemDelegate::ComboBoxRateItemDelegate(QObject* parent, bool withFail, bool numeric)
    : QStyledItemDelegate(parent)
    , withFail(withFail)
    , numeric(numeric)
{
}

ComboBoxRateItemDelegate::~ComboBoxRateItemDelegate() = default;

QStringList ComboBoxRateItemDelegate::grades() const
{
    QStringList items;
    if (numeric) {
        items = QStringList{QString(), QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("3")};
        if (withFail)
            items << QStringLiteral("2");
    } else {
        items = QStringList{QString(), QStringLiteral("отлично"), QStringLiteral("хорошо"),
                            QStringLiteral("удовлетворительно"), QStringLiteral("зачтено")};
        if (withFail)
            items << QStringLiteral("неудовлетворительно");
    }
    return items;
}

QWidget* ComboBoxRateItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                const QModelIndex&) const
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    combo->addItems(grades());
    // Keyboard, wheel and list choices all arrive as activated.
    connect(combo, QOverload<int>::of(&QComboBox::activated), combo,
            [combo] { combo->setProperty(kPicked, true); });
    return combo;
}

void ComboBoxRateItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    combo->setProperty(kPicked, false);
    const QString value = index.model() ? index.data(Qt::EditRole).toString() : QString();
    // A grade not in the list leaves the combo as it is, so it is never
    // replaced by merely showing it.
    const int found = combo->findData(value, Qt::DisplayRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0)
        combo->setCurrentIndex(found);
}

void ComboBoxRateItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                            const QModelIndex& index) const
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    // Leaving a persistent editor commits it: unless the user chose a grade,
    // a stored value the list does not hold must survive that.
    if (!combo->property(kPicked).toBool())
        return;
    model->setData(index, combo->currentText(), Qt::EditRole);
}

void ComboBoxRateItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                    const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
