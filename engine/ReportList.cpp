#include "engine/ReportList.h"

#include "engine/MessageLog.h"
#include "engine/ReportInfo.h"
#include "engine/SpoDataLoader.h"

#include <QDebug>
#include <QMap>

#include <memory>
#include <vector>

namespace {

struct Registry
{
    std::vector<std::unique_ptr<ReportInfo>> entries;
    QList<ReportInfo*> list;
    QMap<int, ReportInfo*> byType;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

const QString additionDescription = QStringLiteral(
    "Бланк приложения к диплому о среднем профессиональном образовании/ диплому о среднем "
    "профессиональном образовании с отличием (Приказ №531 от 04.07.2013 в ред. Приказов №1243 "
    "от 15.11.2013, № 380 от 09.04.2015)");

} // namespace

void ReportList::registerReports()
{
    Registry& r = registry();
    if (!r.list.isEmpty())
        return;

    auto add = [&r](int type, const QString& title, const QString& name, const QString& description) {
        r.entries.push_back(std::make_unique<ReportInfo>(type, title, name, description));
        r.list.append(r.entries.back().get());
    };
    add(SpoDiploma,
        QStringLiteral("Бланк диплома о среднем профессиональном образовании"),
        QStringLiteral("id120"),
        QStringLiteral("Бланк диплома о среднем профессиональном образовании (Приказ №531 от 04.07.2013 "
                       "в ред. Приказа №1243 от 15.11.2013, № 380 от 09.04.2015)"));
    add(SpoAddition,
        QStringLiteral("Бланк приложения к диплому о среднем профессиональном образовании"),
        QStringLiteral("id121"),
        additionDescription);
    add(SpoAdditionDouble,
        QStringLiteral("Бланк приложения к диплому о среднем профессиональном образовании 2 листа"),
        QStringLiteral("id121double"),
        additionDescription + QStringLiteral("\nДва экземпляра бланка!"));
    add(SpoDiplomaExcellent,
        QStringLiteral("Бланк диплома о среднем профессиональном образовании с отличием"),
        QStringLiteral("id124"),
        QStringLiteral("Бланк диплома о среднем профессиональном образовании с отличием (Приказ №531 от "
                       "4.07.2013 в ред. Приказа №1243 от 15.11.2013, №380 от 09.04.2015)"));

    for (ReportInfo* info : qAsConst(r.list)) {
        info->loadData = loadSpoData;
        r.byType.insert(info->type, info);
    }
}

ReportInfo* ReportList::info(ReportType type)
{
    ReportInfo* found = registry().byType.value(type, nullptr);
    if (!found)
        VLOG << "unregistered report type" << int(type);
    return found;
}

QList<ReportInfo*> ReportList::allReports()
{
    return registry().list;
}
