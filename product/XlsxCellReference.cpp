#include "product/XlsxCellReference.h"

namespace QXlsx {

CellReference::CellReference(int row, int column)
    : m_row(row)
    , m_column(column)
{
}

CellReference::CellReference(const char* cell)
    : CellReference(QString::fromLatin1(cell))
{
}

CellReference::CellReference(const QString& cell)
{
    int pos = 0;
    const int size = cell.size();
    if (pos < size && cell.at(pos) == QLatin1Char('$'))
        ++pos;
    int column = 0;
    const int lettersStart = pos;
    for (; pos < size && column <= maxColumns; ++pos) {
        const QChar c = cell.at(pos).toUpper();
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    if (pos == lettersStart || column > maxColumns)
        return;
    if (pos < size && cell.at(pos) == QLatin1Char('$'))
        ++pos;
    bool ok = false;
    const int row = cell.midRef(pos).toInt(&ok);
    if (!ok || pos == size || !cell.at(pos).isDigit())
        return;
    m_row = row;
    m_column = column;
}

bool CellReference::isValid() const
{
    return m_row >= 1 && m_row <= maxRows && m_column >= 1 && m_column <= maxColumns;
}

QString CellReference::toString() const
{
    if (!isValid())
        return QString();
    QString letters;
    for (int column = m_column; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar('A' + (column - 1) % 26));
    return letters + QString::number(m_row);
}

} // namespace QXlsx
