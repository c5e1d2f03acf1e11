#include "report/designer/MyGraphicsView.h"

#include "report/ReportPage.h"
#include "report/designer/FieldGraphicsItem.h"

MyGraphicsView::MyGraphicsView(QWidget* parent) : QGraphicsView(parent) {}

void MyGraphicsView::zoom(double) {}
QPointF MyGraphicsView::visibleCenter() const { return QPointF(); }
void MyGraphicsView::dragEnterEvent(QDragEnterEvent*) {}
void MyGraphicsView::dragLeaveEvent(QDragLeaveEvent*) {}
void MyGraphicsView::dragMoveEvent(QDragMoveEvent*) {}
void MyGraphicsView::dropEvent(QDropEvent*) {}
void MyGraphicsView::mousePressEvent(QMouseEvent*) {}
void MyGraphicsView::mouseReleaseEvent(QMouseEvent*) {}
void MyGraphicsView::mouseMoveEvent(QMouseEvent*) {}
void MyGraphicsView::wheelEvent(QWheelEvent*) {}
FieldGraphicsItem* MyGraphicsView::fieldItemAt(const QPointF&) const { return nullptr; }
bool MyGraphicsView::acceptsToken(const FieldGraphicsItem*) const { return false; }
