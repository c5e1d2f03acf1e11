#pragma once

#include "report/ReportPage.h"

#include "report/AbstractField.h"

#include <QDockWidget>
#include <QFont>
#include <QPointer>


class QCheckBox;
class QComboBox;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;


// The designer's property editor: page properties, or those of the
// selected field.
class StructureDockWidget : public QDockWidget
{
    Q_OBJECT

public:
    enum StructureType { PageStructure = 1, FieldStructure = 2 };

    explicit StructureDockWidget(QWidget* parent = nullptr);
    ~StructureDockWidget() override;

    void setReportPage(ReportPage* page);
    QSize sizeHint() const override;

signals:
    void fieldUpdated();
    void pageUpdated();

public slots:
    void onFieldChanged(AbstractField* field);
    void onTblFieldItemChanged(QTableWidgetItem* item);
    void onTblDocItemChanged(QTableWidgetItem* item);
    void onAlignCombosChanged();
    void onTypeChanged(StructureDockWidget::StructureType structureType);
    void resizeChildren();
    void onTblWidget_cellDoubleClicked(int row, int column);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    quint16 m_widthHint = 400;
    QTableWidget* m_fieldTable = nullptr;
    QTableWidget* m_pageTable = nullptr;
    QPointer<ReportPage> m_page;
    QPointer<AbstractField> m_field;
    bool m_updating = false;
    QFont m_font;
    StructureType m_structureType = FieldStructure;
};
