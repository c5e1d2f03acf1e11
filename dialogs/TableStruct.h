#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QString>

class QPushButton;
class QSqlError;
class QSqlTableModel;
class QTableView;

// One detail table of the supplement editor: its shared model, the view that
// shows it and its add, delete, delete-all, up and down buttons. Every change
// is written to the database as it is made.
//
// "Module" rows own the "DM" rows (their sub-subjects) that carry their id;
// new "DM" rows belong to the current module.
class TableStruct : public QObject
{
    Q_OBJECT

public:
    explicit TableStruct(QObject* parent = nullptr);
    ~TableStruct() override;

    // The document whose supplement is edited, and its current module (below
    // 1: none). Shared by every supplement editor of the process.
    static int spoId;
    static int moduleId;

    // The role names that get special handling (see above).
    static inline const QString Module = QStringLiteral("Module");
    static inline const QString Dm = QStringLiteral("DM");

    QString name;
    // What the user calls these rows, for messages ("учебные предметы").
    QString title;
    QPointer<QSqlTableModel> model;
    QPointer<QTableView> view;
    int gradeColumn = -1;

    // Called in this order, once the view has its model.
    void setAddButton(QPushButton* button);
    void setDeleteButton(QPushButton* button);
    void setDeleteAllButton(QPushButton* button);
    void setUpButton(QPushButton* button);
    void setDownButton(QPushButton* button);
    // Once, after the buttons and after the view's hidden columns are set.
    void setupView();
    // Persistent grade editors on every row; select() drops them.
    void openGradeEditors();
    // Reads every row of the model's filter (not only the first batch a view
    // fetches), so that what is shown is all there is. False, logged and told
    // with readFailed() when the database could not give them all; a read that
    // met damaged pages marks the database as known damaged.
    bool select();
    // Reads one row again in place: the view keeps its editors and current cell.
    bool selectRow(int row);

    // The first and the last column the user types into: hidden columns
    // (ids, a sub-subject's module, a module's exam hours) are never reached.
    int firstDataColumn() const;
    int lastDataColumn() const;

    // No row current and nothing selected: the row buttons are disabled until
    // the user really makes a row current again.
    void clearCurrent();

signals:
    // The view's current cell changed (or was cleared by clearCurrent).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous);
    // The rows could not be read completely; what is shown is not all there is.
    void readFailed(const QString& title);

public slots:
    void onAdd();
    void onDelete();
    void onDeleteAll();
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onUp();
    void onDown();

private:
    void setButton(QPushButton*& member, QPushButton* button, void (TableStruct::*slot)());
    void onDataChanged();
    void updateButtons();
    void move(int offset);
    bool moveModule(int row, int target);
    // False (and said with refusal) when an earlier refused edit still is.
    bool storePending(const QString& refusal) const;
    // Tells the user that the database refused a change.
    void refused(const QString& text) const;
    void reload();
    bool readFailure(const QSqlError& error);

    QPushButton* addButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* deleteAllButton = nullptr;
    QPushButton* downButton = nullptr;
    QPushButton* upButton = nullptr;
    // While a new row gets its keys no half-filled row is written.
    bool inserting = false;
    // A refused edit is being reported (a swap may refuse several at once).
    bool editRefusalPending = false;
};
