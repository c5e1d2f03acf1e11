#pragma once

#include <QString>
#include <QStringList>

struct DocumentFields;

// The checks run before the document form saves: the diploma and supplement
// blanks must differ, and unless the document is a duplicate, no other row that
// is not a duplicate may already hold the same blank (as a diploma or as a
// supplement blank) or the same registration number. Values are compared trimmed on both sides, so
// white space typed around a number never makes it look new.
class DocumentValidator
{
public:
    // The refusal lines, each ending in a line feed, in the order the user
    // reads them; empty when the fields may be saved. spoId is the row being
    // saved (below 1 for one not yet in the database).
    static QStringList problems(const DocumentFields& fields, int spoId);
    // The warning text: "Невозможно сохранить документ:\n" followed by the lines.
    static QString refusalText(const QStringList& problems);

private:
    static bool blankTaken(const QString& blank, int spoId);
    static bool regNumberTaken(const QString& regNumber, int spoId);
    static bool countAboveZero(const QString& sql, const QString& valueName,
                               const QString& value, int spoId);
};
