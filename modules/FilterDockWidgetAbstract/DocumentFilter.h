#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

// The criteria of a filter list ("fio", "prof", "dateFrom", "dateTo"), read
// once, so that the register and the export decide alike which documents
// pass. Unknown keys are ignored; a missing key leaves its criterion off.
class DocumentFilter
{
public:
    using FilterList = QList<QPair<QString, QVariant>>;

    explicit DocumentFilter(const FilterList& filterList = {});

    // False when every document passes.
    bool isActive() const;
    // The full name and the profession must contain the texts, in any case;
    // the issue date must lie within both dates, bounds included. A document
    // without a valid issue date fails a date filter.
    bool matches(const QString& fio, const QDate& issueDate, const QString& profession) const;
    // Which of the three matches() compares; the others may be left empty.
    bool comparesFio() const { return !m_fio.isEmpty(); }
    bool comparesProfession() const { return !m_prof.isEmpty(); }
    bool comparesDates() const { return m_dateFrom.isValid() && m_dateTo.isValid(); }

private:
    QString m_fio;
    QString m_prof;
    QDate m_dateFrom;
    QDate m_dateTo;
};
