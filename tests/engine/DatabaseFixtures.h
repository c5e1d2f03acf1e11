#pragma once

#include "engine/Database.h"
#include "support/DocumentFixtures.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// SQLite files built outside the program and raw file access.
namespace DatabaseFixtures {

inline QString dataFile(const QString& name) { return QDir(Database::dataPath()).filePath(name); }

inline QStringList filesInDataDir()
{
    return QDir(Database::dataPath()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Creates the missing directories on the way.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Bytes that SQLite cannot read as a database.
inline QByteArray noise() { return QByteArray(8192, '\x5a'); }

// Runs the statements on a private connection to path; false at the first failure.
inline bool makeSqliteFile(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        ok = db.open();
        for (int i = 0; ok && i < statements.size(); ++i) {
            QSqlQuery query(db);
            if (!(ok = query.exec(statements[i])))
                qWarning() << query.lastError().text() << statements[i];
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    return ok;
}

// The first released version: no ModuleDetails, DMDetails, Bosses or Variables.
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
    return {QStringLiteral("CREATE TABLE Customers (id INTEGER PRIMARY KEY, name TEXT)"),
            QStringLiteral("INSERT INTO Customers (name) VALUES ('Петров')")};
}

// Same names as ours but the wrong columns.
inline QStringList wrongSchema()
{
    return {QStringLiteral("CREATE TABLE SpoDocuments (spoId INTEGER PRIMARY KEY, fio TEXT)"),
            QStringLiteral("INSERT INTO SpoDocuments (fio) VALUES ('Иванов')")};
}

// "name type notnull pk" for every column of a table, on the program's connection.
inline QStringList tableInfo(const QString& table)
{
    return DocumentFixtures::rows(QStringLiteral("SELECT name || ' ' || type || ' ' || \"notnull\" || ' ' || pk "
                                                 "FROM pragma_table_info('%1')").arg(table));
}

} // namespace DatabaseFixtures
