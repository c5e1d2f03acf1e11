#pragma once

#include <QString>
#include <QStringList>

// The files the program itself lives on: the working database with its
// journal files, and the settings files. No file the user names in a save
// dialog (an export, a template, a backup) may be written over one of them,
// whatever name, link or hard link it is reached by.
class ProtectedFiles
{
public:
    enum class Kind { None, Database, Settings };

    // Every such file, whether it exists or not.
    static QStringList paths();
    // What path would overwrite: the same path spelt otherwise, a symbolic
    // link to it (followed to its end, existing or not), or another name of
    // the same file (a hard link).
    static Kind kindOf(const QString& path);
    // The Russian text a save road shows when it refuses path; empty when the
    // path may be written.
    static QString refusalText(const QString& path);
};
