#include "report/designer/ProjectViewWidget.h"
#include "ui_ProjectViewWidget.h"

#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"

#include <QResizeEvent>

ProjectViewWidget::ProjectViewWidget(ReportPage* page, QWidget* parent)
    : QWidget(parent), ui(new Ui::ProjectViewWidget)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ProjectViewWidget"));
    ui->setupUi(this);
    setAcceptDrops(true);

    m_graphicsView = new MyGraphicsView(this);
    m_graphicsView->setDragMode(QGraphicsView::ScrollHandDrag);
    m_graphicsView->setRenderHint(QPainter::Antialiasing, true);
    m_graphicsView->setCacheMode(QGraphicsView::CacheBackground);
    m_graphicsView->setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);

    m_scene = new MyGraphicsScene(page);
    m_graphicsView->setScene(m_scene);
    resizeChildren();
}

ProjectViewWidget::~ProjectViewWidget()
{
    // The scene has no parent; it goes with the view that shows it.
    delete m_scene.data();
}

void ProjectViewWidget::addField(AbstractField* field)
{
    if (!m_scene)
        return;
    m_scene->clearSelection();
    FieldGraphicsItem* item = m_scene->addField(field);
    item->setSelected(true);
}

MyGraphicsScene* ProjectViewWidget::scene() const
{
    return m_scene;
}

MyGraphicsView* ProjectViewWidget::graphicsView() const
{
    return m_graphicsView;
}

void ProjectViewWidget::on_zoomIn()
{
    if (m_graphicsView)
        m_graphicsView->zoom(MyGraphicsView::zoomInStep);
}

void ProjectViewWidget::on_zoomOut()
{
    if (m_graphicsView)
        m_graphicsView->zoom(MyGraphicsView::zoomOutStep);
}

void ProjectViewWidget::setReportPage(ReportPage* rp)
{
    if (m_graphicsView)
        m_graphicsView->setAttribute(Qt::WA_MouseTracking);
    if (m_scene)
        m_scene->setReportPage(rp);
}

void ProjectViewWidget::resizeChildren()
{
    if (m_graphicsView)
        m_graphicsView->setGeometry(0, 0, width() - 10, height() - 10);
}

void ProjectViewWidget::resizeEvent(QResizeEvent* event)
{
    resizeChildren();
    QWidget::resizeEvent(event);
}
