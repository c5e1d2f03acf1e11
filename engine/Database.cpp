#include "engine/Database.h"

#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/WidgetUtilities.h"
#include "report/AtomicFileWriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QSaveFile>
#include <QScopedPointer>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTemporaryFile>
#include <QDateTime>
#include <QVector>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* const FixedDataPath = "/var/lib/VelSoftware";
const char* const CheckConnectionName = "velspo_structure_check";

QString g_testDataPath;
QString g_dataPath;
QString g_userSettingsPath;
QPointer<QSettings> g_userSettings;
QPointer<QSettings> g_commonSettings;
QPointer<QSettings> g_productSettings;

Database* g_instance = nullptr;
bool g_constructing = false; // the repair box runs an event loop inside the constructor
int g_exitCode = 0;
bool g_readOnlyForTesting = false;

// The compiled-in scripts are split on ';' (no statement holds one inside a
// text constant). Returns false when the resource cannot be read.
bool readScript(const QString& resource, QStringList* pieces)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        VLOG << "cant open" << resource;
        return false;
    }
    *pieces = QString::fromUtf8(file.readAll()).split(QLatin1Char(';'));
    return true;
}

// The default connection, made on first use. It is never removed, so models
// handed out earlier stay bound to a valid connection object.
QSqlDatabase defaultConnection()
{
    if (QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)))
        return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
}

// Older files lack moduleExamCount; a file without ModuleDetails gets the table
// from the patch script without it, so this runs before and after the script.
void addModuleExamCount(const QSqlDatabase& db)
{
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT moduleExamCount from ModuleDetails;"))) {
        QSqlQuery alter(db);
        alter.exec(QStringLiteral("ALTER TABLE ModuleDetails ADD COLUMN moduleExamCount INTEGER;"));
    }
}

void patchDatabase(const QSqlDatabase& db)
{
    addModuleExamCount(db);
    QStringList pieces;
    if (!readScript(QStringLiteral(":/patch.sql"), &pieces))
        return;
    for (const QString& piece : qAsConst(pieces)) {
        const QString statement = piece.trimmed().simplified();
        if (statement.isEmpty())
            continue;
        QSqlQuery query(db);
        query.exec(statement); // statements that do not apply are expected to fail
    }
    addModuleExamCount(db);
}

void rebuildViews(const QSqlDatabase& db)
{
    QStringList pieces;
    if (!readScript(QStringLiteral(":/views.sql"), &pieces))
        return;
    for (const QString& piece : qAsConst(pieces)) {
        if (piece.trimmed().isEmpty())
            continue;
        QSqlQuery query(db);
        if (!query.exec(piece))
            VLOG << "SQL ERROR" << query.lastError().text() << piece;
    }
}

// The supplement editor reads one document's detail rows and one module's
// sub-subjects at a time; without these indexes each such read scans a table
// that holds the rows of every document. Its two proposal lists read one
// column of every document, which an index holds in far fewer pages. Older
// databases get them when they are opened; the structure check does not ask
// for them.
void createDetailIndexes(const QSqlDatabase& db)
{
    static const char* const statements[] = {
        "CREATE INDEX IF NOT EXISTS DisciplineDetailsBySpoId ON DisciplineDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS PracticeDetailsBySpoId ON PracticeDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS AttestationDetailsBySpoId ON AttestationDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS CourseworkDetailsBySpoId ON CourseworkDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS ModuleDetailsBySpoId ON ModuleDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS DMDetailsBySpoId ON DMDetails (spoId)",
        "CREATE INDEX IF NOT EXISTS DMDetailsByModuleId ON DMDetails (moduleId)",
        "CREATE INDEX IF NOT EXISTS SpoDocumentsByPreviousEducation ON SpoDocuments (previousEducation)",
        "CREATE INDEX IF NOT EXISTS SpoDocumentsByTotalCount ON SpoDocuments (totalCount)",
    };
    for (const char* statement : statements) {
        QSqlQuery query(db);
        if (!query.exec(QLatin1String(statement)))
            VLOG << "SQL ERROR" << query.lastError().text() << statement;
    }
}

// Runs the check script; false at the first statement that fails.
bool runStructureCheck(const QSqlDatabase& db, const QString& path)
{
    QStringList pieces;
    if (!readScript(QStringLiteral(":/checkDbStructure.sql"), &pieces))
        return true;
    for (const QString& piece : qAsConst(pieces)) {
        const QString statement = piece.trimmed().simplified();
        if (statement.isEmpty())
            continue;
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            VLOG << "checkDbStructure(" << path << ") table wrong format" << statement << query.lastError().text();
            return false;
        }
    }
    return true;
}

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

