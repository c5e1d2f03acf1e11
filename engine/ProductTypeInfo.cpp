#include "engine/ProductTypeInfo.h"

namespace ProductTypeInfo {

namespace {

struct ProductEntry
{
    int type;
    const char* productName;
    const char* shortTitle;
    const char* titleSuffix;
    const char* description;
};

// The family table. Texts are UTF-8.
const ProductEntry kProducts[] = {
    { VelDpo, "VelDpo", "ВЕЛФОРМА ДПО",
      " для документов о дополнительном профессиональном образовании",
      "Программный модуль заполнения бланков документов о дополнительном профессиональном "
      "образовании «ВЕЛФОРМА для документов о дополнительном профессиональном образовании» "
      "предназначен для использования в организациях дополнительного профессионального образования." },
    { VelDpp, "VelDpp", "ВЕЛФОРМА ДПП",
      " для дипломов о профессиональной переподготовке",
      "Программный модуль заполнения бланков дипломов о профессиональной переподготовке "
      "«ВЕЛФОРМА для дипломов о профессиональной переподготовке» предназначен для использования "
      "в образовательных организациях." },
    { VelEs, "VelEs", "ВЕЛФОРМА ОО",
      " для документов об общем образовании",
      "Программный модуль заполнения бланков аттестатов об общем образовании "
      "«ВЕЛФОРМА для документов об общем образовании» предназначен для использования "
      "в общеобразовательных организациях." },
    { VelSpo, "VelSpo", "ВЕЛФОРМА СПО",
      " для документов о среднем профессиональном образовании",
      "Программный модуль заполнения бланков документов о среднем профессиональном образовании "
      "(далее - модуль) «ВЕЛФОРМА для документов о среднем профессиональном образовании» "
      "представляет собой программное средство, предназначенное для использования в "
      "образовательных учреждениях. Модуль позволяет автоматизировать работу по заполнению "
      "документов об образовании. Средства ввода информации с клавиатуры специальным образом "
      "эргономически оптимизированы, для того, чтобы ручной ввод был минимальным по объёму и "
      "при этом максимально удобным для пользователя." },
    { VelAtt, "VelAtt", "ВЕЛФОРМА Аттестация",
      " для документов об аттестации",
      "Программный модуль заполнения документов об аттестации «ВЕЛФОРМА для документов об "
      "аттестации» предназначен для использования в организациях, проводящих аттестацию." },
    { VelMed, "VelMed", "ВЕЛФОРМА Мед",
      " для медицинских документов об образовании",
      "Программный модуль заполнения бланков документов об образовании медицинских работников "
      "«ВЕЛФОРМА для медицинских документов об образовании» предназначен для использования "
      "в медицинских образовательных организациях." },
    { VelProf, "VelProf", "ВЕЛФОРМА ПО",
      " для документов о профессиональном обучении",
      "Программный модуль заполнения свидетельств о профессии рабочего, должности служащего "
      "«ВЕЛФОРМА для документов о профессиональном обучении» предназначен для использования "
      "в организациях, ведущих профессиональное обучение." },
    { VelVuz, "VelVuz", "ВЕЛФОРМА ВО",
      " для документов о высшем образовании",
      "Программный модуль заполнения бланков документов о высшем образовании "
      "«ВЕЛФОРМА для документов о высшем образовании» предназначен для использования "
      "в образовательных организациях высшего образования." },
    { VelKinder, "VelKinder", "ВЕЛФОРМА ДО",
      " для дошкольных образовательных организаций",
      "Программный модуль заполнения документов дошкольных образовательных организаций "
      "«ВЕЛФОРМА для дошкольных образовательных организаций» предназначен для использования "
      "в детских садах." },
};

const ProductEntry* entry(int type)
{
    for (const ProductEntry& product : kProducts) {
        if (product.type == type)
            return &product;
    }
    return nullptr;
}

QString field(int type, const char* ProductEntry::*member)
{
    const ProductEntry* product = entry(type);
    return product ? QString::fromUtf8(product->*member) : QString();
}

} // namespace

int productType()
{
    return VelSpo;
}

QString applicationName()
{
    return QStringLiteral("VelSpo");
}

QString organizationName()
{
    return QStringLiteral("VelSoftware");
}

QString fullTitle(int type)
{
    return QString::fromUtf8("ВЕЛФОРМА") + field(type, &ProductEntry::titleSuffix);
}

QString fullTitle()
{
    return fullTitle(productType());
}

QString version()
{
    return QStringLiteral("%1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionPatch);
}

QString titleWithVersion()
{
    return QStringLiteral("%1 v%2.%3.%4").arg(fullTitle()).arg(VersionMajor).arg(VersionMinor).arg(VersionPatch);
}

QString titleWithBuild()
{
    return QStringLiteral("%1 v%2.%3.%4 build %5")
        .arg(fullTitle())
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionPatch)
        .arg(BuildNumber);
}

QString description(int type)
{
    return field(type, &ProductEntry::description);
}

QString description()
{
    return description(productType());
}

QString productName(int type)
{
    return field(type, &ProductEntry::productName);
}

QString productName()
{
    return productName(productType());
}

QString shortTitle(int type)
{
    return field(type, &ProductEntry::shortTitle);
}

QString shortTitle()
{
    return shortTitle(productType());
}

} // namespace ProductTypeInfo
