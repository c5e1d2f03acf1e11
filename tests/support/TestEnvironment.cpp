#include "TestEnvironment.h"

#include "engine/Database.h"

#include <QCoreApplication>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
{
    // Must happen before QApplication and before any QSettings exists.
    qputenv("HOME", m_home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("VelSoftware"));
    QCoreApplication::setApplicationName(QStringLiteral("VelSpo"));
    Database::setDataPathForTesting(m_data.path());
}

QString TestEnvironment::sourcePath(const QString& relative)
{
    return QString::fromLocal8Bit(qgetenv("VELSPO_TEST_SOURCE_DIR")) + QLatin1Char('/') + relative;
}
