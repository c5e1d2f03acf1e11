#include "report/designer/FieldGraphicsItem.h"

#include "report/TableAreaWalker.h"
#include "report/TableField.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/ReportWindow.h"

#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPen>
#include <QTimer>

#include <cmath>

namespace {
const double edgeGrip = 5.0;

bool sameRect(const QRectF& a, const QRectF& b)
{
    return qFuzzyCompare(a.left(), b.left()) && qFuzzyCompare(a.top(), b.top())
        && qFuzzyCompare(a.width(), b.width()) && qFuzzyCompare(a.height(), b.height());
}

bool sameLength(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}

void markEdited()
{
    if (ReportWindow* window = ReportWindow::instance())
        window->setEdited();
}

const QColor selectedTint(255, 0, 0, 10);

// Where a table draws, in millimetres: its rectangle, its rows as they run
// through its areas, and every bounded area (its end-of-field stroke fills
// the empty ones), each as wide as the table.
QRectF tableExtent(const TableField* table)
{
    const double width = table->width();
    QRectF extent = QRectF(table->x(), table->y(), width, table->height()).normalized();
    TableAreaWalker walker(table->splitsCount(), table->maxSplitHeight(), table->splitX(), table->splitY(),
                           table->headerHeightUsed());
    QRectF area(table->x(), table->y(), width, table->headerHeightUsed());
    const QVector<double>& heights = table->rowHeights();
    const int rows = qMin(table->rowCount(), heights.size());
    for (int i = 0; i < rows; ++i) {
        const TableAreaWalker::Placement placement = walker.place(heights.at(i));
        if (placement == TableAreaWalker::Overflow)
            break;
        if (placement == TableAreaWalker::NextArea) {
            extent |= area.normalized();
            area = QRectF(walker.breakX(), walker.breakY(), width, 0.0);
        }
        area.setHeight(area.height() + heights.at(i));
    }
    extent |= area.normalized();
    const int areas = qMin(table->splitsCount(), table->maxSplitHeight().size());
    for (int k = 0; k < areas; ++k) {
        const QPointF origin = k == 0 ? QPointF(table->x(), table->y())
                                      : QPointF(table->splitXAt(k - 1), table->splitYAt(k - 1));
        extent |= QRectF(origin, QSizeF(width, qMax(0.0, table->maxSplitHeightAt(k)))).normalized();
    }
    return extent;
}
} // namespace

FieldGraphicsItem::FieldGraphicsItem(AbstractField* field, QGraphicsItem* parent)
    : QObject(nullptr), QGraphicsRectItem(parent), m_field(field)
{
    setPen(QPen(Qt::black));
    setBrush(QBrush(Qt::transparent));
    setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemClipsChildrenToShape
             | QGraphicsItem::ItemSendsGeometryChanges);
    if (field && field->page())
        m_scale = field->page()->dotsPerMm();
    if (field)
        connect(field, &AbstractField::fieldChanged, this, &FieldGraphicsItem::onFieldUpdated);
    // A field's drawing (a table of many rows) costs far more than showing
    // it again; repaints of the view and moves of other fields blit it.
    setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    onFieldUpdated();
}

FieldGraphicsItem::~FieldGraphicsItem() = default;

AbstractField* FieldGraphicsItem::field() const
{
    return m_field;
}

int FieldGraphicsItem::fieldType() const
{
    return m_field ? m_field->type() : 0;
}

QPointF FieldGraphicsItem::boundToScene(double x, double y) const
{
    x = qMax(x, 0.0);
    y = qMax(y, 0.0);
    if (const QGraphicsScene* s = scene()) {
        const QRectF area = s->sceneRect();
        x = qMin(x, area.left() + area.width() - 5);
        y = qMin(y, area.top() + area.height() - 5);
    }
    return QPointF(x, y);
}

QRectF FieldGraphicsItem::boundingRect() const
{
    const QRectF bounds = QGraphicsRectItem::boundingRect();
    if (fieldType() != AbstractField::TableFieldType)
        return bounds;
    return bounds.united(m_extent);
}

QRectF FieldGraphicsItem::outlineRect() const
{
    const double half = pen().widthF() / 2.0;
    return rect().normalized().adjusted(-half, -half, half, half);
}

QPainterPath FieldGraphicsItem::shape() const
{
    // Half a pen wider all round, as the stroked outline is, without
    // stroking it: the fields under the pointer are looked for on every
    // mouse event, among however many lie on top of each other there.
    QPainterPath path;
    path.addRect(outlineRect());
    return path;
}

bool FieldGraphicsItem::collidesWithPath(const QPainterPath& path, Qt::ItemSelectionMode mode) const
{
    if (path.isEmpty())
        return false;
    const bool byShape = mode == Qt::IntersectsItemShape || mode == Qt::ContainsItemShape;
    const QRectF own = byShape ? outlineRect() : boundingRect();
    const bool intersects = mode == Qt::IntersectsItemShape || mode == Qt::IntersectsItemBoundingRect;
    return intersects ? path.intersects(own) : path.contains(own);
}

