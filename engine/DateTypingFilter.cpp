#include "engine/DateTypingFilter.h"

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
    auto* edit = qobject_cast<QDateEdit*>(watched);
    if (!edit)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPressed(edit, static_cast<QKeyEvent*>(event)->text());
    case QEvent::KeyRelease:
        // The key has been taken by now, the month or year with it.
        if (edit->currentSection() != QDateTimeEdit::DaySection)
            restoreTypedDay(edit);
        return false;
    case QEvent::FocusIn:
    case QEvent::MouseButtonPress:
        m_typedDay.clear();
        return false;
    default:
        return false;
    }
}

bool DateTypingFilter::keyPressed(QDateEdit* edit, const QString& text)
{
    const QLineEdit* line = edit->findChild<QLineEdit*>();
    const QChar typed = text.size() == 1 ? text.at(0) : QChar();
    if (!line || typed.isNull() || !typed.isPrint()) {
        m_typedDay.clear();
        return false;
    }
    if (typed.isDigit()) {
        if (edit->currentSection() == QDateTimeEdit::DaySection)
            m_typedDay = line->hasSelectedText() || m_typedDay.size() >= 2 ? QString(typed) : m_typedDay + typed;
        return false;
    }
    if (typed.isLetter())
        return false;
    // A whole section selected right behind this very separator: the edit has
    // just moved on by itself.
    if (!line->hasSelectedText())
        return false;
    const int start = line->selectionStart();
    return start > 0 && line->text().at(start - 1) == typed && !line->selectedText().contains(typed);
}

void DateTypingFilter::restoreTypedDay(QDateEdit* edit) const
{
    const int day = m_typedDay.toInt();
    const QDate shown = edit->date();
    if (day <= shown.day())
        return;
    const QDate typed(shown.year(), shown.month(), day);
    if (typed.isValid())
        edit->setDate(typed);
}
