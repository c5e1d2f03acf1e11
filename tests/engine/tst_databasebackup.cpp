#include "DatabaseFixtures.h"

#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QSqlTableModel>
#include <QTemporaryDir>

#include <unistd.h>

using namespace DatabaseFixtures;

// Backup and restore: the live database is never lost, and older backups
// survive failed copies.
class DatabaseBackupTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        reset();
        QVERIFY(Database::init(true));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (1, 'Живой')"));
        Database::setVariable("City", "Москва");
    }
    void cleanupTestCase() { reset(); }

    // ------------------------------------------------------------ backup

    void backupCopiesTheDatabase()
    {
        const QString target = m_outside.filePath("copy.db");
        QVERIFY(Database::backup(target));
        QVERIFY(Database::checkDbStructure(target));
        QVERIFY(exec(QString("ATTACH DATABASE '%1' AS copy").arg(target)));
        QCOMPARE(rows("SELECT fio1 FROM copy.SpoDocuments"), QStringList({"Живой"}));
        QCOMPARE(rows("SELECT Value FROM copy.Variables WHERE Name = 'City'"), QStringList({"Москва"}));
        QVERIFY(exec("DETACH DATABASE copy"));
        // The write lock taken for the copy is released: the database still takes changes.
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'После')"));
        QVERIFY(QFile::remove(target));
    }

    void backupReplacesAnOlderBackup()
    {
        const QString target = m_outside.filePath("older.db");
        QVERIFY(writeBytes(target, "older backup"));
        QVERIFY(Database::backup(target));
        QCOMPARE(readBytes(target), readBytes(Database::databaseFileName()));
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Живой"}));
        QVERIFY(QFile::remove(target));
        QCOMPARE(QDir(m_outside.path()).entryList(QDir::Files), QStringList());
    }

    void backupOntoTheLiveFileIsRefused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("same path") << QString();
        QTest::newRow("other spelling") << QString("/./");
        QTest::newRow("symbolic link") << QString("link");
    }

    void backupOntoTheLiveFileIsRefused()
    {
        QFETCH(QString, target);
        const QString live = Database::databaseFileName();
        if (target.isEmpty()) {
            target = live;
        } else if (target == "link") {
            target = m_outside.filePath("link.db");
            QFile::remove(target);
            QVERIFY(QFile::link(live, target));
        } else {
            target = Database::dataPath() + target + "VelSpo.db";
        }
        const QByteArray before = readBytes(live);
        QVERIFY(!Database::backup(target));
        QCOMPARE(readBytes(live), before);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Живой"}));
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db"}));
        QFile::remove(m_outside.filePath("link.db"));
    }

    void backupIntoMissingDirectoryFails()
    {
        QVERIFY(!Database::backup(m_outside.filePath("missing/dir/copy.db")));
        QVERIFY(!QFileInfo::exists(m_outside.filePath("missing")));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (3)"));
    }

    void failedBackupKeepsTheOlderOne()
    {
        // The temporary name beside this one is too long for the file system,
        // so the copy fails after the older backup has been found in place.
        const QString target = m_outside.filePath(QString(248, QChar('b')) + ".db");
        QVERIFY(writeBytes(target, "older backup"));
        QVERIFY(!Database::backup(target));
        QCOMPARE(readBytes(target), QByteArray("older backup"));
        QCOMPARE(QDir(m_outside.path()).entryList(QDir::Files).size(), 1);
        QVERIFY(QFile::remove(target));
    }

    void backupIntoReadOnlyDirectoryFails()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        QTemporaryDir dir;
        const QString target = dir.filePath("copy.db");
        QVERIFY(writeBytes(target, "older backup"));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const bool ok = Database::backup(target);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!ok);
        QCOMPARE(readBytes(target), QByteArray("older backup"));
    }

    // ------------------------------------------------------------ restore

    void restoreReplacesTheDatabase()
    {
        const QString saved = m_outside.filePath("saved.db");
        QVERIFY(Database::backup(saved));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId, fio1) VALUES (2, 'Лишний')"));
        QSqlTableModel* model = Database::tableModel("SpoDocuments");
        QVERIFY(model->select());
        QCOMPARE(model->rowCount(), 2);

        QVERIFY(Database::restore(saved));
        QVERIFY(Database::isOpen());
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Живой"}));
        QCOMPARE(rows("SELECT fio FROM ViewSpoDocuments"), QStringList({"Живой  "}));
        QCOMPARE(Database::getVariable("City"), QString("Москва"));
        // A model handed out before keeps working; new callers get a fresh one.
        QVERIFY(model->select());
        QCOMPARE(model->rowCount(), 1);
        QVERIFY(Database::tableModel("SpoDocuments")->select());
        QCOMPARE(Database::tableModel("SpoDocuments")->rowCount(), 1);
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db"}));
        QVERIFY(QFileInfo::exists(saved));
    }

    void restorePatchesAnOldBackup()
    {
        const QString old = m_outside.filePath("old.db");
        QStringList statements = oldSchema();
        statements << "INSERT INTO SpoDocuments (fio1) VALUES ('Старый')";
        QVERIFY(makeSqliteFile(old, statements));
        const QByteArray oldBytes = readBytes(old);

        QVERIFY(Database::restore(old));
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Старый"}));
        QCOMPARE(tableInfo("ModuleDetails").size(), 7);
        QCOMPARE(tableInfo("Variables").size(), 2);
        QCOMPARE(tableInfo("Bosses").size(), 2);
        Database::setVariable("City", "Тверь");
        QCOMPARE(Database::getVariable("City"), QString("Тверь"));
        QCOMPARE(rows("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), QStringList({"5"}));
        // The chosen file itself is not changed.
        QCOMPARE(readBytes(old), oldBytes);
    }

    void failedRestoreKeepsTheDatabase_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("random bytes") << "random";
        QTest::newRow("empty") << "empty";
        QTest::newRow("foreign tables") << "foreign";
        QTest::newRow("wrong columns") << "wrong";
        QTest::newRow("directory") << "directory";
    }

    void failedRestoreKeepsTheDatabase()
    {
        QFETCH(QString, kind);
        const QString source = m_outside.filePath("source-" + kind);
        QFile::remove(source);
        if (kind == "random") {
            QByteArray noise(4096, '\0');
            for (int i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 31 + 7) % 253);
            QVERIFY(writeBytes(source, noise));
        } else if (kind == "empty") {
            QVERIFY(writeBytes(source, QByteArray()));
        } else if (kind == "foreign") {
            QVERIFY(makeSqliteFile(source, foreignSchema()));
        } else if (kind == "wrong") {
            QVERIFY(makeSqliteFile(source, wrongSchema()));
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(source));
        }
        const QByteArray sourceBytes = readBytes(source);
        const QByteArray live = readBytes(Database::databaseFileName());

        QVERIFY(!Database::restore(source));
        QVERIFY(Database::isOpen());
        QCOMPARE(readBytes(Database::databaseFileName()), live);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Живой"}));
        QVERIFY(exec("INSERT INTO SpoDocuments (spoId) VALUES (9)"));
        QCOMPARE(filesInDataDir(), QStringList({"VelSpo.db"}));
        QCOMPARE(readBytes(source), sourceBytes);
        if (kind == "directory")
            QDir(source).removeRecursively();
        else
            QFile::remove(source);
    }

    void restoreFromTheLiveFileIsRefused()
    {
        const QString live = Database::databaseFileName();
        const QByteArray before = readBytes(live);
        QVERIFY(!Database::restore(live));
        QVERIFY(!Database::restore(Database::dataPath() + "/../" + QFileInfo(Database::dataPath()).fileName() + "/VelSpo.db"));
        const QString link = m_outside.filePath("live-link.db");
        QVERIFY(QFile::link(live, link));
        QVERIFY(!Database::restore(link));
        QVERIFY(QFile::remove(link));
        QVERIFY(Database::isOpen());
        QCOMPARE(readBytes(live), before);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList({"Живой"}));
    }

    void restoreKeepsFilePermissions()
    {
        const QString saved = m_outside.filePath("perm.db");
        QVERIFY(Database::backup(saved));
        const QFile::Permissions shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(Database::databaseFileName(), shared));
        QVERIFY(Database::restore(saved));
        QCOMPARE(QFile::permissions(Database::databaseFileName()) & (shared | QFile::ExeOwner), shared);
        QVERIFY(QFile::remove(saved));
    }

private:
    QTemporaryDir m_outside;
};

VELSPO_TEST_MAIN(DatabaseBackupTest)
#include "tst_databasebackup.moc"
