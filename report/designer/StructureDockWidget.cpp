#include "report/designer/StructureDockWidget.h"

#include "report/AbstractField.h"
#include "report/ReportPage.h"

StructureDockWidget::StructureDockWidget(QWidget* parent) : QDockWidget(parent) {}
StructureDockWidget::~StructureDockWidget() = default;

void StructureDockWidget::setReportPage(ReportPage* page) { m_page = page; }
QSize StructureDockWidget::sizeHint() const { return QSize(m_widthHint, QWidget::sizeHint().height()); }
void StructureDockWidget::onFieldChanged(AbstractField* field) { m_field = field; }
void StructureDockWidget::onTblFieldItemChanged(QTableWidgetItem*) {}
void StructureDockWidget::onTblDocItemChanged(QTableWidgetItem*) {}
void StructureDockWidget::onAlignCombosChanged() {}
void StructureDockWidget::onTypeChanged(StructureDockWidget::StructureType type) { m_structureType = type; }
void StructureDockWidget::resizeChildren() {}
void StructureDockWidget::onTblWidget_cellDoubleClicked(int, int) {}
void StructureDockWidget::resizeEvent(QResizeEvent* event) { QDockWidget::resizeEvent(event); }
