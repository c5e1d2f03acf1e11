#pragma once

#include "report/ReportPage.h"
#include "report/AbstractField.h"

#include <QGraphicsRectItem>
#include <QObject>
#include <QPointer>
#include <QPointF>
#include <QRectF>



// The designer's stand for one field: drawn as it prints, selected by a
// click, moved by dragging, text and QR fields resized by their edges and
// table columns by their right boundaries. The rectangle is the field's
// millimetre geometry times the page's dots per millimetre, so item and
// scene coordinates are the same.
class FieldGraphicsItem : public QObject, public QGraphicsRectItem
{
    Q_OBJECT

public:
    enum ResizeEdge { NoEdge = 0, LeftEdge = 1, RightEdge = 2, TopEdge = 16, BottomEdge = 32 };

    explicit FieldGraphicsItem(AbstractField* field, QGraphicsItem* parent = nullptr);
    ~FieldGraphicsItem() override;

    AbstractField* field() const;
    // 1 text, 2 table, 3 QR; 0 without a field.
    int fieldType() const;
    // Keeps a moved top-left corner on the scene.
    QPointF boundToScene(double x, double y) const;
    double scale() const { return m_scale; }

    // A table also draws its continuation areas, outside its own rectangle:
    // its bounds are those of its areas, never more (the item keeps its
    // drawing in a cache of that size, and its selection frame goes round it).
    QRectF boundingRect() const override;
    // The rectangle with its outline: where a click meets the field (a
    // table's further areas take no clicks).
    QPainterPath shape() const override;
    // Tested against that rectangle directly, with no path built per test.
    bool collidesWithPath(const QPainterPath& path, Qt::ItemSelectionMode mode) const override;
    // The field's own rectangle in scene coordinates.
    QRectF fieldSceneRect() const;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    void onFieldUpdated();
    void onTableFieldModified();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    // The rectangle with half the pen all round, in item coordinates.
    QRectF outlineRect() const;
    // Where the field draws, in scene units: for a table the union of its areas.
    QRectF drawnExtent() const;

    QPointer<AbstractField> m_field;
    QRectF m_extent;
    int m_resizeEdge = NoEdge;
    QRectF m_pressRect;
    QPointF m_pressScenePos;
    bool m_moved = false;
    int m_resizeColumn = -1;
    double m_resizeColumnWidth = 0.0;
    double m_scale = 1.0;
};
