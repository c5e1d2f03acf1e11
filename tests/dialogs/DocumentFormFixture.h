#pragma once

// Helpers shared by the document form tests: a database with the program's
// schema in the test's data directory, rows written directly, and the form's
// widgets reached by object name.

#include "dialogs/DocumentEditDialog.h"
#include "engine/Database.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantMap>
#include <QtTest>

namespace DocumentFormFixture {

inline bool openDatabase()
{
    return Database::init(true) && Database::isOpen();
}

inline bool exec(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database());
    if (!query.exec(sql)) {
        qWarning() << "test SQL failed:" << query.lastError().text() << sql;
        return false;
    }
    return true;
}

inline QVariant scalar(const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next()) {
        qWarning() << "test SQL failed:" << query.lastError().text() << sql;
        return QVariant();
    }
    return query.value(0);
}

inline int count(const QString& table, const QString& where = QString(), const QVariantList& values = {})
{
    return scalar(QStringLiteral("SELECT COUNT(1) FROM %1%2").arg(table, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                  values)
        .toInt();
}

// Inserts one row; the columns are given by name. Returns the new key.
inline int insertRow(const QString& table, const QVariantMap& columns)
{
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, columns.keys().join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        query.addBindValue(it.value());
    if (!query.exec()) {
        qWarning() << "test insert failed:" << query.lastError().text();
        return 0;
    }
    return query.lastInsertId().toInt();
}

inline QVariant column(int spoId, const QString& name)
{
    return scalar(QStringLiteral("SELECT %1 FROM SpoDocuments WHERE spoId=?").arg(name), {spoId});
}

inline const QStringList& tables()
{
    static const QStringList names = {"SpoDocuments", "PracticeDetails", "DisciplineDetails", "CourseworkDetails",
                                      "AttestationDetails", "ModuleDetails", "DMDetails"};
    return names;
}

// Empties every document table and removes the triggers a test may have left.
inline void resetDatabase()
{
    for (const QString& table : tables())
        exec(QStringLiteral("DELETE FROM %1").arg(table));
    QSqlQuery triggers(QSqlDatabase::database());
    triggers.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='trigger'"));
    QStringList names;
    while (triggers.next())
        names << triggers.value(0).toString();
    for (const QString& name : qAsConst(names))
        exec(QStringLiteral("DROP TRIGGER %1").arg(name));
}

template <typename T>
T* child(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(QLatin1String(name));
    if (!widget)
        qWarning() << "no widget" << name;
    return widget;
}

inline QLineEdit* edit(QWidget* dialog, const char* name)
{
    return child<QLineEdit>(dialog, name);
}

inline QAbstractButton* button(QWidget* dialog, const char* name)
{
    return child<QAbstractButton>(dialog, name);
}

} // namespace DocumentFormFixture
