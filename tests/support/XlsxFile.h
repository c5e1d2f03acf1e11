#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Reads back a workbook the program wrote, through unzip.
class XlsxFile
{
public:
    // One part of the package ("xl/worksheets/sheet1.xml"), or an empty array.
    static QByteArray part(const QString& file, const QString& name);
    // The first sheet's cells that hold a value: name ("B2") to text, with
    // the shared strings resolved and read as a spreadsheet reads them.
    static QMap<QString, QString> cells(const QString& file);
    // "_xHHHH_" read as the character it stands for.
    static QString unescaped(const QString& stored);
};
