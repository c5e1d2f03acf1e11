#include "report/designer/MyGraphicsScene.h"

#include "report/AbstractField.h"
#include "report/designer/FieldGraphicsItem.h"

#include <QBrush>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QPaintDevice>
#include <QPixmap>
#include <QPixmapCache>
#include <QPrinter>

namespace {
const int pixmapCacheKb = 64 * 1024;
}

MyGraphicsScene::MyGraphicsScene(ReportPage* page, QObject* parent) : QGraphicsScene(parent)
{
    // A template may hold hundreds of fields: finding the one under the
    // pointer and the ones to repaint goes through the index, not a walk
    // over all of them (a table announces each change of its extent).
    setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    // Every field keeps its drawing as a pixmap in the application's pixmap
    // cache; past the cache's limit the drawings push each other out and are
    // drawn afresh on every repaint. Room for a template of many fields.
    if (QPixmapCache::cacheLimit() < pixmapCacheKb)
        QPixmapCache::setCacheLimit(pixmapCacheKb);
    connect(this, &QGraphicsScene::selectionChanged, this, &MyGraphicsScene::onSelectionChanged);
    setReportPage(page);
}

MyGraphicsScene::~MyGraphicsScene()
{
    // The base class deletes the items, which would report selection
    // changes about items already gone.
    blockSignals(true);
    m_items.clear();
    m_selectedItem = nullptr;
}

ReportPage* MyGraphicsScene::reportPage() const
{
    return m_page;
}

QRectF MyGraphicsScene::pageRect() const
{
    if (!m_page)
        return QRectF();
    const QPrinter* printer = m_page->printer();
    const QRect r = printer->pageLayout().paintRectPixels(printer->resolution());
    return QRectF(r.left(), r.top(), r.right() - r.left() + 1, r.bottom() - r.top() + 1);
}

void MyGraphicsScene::updateSheets()
{
    const int n = qMax(1, m_page ? m_page->pagesCount() : 1);
    const QRectF r = pageRect();
    while (m_sheets.size() > n) {
        QGraphicsRectItem* sheet = m_sheets.takeLast();
        if (m_background2 && m_background2->parentItem() == sheet)
            m_background2 = nullptr;
        if (m_background && m_background->parentItem() == sheet)
            m_background = nullptr;
        removeItem(sheet);
        delete sheet;
        update();
    }
    while (m_sheets.size() < n) {
        auto* sheet = new QGraphicsRectItem;
        sheet->setBrush(QBrush(Qt::white));
        m_sheets.append(sheet);
        addItem(sheet);
    }
    for (int i = 0; i < m_sheets.size(); ++i) {
        m_sheets[i]->setRect(r);
        m_sheets[i]->setPos(0, i * r.height());
    }
    setSceneRect(r.left(), r.top(), r.width(), r.height() * n);
}

void MyGraphicsScene::setReportPage(ReportPage* page)
{
    if (m_page)
        disconnect(m_page, nullptr, this, nullptr);
    m_page = page;
    // Items keep their drawing cached: new sample data has to reach them.
    if (m_page)
        connect(m_page, &ReportPage::dataUpdated, this, &MyGraphicsScene::updateAllItems);
    updateSheets();
    delete m_background;
    m_background = new QGraphicsPixmapItem(m_sheets.first());
    delete m_background2;
    m_background2 = nullptr;
    if (m_sheets.size() > 1)
        m_background2 = new QGraphicsPixmapItem(m_sheets.at(1));
    setBackgroundBrush(QBrush(Qt::transparent));
    if (m_page) {
        const QPixmap first = m_page->backgroundImage();
        const QPixmap second = m_page->backgroundImage2();
        setBackgroundImage(&first);
        setBackgroundImage2(&second);
    }
    // Items of an earlier page would show fields this scene no longer edits.
    m_selectedItem = nullptr;
    const QList<FieldGraphicsItem*> old = m_items;
    m_items.clear();
    qDeleteAll(old);
    if (m_page) {
        const QList<AbstractField*> fields = m_page->fields();
        for (AbstractField* field : fields) {
            addField(field);
            field->prepare();
        }
    }
    update();
}

