#pragma once

#include "modules/VelMainWindow/VelMainWindow.h"

#include <QPointer>

class DocumentEditDialog;
class DocumentsTable;
class FilterDockWidget;
class SelectTemplateDialog;
class QLabel;

namespace Ui {
class MainWindow;
}

// The product's main window: the document register with the filter panel at
// its right, the menus and the tool bar; it opens the document form.
class MainWindow : public VelMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    DocumentsTable* documentsRegister() const;
    FilterDockWidget* filterPanel() const;

    void exportTo() override;

protected:
    QString registerLoadProblem(int* documentsRead) const override;

private slots:
    void on_actionExit_triggered();
    void onNewTemplate();
    void onDocumentEdit(int sqlDocId);
    void onTemplateEdit(int sqlDocId);
    void onDocumentFromTemplateCreate(int templateId);
    void on_actionCreateDoc_triggered();
    void on_actionSettings_triggered();
    void on_actionEditor_triggered();
    void onUpdateIcons(int selectedCount);
    void on_actionImport_triggered();
    void on_actionExport_triggered();
    void on_actionSaveDb_triggered();
    void on_actionLoadDb_triggered();
    void on_actionRemove_triggered();
    void on_actionPrint_triggered();
    void on_actionEdit_triggered();
    void on_actionCopy_triggered();
    void on_actionAbout_triggered();
    void on_actionCheckUpdates_triggered();
    void exportTo_(QString reportName);
    void on_actionTips_triggered();
    void on_actionPreferences_triggered();
    void on_actionForumUrl_triggered();

private:
    void onSelectionChanged();
    void onRegisterReadFailed(const QString& text);
    DocumentEditDialog* newDocumentEditDialog();

    Ui::MainWindow* ui = nullptr;
    QLabel* statusLabel = nullptr;
    QPointer<QWidget> topWidget;
    QPointer<DocumentsTable> documentsTable;
    QPointer<FilterDockWidget> filterDock;
    QPointer<SelectTemplateDialog> selectTemplateDialog;
    QPointer<DocumentEditDialog> documentEditDialog;
};
