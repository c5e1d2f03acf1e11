#include "TextFit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
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
        }
    }
    return clipped;
}
