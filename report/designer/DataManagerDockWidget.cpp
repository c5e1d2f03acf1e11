#include "report/designer/DataManagerDockWidget.h"

#include "report/ReportPage.h"

DataManagerDockWidget::DataManagerDockWidget(QWidget* parent) : QDockWidget(parent) {}
DataManagerDockWidget::~DataManagerDockWidget() = default;

void DataManagerDockWidget::setReportPage(ReportPage* page) { m_page = page; }
QSize DataManagerDockWidget::sizeHint() const { return QSize(m_widthHint, QWidget::sizeHint().height()); }
QTableWidget* DataManagerDockWidget::tableWidget() const { return m_table; }
void DataManagerDockWidget::updateTable() {}
void DataManagerDockWidget::resizeChildren() {}
void DataManagerDockWidget::resizeEvent(QResizeEvent* event) { QDockWidget::resizeEvent(event); }
