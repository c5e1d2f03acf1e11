#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

class QObject;
class QStandardItemModel;
class QrField;
class ReportPage;
class TableField;
class TextField;

// Builds report pages for tests: fields placed in one call (all lengths in
// millimetres) and small table models.
class PageMaker
{
public:
    static TextField* text(ReportPage& page, const QRectF& box, const QString& text);
    static QrField* qr(ReportPage& page, const QRectF& box, const QString& text);
    // A table at (x, y) over the model bound as modelName, one column per
    // name with the token "$D{modelName.name}", empty headers and left alignment.
    static TableField* table(ReportPage& page, double x, double y, const QString& modelName,
                             const QStringList& columns, const QVector<double>& widths,
                             double headerHeight, double rowHeight);
    // A model with the column names and the rows (texts), or rows x columns
    // cells "r<row>c<column>" (counted from 0 and 1) when rows is a count.
    static QStandardItemModel* model(const QStringList& columns, const QList<QStringList>& rows,
                                     QObject* parent = nullptr);
    static QStandardItemModel* model(const QStringList& columns, int rows, QObject* parent = nullptr);
};
