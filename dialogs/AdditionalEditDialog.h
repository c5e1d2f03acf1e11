#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QStringList>
#include <QVector>
#include <memory>

class TableStruct;

namespace Ui {
class AdditionalEditDialog;
}

// The supplement of one document: its five document-level fields and the rows
// of its six detail tables (disciplines, practices, attestations, courseworks,
// modules and the modules' sub-subjects), with the hours they add up to.
// Table edits are written as they are made; Save writes the document-level
// fields. The dialog deletes itself when closed.
class AdditionalEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AdditionalEditDialog(QWidget* parent = nullptr);
    ~AdditionalEditDialog() override;

    // Loads the document; an unknown one leaves the form and the tables empty.
    void setDocument(int spoId);

public slots:
    void updateData();
    void on_pushButtonEditForm_clicked();
    void on_pushButtonSave_clicked();
    void on_pushButtonCancel_clicked();
    void updateTotalCount();
    void updateModuleCount();
    void onCurrentModuleChanged(const QModelIndex& current, const QModelIndex& previous);
    void on_spinBoxExam_valueChanged(double value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Part of the supplement could not be read: said once the current
    // operation is over, and editing is refused from then on.
    void readFailed(const QString& part);
    void reportUnread();

private:
    void initTables();
    void setupTables();
    void setEditMode(bool edit);
    // No module current; reloadSubjects is false while a sub-subject's edit
    // is being stored (a reload then would pull the row from under it).
    void clearCurrentModule(bool reloadSubjects);
    TableStruct* table(const QString& name) const;
    TableStruct* tableOf(const QObject* view) const;
    void moveOnEnter(TableStruct* table);
    bool recomputationAllowed() const;

    std::unique_ptr<Ui::AdditionalEditDialog> ui;
    // Children of the dialog, in the order of the tabs' tables; "DM" last.
    QVector<TableStruct*> tables;
    int currentModuleRow = -1;
    // Parts that could not be read, and how many of them the user was told.
    QStringList unread;
    int toldUnread = 0;
    bool reportPending = false;
};