FieldGraphicsItem* MyGraphicsScene::addField(AbstractField* field)
{
    auto* item = new FieldGraphicsItem(field);
    addItem(item);
    m_items.append(item);
    update();
    return item;
}

void MyGraphicsScene::removeFieldItem(FieldGraphicsItem* item)
{
    if (!item || !m_items.contains(item))
        return;
    m_items.removeAll(item);
    if (m_selectedItem == item)
        m_selectedItem = nullptr;
    removeItem(item);
    delete item;
    // Removing a selected item may not report an empty selection when
    // another item is still selected; make sure the dock lets go.
    if (!m_selectedItem)
        emit selectedFieldChanged(nullptr);
}

bool MyGraphicsScene::applyBackground(const QPixmap* pixmap, QGraphicsRectItem* sheet, QGraphicsPixmapItem* item)
{
    if (!pixmap || pixmap->isNull() || !sheet || !item)
        return false;
    if (pixmap->widthMM() <= 9 || pixmap->heightMM() <= 9)
        return false;
    const QRectF r = sheet->rect();
    item->setPixmap(pixmap->scaled(int(r.width()), int(r.height()), Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation));
    item->setOpacity(0.5);
    return true;
}

void MyGraphicsScene::setBackgroundImage(const QPixmap* pixmap)
{
    if (m_sheets.isEmpty())
        return;
    applyBackground(pixmap, m_sheets.first(), m_background);
}

void MyGraphicsScene::setBackgroundImage2(const QPixmap* pixmap)
{
    if (m_sheets.size() < 2 || !m_background2)
        return;
    applyBackground(pixmap, m_sheets.at(1), m_background2);
}

void MyGraphicsScene::onFieldsUpdated()
{
    if (m_selectedItem)
        m_selectedItem->onFieldUpdated();
}

void MyGraphicsScene::onPageUpdated()
{
    if (!m_page)
        return;
    setSceneRect(pageRect());
    const QPixmap first = m_page->backgroundImage();
    const QPixmap second = m_page->backgroundImage2();
    setBackgroundImage(&first);
    setBackgroundImage2(&second);
    for (FieldGraphicsItem* item : qAsConst(m_items)) {
        if (item->field() && item->field()->font() == QFont())
            item->onFieldUpdated();
    }
    updateSheets();
    if (!m_background2 && m_sheets.size() >= 2) {
        m_background2 = new QGraphicsPixmapItem(m_sheets.at(1));
        m_background2->setPos(m_sheets.at(1)->rect().topLeft());
    }
    // A second background deleted with its sheet is already forgotten.
}

void MyGraphicsScene::onMoveField(Qt::ArrowType arrow)
{
    if (!m_selectedItem || !m_selectedItem->field())
        return;
    AbstractField* field = m_selectedItem->field();
    switch (arrow) {
    case Qt::UpArrow:
        field->setY(field->y() - 1.0);
        break;
    case Qt::DownArrow:
        field->setY(field->y() + 1.0);
        break;
    case Qt::LeftArrow:
        field->setX(field->x() - 1.0);
        break;
    case Qt::RightArrow:
        field->setX(field->x() + 1.0);
        break;
    default:
        break;
    }
    emit selectedFieldChanged(field);
    onFieldsUpdated();
}

void MyGraphicsScene::updateAllItems()
{
    for (FieldGraphicsItem* item : qAsConst(m_items))
        item->onFieldUpdated();
}

void MyGraphicsScene::onSelectionChanged()
{
    const QList<QGraphicsItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        m_selectedItem = nullptr;
        emit selectedFieldChanged(nullptr);
        return;
    }
    auto* item = dynamic_cast<FieldGraphicsItem*>(selected.last());
    if (item && m_items.contains(item)) {
        m_selectedItem = item;
        emit selectedFieldChanged(item->field());
    }
}
