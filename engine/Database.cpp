#include "Database.h"

namespace {
QString g_testDataPath;
}

void Database::setDataPathForTesting(const QString& path)
{
    g_testDataPath = path;
}
