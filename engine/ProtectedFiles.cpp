#include "engine/ProtectedFiles.h"

#include "engine/Database.h"
#include "engine/ProductTypeInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

// The absolute path a name stands for: its folder resolved (links and ".."),
// and a symbolic link followed to the end of its chain, whether that exists.
QString resolvedPath(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            break;
        current = info.symLinkTarget(); // absolute, whether the target exists or not
    }
    const QFileInfo info(current);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName());
}

bool sameInode(const QString& a, const QString& b)
{
    struct stat first{}, second{};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0 || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool isDatabaseFile(const QString& path)
{
    const QString database = Database::databaseFileName();
    return path == database || path.startsWith(database + QLatin1Char('-'));
}

} // namespace

QStringList ProtectedFiles::paths()
{
    const QString database = Database::databaseFileName();
    const QString data = QDir(Database::dataPath()).absolutePath();
    const QString user = QDir(Database::userSettingsPath()).absolutePath();
    return {
        database,
        database + QStringLiteral("-journal"),
        database + QStringLiteral("-wal"),
        database + QStringLiteral("-shm"),
        data + QStringLiteral("/settings.ini"),
        data + QLatin1Char('/') + ProductTypeInfo::applicationName() + QStringLiteral(".ini"),
        user + QStringLiteral("/settings.ini"),
    };
}

ProtectedFiles::Kind ProtectedFiles::kindOf(const QString& path)
{
    if (path.isEmpty())
        return Kind::None;
    const QString target = resolvedPath(path);
    for (const QString& own : paths()) {
        if (target == resolvedPath(own) || sameInode(path, own))
            return isDatabaseFile(own) ? Kind::Database : Kind::Settings;
    }
    return Kind::None;
}

QString ProtectedFiles::refusalText(const QString& path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (kindOf(path)) {
    case Kind::Database:
        return QStringLiteral("Файл %1 нельзя перезаписать: это рабочая база данных программы (или её служебный "
                              "файл), и все документы в ней были бы утрачены.\nВыберите другое имя файла или другую "
                              "папку.")
            .arg(file);
    case Kind::Settings:
        return QStringLiteral("Файл %1 нельзя перезаписать: это файл настроек программы.\nВыберите другое имя файла "
                              "или другую папку.")
            .arg(file);
    case Kind::None:
        break;
    }
    return QString();
}