// A free name beside the database for a copy kept aside: the application name,
// the time and date, and ".bak"; a counter when that name is taken. Empty
// when every name of this minute is taken.
QString freeDatedCopyName(const QString& dataDir)
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

QSettings* makeSettings(const QString& fileName)
{
    return new QSettings(QDir::cleanPath(fileName), QSettings::IniFormat);
}

} // namespace

// ---------------------------------------------------------------- lifecycle

bool Database::init(bool checkStructure)
{
    if (g_instance)
        return true;
    if (g_constructing)
        return false;
    g_exitCode = 0;
    g_constructing = true;
    auto* created = new Database(checkStructure);
    g_constructing = false;
    if (created->m_state == State::Open) {
        g_instance = created;
        return true;
    }
    g_exitCode = created->m_state == State::Refused ? 0 : 1;
    delete created;
    return false;
}

Database* Database::instance()
{
    if (!g_instance)
        init(true);
    return g_instance;
}

int Database::startupExitCode()
{
    return g_exitCode;
}

bool Database::isOpen()
{
    return g_instance && g_instance->m_db.isOpen();
}

Database::Database(bool checkStructure)
{
    initSettings();
    const QString fileName = databaseFileName();
    VLOG << fileName;
    if (!mayWrite(fileName)) {
        openReadOnly(fileName, checkStructure);
        return;
    }

    if (checkStructure && !checkDbStructure(fileName)) {
        const QFileInfo info(fileName);
        if (info.exists() && info.size() > 0) {
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Внимание!"),
                            QStringLiteral("Неверный формат базы данных. \nБудет создана пустая база данных "
                                           "верного формата взамен текущей"),
                            QMessageBox::Ok | QMessageBox::Cancel);
            if (box.exec() != QMessageBox::Ok) {
                VLOG << "repair refused, the file is left as it is";
                m_state = State::Refused;
                return;
            }
        }
        if (info.exists() && !moveAside(fileName))
            return;
        if (!createNewDatabase())
            return;
    }

    if (!openConnection()) {
        reportOpenFailure(m_db.lastError().text());
        return;
    }
    m_state = State::Open;
    rebuildViews(m_db);
    createDetailIndexes(m_db);
}

Database::~Database()
{
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    // The models are never deleted: callers may still hold them.
    m_models.clear();
    syncSettings();
    for (QSettings* settings : {g_userSettings.data(), g_commonSettings.data(), g_productSettings.data()}) {
        if (settings)
            settings->deleteLater();
    }
    if (g_instance == this)
        g_instance = nullptr;
}

void Database::close()
{
    if (g_instance)
        g_instance->m_db.close();
}

void Database::destroy()
{
    delete g_instance;
    g_instance = nullptr;
}

// SQLite writes its journal beside the file, so the folder counts as well.
bool Database::mayWrite(const QString& fileName)
{
    if (g_readOnlyForTesting)
        return false;
    const QFileInfo file(fileName);
    return QFileInfo(file.absolutePath()).isWritable() && (!file.exists() || file.isWritable());
}

// Another user's database can still be read and printed from; one that lacks
// part of its structure cannot be patched, and then the program ends.
void Database::openReadOnly(const QString& fileName, bool checkStructure)
{
    const QFileInfo info(fileName);
    const QString file = QDir::toNativeSeparators(fileName);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    VLOG << "no write access to the database or its folder" << file;
    if (!info.isFile() || info.size() == 0) {
        reportOpenFailure(QStringLiteral("Базы данных ещё нет, а создать её нельзя: нет прав на запись в папку %1.\n"
                                         "Попросите администратора компьютера дать вашей учётной записи права "
                                         "на запись в эту папку.")
                              .arg(folder));
        return;
    }
    if (checkStructure && !checkDbStructure(fileName, true)) {
        reportOpenFailure(QStringLiteral("Базу данных нужно обновить или исправить, но нет прав на запись в этот файл "
                                         "или в его папку %1.\nПопросите администратора компьютера дать вашей учётной "
                                         "записи права на запись в них.")
                              .arg(folder));
        return;
    }
    if (!openConnection(true)) {
        reportOpenFailure(m_db.lastError().text());
        return;
    }
    m_state = State::Open;
    m_readOnly = true;
    // The views stay as they are: rebuilding them would write.
    showPlainMessage(nullptr, QMessageBox::Warning, QStringLiteral("Внимание!"),
                     QStringLiteral("Нет прав на запись в базу данных %1 или в её папку %2.\n\n"
                                    "Программа открыла базу только для чтения: документы можно просматривать "
                                    "и печатать, но изменения сохранить не удастся.\n\n"
                                    "Чтобы работать с документами, попросите администратора компьютера дать "
                                    "вашей учётной записи права на запись в этот файл и в эту папку.")
                         .arg(file, folder));
}

