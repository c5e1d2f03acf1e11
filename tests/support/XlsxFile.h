#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Reads back a workbook the program wrote: its parts through unzip, the
// first sheet's cells with the shared strings resolved.
class XlsxFile
{
public:
    // One part of the package ("xl/worksheets/sheet1.xml"), or an empty array.
    static QByteArray part(const QString& file, const QString& name);
    // Cell name ("B2") to its text; cells without a value are left out.
    static QMap<QString, QString> cells(const QString& file);
    // Column records of the first sheet as "min-max:width", in file order.
    static QStringList columns(const QString& file);
    // The height of a row (counted from 1), or -1 when it has none of its own.
    static double rowHeight(const QString& file, int row);
    // Rows of the first sheet that hold a cell.
    static int rowCount(const QString& file);
};
