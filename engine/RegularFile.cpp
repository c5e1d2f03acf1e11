#include "engine/RegularFile.h"

#include "engine/MessageLog.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A device, never a folder: nothing below it exists or can be created, not
// even by root.
const QString kNowhere = QStringLiteral("/dev/null");

} // namespace

bool RegularFile::isRegularOrAbsent(const QString& path)
{
    // Follows links; a dangling link is absent.
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

QString RegularFile::settingsFileName(const QString& path)
{
    if (isRegularOrAbsent(path))
        return path;
    VLOG << "not a regular file, its settings are not read and not saved:" << path;
    return kNowhere + QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString RegularFile::intendedFileName(const QString& settingsFileName)
{
    if (settingsFileName.startsWith(kNowhere + QLatin1Char('/')))
        return settingsFileName.mid(kNowhere.size());
    return settingsFileName;
}
