#pragma once

#include <QString>

#include <functional>

class ReportPage;

// One printable report type (a blank form): its template file name, the
// titles shown in the report chooser and the loader that fills a page with
// one document's data.
class ReportInfo
{
public:
    // Fills a page: from the document sqlDocId when useData is true, from the
    // first stored document and empty tables otherwise.
    using Loader = std::function<void(ReportPage* page, int sqlDocId, bool useData)>;

    ReportInfo(int type, const QString& title, const QString& name, const QString& description);

    int type;
    // Short title for the chooser's list.
    QString title;
    // Base name of the template file; the file is name + ".velrpt".
    QString name;
    // Long title with the legal reference.
    QString description;
    // Does nothing until the registry sets it.
    Loader loadData;
};
