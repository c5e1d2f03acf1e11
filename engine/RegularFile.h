#pragma once

#include <QString>

// The data directory is shared by every user of the computer and writable by
// all of them, so what stands at a file's name there, or in the user's own
// folder, need not be a file: opening a named pipe blocks until someone opens
// its other end, and a device may never end. The program opens only regular
// files (or links to one) there; anything else counts as absent.
class RegularFile
{
public:
    // True when path names a regular file, a link to one, or nothing at all.
    static bool isRegularOrAbsent(const QString& path);

    // The name a QSettings object may use for the settings file at path: path
    // itself when isRegularOrAbsent(path); otherwise (logged) a name below a
    // device, which never exists and can never be made, so the settings read
    // nothing and keep their changes in memory.
    static QString settingsFileName(const QString& path);
    // The file a settingsFileName() stands for, as the user knows it.
    static QString intendedFileName(const QString& settingsFileName);
};
