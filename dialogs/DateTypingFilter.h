#pragma once

#include <QObject>

class QDateEdit;

// Lets a date be typed the way it is written, "15.03.2001": a date edit moves
// on to the month by itself once two day digits are in, and would take the
// dot typed next as a wish to skip the month as well. A separator typed
// right after such a move is swallowed. The date edits also show and take
// "dd.MM.yyyy" in every locale, so digits can be typed for the month.
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
};
