#include "DatabaseFixtures.h"

#include "engine/IniMigration.h"
#include "support/TestEnvironment.h"

#include <QSettings>

using namespace DatabaseFixtures;

// Moving the old organisation data from the product's INI file into Variables.
class IniMigrationTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        reset();
        QVERIFY(Database::init(true));
    }
    void cleanupTestCase() { reset(); }

    void movesKeysWithApostrophes()
    {
        const QString ini = dataFile("VelSpo.ini");
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Data/OrgName_1", "ГБПОУ 'Колледж' им. О'Генри");
            settings.setValue("Data/City", "Москва");
            settings.setValue("Data/Boss'1", "Иванов");
            settings.setValue("Other/keep", "yes");
        }
        migrateIniData(ini);
        QCOMPARE(Database::getVariable("OrgName_1"), QString("ГБПОУ 'Колледж' им. О'Генри"));
        QCOMPARE(Database::getVariable("City"), QString("Москва"));
        QCOMPARE(Database::getVariable("Boss'1"), QString("Иванов"));

        QSettings after(ini, QSettings::IniFormat);
        after.beginGroup("Data");
        QCOMPARE(after.childKeys(), QStringList());
        after.endGroup();
        QCOMPARE(after.value("Other/keep").toString(), QString("yes"));
        QVERIFY(!readBytes(ini).contains("[Data]"));
    }

    void keyStaysWhenItsRowIsNotStored()
    {
        // A Variables table that refuses one value stands in for a failing insert.
        QVERIFY(exec("DROP TABLE Variables"));
        QVERIFY(exec("CREATE TABLE Variables (Name TEXT PRIMARY KEY, Value TEXT CHECK (Value <> 'refused'))"));
        const QString ini = dataFile("VelSpo.ini");
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Data/City", "Тверь");
            settings.setValue("Data/Boss_2", "refused");
        }
        migrateIniData(ini);
        QCOMPARE(Database::getVariable("City"), QString("Тверь"));
        QCOMPARE(rows("SELECT count(*) FROM Variables"), QStringList({"1"}));

        QSettings after(ini, QSettings::IniFormat);
        after.beginGroup("Data");
        QCOMPARE(after.childKeys(), QStringList({"Boss_2"}));
        QCOMPARE(after.value("Boss_2").toString(), QString("refused"));
    }

    void nothingIsRemovedWithoutDatabase()
    {
        const QString ini = dataFile("VelSpo.ini");
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Data/City", "Тверь");
        }
        const QByteArray before = readBytes(ini);
        Database::close();
        migrateIniData(ini);
        QCOMPARE(readBytes(ini), before);
    }

    void fileWithoutDataGroupOnlyCreatesTheTable()
    {
        QVERIFY(exec("DROP TABLE Variables"));
        const QString ini = dataFile("VelSpo.ini");
        QVERIFY(writeBytes(ini, "[Other]\r\nkeep=yes\r\n"));
        migrateIniData(ini);
        QCOMPARE(tableInfo("Variables"), QStringList({"Name TEXT 0 1", "Value TEXT 0 0"}));
        QCOMPARE(readBytes(ini), QByteArray("[Other]\r\nkeep=yes\r\n"));

        QVERIFY(exec("DROP TABLE Variables"));
        migrateIniData(dataFile("missing.ini"));
        QVERIFY(!QFileInfo::exists(dataFile("missing.ini")));
        QCOMPARE(tableInfo("Variables").size(), 2);
    }

    void valueWithCommasStaysWhole()
    {
        // Written by hand, without quotes: QSettings reads it back as a list.
        const QString ini = dataFile("VelSpo.ini");
        QVERIFY(writeBytes(ini, "[Data]\nOrgName_1=Колледж, г. Тверь, ул. Ленина\n"));
        migrateIniData(ini);
        QCOMPARE(Database::getVariable("OrgName_1"), QString("Колледж, г. Тверь, ул. Ленина"));
    }

    void existingRowsAreReplaced()
    {
        Database::setVariable("City", "Старый город");
        const QString ini = dataFile("VelSpo.ini");
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Data/City", "Новый город");
        }
        migrateIniData(ini);
        QCOMPARE(rows("SELECT Value FROM Variables WHERE Name = 'City'"), QStringList({"Новый город"}));
    }
};

VELSPO_TEST_MAIN(IniMigrationTest)
#include "tst_inimigration.moc"
