#include "dialogs/DocumentValidator.h"

#include "dialogs/DocumentFields.h"
#include "engine/Database.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Every character QString::trimmed() takes for white space, so a stored value
// is trimmed in SQL exactly as the typed one is in C++.
const char* const kWhiteSpace =
    "char(9,10,11,12,13,32,133,160,5760,8192,8193,8194,8195,8196,8197,8198,"
    "8199,8200,8201,8202,8232,8233,8239,8287,12288)";

QString trimmedColumn(const char* column)
{
    return QStringLiteral("TRIM(IFNULL(%1,''),%2)").arg(QLatin1String(column), QLatin1String(kWhiteSpace));
}

QString blankOf(const QString& serial, const QString& number)
{
    return serial.trimmed() + QLatin1Char(' ') + number.trimmed();
}

} // namespace

QStringList DocumentValidator::problems(const DocumentFields& fields, int spoId)
{
    QStringList lines;
    const QString number = fields.number.trimmed();
    const QString additionNumber = fields.additionNumber.trimmed();
    const QString regNumber = fields.regNumber.trimmed();

    if (!number.isEmpty() && additionNumber == number)
        lines << QStringLiteral("Номера бланков диплома и приложения не должны совпадать!\n");

    if (!fields.isDuplicate) {
        if (!number.isEmpty() && blankTaken(blankOf(fields.serial, fields.number), spoId))
            lines << QStringLiteral("Номер бланка диплома не уникален!\n");
        if (!regNumber.isEmpty() && regNumberTaken(regNumber, spoId))
            lines << QStringLiteral("Регистрационный номер документа не уникален!\n");
        if (!additionNumber.isEmpty()
            && blankTaken(blankOf(fields.additionSerial, fields.additionNumber), spoId))
            lines << QStringLiteral("Номер бланка приложения к диплому не уникален!\n");
    }
    return lines;
}

QString DocumentValidator::refusalText(const QStringList& problems)
{
    return QStringLiteral("Невозможно сохранить документ:\n") + problems.join(QString());
}

bool DocumentValidator::blankTaken(const QString& blank, int spoId)
{
    // A blank may appear once among the rows that are not duplicates, as a
    // diploma blank or as a supplement blank, templates included. A duplicate
    // may repeat its original's numbers, so it never blocks the original.
    const QString sql =
        QStringLiteral("SELECT COUNT(1) FROM SpoDocuments WHERE ((%1 || ' ' || %2)=:blank"
                       " OR (%3 || ' ' || %4)=:blank) AND spoId!=:spoId AND IFNULL(isDuplicate,0)=0;")
            .arg(trimmedColumn("additionSerial"), trimmedColumn("additionNumber"),
                 trimmedColumn("serial"), trimmedColumn("number"));
    return countAboveZero(sql, QStringLiteral(":blank"), blank, spoId);
}

bool DocumentValidator::regNumberTaken(const QString& regNumber, int spoId)
{
    const QString sql = QStringLiteral("SELECT COUNT(1) FROM SpoDocuments WHERE %1=:regNumber AND spoId!=:spoId"
                                           " AND IFNULL(isDuplicate,0)=0;")
                            .arg(trimmedColumn("regNumber"));
    return countAboveZero(sql, QStringLiteral(":regNumber"), regNumber, spoId);
}

bool DocumentValidator::countAboveZero(const QString& sql, const QString& valueName,
                                       const QString& value, int spoId)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(sql);
    query.bindValue(valueName, value);
    query.bindValue(QStringLiteral(":spoId"), spoId);
    // A check that cannot run is logged by Database and counts as no clash;
    // the save itself then fails or succeeds on its own.
    if (!Database::execQuery(query) || !query.next())
        return false;
    return query.value(0).toInt() > 0;
}
