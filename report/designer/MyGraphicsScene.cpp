#include "report/designer/MyGraphicsScene.h"

#include "report/ReportPage.h"
#include "report/designer/FieldGraphicsItem.h"

MyGraphicsScene::MyGraphicsScene(ReportPage* page, QObject* parent) : QGraphicsScene(parent)
{
    setReportPage(page);
}

MyGraphicsScene::~MyGraphicsScene() = default;

void MyGraphicsScene::setReportPage(ReportPage* page) { m_page = page; }
FieldGraphicsItem* MyGraphicsScene::addField(AbstractField*) { return nullptr; }
void MyGraphicsScene::removeFieldItem(FieldGraphicsItem*) {}
void MyGraphicsScene::setBackgroundImage(const QPixmap*) {}
void MyGraphicsScene::setBackgroundImage2(const QPixmap*) {}
ReportPage* MyGraphicsScene::reportPage() const { return m_page; }
void MyGraphicsScene::onFieldsUpdated() {}
void MyGraphicsScene::onPageUpdated() {}
void MyGraphicsScene::onMoveField(Qt::ArrowType) {}
void MyGraphicsScene::updateAllItems() {}
void MyGraphicsScene::onSelectionChanged() {}
void MyGraphicsScene::updateSheets() {}
QRectF MyGraphicsScene::pageRect() const { return QRectF(); }
bool MyGraphicsScene::applyBackground(const QPixmap*, QGraphicsRectItem*, QGraphicsPixmapItem*) { return false; }
