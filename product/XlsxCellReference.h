#pragma once

#include <QString>

namespace QXlsx {

// A cell of a sheet by row and column, counted from 1, or by its name ("B2",
// "$B$2").
class CellReference
{
public:
    // The sheet limits of the file format.
    static constexpr int maxRows = 1048576;
    static constexpr int maxColumns = 16384;

    CellReference() = default;
    CellReference(int row, int column);
    CellReference(const QString& cell);
    CellReference(const char* cell);

    int row() const { return m_row; }
    int column() const { return m_column; }
    bool isValid() const;
    QString toString() const;

private:
    int m_row = -1;
    int m_column = -1;
};

} // namespace QXlsx
