#include "DatabaseFixtures.h"

#include "engine/IniMigration.h"
#include "support/TestEnvironment.h"

#include <QSettings>

using namespace DatabaseFixtures;
using namespace DocumentFixtures;

// Moving the old organisation data from the product's INI file into Variables.
class IniMigrationTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        resetDataDir();
        QVERIFY(Database::init(true));
        m_ini = dataFile("VelSpo.ini");
    }
    void cleanupTestCase() { resetDataDir(); }

    void movesKeysWithApostrophesAndCommasAndReplacesRows()
    {
        QVERIFY(Database::setVariable("City", "Старый город"));
        // Written by hand, without quotes: QSettings reads the commas as a list.
        QVERIFY(writeBytes(m_ini, "[Data]\nOrgName_1=ГБПОУ 'Колледж' им. О'Генри, г. Тверь\nCity=Москва\nBoss'1=Иванов\n"
                                  "[Other]\nkeep=yes\n"));
        migrateIniData(m_ini);
        QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"),
                 QStringList({"Boss'1|Иванов", "City|Москва", "OrgName_1|ГБПОУ 'Колледж' им. О'Генри, г. Тверь"}));
        QCOMPARE(QSettings(m_ini, QSettings::IniFormat).allKeys(), QStringList({"Other/keep"}));
        QVERIFY(!readBytes(m_ini).contains("[Data]"));
    }

    void keyStaysWhenItsRowIsNotStored()
    {
        // A Variables table that refuses one value stands in for a failing insert.
        QVERIFY(exec("DROP TABLE Variables"));
        QVERIFY(exec("CREATE TABLE Variables (Name TEXT PRIMARY KEY, Value TEXT CHECK (Value <> 'refused'))"));
        {
            QSettings settings(m_ini, QSettings::IniFormat);
            settings.setValue("Data/City", "Тверь");
            settings.setValue("Data/Boss_2", "refused");
        }
        migrateIniData(m_ini);
        QCOMPARE(rows("SELECT Name, Value FROM Variables"), QStringList({"City|Тверь"}));
        QSettings after(m_ini, QSettings::IniFormat);
        QCOMPARE(after.allKeys(), QStringList({"Data/Boss_2"}));
    }

    void readOnlyFileNeverReplacesLaterEdits()
    {
        // The keys of a file that cannot be written survive every start; since
        // the first, the user has changed the city and removed the second head.
        const QByteArray content("[Data]\nCity=Тверь\nBoss_1=Петров\n");
        QVERIFY(writeBytes(m_ini, content));
        QVERIFY(QFile::setPermissions(m_ini, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        if (QFile(m_ini).open(QIODevice::ReadWrite))
            QSKIP("this user writes into read-only files");
        QVERIFY(Database::setVariable("City", "Москва"));
        migrateIniData(m_ini);
        QCOMPARE(rows("SELECT Name, Value FROM Variables ORDER BY Name"), QStringList({"Boss_1|Петров", "City|Москва"}));
        QCOMPARE(readBytes(m_ini), content);
    }

    void nothingIsRemovedWithoutDatabase()
    {
        QVERIFY(writeBytes(m_ini, "[Data]\nCity=Тверь\n"));
        Database::close();
        migrateIniData(m_ini);
        QCOMPARE(readBytes(m_ini), QByteArray("[Data]\nCity=Тверь\n"));
    }

    void fileWithoutDataGroupOnlyCreatesTheTable()
    {
        QVERIFY(exec("DROP TABLE Variables"));
        QVERIFY(writeBytes(m_ini, "[Other]\r\nkeep=yes\r\n"));
        migrateIniData(m_ini);
        QCOMPARE(tableInfo("Variables"), QStringList({"Name TEXT 0 1", "Value TEXT 0 0"}));
        QCOMPARE(readBytes(m_ini), QByteArray("[Other]\r\nkeep=yes\r\n"));

        QVERIFY(exec("DROP TABLE Variables"));
        migrateIniData(dataFile("missing.ini"));
        QVERIFY(!QFileInfo::exists(dataFile("missing.ini")));
        QCOMPARE(tableInfo("Variables").size(), 2);
    }

private:
    QString m_ini;
};

VELSPO_TEST_MAIN(IniMigrationTest)
#include "tst_inimigration.moc"
