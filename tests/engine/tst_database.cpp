#include "DatabaseFixtures.h"

#include "engine/ProductTypeInfo.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlTableModel>
#include <QTemporaryDir>

#include <unistd.h>

using namespace DatabaseFixtures;
using namespace DocumentFixtures;

namespace {

const QString RepairText = QStringLiteral("Неверный формат базы данных. \nБудет создана пустая база данных верного "
                                          "формата взамен текущей");
const QString OpenFailure = QStringLiteral("Не удалось открыть базу данных");

QStringList backupFiles()
{
    return QDir(Database::dataPath()).entryList({QStringLiteral("VelSpo_*.bak")}, QDir::Files, QDir::Name);
}

const QStringList allTables = {"AttestationDetails", "Bosses",        "CourseworkDetails", "DMDetails", "DisciplineDetails",
                               "ModuleDetails",      "PracticeDetails", "SpoDocuments",     "Variables"};

} // namespace

// Creation, schema, views, the structure check with its repair, variables,
// shared models and the start-up version bookkeeping.
class DatabaseTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetDataDir(); }
    void cleanupTestCase() { resetDataDir(); }

    void firstStartCreatesDatabaseWithoutBox()
    {
        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(Database::startupExitCode(), 0);
        QCOMPARE(Database::databaseFileName(), dataFile("VelSpo.db"));
        QVERIFY(backupFiles().isEmpty());
        QCOMPARE(rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name"),
                 allTables);
        QCOMPARE(rows("SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name"),
                 QStringList({"ViewSpoCourseworks", "ViewSpoDMs", "ViewSpoDetails", "ViewSpoDocuments", "ViewSpoModules"}));
        QVERIFY(Database::checkDbStructure(Database::databaseFileName()));
        QCOMPARE(rows("SELECT name FROM pragma_table_info('ViewSpoDocuments')"),
                 QStringList({"spoId", "fio", "issueDate", "number", "regNumber", "professionName", "editDate"}));
        // Views are rebuilt at every start.
        QVERIFY(exec("DROP VIEW ViewSpoDetails"));
        Database::destroy();
        QVERIFY(Database::init(true));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
    }

    // Every column with its declared type, in declared order ("name type" pairs;
    // a key column is "INTEGER key").
    void newDatabaseHasTheDeclaredSchema_data()
    {
        QTest::addColumn<QString>("columns");
        const QString key = "INTEGER key";
        QTest::newRow("SpoDocuments")
            << "spoId " + key + ", isTemplate INTEGER, isDuplicate INTEGER, isExcellent INTEGER, qual TEXT, "
               "programType INTEGER, professionCode TEXT, professionName TEXT, fio1 TEXT, fio2 TEXT, fio3 TEXT, "
               "decisionDate TEXT, number TEXT, regNumber TEXT, issueDate TEXT, birthDate TEXT, comment TEXT, "
               "editDate TEXT, totalCount TEXT, attestationTotalCount TEXT, practiceTotalCount TEXT, "
               "previousEducation TEXT, additionNumber TEXT, serial TEXT, additionSerial TEXT, deductionDate TEXT, "
               "deductionNumber TEXT";
        QTest::newRow("PracticeDetails")
            << "pracId " + key + ", spoId INTEGER notnull, practiceName TEXT, practiceCount INTRGER, practiceRate TEXT";
        QTest::newRow("DisciplineDetails")
            << "discId " + key + ", spoId INTEGER notnull, disciplineName TEXT, disciplineCount INTRGER, "
               "disciplineCountAudit INTRGER, disciplineRate TEXT";
        QTest::newRow("CourseworkDetails")
            << "cwId " + key + ", spoId INTEGER notnull, cwName TEXT, cwRate TEXT";
        QTest::newRow("AttestationDetails")
            << "attId " + key + ", spoId INTEGER notnull, attestationName TEXT, attestationRate TEXT";
        QTest::newRow("ModuleDetails")
            << "moduleId " + key + ", spoId INTEGER notnull, moduleName TEXT, moduleCount INTEGER, "
               "moduleCountAudit INTEGER, moduleRate TEXT, moduleExamCount INTEGER";
        QTest::newRow("DMDetails")
            << "dmId " + key + ", spoId INTEGER notnull, moduleId INTEGER notnull, dmName TEXT, dmCount INTEGER, "
               "dmCountAudit INTEGER, dmRate TEXT";
        QTest::newRow("Bosses") << "bossId " + key + ", bossFio TEXT";
        QTest::newRow("Variables") << "Name TEXT key, Value TEXT";
    }

    void newDatabaseHasTheDeclaredSchema()
    {
        QFETCH(QString, columns);
        QVERIFY(Database::init(true));
        const QString table = QTest::currentDataTag();
        const QStringList declared = rows(QStringLiteral(
            "SELECT name || ' ' || type || CASE WHEN pk THEN ' key' WHEN \"notnull\" THEN ' notnull' ELSE '' END "
            "FROM pragma_table_info('%1')").arg(table));
        QCOMPARE(declared.join(", "), columns);
    }

    // A database of an older version, once patched, has exactly the structure
    // of a new one, declared types included; its rows survive.
    void oldDatabaseIsPatchedToTheNewStructure_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("first version") << QStringList();
        QTest::newRow("modules without exams")
            << QStringList{"CREATE TABLE ModuleDetails (moduleId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE, "
                           "spoId INTEGER NOT NULL, moduleName TEXT, moduleCount INTEGER, moduleCountAudit INTEGER, "
                           "moduleRate TEXT)",
                           "INSERT INTO ModuleDetails (spoId, moduleName) VALUES (1, 'ПМ.01')"};
    }

    void oldDatabaseIsPatchedToTheNewStructure()
    {
        QFETCH(QStringList, extra);
        QVERIFY(Database::init(true));
        QMap<QString, QStringList> fresh;
        for (const QString& table : allTables)
            fresh[table] = tableInfo(table);
        QCOMPARE(fresh["SpoDocuments"].size(), 27);
        resetDataDir();

        QVERIFY(makeSqliteFile(Database::databaseFileName(),
                               oldSchema() << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')" << extra));
        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QVERIFY(backupFiles().isEmpty());
        for (const QString& table : allTables)
            QCOMPARE(tableInfo(table), fresh[table]);
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Старый  "}));
        QCOMPARE(count("ModuleDetails"), extra.size() / 2);
    }

    void detailsViewRows()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, practiceTotalCount, attestationTotalCount) VALUES (1, '108', '216'), "
                     "(2, NULL, NULL), (5, NULL, NULL)"));
        QVERIFY(exec("INSERT INTO DisciplineDetails (discId, spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                     "disciplineRate) VALUES (1, 1, 'История', '36,5', 30, '5'), (2, 1, 'Математика', 72, '40,5', '4'), "
                     "(3, 2, 'Чужая', 10, 10, '3'), (4, 1, 'Без часов', NULL, NULL, '3'), (5, 2, 'Чужая', 10, 10, '3')"));
        QVERIFY(exec("INSERT INTO ModuleDetails (moduleId, spoId, moduleName, moduleCount, moduleCountAudit, moduleRate, "
                     "moduleExamCount) VALUES (1, 1, 'ПМ.01', 100, 80, '5', 0)"));
        // Inserted out of order on purpose: the sub-subjects follow their module in dmId order.
        QVERIFY(exec("INSERT INTO DMDetails (dmId, spoId, moduleId, dmName, dmCount, dmCountAudit, dmRate) "
                     "VALUES (2, 1, 1, 'МДК 01.02', 40, 30, '4'), (1, 1, 1, 'МДК 01.01', 60, 50, '5')"));
        QVERIFY(exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                     "VALUES (1, 'Учебная', 72, '5'), (2, 'Летняя', 36, '5'), (2, 'Летняя', 36, '5')"));
        QVERIFY(exec("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) VALUES (1, 'Защита ВКР', '5')"));
        // "х" is Cyrillic in the totals, "x" Latin in the attestation lines.
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 1"),
                 QStringList({"История|36,5|5", "Математика|72|4", "Без часов||3", "||", "ПМ.01|100|5", "    МДК 01.01|60|5",
                              "    МДК 01.02|40|4", "||", "ВСЕГО часов теоретического обучения:|208.5|х",
                              "в том числе аудиторных часов:|150.5|х", "Практика\\nв том числе:|108|х",
                              "Учебная|72|5", "Государственная итоговая аттестация\\nв том числе:|216|х",
                              "Защита ВКР|x|5"}));
        // Identical lines of one document are both kept, and both counted.
        QCOMPARE(rows("SELECT col1, col2 FROM ViewSpoDetails WHERE spoId = 2 AND (col3 IN ('3', '5') OR col1 LIKE 'ВСЕГО%')")
                     .join(','),
                 QString("Чужая|10,Чужая|10,ВСЕГО часов теоретического обучения:|20,Летняя|36,Летняя|36"));
        // Without disciplines there are no totals of theoretical hours.
        QVERIFY(exec("INSERT INTO ModuleDetails (spoId, moduleName, moduleCount, moduleCountAudit) "
                     "VALUES (5, 'ПМ.02', 50, 40)"));
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 5"),
                 QStringList({"||", "ПМ.02|50|", "||", "Практика\\nв том числе:||х",
                              "Государственная итоговая аттестация\\nв том числе:||х"}));
    }

    void listViewsKeepOrderAndLeaveTemplatesOut()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, isTemplate, fio1, fio2, fio3, number) VALUES "
                     "(1, 0, 'Иванов', 'Иван', 'Иванович', '001'), (2, 1, 'Шаблон', 'Первый', NULL, NULL), "
                     "(3, NULL, 'Петров', NULL, 'Петрович', NULL)"));
        QCOMPARE(rows("SELECT spoId, fio, number FROM ViewSpoDocuments ORDER BY spoId"),
                 QStringList({"1|Иванов Иван Иванович|001", "3|Петров  Петрович|"}));
        QVERIFY(exec("INSERT INTO CourseworkDetails (cwId, spoId, cwName, cwRate) VALUES (2, 1, 'Вторая', '4'), "
                     "(1, 1, 'Первая', '5')"));
        QCOMPARE(rows("SELECT cwName, cwRate FROM ViewSpoCourseworks WHERE spoId = 1"), QStringList({"Первая|5", "Вторая|4"}));
        QVERIFY(exec("INSERT INTO ModuleDetails (moduleId, spoId, moduleName, moduleRate) VALUES (2, 1, 'ПМ.02', '4'), "
                     "(1, 1, 'ПМ.01', '5')"));
        QCOMPARE(rows("SELECT moduleName FROM ViewSpoModules"), QStringList({"ПМ.01", "ПМ.02"}));
    }

    // The damaged file is kept beside under a dated name, with a counter
    // when that name is taken, and a new database takes its place.
    void wrongStructureIsRepairedWithOk()
    {
        // Occupy the ".bak" names of this minute and the next, in case the clock turns.
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (const QDateTime& time : {now, now.addSecs(60)}) {
            taken << dataFile("VelSpo" + time.toString("_hh-mm_dd-MM-yyyy") + ".bak");
            QVERIFY(writeBytes(taken.last(), "older"));
        }
        QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema()));
        const QByteArray original = readBytes(Database::databaseFileName());

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.texts(), QStringList({RepairText}));
        QCOMPARE(answerer.titles(), QStringList({"Внимание!"}));
        for (const QString& name : taken)
            QCOMPARE(readBytes(name), QByteArray("older"));
        const QStringList counted = QDir(Database::dataPath()).entryList({"VelSpo_*_1.bak"}, QDir::Files);
        QCOMPARE(counted.size(), 1);
        QVERIFY2(QRegularExpression("^VelSpo_\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d{4}_1\\.bak$").match(counted.first()).hasMatch(),
                 qPrintable(counted.first()));
        QCOMPARE(readBytes(dataFile(counted.first())), original);
        QCOMPARE(tableInfo("SpoDocuments").size(), 27);
        QCOMPARE(count("SpoDocuments"), 0);
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
    }

    // Cancel leaves a damaged file and the directory as they were. With Ok a
    // file SQLite cannot read is moved aside after the box, an empty one
    // silently, and a new database takes its place.
    void damagedFileIsKeptOrMovedAside_data()
    {
        QTest::addColumn<QStringList>("schema");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("boxes");
        const int cancel = QMessageBox::Cancel, ok = QMessageBox::Ok;
        QTest::newRow("wrong columns, Cancel") << wrongSchema() << QByteArray() << cancel << 1;
        QTest::newRow("foreign tables, Cancel") << foreignSchema() << QByteArray() << cancel << 1;
        QStringList partial = oldSchema();
        partial.removeLast(); // AttestationDetails missing: the patch would add tables before failing
        QTest::newRow("missing table, Cancel") << partial << QByteArray() << cancel << 1;
        QTest::newRow("random bytes, Cancel") << QStringList() << noise() << cancel << 1;
        QTest::newRow("random bytes, Ok") << QStringList() << noise() << ok << 1;
        QTest::newRow("empty file, Ok") << QStringList() << QByteArray() << ok << 0;
    }

    void damagedFileIsKeptOrMovedAside()
    {
        QFETCH(QStringList, schema);
        QFETCH(QByteArray, raw);
        QFETCH(int, answer);
        QFETCH(int, boxes);
        QVERIFY(schema.isEmpty() ? writeBytes(Database::databaseFileName(), raw)
                                 : makeSqliteFile(Database::databaseFileName(), schema));
        const QByteArray original = readBytes(Database::databaseFileName());
        const QStringList before = filesInDataDir();
        QVERIFY(!Database::checkDbStructure(Database::databaseFileName()));
        QCOMPARE(readBytes(Database::databaseFileName()), original);

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        QCOMPARE(Database::init(true), answer == QMessageBox::Ok);
        QCOMPARE(Database::startupExitCode(), 0);
        QCOMPARE(answerer.texts(), boxes ? QStringList({RepairText}) : QStringList());
        if (answer == QMessageBox::Cancel) {
            QVERIFY(!Database::isOpen());
            QCOMPARE(readBytes(Database::databaseFileName()), original);
            QCOMPARE(filesInDataDir(), before);
        } else {
            QCOMPARE(backupFiles().size(), 1);
            QCOMPARE(readBytes(dataFile(backupFiles().first())), original);
            QCOMPARE(tableInfo("SpoDocuments").size(), 27);
        }
    }

    void unopenableDatabaseEndsStartWithCodeOne()
    {
        // A data directory below a plain file can be neither created nor written, even by root.
        QTemporaryDir scratch;
        const QString blocker = scratch.filePath("file");
        QVERIFY(writeBytes(blocker, "x"));
        const QString original = Database::dataPath();
        Database::setDataPathForTesting(blocker + "/data");
        ModalAnswerer answerer;
        const bool started = Database::init(true);
        const bool open = Database::isOpen();
        Database::setDataPathForTesting(original);

        QVERIFY(!started);
        QCOMPARE(Database::startupExitCode(), 1);
        QVERIFY(!open);
        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY2(answerer.texts().first().startsWith(OpenFailure), qPrintable(answerer.texts().first()));
        QVERIFY(answerer.texts().first().contains(blocker + "/data/VelSpo.db"));
        QCOMPARE(answerer.titles().first(), QString("Ошибка"));
        // A later start in a usable directory works again.
        QVERIFY(Database::init(true));
        QCOMPARE(Database::startupExitCode(), 0);
    }

    // Another user's database: read-only after a box, or the end of the start
    // when its structure would need a patch (or there is no file to read).
    void databaseWithoutWriteAccess_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("started");
        QTest::newRow("current structure") << "current" << true;
        QTest::newRow("needs a patch") << "old" << false;
        QTest::newRow("no file") << "none" << false;
    }

    void databaseWithoutWriteAccess()
    {
        QFETCH(QString, kind);
        QFETCH(bool, started);
        if (kind == "current") {
            QVERIFY(Database::init(true));
            QVERIFY(exec("INSERT INTO SpoDocuments (fio1) VALUES ('Чужой')"));
            Database::destroy();
        } else if (kind == "old") {
            QVERIFY(makeSqliteFile(Database::databaseFileName(), oldSchema()));
        }
        const QByteArray before = readBytes(Database::databaseFileName());
        Database::setReadOnlyForTesting(true);
        ModalAnswerer answerer;
        const bool result = Database::init(true);
        const bool stored = result && Database::setVariable("City", "Тверь");
        const QStringList names = result ? rows("SELECT fio1 FROM SpoDocuments") : QStringList();
        Database::destroy();
        Database::setReadOnlyForTesting(false);

        QCOMPARE(result, started);
        QCOMPARE(Database::startupExitCode(), started ? 0 : 1);
        QCOMPARE(answerer.handledCount(), 1);
        const QString text = answerer.texts().first();
        QVERIFY2(text.contains(Database::databaseFileName()) || text.contains(Database::dataPath()), qPrintable(text));
        QVERIFY2(text.contains("администратора"), qPrintable(text));
        QVERIFY(started != text.startsWith(OpenFailure));
        QVERIFY(!stored);
        QCOMPARE(names, started ? QStringList({"Чужой"}) : QStringList());
        QCOMPARE(readBytes(Database::databaseFileName()), before);
        QVERIFY(backupFiles().isEmpty());
    }

    void fileThatCannotBeMovedAsideIsNeverOverwritten()
    {
        if (::geteuid() == 0)
            QSKIP("root renames inside read-only directories");
        QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema()));
        const QByteArray original = readBytes(Database::databaseFileName());
        const QString dir = Database::dataPath();
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        const bool started = Database::init(true);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!started);
        QCOMPARE(Database::startupExitCode(), 1);
        QCOMPARE(answerer.handledCount(), 2);
        QVERIFY(answerer.texts().last().startsWith(OpenFailure));
        QCOMPARE(readBytes(Database::databaseFileName()), original);
        QVERIFY(backupFiles().isEmpty());
    }

    // A passing check keeps its patch; without the check a foreign file is only opened.
    void checkPatchesOrIsSkipped()
    {
        QVERIFY(makeSqliteFile(dataFile("old.db"), oldSchema()));
        QVERIFY(Database::checkDbStructure(dataFile("old.db")));
        QVERIFY(!Database::checkDbStructure(dataFile("missing.db")));
        QVERIFY(!QFile::exists(dataFile("missing.db")));
        QVERIFY(makeSqliteFile(Database::databaseFileName(), foreignSchema()));
        ModalAnswerer answerer;
        QVERIFY(Database::init(false));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(rows("SELECT name FROM Customers"), QStringList({"Петров"}));
        QVERIFY(exec(QString("ATTACH DATABASE '%1' AS old").arg(dataFile("old.db"))));
        QCOMPARE(rows("SELECT name FROM old.sqlite_master WHERE name IN ('ModuleDetails', 'Bosses', 'Variables') "
                      "ORDER BY name"),
                 QStringList({"Bosses", "ModuleDetails", "Variables"}));
        QVERIFY(exec("DETACH DATABASE old"));
    }

    void variablesAreBoundNotSpliced()
    {
        QVERIFY(Database::init(true));
        QVERIFY(Database::setVariable("OrgName_1", "ГБПОУ 'Колледж' им. О'Генри"));
        QCOMPARE(Database::getVariable("OrgName_1"), QString("ГБПОУ 'Колледж' им. О'Генри"));
        QVERIFY(Database::setVariable("O'Name", "value'); DROP TABLE Variables; --"));
        QCOMPARE(Database::getVariable("O'Name"), QString("value'); DROP TABLE Variables; --"));
        QVERIFY(Database::setVariable("OrgName_1", "Второе"));
        QCOMPARE(rows("SELECT Value FROM Variables WHERE Name = 'OrgName_1'"), QStringList({"Второе"}));
        // Names are matched with LIKE: "_" stands for any character, case is ignored.
        QVERIFY(Database::setVariable("BossX1", "Иванов И.И."));
        QCOMPARE(Database::getVariable("boss_1"), QString("Иванов И.И."));
        QCOMPARE(Database::getVariable("City"), QString());
    }

    void mostFrequentValuesOrderAndBlanks()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (qual, professionName) VALUES "
                     "('Техник', 'Механик'), ('  Техник ', ''), ('Повар', '   '), ('Техник', NULL), "
                     "('Бухгалтер', 'Повар'), (NULL, 'Бухгалтер')"));
        QCOMPARE(Database::mostFrequentValues("SpoDocuments", "qual", 0), QStringList({"Техник", "Бухгалтер", "Повар"}));
        QCOMPARE(Database::mostFrequentValues("SpoDocuments", "qual", 2), QStringList({"Техник", "Бухгалтер"}));
        QCOMPARE(Database::mostFrequentValues("SpoDocuments", QStringList({"qual", "professionName"}), 0),
                 QStringList({"Техник", "Бухгалтер", "Повар", "Механик"}));
        QCOMPARE(Database::mostFrequentValues("Bosses", "bossFio", 0), QStringList());
    }

    void tableModelIsSharedAndInstanceOpensOnDemand()
    {
        QVERIFY(Database::instance() && Database::isOpen());
        QSqlTableModel* bosses = Database::tableModel("Bosses");
        QCOMPARE(Database::tableModel("Bosses"), bosses);
        QVERIFY(exec("INSERT INTO Bosses (bossFio) VALUES ('Сидоров')"));
        QVERIFY(bosses->select());
        QCOMPARE(bosses->rowCount(), 1);
        Database::close();
        QVERIFY(!Database::isOpen());
    }

    void settingsLocations()
    {
        const QString config = Database::userSettingsPath();
        QCOMPARE(QFileInfo(config).fileName(), QString("VelSoftware"));
        // Under the test's private home, never the real one.
        QVERIFY2(config.startsWith(QDir::homePath()) && config.contains(".qttest"), qPrintable(config));
        QCOMPARE(Database::productSettings()->fileName(), Database::dataPath() + "/VelSpo.ini");
        // The user's key does not move the data directory.
        const QString data = Database::dataPath();
        Database::userSettings()->setValue("VelSpo/dataPath", "/somewhere/else");
        QCOMPARE(Database::dataPath(), data);
        Database::userSettings()->remove("VelSpo/dataPath");
    }

    void destroySyncsSettings()
    {
        QVERIFY(Database::init(true));
        Database::userSettings()->setValue("VelSpo/late", "written");
        Database::commonSettings()->setValue("Proxy/hostName", "proxy.local");
        Database::destroy();
        QVERIFY(readBytes(Database::userSettingsPath() + "/settings.ini").contains("late=written"));
        QVERIFY(readBytes(Database::dataPath() + "/settings.ini").contains("hostName=proxy.local"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Fresh objects come back after the old ones are gone.
        QCOMPARE(Database::userSettings()->value("VelSpo/late").toString(), QString("written"));
        Database::userSettings()->remove("VelSpo/late");
        Database::commonSettings()->remove("Proxy");
    }

    void versionWarningOnlyWithDataPath()
    {
        QSettings* settings = Database::userSettings();
        auto check = [settings](const QVariant& lastVersion, const QVariant& dataPath) {
            settings->setValue("VelSpo/last_started_version", lastVersion);
            settings->setValue("VelSpo/dataPath", dataPath);
            if (lastVersion.isNull())
                settings->remove("VelSpo/last_started_version");
            if (dataPath.isNull())
                settings->remove("VelSpo/dataPath");
            ModalAnswerer answerer;
            Database::checkLastStartedVersion();
            settings->remove("VelSpo/dataPath");
            const QString stored = settings->value("VelSpo/last_started_version").toString();
            settings->remove("VelSpo/last_started_version");
            return stored == ProductTypeInfo::version() ? answerer.texts() : QStringList("version not stored");
        };
        QCOMPARE(check(QVariant(), QVariant()), QStringList());
        QCOMPARE(check("0.4.1", QVariant()), QStringList());
        // Same version as last time: no warning even with the path set.
        QCOMPARE(check(ProductTypeInfo::version(), "/home/user/velspo"), QStringList());
        const QStringList texts = check("0.4.1", "/home/user/velspo");
        QCOMPARE(texts.size(), 1);
        QVERIFY(texts.first().startsWith("Похоже, что вы установили новую версию программы"));
        QVERIFY(texts.first().contains("Инструменты - Настройки программы -  Расположение файлов"));
    }
};

VELSPO_TEST_MAIN(DatabaseTest)
#include "tst_database.moc"
