#pragma once

#include <QString>

#include <functional>

// One SQLite savepoint on the default connection: the statements run while it
// is open become one unit that is either kept (release()) or undone (rollback(),
// or the destructor when neither was called). Savepoints nest, so a worker
// that uses one may be called inside a caller's transaction or savepoint.
class SqlSavepoint
{
public:
    explicit SqlSavepoint(const QString& name);
    ~SqlSavepoint();
    SqlSavepoint(const SqlSavepoint&) = delete;
    SqlSavepoint& operator=(const SqlSavepoint&) = delete;

    // False when the savepoint could not be opened; nothing should run then.
    bool isOpen() const { return m_open; }
    // Keeps the work; false (and the work undone) when it cannot be kept.
    bool release();
    // Undoes everything since the savepoint was opened.
    void rollback();

    // Runs work as one unit: kept when it returns true, undone otherwise.
    static bool runAsOne(const QString& name, const std::function<bool()>& work);

private:
    static bool run(const QString& sql);

    QString m_name;
    bool m_open = false;
};
