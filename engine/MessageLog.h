#pragma once

#include <QDebug>
#include <QString>
#include <QtGlobal>

// The program's log: every Qt message of the process, once the handler is
// installed, is appended to one file as its text followed by "\r\n" and "\n"
// (no time, type or source). The text is always written as UTF-8, whatever the
// locale, and records from several threads never interleave.
class MessageLog
{
public:
    // Name of the log file in the user configuration directory.
    static QString fileName() { return QStringLiteral("debug.txt"); }

    // Empties filePath, then installs messageHandler writing to it. Returns false
    // when the file could not be emptied (the handler is installed anyway; a
    // record that cannot be written is lost silently). Only a regular file is
    // written: anything else in its place (a named pipe) is left alone.
    static bool restart(const QString& filePath);
    // Installs messageHandler writing to filePath; remembers the handler it replaces.
    static void install(const QString& filePath);
    // Puts back the handler that install() replaced. Harmless when not installed.
    static void uninstall();
    static bool isInstalled();
    static QString filePath();

    // The exact bytes of one record.
    static QByteArray record(const QString& message);

    // "src/engine/Database.cpp" -> "Database.cpp"; used by VLOG.
    static constexpr const char* sourceName(const char* path)
    {
        const char* name = path;
        for (const char* p = path; *p; ++p) {
            if (*p == '/' || *p == '\\')
                name = p + 1;
        }
        return name;
    }
};

// The Qt message handler that MessageLog installs.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

// The program's own debug lines: source file name, ":", line, a tab, then the
// parts, e.g.  VLOG << "rename" << ok;  gives  Database.cpp : 120 	 rename true
#define VLOG qDebug() << MessageLog::sourceName(__FILE__) << ":" << __LINE__ << "\t"
