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
    m_fioFolded = folded(m_fio);
    m_profFolded = folded(m_prof);
}

bool DocumentFilter::isActive() const
{
    return !m_fio.isEmpty() || !m_prof.isEmpty() || (m_dateFrom.isValid() && m_dateTo.isValid());
}

bool DocumentFilter::matches(const QString& fio, const QDate& issueDate, const QString& profession) const
{
    // Only the texts a criterion compares are worth folding.
    return matchesFolded(comparesFio() ? folded(fio) : QString(), issueDate,
                         comparesProfession() ? folded(profession) : QString());
}

bool DocumentFilter::matchesFolded(const QString& foldedFio, const QDate& issueDate,
                                   const QString& foldedProfession) const
{
    if (!m_fioFolded.isEmpty() && !foldedFio.contains(m_fioFolded, Qt::CaseSensitive))
        return false;
    if (!m_profFolded.isEmpty() && !foldedProfession.contains(m_profFolded, Qt::CaseSensitive))
        return false;
    if (m_dateFrom.isValid() && m_dateTo.isValid())
        return issueDate.isValid() && issueDate >= m_dateFrom && issueDate <= m_dateTo;
    return true;
}

QString DocumentFilter::folded(const QString& text)
{
    QString result = text;
    QChar* c = result.data();
    const int size = result.size();
    for (int i = 0; i < size; ++i) {
        const ushort unit = c[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(c[i + 1].unicode())) {
            const uint folded = QChar::toCaseFolded(QChar::surrogateToUcs4(unit, c[i + 1].unicode()));
            c[i] = QChar(QChar::highSurrogate(folded));
            c[++i] = QChar(QChar::lowSurrogate(folded));
        } else {
            c[i] = QChar(ushort(QChar::toCaseFolded(uint(unit))));
        }
    }
    return result;
}
