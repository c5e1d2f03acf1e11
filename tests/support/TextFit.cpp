#include "TextFit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>

namespace {

// What the style needs for the text (and icon) of a button, beside the room it gives.
bool buttonFits(QAbstractButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QRadioButton*>(button))
        contents = QStyle::SE_RadioButtonContents;
    const QRect room = button->style()->subElementRect(contents, &option, button);
    QSize needed = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
    if (!button->icon().isNull())
        needed.rwidth() += button->iconSize().width() + 4;
    return needed.width() <= room.width() && needed.height() <= room.height();
}

bool labelFits(QLabel* label)
{
    if (label->wordWrap())
        return label->heightForWidth(label->width()) <= label->height();
    const QSize hint = label->sizeHint();
    return hint.width() <= label->width() && hint.height() <= label->height();
}

bool groupTitleFits(QGroupBox* box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable())
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    option.textAlignment = box->alignment();
    const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    return title.left() >= 0 && title.right() <= box->contentsRect().right();
}

// The line edit scrolls its text once text and cursor need more than its inside.
bool lineEditValueFits(QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.state |= QStyle::State_Sunken;
    QRect inside = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    inside = inside.marginsRemoved(edit->textMargins());
    const int horizontalMargin = 2; // QLineEdit's own, fixed in Qt
    return edit->fontMetrics().horizontalAdvance(edit->displayText()) + 1 <= inside.width() - 2 * horizontalMargin;
}

bool comboFits(QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.currentText = combo->currentText();
    QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    // A combo in a table cell is cut by the table's edge as well.
    const QRect shown = combo->visibleRegion().boundingRect();
    if (!shown.isEmpty())
        room &= QRect(shown.left(), room.top(), shown.width(), room.height());
    return combo->fontMetrics().horizontalAdvance(combo->currentText()) <= room.width();
}

// Cells whose text the delegate would elide or the view's right edge cuts
// (in a list, or in a table's first column):
// the delegate's size hint is the text with the margins it paints around it.
// Hidden rows and columns are skipped.
QStringList cutCells(QAbstractItemView* view)
{
    QStringList cut;
    const QAbstractItemModel* model = view->model();
    if (!model)
        return cut;
    auto* table = qobject_cast<QTableView*>(view);
    const bool list = qobject_cast<QListView*>(view);
    int firstColumn = 0;
    while (table && firstColumn < model->columnCount() && table->isColumnHidden(firstColumn))
        ++firstColumn;
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.font = view->font();
    option.decorationSize = view->iconSize();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (table && table->isRowHidden(row))
            continue;
        for (int column = 0; column < model->columnCount(); ++column) {
            if (table && table->isColumnHidden(column))
                continue;
            const QModelIndex index = model->index(row, column);
            const QString text = index.data(Qt::DisplayRole).toString();
            if (text.isEmpty() || view->indexWidget(index))
                continue;
            // A list lays an item out whole and lets the view's right edge
            // cut it; so does a table its first column, which names the rows.
            // Further columns may scroll sideways.
            QRect room = view->visualRect(index);
            if (list || (table && column == firstColumn))
                room &= QRect(0, room.top(), view->viewport()->width(), room.height());
            const QSize needed = view->itemDelegate(index)->sizeHint(option, index);
            if (needed.width() > room.width() || needed.height() > room.height())
                cut << text;
        }
    }
    return cut;
}

QString entry(QWidget* widget, const QString& text)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(), text);
}

} // namespace

QStringList TextFit::clippedTexts(QWidget* root)
{
    QStringList clipped;
    QList<QWidget*> widgets{root};
    widgets += root->findChildren<QWidget*>();
    for (QWidget* widget : qAsConst(widgets)) {
        if (widget != root && !widget->isVisibleTo(root))
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (!label->text().isEmpty() && !labelFits(label))
                clipped << entry(label, label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            const bool checked = qobject_cast<QPushButton*>(widget) || qobject_cast<QCheckBox*>(widget)
                || qobject_cast<QRadioButton*>(widget);
            if (checked && !button->text().isEmpty() && !buttonFits(button))
                clipped << entry(button, button->text());
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            if (!box->title().isEmpty() && !groupTitleFits(box))
                clipped << entry(box, box->title());
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (edit->isReadOnly() && !lineEditValueFits(edit))
                clipped << entry(edit, edit->displayText());
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            if (!combo->isEditable() && !comboFits(combo))
                clipped << entry(combo, combo->currentText());
        } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && !qobject_cast<QHeaderView*>(view)) {
            for (const QString& text : cutCells(view))
                clipped << entry(view, text);
        }
    }
    return clipped;
}
