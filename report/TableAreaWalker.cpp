#include "report/TableAreaWalker.h"

namespace {
const double epsilon = 0.000001;
}

TableAreaWalker::TableAreaWalker(int splitsCount, const QVector<double>& maxSplitHeight,
                                 const QVector<double>& splitX, const QVector<double>& splitY,
                                 double used)
    : m_splitsCount(splitsCount)
    , m_maxSplitHeight(maxSplitHeight)
    , m_splitX(splitX)
    , m_splitY(splitY)
    , m_used(used)
{
}

TableAreaWalker::Placement TableAreaWalker::place(double rowHeight)
{
    Placement placement = SameArea;
    const double bound = at(m_maxSplitHeight, m_area);
    if (m_area < m_splitsCount && bound > epsilon && bound <= m_used + rowHeight) {
        const double nextX = at(m_splitX, m_area);
        const double nextY = at(m_splitY, m_area);
        if (nextX < epsilon && nextY < epsilon)
            return Overflow;
        m_breakX = nextX;
        m_breakY = nextY;
        ++m_area;
        m_used = 0.0;
        placement = NextArea;
    }
    m_used += rowHeight;
    return placement;
}
