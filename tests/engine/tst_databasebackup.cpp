#include "DatabaseFixtures.h"

#include "support/TestEnvironment.h"

#include <QSqlTableModel>
#include <QTemporaryDir>

#include <unistd.h>

using namespace DatabaseFixtures;
using namespace DocumentFixtures;

// Backup and restore: the live database is never lost, and older backups
// survive failed copies.
class DatabaseBackupTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        resetDataDir();
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Живой')"));
        QVERIFY(Database::setVariable("City", "Москва"));
    }

    void cleanup()
    {
        // The live database is always intact and alone in the data directory.
        QVERIFY(Database::isOpen());
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments WHERE spoId = 1"), QStringList({"Живой"}));
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db"}));
    }

    void cleanupTestCase() { resetDataDir(); }

    // Refused: the live file under any name. Failed: a backup that cannot be
    // written, a restore from anything but a database of ours. The live file,
    // the chosen one and its folder stay as they were.
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
            QVERIFY(makeSqliteFile(path, kind == "foreign" ? foreignSchema() : wrongSchema()));
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
    }

    // The backup replaces an older one; restoring it brings back its rows.
    void backupAndRestore()
    {
        QTemporaryDir outside;
        const QString saved = outside.filePath("saved.db");
        QVERIFY(writeBytes(saved, "older backup"));
        QVERIFY(Database::backup(saved));
        QVERIFY(Database::checkDbStructure(saved));
        // The write lock taken for the copy is released: the database still takes changes.
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'Лишний')"));
        QVERIFY(Database::setVariable("City", "Тверь"));
        QSqlTableModel* model = Database::tableModel("SpoDocuments");
        QVERIFY(model->select() && model->rowCount() == 2);
        const QFile::Permissions shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(Database::databaseFileName(), shared));

        QVERIFY(Database::restore(saved));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Живой  "}));
        QCOMPARE(Database::getVariable("City"), QString("Москва"));
        // A model handed out before keeps working; new callers get a fresh one.
        QVERIFY(model->select() && model->rowCount() == 1);
        QVERIFY(Database::tableModel("SpoDocuments")->select() && Database::tableModel("SpoDocuments")->rowCount() == 1);
        // The file keeps the permissions the administrator gave it.
        QCOMPARE(QFile::permissions(Database::databaseFileName()) & (shared | QFile::ExeOwner), shared);
        // The chosen file stays, and nothing else was left beside it.
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList({"saved.db"}));
    }

    void restorePatchesAnOldBackup()
    {
        QTemporaryDir outside;
        const QString old = outside.filePath("old.db");
        QVERIFY(makeSqliteFile(old, oldSchema() << "INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Живой')"
                                                << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')"));
        const QByteArray oldBytes = readBytes(old);
        QVERIFY(Database::restore(old));
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments ORDER BY spoId"), QStringList({"Живой", "Старый"}));
        QCOMPARE(tableInfo("ModuleDetails").size(), 7);
        QVERIFY(Database::setVariable("City", "Тверь"));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
        // The chosen file itself is not changed.
        QCOMPARE(readBytes(old), oldBytes);
    }
};

VELSPO_TEST_MAIN(DatabaseBackupTest)
#include "tst_databasebackup.moc"
