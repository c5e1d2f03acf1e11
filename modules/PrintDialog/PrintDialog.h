#pragma once

#include "engine/ReportList.h"

#include <QDialog>

class QGraphicsPixmapItem;
class QGraphicsScene;
class QListWidgetItem;

namespace Ui {
class PrintDialog;
}

// Lets the user choose one registered report type (a blank), with its
// description and an optional preview of the blank's image. In print mode it
// also offers printing the background; in edit mode it chooses the template to
// open in the designer. It answers with reportTypeSelected() and closes itself.
class PrintDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PrintDialog(QWidget* parent = nullptr);
    ~PrintDialog() override;

    void setEditMode();

    double currentScale() const { return m_currentScale; }

signals:
    void reportTypeSelected(ReportList::ReportType type, bool printBackground);

private slots:
    void on_pushButtonCancel_clicked();
    void on_pushButtonPrint_clicked();
    void on_listWidget_itemDoubleClicked(QListWidgetItem* item);
    void on_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void on_pushButtonScalePlus_clicked();
    void on_pushButtonScaleMinus_clicked();
    void on_checkBoxPreview_toggled(bool checked);

private:
    void readSettings();
    void writeSettings();

    Ui::PrintDialog* ui;
    int m_lastPrintedRow = 0;
    QGraphicsScene* m_scene = nullptr;
    QGraphicsPixmapItem* m_previewItem = nullptr;
    const double m_scaleFactor = 1.2;
    double m_currentScale = 1.0;
};
