#include "product/XlsxDocument.h"

#include "engine/MessageLog.h"
#include "report/AtomicFileWriter.h"

#include <QFile>

#include <xlsxwriter.h>

namespace {

bool validRange(int first, int last, int limit)
{
    return first >= 1 && first <= last && last <= limit;
}

bool isNumber(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// "_x" followed by four hex digits and "_" at position i.
bool startsEscape(const QString& text, int i)
{
    if (i + 7 > text.size() || text.at(i) != QLatin1Char('_') || text.at(i + 1) != QLatin1Char('x')
        || text.at(i + 6) != QLatin1Char('_'))
        return false;
    for (int k = i + 2; k < i + 6; ++k) {
        if (!isHexDigit(text.at(k)))
            return false;
    }
    return true;
}

} // namespace

namespace QXlsx {

QString Document::escapedText(const QString& text)
{
    const auto escaped = [&text](int i) {
        const QChar c = text.at(i);
        const bool control = c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n');
        return control || startsEscape(text, i);
    };
    // Nearly every text has nothing to escape: it goes on as it is, uncopied.
    int first = 0;
    while (first < text.size() && !escaped(first))
        ++first;
    if (first == text.size())
        return text;

    QString result = text.left(first);
    result.reserve(text.size() + 16);
    for (int i = first; i < text.size(); ++i) {
        if (escaped(i))
            result += QStringLiteral("_x%1_").arg(
                QString::number(text.at(i).unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
        else
            result += text.at(i);
    }
    return result;
}

bool Document::fitsInCell(const QString& text)
{
    // Escaping makes one unit at most seven ("_x0001_"): a text that fits
    // even so needs no closer look.
    constexpr int escapedLength = 7;
    if (text.size() <= MaxTextLength / escapedLength)
        return true;
    // The writer counts characters of the text as stored, not UTF-16 units.
    return escapedText(text).toUcs4().size() <= MaxTextLength;
}

Document::Document()
{
    if (!m_dir.isValid()) {
        VLOG << "no temporary directory for a workbook" << m_dir.errorString();
        return;
    }
    m_tempFile = QFile::encodeName(m_dir.filePath(QStringLiteral("workbook.xlsx")));
    m_tempDir = QFile::encodeName(m_dir.path());
    lxw_workbook_options options = {};
    options.tmpdir = m_tempDir.data();
    m_workbook = workbook_new_opt(m_tempFile.constData(), &options);
    if (m_workbook) {
        m_sheet = workbook_add_worksheet(m_workbook, nullptr);
        // Without a format of its own a cell would take the column's format
        // the writer knows at save, whenever the cell was written.
        m_plainFormat = workbook_add_format(m_workbook);
    }
    if (!m_sheet)
        VLOG << "cannot start a workbook";
}

Document::~Document()
{
    // A document never saved is dropped without writing anything.
    if (m_workbook)
        lxw_workbook_free(m_workbook);
}

lxw_format* Document::workbookFormat(const Format& format)
{
    if (format.isEmpty() || !m_workbook)
        return nullptr;
    const QString key = format.key();
    auto it = m_formats.constFind(key);
    if (it != m_formats.constEnd())
        return it.value();

    lxw_format* made = workbook_add_format(m_workbook);
    if (!made)
        return nullptr;
    if (format.fontSize() > 0)
        format_set_font_size(made, format.fontSize());
    if (format.textWrap())
        format_set_text_wrap(made);
    switch (format.horizontalAlignment()) {
    case Format::AlignLeft:
        format_set_align(made, LXW_ALIGN_LEFT);
        break;
    case Format::AlignHCenter:
        format_set_align(made, LXW_ALIGN_CENTER);
        break;
    case Format::AlignRight:
        format_set_align(made, LXW_ALIGN_RIGHT);
        break;
    case Format::AlignHGeneral:
        break;
    }
    switch (format.verticalAlignment()) {
    case Format::AlignTop:
        format_set_align(made, LXW_ALIGN_VERTICAL_TOP);
        break;
    case Format::AlignVCenter:
        format_set_align(made, LXW_ALIGN_VERTICAL_CENTER);
        break;
    case Format::AlignBottom:
        break;
    }
    m_formats.insert(key, made);
    return made;
}

bool Document::write(const CellReference& cell, const QVariant& value, const Format& format)
{
    return write(cell.row(), cell.column(), value, format);
}

bool Document::write(int row, int column, const QVariant& value, const Format& format)
{
    if (!m_sheet || !CellReference(row, column).isValid())
        return false;
    lxw_format* cellFormat = nullptr;
    if (!format.isEmpty()) {
        cellFormat = workbookFormat(format);
    } else {
        const auto it = m_columns.constFind(column);
        cellFormat = it != m_columns.constEnd() && it->workbookFormat ? it->workbookFormat : m_plainFormat;
    }
    const lxw_row_t r = lxw_row_t(row - 1);
    const lxw_col_t c = lxw_col_t(column - 1);

    lxw_error error = LXW_NO_ERROR;
    if (value.isNull())
        error = worksheet_write_blank(m_sheet, r, c, cellFormat);
    else if (isNumber(value))
        error = worksheet_write_number(m_sheet, r, c, value.toDouble(), cellFormat);
    else
        error = worksheet_write_string(m_sheet, r, c, escapedText(value.toString()).toUtf8().constData(), cellFormat);
    if (error != LXW_NO_ERROR) {
        VLOG << "cannot write cell" << CellReference(row, column).toString() << lxw_strerror(error);
        m_incomplete = true;
        return false;
    }
    return true;
}

bool Document::setColumnWidth(int colFirst, int colLast, double width)
{
    if (!validRange(colFirst, colLast, CellReference::maxColumns) || width < 0)
        return false;
    for (int column = colFirst; column <= colLast; ++column)
        m_columns[column].width = width;
    return true;
}

bool Document::setColumnFormat(int colFirst, int colLast, const Format& format)
{
    if (!validRange(colFirst, colLast, CellReference::maxColumns))
        return false;
    lxw_format* made = workbookFormat(format);
    for (int column = colFirst; column <= colLast; ++column)
        m_columns[column].workbookFormat = made;
    return true;
}

bool Document::setRowHeight(int rowFirst, int rowLast, double height)
{
    if (!validRange(rowFirst, rowLast, CellReference::maxRows) || height < 0)
        return false;
    for (int row = rowFirst; row <= rowLast; ++row)
        m_rowHeights[row] = height;
    return true;
}

bool Document::applyLayout()
{
    for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it) {
        const double width = it->width >= 0 ? it->width : LXW_DEF_COL_WIDTH;
        const lxw_col_t c = lxw_col_t(it.key() - 1);
        if (worksheet_set_column(m_sheet, c, c, width, it->workbookFormat) != LXW_NO_ERROR)
            return false;
    }
    for (auto it = m_rowHeights.cbegin(); it != m_rowHeights.cend(); ++it) {
        if (worksheet_set_row(m_sheet, lxw_row_t(it.key() - 1), it.value(), nullptr) != LXW_NO_ERROR)
            return false;
    }
    return true;
}

bool Document::saveAs(const QString& name, const std::function<bool()>& stillWanted)
{
    if (!m_workbook || !m_sheet) {
        VLOG << "workbook not available to save" << name;
        return false;
    }
    if (m_incomplete) {
        VLOG << "workbook lacks cells that could not be written; not saved" << name;
        return false;
    }
    const bool laidOut = applyLayout();
    const lxw_error error = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    if (!laidOut || error != LXW_NO_ERROR) {
        VLOG << "cannot write workbook" << name << (laidOut ? lxw_strerror(error) : "layout");
        return false;
    }

    if (stillWanted && !stillWanted()) {
        VLOG << "workbook not wanted any more; not saved" << name;
        return false;
    }
    QFile written(QFile::decodeName(m_tempFile));
    if (!written.open(QIODevice::ReadOnly)) {
        VLOG << "cannot read workbook back" << written.errorString();
        return false;
    }
    return AtomicFileWriter::write(name, written.readAll());
}

} // namespace QXlsx
