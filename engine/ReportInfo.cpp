#include "engine/ReportInfo.h"

ReportInfo::ReportInfo(int type, const QString& title, const QString& name, const QString& description)
    : type(type)
    , title(title)
    , name(name)
    , description(description)
    , loadData([](ReportPage*, int, bool) {})
{
}
