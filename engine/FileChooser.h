#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every file name the program asks the user for goes through here. By default
// it shows Qt's own file dialogs; a replacement (installed by tests, or by a
// platform that wants another dialog) answers instead.
class FileChooser
{
public:
    enum class Mode { Open, Save };

    struct Request
    {
        Mode mode = Mode::Open;
        QString caption;
        // The proposed file, or the folder the dialog opens in.
        QString proposed;
        QString filter;
    };

    // Returns the chosen path, or an empty string when the user cancelled.
    using Handler = std::function<QString(QWidget* parent, const Request& request)>;

    static QString saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                const QString& filter);
    static QString openFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                const QString& filter);

    // An empty handler brings the file dialogs back.
    static void setHandler(const Handler& handler);

    // Joins a folder and a file name the way paths are written on this system.
    static QString joinPath(const QString& folder, const QString& fileName);
};
