#pragma once

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
    // nothing at path has changed. A document whose value cannot go into a
    // cell is named, with the reason, in problem (left as it is otherwise).
    static bool write(const QString& path, const QList<QPair<QString, QVariant>>& filters, QString* problem = nullptr);

private:
    static QString tooLongText(const QString& fullName, const QString& regNumber, int column);
};
