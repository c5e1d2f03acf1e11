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

// Creates the missing directories.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray noise() { return QByteArray(8192, '\x5a'); } // not a database

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

// Some other program's file, and one with our table names but the wrong columns.
inline const QStringList foreignSchema = {"CREATE TABLE Customers (id INTEGER PRIMARY KEY, name TEXT)",
                                          "INSERT INTO Customers (name) VALUES ('Петров')"};
inline const QStringList wrongSchema = {"CREATE TABLE SpoDocuments (spoId INTEGER PRIMARY KEY, fio TEXT)",
                                        "INSERT INTO SpoDocuments (fio) VALUES ('Иванов')"};

// "table column type notnull pk" for every column of the tables named like pattern, on the program's connection.
inline QStringList structure(const QString& pattern = "%")
{
    return DocumentFixtures::rows("SELECT m.name || ' ' || p.name || ' ' || p.type || ' ' || p.\"notnull\" || ' ' || p.pk "
                                  "FROM sqlite_master m, pragma_table_info(m.name) p WHERE m.type = 'table' AND "
                                  "m.name NOT LIKE 'sqlite_%' AND m.name LIKE ? ORDER BY m.name, p.cid", {pattern});
}

} // namespace DatabaseFixtures
