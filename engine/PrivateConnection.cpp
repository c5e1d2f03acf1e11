#include "engine/PrivateConnection.h"

#include <QAtomicInt>

PrivateConnection::PrivateConnection(const QString& databaseName, const QString& options)
{
    static QAtomicInt serial;
    m_name = QStringLiteral("velspo_private_%1").arg(serial.fetchAndAddRelaxed(1));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(databaseName);
    m_db.setConnectOptions(options);
    if (!m_db.open())
        m_openError = m_db.lastError();
}

PrivateConnection::~PrivateConnection()
{
    m_db.close();
    // No copy of the connection may outlive its removal.
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}
