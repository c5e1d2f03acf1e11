#include "product/DocumentsTable.h"

#include "engine/Database.h"
#include "modules/DocumentsTableAbstract/SqlSavepoint.h"
#include "modules/FilterDockWidgetAbstract/DocumentFilter.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSqlQuery>
#include <QSqlTableModel>

namespace {

// Detail tables first, the document last, so that a failure half way never
// leaves detail rows without their document.
const char* const deleteTables[] = {
    "PracticeDetails", "DisciplineDetails", "CourseworkDetails", "AttestationDetails",
    "ModuleDetails", "DMDetails", "SpoDocuments",
};

// Ids per statement; well below SQLite's limit on bound parameters.
constexpr int deleteChunk = 500;

} // namespace

DocumentsTable::DocumentsTable(QWidget* parent)
    : DocumentsTableAbstract(parent)
{
    setupModel();
}

void DocumentsTable::setupModel()
{
    model = Database::tableModel(QStringLiteral("ViewSpoDocuments"));
    if (!model)
        return;
    model->setHeaderData(ColumnId, Qt::Horizontal, QStringLiteral("docID"));
    model->setHeaderData(ColumnFio, Qt::Horizontal, QStringLiteral("ФИО"));
    model->setHeaderData(ColumnIssueDate, Qt::Horizontal, QStringLiteral("Дата выдачи"));
    model->setHeaderData(ColumnNumber, Qt::Horizontal, QStringLiteral("Номер"));
    model->setHeaderData(ColumnRegNumber, Qt::Horizontal, QStringLiteral("Рег номер"));
    model->setHeaderData(ColumnProfession, Qt::Horizontal, QStringLiteral("Профессия\\специальность"));
    model->setHeaderData(ColumnEditDate, Qt::Horizontal, QStringLiteral("Дата изменения"));

    const auto invalidate = [this] { m_keysRead = 0; };
    connect(model, &QAbstractItemModel::modelReset, this, invalidate);
    connect(model, &QAbstractItemModel::rowsInserted, this, invalidate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, invalidate);
    connect(model, &QAbstractItemModel::dataChanged, this, invalidate);
    connect(model, &QAbstractItemModel::layoutChanged, this, invalidate);

    DocumentsTableAbstract::setupModel();
}

bool DocumentsTable::deleteDocuments(QList<int> ids)
{
    return deleteDocumentRecords(ids);
}

int DocumentsTable::copyDocument(int sqlDocId)
{
    return copyDocumentRecord(sqlDocId);
}

bool DocumentsTable::copyDetails(int fromSpoId, int toSpoId)
{
    return copyDocumentDetails(fromSpoId, toSpoId);
}

bool DocumentsTable::checkBeforePrint(ReportList::ReportType type, int sqlDocId)
{
    return checkFormMatchesDocument(type, sqlDocId);
}

// ---------------------------------------------------------------- row filter

void DocumentsTable::onFiltersChanged(QList<QPair<QString, QVariant>> filterList)
{
    m_filter = filterList;
    applyFilter();
    clearSelection();
    emit unselect();
}

void DocumentsTable::reapplyFilter()
{
    applyFilter();
}

void DocumentsTable::readRowKeys(int keyColumns)
{
    const int wanted = keyColumns & ~m_keysRead;
    if (!model || wanted == 0)
        return;
    const int rows = model->rowCount();
    m_keys.resize(rows);
    // The rows are all fetched, so the model's result set holds every value
    // data() would give (the register never edits its model); read there,
    // a value costs a fraction of going through the model.
    QSqlQuery result = model->query();
    const auto value = [this, &result](int row, int column) {
        return result.seek(row) ? result.value(column) : model->data(model->index(row, column));
    };
    for (int row = 0; row < rows; ++row) {
        RowKeys& keys = m_keys[row];
        if (wanted & FioKey)
            keys.fio = DocumentFilter::folded(value(row, ColumnFio).toString());
        if (wanted & DateKey)
            keys.issueDate = value(row, ColumnIssueDate).toDate();
        if (wanted & ProfessionKey)
            keys.profession = DocumentFilter::folded(value(row, ColumnProfession).toString());
    }
    m_keysRead |= wanted;
}