bool Database::openConnection(bool readOnly)
{
    m_db = defaultConnection();
    if (m_db.isOpen())
        m_db.close();
    m_db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
    m_db.setDatabaseName(databaseFileName());
    if (!m_db.open()) {
        VLOG << m_db.lastError().text();
        return false;
    }
    return true;
}

// Moves a damaged or empty file aside. A taken ".bak" name gets a counter; a
// file that cannot be moved is never overwritten by the new database.
bool Database::moveAside(const QString& fileName)
{
    const QString target = freeDatedCopyName(dataPath());
    QString lastError;
    if (!target.isEmpty()) {
        QFile file(fileName);
        const bool renamed = file.rename(target);
        VLOG << "rename" << renamed << target;
        if (renamed)
            return true;
        lastError = file.errorString();
    }
    reportOpenFailure(QStringLiteral("Не удалось переместить файл с неверным форматом в резервную копию. %1")
                          .arg(lastError));
    return false;
}

// Builds a new database from the compiled-in scripts in one transaction, so a
// half-made schema is never left behind. When anything fails (a full disk
// fails at the commit) the new file is removed, so that it never passes for a
// good database at a later start, and the user is told.
bool Database::createNewDatabase()
{
    if (!openConnection()) {
        reportOpenFailure(m_db.lastError().text());
        return false;
    }
    QString error;
    QStringList pieces;
    if (!readScript(QStringLiteral(":/database.sql"), &pieces)) {
        error = QStringLiteral("нет описания таблиц");
    } else if (!m_db.transaction()) {
        error = m_db.lastError().text();
    } else {
        for (const QString& piece : qAsConst(pieces)) {
            if (piece.trimmed().isEmpty())
                continue;
            QSqlQuery query(m_db);
            if (!query.exec(piece)) {
                VLOG << query.lastError().text() << piece;
                if (error.isEmpty())
                    error = query.lastError().text();
            }
        }
        patchDatabase(m_db);
        QSqlQuery bosses(m_db);
        if (error.isEmpty() && (!runStructureCheck(m_db, databaseFileName())
                                || !bosses.exec(QStringLiteral("SELECT bossId, bossFio FROM Bosses LIMIT 1;"))))
            error = QStringLiteral("таблицы созданы не полностью");
        bosses.finish();
        if (error.isEmpty() && !m_db.commit())
            error = m_db.lastError().text();
        if (!error.isEmpty())
            m_db.rollback();
    }
    m_db.close();
    if (error.isEmpty())
        return true;

    VLOG << "new database not created" << error;
    const QString fileName = databaseFileName();
    QFile::remove(fileName + QStringLiteral("-journal"));
    if (QFile::exists(fileName) && !QFile::remove(fileName))
        VLOG << "cant remove the half-made database" << fileName;
    reportOpenFailure(QStringLiteral("Не удалось создать новую базу данных: %1.\n"
                                     "Возможно, на диске нет свободного места. Освободите место и запустите "
                                     "программу снова.")
                          .arg(error));
    return false;
}

void Database::reportOpenFailure(const QString& error)
{
    m_state = State::Failed;
    const QString fileName = QDir::toNativeSeparators(databaseFileName());
    VLOG << "cant open database" << fileName << error;
    showPlainMessage(nullptr, QMessageBox::Critical, QStringLiteral("Ошибка"),
                     QStringLiteral("Не удалось открыть базу данных %1\n%2\n\nПрограмма будет закрыта.").arg(fileName, error));
}

// ---------------------------------------------------------------- queries

QSqlQuery* Database::execStr(const QString& sql)
{
    Database* db = instance();
    auto* query = new QSqlQuery(db ? db->m_db : QSqlDatabase());
    if (!query->exec(sql))
        VLOG << query->lastError().text() << sql;
    return query;
}

bool Database::execQuery(QSqlQuery& query)
{
    if (!query.exec()) {
        VLOG << query.lastError().text() << query.lastQuery();
        return false;
    }
    return true;
}

QSqlTableModel* Database::tableModel(const QString& table)
{
    Database* db = instance();
    if (!db)
        return nullptr;
    QSqlTableModel* model = db->m_models.value(table);
    if (!model) {
        model = new QSqlTableModel(nullptr, db->m_db);
        db->m_models.insert(table, model);
        model->setTable(table);
    }
    return model;
}

