#include "report/designer/FieldGraphicsItem.h"

#include "report/AbstractField.h"

FieldGraphicsItem::FieldGraphicsItem(AbstractField* field, QGraphicsItem* parent)
    : QGraphicsRectItem(parent), m_field(field)
{
}

FieldGraphicsItem::~FieldGraphicsItem() = default;

AbstractField* FieldGraphicsItem::field() const { return m_field; }
int FieldGraphicsItem::fieldType() const { return m_field ? m_field->type() : 0; }
QPointF FieldGraphicsItem::boundToScene(double x, double y) const { return QPointF(x, y); }
void FieldGraphicsItem::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) {}
void FieldGraphicsItem::onFieldUpdated() {}
void FieldGraphicsItem::onTableFieldModified() {}
void FieldGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent*) {}
void FieldGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent*) {}
void FieldGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent*) {}
void FieldGraphicsItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent*) {}
