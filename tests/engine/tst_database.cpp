#include "DatabaseFixtures.h"

#include "engine/DatabaseIntegrity.h"
#include "engine/DatabaseSchema.h"
#include "engine/IniMigration.h"
#include "engine/ProductTypeInfo.h"
#include "engine/RestoreCopy.h"
#include "support/FileSizeLimit.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThread>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlTableModel>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

using namespace DatabaseFixtures;
using namespace DocumentFixtures;

namespace {

// The file whose replacement rename() refuses while set, as a failing file system would.
QByteArray g_refusedRenameTarget;

} // namespace

// Stands in for the C library's rename() in this test program.
extern "C" int rename(const char* from, const char* to) noexcept
{
    if (!g_refusedRenameTarget.isEmpty() && g_refusedRenameTarget == to) {
        errno = EIO;
        return -1;
    }
    using Rename = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    return next(from, to);
}

namespace {

QStringList backupFiles() { return QDir(Database::dataPath()).entryList({"VelSpo_*.bak"}, QDir::Files, QDir::Name); }

} // namespace

class DatabaseTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetDataDir(); }
    void cleanupTestCase() { resetDataDir(); }

    // The check of a missing file creates none.
    void firstStartCreatesDatabaseWithoutBox()
    {
        QVERIFY(!Database::checkDbStructure(dataFile("missing.db")));
        ModalAnswerer answerer;
        QVERIFY(Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(Database::startupExitCode(), 0);
        QCOMPARE(filesInDataDir(), QStringList{"VelSpo.db"});
        // Every table and view with its number of columns.
        QCOMPARE(rows("SELECT name || ' ' || (SELECT count(*) FROM pragma_table_info(m.name)) FROM sqlite_master m "
                      "WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite_%' ORDER BY type, name")
                     .join(", "),
                 QString("AttestationDetails 4, Bosses 2, CourseworkDetails 4, DMDetails 7, DisciplineDetails 6, "
                         "ModuleDetails 7, PracticeDetails 5, SpoDocuments 27, Variables 2, ViewSpoCourseworks 3, "
                         "ViewSpoDMs 5, ViewSpoDetails 4, ViewSpoDocuments 7, ViewSpoModules 3"));
        QVERIFY(Database::checkDbStructure(Database::databaseFileName()));
        QVERIFY(exec("DROP VIEW ViewSpoDetails")); // a missing view is made again at the next start
        Database::destroy();
        QVERIFY(Database::init(true) && scalar("SELECT count(*) FROM sqlite_master WHERE type = 'view'").toInt() == 5);
    }

    // Patched to exactly the new structure at the start or on restore; rows survive, the chosen file stays.
    void oldDatabaseIsPatchedToTheNewStructure_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("first version") << false << QStringList();
        QTest::newRow("modules without exams")
            << false
            << QStringList{"CREATE TABLE ModuleDetails (moduleId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE, "
                           "spoId INTEGER NOT NULL, moduleName TEXT, moduleCount INTEGER, moduleCountAudit INTEGER, "
                           "moduleRate TEXT)",
                           "INSERT INTO ModuleDetails (spoId, moduleName) VALUES (1, 'ПМ.01')"};
        QTest::newRow("first version, restored") << true << QStringList();
    }

    void oldDatabaseIsPatchedToTheNewStructure()
    {
        QFETCH(bool, restore);
        QFETCH(QStringList, extra);
        QVERIFY(Database::init(true));
        const QStringList fresh = structure();
        QTemporaryDir outside;
        const QString old = restore ? outside.filePath("old.db") : Database::databaseFileName();
        if (!restore)
            resetDataDir();
        QVERIFY(makeSqliteFile(old, oldSchema() << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')" << extra));
        const QByteArray oldBytes = readBytes(old);
        ModalAnswerer answerer;
        QVERIFY(restore ? Database::restore(old) : Database::init(true));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(structure(), fresh);
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Старый  "}));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
        QCOMPARE(count("ModuleDetails"), extra.size() / 2);
        QVERIFY(Database::setVariable("City", "Тверь"));
        QCOMPARE(filesInDataDir(), QStringList{"VelSpo.db"} + backupFiles());
        QCOMPARE(backupFiles().size(), int(restore));
        if (restore)
            QCOMPARE(readBytes(old), oldBytes);
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
        // Out of order on purpose: the sub-subjects follow their module in dmId order.
        QVERIFY(exec("INSERT INTO DMDetails (dmId, spoId, moduleId, dmName, dmCount, dmCountAudit, dmRate) "
                     "VALUES (2, 1, 1, 'МДК 01.02', 40, 30, '4'), (1, 1, 1, 'МДК 01.01', 60, 50, '5')"));
        QVERIFY(exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                     "VALUES (1, 'Учебная', 72, '5'), (2, 'Летняя', 36, '5'), (2, 'Летняя', 36, '5')"));
        QVERIFY(exec("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) VALUES (1, 'Защита ВКР', '5')"));
        // "х" is Cyrillic in the totals, "x" Latin in the attestation lines.
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 1"),
                 QStringList({"История|36,5|5", "Математика|72|4", "Без часов||3", "||", "ПМ.01|100|5", "    МДК 01.01|60|5",
                              "    МДК 01.02|40|4", "||", "ВСЕГО часов теоретического обучения:|208.5|х",
                              "в том числе аудиторных часов:|150.5|х", "Практика\nв том числе:|108|х",
                              "Учебная|72|5", "Государственная итоговая аттестация\nв том числе:|216|х",
                              "Защита ВКР|x|5"}));
        // Identical lines of one document are both kept, and both counted.
        QCOMPARE(rows("SELECT col1, col2 FROM ViewSpoDetails WHERE spoId = 2 AND (col3 IN ('3', '5') OR col1 LIKE 'ВСЕГО%')")
                     .join(','),
                 QString("Чужая|10,Чужая|10,ВСЕГО часов теоретического обучения:|20,Летняя|36,Летняя|36"));
        // Without disciplines there are no totals of theoretical hours.
        QVERIFY(exec("INSERT INTO ModuleDetails (spoId, moduleName, moduleCount, moduleCountAudit) VALUES (5, 'ПМ.02', 50, 40)"));
        QCOMPARE(rows("SELECT col1, col2, col3 FROM ViewSpoDetails WHERE spoId = 5"),
                 QStringList({"||", "ПМ.02|50|", "||", "Практика\nв том числе:||х",
                              "Государственная итоговая аттестация\nв том числе:||х"}));
    }

    // Cancel changes nothing; Ok moves the file aside under a dated name, with a counter when it is taken.
    void damagedFileIsKeptOrMovedAside_data()
    {
        QTest::addColumn<QStringList>("schema");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("answer");
        const int cancel = QMessageBox::Cancel, ok = QMessageBox::Ok;
        QStringList partial = oldSchema();
        partial.removeLast(); // the patch would add tables before failing
        QTest::newRow("wrong columns, Cancel") << wrongSchema << QByteArray() << cancel;
        QTest::newRow("foreign tables, Cancel") << foreignSchema << QByteArray() << cancel;
        QTest::newRow("missing table, Cancel") << partial << QByteArray() << cancel;
        QTest::newRow("random bytes, Cancel") << QStringList() << noise() << cancel;
        QTest::newRow("wrong columns, Ok") << wrongSchema << QByteArray() << ok;
        QTest::newRow("random bytes, Ok") << QStringList() << noise() << ok;
        QTest::newRow("empty file, Ok") << QStringList() << QByteArray() << ok;
    }

    void damagedFileIsKeptOrMovedAside()
    {
        QFETCH(QStringList, schema);
        QFETCH(QByteArray, raw);
        QFETCH(int, answer);
        QVERIFY(schema.isEmpty() ? writeBytes(Database::databaseFileName(), raw)
                                 : makeSqliteFile(Database::databaseFileName(), schema));
        const QByteArray original = readBytes(Database::databaseFileName());
        // Occupy the ".bak" names of this minute and the next, in case the clock turns.
        QStringList taken;
        for (const QDateTime& time : {QDateTime::currentDateTime(), QDateTime::currentDateTime().addSecs(60)}) {
            taken << "VelSpo" + time.toString("_hh-mm_dd-MM-yyyy") + ".bak";
            QVERIFY(writeBytes(dataFile(taken.last()), "older"));
        }
        const QStringList before = filesInDataDir();
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        QCOMPARE(Database::init(true), answer == QMessageBox::Ok);
        QCOMPARE(Database::startupExitCode(), 0);
        const QStringList question{"Внимание!", "Неверный формат базы данных. \nБудет создана пустая база данных верного "
                                   "формата взамен текущей"};
        for (const QString& name : taken)
            QCOMPARE(readBytes(dataFile(name)), QByteArray("older"));
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(answerer.titles() + answerer.texts(), question);
            QVERIFY(!Database::isOpen());
            QCOMPARE(readBytes(Database::databaseFileName()), original);
            QCOMPARE(filesInDataDir(), before);
            return;
        }
        const QStringList counted = backupFiles().filter(QRegularExpression("^VelSpo_\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d{4}_1\\.bak$"));
        QCOMPARE(backupFiles().size(), 3);
        QCOMPARE(counted.size(), 1);
        // After the move the user is told where the old file is kept; an empty one moves without a word.
        QCOMPARE(answerer.titles() + answerer.texts(),
                 original.isEmpty() ? QStringList()
                                    : QStringList({question.first(), "Информация", question.last(),
                                                   "Прежний файл базы данных сохранён в файле " + dataFile(counted.first()) + "."}));
        QCOMPARE(readBytes(dataFile(counted.first())), original);
        QVERIFY(Database::checkDbStructure(Database::databaseFileName()) && count("SpoDocuments") == 0);
    }

    // The structure check meets damaged pages where every scan of the subjects
    // starts: the program's own file, not a foreign one. It opens as it is,
    // marked damaged for the window's warning, with no box of its own and no
    // move. Neither it nor a file that cannot be checked counts as whole.
    void damagedFirstPageOpensAsItIs()
    {
        QVERIFY(Database::init(true) && insertMany(3000));
        QVERIFY(exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                     "disciplineRate) SELECT spoId, 'Дисциплина', 36, 30, 'отлично' FROM SpoDocuments"));
        QVERIFY(damageTable("DisciplineDetails", DamagedLeaf::First));
        const QByteArray before = readBytes(Database::databaseFileName());
        // The old requisites wait in their file for a whole database.
        const QByteArray ini = "[Data]\nCity=Тверь\n";
        QVERIFY(writeBytes(dataFile("VelSpo.ini"), ini));
        ModalAnswerer answerer; // answers Ok
        QVERIFY(Database::init(true));
        QCOMPARE(int(migrateIniData(dataFile("VelSpo.ini"))), int(IniMigrationResult::NothingToMove));
        QCOMPARE(answerer.texts(), QStringList());
        QVERIFY(Database::isKnownDamaged());
        QCOMPARE(count("SpoDocuments"), 3000);
        Database::destroy();
        QCOMPARE(readBytes(Database::databaseFileName()), before);
        QCOMPARE(readBytes(dataFile("VelSpo.ini")), ini);
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db", "VelSpo.ini"}));

        using Integrity = DatabaseIntegrity;
        QVERIFY(!Integrity::isWhole(Database::databaseFileName(), Integrity::Depth::Quick));
        QVERIFY(!Integrity::isWholeWhileInUse(Database::databaseFileName()));
        for (const QString& path : {dataFile("missing.db"), Database::dataPath(), QString()})
            QVERIFY2(!Integrity::isWhole(path, Integrity::Depth::Quick) && !Integrity::isWholeWhileInUse(path),
                     qPrintable(path));
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db", "VelSpo.ini"}));
    }

    // The check of the working database while it is in use takes no lock: a
    // save during it goes through at once, and the check, which saw the file
    // change under it, reads it again before it calls it whole.
    void checkWhileInUseLetsASaveThrough()
    {
        QVERIFY(Database::init(true) && insertMany(200));
        QSemaphore reading, goOn;
        int reads = 0;
        DatabaseIntegrity::setReadingHookForTesting([&] {
            if (reads++ == 0) {
                reading.release();
                goOn.acquire();
            }
        });
        const auto unhook = qScopeGuard([] { DatabaseIntegrity::setReadingHookForTesting({}); });
        std::atomic_bool whole{false};
        std::unique_ptr<QThread> check(
            QThread::create([&whole] { whole = DatabaseIntegrity::isWholeWhileInUse(Database::databaseFileName()); }));
        check->start();
        QVERIFY(reading.tryAcquire(1, 30000));
        QElapsedTimer saving;
        saving.start();
        const bool saved = exec("INSERT INTO SpoDocuments (fio1) VALUES ('Новый')");
        const qint64 waited = saving.elapsed();
        goOn.release();
        QVERIFY(check->wait(30000));
        QVERIFY2(saved && waited < 2000, qPrintable(QString::number(waited)));
        QVERIFY(whole);
        QCOMPARE(reads, 2);
        QCOMPARE(count("SpoDocuments"), 201);
    }

    // A disk that takes no more than a page: the user is told, and no file is
    // left that a later start would take for a good database.
    void fullDiskLeavesNoHalfMadeDatabase_data()
    {
        QTest::addColumn<bool>("repair");
        QTest::newRow("first start") << false;
        QTest::newRow("repair") << true;
    }

    void fullDiskLeavesNoHalfMadeDatabase()
    {
        QFETCH(bool, repair);
        if (repair)
            QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema));
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QVERIFY(![] { FileSizeLimit onePage(4096); return Database::init(true); }());
        QCOMPARE(Database::startupExitCode(), 1);
        QCOMPARE(answerer.handledCount(), repair ? 3 : 1); // the question, where the old file went, the failure
        QVERIFY2(answerer.texts().last().contains("Не удалось создать новую базу данных")
                     && answerer.texts().last().contains("нет свободного места"),
                 qPrintable(answerer.texts().last()));
        QCOMPARE(filesInDataDir(), backupFiles());
        QCOMPARE(backupFiles().size(), int(repair));
        answerer.clear();
        QVERIFY(Database::init(true) && Database::setVariable("City", "Тверь"));
        QCOMPARE(answerer.handledCount(), 0);
    }

    // Creating the database is all or nothing at any budget of room: every
    // table, view and index, or the failed-creation box and no file left.
    void firstStartWithLittleRoom_data()
    {
        QTest::addColumn<int>("kilobytes");
        QTest::addColumn<bool>("repair");
        for (const bool repair : {false, true}) {
            for (int kilobytes = 16; kilobytes <= 224; kilobytes += 16)
                QTest::addRow("%s, %d KB", repair ? "repair" : "first start", kilobytes) << kilobytes << repair;
        }
    }

    void firstStartWithLittleRoom()
    {
        QFETCH(int, kilobytes);
        QFETCH(bool, repair);
        if (repair)
            QVERIFY(makeSqliteFile(Database::databaseFileName(), wrongSchema));
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        const bool started = [kilobytes] { FileSizeLimit room(rlim_t(kilobytes) * 1024); return Database::init(true); }();
        // The file of the wrong structure is kept aside either way.
        QCOMPARE(backupFiles().size(), int(repair));
        if (!started) {
            QCOMPARE(Database::startupExitCode(), 1);
            QCOMPARE(answerer.handledCount(), 1 + 2 * int(repair));
            QVERIFY2(answerer.texts().last().contains("Не удалось создать новую базу данных"),
                     qPrintable(answerer.texts().last()));
            QCOMPARE(filesInDataDir(), backupFiles());
            return;
        }
        QCOMPARE(answerer.handledCount(), 2 * int(repair));
        QCOMPARE(rows("SELECT type, count(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' GROUP BY type ORDER BY type"),
                 QStringList({"index|9", "table|9", "view|5"}));
        QCOMPARE(rows("SELECT count(*) FROM ViewSpoDetails"), QStringList({"0"}));
    }

    // A statement failing part-way (a table holds the name of a later view or
    // index) leaves every view and index as it was, and a new database empty.
    void failedViewOrIndexStatementChangesNothing()
    {
        QVERIFY(Database::init(true));
        // What a half-done run would have made anew: an outdated view, a missing index.
        QVERIFY(exec("DROP VIEW ViewSpoDocuments") && exec("CREATE VIEW ViewSpoDocuments AS SELECT spoId FROM SpoDocuments"));
        QVERIFY(exec("DROP INDEX DisciplineDetailsBySpoId"));
        QVERIFY(exec("DROP VIEW ViewSpoModules") && exec("CREATE TABLE ViewSpoModules (x)"));
        QVERIFY(exec("DROP INDEX DMDetailsByModuleId") && exec("CREATE TABLE DMDetailsByModuleId (x)"));
        const QString schemaRows = "SELECT type, name, sql FROM sqlite_master ORDER BY name";
        const QStringList before = rows(schemaRows);
        DatabaseSchema schema(QSqlDatabase::database());
        QVERIFY(!schema.rebuildViews());
        QCOMPARE(rows(schemaRows), before);
        QVERIFY(!schema.createDetailIndexes());
        QCOMPARE(rows(schemaRows), before);

        QTemporaryDir dir;
        const QString path = dir.filePath("new.db");
        QVERIFY(makeSqliteFile(path, {"CREATE TABLE ViewSpoCourseworks (x)"}));
        QString error;
        QStringList names;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "new");
            db.setDatabaseName(path);
            if (db.open()) {
                error = DatabaseSchema(db).create();
                QSqlQuery query(db);
                query.exec("SELECT name FROM sqlite_master");
                while (query.next())
                    names << query.value(0).toString();
                db.close();
            }
        }
        QSqlDatabase::removeDatabase("new");
        QVERIFY(!error.isEmpty());
        QCOMPARE(names, QStringList{"ViewSpoCourseworks"});
    }

    // A good file that cannot be brought up to date for want of room is never
    // offered for replacement, and no start goes on without the views.
    void littleRoomAtALaterStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("needs a patch") << "old" << "Не удалось обновить структуру базы данных";
        QTest::newRow("views missing") << "no views" << "Не удалось создать представления базы данных";
    }

    void littleRoomAtALaterStart()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        if (kind == "old") {
            QVERIFY(makeSqliteFile(Database::databaseFileName(), oldSchema() << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')"));
        } else {
            QVERIFY(Database::init(true) && exec("INSERT INTO SpoDocuments (fio1) VALUES ('Старый')"));
            for (const QString& view : rows("SELECT name FROM sqlite_master WHERE type = 'view'"))
                QVERIFY(exec("DROP VIEW " + view));
            QVERIFY(exec("VACUUM"));
            Database::destroy();
        }
        const QByteArray before = readBytes(Database::databaseFileName());
        ModalAnswerer answerer;
        const bool started = [] { FileSizeLimit onePage(4096); return Database::init(true); }();
        QVERIFY(!started);
        QCOMPARE(Database::startupExitCode(), 1);
        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY2(answerer.texts().last().contains(text) && answerer.texts().last().contains("нет свободного места"),
                 qPrintable(answerer.texts().last()));
        QCOMPARE(readBytes(Database::databaseFileName()), before);
        QCOMPARE(filesInDataDir(), QStringList{"VelSpo.db"});
        // With room again it starts with everything.
        QVERIFY(Database::init(true));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Старый  "}));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
    }

    // A start writes only what must change: views that differ from the
    // program's, missing indexes. A damaged file is never written to; without
    // its views it cannot be opened.
    void startWritesOnlyWhatMustChange_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("knownDamaged");
        QTest::newRow("current") << "current" << false << false << true << false;
        QTest::newRow("outdated view") << "outdated view" << false << true << true << false;
        QTest::newRow("missing view") << "missing view" << false << true << true << false;
        QTest::newRow("missing index") << "missing index" << false << true << true << false;
        // Nothing to write, so nothing checked at the start: the window's check finds it.
        QTest::newRow("current, damaged") << "current" << true << false << true << false;
        QTest::newRow("outdated view, damaged") << "outdated view" << true << false << true << true;
        QTest::newRow("missing index, damaged") << "missing index" << true << false << true << true;
        QTest::newRow("missing view, damaged") << "missing view" << true << false << false << true;
        QTest::newRow("old, damaged") << "old" << true << false << false << true;
    }

    void startWritesOnlyWhatMustChange()
    {
        QFETCH(QString, kind);
        QFETCH(bool, damaged);
        QFETCH(bool, written);
        QFETCH(bool, started);
        QFETCH(bool, knownDamaged);
        const QString schemaRows = "SELECT type, name, sql FROM sqlite_master WHERE type IN ('view', 'index') ORDER BY name";
        QVERIFY(Database::init(true));
        const QStringList fresh = rows(schemaRows);
        if (kind == "old") {
            resetDataDir();
            QVERIFY(makeSqliteFile(Database::databaseFileName(),
                                   oldSchema() << "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                                  "INSERT INTO SpoDocuments (fio1) SELECT 'Фамилия' || i FROM n"));
        } else {
            QVERIFY(insertMany(3000));
        }
        if (kind == "outdated view")
            QVERIFY(exec("DROP VIEW ViewSpoModules") && exec("CREATE VIEW ViewSpoModules AS SELECT spoId FROM ModuleDetails"));
        if (kind == "missing view")
            QVERIFY(exec("DROP VIEW ViewSpoDetails"));
        if (kind == "missing index")
            QVERIFY(exec("DROP INDEX DMDetailsByModuleId"));
        Database::destroy();
        if (damaged)
            QVERIFY(damageTable("SpoDocuments"));
        const QByteArray before = readBytes(Database::databaseFileName());

        ModalAnswerer answerer;
        QCOMPARE(Database::init(true), started);
        QCOMPARE(Database::isKnownDamaged(), knownDamaged);
        if (started) {
            QCOMPARE(answerer.handledCount(), 0);
            QCOMPARE(rows(schemaRows) == fresh, kind == "current" || !damaged);
        } else {
            QCOMPARE(Database::startupExitCode(), 1);
            QVERIFY2(answerer.texts().value(0).contains("Файл базы данных повреждён")
                         && answerer.texts().value(0).contains("Замените этот файл резервной копией"),
                     qPrintable(answerer.texts().value(0)));
        }
        Database::destroy();
        QCOMPARE(readBytes(Database::databaseFileName()) != before, written);
        QCOMPARE(filesInDataDir(), QStringList{"VelSpo.db"});
    }

    // A file another tool left in write-ahead mode, with rows still in its
    // journal, is in the program's rollback mode after a start, rows and all.
    void writeAheadFileTurnsToRollbackJournal()
    {
        QVERIFY(Database::init(true) && insertMany(10));
        Database::destroy();
        const QString file = Database::databaseFileName();
        QTemporaryDir crash;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tool");
            db.setDatabaseName(file);
            QSqlQuery query(db);
            QVERIFY(db.open() && query.exec("PRAGMA journal_mode = WAL") && query.next() && query.value(0) == "wal");
            QVERIFY(query.exec("PRAGMA wal_autocheckpoint = 0"));
            QVERIFY(query.exec("INSERT INTO SpoDocuments (fio1) VALUES ('В журнале')"));
            // As a crash leaves them: the row only in the write-ahead file.
            QVERIFY(QFile::copy(file, crash.filePath("db")) && QFile::copy(file + "-wal", crash.filePath("wal")));
            db.close();
        }
        QSqlDatabase::removeDatabase("tool");
        for (const QString& name : filesInDataDir())
            QVERIFY(QFile::remove(dataFile(name)));
        QVERIFY(QFile::copy(crash.filePath("db"), file) && QFile::copy(crash.filePath("wal"), file + "-wal"));
        QCOMPARE(readBytes(file).mid(18, 2), QByteArray("\x02\x02"));

        QVERIFY(Database::init(true));
        QCOMPARE(scalar("PRAGMA journal_mode").toString(), QString("delete"));
        QCOMPARE(count("SpoDocuments"), 11);
        Database::destroy();
        QCOMPARE(readBytes(file).mid(18, 2), QByteArray("\x01\x01"));
        QCOMPARE(filesInDataDir(), QStringList{"VelSpo.db"});
    }

    // Code 1 and a box naming the file, or read-only after a box; nothing is written, and a later start works.
    void startWithoutWriteAccess_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("text");
        QTest::newRow("cannot move aside") << "unmovable" << false << "переместить";
        QTest::newRow("read-only, current structure") << "current" << true << "администратора";
        // Opened as it is, to be read and printed from; the window warns of the damage.
        QTest::newRow("read-only, damaged") << "damaged" << true << "администратора";
        QTest::newRow("read-only, needs a patch") << "old" << false << "администратора";
        QTest::newRow("read-only, no file") << "none" << false << "администратора";
    }

    void startWithoutWriteAccess()
    {
        QFETCH(QString, kind);
        QFETCH(bool, started);
        QFETCH(QString, text);
        const bool readOnly = kind != "unmovable";
        if (kind == "current" || kind == "damaged") {
            QVERIFY(Database::init(true));
            QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Чужой')"));
            if (kind == "damaged")
                QVERIFY(insertDisciplines(1, 500) && damageTable("DisciplineDetails", DamagedLeaf::First));
            Database::destroy();
        } else if (kind == "old" || kind == "unmovable") {
            QVERIFY(makeSqliteFile(Database::databaseFileName(), kind == "old" ? oldSchema() : wrongSchema));
        }
        // Every ".bak" name of this minute and the next is taken.
        int taken = 0;
        for (int minute = 0; kind == "unmovable" && minute < 2; ++minute) {
            const QString base = "VelSpo" + QDateTime::currentDateTime().addSecs(60 * minute).toString("_hh-mm_dd-MM-yyyy");
            for (int i = 0; i < 100; ++i, ++taken)
                QVERIFY(writeBytes(dataFile(i ? QString("%1_%2.bak").arg(base).arg(i) : base + ".bak"), "older"));
        }
        const QByteArray before = readBytes(Database::databaseFileName());
        Database::setReadOnlyForTesting(readOnly);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        const bool result = Database::init(true);
        const bool stored = result && Database::setVariable("City", "Тверь");
        const bool knownDamaged = Database::isKnownDamaged();
        const QStringList names = result ? rows("SELECT fio1 FROM SpoDocuments") : QStringList();
        Database::destroy();
        Database::setReadOnlyForTesting(false);

        QCOMPARE(result, started);
        QCOMPARE(knownDamaged, kind == "damaged");
        QCOMPARE(Database::startupExitCode(), started ? 0 : 1);
        QCOMPARE(answerer.handledCount(), kind == "unmovable" ? 2 : 1);
        const QString last = answerer.texts().last();
        QVERIFY2(last.contains(text) && last.contains(Database::databaseFileName()), qPrintable(last));
        QCOMPARE(last.startsWith("Не удалось открыть базу данных"), !started);
        QCOMPARE(answerer.titles().last(), started ? QString("Внимание!") : QString("Ошибка"));
        QVERIFY(!stored);
        QCOMPARE(names, started ? QStringList({"Чужой"}) : QStringList());
        QCOMPARE(readBytes(Database::databaseFileName()), before);
        QCOMPARE(backupFiles().size(), taken);
        if (kind != "unmovable") {
            QVERIFY(Database::init(true));
            QCOMPARE(Database::startupExitCode(), 0);
        }
    }

    void withoutTheCheckAForeignFileIsOnlyOpened()
    {
        QVERIFY(makeSqliteFile(Database::databaseFileName(), foreignSchema));
        ModalAnswerer answerer;
        QVERIFY(Database::init(false));
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(rows("SELECT name FROM Customers"), QStringList({"Петров"}));
    }

    void variablesAndFrequentValues()
    {
        QVERIFY(Database::init(true));
        const QString value = "ГБПОУ 'Колледж' им. О'Генри'); DROP TABLE Variables; --";
        QVERIFY(Database::setVariable("O'Name", "старое") && Database::setVariable("O'Name", value));
        QCOMPARE(rows("SELECT Value FROM Variables WHERE Name = 'O''Name'"), QStringList({value}));
        // Names are matched with LIKE: "_" stands for any character, case is ignored.
        QVERIFY(Database::setVariable("BossX1", "Иванов И.И."));
        QCOMPARE(Database::getVariable("boss_1"), QString("Иванов И.И."));
        QCOMPARE(Database::getVariable("City"), QString());
        // Most frequent first, trimmed, blanks left out.
        QVERIFY(exec("INSERT INTO SpoDocuments (qual, professionName) VALUES "
                     "('Техник', 'Механик'), ('  Техник ', ''), ('Повар', '   '), ('Техник', NULL), "
                     "('Бухгалтер', 'Повар'), (NULL, 'Бухгалтер')"));
        QCOMPARE(Database::mostFrequentValues("SpoDocuments", "qual", 2), QStringList({"Техник", "Бухгалтер"}));
        QCOMPARE(Database::mostFrequentValues("SpoDocuments", QStringList({"qual", "professionName"}), 0),
                 QStringList({"Техник", "Бухгалтер", "Повар", "Механик"}));
        QCOMPARE(Database::mostFrequentValues("Bosses", "bossFio", 0), QStringList());
    }

    void sharedModelAndSettings()
    {
        QVERIFY(Database::instance() && Database::isOpen());
        QCOMPARE(Database::tableModel("Bosses"), Database::tableModel("Bosses"));
        // The settings reach their files when the database goes.
        Database::userSettings()->setValue("VelSpo/late", "written");
        Database::commonSettings()->setValue("Proxy/hostName", "proxy.local");
        Database::destroy();
        QVERIFY(readBytes(Database::userSettingsPath() + "/settings.ini").contains("late=written"));
        QVERIFY(readBytes(Database::dataPath() + "/settings.ini").contains("hostName=proxy.local"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Database::userSettings()->value("VelSpo/late").toString(), QString("written"));
        Database::userSettings()->remove("VelSpo/late");
        Database::commonSettings()->remove("Proxy");
    }

    // The texts the about box, the title bar and the settings use; a type unknown to the table gets the family name.
    void thisProductsTexts()
    {
        using namespace ProductTypeInfo;
        QCOMPARE(productName() + "|" + titleWithBuild() + "|" + fullTitle(UnknownType) + "|" + description(42),
                 QString("VelSpo|ВЕЛФОРМА для документов о среднем профессиональном образовании v0.4.2 build 617|ВЕЛФОРМА|"));
    }

    void versionWarningOnlyWithDataPath()
    {
        auto warnings = [](const QString& lastVersion, const QString& dataPath) {
            QSettings* settings = Database::userSettings();
            settings->remove("VelSpo");
            if (!lastVersion.isEmpty())
                settings->setValue("VelSpo/last_started_version", lastVersion);
            if (!dataPath.isEmpty())
                settings->setValue("VelSpo/dataPath", dataPath);
            ModalAnswerer answerer;
            Database::checkLastStartedVersion();
            const bool stored = settings->value("VelSpo/last_started_version").toString() == ProductTypeInfo::version();
            settings->remove("VelSpo");
            return stored ? answerer.texts() : QStringList("version not stored");
        };
        QCOMPARE(warnings("", ""), QStringList());
        QCOMPARE(warnings("0.4.1", ""), QStringList());
        QCOMPARE(warnings(ProductTypeInfo::version(), "/home/u/v"), QStringList());
        const QString text = warnings("0.4.1", "/home/u/v").join("|");
        QVERIFY2(text.startsWith("Похоже, что вы установили новую версию программы")
                     && text.contains("Инструменты - Настройки программы -  Расположение файлов") && !text.contains('|'),
                 qPrintable(text));
    }

    // The old organisation data moves from the product's INI file into Variables, each key after its row is stored.
    void iniDataMovedOrLeftAsItIs()
    {
        QVERIFY(Database::init(true));
        const QString ini = dataFile("VelSpo.ini");
        // A Variables table that refuses one value stands in for a failing insert.
        QVERIFY(exec("DROP TABLE Variables"));
        QVERIFY(exec("CREATE TABLE Variables (Name TEXT PRIMARY KEY, Value TEXT CHECK (Value <> 'refused'))"));
        QVERIFY(Database::setVariable("City", "Старый город"));
        // Written by hand, without quotes: QSettings reads the commas as a list.
        QVERIFY(writeBytes(ini, "[Data]\nOrgName_1=ГБПОУ 'Колледж' им. О'Генри, г. Тверь\nCity=Москва\nBoss'1=Иванов\n"
                                "Boss_2=refused\n[Other]\nkeep=yes\n"));
        migrateIniData(ini);
        // A value the database holds is kept; the file's key goes all the same.
        QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"),
                 QStringList({"Boss'1|Иванов", "City|Старый город", "OrgName_1|ГБПОУ 'Колледж' им. О'Генри, г. Тверь"}));
        QCOMPARE(QSettings(ini, QSettings::IniFormat).allKeys(), QStringList({"Data/Boss_2", "Other/keep"}));

        // Files left as they are: no Data group, or no database to move into.
        QVERIFY(exec("DROP TABLE Variables"));
        QVERIFY(writeBytes(ini, "[Other]\r\nkeep=yes\r\n"));
        migrateIniData(ini);
        QCOMPARE(structure("Variables"), QStringList({"Variables Name TEXT 0 1", "Variables Value TEXT 0 0"}));
        QCOMPARE(readBytes(ini), QByteArray("[Other]\r\nkeep=yes\r\n"));
        QVERIFY(exec("DROP TABLE Variables"));
        migrateIniData(dataFile("missing.ini"));
        QVERIFY(!QFileInfo::exists(dataFile("missing.ini")));
        QCOMPARE(structure("Variables").size(), 2);

        QVERIFY(writeBytes(ini, "[Data]\nCity=Тверь\n"));
        Database::close();
        migrateIniData(ini);
        QCOMPARE(readBytes(ini), QByteArray("[Data]\nCity=Тверь\n"));
    }

    void readOnlyFileNeverReplacesLaterEdits()
    {
        QVERIFY(Database::init(true));
        const QString ini = dataFile("VelSpo.ini");
        // The keys of an unwritable file survive every start; the user saved the city before the first move.
        const QByteArray content("[Data]\nCity=Тверь\nBoss_1=Петров\n");
        QVERIFY(writeBytes(ini, content));
        QVERIFY(QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        // Root writes into read-only files: for it the file's replacement fails, as in a read-only folder.
        g_refusedRenameTarget = QFile::encodeName(ini);
        QVERIFY(Database::setVariable("City", "Москва"));
        for (int start = 0; start < 2; ++start)
            migrateIniData(ini);
        g_refusedRenameTarget.clear();
        QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"), QStringList({"Boss_1|Петров", "City|Москва"}));
        QCOMPARE(readBytes(ini), content);
    }

    // The first move refused, by a full database or for want of room to
    // rewrite the INI file: the requisites the user saves afterwards are never
    // replaced by the file's old values at a later start; those the user
    // did not save are filled in, and with room the keys leave the file.
    void iniRewriteRefusedNeverReplacesLaterSaves_data()
    {
        QTest::addColumn<bool>("databaseFull");
        QTest::newRow("the database refuses the move") << true;
        QTest::newRow("the file cannot be rewritten") << false;
    }

    void iniRewriteRefusedNeverReplacesLaterSaves()
    {
        QFETCH(bool, databaseFull);
        QVERIFY(Database::init(true));
        const QString ini = dataFile("VelSpo.ini");
        const qint64 databaseSize = QFileInfo(Database::databaseFileName()).size();
        const rlim_t noRoomForTheFile = rlim_t(databaseSize) + 128 * 1024;
        // Other keys of the old program make the rewritten file larger than the room left.
        const QByteArray other = "[Other]\nkept=" + QByteArray(databaseSize + 512 * 1024, 'x') + "\n";
        QVERIFY(writeBytes(ini, "[Data]\nCity=Тверь\nBoss_1=Петров\nBoss_2=Иванов\nOrgName_1=Колледж\n" + other));
        const IniMigrationResult first = [&] {
            FileSizeLimit room(databaseFull ? 0 : noRoomForTheFile);
            return migrateIniData(ini);
        }();
        QCOMPARE(int(first), int(databaseFull ? IniMigrationResult::NotStored : IniMigrationResult::NotRemoved));
        QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"),
                 databaseFull ? QStringList()
                              : QStringList({"Boss_1|Петров", "Boss_2|Иванов", "City|Тверь", "OrgName_1|Колледж"}));
        QVERIFY(readBytes(ini).startsWith("[Data]\nCity=Тверь"));

        // Saved in "Настройки", then two restarts: the first one still without room for the file.
        QVERIFY(Database::setVariable("OrgName_1", "Колледж № 2") && Database::setVariable("City", "Москва")
                && Database::setVariable("Boss_1", "Сидоров"));
        for (const bool room : {false, true}) {
            Database::destroy();
            QVERIFY(Database::init(true));
            const IniMigrationResult later = [&] {
                FileSizeLimit limit(room ? RLIM_INFINITY : noRoomForTheFile);
                return migrateIniData(ini);
            }();
            QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"),
                     QStringList({"Boss_1|Сидоров", "Boss_2|Иванов", "City|Москва", "OrgName_1|Колледж № 2"}));
            // The user hears once that the file kept its keys: at the first move that was stored.
            const IniMigrationResult expected = room ? IniMigrationResult::Moved
                                                     : databaseFull ? IniMigrationResult::NotRemoved
                                                                    : IniMigrationResult::NothingToMove;
            QCOMPARE(int(later), int(expected));
        }
        // With room the keys finally leave the file; the rest stays.
        QCOMPARE(QSettings(ini, QSettings::IniFormat).allKeys(), QStringList({"Other/kept"}));
    }

    // The live file, the chosen one and its folder stay as they were.
    void refusedOrFailedCopyChangesNothing_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"live", "live spelt otherwise", "live link", "missing directory", "name too long",
                                 "read-only directory"})
            QTest::addRow("backup, %s", kind) << true << QString(kind);
        for (const char* kind : {"live", "live spelt otherwise", "live link", "missing", "random", "empty", "foreign",
                                 "wrong", "directory"})
            QTest::addRow("restore, %s", kind) << false << QString(kind);
    }

    void refusedOrFailedCopyChangesNothing()
    {
        QFETCH(bool, backup);
        QFETCH(QString, kind);
        if (kind == "read-only directory" && ::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        QVERIFY(openLive());
        QTemporaryDir dir;
        const QString live = Database::databaseFileName();
        QString path = dir.filePath("copy.db");
        if (kind == "live")
            path = live;
        else if (kind == "live spelt otherwise")
            path = Database::dataPath() + "/../" + QFileInfo(Database::dataPath()).fileName() + "/VelSpo.db";
        else if (kind == "live link")
            QVERIFY(QFile::link(live, path));
        else if (kind == "missing directory")
            path = dir.filePath("missing/dir/copy.db");
        else if (kind == "name too long") // the temporary name beside it is too long, not this one
            path = dir.filePath(QString(248, QChar('b')) + ".db");
        else if (kind == "random" || kind == "empty")
            QVERIFY(writeBytes(path, kind == "random" ? noise() : QByteArray()));
        else if (kind == "foreign" || kind == "wrong")
            QVERIFY(makeSqliteFile(path, kind == "foreign" ? foreignSchema : wrongSchema));
        else if (kind == "directory")
            QVERIFY(QDir().mkpath(path));
        if (backup && !kind.startsWith("live") && kind != "missing directory")
            QVERIFY(writeBytes(path, "older backup"));
        if (kind == "read-only directory")
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const QStringList beside = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QByteArray before = readBytes(path), liveBefore = readBytes(live);

        const bool ok = backup ? Database::backup(path) : Database::restore(path);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!ok);
        QCOMPARE(readBytes(live), liveBefore);
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), beside);
        // The write lock taken for the copy is released.
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (3)"));
        checkLive();
    }

    // The backup replaces an older one (through a link, the file it leads
    // to); restoring it brings back its rows.
    void backupAndRestore()
    {
        QVERIFY(openLive());
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(writeBytes(saved, "older backup"));
        QVERIFY(QFile::link(saved, outside.filePath("link.db")));
        QVERIFY(Database::backup(outside.filePath("link.db")));
        QVERIFY(QFileInfo(outside.filePath("link.db")).isSymLink());
        QVERIFY(QFile::remove(outside.filePath("link.db")));
        // The write lock taken for the copy is released.
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'Лишний')"));
        QVERIFY(Database::setVariable("City", "Тверь"));
        QSqlTableModel* model = Database::tableModel("SpoDocuments");
        QVERIFY(model->select() && model->rowCount() == 2);
        const QFile::Permissions shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(Database::databaseFileName(), shared));
        const QByteArray replaced = readBytes(Database::databaseFileName());

        QVERIFY(Database::restore(saved));
        // The replaced database is kept beside it under a dated name.
        QCOMPARE(backupFiles().size(), 1);
        QCOMPARE(readBytes(dataFile(backupFiles().first())), replaced);
        QVERIFY(QFile::remove(dataFile(backupFiles().first())));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Живой  "}));
        QCOMPARE(Database::getVariable("City"), QString("Москва"));
        // A model handed out before keeps working; new callers get a fresh one.
        QVERIFY(model->select() && model->rowCount() == 1);
        QVERIFY(Database::tableModel("SpoDocuments")->select() && Database::tableModel("SpoDocuments")->rowCount() == 1);
        // The file keeps the permissions the administrator gave it.
        QCOMPARE(QFile::permissions(Database::databaseFileName()) & (shared | QFile::ExeOwner), shared);
        // The chosen file stays, and nothing else was left beside it.
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList({"saved.db"}));
        checkLive();
    }

    // The checked copy cannot be put in place of the database: reported, and
    // the database as it was, open, with nothing left beside it.
    void failedSwapIsReportedAndChangesNothing()
    {
        QVERIFY(openLive());
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(Database::backup(saved));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'Новый')"));
        const QString live = Database::databaseFileName();
        const QByteArray liveBefore = readBytes(live);
        g_refusedRenameTarget = QFile::encodeName(live);
        QString reason, kept;
        const bool restored = Database::restore(saved, &reason, &kept);
        g_refusedRenameTarget.clear();
        QVERIFY(!restored);
        QVERIFY2(reason.startsWith("Не удалось заменить файл базы данных " + live + ": ")
                     && reason.endsWith(".\nТекущая база данных не изменена."),
                 qPrintable(reason));
        QCOMPARE(kept, QString());
        QCOMPARE(readBytes(live), liveBefore);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments ORDER BY spoId"), QStringList({"Живой", "Новый"}));
        checkLive();
    }

    // A backup made by the program with one page of its data overwritten has
    // the right tables but fails SQLite's own check: refused as damaged (not
    // as a foreign file, also when the structure check's read meets the page),
    // the live database as it was.
    void damagedBackupIsRefused_data()
    {
        QTest::addColumn<bool>("firstLeaf");
        QTest::newRow("a page in the middle of the file") << false;
        QTest::newRow("the first leaf page of DisciplineDetails") << true;
    }

    void damagedBackupIsRefused()
    {
        QFETCH(bool, firstLeaf);
        QVERIFY(openLive() && insertMany(3000) && insertDisciplines(1, 3000));
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(Database::backup(saved));
        QByteArray bytes = readBytes(saved);
        const int pageSize = (uchar(bytes.at(16)) << 8) | uchar(bytes.at(17));
        const int page = firstLeaf ? leafPages(saved, "DisciplineDetails").value(0) : bytes.size() / pageSize / 2;
        QVERIFY(page > 10);
        bytes.replace((page - 1) * pageSize, pageSize, QByteArray(pageSize, '\x5a'));
        QVERIFY(writeBytes(saved, bytes));
        QCOMPARE(Database::checkDbStructure(saved), !firstLeaf);

        const QByteArray liveBefore = readBytes(Database::databaseFileName());
        QString reason;
        QVERIFY(!Database::restore(saved, &reason));
        QCOMPARE(reason, QStringLiteral("Файл резервной копии повреждён: часть его данных не читается.\n"
                                        "Текущая база данных не изменена."));
        QCOMPARE(readBytes(Database::databaseFileName()), liveBefore);
        QCOMPARE(count("SpoDocuments"), 3001);
        checkLive();
    }

    // A backup another tool or a hostile file has changed becomes exactly the
    // program's own database: no trigger deletes rows at the next insert, no
    // foreign index refuses one, and a backup kept in WAL mode gets the
    // rollback journal, so the next backup holds every document.
    void restoredFileIsTheProgramsOwn_data()
    {
        QTest::addColumn<QStringList>("change");
        QTest::newRow("trigger deleting the other documents")
            << QStringList{"CREATE TRIGGER wipe AFTER INSERT ON SpoDocuments BEGIN "
                           "DELETE FROM SpoDocuments WHERE spoId <> NEW.spoId; DELETE FROM DisciplineDetails; END"};
        QTest::newRow("foreign view, index and table; an index of ours made otherwise")
            << QStringList{"CREATE VIEW Extra AS SELECT fio1 FROM SpoDocuments",
                           "CREATE UNIQUE INDEX OneADay ON SpoDocuments (issueDate)", "CREATE TABLE Notes (note TEXT)",
                           "DROP INDEX DisciplineDetailsBySpoId",
                           "CREATE INDEX DisciplineDetailsBySpoId ON DisciplineDetails (disciplineName)"};
        QTest::newRow("WAL journal") << QStringList{"PRAGMA journal_mode=WAL"};
    }

    void restoredFileIsTheProgramsOwn()
    {
        QFETCH(QStringList, change);
        QVERIFY(openLive() && insertMany(499) && insertDisciplines(1, 30));
        const QString schemaQuery = "SELECT type, name, sql FROM sqlite_master ORDER BY type, name";
        const QStringList schema = rows(schemaQuery);
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(Database::backup(saved) && makeSqliteFile(saved, change));
        Database::setKnownDamaged(true);

        QString kept;
        QVERIFY(Database::restore(saved, nullptr, &kept));
        QVERIFY(QFile::remove(kept));
        QVERIFY(!Database::isKnownDamaged());
        QCOMPARE(rows(schemaQuery), schema);
        QCOMPARE(scalar("PRAGMA journal_mode").toString(), QString("delete"));
        // 50 more documents, issued on days others were.
        QVERIFY(exec("INSERT INTO SpoDocuments (fio1, issueDate) SELECT fio1 || '-2', issueDate FROM SpoDocuments "
                     "WHERE spoId > 1 LIMIT 50"));
        QCOMPARE(count("SpoDocuments"), 550);
        QCOMPARE(count("DisciplineDetails"), 30);
        const QString later = outside.filePath("later.db");
        QVERIFY(Database::backup(later));
        QCOMPARE(fileRows(later, "SELECT COUNT(*) FROM SpoDocuments"), QStringList{"550"});
        checkLive();
    }

    // The live database in WAL mode holds its latest rows in the WAL file: the
    // backup first writes them into the database file. While another
    // connection keeps the WAL open that cannot be done: refused, and said why.
    void backupOfADatabaseInWalMode_data()
    {
        QTest::addColumn<bool>("heldOpen");
        QTest::newRow("WAL alone") << false;
        QTest::newRow("WAL held open by another connection") << true;
    }

    void backupOfADatabaseInWalMode()
    {
        QFETCH(bool, heldOpen);
        QVERIFY(openLive());
        QCOMPARE(scalar("PRAGMA journal_mode=WAL").toString(), QString("wal"));
        QVERIFY(insertMany(50));
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QString reason;
        bool ok = false;
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(Database::databaseFileName());
            QSqlQuery reading(other);
            QVERIFY(!heldOpen || (other.open() && reading.exec("BEGIN") && reading.exec("SELECT COUNT(*) FROM SpoDocuments")
                                  && reading.next()));
            ok = Database::backup(saved, &reason);
            reading.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        QCOMPARE(ok, !heldOpen);
        if (heldOpen) {
            QVERIFY2(reason.startsWith("База данных ведёт журнал в режиме WAL, и перевести её в обычный режим не удалось: "),
                     qPrintable(reason));
            QVERIFY(!QFileInfo::exists(saved));
            QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList());
            return;
        }
        QCOMPARE(fileRows(saved, "SELECT COUNT(*) FROM SpoDocuments"), QStringList{"51"});
        QCOMPARE(scalar("PRAGMA journal_mode").toString(), QString("delete"));
        checkLive();
    }

    // Too little room on the disk for a restore is said with the sizes
    // needed; a copy the system refuses is said in the system's own words.
    // Nothing is left behind and the database is as it was.
    void restoreSaysWhyItFailed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no room for the copy of the backup") << "copy";
        QTest::newRow("no room for the kept copy of the database") << "kept";
        QTest::newRow("the system refuses the kept copy") << "limit";
    }

    void restoreSaysWhyItFailed()
    {
        QFETCH(QString, kind);
        QVERIFY(openLive());
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(Database::backup(saved));
        QVERIFY(insertMany(3000));
        const QString live = Database::databaseFileName();
        const QByteArray liveBefore = readBytes(live);
        const qint64 source = QFileInfo(saved).size(), database = liveBefore.size();
        QVERIFY(database > source + 256 * 1024);
        const qint64 free = kind == "copy" ? source - 1 : source + database - 1;
        QString reason;
        bool ok = false;
        if (kind == "limit") {
            FileSizeLimit limit(rlim_t(source) + 128 * 1024);
            ok = Database::restore(saved, &reason);
        } else {
            RestoreCopy::setFreeSpaceForTesting(free);
            ok = Database::restore(saved, &reason);
            RestoreCopy::setFreeSpaceForTesting(-1);
        }
        QVERIFY(!ok);
        const auto mb = [](qint64 bytes, bool up) {
            const double tenths = bytes / 1048576.0 * 10;
            return QLocale().toString((up ? std::ceil(tenths) : std::floor(tenths)) / 10, 'f', 1);
        };
        const QString expected = kind == "limit"
            ? QString("Не удалось сохранить копию текущей базы данных в папке %1: %2.\nВозможно, на диске не хватает места.")
                  .arg(Database::dataPath(), QString::fromLocal8Bit(strerror(EFBIG)))
            : QString("На диске не хватает места для восстановления. Нужно %1 МБ: %2 МБ для копии резервной копии и %3 МБ "
                      "для копии текущей базы данных, а в папке %4 свободно %5 МБ.\nОсвободите место на диске и повторите.")
                  .arg(mb(source + database, true), mb(source, true), mb(database, true), Database::dataPath(),
                       mb(free, false));
        QCOMPARE(reason, expected + "\nТекущая база данных не изменена.");
        QCOMPARE(readBytes(live), liveBefore);
        QCOMPARE(count("SpoDocuments"), 3001);
        checkLive();
    }

private:
    static bool openLive()
    {
        return Database::init(true) && exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Живой')")
            && Database::setVariable("City", "Москва");
    }

    // The leaf pages of table in the file at path, in file order.
    static QList<int> leafPages(const QString& path, const QString& table)
    {
        QList<int> pages;
        for (const QString& page : fileRows(path, "SELECT pageno FROM dbstat WHERE name = '" + table
                                                      + "' AND pagetype = 'leaf' ORDER BY pageno"))
            pages << page.toInt();
        return pages;
    }

    // Every row of sql on a connection of its own to the file at path.
    static QStringList fileRows(const QString& path, const QString& sql)
    {
        QStringList result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "file");
            db.setDatabaseName(path);
            QSqlQuery query(db);
            if (db.open() && query.exec(sql)) {
                while (query.next())
                    result << query.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase("file");
        return result;
    }

    static void checkLive()
    {
        QVERIFY(Database::isOpen());
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments WHERE spoId = 1"), QStringList({"Живой"}));
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db"}));
    }
};

VELSPO_TEST_MAIN(DatabaseTest)
#include "tst_database.moc"
