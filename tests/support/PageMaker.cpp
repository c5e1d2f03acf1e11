#include "PageMaker.h"

#include "report/TableField.h"

#include <QStandardItemModel>

TableField* PageMaker::table(ReportPage& page, double x, double y, const QString& modelName,
                             const QStringList& columns, const QVector<double>& widths,
                             double headerHeight, double rowHeight)
{
    auto* table = new TableField;
    table->setX(x);
    table->setY(y);
    table->setColumnCount(columns.size());
    table->setColumnsWidth(widths);
    table->setHeaderNames(QVector<QString>(columns.size()));
    table->setColumnsAlign(QVector<quint8>(columns.size(), 0));
    QVector<QString> ids;
    for (const QString& column : columns)
        ids.append(QStringLiteral("$D{%1.%2}").arg(modelName, column));
    table->setColumnIds(ids);
    table->setHeaderHeight(headerHeight);
    table->setRowHeight(rowHeight);
    page.addField(table);
    table->setModelName(modelName);
    return table;
}

QStandardItemModel* PageMaker::model(const QStringList& columns, const QList<QStringList>& rows, QObject* parent)
{
    auto* model = new QStandardItemModel(rows.size(), columns.size(), parent);
    model->setHorizontalHeaderLabels(columns);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size() && c < columns.size(); ++c)
            model->setItem(r, c, new QStandardItem(rows.at(r).at(c)));
    }
    return model;
}
