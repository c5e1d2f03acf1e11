#pragma once

#include <QDialog>
#include <QModelIndex>
#include <memory>

namespace Ui {
class SelectTemplateDialog;
}

// Where a new document starts: empty or from a document template. Templates
// are created, edited, copied and deleted here too; the main window opens the
// document form for the signals. The dialog deletes itself when closed.
class SelectTemplateDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SelectTemplateDialog(QWidget* parent = nullptr);
    ~SelectTemplateDialog() override;

signals:
    // 0: an empty document; else the template to start from.
    void spoIdSelected(int spoId);
    void editTemplate(int spoId);
    void newTemplate();

public slots:
    void fillListWidget();

private slots:
    void on_listWidget_doubleClicked(const QModelIndex& index);
    void on_pushButtonCreateEmpty_clicked();
    void on_pushButtonCreateWithTemplate_clicked();
    void on_pushButtonNewTempl_clicked();
    void on_pushButtonEditTempl_clicked();
    void on_pushButtonDeleteTempl_clicked();
    void on_listWidget_currentRowChanged(int currentRow);
    void on_pushButtonCopyTempl_clicked();

private:
    int currentTemplate() const;

    std::unique_ptr<Ui::SelectTemplateDialog> ui;
};
