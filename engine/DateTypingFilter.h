#pragma once

#include <QObject>
#include <QString>

class QDateEdit;

// Lets a date be typed the way it is written, "31.05.2015", into a date edit,
// which takes it section by section and gets two things wrong on its own:
// - it moves on to the month by itself once two day digits are in, and takes
//   the dot typed next as a wish to skip the month as well: a separator typed
//   right after such a move is swallowed;
// - it cuts the day to the month it still shows while the day is typed (31 in
//   November becomes 30) or to the year it shows while the month is typed
//   (29 February), and keeps the cut day: once the month and year are typed,
//   the day as typed comes back when that date exists.
// The date edits also show and take "dd.MM.yyyy" in every locale, so that the
// month is typed in digits.
class DateTypingFilter : public QObject
{
    Q_OBJECT

public:
    // Installs a filter owned by the edit.
    static void install(QDateEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DateTypingFilter(QDateEdit* edit);
    bool keyPressed(QDateEdit* edit, const QString& text);
    void restoreTypedDay(QDateEdit* edit) const;

    // The day digits typed since the day section was entered; empty when the
    // day was last changed otherwise (arrows, the calendar, the program).
    QString m_typedDay;
};
