#pragma once

#include "modules/DocumentsTableAbstract/DocumentsTableAbstract.h"

#include <QDate>
#include <QVector>

// The register of issued documents over the view ViewSpoDocuments, and the one
// place where a document is copied, deleted with its detail rows, or checked
// against the blank chosen for printing (the document form and the templates
// dialog call the static workers too).
class DocumentsTable : public DocumentsTableAbstract
{
    Q_OBJECT

public:
    using FilterList = QList<QPair<QString, QVariant>>;

    enum Column {
        ColumnId = 0,
        ColumnFio = 1,
        ColumnIssueDate = 2,
        ColumnNumber = 3,
        ColumnRegNumber = 4,
        ColumnProfession = 5,
        ColumnEditDate = 6
    };

    explicit DocumentsTable(QWidget* parent = nullptr);

    // Copies a SpoDocuments row (surname prefixed "КОПИЯ ", blank, registration
    // and supplement numbers emptied, series left NULL). The new id, or 0 when
    // no row was added.
    static int copyDocumentRecord(int spoId);
    // Deletes the documents and every detail row of theirs, all or nothing.
    static bool deleteDocumentRecords(QList<int> ids);
    // Copies practices, disciplines, courseworks, attestations and modules with
    // their sub-subjects (under the modules' new ids), all or nothing.
    static bool copyDocumentDetails(int fromSpoId, int toSpoId);
    // The record and its details as one unit, for the register and the
    // templates dialog alike; the new id, or 0 when nothing was copied.
    static int copyDocumentWithDetails(int spoId);
    // Asks when the diploma blank does not match the document's distinction
    // flag; true when printing may go on.
    static bool checkFormMatchesDocument(ReportList::ReportType type, int spoId);

    bool deleteDocuments(QList<int> ids) override;
    int copyDocument(int sqlDocId) override;
    bool copyDetails(int fromSpoId, int toSpoId) override;
    bool checkBeforePrint(ReportList::ReportType type, int sqlDocId) override;

    // The filter list received last; applied again after every reload and sort.
    FilterList lastFilter() const { return m_filter; }

public slots:
    void onFiltersChanged(QList<QPair<QString, QVariant>> filterList) override;

protected:
    void setupModel() override;
    void reapplyFilter() override;

private:
    // What the filter compares, read once per load rather than at every
    // change, and only the columns a filter has asked for.
    struct RowKeys
    {
        QString fio;          // folded
        QDate issueDate;
        QString profession;   // folded
    };

    enum KeyColumn { FioKey = 1, DateKey = 2, ProfessionKey = 4 };

    void applyFilter();
    // Reads the columns of keyColumns that were not read since the last load.
    void readRowKeys(int keyColumns);

    FilterList m_filter;
    QVector<RowKeys> m_keys;
    // KeyColumn flags of the columns read into m_keys.
    int m_keysRead = 0;
    int m_hiddenRows = 0;
};
