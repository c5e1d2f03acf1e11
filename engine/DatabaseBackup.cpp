#include "engine/DatabaseBackup.h"

#include "engine/Database.h"
#include "engine/DatabaseSchema.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "report/AtomicFileWriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

// SQLite's own check of every page: a file can hold the right tables and still
// have damaged rows that only show when they are read.
bool passesIntegrityCheck(const QString& path)
{
    const QString connection = QStringLiteral("velspo_integrity_check");
    QStringList answer;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA integrity_check;"))) {
                while (query.next())
                    answer << query.value(0).toString();
            } else {
                answer << query.lastError().text();
            }
            db.close();
        } else {
            answer << db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (answer == QStringList{QStringLiteral("ok")})
        return true;
    VLOG << "integrity check failed" << path << answer.mid(0, 5);
    return false;
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
bool DatabaseBackup::backup(const QString& target)
{
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
    return ok;
}

// The live database stays in place and open until a checked copy of the source
// is ready beside it; the live file is then kept under a dated name and the
// copy replaces it with one rename.
bool DatabaseBackup::restore(const QString& source, QString* reason)
{
    if (reason)
        reason->clear();
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
    const QString untouched = QStringLiteral("\nТекущая база данных не изменена.");

    const QString dataDir = Database::dataPath();
    QTemporaryFile copy(QDir(dataDir).filePath(ProductTypeInfo::applicationName() + QStringLiteral("-restore-XXXXXX.db")));
    if (!copy.open()) {
        VLOG << "Database::restore(" << source << ") cant create a temporary file" << copy.errorString();
        return false;
    }
    QString error;
    const bool copied = copyInto(source, &copy, &error) && copy.flush();
    copy.close();
    if (!copied) {
        VLOG << "Database::restore(" << source << ") cant copy from source to database file" << copy.fileName() << error;
        return false;
    }
    // Other users of the computer share the database file.
    if (QFileInfo::exists(live))
        copy.setPermissions(QFile(live).permissions());

    // Old backups get their missing tables and columns here too.
    if (!Database::checkDbStructure(copy.fileName())) {
        VLOG << "Database::restore(" << source << ") wrong structure, the database is left as it was";
        if (reason)
            *reason = QStringLiteral("Файл не является резервной копией базы данных программы.") + untouched;
        return false;
    }
    if (!passesIntegrityCheck(copy.fileName())) {
        VLOG << "Database::restore(" << source << ") damaged, the database is left as it was";
        if (reason)
            *reason = QStringLiteral("Файл резервной копии повреждён: часть его данных не читается.") + untouched;
        return false;
    }

    // The connection is closed while the live file is copied and replaced, so
    // the kept copy is whole.
    db->m_db.close();
    const QString kept = freeDatedCopyName(dataDir);
    bool swapped = false;
    if (QFileInfo::exists(live) && (kept.isEmpty() || !QFile::copy(live, kept))) {
        VLOG << "Database::restore(" << source << ") cant keep a copy of the database" << kept;
        if (reason)
            *reason = QStringLiteral("Не удалось сохранить копию текущей базы данных в папке %1.")
                          .arg(QDir::toNativeSeparators(dataDir))
                + untouched;
    } else {
        VLOG << "Database::restore: the database before the restore is kept as" << kept;
        swapped = std::rename(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(live).constData()) == 0;
        if (swapped)
            copy.setAutoRemove(false);
        else
            VLOG << "Database::restore(" << source << ") cant replace the database file" << live << std::strerror(errno);
    }

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
    // The structure check above has already patched the copy.
    DatabaseSchema schema(db->m_db);
    schema.rebuildViews();
    schema.createDetailIndexes();
    return true;
}
