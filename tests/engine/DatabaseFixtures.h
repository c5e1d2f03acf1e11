#pragma once

#include "engine/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <QtTest>

// Helpers for the database tests: a clean data directory per case, SQLite files
// built outside the program, and quick queries on the program's connection.
namespace DatabaseFixtures {

// Drops the singleton and empties the data directory.
inline void reset()
{
    Database::destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir dir(Database::dataPath());
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

inline QString dataFile(const QString& name)
{
    return QDir(Database::dataPath()).filePath(name);
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs the statements on a private connection to path; false at the first failure.
inline bool makeSqliteFile(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& statement : statements) {
            if (!ok)
                break;
            QSqlQuery query(db);
            ok = query.exec(statement);
            if (!ok)
                qWarning() << query.lastError().text() << statement;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    return ok;
}

// The structure of the first released version: no ModuleDetails, DMDetails,
// Bosses or Variables.
inline QStringList oldSchema()
{
    const QString key = QStringLiteral("INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE");
    return {
        QStringLiteral("CREATE TABLE SpoDocuments (spoId %1, isTemplate INTEGER, isDuplicate INTEGER, isExcellent INTEGER, "
                       "qual TEXT, programType INTEGER, professionCode TEXT, professionName TEXT, fio1 TEXT, fio2 TEXT, "
                       "fio3 TEXT, decisionDate TEXT, number TEXT, regNumber TEXT, issueDate TEXT, birthDate TEXT, "
                       "comment TEXT, editDate TEXT, totalCount TEXT, attestationTotalCount TEXT, practiceTotalCount TEXT, "
                       "previousEducation TEXT, additionNumber TEXT, serial TEXT, additionSerial TEXT, deductionDate TEXT, "
                       "deductionNumber TEXT)").arg(key),
        QStringLiteral("CREATE TABLE PracticeDetails (pracId %1, spoId INTEGER NOT NULL, practiceName TEXT, "
                       "practiceCount INTRGER, practiceRate TEXT)").arg(key),
        QStringLiteral("CREATE TABLE DisciplineDetails (discId %1, spoId INTEGER NOT NULL, disciplineName TEXT, "
                       "disciplineCount INTRGER, disciplineCountAudit INTRGER, disciplineRate TEXT)").arg(key),
        QStringLiteral("CREATE TABLE CourseworkDetails (cwId %1, spoId INTEGER NOT NULL, cwName TEXT, cwRate TEXT)").arg(key),
        QStringLiteral("CREATE TABLE AttestationDetails (attId %1, spoId INTEGER NOT NULL, attestationName TEXT, "
                       "attestationRate TEXT)").arg(key),
    };
}

// A valid SQLite file of some other program.
inline QStringList foreignSchema()
{
    return {
        QStringLiteral("CREATE TABLE Customers (id INTEGER PRIMARY KEY, name TEXT)"),
        QStringLiteral("INSERT INTO Customers (name) VALUES ('Петров')"),
    };
}

// Same names as ours but the wrong columns.
inline QStringList wrongSchema()
{
    return {
        QStringLiteral("CREATE TABLE SpoDocuments (spoId INTEGER PRIMARY KEY, fio TEXT)"),
        QStringLiteral("INSERT INTO SpoDocuments (fio) VALUES ('Иванов')"),
    };
}

// Runs sql on the program's connection.
inline bool exec(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database());
    if (query.exec(sql))
        return true;
    qWarning() << query.lastError().text() << sql;
    return false;
}

// Every row of a query, its columns joined with '|'.
inline QStringList rows(const QString& sql)
{
    QStringList result;
    QSqlQuery query(QSqlDatabase::database());
    if (!query.exec(sql)) {
        qWarning() << query.lastError().text() << sql;
        return result;
    }
    const int columns = query.record().count();
    while (query.next()) {
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells.append(query.value(column).toString());
        result.append(cells.join(QLatin1Char('|')));
    }
    return result;
}

// "name type notnull pk" for every column of a table, on the program's connection.
inline QStringList tableInfo(const QString& table)
{
    QStringList result;
    QSqlQuery query(QSqlDatabase::database());
    query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (query.next()) {
        result.append(QStringLiteral("%1 %2 %3 %4")
                          .arg(query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
                               query.value(5).toString()));
    }
    return result;
}

inline QStringList filesInDataDir()
{
    return QDir(Database::dataPath()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace DatabaseFixtures
