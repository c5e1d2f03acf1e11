#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// A database connection of its own for one piece of work on one file. The
// program's connection belongs to the window's thread, and a connection name
// may serve one thread at a time, so work on a worker thread, or on a file
// other than the database, opens one of these. It is closed and removed when
// it goes.
class PrivateConnection
{
public:
    // options as QSqlDatabase::setConnectOptions takes them ("QSQLITE_OPEN_READONLY").
    explicit PrivateConnection(const QString& databaseName, const QString& options = QString());
    ~PrivateConnection();
    PrivateConnection(const PrivateConnection&) = delete;
    PrivateConnection& operator=(const PrivateConnection&) = delete;

    QSqlDatabase db() const { return m_db; }
    bool isOpen() const { return m_db.isOpen(); }
    // Why it did not open.
    QSqlError openError() const { return m_openError; }

private:
    QString m_name;
    QSqlDatabase m_db;
    QSqlError m_openError;
};
