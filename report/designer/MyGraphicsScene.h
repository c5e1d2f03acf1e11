#pragma once

#include "report/ReportPage.h"

#include <QGraphicsScene>
#include <QList>
#include <QPointer>
#include <QVector>

class AbstractField;
class FieldGraphicsItem;
class QGraphicsPixmapItem;
class QGraphicsRectItem;
class QPixmap;


// The sheets of one page stacked one under the other, the background images
// at half opacity over the first two, and one item per field. Measured in
// the page printer's device dots.
class MyGraphicsScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit MyGraphicsScene(ReportPage* page, QObject* parent = nullptr);
    ~MyGraphicsScene() override;

    void setReportPage(ReportPage* page);
    FieldGraphicsItem* addField(AbstractField* field);
    // Takes the item out of the scene and the item list and frees it.
    void removeFieldItem(FieldGraphicsItem* item);
    void setBackgroundImage(const QPixmap* pixmap);
    void setBackgroundImage2(const QPixmap* pixmap);

    ReportPage* reportPage() const;
    FieldGraphicsItem* selectedItem() const { return m_selectedItem; }
    const QList<FieldGraphicsItem*>& fieldItems() const { return m_items; }
    const QVector<QGraphicsRectItem*>& sheets() const { return m_sheets; }
    QGraphicsPixmapItem* background() const { return m_background; }
    QGraphicsPixmapItem* background2() const { return m_background2; }

signals:
    void selectedFieldChanged(AbstractField* field);

public slots:
    void onFieldsUpdated();
    void onPageUpdated();
    void onMoveField(Qt::ArrowType arrow);
    void updateAllItems();
    void onSelectionChanged();

private:
    void updateSheets();
    QRectF pageRect() const;
    bool applyBackground(const QPixmap* pixmap, QGraphicsRectItem* sheet, QGraphicsPixmapItem* item);

    QList<FieldGraphicsItem*> m_items;
    QPointer<ReportPage> m_page;
    FieldGraphicsItem* m_selectedItem = nullptr;
    QVector<QGraphicsRectItem*> m_sheets;
    QGraphicsPixmapItem* m_background = nullptr;
    QGraphicsPixmapItem* m_background2 = nullptr;
};
