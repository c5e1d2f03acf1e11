#pragma once

#include <QString>

class QVariant;

// The hour sums of a supplement. Hours are stored as typed, so "12,5" and
// "12.5" are the same number and a text that is no number counts as 0.
class SupplementHours
{
public:
    struct Totals
    {
        double total = 0.0;
        double audit = 0.0;
        // False when some rows could not be read: the sums are then partial.
        bool read = true;
    };

    // Disciplines plus modules (whose hours already hold their sub-subjects).
    static Totals totals(int spoId);
    // A module's total hours become its exam hours plus its sub-subjects'
    // total hours, its classroom hours those of its sub-subjects. False when
    // the statement failed. While the database is known damaged nothing is
    // written (and true returned): the stored hours stay as they are.
    static bool updateModules(int moduleId);
    // The same for every module of one document.
    static bool updateDocumentModules(int spoId);
    // False when the hours of the document's sub-subjects cannot all be read.
    // Every read here that meets damaged pages marks the database as known
    // damaged.
    static bool subjectsReadable(int spoId);
    // Stored hours as a number: a comma reads as a decimal point.
    static double number(const QVariant& value);
    // Six significant digits with the locale's decimal mark, as the totals
    // are shown.
    static QString format(double value);
};
