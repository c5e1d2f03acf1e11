#pragma once

#include "dialogs/DocumentFields.h"
#include "engine/ReportList.h"

#include <QDialog>
#include <memory>

namespace Ui {
class DocumentEditDialog;
}

// The form in which one diploma document, or a document template, is issued
// or edited. It shows a saved row in view mode; Edit switches to edit mode,
// Save checks and writes the row and returns to view mode. The form deletes
// itself when closed.
class DocumentEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DocumentEditDialog(QWidget* parent = nullptr);
    ~DocumentEditDialog() override;

    // A saved row in view mode; below 1 an empty new record in edit mode.
    void setSpoId(int spoId);
    // A new document in edit mode, filled from the template (0: empty) but
    // for the three name fields.
    void createFromTemplate(int templateId);
    // Template editing: one name field titled "Название шаблона", no printing,
    // no blank numbers and no registration number.
    void setTemplateMode(bool on);

signals:
    // After every successful save.
    void documentsUpdated();
    // The user chose a blank for the saved document and confirmed it.
    void documentPrint(ReportList::ReportType type, int sqlDocId, bool printBackground);

private slots:
    void on_pushButtonSave_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButtonAdditonal_clicked();
    void on_pushButtonPrint_clicked();
    void on_pushButtonEdit_clicked();
    void onFullNameChanged(const QString& text);
    void onReportTypeSelected(ReportList::ReportType type, bool printBackground);

private:
    void clearForm();
    void loadData(int id);
    void setEditMode(bool edit);
    bool checkData();
    DocumentFields fields() const;

    std::unique_ptr<Ui::DocumentEditDialog> ui;
    int spoId = 0;
    int templateId = 0;
    bool templateMode = false;
    bool splittingName = false;
};
