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


    // Backing up onto, or restoring from, the live file under any name.
    void liveFileIsRefused_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("spelling");
        for (bool backup : {true, false}) {
            const char* op = backup ? "backup, " : "restore, ";
            QTest::addRow("%ssame path", op) << backup << QString();
            QTest::addRow("%sother spelling", op) << backup << QString("/../%1/");
            QTest::addRow("%ssymbolic link", op) << backup << QString("link");
        }
    }

    void liveFileIsRefused()
    {
        QFETCH(bool, backup);
        QFETCH(QString, spelling);
        const QString live = Database::databaseFileName();
        QString path = live;
        QTemporaryDir dir;
        if (spelling == "link")
            QVERIFY(QFile::link(live, path = dir.filePath("link.db")));
        else if (!spelling.isEmpty())
            path = Database::dataPath() + spelling.arg(QFileInfo(Database::dataPath()).fileName()) + "VelSpo.db";
        const QByteArray before = readBytes(live);
        QVERIFY(!(backup ? Database::backup(path) : Database::restore(path)));
        QCOMPARE(readBytes(live), before);
    }

    void failedBackupKeepsTheOlderOne_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing directory") << "missing";
        // The temporary name beside this one is too long for the file system,
        // so the copy fails after the older backup has been found in place.
        QTest::newRow("name too long") << "long";
        QTest::newRow("read-only directory") << "read-only";
    }

    void failedBackupKeepsTheOlderOne()
    {
        QFETCH(QString, kind);
        if (kind == "read-only" && ::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        QTemporaryDir dir;
        const QString target = kind == "missing" ? dir.filePath("missing/dir/copy.db")
            : kind == "long"                     ? dir.filePath(QString(248, QChar('b')) + ".db")
                                                 : dir.filePath("copy.db");
        if (kind != "missing")
            QVERIFY(writeBytes(target, "older backup"));
        if (kind == "read-only")
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const bool ok = Database::backup(target);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!ok);
        if (kind == "missing")
            QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
        else
            QCOMPARE(readBytes(target), QByteArray("older backup"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), kind == "missing" ? 0 : 1);
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (3)"));
    }


    // The backup replaces an older one; restoring it brings back its rows.
    void backupAndRestore()
    {
        const QString saved = m_outside.filePath("saved.db");
        QVERIFY(writeBytes(saved, "older backup"));
        QVERIFY(Database::backup(saved));
        QVERIFY(Database::checkDbStructure(saved));
        // The write lock taken for the copy is released: the database still takes changes.
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'Лишний')"));
        QVERIFY(Database::setVariable("City", "Тверь"));
        QSqlTableModel* model = Database::tableModel("SpoDocuments");
        QVERIFY(model->select());
        QCOMPARE(model->rowCount(), 2);
        const QFile::Permissions shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(Database::databaseFileName(), shared));

        QVERIFY(Database::restore(saved));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Живой  "}));
        QCOMPARE(Database::getVariable("City"), QString("Москва"));
        // A model handed out before keeps working; new callers get a fresh one.
        QVERIFY(model->select());
        QCOMPARE(model->rowCount(), 1);
        QVERIFY(Database::tableModel("SpoDocuments")->select());
        QCOMPARE(Database::tableModel("SpoDocuments")->rowCount(), 1);
        // The file keeps the permissions the administrator gave it.
        QCOMPARE(QFile::permissions(Database::databaseFileName()) & (shared | QFile::ExeOwner), shared);
        // The chosen file stays, and nothing else was left beside it.
        QCOMPARE(QDir(m_outside.path()).entryList(QDir::Files), QStringList({"saved.db"}));
        QVERIFY(QFile::remove(saved));
    }

    void restorePatchesAnOldBackup()
    {
        const QString old = m_outside.filePath("old.db");
        QVERIFY(makeSqliteFile(old, oldSchema() << "INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Живой')"
                                                << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')"));
        const QByteArray oldBytes = readBytes(old);

        QVERIFY(Database::restore(old));
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments ORDER BY spoId"), QStringList({"Живой", "Старый"}));
        QCOMPARE(tableInfo("ModuleDetails").size(), 7);
        QVERIFY(Database::setVariable("City", "Тверь"));
        QCOMPARE(Database::getVariable("City"), QString("Тверь"));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
        // The chosen file itself is not changed.
        QCOMPARE(readBytes(old), oldBytes);
    }

    void failedRestoreKeepsTheDatabase_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"missing", "random", "empty", "foreign", "wrong", "directory"})
            QTest::newRow(kind) << QString(kind);
    }

    void failedRestoreKeepsTheDatabase()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString source = dir.filePath("source");
        if (kind == "random" || kind == "empty") {
            QVERIFY(writeBytes(source, kind == "random" ? noise() : QByteArray()));
        } else if (kind == "foreign" || kind == "wrong") {
            QVERIFY(makeSqliteFile(source, kind == "foreign" ? foreignSchema() : wrongSchema()));
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(source));
        }
        const QByteArray sourceBytes = readBytes(source);
        const QByteArray live = readBytes(Database::databaseFileName());

        QVERIFY(!Database::restore(source));
        QCOMPARE(readBytes(Database::databaseFileName()), live);
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (9)"));
        QCOMPARE(readBytes(source), sourceBytes);
    }

private:
    QTemporaryDir m_outside;
};

VELSPO_TEST_MAIN(DatabaseBackupTest)
#include "tst_databasebackup.moc"