void DocumentsTable::applyFilter()
{
    if (!model)
        return;

    const DocumentFilter filter(m_filter);
    const bool active = filter.isActive();
    if (!active && m_hiddenRows == 0)
        return;
    if (active) {
        readRowKeys((filter.comparesFio() ? FioKey : 0) | (filter.comparesDates() ? DateKey : 0)
                    | (filter.comparesProfession() ? ProfessionKey : 0));
    }

    const int rows = model->rowCount();
    // Without updates each hidden row costs no repaint or layout of its own.
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    verticalHeader()->setUpdatesEnabled(false);
    int hidden = 0;
    for (int row = 0; row < rows; ++row) {
        bool hide = false;
        if (active) {
            const RowKeys& keys = m_keys.at(row);
            hide = !filter.matchesFolded(keys.fio, keys.issueDate, keys.profession);
        }
        if (isRowHidden(row) != hide)
            setRowHidden(row, hide);
        if (hide)
            ++hidden;
    }
    m_hiddenRows = hidden;
    verticalHeader()->setUpdatesEnabled(true);
    setUpdatesEnabled(updates);
}

// ------------------------------------------------------------------- workers

int DocumentsTable::copyDocumentRecord(int spoId)
{
    QSqlQuery query;
    query.prepare(QStringLiteral(
        "INSERT INTO SpoDocuments (       fio1, isTemplate, isDuplicate, isExcellent, qual, programType, "
        "professionCode, professionName, fio2, fio3, decisionDate, number, regNumber, issueDate, birthDate, "
        "comment, editDate, totalCount, attestationTotalCount, practiceTotalCount, previousEducation, "
        "additionNumber, deductionDate, deductionNumber ) "
        "SELECT 'КОПИЯ ' || IFNULL(fio1,''), isTemplate, isDuplicate, isExcellent, qual, programType, "
        "professionCode, professionName, fio2, fio3, decisionDate, '', '', issueDate, birthDate, comment, "
        "editDate, totalCount, attestationTotalCount, practiceTotalCount, previousEducation, '', "
        "deductionDate, deductionNumber  FROM SpoDocuments WHERE spoId = :spoId;"));
    query.bindValue(QStringLiteral(":spoId"), spoId);
    // An id that names no document inserts nothing; its lastInsertId would be
    // some earlier row's.
    if (!Database::execQuery(query) || query.numRowsAffected() != 1)
        return 0;
    return query.lastInsertId().toInt();
}

int DocumentsTable::copyDocumentWithDetails(int spoId)
{
    // A failure keeps neither: no copy without its supplement, and no
    // supplement rows for a copy that was never made.
    int newId = 0;
    const bool copied = SqlSavepoint::runAsOne(QStringLiteral("copyDocument"), [&] {
        newId = copyDocumentRecord(spoId);
        return newId > 0 && copyDocumentDetails(spoId, newId);
    });
    return copied ? newId : 0;
}

bool DocumentsTable::deleteDocumentRecords(QList<int> ids)
{
    if (ids.isEmpty())
        return true;

    SqlSavepoint savepoint(QStringLiteral("deleteDocuments"));
    if (!savepoint.isOpen())
        return false;

    for (int start = 0; start < ids.size(); start += deleteChunk) {
        const QList<int> chunk = ids.mid(start, deleteChunk);
        QStringList marks;
        for (int i = 0; i < chunk.size(); ++i)
            marks.append(QStringLiteral("?"));
        const QString list = marks.join(QStringLiteral(", "));
        for (const char* table : deleteTables) {
            QSqlQuery query;
            query.prepare(QStringLiteral("DELETE FROM %1 WHERE spoId IN (%2)").arg(QLatin1String(table), list));
            for (int id : chunk)
                query.addBindValue(id);
            if (!Database::execQuery(query)) {
                savepoint.rollback();
                return false;
            }
        }
    }
    return savepoint.release();
}

