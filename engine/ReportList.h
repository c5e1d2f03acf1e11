#pragma once

#include <QList>
#include <QMetaType>

class ReportInfo;

// The process-wide registry of printable report types. Filled once, before the
// application object exists, and never changed afterwards; the entries live
// until the process ends.
class ReportList
{
public:
    enum ReportType {
        SpoDiploma = 401,          // diploma blank
        SpoAddition = 402,         // supplement blank
        SpoAdditionDouble = 403,   // supplement blank on two sheets
        SpoDiplomaExcellent = 404  // diploma blank with distinction
    };

    // Creates the four entries in the order above, each with loadSpoData as
    // its loader. A second call changes nothing.
    static void registerReports();
    // The entry of a type; null (and a log line) when the type is not registered.
    static ReportInfo* info(ReportType type);
    // A copy of the list, in registration order.
    static QList<ReportInfo*> allReports();
};

Q_DECLARE_METATYPE(ReportList::ReportType)
