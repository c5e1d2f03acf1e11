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
    // The same test for a full name and a profession given as folded():
    // a register folds every row once and compares it at every change.
    bool matchesFolded(const QString& foldedFio, const QDate& issueDate, const QString& foldedProfession) const;
    // The text with each character case-folded the way a case-insensitive
    // QString search folds it (one character for one, so "ß" stays).
    static QString folded(const QString& text);
    // Which of the three matches() compares; the others may be left empty.
    bool comparesFio() const { return !m_fio.isEmpty(); }
    bool comparesProfession() const { return !m_prof.isEmpty(); }
    bool comparesDates() const { return m_dateFrom.isValid() && m_dateTo.isValid(); }

private:
    QString m_fio;
    QString m_prof;
    QString m_fioFolded;
    QString m_profFolded;
    QDate m_dateFrom;
    QDate m_dateTo;
};
