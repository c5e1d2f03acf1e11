#include "engine/Database.h"

#include "engine/DatabaseBackup.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/DatabaseSchema.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/RegularFile.h"
#include "engine/WidgetUtilities.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QScopedPointer>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QVector>

#include <algorithm>

namespace {

const char* const FixedDataPath = "/var/lib/VelSoftware";

QString g_testDataPath;
QString g_dataPath;
QString g_userSettingsPath;
QPointer<QSettings> g_userSettings;
QPointer<QSettings> g_commonSettings;
QPointer<QSettings> g_productSettings;
// The file each settings object stands for when it is not read; else empty.
QString g_userSettingsUnread;
QString g_commonSettingsUnread;
QString g_productSettingsUnread;

Database* g_instance = nullptr;
bool g_constructing = false; // the repair box runs an event loop inside the constructor
int g_exitCode = 0;
bool g_knownDamaged = false;
bool g_readOnlyForTesting = false;

// The default connection, made on first use. It is never removed, so models
// handed out earlier stay bound to a valid connection object.
QSqlDatabase defaultConnection()
{
    if (QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)))
        return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
}

// A settings file that is not a regular file is not opened at all: a named
// pipe would block QSettings for good.
QSettings* makeSettings(const QString& fileName, QString* unread)
{
    const QString path = QDir::cleanPath(fileName);
    const QString usable = RegularFile::settingsFileName(path);
    *unread = usable == path ? QString() : path;
    return new QSettings(usable, QSettings::IniFormat);
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

void Database::setKnownDamaged(bool damaged)
{
    if (damaged != g_knownDamaged)
        VLOG << "the database is known damaged:" << damaged;
    g_knownDamaged = damaged;
}

bool Database::isKnownDamaged()
{
    return g_knownDamaged;
}

void Database::noteReadFailure(const QSqlError& error)
{
    if (DatabaseIntegrity::isDamage(error))
        setKnownDamaged(true);
}

Database::Database(bool checkStructure)
{
    initSettings();
    // What is known of damage belongs to the file opened now.
    setKnownDamaged(false);
    const QString fileName = databaseFileName();
    VLOG << fileName;
    if (!mayWrite(fileName)) {
        openReadOnly(fileName, checkStructure);
        return;
    }

    const DatabaseSchema::FileCheck check =
        checkStructure ? DatabaseSchema::checkFile(fileName, false) : DatabaseSchema::FileCheck::Passed;
    if (check == DatabaseSchema::FileCheck::NotWritten) {
        // A good file that could not be brought up to date is no reason to replace it.
        reportOpenFailure(QStringLiteral("Не удалось обновить структуру базы данных.\n"
                                         "Возможно, на диске нет свободного места. Освободите место и запустите "
                                         "программу снова."));
        return;
    }
    if (check == DatabaseSchema::FileCheck::WrongStructure) {
        const QFileInfo info(fileName);
        const bool hasContent = info.exists() && info.size() > 0;
        if (hasContent) {
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
        if (info.exists()) {
            const QString kept = moveAside(fileName);
            if (kept.isEmpty())
                return;
            // The user may still want what the old file holds.
            if (hasContent) {
                showPlainMessage(nullptr, QMessageBox::Information, QStringLiteral("Информация"),
                                 QStringLiteral("Прежний файл базы данных сохранён в файле %1.")
                                     .arg(QDir::toNativeSeparators(kept)));
            }
        }
        if (!createNewDatabase())
            return;
    }

    if (!openConnection()) {
        reportOpenFailure(m_db.lastError().text());
        return;
    }
    // Damage met by the structure check is the program's own file with pages
    // SQLite cannot read: it is opened as it is, and the window warns of it.
    prepareSchema(check == DatabaseSchema::FileCheck::Damaged);
}

// A start writes only what must change: the views when the stored ones differ
// from the program's, the indexes when one is missing; a current file stays
// byte for byte as it was. Before any such write the file is checked, and a
// damaged one is never written to.
void Database::prepareSchema(bool damaged)
{
    DatabaseSchema schema(m_db);
    const bool viewsCurrent = schema.viewsAreCurrent();
    const bool indexesThere = schema.hasDetailIndexes();
    if (!damaged && (!viewsCurrent || !indexesThere))
        damaged = !DatabaseIntegrity::isWhole(databaseFileName(), DatabaseIntegrity::Depth::Quick);
    if (damaged) {
        setKnownDamaged(true);
        if (!schema.hasViews()) {
            m_db.close();
            reportOpenFailure(QStringLiteral("Файл базы данных повреждён: часть его данных не читается, а представлений, "
                                             "без которых программа не может работать, в нём нет. В повреждённый файл "
                                             "программа ничего не записывает.\n"
                                             "Замените этот файл резервной копией базы данных."));
            return;
        }
        m_state = State::Open;
        return;
    }
    // When making the views fails the old ones stay, and only a database left
    // without them cannot be worked with.
    if (!viewsCurrent && !schema.rebuildViews() && !schema.hasViews()) {
        const QString error = schema.lastError();
        m_db.close();
        reportOpenFailure(QStringLiteral("Не удалось создать представления базы данных: %1.\n"
                                         "Возможно, на диске нет свободного места. Освободите место и запустите "
                                         "программу снова.")
                              .arg(error));
        return;
    }
    // Only speed depends on the indexes; the next start tries again.
    if (!indexesThere)
        schema.createDetailIndexes();
    m_state = State::Open;
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
    const DatabaseSchema::FileCheck check =
        checkStructure ? DatabaseSchema::checkFile(fileName, true) : DatabaseSchema::FileCheck::Passed;
    if (check != DatabaseSchema::FileCheck::Passed && check != DatabaseSchema::FileCheck::Damaged) {
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
    setKnownDamaged(check == DatabaseSchema::FileCheck::Damaged);
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
    if (!readOnly)
        useRollbackJournal();
    return true;
}

// The program works with SQLite's rollback journal ("DELETE"); a file another
// tool left in write-ahead mode is converted, which writes what the WAL file
// holds into the database file. The mode is set only when it differs, as
// setting it writes to the file. Returns the mode the file keeps now; error
// says why it could not be set.
QString Database::useRollbackJournal(QString* error)
{
    const QString wanted = QStringLiteral("delete");
    QSqlQuery query(m_db);
    QString mode = query.exec(QStringLiteral("PRAGMA journal_mode;")) && query.next() ? query.value(0).toString() : QString();
    if (mode.compare(wanted, Qt::CaseInsensitive) == 0)
        return mode;
    query.finish();
    if (query.exec(QStringLiteral("PRAGMA journal_mode = DELETE;")) && query.next())
        mode = query.value(0).toString();
    if (mode.compare(wanted, Qt::CaseInsensitive) == 0) {
        VLOG << "journal mode set to" << wanted;
        return mode;
    }
    const QString why = query.lastError().isValid() ? query.lastError().text() : mode;
    VLOG << "cant set the journal mode" << mode << why;
    if (error)
        *error = why;
    return mode;
}

// Moves a file of the wrong structure or an empty one aside and returns its new
// name. A taken ".bak" name gets a counter; a file that cannot be moved is
// never overwritten by the new database (an empty result then).
QString Database::moveAside(const QString& fileName)
{
    const QString target = DatabaseBackup::freeDatedCopyName(dataPath());
    QString lastError;
    if (!target.isEmpty()) {
        QFile file(fileName);
        const bool renamed = file.rename(target);
        VLOG << "rename" << renamed << target;
        if (renamed)
            return target;
        lastError = file.errorString();
    }
    reportOpenFailure(QStringLiteral("Не удалось переместить файл с неверным форматом в резервную копию. %1")
                          .arg(lastError));
    return QString();
}

// A new database from the compiled-in scripts. When that fails (a full disk
// fails at the commit) the new file is removed, so that it never passes for a
// good database at a later start, and the user is told.
bool Database::createNewDatabase()
{
    if (!openConnection()) {
        reportOpenFailure(m_db.lastError().text());
        return false;
    }
    const QString error = DatabaseSchema(m_db).create();
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
QString Database::getVariable(const QString& name, QSqlError* error)
{
    Database* db = instance();
    if (!db)
        return QString();
    QSqlQuery query(db->m_db);
    query.prepare(QStringLiteral("SELECT Value FROM Variables WHERE Name LIKE ?;"));
    query.addBindValue(name);
    if (execQuery(query) && query.next())
        return query.value(0).toString();
    // A read that stopped at damaged pages looks like a missing row.
    if (error)
        *error = query.lastError();
    return QString();
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

// ---------------------------------------------------------------- backup, restore and structure

bool Database::backup(const QString& target, QString* reason, bool* damaged)
{
    return DatabaseBackup::backup(target, reason, damaged);
}

bool Database::restore(const QString& source, QString* reason, QString* keptCopy)
{
    return DatabaseBackup::restore(source, reason, keptCopy);
}

bool Database::checkDbStructure(const QString& path, bool readOnly)
{
    return DatabaseSchema::checkFile(path, readOnly) == DatabaseSchema::FileCheck::Passed;
}

void Database::applyPatch()
{
    if (Database* db = instance())
        DatabaseSchema(db->m_db).patch();
}

void Database::updateViews()
{
    if (Database* db = instance())
        DatabaseSchema(db->m_db).rebuildViews();
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
        g_userSettings = makeSettings(QDir(g_userSettingsPath).absolutePath() + QStringLiteral("//settings.ini"),
                                      &g_userSettingsUnread);

    if (g_dataPath.isEmpty()) {
        // The data directory is fixed; the user's "dataPath" key does not move
        // it (checkLastStartedVersion only warns about it).
        g_dataPath = g_testDataPath.isEmpty() ? QString::fromLatin1(FixedDataPath) : g_testDataPath;
        QDir(g_dataPath).mkpath(QStringLiteral("."));
    }
    const QString data = QDir(g_dataPath).absolutePath();
    if (!g_productSettings)
        g_productSettings = makeSettings(data + QLatin1Char('/') + ProductTypeInfo::applicationName() + QStringLiteral(".ini"),
                                         &g_productSettingsUnread);
    if (!g_commonSettings)
        g_commonSettings = makeSettings(data + QStringLiteral("/settings.ini"), &g_commonSettingsUnread);
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

QStringList Database::unreadSettingsFiles()
{
    initSettings();
    QStringList files;
    for (const QString& file : {g_userSettingsUnread, g_commonSettingsUnread, g_productSettingsUnread}) {
        if (!file.isEmpty())
            files << file;
    }
    return files;
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
