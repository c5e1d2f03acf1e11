#include "engine/DatabaseBackup.h"

#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/DatabaseSchema.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "report/AtomicFileWriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The canonical path of a file, or of where it would be created.
QString canonicalTarget(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (dir.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return dir + QLatin1Char('/') + info.fileName();
}

bool isSameFile(const QString& a, const QString& b)
{
    return canonicalTarget(a) == canonicalTarget(b);
}

// Copies source into an already open device in chunks.
bool copyInto(const QString& source, QIODevice* out, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            *error = in.errorString();
            return false;
        }
        if (out->write(chunk) != chunk.size()) {
            *error = out->errorString();
            return false;
        }
    }
    return true;
}

// The name of the temporary copy a restore makes beside the database; a
// killed restore leaves it behind.
QString restoreCopyTemplate()
{
    return ProductTypeInfo::applicationName() + QStringLiteral("-restore-XXXXXX.db");
}

QString noRoomReason(const QString& dataDir, const QString& error)
{
    return QStringLiteral("Не удалось скопировать файл резервной копии в папку %1: %2.\n"
                          "Возможно, на диске не хватает места.")
        .arg(QDir::toNativeSeparators(dataDir), error);
}

// The views and indexes are made on the copy before it replaces the database,
// so that a lack of room shows while the database is still untouched.
bool prepareCopy(const QString& path, QString* error)
{
    const QString connection = QStringLiteral("velspo_restore_prepare");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            DatabaseSchema schema(db);
            ok = schema.rebuildViews();
            if (!ok)
                *error = schema.lastError();
            else if (!schema.createDetailIndexes()) // only speed depends on them; the next start tries again
                VLOG << "Database::restore cant make the indexes" << schema.lastError();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

QString DatabaseBackup::freeDatedCopyName(const QString& dataDir)
{
    const QString base = QDir(dataDir).absolutePath() + QLatin1Char('/') + ProductTypeInfo::applicationName()
        + QDateTime::currentDateTime().toString(QStringLiteral("_hh-mm_dd-MM-yyyy"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = attempt == 0 ? base + QStringLiteral(".bak")
                                          : QStringLiteral("%1_%2.bak").arg(base).arg(attempt);
        if (!QFileInfo::exists(name))
            return name;
    }
    return QString();
}

// Writes through a temporary file beside the target, so a failed copy leaves an
// older backup of the same name as it was.
bool DatabaseBackup::backup(const QString& target, bool* damaged)
{
    if (damaged)
        *damaged = false;
    const QString live = Database::databaseFileName();
    if (isSameFile(target, live)) {
        VLOG << "Database::backup(" << target << ") refused: the target is the database itself";
        return false;
    }
    Database* db = Database::instance();
    // The write lock keeps the file still during the copy.
    bool locked = false;
    if (db && db->m_db.isOpen()) {
        QSqlQuery begin(db->m_db);
        locked = begin.exec(QStringLiteral("BEGIN IMMEDIATE;"));
        if (!locked)
            VLOG << "Database::backup cant lock the database" << begin.lastError().text();
    }

    bool ok = false;
    QString error;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        error = out.errorString();
    else if (copyInto(live, &out, &error))
        ok = AtomicFileWriter::commit(out);
    if (!ok && error.isEmpty())
        error = out.errorString();

    if (locked) {
        QSqlQuery rollback(db->m_db);
        rollback.exec(QStringLiteral("ROLLBACK;"));
    }
    VLOG << "Database::backup" << ok << target << error;
    // A damaged database is copied all the same: the copy may be the best
    // there is. The caller tells the user it is not whole, with the same
    // check a restore makes.
    if (ok && damaged)
        *damaged = !DatabaseIntegrity::isWhole(target, DatabaseIntegrity::Depth::Full);
    return ok;
}

// The live database stays in place and open until a checked copy of the source
// is ready beside it; the live file is then kept under a dated name and the
// copy replaces it with one rename.
bool DatabaseBackup::restore(const QString& source, QString* reason, QString* keptCopy)
{
    if (reason)
        reason->clear();
    if (keptCopy)
        keptCopy->clear();
    if (!QFileInfo(source).isFile()) {
        VLOG << "Database::restore(" << source << ") file does not exist!!!";
        return false;
    }
    const QString live = Database::databaseFileName();
    if (isSameFile(source, live)) {
        VLOG << "Database::restore(" << source << ") refused: the source is the database itself";
        return false;
    }
    Database* db = Database::instance();
    if (!db)
        return false;
    if (db->m_readOnly) {
        VLOG << "Database::restore(" << source << ") refused: the database is read-only";
        return false;
    }
    const auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why + QStringLiteral("\nТекущая база данных не изменена.");
        return false;
    };

    const QString dataDir = Database::dataPath();
    QTemporaryFile copy(QDir(dataDir).filePath(restoreCopyTemplate()));
    if (!copy.open()) {
        VLOG << "Database::restore(" << source << ") cant create a temporary file" << copy.errorString();
        return refuse(noRoomReason(dataDir, copy.errorString()));
    }
    // Held until the copy is gone or has become the database: a start of the
    // program removes only copies that no running restore holds.
    if (::flock(copy.handle(), LOCK_EX | LOCK_NB) != 0)
        VLOG << "Database::restore cant lock" << copy.fileName() << std::strerror(errno);
    QString error;
    if (!copyInto(source, &copy, &error) || !copy.flush()) {
        if (error.isEmpty())
            error = copy.errorString();
        VLOG << "Database::restore(" << source << ") cant copy from source to database file" << copy.fileName() << error;
        return refuse(noRoomReason(dataDir, error));
    }
    // Other users of the computer share the database file.
    if (QFileInfo::exists(live))
        copy.setPermissions(QFile(live).permissions());

    // Old backups get their missing tables and columns here too.
    const DatabaseSchema::FileCheck structure = DatabaseSchema::checkFile(copy.fileName(), false);
    if (structure == DatabaseSchema::FileCheck::NotWritten) {
        VLOG << "Database::restore(" << source << ") cant patch the copy";
        return refuse(QStringLiteral("Не удалось обновить структуру резервной копии.\n"
                                     "Возможно, на диске не хватает места."));
    }
    if (structure != DatabaseSchema::FileCheck::Passed) {
        VLOG << "Database::restore(" << source << ") wrong structure, the database is left as it was";
        return refuse(QStringLiteral("Файл не является резервной копией базы данных программы."));
    }
    if (!DatabaseIntegrity::isWhole(copy.fileName(), DatabaseIntegrity::Depth::Full)) {
        VLOG << "Database::restore(" << source << ") damaged, the database is left as it was";
        return refuse(QStringLiteral("Файл резервной копии повреждён: часть его данных не читается."));
    }
    if (!prepareCopy(copy.fileName(), &error)) {
        VLOG << "Database::restore(" << source << ") cant make the views" << error;
        return refuse(QStringLiteral("Не удалось подготовить резервную копию к работе: %1.\n"
                                     "Возможно, на диске не хватает места.")
                          .arg(error));
    }

    // The connection is closed while the live file is copied and replaced, so
    // the kept copy is whole.
    db->m_db.close();
    const QString kept = freeDatedCopyName(dataDir);
    bool swapped = false;
    if (QFileInfo::exists(live) && (kept.isEmpty() || !QFile::copy(live, kept))) {
        VLOG << "Database::restore(" << source << ") cant keep a copy of the database" << kept;
        refuse(QStringLiteral("Не удалось сохранить копию текущей базы данных в папке %1.")
                   .arg(QDir::toNativeSeparators(dataDir)));
    } else {
        VLOG << "Database::restore: the database before the restore is kept as" << kept;
        swapped = std::rename(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(live).constData()) == 0;
        if (swapped) {
            copy.setAutoRemove(false);
        } else {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            VLOG << "Database::restore(" << source << ") cant replace the database file" << live << why;
            // The database was not replaced, so its copy is not needed.
            if (!kept.isEmpty())
                QFile::remove(kept);
            refuse(QStringLiteral("Не удалось заменить файл базы данных %1: %2.")
                       .arg(QDir::toNativeSeparators(live), why));
        }
    }
    // Closing the copy ends its lock before the database is opened on it.
    copy.close();

    if (!db->openConnection()) {
        VLOG << "Database::restore cant reopen the database";
        return false;
    }
    if (!swapped)
        return false;

    // Tables may have changed: new callers get fresh models; the old ones keep
    // working on the same connection object.
    db->m_models.clear();
    VLOG << "Database::restore OK!";
    if (keptCopy && QFileInfo::exists(kept))
        *keptCopy = kept;
    return true;
}

QStringList DatabaseBackup::removeStaleRestoreFiles(const QString& dataDir)
{
    // Exactly the restore's own names: the template with its six letters.
    QString pattern = QRegularExpression::escape(restoreCopyTemplate());
    pattern.replace(QStringLiteral("XXXXXX"), QStringLiteral("[A-Za-z0-9]{6}"));
    const QRegularExpression own(QStringLiteral("^") + pattern + QStringLiteral("$"));
    QStringList removed;
    const QDir dir(dataDir);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!own.match(name).hasMatch())
            continue;
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A restore still running (in another instance) holds its copy locked.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (QFile::remove(path))
                removed << name;
            else
                VLOG << "cant remove the copy of a broken-off restore" << path;
        } else {
            VLOG << "a restore is running on" << path;
        }
        ::close(fd);
    }
    if (!removed.isEmpty())
        VLOG << "removed the copies of broken-off restores" << removed;
    return removed;
}
