#include "engine/ProductTypeInfo.h"
#include "support/TestEnvironment.h"

#include <QSet>

class ProductTypeInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void namesAndType()
    {
        QCOMPARE(ProductTypeInfo::productType(), 4);
        QCOMPARE(ProductTypeInfo::productType(), int(ProductTypeInfo::VelSpo));
        QCOMPARE(ProductTypeInfo::applicationName(), QStringLiteral("VelSpo"));
        QCOMPARE(ProductTypeInfo::organizationName(), QStringLiteral("VelSoftware"));
    }

    void familyNumbers()
    {
        using namespace ProductTypeInfo;
        const QList<int> values = {VelDpo, VelDpp, VelEs, VelSpo, VelAtt, VelMed, VelProf, VelVuz, VelKinder, UnknownType};
        QCOMPARE(values, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 255}));
    }

    void titlesAndVersion()
    {
        const QString full = QString::fromUtf8("ВЕЛФОРМА для документов о среднем профессиональном образовании");
        QCOMPARE(ProductTypeInfo::fullTitle(), full);
        QCOMPARE(ProductTypeInfo::fullTitle(ProductTypeInfo::VelSpo), full);
        QCOMPARE(ProductTypeInfo::version(), QStringLiteral("0.4.2"));
        QCOMPARE(ProductTypeInfo::titleWithVersion(), full + QStringLiteral(" v0.4.2"));
        QCOMPARE(ProductTypeInfo::titleWithBuild(), full + QStringLiteral(" v0.4.2 build 617"));
    }

    void description()
    {
        const QString expected = QString::fromUtf8(
            "Программный модуль заполнения бланков документов о среднем профессиональном образовании "
            "(далее - модуль) «ВЕЛФОРМА для документов о среднем профессиональном образовании» "
            "представляет собой программное средство, предназначенное для использования в образовательных "
            "учреждениях. Модуль позволяет автоматизировать работу по заполнению документов об образовании. "
            "Средства ввода информации с клавиатуры специальным образом эргономически оптимизированы, для того, "
            "чтобы ручной ввод был минимальным по объёму и при этом максимально удобным для пользователя.");
        QCOMPARE(ProductTypeInfo::description(), expected);
        QCOMPARE(ProductTypeInfo::description(ProductTypeInfo::VelSpo), expected);
    }

    void everyFamilyMemberHasItsOwnTexts()
    {
        QSet<QString> titles;
        QSet<QString> names;
        for (int type = 1; type <= 9; ++type) {
            const QString title = ProductTypeInfo::fullTitle(type);
            QVERIFY2(title.startsWith(QString::fromUtf8("ВЕЛФОРМА ")), qPrintable(title));
            QVERIFY(!ProductTypeInfo::description(type).isEmpty());
            QVERIFY(!ProductTypeInfo::shortTitle(type).isEmpty());
            titles.insert(title);
            names.insert(ProductTypeInfo::productName(type));
        }
        QCOMPARE(titles.size(), 9);
        QCOMPARE(names.size(), 9);
        QCOMPARE(ProductTypeInfo::productName(), QStringLiteral("VelSpo"));
        QVERIFY(!ProductTypeInfo::shortTitle().isEmpty());
    }

    void unknownTypeHasBareTitle()
    {
        QCOMPARE(ProductTypeInfo::fullTitle(ProductTypeInfo::UnknownType), QString::fromUtf8("ВЕЛФОРМА"));
        QCOMPARE(ProductTypeInfo::fullTitle(0), QString::fromUtf8("ВЕЛФОРМА"));
        QVERIFY(ProductTypeInfo::description(42).isEmpty());
        QVERIFY(ProductTypeInfo::productName(255).isEmpty());
    }
};

VELSPO_TEST_MAIN(ProductTypeInfoTest)
#include "tst_producttypeinfo.moc"
