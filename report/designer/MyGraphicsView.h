#pragma once

#include <QGraphicsView>
#include <QPointF>
#include <QString>

class FieldGraphicsItem;

// Shows the designer scene: zooms within fixed limits, pans with the right
// button, sets resize and move cursors over the selected field, and drops
// variable and column tokens from the variable manager onto fields.
class MyGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit MyGraphicsView(QWidget* parent = nullptr);

    // Factors of one zoom step, for the wheel and the zoom actions alike.
    static constexpr double zoomInStep = 1.125;
    static constexpr double zoomOutStep = 0.8888888888888888;
    void zoom(double factor);
    // Centre of the visible area, scene units.
    QPointF visibleCenter() const;
    QString dragText() const { return m_dragText; }

public slots:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* event) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    FieldGraphicsItem* fieldItemAt(const QPointF& pos) const;
    bool acceptsToken(const FieldGraphicsItem* item) const;

    bool m_panning = false;
    double m_panOriginX = 0.0;
    double m_panOriginY = 0.0;
    QString m_dragText;
};
