#include "engine/StartupSequence.h"

#include "engine/Database.h"
#include "engine/DatabaseBackup.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/IniMigration.h"
#include "engine/WidgetUtilities.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QPixmap>
#include <QSettings>
#include <QSplashScreen>
#include <QTimer>
#include <QTranslator>

#include <clocale>

namespace {
// The maker's web domain, given to the application object.
const char* const kOrganizationDomain = "velsoftware.example";
// Packaged with the program's dependencies (fonts-liberation).
const char* const kInterfaceFontFamily = "Liberation Sans";
const int kInterfaceFontPixels = 11;
}

StartupSequence::StartupSequence(Hooks hooks)
    : m_hooks(std::move(hooks))
{
}

StartupSequence::~StartupSequence()
{
    tearDown();
}

int StartupSequence::run(int& argc, char** argv)
{
    Q_ASSERT(!m_ran);
    m_ran = true;

    if (m_hooks.registerReports)
        m_hooks.registerReports();
    setApplicationNames();
    createApplication(argc, argv);
    setWindowIcon();
    setInterfaceFont();
    installTranslator();

    if (!acquireInstanceLock()) {
        showAlreadyRunningBox();
        tearDown();
        return AlreadyRunningExitCode;
    }

    showSplash();
    removeStaleRestoreFiles();
    if (!openDatabase()) {
        // The user declined the repair, or there is no usable database.
        const int code = Database::startupExitCode();
        tearDown();
        return code;
    }
    restartLog();
    migrateOldData();
    if (m_hooks.initSpellChecker)
        m_hooks.initSpellChecker();
    createMainWindow();
    startTimers();

    const int code = QApplication::exec();
    tearDown();
    return code;
}

void StartupSequence::setApplicationNames()
{
    // Before any QSettings exists: they decide where settings live.
    QCoreApplication::setOrganizationName(ProductTypeInfo::organizationName());
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(kOrganizationDomain));
    QCoreApplication::setApplicationName(ProductTypeInfo::applicationName());
}

void StartupSequence::createApplication(int& argc, char** argv)
{
    m_app = std::make_unique<QApplication>(argc, argv);
    useCNumericFormat();
    if (m_hooks.applicationCreated)
        m_hooks.applicationCreated(*m_app);
}

void StartupSequence::useCNumericFormat()
{
    std::setlocale(LC_NUMERIC, "C");
}

void StartupSequence::setWindowIcon()
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/default.png")));
}

// The forms place their widgets in pixels, so the font is sized in pixels too:
// a desktop's own font or its dots per inch must not outgrow the geometry.
QFont StartupSequence::interfaceFont()
{
    QFont font(QString::fromLatin1(kInterfaceFontFamily));
    font.setPixelSize(kInterfaceFontPixels);
    return font;
}

void StartupSequence::setInterfaceFont()
{
    QApplication::setFont(interfaceFont());
}

void StartupSequence::installTranslator()
{
    m_translator = std::make_unique<QTranslator>();
    // A missing catalogue is no reason to stop: the translator then translates nothing.
    m_translator->load(QStringLiteral("qt_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    QCoreApplication::installTranslator(m_translator.get());
}

bool StartupSequence::acquireInstanceLock()
{
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A lock left by a crashed instance is stale and taken over by QLockFile.
    if (m_lock->tryLock(LockTimeoutMs))
        return true;
    m_lock.reset();
    return false;
}

void StartupSequence::showAlreadyRunningBox()
{
    QMessageBox box;
    box.setText(alreadyRunningText());
    box.exec();
}

void StartupSequence::showSplash()
{
    m_splash = std::make_unique<QSplashScreen>(QPixmap(QStringLiteral(":/icons/banner2.png")));
    m_splash->show();
    QCoreApplication::processEvents();
    m_splash->showMessage(splashMessage(), Qt::AlignHCenter | Qt::AlignBottom, Qt::black);
}

// A restore that was killed leaves its full-size copy beside the database.
void StartupSequence::removeStaleRestoreFiles()
{
    DatabaseBackup::removeStaleRestoreFiles(Database::dataPath());
}

bool StartupSequence::openDatabase()
{
    m_databaseStarted = true;
    return Database::init(true);
}

void StartupSequence::restartLog()
{
    // Messages of the steps before (the structure check among them) went to
    // standard error; the file holds this run only.
    MessageLog::restart(logFilePath());
}

void StartupSequence::migrateOldData()
{
    // The name the product's settings object uses: a file in the data directory
    // that is not a regular file has been replaced by one that reads nothing.
    const QString iniPath = Database::productSettings()->fileName();
    const QString file = QDir::toNativeSeparators(iniPath);
    switch (migrateIniData(iniPath)) {
    case IniMigrationResult::NotRemoved:
        showPlainMessage(nullptr, QMessageBox::Warning, QStringLiteral("Внимание!"),
                         QStringLiteral("Реквизиты организации перенесены из старого файла настроек %1 в базу данных, "
                                        "но удалить их из этого файла не удалось (возможно, на диске нет свободного "
                                        "места).\n\nПеренос больше не повторится: реквизиты, которые вы сохраните "
                                        "в окне «Настройки», значения из этого файла не заменят.")
                             .arg(file));
        break;
    case IniMigrationResult::NotStored:
        showPlainMessage(nullptr, QMessageBox::Warning, QStringLiteral("Внимание!"),
                         QStringLiteral("Не удалось перенести реквизиты организации из старого файла настроек %1 "
                                        "в базу данных (возможно, на диске нет свободного места).\n"
                                        "Файл оставлен как есть; перенос будет повторён при следующем запуске.")
                             .arg(file));
        break;
    case IniMigrationResult::NothingToMove:
    case IniMigrationResult::Moved:
        break;
    }
}

void StartupSequence::createMainWindow()
{
    if (m_hooks.createMainWindow)
        m_mainWindow = m_hooks.createMainWindow();
}

void StartupSequence::startTimers()
{
    // The context objects end the timers with their receivers.
    if (m_splash)
        QTimer::singleShot(SplashDurationMs, m_splash.get(), &QWidget::close);
    if (m_mainWindow)
        QTimer::singleShot(SplashDurationMs, m_mainWindow.get(), &QWidget::show);
}

void StartupSequence::tearDown()
{
    m_mainWindow.reset();
    if (m_databaseStarted) {
        // The real main window ends the database itself; this covers start-ups
        // that stopped before one existed. Harmless when already gone.
        Database::destroy();
    }
    MessageLog::uninstall();
    if (m_databaseStarted) {
        Database::syncSettings();
        m_databaseStarted = false;
    }
    if (m_splash) {
        m_splash->close();
        m_splash.reset();
    }
    m_lock.reset(); // unlocks and removes the lock file
    m_translator.reset();
    m_app.reset();
}

QString StartupSequence::lockFilePath()
{
    return QDir(QDir::tempPath())
        .absoluteFilePath(QStringLiteral("%1-lock.lock").arg(ProductTypeInfo::applicationName()));
}

QString StartupSequence::logFilePath()
{
    return Database::userSettingsPath() + QLatin1Char('/') + MessageLog::fileName();
}

QString StartupSequence::alreadyRunningText()
{
    return QString::fromUtf8("Приложение уже запущено на этом компьютере!\n"
                             "Одновременный запуск нескольких копий приложения запрещён.");
}

QString StartupSequence::splashMessage()
{
    return QString::fromUtf8("Загрузка...");
}
