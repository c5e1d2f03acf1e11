#pragma once

#include "report/ReportPage.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

class QStandardItemModel;
class TableField;

// Builds report pages for tests: fields placed in one call (all lengths in
// millimetres) and small table models.
class PageMaker
{
public:
    // A text or QR field over the box.
    template <typename T>
    static T* field(ReportPage& page, const QRectF& box, const QString& text)
    {
        auto* field = new T;
        field->setX(box.x());
        field->setY(box.y());
        field->setWidth(box.width());
        field->setHeight(box.height());
        field->setText(text);
        page.addField(field);
        return field;
    }
    // A table at (x, y) over the model bound as modelName, one column per
    // name with the token "$D{modelName.name}", empty headers and left alignment.
    static TableField* table(ReportPage& page, double x, double y, const QString& modelName,
                             const QStringList& columns, const QVector<double>& widths,
                             double headerHeight, double rowHeight);
    static QStandardItemModel* model(const QStringList& columns, const QList<QStringList>& rows,
                                     QObject* parent = nullptr);
};
