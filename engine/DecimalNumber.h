#pragma once

#include <QString>

// Decimal numbers as people type them: under the Russian locale the mark is a
// comma, but a point (from habit or the numeric keypad) is just as common, so
// either is taken, in every locale. Numbers are shown with the locale's mark.
class DecimalNumber
{
public:
    // The number typed in text (blanks around it ignored), with a comma or a
    // point as its decimal mark. Group separators are not taken: "1,234" is
    // 1.234 everywhere. ok (when given) is false, and the result 0, for text
    // that is no number.
    static double parse(const QString& text, bool* ok = nullptr);
    // text with either mark replaced by the locale's: what a field shows once
    // the user typed the other mark.
    static QString withLocaleMark(QString text);
};
