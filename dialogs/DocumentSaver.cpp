#include "dialogs/DocumentSaver.h"

#include "dialogs/DocumentFields.h"
#include "engine/Database.h"
#include "product/DocumentsTable.h"

#include <QDateTime>
#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

// The database's own words (a trigger's message, "database is locked") say
// more to the user than the driver's "Unable to fetch row".
QString errorOf(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text() : text;
}

QString queryError(const QSqlQuery& query)
{
    return errorOf(query.lastError());
}

} // namespace

DocumentSaver::DocumentSaver(int spoId, int templateId, bool templateMode)
    : m_spoId(spoId)
    , m_templateId(templateId)
    , m_templateMode(templateMode)
{
}

bool DocumentSaver::save(const DocumentFields& fields)
{
    m_error.clear();
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction())
        return fail(errorOf(db.lastError()));

    const int startId = m_spoId;
    const bool written = m_spoId < 1 ? insertDocument(fields) : updateDocument(fields);
    if (written && db.commit())
        return true;

    if (written)
        m_error = errorOf(db.lastError());
    if (!db.rollback())
        qWarning() << "DocumentSaver: rollback failed" << db.lastError().text();
    m_spoId = startId;
    qWarning() << "DocumentSaver: document not saved" << m_error;
    return false;
}

bool DocumentSaver::insertDocument(const DocumentFields& fields)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("INSERT INTO SpoDocuments (number) VALUES (0);"));
    if (!Database::execQuery(query))
        return fail(queryError(query));
    const QVariant id = query.lastInsertId();
    if (!id.isValid() || id.toInt() < 1)
        return fail(QStringLiteral("Не получен номер новой записи."));
    m_spoId = id.toInt();

    if (!updateDocument(fields))
        return false;
    return m_templateId > 0 ? copyTemplate() : true;
}

bool DocumentSaver::updateDocument(const DocumentFields& fields)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral(
        "UPDATE SpoDocuments SET fio1=:fio1, fio2=:fio2, fio3=:fio3, decisionDate=:decisionDate, "
        "number=:number, regNumber=:regNumber, professionCode=:professionCode, "
        "professionName=:professionName, qual=:qual, programType=:programType, "
        "issueDate=:issueDate, birthDate=:birthDate, editDate=:editDate, "
        "isDuplicate=:isDuplicate, isExcellent=:isExcellent, isTemplate=:isTemplate, "
        "deductionDate=:deductionDate, deductionNumber=:deductionNumber, "
        "additionNumber=:additionNumber, serial=:serial, additionSerial=:additionSerial "
        "WHERE spoId=:spoId"));
    // Texts are stored as typed; only the checks compare them trimmed.
    query.bindValue(QStringLiteral(":spoId"), m_spoId);
    query.bindValue(QStringLiteral(":fio1"), fields.fio1);
    query.bindValue(QStringLiteral(":fio2"), fields.fio2);
    query.bindValue(QStringLiteral(":fio3"), fields.fio3);
    query.bindValue(QStringLiteral(":decisionDate"), dateText(fields.decisionDate));
    query.bindValue(QStringLiteral(":issueDate"), dateText(fields.issueDate));
    query.bindValue(QStringLiteral(":birthDate"), dateText(fields.birthDate));
    query.bindValue(QStringLiteral(":editDate"),
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    query.bindValue(QStringLiteral(":number"), fields.number);
    query.bindValue(QStringLiteral(":regNumber"), fields.regNumber);
    query.bindValue(QStringLiteral(":professionCode"), fields.professionCode);
    query.bindValue(QStringLiteral(":professionName"), fields.professionName);
    query.bindValue(QStringLiteral(":qual"), fields.qual);
    query.bindValue(QStringLiteral(":programType"), fields.programType);
    query.bindValue(QStringLiteral(":isDuplicate"), fields.isDuplicate ? 1 : 0);
    query.bindValue(QStringLiteral(":isExcellent"), fields.isExcellent ? 1 : 0);
    query.bindValue(QStringLiteral(":isTemplate"), m_templateMode ? 1 : 0);
    query.bindValue(QStringLiteral(":additionNumber"), fields.additionNumber);
    query.bindValue(QStringLiteral(":additionSerial"), fields.additionSerial);
    query.bindValue(QStringLiteral(":serial"), fields.serial);
    query.bindValue(QStringLiteral(":deductionDate"), dateText(fields.deductionDate));
    query.bindValue(QStringLiteral(":deductionNumber"), fields.deductionNumber);
    if (!Database::execQuery(query))
        return fail(queryError(query));
    // The row may have been deleted while the form was open: nothing was saved.
    if (query.numRowsAffected() < 1)
        return fail(QStringLiteral("Документ не найден в базе данных."));
    return true;
}

bool DocumentSaver::copyTemplate()
{
    QSqlQuery source(QSqlDatabase::database());
    source.prepare(QStringLiteral(
        "SELECT previousEducation, totalCount, attestationTotalCount, practiceTotalCount, comment "
        "FROM SpoDocuments WHERE spoId=:spoId;"));
    source.bindValue(QStringLiteral(":spoId"), m_templateId);
    if (!Database::execQuery(source))
        return fail(queryError(source));

    if (source.next()) {
        const QVariantList summary = {source.value(0), source.value(1), source.value(2),
                                      source.value(3), source.value(4)};
        qDebug() << summary;
        QSqlQuery update(QSqlDatabase::database());
        update.prepare(QStringLiteral(
            "UPDATE SpoDocuments SET previousEducation=:previousEducation, totalCount=:totalCount, "
            "attestationTotalCount=:attestationTotalCount, practiceTotalCount=:practiceTotalCount, "
            "comment=:comment WHERE spoId=:spoId"));
        update.bindValue(QStringLiteral(":previousEducation"), summary.at(0));
        update.bindValue(QStringLiteral(":totalCount"), summary.at(1));
        update.bindValue(QStringLiteral(":attestationTotalCount"), summary.at(2));
        update.bindValue(QStringLiteral(":practiceTotalCount"), summary.at(3));
        update.bindValue(QStringLiteral(":comment"), summary.at(4));
        update.bindValue(QStringLiteral(":spoId"), m_spoId);
        if (!Database::execQuery(update))
            return fail(queryError(update));
    }
    // The supplement rows come along whether or not the template row is left.
    if (!DocumentsTable::copyDocumentDetails(m_templateId, m_spoId))
        return fail(QStringLiteral("Не удалось скопировать приложение из шаблона."));
    return true;
}

bool DocumentSaver::fail(const QString& error)
{
    m_error = error;
    return false;
}
