#pragma once

#include "product/XlsxCellReference.h"
#include "product/XlsxFormat.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace QXlsx {

// A workbook of one sheet, written through libxlsxwriter. Rows and columns
// count from 1. Cells go into the sheet as they are written; column widths,
// column formats and row heights are kept here and written at save, one
// record per column, so that a width and a format of the same column never
// become two overlapping column records.
class Document
{
public:
    // The most characters a spreadsheet keeps in one cell.
    static constexpr int MaxTextLength = 32767;

    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // A cell written with an empty format takes its column's format as it is
    // at this moment, or the sheet's default look when the column has none:
    // a spreadsheet program shows a written cell in its own format only, so
    // set a column's format before writing the cells that should have it.
    // Numbers are written as numbers, anything else as text.
    bool write(const CellReference& cell, const QVariant& value, const Format& format = Format());
    bool write(int row, int column, const QVariant& value, const Format& format = Format());

    // A text as the file holds it, so that a spreadsheet reads back exactly
    // this text: characters XML cannot carry (NUL and the other control
    // characters) become "_xHHHH_", and a "_xHHHH_" already in the text has
    // its underscore written as "_x005F_" so that it is not read as one.
    static QString escapedText(const QString& text);
    // False for a text too long for one cell, as the file holds it.
    static bool fitsInCell(const QString& text);

    bool setColumnWidth(int colFirst, int colLast, double width);
    bool setColumnFormat(int colFirst, int colLast, const Format& format);
    bool setRowHeight(int rowFirst, int rowLast, double height);

    // Writes the workbook to name, replacing it only when the whole file was
    // written. A document that lost a cell (a text beyond the format's limit)
    // is not saved. A document can be saved once. When given, stillWanted is
    // asked once the workbook is packed, just before it goes to name; false
    // leaves name as it was.
    bool saveAs(const QString& name, const std::function<bool()>& stillWanted = {});

private:
    struct Column
    {
        double width = -1.0; // unset: the sheet's default width
        lxw_format* workbookFormat = nullptr; // made once, for every cell of the column
    };

    lxw_format* workbookFormat(const Format& format);
    bool applyLayout();

    QTemporaryDir m_dir;
    QByteArray m_tempFile;
    QByteArray m_tempDir;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_plainFormat = nullptr; // the sheet's default look, for columns without a format
    QHash<QString, lxw_format*> m_formats;
    QMap<int, Column> m_columns;
    QMap<int, double> m_rowHeights;
    bool m_incomplete = false;
};

} // namespace QXlsx
