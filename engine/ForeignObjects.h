#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What a database file holds beyond the program's own schema: triggers (the
// program makes none), and views, indexes and tables it does not make, or
// makes otherwise. Another tool or a hostile file may add them to a backup; a
// trigger there could delete rows in silence at the next insert. A restored
// file must be exactly the program's own database.
class ForeignObjects
{
public:
    // "trigger Name", "index Name" ... for every such object of db.
    static QStringList find(const QSqlDatabase& db, QString* error = nullptr);
    // Drops them all in one transaction; removed lists what went. False, with
    // the reason in error, when the file could not be read or a drop failed;
    // nothing is dropped then.
    static bool remove(const QSqlDatabase& db, QStringList* removed, QString* error);
};
