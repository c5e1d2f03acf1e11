#include "report/designer/ProjectViewWidget.h"
#include "ui_ProjectViewWidget.h"

#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"

ProjectViewWidget::ProjectViewWidget(ReportPage*, QWidget* parent)
    : QWidget(parent), ui(new Ui::ProjectViewWidget)
{
    ui->setupUi(this);
}

ProjectViewWidget::~ProjectViewWidget() = default;

void ProjectViewWidget::addField(AbstractField*) {}
MyGraphicsScene* ProjectViewWidget::scene() const { return m_scene; }
MyGraphicsView* ProjectViewWidget::graphicsView() const { return m_graphicsView; }
void ProjectViewWidget::on_zoomIn() {}
void ProjectViewWidget::on_zoomOut() {}
void ProjectViewWidget::setReportPage(ReportPage*) {}
void ProjectViewWidget::resizeChildren() {}
void ProjectViewWidget::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }
