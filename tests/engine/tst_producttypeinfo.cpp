#include "engine/ProductTypeInfo.h"
#include "support/TestEnvironment.h"

// The texts the about box, the title bar and the settings use.
class ProductTypeInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void thisProductsTexts()
    {
        using namespace ProductTypeInfo;
        const QString full = QString::fromUtf8("ВЕЛФОРМА для документов о среднем профессиональном образовании");
        QCOMPARE(productName() + "|" + titleWithBuild(), "VelSpo|" + full + " v0.4.2 build 617");
        QCOMPARE(description(),
                 QString::fromUtf8(
                     "Программный модуль заполнения бланков документов о среднем профессиональном образовании "
                     "(далее - модуль) «ВЕЛФОРМА для документов о среднем профессиональном образовании» "
                     "представляет собой программное средство, предназначенное для использования в образовательных "
                     "учреждениях. Модуль позволяет автоматизировать работу по заполнению документов об образовании. "
                     "Средства ввода информации с клавиатуры специальным образом эргономически оптимизированы, для "
                     "того, чтобы ручной ввод был минимальным по объёму и при этом максимально удобным для "
                     "пользователя."));
        // Types of the family unknown to the table get the bare family name.
        QCOMPARE(fullTitle(UnknownType), QString::fromUtf8("ВЕЛФОРМА"));
        QVERIFY(description(42).isEmpty());
    }
};

VELSPO_TEST_MAIN(ProductTypeInfoTest)
#include "tst_producttypeinfo.moc"
