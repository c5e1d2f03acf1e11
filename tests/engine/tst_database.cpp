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

namespace {

const QString Key = QStringLiteral("INTEGER 1 1");
const QString RepairText = QStringLiteral("Неверный формат базы данных. \nБудет создана пустая база данных верного "
                                          "формата взамен текущей");

QStringList backupFiles()
{
    return QDir(Database::dataPath()).entryList({QStringLiteral("VelSpo_*.bak")}, QDir::Files, QDir::Name);
}

} // namespace

// Creation, schema, views, the structure check with its repair, variables,
// shared models and the start-up version bookkeeping.
class DatabaseTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { reset(); }
    void cleanupTestCase() { reset(); }

    // ------------------------------------------------------------ creation and schema

    void firstStartCreatesDatabaseWithoutBox()
    {
        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QVERIFY(Database::isOpen());
        QVERIFY(QFileInfo(Database::databaseFileName()).size() > 0);
        QCOMPARE(Database::databaseFileName(), dataFile("VelSpo.db"));
        QVERIFY(backupFiles().isEmpty());

        const QStringList tables = rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
        QCOMPARE(tables, QStringList({"AttestationDetails", "Bosses", "CourseworkDetails", "DMDetails", "DisciplineDetails",
                                      "ModuleDetails", "PracticeDetails", "SpoDocuments", "Variables"}));
        const QStringList views = rows("SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name");
        QCOMPARE(views, QStringList({"ViewSpoCourseworks", "ViewSpoDMs", "ViewSpoDetails", "ViewSpoDocuments", "ViewSpoModules"}));
        QCOMPARE(Database::startupExitCode(), 0);
        QVERIFY(Database::checkDbStructure(Database::databaseFileName()));
    }

    void schemaColumnsAndDeclaredTypes_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QStringList spo{"spoId " + Key};
        for (const char* column : {"isTemplate", "isDuplicate", "isExcellent"})
            spo << QString("%1 INTEGER 0 0").arg(column);
        spo << "qual TEXT 0 0" << "programType INTEGER 0 0";
        for (const char* column : {"professionCode", "professionName", "fio1", "fio2", "fio3", "decisionDate", "number",
                                   "regNumber", "issueDate", "birthDate", "comment", "editDate", "totalCount",
                                   "attestationTotalCount", "practiceTotalCount", "previousEducation", "additionNumber",
                                   "serial", "additionSerial", "deductionDate", "deductionNumber"})
            spo << QString("%1 TEXT 0 0").arg(column);
        QCOMPARE(spo.size(), 27);
        QTest::newRow("SpoDocuments") << "SpoDocuments" << spo;
        QTest::newRow("PracticeDetails") << "PracticeDetails"
                                         << QStringList{"pracId " + Key, "spoId INTEGER 1 0", "practiceName TEXT 0 0",
                                                        "practiceCount INTRGER 0 0", "practiceRate TEXT 0 0"};
        QTest::newRow("DisciplineDetails")
            << "DisciplineDetails"
            << QStringList{"discId " + Key, "spoId INTEGER 1 0", "disciplineName TEXT 0 0", "disciplineCount INTRGER 0 0",
                           "disciplineCountAudit INTRGER 0 0", "disciplineRate TEXT 0 0"};
        QTest::newRow("CourseworkDetails") << "CourseworkDetails"
                                           << QStringList{"cwId " + Key, "spoId INTEGER 1 0", "cwName TEXT 0 0", "cwRate TEXT 0 0"};
        QTest::newRow("AttestationDetails")
            << "AttestationDetails"
            << QStringList{"attId " + Key, "spoId INTEGER 1 0", "attestationName TEXT 0 0", "attestationRate TEXT 0 0"};
        QTest::newRow("ModuleDetails")
            << "ModuleDetails"
            << QStringList{"moduleId " + Key, "spoId INTEGER 1 0", "moduleName TEXT 0 0", "moduleCount INTEGER 0 0",
                           "moduleCountAudit INTEGER 0 0", "moduleRate TEXT 0 0", "moduleExamCount INTEGER 0 0"};
        QTest::newRow("DMDetails") << "DMDetails"
                                   << QStringList{"dmId " + Key, "spoId INTEGER 1 0", "moduleId INTEGER 1 0", "dmName TEXT 0 0",
                                                  "dmCount INTEGER 0 0", "dmCountAudit INTEGER 0 0", "dmRate TEXT 0 0"};
        QTest::newRow("Bosses") << "Bosses" << QStringList{"bossId " + Key, "bossFio TEXT 0 0"};
        QTest::newRow("Variables") << "Variables" << QStringList{"Name TEXT 0 1", "Value TEXT 0 0"};
        QTest::newRow("ViewSpoDocuments")
            << "ViewSpoDocuments"
            << QStringList{"spoId INTEGER 0 0", "fio  0 0", "issueDate TEXT 0 0", "number TEXT 0 0",
                           "regNumber TEXT 0 0", "professionName TEXT 0 0", "editDate TEXT 0 0"};
    }

    void schemaColumnsAndDeclaredTypes()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        QVERIFY(Database::init(true));
        QCOMPARE(tableInfo(table), columns);
    }

    void keysAreAutoincrementAndUnique()
    {
        QVERIFY(Database::init(true));
        const QStringList sql = rows("SELECT sql FROM sqlite_master WHERE name = 'DMDetails'");
        QCOMPARE(sql.size(), 1);
        QVERIFY(sql.first().contains("dmId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE"));
    }

    void viewColumns()
    {
        QVERIFY(Database::init(true));
        auto names = [](const QString& view) {
            QStringList result;
            for (const QString& line : tableInfo(view))
                result << line.section(' ', 0, 0);
            return result;
        };
        QCOMPARE(names("ViewSpoDetails"), QStringList({"spoId", "col1", "col2", "col3"}));
        QCOMPARE(names("ViewSpoCourseworks"), QStringList({"spoId", "cwName", "cwRate"}));
        QCOMPARE(names("ViewSpoModules"), QStringList({"spoId", "moduleName", "moduleRate"}));
        QCOMPARE(names("ViewSpoDMs"), QStringList({"spoId", "dmName", "dmCount", "dmCountAudit", "dmRate"}));
    }

    // The scripts are split on ';' and kept with CR LF line ends.
    void scriptsAreSplittable_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::newRow("database") << ":/database.sql";
        QTest::newRow("patch") << ":/patch.sql";
        QTest::newRow("views") << ":/views.sql";
        QTest::newRow("check") << ":/checkDbStructure.sql";
    }

    void scriptsAreSplittable()
    {
        QFETCH(QString, resource);
        QFile file(resource);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(bytes.contains("\r\n\r\n"));
        // No semicolon inside a text constant: quotes are balanced in every piece.
        for (const QByteArray& piece : bytes.split(';'))
            QCOMPARE(piece.count('\'') % 2, 0);
    }

    // ------------------------------------------------------------ views

    void documentsViewLeavesTemplatesOut()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, isTemplate, fio1, fio2, fio3, number) VALUES (1, 0, 'Иванов', 'Иван', 'Иванович', '001')"));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, isTemplate, fio1, fio2) VALUES (2, 1, 'Шаблон', 'Первый')"));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, isTemplate, fio1, fio3) VALUES (3, NULL, 'Петров', 'Петрович')"));
        QCOMPARE(rows("SELECT spoId, fio, number FROM ViewSpoDocuments ORDER BY spoId"),
                 QStringList({"1|Иванов Иван Иванович|001", "3|Петров  Петрович|"}));
    }

    void detailsViewRows()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, practiceTotalCount, attestationTotalCount) VALUES (1, '108', '216')"));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (2)"));
        QVERIFY(exec("INSERT INTO DisciplineDetails (discId, spoId, disciplineName, disciplineCount, disciplineCountAudit, disciplineRate) "
                     "VALUES (1, 1, 'История', '36,5', 30, '5'), (2, 1, 'Математика', 72, '40,5', '4'), (3, 2, 'Чужая', 10, 10, '3')"));
        QVERIFY(exec("INSERT INTO ModuleDetails (moduleId, spoId, moduleName, moduleCount, moduleCountAudit, moduleRate, moduleExamCount) "
                     "VALUES (1, 1, 'ПМ.01', 100, 80, '5', 0)"));
        // Inserted out of order on purpose: the sub-subjects follow their module in dmId order.
        QVERIFY(exec("INSERT INTO DMDetails (dmId, spoId, moduleId, dmName, dmCount, dmCountAudit, dmRate) "
                     "VALUES (2, 1, 1, 'МДК 01.02', 40, 30, '4'), (1, 1, 1, 'МДК 01.01', 60, 50, '5')"));
        QVERIFY(exec("INSERT INTO PracticeDetails (pracId, spoId, practiceName, practiceCount, practiceRate) VALUES (1, 1, 'Учебная', 72, '5')"));
        QVERIFY(exec("INSERT INTO AttestationDetails (attId, spoId, attestationName, attestationRate) VALUES (1, 1, 'Защита ВКР', '5')"));

        const QStringList expected{
            "История|36,5|5",
            "Математика|72|4",
            "||",
            "ПМ.01|100|5",
            "    МДК 01.01|60|5",
            "    МДК 01.02|40|4",
            "||",
            "ВСЕГО часов теоретического обучения:|208.5|х",
            "в том числе аудиторных часов:|150.5|х",
            "Практика\\nв том числе:|108|х",
            "Учебная|72|5",
            "Государственная итоговая аттестация\\nв том числе:|216|х",
            "Защита ВКР|x|5",
        };
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 1"), expected);

        // The same rows through the shared model with a filter, as the printout reads them.
        QSqlTableModel* model = Database::tableModel("ViewSpoDetails");
        model->setFilter("spoId = 1");
        QVERIFY(model->select());
        QCOMPARE(model->rowCount(), expected.size());
        QCOMPARE(model->data(model->index(7, 2)).toDouble(), 208.5);
        QCOMPARE(model->data(model->index(12, 2)).toString(), QString("x"));
        QCOMPARE(model->data(model->index(12, 2)).toString().at(0).unicode(), ushort(0x78));
        QCOMPARE(model->data(model->index(7, 3)).toString().at(0).unicode(), ushort(0x445));
        model->setFilter(QString());
    }

    void detailsViewKeepsIdenticalLines()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (1)"));
        QVERIFY(exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineRate) "
                     "VALUES (1, 'Физкультура', 36, '5'), (1, 'Физкультура', 36, '5')"));
        QVERIFY(exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                     "VALUES (1, 'Производственная', 36, '5'), (1, 'Производственная', 36, '5')"));
        const QStringList lines = rows("SELECT col1 FROM ViewSpoDetails WHERE spoId = 1");
        QCOMPARE(lines.count("Физкультура"), 2);
        QCOMPARE(lines.count("Производственная"), 2);
        QVERIFY(lines.contains("ВСЕГО часов теоретического обучения:"));
        QCOMPARE(rows("SELECT col2 FROM ViewSpoDetails WHERE spoId = 1 AND col1 LIKE 'ВСЕГО%'"), QStringList({"72"}));
    }

    void documentWithoutDisciplinesHasNoTotals()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (5)"));
        QVERIFY(exec("INSERT INTO ModuleDetails (spoId, moduleName, moduleCount, moduleCountAudit) VALUES (5, 'ПМ.02', 50, 40)"));
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 5"),
                 QStringList({"||", "ПМ.02|50|", "||", "Практика\\nв том числе:||х",
                              "Государственная итоговая аттестация\\nв том числе:||х"}));
    }

    void nullHoursCountAsZero()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (1)"));
        QVERIFY(exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit) "
                     "VALUES (1, 'A', '12,5', NULL), (1, 'B', NULL, 4)"));
        QCOMPARE(rows("SELECT col2 FROM ViewSpoDetails WHERE spoId = 1 AND col3 = 'х' AND col1 LIKE '%час%' ORDER BY col1"),
                 QStringList({"12.5", "4"}));
    }

    void courseworkAndModuleViewsKeepOrder()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO CourseworkDetails (cwId, spoId, cwName, cwRate) VALUES (2, 1, 'Вторая', '4'), (1, 1, 'Первая', '5')"));
        QCOMPARE(rows("SELECT cwName, cwRate FROM ViewSpoCourseworks WHERE spoId = 1"), QStringList({"Первая|5", "Вторая|4"}));
        QVERIFY(exec("INSERT INTO ModuleDetails (moduleId, spoId, moduleName, moduleRate) VALUES (2, 1, 'ПМ.02', '4'), (1, 1, 'ПМ.01', '5')"));
        QCOMPARE(rows("SELECT moduleName FROM ViewSpoModules"), QStringList({"ПМ.01", "ПМ.02"}));
    }

    void viewsAreRebuiltAtStart()
    {
        QVERIFY(Database::init(true));
        QVERIFY(exec("DROP VIEW ViewSpoDetails"));
        Database::destroy();
        QVERIFY(Database::init(true));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
    }

    // ------------------------------------------------------------ structure check and repair

    void oldDatabaseIsAcceptedAndPatched()
    {
        QStringList statements = oldSchema();
        statements << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')";
        QVERIFY(makeSqliteFile(Database::databaseFileName(), statements));

        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QVERIFY(backupFiles().isEmpty());
        QCOMPARE(tableInfo("ModuleDetails").size(), 7);
        QCOMPARE(tableInfo("ModuleDetails").last(), QString("moduleExamCount INTEGER 0 0"));
        QCOMPARE(tableInfo("DMDetails").size(), 7);
        QCOMPARE(tableInfo("Bosses").size(), 2);
        QCOMPARE(tableInfo("Variables").size(), 2);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Старый"}));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Старый  "}));
    }

    void moduleDetailsWithoutExamColumnGetsIt()
    {
        QStringList statements = oldSchema();
        statements << "CREATE TABLE ModuleDetails (moduleId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE, "
                      "spoId INTEGER NOT NULL, moduleName TEXT, moduleCount INTEGER, moduleCountAudit INTEGER, moduleRate TEXT)"
                   << "INSERT INTO ModuleDetails (spoId, moduleName) VALUES (1, 'ПМ.01')";
        QVERIFY(makeSqliteFile(Database::databaseFileName(), statements));
        QVERIFY(Database::init(true));
        QCOMPARE(tableInfo("ModuleDetails").last(), QString("moduleExamCount INTEGER 0 0"));
        QCOMPARE(rows("SELECT moduleName FROM ModuleDetails"), QStringList({"ПМ.01"}));
    }

    void wrongStructureIsRepairedWithOk()
    {
        QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema()));
        const QByteArray original = readBytes(Database::databaseFileName());

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.texts(), QStringList({RepairText}));
        QCOMPARE(answerer.titles(), QStringList({"Внимание!"}));

        const QStringList baks = backupFiles();
        QCOMPARE(baks.size(), 1);
        QVERIFY2(QRegularExpression("^VelSpo_\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d{4}\\.bak$").match(baks.first()).hasMatch(),
                 qPrintable(baks.first()));
        QCOMPARE(readBytes(dataFile(baks.first())), original);
        QCOMPARE(tableInfo("SpoDocuments").size(), 27);
        QCOMPARE(rows("SELECT count(*) FROM SpoDocuments"), QStringList({"0"}));
        QCOMPARE(tableInfo("Bosses").size(), 2);
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
    }

    void wrongStructureIsLeftUntouchedWithCancel_data()
    {
        QTest::addColumn<QStringList>("schema");
        QTest::newRow("wrong columns") << wrongSchema();
        QTest::newRow("foreign tables") << foreignSchema();
        QStringList partial = oldSchema();
        partial.removeLast(); // AttestationDetails missing: the patch would add tables before failing
        QTest::newRow("missing table") << partial;
    }

    void wrongStructureIsLeftUntouchedWithCancel()
    {
        QFETCH(QStringList, schema);
        QVERIFY(makeSqliteFile(Database::databaseFileName(), schema));
        const QByteArray original = readBytes(Database::databaseFileName());
        const QStringList before = filesInDataDir();

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        QVERIFY(!Database::init(true));
        QCOMPARE(Database::startupExitCode(), 0);
        QCOMPARE(answerer.texts(), QStringList({RepairText}));
        QVERIFY(!Database::isOpen());
        QCOMPARE(readBytes(Database::databaseFileName()), original);
        QCOMPARE(filesInDataDir(), before);
    }

    void randomBytesAreNotADatabase()
    {
        QByteArray noise(8192, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        QVERIFY(writeBytes(Database::databaseFileName(), noise));
        QVERIFY(!Database::checkDbStructure(Database::databaseFileName()));
        QCOMPARE(readBytes(Database::databaseFileName()), noise);

        {
            ModalAnswerer answerer;
            answerer.answer(QMessageBox::Cancel);
            QVERIFY(!Database::init(true));
            QCOMPARE(answerer.handledCount(), 1);
            QCOMPARE(readBytes(Database::databaseFileName()), noise);
        }
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(backupFiles().size(), 1);
        QCOMPARE(readBytes(dataFile(backupFiles().first())), noise);
        QCOMPARE(tableInfo("SpoDocuments").size(), 27);
    }

    void emptyFileIsReplacedWithoutBox()
    {
        QVERIFY(writeBytes(Database::databaseFileName(), QByteArray()));
        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(backupFiles().size(), 1);
        QCOMPARE(QFileInfo(dataFile(backupFiles().first())).size(), 0);
        QCOMPARE(tableInfo("SpoDocuments").size(), 27);
    }

    void takenBackupNameGetsCounter()
    {
        // Occupy the ".bak" names of this minute and the next, in case the clock turns.
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (const QDateTime& time : {now, now.addSecs(60)}) {
            const QString name = dataFile("VelSpo" + time.toString("_hh-mm_dd-MM-yyyy") + ".bak");
            QVERIFY(writeBytes(name, "older"));
            taken << name;
        }
        QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema()));
        const QByteArray original = readBytes(Database::databaseFileName());

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QVERIFY(Database::init(true));
        for (const QString& name : taken)
            QCOMPARE(readBytes(name), QByteArray("older"));
        const QStringList counted = QDir(Database::dataPath()).entryList({"VelSpo_*_1.bak"}, QDir::Files);
        QCOMPARE(counted.size(), 1);
        QCOMPARE(readBytes(dataFile(counted.first())), original);
        QCOMPARE(tableInfo("SpoDocuments").size(), 27);
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
        const int code = Database::startupExitCode();
        const bool open = Database::isOpen();
        Database::setDataPathForTesting(original);

        QVERIFY(!started);
        QCOMPARE(code, 1);
        QVERIFY(!open);
        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY2(answerer.texts().first().startsWith("Не удалось открыть базу данных"), qPrintable(answerer.texts().first()));
        QVERIFY(answerer.texts().first().contains(blocker + "/data/VelSpo.db"));
        QCOMPARE(answerer.titles().first(), QString("Ошибка"));

        // A later start in a usable directory works again.
        QVERIFY(Database::init(true));
        QCOMPARE(Database::startupExitCode(), 0);
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
        QVERIFY(answerer.texts().last().startsWith("Не удалось открыть базу данных"));
        QCOMPARE(readBytes(Database::databaseFileName()), original);
        QVERIFY(backupFiles().isEmpty());
    }

    void withoutCheckTheFileIsOnlyOpened()
    {
        QVERIFY(makeSqliteFile(Database::databaseFileName(), foreignSchema()));
        ModalAnswerer answerer;
        QVERIFY(Database::init(false));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(rows("SELECT name FROM Customers"), QStringList({"Петров"}));
    }

    void passingCheckKeepsThePatch()
    {
        QVERIFY(makeSqliteFile(dataFile("old.db"), oldSchema()));
        QVERIFY(Database::checkDbStructure(dataFile("old.db")));
        QVERIFY(!Database::checkDbStructure(dataFile("missing.db")));
        QVERIFY(Database::init(true));
        QVERIFY(exec(QString("ATTACH DATABASE '%1' AS old").arg(dataFile("old.db"))));
        QCOMPARE(rows("SELECT name FROM old.sqlite_master WHERE type = 'table' AND name IN ('ModuleDetails', 'Bosses', 'Variables') ORDER BY name"),
                 QStringList({"Bosses", "ModuleDetails", "Variables"}));
        QVERIFY(exec("DETACH DATABASE old"));
    }

    // ------------------------------------------------------------ queries, variables and models

    void execStrAndExecQueryReportFailures()
    {
        QVERIFY(Database::init(true));
        QScopedPointer<QSqlQuery> good(Database::execStr("SELECT count(*) FROM SpoDocuments"));
        QVERIFY(good->isActive());
        QScopedPointer<QSqlQuery> bad(Database::execStr("SELECT nothing FROM Nowhere"));
        QVERIFY(!bad->isActive());
        QVERIFY(bad->lastError().isValid());

        QSqlQuery insert(QSqlDatabase::database());
        QVERIFY(insert.prepare("INSERT INTO Bosses (bossFio) VALUES (?)"));
        insert.addBindValue("Сидоров");
        QVERIFY(Database::execQuery(insert));
        QSqlQuery broken(QSqlDatabase::database());
        broken.prepare("INSERT INTO Bosses (missing) VALUES (1)");
        QVERIFY(!Database::execQuery(broken));
    }

    void variablesKeepApostrophes()
    {
        QVERIFY(Database::init(true));
        Database::setVariable("OrgName_1", "ГБПОУ 'Колледж' им. О'Генри");
        QCOMPARE(Database::getVariable("OrgName_1"), QString("ГБПОУ 'Колледж' им. О'Генри"));
        Database::setVariable("O'Name", "value'); DROP TABLE Variables; --");
        QCOMPARE(Database::getVariable("O'Name"), QString("value'); DROP TABLE Variables; --"));
        QCOMPARE(tableInfo("Variables").size(), 2);
        Database::setVariable("OrgName_1", "Второе");
        QCOMPARE(rows("SELECT Value FROM Variables WHERE Name = 'OrgName_1'"), QStringList({"Второе"}));
    }

    void variableNamesMatchWithLike()
    {
        QVERIFY(Database::init(true));
        Database::setVariable("BossX1", "Иванов И.И.");
        QCOMPARE(Database::getVariable("Boss_1"), QString("Иванов И.И."));
        QCOMPARE(Database::getVariable("bossx1"), QString("Иванов И.И."));
        QCOMPARE(Database::getVariable("Boss_2"), QString());
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

    void tableModelIsShared()
    {
        QVERIFY(Database::init(true));
        QSqlTableModel* first = Database::tableModel("Bosses");
        QVERIFY(first);
        QCOMPARE(Database::tableModel("Bosses"), first);
        QVERIFY(Database::tableModel("SpoDocuments") != first);
        QCOMPARE(first->tableName(), QString("Bosses"));
        QVERIFY(exec("INSERT INTO Bosses (bossFio) VALUES ('Сидоров')"));
        first->setFilter("bossFio LIKE 'С%'");
        QVERIFY(Database::tableModel("Bosses")->select());
        QCOMPARE(Database::tableModel("Bosses")->rowCount(), 1);
        QCOMPARE(Database::tableModel("Bosses")->filter(), QString("bossFio LIKE 'С%'"));
    }

    void instanceCreatesTheDatabaseOnDemand()
    {
        QVERIFY(!Database::isOpen());
        QVERIFY(Database::instance());
        QVERIFY(Database::isOpen());
        QCOMPARE(Database::instance(), Database::instance());
        Database::close();
        QVERIFY(!Database::isOpen());
    }

    // ------------------------------------------------------------ settings and version bookkeeping

    void settingsLocations()
    {
        const QString config = Database::userSettingsPath();
        QVERIFY(QFileInfo(config).isDir());
        QCOMPARE(QFileInfo(config).fileName(), QString("VelSoftware"));
        QVERIFY(config.startsWith(QDir::homePath()));
        QCOMPARE(QFileInfo(Database::userSettings()->fileName()).absoluteFilePath(), config + "/settings.ini");
        QCOMPARE(Database::commonSettings()->fileName(), Database::dataPath() + "/settings.ini");
        QCOMPARE(Database::productSettings()->fileName(), Database::dataPath() + "/VelSpo.ini");

        // The user's key does not move the data directory.
        const QString data = Database::dataPath();
        Database::userSettings()->setValue("VelSpo/dataPath", "/somewhere/else");
        QCOMPARE(Database::dataPath(), data);
        QCOMPARE(Database::databaseFileName(), data + "/VelSpo.db");
        Database::userSettings()->remove("VelSpo/dataPath");
    }

    void syncWritesSettingsToDisk()
    {
        Database::commonSettings()->setValue("Proxy/hostName", "proxy.local");
        Database::userSettings()->setValue("VelSpo/someFlag", true);
        Database::syncSettings();
        QVERIFY(readBytes(Database::dataPath() + "/settings.ini").contains("hostName=proxy.local"));
        QVERIFY(readBytes(Database::userSettingsPath() + "/settings.ini").contains("someFlag=true"));
        Database::userSettings()->remove("VelSpo/someFlag");
        Database::commonSettings()->remove("Proxy");
    }

    void destroySyncsSettings()
    {
        QVERIFY(Database::init(true));
        Database::userSettings()->setValue("VelSpo/late", "written");
        Database::destroy();
        QVERIFY(readBytes(Database::userSettingsPath() + "/settings.ini").contains("late=written"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Fresh objects come back after the old ones are gone.
        QVERIFY(Database::userSettings());
        QCOMPARE(Database::userSettings()->value("VelSpo/late").toString(), QString("written"));
        Database::userSettings()->remove("VelSpo/late");
    }

    void versionWarningOnlyWithDataPath()
    {
        QSettings* settings = Database::userSettings();
        settings->remove("VelSpo/last_started_version");
        settings->remove("VelSpo/dataPath");
        {
            ModalAnswerer answerer;
            Database::checkLastStartedVersion();
            QCOMPARE(answerer.handledCount(), 0);
            QCOMPARE(settings->value("VelSpo/last_started_version").toString(), ProductTypeInfo::version());
        }
        settings->setValue("VelSpo/dataPath", "/home/user/velspo");
        {
            // Same version as last time: no warning even with the path set.
            ModalAnswerer answerer;
            Database::checkLastStartedVersion();
            QCOMPARE(answerer.handledCount(), 0);
        }
        settings->setValue("VelSpo/last_started_version", "0.4.1");
        {
            ModalAnswerer answerer;
            Database::checkLastStartedVersion();
            QCOMPARE(answerer.handledCount(), 1);
            QCOMPARE(answerer.titles().first(), QString("Внимание!"));
            QVERIFY(answerer.texts().first().startsWith("Похоже, что вы установили новую версию программы"));
            QVERIFY(answerer.texts().first().contains("Инструменты - Настройки программы -  Расположение файлов"));
            QCOMPARE(settings->value("VelSpo/last_started_version").toString(), QString("0.4.2"));
        }
        settings->remove("VelSpo/dataPath");
        settings->remove("VelSpo/last_started_version");
    }
};

VELSPO_TEST_MAIN(DatabaseTest)
#include "tst_database.moc"
