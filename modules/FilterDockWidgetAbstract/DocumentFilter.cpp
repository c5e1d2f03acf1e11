#include "modules/FilterDockWidgetAbstract/DocumentFilter.h"

DocumentFilter::DocumentFilter(const FilterList& filterList)
{
    // Later pairs override earlier ones.
    for (const auto& pair : filterList) {
        if (pair.first == QLatin1String("fio"))
            m_fio = pair.second.toString().trimmed();
        else if (pair.first == QLatin1String("prof"))
            m_prof = pair.second.toString().trimmed();
        else if (pair.first == QLatin1String("dateFrom"))
            m_dateFrom = pair.second.toDate();
        else if (pair.first == QLatin1String("dateTo"))
            m_dateTo = pair.second.toDate();
    }
}

bool DocumentFilter::isActive() const
{
    return !m_fio.isEmpty() || !m_prof.isEmpty() || (m_dateFrom.isValid() && m_dateTo.isValid());
}

bool DocumentFilter::matches(const QString& fio, const QDate& issueDate, const QString& profession) const
{
    if (!m_fio.isEmpty() && !fio.contains(m_fio, Qt::CaseInsensitive))
        return false;
    if (!m_prof.isEmpty() && !profession.contains(m_prof, Qt::CaseInsensitive))
        return false;
    if (m_dateFrom.isValid() && m_dateTo.isValid())
        return issueDate.isValid() && issueDate >= m_dateFrom && issueDate <= m_dateTo;
    return true;
}
