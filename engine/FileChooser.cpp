#include "engine/FileChooser.h"

#include <QFileDialog>

namespace {

FileChooser::Handler& handler()
{
    static FileChooser::Handler instance;
    return instance;
}

// Our own widget dialog everywhere, so that it looks and behaves the same on
// every desktop.
constexpr QFileDialog::Options dialogOptions = QFileDialog::DontUseNativeDialog;

QString choose(QWidget* parent, const FileChooser::Request& request)
{
    if (handler())
        return handler()(parent, request);
    if (request.mode == FileChooser::Mode::Save)
        return QFileDialog::getSaveFileName(parent, request.caption, request.proposed, request.filter, nullptr,
                                            dialogOptions);
    return QFileDialog::getOpenFileName(parent, request.caption, request.proposed, request.filter, nullptr,
                                        dialogOptions);
}

} // namespace

QString FileChooser::saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                  const QString& filter)
{
    return choose(parent, {Mode::Save, caption, proposed, filter});
}

QString FileChooser::openFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                  const QString& filter)
{
    return choose(parent, {Mode::Open, caption, proposed, filter});
}

void FileChooser::setHandler(const Handler& h)
{
    handler() = h;
}

QString FileChooser::joinPath(const QString& folder, const QString& fileName)
{
    if (folder.isEmpty())
        return fileName;
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + QLatin1Char('/') + fileName;
}
