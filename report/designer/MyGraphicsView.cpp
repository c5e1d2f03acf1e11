#include "report/designer/MyGraphicsView.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/ReportWindow.h"

#include <QDataStream>
#include <QDragEnterEvent>
#include <QMap>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {
const char itemModelMime[] = "application/x-qabstractitemmodeldatalist";
const int edgeGrip = 5;

QPoint wholePixels(const QPointF& pos)
{
    return QPoint(qRound(pos.x()), qRound(pos.y()));
}
} // namespace

MyGraphicsView::MyGraphicsView(QWidget* parent) : QGraphicsView(parent)
{
    setStyleSheet(QStringLiteral("background-color: transparent;"));
    setRenderHint(QPainter::Antialiasing);
    setInteractive(true);
    setAttribute(Qt::WA_MouseTracking);
    setDragMode(QGraphicsView::NoDrag);
    setAcceptDrops(true);
    setTransformationAnchor(QGraphicsView::NoAnchor);
}

void MyGraphicsView::zoom(double factor)
{
    const double m = transform().m11();
    if ((m > 0.7 && m < 2.5) || (m > 2.5 && factor < 1.0) || (m < 0.7 && factor > 1.0))
        scale(factor, factor);
}

QPointF MyGraphicsView::visibleCenter() const
{
    const QRectF visible = mapToScene(QRect(0, 0, viewport()->width(), viewport()->height())).boundingRect();
    return QPointF(visible.left() + visible.width() * 0.5, visible.top() + visible.height() * 0.5);
}

FieldGraphicsItem* MyGraphicsView::fieldItemAt(const QPointF& pos) const
{
    return dynamic_cast<FieldGraphicsItem*>(itemAt(wholePixels(pos)));
}

bool MyGraphicsView::acceptsToken(const FieldGraphicsItem* item) const
{
    if (!item)
        return false;
    switch (item->fieldType()) {
    case AbstractField::TextFieldType:
        return m_dragText.contains(QLatin1String("$V{"));
    case AbstractField::TableFieldType:
        return m_dragText.contains(QLatin1String("$D{"));
    default:
        return false;
    }
}

void MyGraphicsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_panning = true;
        m_panOriginX = qRound(event->localPos().x());
        m_panOriginY = qRound(event->localPos().y());
        return;
    }
    QGraphicsView::mousePressEvent(event);
}

void MyGraphicsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_panning = false;
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void MyGraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->localPos();
    const double m = transform().m11();
    if (m_panning) {
        horizontalScrollBar()->setValue(
            int(horizontalScrollBar()->value() - (qRound(pos.x()) - m_panOriginX) * m / 13.0));
        verticalScrollBar()->setValue(
            int(verticalScrollBar()->value() - (qRound(pos.y()) - m_panOriginY) * m / 13.0));
        QGraphicsView::mouseMoveEvent(event);
        return;
    }

    FieldGraphicsItem* item = fieldItemAt(pos);
    if (!item) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    if (!item->isSelected()) {
        // An unselected field is selected by a click before it can be dragged.
        item->setCursor(Qt::ArrowCursor);
        return;
    }

    const QRectF bounds = item->fieldSceneRect();
    const QPoint topLeft = mapFromScene(bounds.topLeft());
    const QPoint bottomRight = mapFromScene(bounds.bottomRight());
    const QPoint p = wholePixels(pos);
    const int kind = item->fieldType();
    if (kind == AbstractField::TextFieldType || kind == AbstractField::QrFieldType) {
        if (p.x() <= topLeft.x() + edgeGrip || p.x() >= bottomRight.x() - edgeGrip)
            item->setCursor(Qt::SizeHorCursor);
        else if (p.y() <= topLeft.y() + edgeGrip || p.y() >= bottomRight.y() - edgeGrip)
            item->setCursor(Qt::SizeVerCursor);
        else
            item->setCursor(Qt::OpenHandCursor);
    } else if (kind == AbstractField::TableFieldType) {
        auto* table = static_cast<TableField*>(item->field());
        if (table->autoWidth()) {
            item->setCursor(Qt::OpenHandCursor);
        } else {
            const double dpm = table->page() ? table->page()->dotsPerMm() : item->scale();
            Qt::CursorShape shape = Qt::OpenHandCursor;
            for (const double boundary : table->columnEdges(topLeft.x(), m * dpm)) {
                if (boundary - edgeGrip <= p.x() && p.x() <= boundary + edgeGrip) {
                    shape = Qt::SizeHorCursor;
                    break;
                }
            }
            table->setPrepared(false);
            item->onTableFieldModified();
            item->setCursor(shape);
        }
    }
    // Nothing is drawn differently for a cursor; a table that was laid out
    // anew has asked for its own repaint.
    QGraphicsView::mouseMoveEvent(event);
}

