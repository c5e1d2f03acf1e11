#include "modules/DocumentsTableAbstract/SqlSavepoint.h"

#include "engine/Database.h"

#include <QScopedPointer>
#include <QSqlQuery>

SqlSavepoint::SqlSavepoint(const QString& name)
    : m_name(name)
{
    m_open = run(QStringLiteral("SAVEPOINT %1;").arg(m_name));
}

SqlSavepoint::~SqlSavepoint()
{
    if (m_open)
        rollback();
}

bool SqlSavepoint::release()
{
    if (!m_open)
        return false;
    if (!run(QStringLiteral("RELEASE SAVEPOINT %1;").arg(m_name))) {
        rollback();
        return false;
    }
    m_open = false;
    return true;
}

void SqlSavepoint::rollback()
{
    if (!m_open)
        return;
    // ROLLBACK TO keeps the savepoint on the stack; RELEASE removes it (and
    // ends the transaction when it was the outermost one).
    run(QStringLiteral("ROLLBACK TO SAVEPOINT %1;").arg(m_name));
    run(QStringLiteral("RELEASE SAVEPOINT %1;").arg(m_name));
    m_open = false;
}

bool SqlSavepoint::runAsOne(const QString& name, const std::function<bool()>& work)
{
    SqlSavepoint savepoint(name);
    if (!savepoint.isOpen() || !work()) {
        savepoint.rollback();
        return false;
    }
    return savepoint.release();
}

bool SqlSavepoint::run(const QString& sql)
{
    QScopedPointer<QSqlQuery> query(Database::execStr(sql));
    return query && query->isActive();
}
