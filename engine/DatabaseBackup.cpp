#include "engine/DatabaseBackup.h"

#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/FileCopy.h"
#include "engine/LongTask.h"
#include "engine/MessageLog.h"
#include "engine/PrivateConnection.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ProtectedFiles.h"
#include "engine/RestoreCopy.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

void setText(QString* out, const QString& text)
{
    if (out)
        *out = text;
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// SQLite's rollback journal leaves the file whole between transactions; in
// WAL mode what was written lately may sit in the WAL file only.
bool isDeleteMode(const QString& mode)
{
    return mode.compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0;
}

QString walFile(const QString& database)
{
    return database + QStringLiteral("-wal");
}

// The file's header says which journal it keeps: bytes 18 and 19 are 1 for
// a rollback journal, 2 for WAL.
bool hasRollbackHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(100);
    return header.size() == 100 && header.at(18) == 1 && header.at(19) == 1;
}

// Like a saved file, a backup chosen through a symbolic link is written to
// the file the link leads to; the link stays.
QString linkEnd(const QString& path)
{
    QFileInfo info(path);
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

// Copies the database into a new file beside target under the write lock,
// on a connection of its own (the program's belongs to the window's
// thread), and only when the file alone holds everything: a rollback
// journal, no WAL file. Empty when it worked or was stopped, else why not.
QString copyUnderLock(const QString& live, const QString& target, LongTask* task, FileCopy* copy, qint64* size)
{
    const QString folder = native(QFileInfo(target).absolutePath());
    const PrivateConnection connection(live);
    if (!connection.isOpen())
        return QStringLiteral("Не удалось открыть базу данных для копирования: %1.").arg(connection.openError().text());
    QSqlQuery query(connection.db());
    QString why;
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        why = QStringLiteral("Не удалось заблокировать базу данных для копирования: %1.").arg(query.lastError().text());
    else if (query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next() && !isDeleteMode(query.value(0).toString()))
        why = QStringLiteral("База данных ведёт журнал в режиме %1: копия одного её файла была бы неполной.")
                  .arg(query.value(0).toString().toUpper());
    else if (QFileInfo(walFile(live)).size() > 0)
        why = QStringLiteral("Рядом с базой данных остался журнал %1: копия без него была бы неполной.\n"
                             "Закройте другие программы, работающие с базой данных, и повторите.")
                  .arg(native(walFile(live)));
    else if (!copy->createUnique(target + QStringLiteral(".XXXXXX")))
        why = QStringLiteral("Не удалось создать файл в папке %1: %2.").arg(folder, copy->errorText()) + copy->roomHint();
    if (why.isEmpty()) {
        *size = QFileInfo(live).size();
        if (task)
            task->beginStage(QStringLiteral("Копирование базы данных…"), *size, true);
        const FileCopy::Result result = copy->copyFrom(live, task);
        if (result == FileCopy::Result::Failed && copy->readFailed())
            why = QStringLiteral("Не удалось прочитать файл базы данных %1: %2.").arg(native(live), copy->errorText());
        else if (result == FileCopy::Result::Failed)
            why = QStringLiteral("Не удалось записать резервную копию в папку %1: %2.").arg(folder, copy->errorText())
                + copy->roomHint();
    }
    query.finish();
    query.exec(QStringLiteral("ROLLBACK"));
    return why;
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

// ---------------------------------------------------------------- backup

bool DatabaseBackup::backup(const QString& target, QString* reason, bool* damaged)
{
    return prepareBackup(target, reason) && writeBackup(target, nullptr, reason, damaged);
}

bool DatabaseBackup::prepareBackup(const QString& target, QString* reason)
{
    setText(reason, QString());
    const QString refusal = ProtectedFiles::refusalText(target);
    if (!refusal.isEmpty()) {
        VLOG << "Database::backup(" << target << ") refused: a file the program lives on";
        setText(reason, refusal);
        return false;
    }
    if (QFileInfo(target).isDir()) {
        setText(reason, QStringLiteral("%1 — это папка. Укажите имя файла резервной копии.").arg(native(target)));
        return false;
    }
    Database* db = Database::instance();
    if (!db || !db->m_db.isOpen()) {
        setText(reason, QStringLiteral("База данных не открыта."));
        return false;
    }
    // Leaving WAL mode writes what the WAL file holds into the database file.
    QString error;
    const QString mode = db->useRollbackJournal(&error);
    if (isDeleteMode(mode))
        return true;
    VLOG << "Database::backup cant leave the journal mode" << mode << error;
    setText(reason, QStringLiteral("База данных ведёт журнал в режиме %1, и перевести её в обычный режим не удалось: "
                                   "%2.\nЗакройте другие программы, работающие с базой данных, и повторите.")
                        .arg(mode.toUpper(), error));
    return false;
}

// Written beside the target first, so a failed or stopped copy leaves an older
// backup of the same name as it was.
bool DatabaseBackup::writeBackup(const QString& chosen, LongTask* task, QString* reason, bool* damaged)
{
    setText(reason, QString());
    const QString target = linkEnd(chosen);
    if (damaged)
        *damaged = false;
    const QString live = Database::databaseFileName();
    const auto fail = [&](const QString& why) {
        VLOG << "Database::backup" << false << target << why;
        setText(reason, why);
        return false;
    };

    FileCopy copy;
    qint64 size = 0;
    const QString why = copyUnderLock(live, target, task, &copy, &size);
    if (!why.isEmpty())
        return fail(why);
    if (task && task->isCancelled()) {
        VLOG << "Database::backup(" << target << ") cancelled";
        return false;
    }

    // Checked before it is called a backup: all of the file, a rollback
    // journal's header, and SQLite's own check of every page.
    if (task)
        task->beginStage(QStringLiteral("Проверка резервной копии…"), 0, true);
    if (QFileInfo(copy.path()).size() != size || !hasRollbackHeader(copy.path()))
        return fail(QStringLiteral("Копия не совпала с базой данных. Повторите создание резервной копии."));
    // A damaged database is copied all the same: the copy may be the best
    // there is. The caller tells the user it is not whole.
    const bool whole = DatabaseIntegrity::isWhole(copy.path(), DatabaseIntegrity::Depth::Full);
    if (task && task->isCancelled()) {
        VLOG << "Database::backup(" << target << ") cancelled";
        return false;
    }

    // Whoever could read an older file there still can; a new one is as
    // readable as the database it copies.
    copy.setPermissions(QFile(QFileInfo::exists(target) ? target : live).permissions());
    if (!copy.moveTo(target))
        return fail(QStringLiteral("Не удалось заменить файл %1: %2.").arg(native(target), copy.errorText()));
    copy.keep();
    VLOG << "Database::backup" << true << target << "whole:" << whole;
    if (damaged)
        *damaged = !whole;
    return true;
}

// ---------------------------------------------------------------- restore

bool DatabaseBackup::restore(const QString& source, QString* reason, QString* keptCopy)
{
    setText(keptCopy, QString());
    if (!checkRestoreSource(source, reason))
        return false;
    RestoreCopy copy(source);
    if (!copy.prepare(nullptr)) {
        setText(reason, copy.reason());
        return false;
    }
    return swapIn(copy, reason, keptCopy);
}

bool DatabaseBackup::checkRestoreSource(const QString& source, QString* reason)
{
    setText(reason, QString());
    if (!QFileInfo(source).isFile()) {
        VLOG << "Database::restore(" << source << ") file does not exist!!!";
        return false;
    }
    if (ProtectedFiles::kindOf(source) == ProtectedFiles::Kind::Database) {
        VLOG << "Database::restore(" << source << ") refused: the source is the database itself";
        setText(reason, QStringLiteral("Файл %1 — это рабочая база данных программы или её служебный файл, а не "
                                       "резервная копия.")
                            .arg(native(source)));
        return false;
    }
    Database* db = Database::instance();
    if (!db)
        return false;
    if (db->m_readOnly) {
        VLOG << "Database::restore(" << source << ") refused: the database is read-only";
        setText(reason, QStringLiteral("База данных открыта только для чтения: заменить её нельзя."));
        return false;
    }
    return true;
}

// The connection is closed only for the rename: the database stayed in place
// and open until the checked copy was ready beside it.
bool DatabaseBackup::swapIn(RestoreCopy& copy, QString* reason, QString* keptCopy)
{
    setText(reason, QString());
    setText(keptCopy, QString());
    Database* db = Database::instance();
    if (!db)
        return false;
    const QString live = Database::databaseFileName();
    db->m_db.close();
    const bool replaced = copy.replace(live);
    if (!replaced)
        setText(reason, copy.reason());
    if (!db->openConnection()) {
        VLOG << "Database::restore cant reopen the database";
        setText(reason, QStringLiteral("Не удалось открыть базу данных %1: %2.").arg(native(live), db->m_db.lastError().text()));
        return false;
    }
    if (!replaced)
        return false;

    // Tables may have changed: new callers get fresh models; the old ones keep
    // working on the same connection object.
    db->m_models.clear();
    Database::setKnownDamaged(false);
    VLOG << "Database::restore OK!" << "kept:" << copy.keptCopy();
    setText(keptCopy, copy.keptCopy());
    return true;
}

QStringList DatabaseBackup::removeStaleRestoreFiles(const QString& dataDir)
{
    // Exactly the restore's own names: the pattern with its six letters.
    QString pattern = QRegularExpression::escape(RestoreCopy::temporaryNamePattern());
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
