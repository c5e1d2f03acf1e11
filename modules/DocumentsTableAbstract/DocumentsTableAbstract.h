#pragma once

#include "engine/ReportList.h"

#include <QList>
#include <QModelIndex>
#include <QPair>
#include <QPointer>
#include <QSqlTableModel>
#include <QString>
#include <QTableView>
#include <QVariant>

class QAction;
class QMenu;

// The family's document register: a table over a shared QSqlTableModel with a
// context menu, the print road through the report chooser and the operations
// each product implements (copy, delete, the blank check and the row filter).
//
// Every row of the model is loaded after each select and sort, and the
// product's filter is applied again afterwards, so the hidden rows always
// follow the documents rather than row numbers. A load that stops at a read
// error keeps the rows read so far and says so (readFailed, loadProblem).
class DocumentsTableAbstract : public QTableView
{
    Q_OBJECT

public:
    explicit DocumentsTableAbstract(QWidget* parent = nullptr);
    ~DocumentsTableAbstract() override;

    QSqlTableModel* tableModel() const { return model; }

    // Empty when the last load read every row; otherwise the user's text
    // saying that the list shown is incomplete (also sent with readFailed).
    QString loadProblem() const { return m_loadProblem; }

    // The selected rows the user can see (a filtered-out row may still be
    // selected by "Выделить всё"), in the order selectedRows(0) gives them.
    QList<int> selectedVisibleRows() const;
    // The document ids (column 0) of those rows.
    QList<int> selectedDocumentIds() const;
    // The document the row actions act on: the current row when it is one of
    // the visible selected rows, else the first of them; -1 when none is selected.
    int actionDocumentId() const;

    // The context menu's actions, in menu order.
    QAction* newRecordAction = nullptr;
    QAction* copyRecordAction = nullptr;
    QAction* editAction = nullptr;
    QAction* deleteAction = nullptr;
    QAction* printAction = nullptr;
    QAction* selectAllAction = nullptr;

    // Deletes the documents with their detail rows; false leaves them all in place.
    virtual bool deleteDocuments(QList<int> ids) = 0;
    // Copies the document record; the new id, or 0 when nothing was copied.
    virtual int copyDocument(int sqlDocId) = 0;
    // Copies the detail rows of one document to another; false on failure.
    virtual bool copyDetails(int fromSpoId, int toSpoId) = 0;
    // True when printing the document on this blank may go on.
    virtual bool checkBeforePrint(ReportList::ReportType type, int sqlDocId) = 0;

signals:
    void documentClicked(int sqlDocId);
    void documentPrint(ReportList::ReportType type, int sqlDocId, bool printBackground);
    void unselect();
    void reselected();
    // A load (a select, a sort, a reload after a change) stopped at a read
    // error: the rows shown are only those read before it.
    void readFailed(const QString& text);

public slots:
    void updateData();
    virtual void onFiltersChanged(QList<QPair<QString, QVariant>> filterList) = 0;
    void onRowActivated(QModelIndex index);
    void provideContexMenu(QPoint pos);
    void onCopyRecordAction();
    void onEditAction();
    void onDeleteAction();
    void onPrintAction();
    void onSelectAllAction();

protected:
    // Subclasses set `model` and then call this.
    virtual void setupModel();
    // Called after every reload of the model with all its rows loaded; the
    // product hides again the rows its last filter rejects.
    virtual void reapplyFilter();
    // Enables the context actions for a click at pos (viewport coordinates).
    void prepareContextMenu(const QPoint& pos);
    // Reads every row the model has not fetched yet; false (logged, and
    // kept in loadProblem) when the select or a fetch failed on the way.
    bool fetchAllRows();

    QPointer<QSqlTableModel> model;
    QMenu* contextMenu = nullptr;

private:
    void onModelReset();
    int documentIdAt(int row) const;

    QString m_loadProblem;
};