QRectF FieldGraphicsItem::drawnExtent() const
{
    if (fieldType() != AbstractField::TableFieldType)
        return QRectF();
    const QRectF mm = tableExtent(static_cast<const TableField*>(m_field.data()));
    // The cell frames' pen reaches half a dot beyond.
    const QRectF extent = QRectF(mm.x() * m_scale, mm.y() * m_scale, mm.width() * m_scale, mm.height() * m_scale)
                              .adjusted(-1.0, -1.0, 1.0, 1.0);
    // A damaged file's numbers give no extent worth showing (and would never
    // compare equal to the one kept).
    const bool finite = qIsFinite(extent.left()) && qIsFinite(extent.top()) && qIsFinite(extent.right())
        && qIsFinite(extent.bottom());
    return finite ? extent : QRectF();
}

QRectF FieldGraphicsItem::fieldSceneRect() const
{
    return mapRectToScene(rect());
}

QVariant FieldGraphicsItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    // The tint follows the selection at once; the item's drawing is cached,
    // so a brush set while painting would show only on a later repaint, of
    // whichever item came next.
    if (change == ItemSelectedHasChanged)
        setBrush(QBrush(value.toBool() ? selectedTint : QColor(Qt::transparent)));
    return QGraphicsRectItem::itemChange(change, value);
}

void FieldGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    // The tint lies under the field's content.
    QGraphicsRectItem::paint(painter, option, widget);
    if (!m_field)
        return;
    const int kind = fieldType();
    if (kind == AbstractField::TableFieldType) {
        m_field->draw(painter, m_scale, 0.0);
        // Drawing may lay the table out anew, and its areas with it.
        if (drawnExtent() != m_extent)
            QTimer::singleShot(0, this, &FieldGraphicsItem::onFieldUpdated);
        return;
    }
    // While a drag is under way the field still has its old place; its
    // content goes where the rectangle is now.
    painter->save();
    painter->translate(rect().topLeft() - QPointF(m_field->x() * m_scale, m_field->y() * m_scale));
    m_field->draw(painter, m_scale, 0.0);
    painter->restore();
}

void FieldGraphicsItem::onFieldUpdated()
{
    if (!m_field)
        return;
    // The drawn extent of a table may change while its rectangle does not.
    prepareGeometryChange();
    m_extent = drawnExtent();
    setRect(m_field->x() * m_scale, m_field->y() * m_scale, m_field->width() * m_scale,
            m_field->height() * m_scale);
    update();
}

void FieldGraphicsItem::onTableFieldModified()
{
    onFieldUpdated();
    markEdited();
}

void FieldGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    m_moved = false;
    const QPointF p = event->pos();
    const QRectF bounds = fieldSceneRect();
    const QPointF topLeft = mapFromScene(bounds.topLeft());
    const QPointF bottomRight = mapFromScene(bounds.bottomRight());
    const int kind = fieldType();

    if (kind == AbstractField::TextFieldType || kind == AbstractField::QrFieldType) {
        if (p.x() <= topLeft.x() + edgeGrip)
            m_resizeEdge = LeftEdge;
        else if (p.x() >= bottomRight.x() - edgeGrip)
            m_resizeEdge = RightEdge;
        else if (p.y() <= topLeft.y() + edgeGrip)
            m_resizeEdge = TopEdge;
        else if (p.y() >= bottomRight.y() - edgeGrip)
            m_resizeEdge = BottomEdge;
        else
            m_resizeEdge = NoEdge;
    } else if (kind == AbstractField::TableFieldType) {
        m_resizeColumn = -1;
        m_resizeEdge = NoEdge;
        const auto* table = static_cast<TableField*>(m_field.data());
        if (!table->autoWidth() && table->columnCount() > 0) {
            const double dpm = table->page() ? table->page()->dotsPerMm() : m_scale;
            const QVector<double> edges = table->columnEdges(topLeft.x(), dpm);
            for (int i = 0; i < edges.size(); ++i) {
                if (edges.at(i) - edgeGrip <= p.x() && p.x() <= edges.at(i) + edgeGrip) {
                    m_resizeColumn = i;
                    m_resizeColumnWidth = table->columnWidthAt(i);
                    break;
                }
            }
        }
    }
    m_pressRect = mapRectToScene(rect());
    m_pressScenePos = event->scenePos();
}

void FieldGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (!isSelected() || !m_field)
        return;
    const QPointF q = event->scenePos();
    QRectF r = m_pressRect;
    const QRectF area = scene() ? scene()->sceneRect() : QRectF();
    const int kind = fieldType();

    auto moveTo = [&]() {
        const QPointF topLeft = boundToScene(r.left() + q.x() - m_pressScenePos.x(),
                                             r.top() + q.y() - m_pressScenePos.y());
        r.moveTopLeft(topLeft);
    };

    if (kind == AbstractField::TextFieldType || kind == AbstractField::QrFieldType) {
        const bool square = kind == AbstractField::QrFieldType;
        switch (m_resizeEdge) {
        case RightEdge: {
            int w = int(m_pressRect.width() - m_pressScenePos.x() + q.x());
            if (w < 5)
                w = 5;
            if (area.width() - r.left() < w)
                w = int(area.width() - r.left());
            r.setWidth(w);
            if (square)
                r.setHeight(w);
            break;
        }
        case LeftEdge: {
            int n = int(m_pressRect.left() - m_pressScenePos.x() + q.x());
            n = qMin(n, int(m_pressRect.left() + m_pressRect.width() - 5.0));
            n = qMax(n, 0);
            const double d = n - r.left();
            const double w = r.width() - d;
            r.setLeft(n);
            r.setWidth(w);
            if (square)
                r.setHeight(w);
            break;
        }
        case TopEdge: {
            int n = int(m_pressRect.top() - m_pressScenePos.y() + q.y());
            n = qMin(n, int(m_pressRect.top() + m_pressRect.height() - 5.0));
            n = qMax(n, 0);
            const double d = n - r.top();
            const double h = r.height() - d;
            r.setTop(n);
            r.setHeight(h);
            if (square)
                r.setWidth(h);
            break;
        }
        case BottomEdge: {
            int h = int(m_pressRect.height() - m_pressScenePos.y() + q.y());
            if (h < 5)
                h = 5;
            if (area.height() - r.top() < h)
                h = int(area.height() - r.top());
            r.setHeight(h);
            if (square)
                r.setWidth(h);
            break;
        }
        default:
            moveTo();
            break;
        }
        // The item repaints where it was and where it is; the rest of the
        // scene is left alone, so a drag costs the same among many fields.
        setRect(mapRectFromScene(r));
        m_moved = !sameRect(r, m_pressRect);
        return;
    }

    if (kind == AbstractField::TableFieldType && m_resizeColumn >= 0) {
        auto* table = static_cast<TableField*>(m_field.data());
        const double dpm = table->page() ? table->page()->dotsPerMm() : m_scale;
        double width = m_resizeColumnWidth - (m_pressScenePos.x() - q.x()) / dpm;
        if (width < 1.0)
            width = 1.0;
        QVector<double> widths = table->columnsWidth();
        if (widths.size() <= m_resizeColumn)
            widths.resize(qMax(int(table->columnCount()), m_resizeColumn + 1));
        widths[m_resizeColumn] = width;
        table->setColumnsWidth(widths);
        table->setPrepared(false);
        onFieldUpdated();
        return;
    }

    moveTo();
    setRect(mapRectFromScene(r));
    m_moved = true;
}

void FieldGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent*)
{
    bool changed = false;
    if (m_field && (m_resizeEdge != NoEdge || m_moved)) {
        const QRectF r = rect();
        const double x = r.left() / m_scale;
        const double y = r.top() / m_scale;
        const double w = r.width() / m_scale;
        const double h = r.height() / m_scale;
        // A press on an edge without a move writes the geometry back unchanged.
        changed = !sameLength(x, m_field->x()) || !sameLength(y, m_field->y())
            || !sameLength(w, m_field->width()) || !sameLength(h, m_field->height());
        m_field->setWidth(w);
        m_field->setHeight(h);
        m_field->setX(x);
        m_field->setY(y);
        // The cached drawing was made while the field had its old place.
        onFieldUpdated();
    } else if (scene()) {
        scene()->clearSelection();
        setSelected(true);
        setCursor(Qt::OpenHandCursor);
    }
    if (m_resizeColumn >= 0 && m_field && m_field->type() == AbstractField::TableFieldType) {
        const auto* table = static_cast<TableField*>(m_field.data());
        changed = changed || !sameLength(table->columnWidthAt(m_resizeColumn), m_resizeColumnWidth);
    }
    m_resizeColumn = -1;
    m_moved = false;
    m_resizeEdge = NoEdge;
    if (auto* designerScene = qobject_cast<MyGraphicsScene*>(scene()))
        emit designerScene->selectedFieldChanged(m_field);
    setCursor(Qt::ArrowCursor);
    update();
    if (changed)
        markEdited();
}

void FieldGraphicsItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent*)
{
    if (fieldType() != AbstractField::TableFieldType)
        return;
    auto* dialog = new EditTableFieldDialog(nullptr);
    dialog->setTableField(static_cast<TableField*>(m_field.data()));
    connect(dialog, &EditTableFieldDialog::tableFieldModified, this, &FieldGraphicsItem::onTableFieldModified);
    dialog->show();
}