void MyGraphicsView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const QPoint angle = event->angleDelta();
        const int delta = angle.y() != 0 ? angle.y() : angle.x();
        zoom(delta < 1 ? zoomOutStep : zoomInStep);
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void MyGraphicsView::dragEnterEvent(QDragEnterEvent* e)
{
    QGraphicsView::dragEnterEvent(e);
    // A token of an earlier drag must never reach a field through a drag
    // that carries none (from another program, say).
    m_dragText.clear();
    QByteArray encoded = e->mimeData()->data(QLatin1String(itemModelMime));
    if (!encoded.isEmpty()) {
        QDataStream stream(&encoded, QIODevice::ReadOnly);
        int row = 0;
        int column = 0;
        QMap<int, QVariant> roles;
        stream >> row >> column >> roles;
        if (stream.status() == QDataStream::Ok)
            m_dragText = roles.value(Qt::DisplayRole).toString();
    }
    e->accept();
}

void MyGraphicsView::dragLeaveEvent(QDragLeaveEvent* e)
{
    QGraphicsView::dragLeaveEvent(e);
}

void MyGraphicsView::dragMoveEvent(QDragMoveEvent* e)
{
    if (acceptsToken(fieldItemAt(e->posF())))
        e->accept();
    else
        e->ignore();
}

void MyGraphicsView::dropEvent(QDropEvent* event)
{
    FieldGraphicsItem* item = fieldItemAt(event->posF());
    // Checked again here: a drop is not bound to follow an accepted move.
    if (!acceptsToken(item))
        return;
    AbstractField* field = item->field();
    bool changed = false;
    if (field->type() == AbstractField::TextFieldType) {
        static_cast<TextField*>(field)->setText(m_dragText);
        changed = true;
    } else if (field->type() == AbstractField::TableFieldType) {
        auto* table = static_cast<TableField*>(field);
        const int columns = table->columnCount();
        if (table->autoWidth() || columns == 0)
            return;
        const double x = qRound(event->posF().x());
        const double m = transform().m11();
        const double dpm = table->page() ? table->page()->dotsPerMm() : item->scale();
        double left = mapFromScene(item->fieldSceneRect().topLeft()).x();
        const QVector<double> edges = table->columnEdges(left, m * dpm);
        for (int i = 0; i < columns; ++i) {
            const double right = edges.at(i);
            if (x > left && right > x) {
                QVector<QString> ids = table->columnIds();
                if (ids.size() < columns)
                    ids.resize(columns);
                ids[i] = m_dragText;
                table->setColumnIds(ids);
                table->setPrepared(false);
                changed = true;
                break;
            }
            left = right;
        }
    }
    if (!changed)
        return;
    event->acceptProposedAction();
    item->update();
    if (auto* designerScene = qobject_cast<MyGraphicsScene*>(scene()))
        emit designerScene->selectedFieldChanged(field);
    if (ReportWindow* window = ReportWindow::instance())
        window->setEdited();
}