bool DocumentsTable::copyDocumentDetails(int fromSpoId, int toSpoId)
{
    SqlSavepoint savepoint(QStringLiteral("copyDetails"));
    if (!savepoint.isOpen())
        return false;

    static const char* const statements[] = {
        "INSERT INTO PracticeDetails (spoId,practiceCount, practiceName, practiceRate)  "
        "SELECT :spoId1,practiceCount, practiceName, practiceRate  FROM PracticeDetails WHERE spoId = :spoId2;",
        "INSERT INTO DisciplineDetails (spoId,disciplineCount, disciplineCountAudit, disciplineName, disciplineRate)  "
        "SELECT :spoId1,disciplineCount, disciplineCountAudit, disciplineName, disciplineRate  "
        "FROM DisciplineDetails WHERE spoId = :spoId2;",
        "INSERT INTO CourseworkDetails (spoId,cwName, cwRate)  "
        "SELECT :spoId1,cwName, cwRate  FROM CourseworkDetails WHERE spoId = :spoId2;",
        "INSERT INTO AttestationDetails (spoId,attestationName, attestationRate)  "
        "SELECT :spoId1,attestationName, attestationRate  FROM AttestationDetails WHERE spoId = :spoId2;",
    };
    QSqlQuery query;
    for (const char* statement : statements) {
        query.clear();
        query.prepare(QString::fromUtf8(statement));
        query.bindValue(QStringLiteral(":spoId1"), toSpoId);
        query.bindValue(QStringLiteral(":spoId2"), fromSpoId);
        if (!Database::execQuery(query)) {
            savepoint.rollback();
            return false;
        }
    }

    // Module by module, so that each module's sub-subjects follow it under its new id.
    query.clear();
    query.prepare(QStringLiteral(" SELECT moduleId FROM ModuleDetails WHERE spoId = :spoId2;"));
    query.bindValue(QStringLiteral(":spoId2"), fromSpoId);
    if (!Database::execQuery(query)) {
        savepoint.rollback();
        return false;
    }
    QList<int> moduleIds;
    while (query.next())
        moduleIds.append(query.value(0).toInt());
    query.finish();

    QSqlQuery insert;
    for (int oldId : qAsConst(moduleIds)) {
        insert.clear();
        insert.prepare(QStringLiteral(
            "INSERT INTO ModuleDetails (spoId, moduleName, moduleRate, moduleCount, moduleCountAudit, moduleExamCount)  "
            "SELECT :spoId1, moduleName, moduleRate, moduleCount, moduleCountAudit, moduleExamCount  "
            "FROM ModuleDetails WHERE moduleId = :moduleId;"));
        insert.bindValue(QStringLiteral(":spoId1"), toSpoId);
        insert.bindValue(QStringLiteral(":moduleId"), oldId);
        if (!Database::execQuery(insert) || insert.numRowsAffected() != 1) {
            savepoint.rollback();
            return false;
        }
        const int newId = insert.lastInsertId().toInt();
        insert.clear();
        insert.prepare(QStringLiteral(
            "INSERT INTO DMDetails (spoId, moduleId, dmName, dmRate, dmCount, dmCountAudit)  "
            "SELECT :spoId1, :moduleId1, dmName, dmRate, dmCount, dmCountAudit  "
            "FROM DMDetails WHERE moduleId = :moduleId2;"));
        insert.bindValue(QStringLiteral(":spoId1"), toSpoId);
        insert.bindValue(QStringLiteral(":moduleId1"), newId);
        insert.bindValue(QStringLiteral(":moduleId2"), oldId);
        if (!Database::execQuery(insert)) {
            savepoint.rollback();
            return false;
        }
    }
    return savepoint.release();
}

bool DocumentsTable::checkFormMatchesDocument(ReportList::ReportType type, int spoId)
{
    QSqlQuery query;
    query.prepare(QStringLiteral("SELECT isExcellent FROM SpoDocuments WHERE spoId = :spoId;"));
    query.bindValue(QStringLiteral(":spoId"), spoId);
    if (!Database::execQuery(query) || !query.next())
        return true;
    const bool isExcellent = query.value(0).toBool();
    query.finish();

    QString text;
    if (type == ReportList::SpoDiploma && isExcellent) {
        text = QStringLiteral("Несоответствие введённых данных \nи выбора бланка для печати! \n"
                              "Выбран бланк диплома без отличия. \nПродолжить?");
    } else if (type == ReportList::SpoDiplomaExcellent && !isExcellent) {
        text = QStringLiteral("Несоответствие введённых данных \nи выбора бланка для печати! \n"
                              "Выбран бланк диплома с отличием. \nПродолжить?");
    }
    if (text.isEmpty())
        return true;

    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Внимание!"));
    box.setText(text);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
