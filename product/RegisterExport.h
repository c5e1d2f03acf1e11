#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

class LongTask;
class QSqlDatabase;
class QSqlError;

// The register of issued documents as a workbook laid out as the book of
// issued diplomas: ten columns, one row per document that passes the filters.
//
// The register is read on a read-only connection of its own to the database
// file, so that the export may run on a worker thread while the window goes
// on; it touches no widget.
class RegisterExport
{
public:
    using FilterList = QList<QPair<QString, QVariant>>;
    enum class Result { Saved, Failed, Cancelled };

    RegisterExport(const QString& databaseFile, const FilterList& filters);

    // Writes the workbook to path; anything but Saved leaves path as it was.
    // With a task, the stages and the progress go to it, and a cancel asked
    // through it stops the export (until the workbook starts replacing path).
    Result writeTo(const QString& path, LongTask* task = nullptr);
    // Why the last writeTo failed, for the user; may be empty when the
    // workbook alone could not be written.
    QString problem() const { return m_problem; }
    // True when the last writeTo failed on damaged pages of the database.
    bool metDamage() const { return m_metDamage; }

    // The working database's register written to path on the calling thread;
    // why it failed, when it is known, goes to problem.
    static bool write(const QString& path, const FilterList& filters, QString* problem = nullptr);

    static QStringList headers();
    // The stages a task is told of, in their order.
    static QString openingStageText();
    static QString rowsStageText();
    static QString savingStageText();

    // An issue date as stored ("yyyy-MM-dd"), read the way
    // QDate::fromString(text, "yyyy-MM-dd") reads it, at a fraction of its cost.
    static QDate storedDate(const QString& text);

private:
    Result writeRows(const QSqlDatabase& db, const QString& path, LongTask* task);
    Result fail(const QSqlError& error);
    static QString tooLongText(const QString& fullName, const QString& regNumber, int column);

    QString m_databaseFile;
    FilterList m_filters;
    QString m_problem;
    bool m_metDamage = false;
};