// The name is matched with LIKE: case-insensitive for Latin letters, and an
// underscore stands for any one character.
QString Database::getVariable(const QString& name)
{
    Database* db = instance();
    if (!db)
        return QString();
    QSqlQuery query(db->m_db);
    query.prepare(QStringLiteral("SELECT Value FROM Variables WHERE Name LIKE ?;"));
    query.addBindValue(name);
    if (!execQuery(query) || !query.next())
        return QString();
    return query.value(0).toString();
}

bool Database::setVariable(const QString& name, const QString& value)
{
    Database* db = instance();
    if (!db)
        return false;
    QSqlQuery query(db->m_db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO Variables VALUES(?, ?);"));
    query.addBindValue(name);
    query.addBindValue(value);
    return execQuery(query);
}

QStringList Database::mostFrequentValues(const QString& table, const QStringList& fields, int limit)
{
    if (fields.isEmpty())
        return {};
    // Counted by the database, one row per distinct stored value (read from an
    // index where there is one), then merged by trimmed text.
    QMap<QString, int> counts;
    for (const QString& field : fields) {
        QScopedPointer<QSqlQuery> query(
            execStr(QStringLiteral("SELECT %1, COUNT(*) FROM %2 GROUP BY %1").arg(field, table)));
        while (query && query->next()) {
            const QString value = query->value(0).toString().trimmed();
            if (!value.isEmpty())
                counts[value] += query->value(1).toInt();
        }
    }
    QVector<QPair<QString, int>> pairs;
    pairs.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        pairs.append(qMakePair(it.key(), it.value()));
    // Stable, so equal counts keep the alphabetical order of the map.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const QPair<QString, int>& a, const QPair<QString, int>& b) { return a.second > b.second; });
    QStringList result;
    for (const auto& pair : qAsConst(pairs)) {
        if (limit > 0 && result.size() >= limit)
            break;
        result.append(pair.first);
    }
    return result;
}

QStringList Database::mostFrequentValues(const QString& table, const QString& field, int limit)
{
    return mostFrequentValues(table, QStringList{field}, limit);
}

// ---------------------------------------------------------------- backup and restore

// Writes through a temporary file beside the target, so a failed copy leaves an
// older backup of the same name as it was.
bool Database::backup(const QString& target)
{
    const QString live = databaseFileName();
    if (isSameFile(target, live)) {
        VLOG << "Database::backup(" << target << ") refused: the target is the database itself";
        return false;
    }
    Database* db = instance();
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
bool Database::restore(const QString& source, QString* reason)
{
    if (reason)
        reason->clear();
    if (!QFileInfo(source).isFile()) {
        VLOG << "Database::restore(" << source << ") file does not exist!!!";
        return false;
    }
    const QString live = databaseFileName();
    if (isSameFile(source, live)) {
        VLOG << "Database::restore(" << source << ") refused: the source is the database itself";
        return false;
    }
    Database* db = instance();
    if (!db)
        return false;
    if (db->m_readOnly) {
        VLOG << "Database::restore(" << source << ") refused: the database is read-only";
        return false;
    }
    const QString untouched = QStringLiteral("\nТекущая база данных не изменена.");

    QTemporaryFile copy(QDir(dataPath()).filePath(ProductTypeInfo::applicationName() + QStringLiteral("-restore-XXXXXX.db")));
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
    if (!checkDbStructure(copy.fileName())) {
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
    const QString kept = freeDatedCopyName(dataPath());
    bool swapped = false;
    if (QFileInfo::exists(live) && (kept.isEmpty() || !QFile::copy(live, kept))) {
        VLOG << "Database::restore(" << source << ") cant keep a copy of the database" << kept;
        if (reason)
            *reason = QStringLiteral("Не удалось сохранить копию текущей базы данных в папке %1.")
                          .arg(QDir::toNativeSeparators(dataPath()))
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
    patchDatabase(db->m_db);
    rebuildViews(db->m_db);
    createDetailIndexes(db->m_db);
    return true;
}

// ---------------------------------------------------------------- structure

bool Database::checkDbStructure(const QString& path, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        VLOG << "checkDbStructure(" << path << ") file not found";
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(CheckConnectionName));
        db.setDatabaseName(path);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            VLOG << "checkDbStructure(" << path << ")" << db.lastError().text();
        } else {
            // The patch is judged together with the file: it stays only when
            // the check passes, so a foreign file is left exactly as it was.
            if (!db.transaction()) {
                VLOG << "checkDbStructure(" << path << ") cant start a transaction" << db.lastError().text();
            } else {
                patchDatabase(db);
                ok = runStructureCheck(db, path);
                if (ok && !db.commit()) {
                    VLOG << "checkDbStructure(" << path << ") cant commit the patch" << db.lastError().text();
                    ok = false;
                }
                if (!ok)
                    db.rollback();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QLatin1String(CheckConnectionName));
    if (ok)
        VLOG << "checkDbStructure(" << path << ") OK!!!";
    return ok;
}

void Database::applyPatch()
{
    Database* db = instance();
    if (db)
        patchDatabase(db->m_db);
}

void Database::updateViews()
{
    if (Database* db = instance())
        rebuildViews(db->m_db);
}

void Database::checkLastStartedVersion()
{
    QSettings* settings = userSettings();
    settings->beginGroup(ProductTypeInfo::applicationName());
    const QString lastVersion = settings->value(QStringLiteral("last_started_version"), QString()).toString();
    bool nonStandardPath = false;
    if (lastVersion != ProductTypeInfo::version())
        nonStandardPath = !settings->value(QStringLiteral("dataPath"), QString()).toString().isEmpty();
    settings->setValue(QStringLiteral("last_started_version"), ProductTypeInfo::version());
    settings->endGroup();

    if (nonStandardPath) {
        QMessageBox::information(nullptr, QStringLiteral("Внимание!"),
                                 QStringLiteral("Похоже, что вы установили новую версию программы и у вас прописан "
                                                "нестандартный путь к файлам настроек и шаблонов.\nДля того, чтобы "
                                                "программа использовала актуальные шаблоны, необходимо зайти в "
                                                "Инструменты - Настройки программы -  Расположение файлов и нажать "
                                                "на кнопку 'Восстановит шаблоны по умолчанию'"),
                                 QMessageBox::Ok);
    }
}

// ---------------------------------------------------------------- settings locations

void Database::initSettings()
{
    if (g_userSettingsPath.isEmpty()) {
        // The folder in which Qt keeps the organisation's user-scope INI files.
        const QSettings probe(QSettings::IniFormat, QSettings::UserScope, ProductTypeInfo::organizationName(),
                              ProductTypeInfo::applicationName());
        g_userSettingsPath = QFileInfo(probe.fileName()).absolutePath();
        QDir(g_userSettingsPath).mkpath(QStringLiteral("."));
    }
    if (!g_userSettings)
        g_userSettings = makeSettings(QDir(g_userSettingsPath).absolutePath() + QStringLiteral("//settings.ini"));

    if (g_dataPath.isEmpty()) {
        // The data directory is fixed; the user's "dataPath" key does not move
        // it (checkLastStartedVersion only warns about it).
        g_dataPath = g_testDataPath.isEmpty() ? QString::fromLatin1(FixedDataPath) : g_testDataPath;
        QDir(g_dataPath).mkpath(QStringLiteral("."));
    }
    const QString data = QDir(g_dataPath).absolutePath();
    if (!g_productSettings)
        g_productSettings = makeSettings(data + QLatin1Char('/') + ProductTypeInfo::applicationName() + QStringLiteral(".ini"));
    if (!g_commonSettings)
        g_commonSettings = makeSettings(data + QStringLiteral("/settings.ini"));
}

QString Database::dataPath()
{
    if (g_dataPath.isEmpty())
        initSettings();
    return g_dataPath;
}

QString Database::userSettingsPath()
{
    if (g_userSettingsPath.isEmpty())
        initSettings();
    return g_userSettingsPath;
}

QString Database::databaseFileName()
{
    return QDir(dataPath()).absolutePath() + QLatin1Char('/') + ProductTypeInfo::applicationName() + QStringLiteral(".db");
}

QSettings* Database::userSettings()
{
    if (!g_userSettings)
        initSettings();
    return g_userSettings;
}

QSettings* Database::commonSettings()
{
    if (!g_commonSettings)
        initSettings();
    return g_commonSettings;
}

QSettings* Database::productSettings()
{
    if (!g_productSettings)
        initSettings();
    return g_productSettings;
}

void Database::syncSettings()
{
    for (QSettings* settings : {g_userSettings.data(), g_commonSettings.data(), g_productSettings.data()}) {
        if (settings)
            settings->sync();
    }
}

void Database::setReadOnlyForTesting(bool readOnly)
{
    g_readOnlyForTesting = readOnly;
}

void Database::setDataPathForTesting(const QString& path)
{
    g_testDataPath = path;
    g_dataPath.clear();
    // Settings on the old directory would keep pointing there.
    delete g_commonSettings.data();
    delete g_productSettings.data();
}
