#pragma once

#include <QVector>

// Walks the rows of a table through its areas: area 0 is the table's own
// rectangle, each further area begins where the previous one says. Layout
// and drawing both place rows through it, so the overflow found by the
// layout is exactly what drawing cuts off. All values are millimetres.
class TableAreaWalker
{
public:
    enum Placement {
        SameArea,   // the row goes below the previous one
        NextArea,   // the row starts the next area, at (breakX, breakY)
        Overflow    // the row does not fit and the table may not continue
    };

    // used: height already taken in area 0 (the header).
    TableAreaWalker(int splitsCount, const QVector<double>& maxSplitHeight,
                    const QVector<double>& splitX, const QVector<double>& splitY, double used);

    // Places one row. After Overflow nothing more should be placed.
    Placement place(double rowHeight);

    int area() const { return m_area; }
    double used() const { return m_used; }
    // Where the current area starts, after NextArea.
    double breakX() const { return m_breakX; }
    double breakY() const { return m_breakY; }

    static double at(const QVector<double>& values, int index)
    {
        return index >= 0 && index < values.size() ? values.at(index) : 0.0;
    }

private:
    int m_splitsCount;
    const QVector<double>& m_maxSplitHeight;
    const QVector<double>& m_splitX;
    const QVector<double>& m_splitY;
    int m_area = 0;
    double m_used;
    double m_breakX = 0.0;
    double m_breakY = 0.0;
};
