#pragma once

#include "engine/FileChooser.h"

#include <QList>
#include <QStringList>

// Stands in for the file dialogs while it lives: records every request and
// answers at once with the next queued path (an empty path cancels).
class FileChoiceAnswerer
{
public:
    FileChoiceAnswerer()
    {
        FileChooser::setHandler([this](QWidget*, const FileChooser::Request& request) {
            requests.append(request);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }
    ~FileChoiceAnswerer() { FileChooser::setHandler({}); }
    FileChoiceAnswerer(const FileChoiceAnswerer&) = delete;
    FileChoiceAnswerer& operator=(const FileChoiceAnswerer&) = delete;

    void answer(const QString& path) { answers.append(path); }

    QList<FileChooser::Request> requests;
    QStringList answers;
};
