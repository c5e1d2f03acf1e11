#include "dialogs/DateTypingFilter.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>

DateTypingFilter::DateTypingFilter(QDateEdit* edit)
    : QObject(edit)
{
}

void DateTypingFilter::install(QDateEdit* edit)
{
    if (!edit)
        return;
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edit->installEventFilter(new DateTypingFilter(edit));
}

bool DateTypingFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* edit = qobject_cast<QDateEdit*>(watched);
    const QString typed = static_cast<QKeyEvent*>(event)->text();
    if (!edit || typed.size() != 1 || typed.at(0).isLetterOrNumber() || !typed.at(0).isPrint())
        return false;
    // A whole section selected right behind this very separator: the edit has
    // just moved on by itself.
    const QLineEdit* line = edit->findChild<QLineEdit*>();
    if (!line || !line->hasSelectedText())
        return false;
    const int start = line->selectionStart();
    return start > 0 && line->text().at(start - 1) == typed.at(0) && !line->selectedText().contains(typed);
}
