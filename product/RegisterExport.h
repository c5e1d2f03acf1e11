#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// The register of issued documents as a workbook laid out as the book of
// issued diplomas: ten columns, one row per document that passes the filters.
class RegisterExport
{
public:
    static QStringList headers();
    // Writes the workbook to path; false when it could not be saved, and then
    // nothing at path has changed. Why, when the register could not be read
    // whole or a document's value cannot go into a cell, is told in problem
    // (left as it is otherwise).
    static bool write(const QString& path, const QList<QPair<QString, QVariant>>& filters, QString* problem = nullptr);

    // An issue date as stored ("yyyy-MM-dd"), read the way
    // QDate::fromString(text, "yyyy-MM-dd") reads it, at a fraction of its cost.
    static QDate storedDate(const QString& text);

private:
    static QString readFailedText();
    static QString tooLongText(const QString& fullName, const QString& regNumber, int column);
};
